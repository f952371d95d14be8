// ChildProcess: another program run beside a bench (the X server, the
// program watched): started with posix_spawn with some environment
// variables set, its output sent to a file, ended with SIGTERM (then
// SIGKILL after two seconds) by stop() or the destructor.
//
// Ownership: owns the process it started. Threads: the thread that made
// it. Nothing throws: start() answers false and error() says why.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace bench {

class ChildProcess {
public:
    using Environment = std::vector<std::pair<std::string, std::string>>;

    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Runs argv[0] (looked up in PATH) with `set` added to (or replacing
    // in) this process's environment; standard output and error go to
    // `logFile` (appended).
    bool start(const std::vector<std::string>& argv, const Environment& set,
               const std::string& logFile);
    // True while the process has not ended (reaps it when it has).
    bool running();
    void stop();

    pid_t pid() const noexcept { return pid_; }
    const std::string& error() const noexcept { return error_; }
    // How it ended, once running() said false: "exit status N" or "signal N".
    const std::string& ending() const noexcept { return ending_; }

    // The resident set size of the process in bytes (VmRSS), 0 if unknown.
    size_t residentBytes() const;

private:
    pid_t pid_ = -1;
    std::string error_;
    std::string ending_;
};

// True when `program` is found in PATH.
bool onPath(const std::string& program);

}  // namespace bench
