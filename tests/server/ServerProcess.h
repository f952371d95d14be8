// Test helpers for the server: a temporary data folder, and the real
// quelmir-server program started on an ephemeral loopback port (--port 0;
// the port is read from its first log line) and stopped again. Its log
// lines are collected. Every wait has a time-out.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_server {

// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

class ServerProcess {
public:
    // Starts the program with --data dir --port 0 and the extra arguments;
    // waits for its "listening on" line.
    explicit ServerProcess(const std::string& dataDir, std::vector<std::string> extra = {});
    // Stops it (SIGTERM, then SIGKILL when it does not end in time).
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool started() const { return port_ > 0; }
    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    pid_t pid() const { return pid_; }

    // SIGTERM and wait; answers the exit status (-1 on time-out).
    int stop(int timeoutMs = 10000);
    // SIGKILL and wait.
    void kill();
    // Every log line so far.
    std::vector<std::string> lines();
    // Waits up to timeoutMs for a log line containing `text`.
    bool waitForLine(const std::string& text, int timeoutMs = 5000);
    // How many log lines contain `text`.
    int countLines(const std::string& text);

private:
    void readLog();
    int waitExit(int timeoutMs);

    pid_t pid_ = -1;
    int port_ = 0;
    int logFd_ = -1;
    int exitStatus_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
};

}  // namespace testing_server
