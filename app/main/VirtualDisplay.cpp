#include "app/main/VirtualDisplay.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace VORLIN {

VirtualDisplay::~VirtualDisplay() {
    stop();
}

bool VirtualDisplay::haveDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

String VirtualDisplay::findXvfb() {
    const char* path = std::getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/Xvfb";
        if (end > start && ::access(candidate.c_str(), X_OK) == 0) return String(candidate);
        start = end + 1;
    }
    return String();
}

bool VirtualDisplay::start() {
    if (pid_ > 0) return true;
    const String xvfb = findXvfb();
    if (xvfb.isEmpty()) {
        error_ = "Xvfb no está instalado";
        return false;
    }
    int fds[2];
    if (::pipe(fds) != 0) {
        error_ = "no se pudo crear la tubería para Xvfb";
        return false;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        error_ = "no se pudo iniciar Xvfb";
        return false;
    }
    if (pid == 0) {
        ::close(fds[0]);
        // The display ends with the program, however the program ends.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        // Xvfb's own messages would only clutter the terminal.
        int devnull = ::open("/dev/null", O_WRONLY);
        if (devnull >= 0) {
            ::dup2(devnull, 1);
            ::dup2(devnull, 2);
        }
        const std::string fd = std::to_string(fds[1]);
        ::execl(xvfb.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x860x24",
                "-nolisten", "tcp", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    pid_ = pid;
    // Xvfb writes the display number once it accepts clients.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (::poll(&p, 1, 10000) > 0) {
        char buffer[16];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        number.append(buffer, size_t(n));
        if (number.find('\n') != std::string::npos) break;
    }
    ::close(fds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == '\r'))
        number.pop_back();
    if (number.empty()) {
        stop();
        error_ = "Xvfb no respondió";
        return false;
    }
    display_ = String(":" + number);
    ::setenv("DISPLAY", display_.c_str(), 1);
    return true;
}

void VirtualDisplay::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

}  // namespace VORLIN
