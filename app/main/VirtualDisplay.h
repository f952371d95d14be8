// VirtualDisplay: a display for a desktop program started where there is
// none (no DISPLAY, no WAYLAND_DISPLAY, no Qt platform chosen): starts
// Xvfb on a free display number it picks itself (-displayfd), points
// DISPLAY at it, and stops it when the object dies.
//
// Ownership: owns the Xvfb process. Threads: the main thread, before the
// GUI starts. Nothing here throws; start() answers false with the reason in
// error().
#pragma once

#include <sys/types.h>

#include "core/String.h"

namespace VORLIN {

class VirtualDisplay {
public:
    VirtualDisplay() = default;
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // Whether this process can reach a display already.
    static bool haveDisplay();
    // The Xvfb program found in PATH, or empty.
    static String findXvfb();

    bool start();
    void stop();
    const String& display() const noexcept { return display_; }
    const String& error() const noexcept { return error_; }

private:
    pid_t pid_ = -1;
    String display_;
    String error_;
};

}  // namespace VORLIN
