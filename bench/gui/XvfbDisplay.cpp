#include "bench/gui/XvfbDisplay.h"

#include <unistd.h>

#include "bench/Bench.h"

namespace bench {

bool XvfbDisplay::start(const std::string& logFile) {
    if (!onPath("Xvfb")) {
        error_ = "Xvfb is not installed (Debian package xvfb)";
        return false;
    }
    int number = 91;
    for (; number < 200; ++number) {
        std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
        std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        if (::access(lock.c_str(), F_OK) != 0 && ::access(socket.c_str(), F_OK) != 0) break;
    }
    const std::string name = ":" + std::to_string(number);
    const std::string screen = std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24";
    if (!server_.start({"Xvfb", name, "-screen", "0", screen, "-nolisten", "tcp"}, {}, logFile)) {
        error_ = server_.error();
        return false;
    }
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
    const double until = now() + 5.0;
    while (now() < until) {
        if (::access(socket.c_str(), F_OK) == 0) {
            name_ = name;
            return true;
        }
        if (!server_.running()) {
            error_ = "Xvfb " + name + " ended (" + server_.ending() + "), see " + logFile;
            return false;
        }
        ::usleep(20'000);
    }
    server_.stop();
    error_ = "Xvfb " + name + " did not open its socket within 5 s";
    return false;
}

}  // namespace bench
