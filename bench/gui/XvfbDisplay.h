// XvfbDisplay: a virtual X display of the bench's own, on which another
// program's window is watched. start() takes the first free display number
// from :91 on (no lock file, no socket), runs Xvfb there at 1280x1024 with
// 24-bit colour and without TCP, and waits up to five seconds for its
// socket. The server ends with the object.
//
// Ownership: owns the Xvfb process. Threads: the thread that made it.
// Nothing throws: start() answers false and error() says why.
#pragma once

#include <string>

#include "bench/gui/ChildProcess.h"

namespace bench {

class XvfbDisplay {
public:
    static constexpr int kWidth = 1280;
    static constexpr int kHeight = 1024;

    // Xvfb's own output goes to `logFile`.
    bool start(const std::string& logFile);
    void stop() { server_.stop(); }

    // ":91" and the like, once started.
    const std::string& name() const noexcept { return name_; }
    const std::string& error() const noexcept { return error_; }

private:
    ChildProcess server_;
    std::string name_;
    std::string error_;
};

}  // namespace bench
