#include "tests/server/ServerProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#ifndef QUELMIR_SERVER_BIN
#error "QUELMIR_SERVER_BIN must name the quelmir-server program"
#endif

namespace testing_server {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/quelmir-server-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data())) path_ = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

ServerProcess::ServerProcess(const std::string& dataDir, std::vector<std::string> extra) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    std::vector<std::string> args = {QUELMIR_SERVER_BIN, "--data", dataDir, "--port", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    // Built before the fork: the child may only call async-signal-safe
    // functions until exec.
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(fds[1], 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    logFd_ = fds[0];
    reader_ = std::thread([this] { readLog(); });
    const std::string mark = "listening on 127.0.0.1:";
    if (waitForLine(mark, 20000)) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& l : lines_) {
            size_t at = l.find(mark);
            if (at != std::string::npos) port_ = std::atoi(l.c_str() + at + mark.size());
        }
    }
}

ServerProcess::~ServerProcess() {
    if (pid_ > 0 && exitStatus_ == -1 && stop(10000) == -1) kill();
    if (reader_.joinable()) reader_.join();
    if (logFd_ >= 0) ::close(logFd_);
}

void ServerProcess::readLog() {
    std::string pending;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(logFd_, buffer, sizeof buffer);
        if (n <= 0) break;
        pending.append(buffer, size_t(n));
        size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                lines_.push_back(pending.substr(0, nl));
            }
            changed_.notify_all();
            pending.erase(0, nl + 1);
        }
    }
    changed_.notify_all();
}

int ServerProcess::waitExit(int timeoutMs) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < until) {
        int status = 0;
        pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            exitStatus_ = status;
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
}

int ServerProcess::stop(int timeoutMs) {
    if (pid_ <= 0) return -1;
    if (exitStatus_ != -1) return exitStatus_;
    ::kill(pid_, SIGTERM);
    return waitExit(timeoutMs);
}

void ServerProcess::kill() {
    if (pid_ <= 0 || exitStatus_ != -1) return;
    ::kill(pid_, SIGKILL);
    waitExit(10000);
}

std::vector<std::string> ServerProcess::lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

bool ServerProcess::waitForLine(const std::string& text, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        for (const std::string& l : lines_)
            if (l.find(text) != std::string::npos) return true;
        return false;
    });
}

int ServerProcess::countLines(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const std::string& l : lines_)
        if (l.find(text) != std::string::npos) ++n;
    return n;
}

}  // namespace testing_server
