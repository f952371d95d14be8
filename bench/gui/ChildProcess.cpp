#include "bench/gui/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/Bench.h"

extern char** environ;

namespace bench {

ChildProcess::~ChildProcess() {
    stop();
}

bool ChildProcess::start(const std::vector<std::string>& argv, const Environment& set,
                         const std::string& logFile) {
    if (argv.empty()) {
        error_ = "no program given";
        return false;
    }
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry(*e);
        bool replaced = false;
        for (const auto& [name, value] : set)
            replaced = replaced || entry.compare(0, name.size() + 1, name + "=") == 0;
        if (!replaced) env.push_back(entry);
    }
    for (const auto& [name, value] : set)
        env.push_back(name + "=" + value);
    std::vector<char*> envp, args;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argCopy(argv);
    for (std::string& a : argCopy)
        args.push_back(a.data());
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logFile.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    // Its own process group, so that whatever it starts ends with it.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        error_ = argv[0] + ": " + std::strerror(rc);
        return false;
    }
    pid_ = pid;
    ending_.clear();
    return true;
}

bool ChildProcess::running() {
    if (pid_ <= 0) return false;
    int status = 0;
    pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == 0) return true;
    if (r == pid_) {
        ending_ = WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                                      : "exit status " + std::to_string(WEXITSTATUS(status));
    }
    pid_ = -1;
    return false;
}

void ChildProcess::stop() {
    if (!running()) return;
    ::kill(-pid_, SIGTERM);
    double until = now() + 2.0;
    while (now() < until) {
        if (!running()) return;
        ::usleep(10'000);
    }
    ::kill(-pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    ending_ = "killed";
    pid_ = -1;
}

size_t ChildProcess::residentBytes() const {
    if (pid_ <= 0) return 0;
    std::string path = "/proc/" + std::to_string(pid_) + "/status";
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return 0;
    char line[256];
    size_t kb = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmRSS:", 6) == 0) kb = std::strtoull(line + 6, nullptr, 10);
    std::fclose(f);
    return kb * 1024;
}

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string file = dirs.substr(start, end - start) + "/" + program;
        if (::access(file.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace bench
