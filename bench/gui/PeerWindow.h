// PeerWindow: how long another program takes to show its window with its
// content in place, watched from outside on an X display of the bench's
// own (XvfbDisplay), and how much memory it holds then.
//
// The method: the program is started; `xdotool search --onlyvisible
// --name` is asked every 20 ms for a window whose title contains the given
// text; from then on the whole screen is captured over and over with
// `xwd -root` and each capture compared with the last one that changed
// the picture. A capture that differs from it in more than kChangedPixels
// pixels (a blinking text cursor does not count) is a change. When the
// picture has not changed for kSettleSeconds, the window is taken as
// shown at the end of the capture that first showed that picture, and
// the program's VmRSS is read. The figure is good to one capture interval
// (reported), and it is an upper bound of when the content appeared.
//
// Ownership: owns the program it starts and ends it before watch()
// returns. Threads: the thread that made it. Nothing throws: a program,
// xdotool or xwd that is missing or fails gives a Result with `error`.
#pragma once

#include <string>
#include <vector>

#include "bench/gui/ChildProcess.h"

namespace bench {

class XvfbDisplay;

class PeerWindow {
public:
    static constexpr int kChangedPixels = 64;
    static constexpr double kSettleSeconds = 1.5;
    static constexpr double kTimeoutSeconds = 60.0;

    struct Result {
        bool shown = false;
        bool started = false;  // the program ran (it may still have failed)
        std::string error;
        double windowSeconds = 0;   // launch until the window was found
        double shownSeconds = 0;    // launch until the picture that stayed
        double captureSeconds = 0;  // mean time between two captures
        int captures = 0;
        int changes = 0;           // pictures seen after the window was found
        size_t residentBytes = 0;  // VmRSS of the program once shown
    };

    // The program runs on `display` with HOME and XDG_CONFIG_HOME in
    // `home`; its output goes to `logFile`.
    PeerWindow(const XvfbDisplay& display, std::string home, std::string logFile);

    Result watch(const std::vector<std::string>& argv, const std::string& windowTitle);

private:
    bool windowShown(const std::string& windowTitle) const;
    bool capture(std::string& frame, std::string& error) const;

    const XvfbDisplay& display_;
    std::string home_;
    std::string logFile_;
};

}  // namespace bench
