// WaitCursor: shows the wait cursor while it lives (nested ones stack).
// set(bool) is the switch form the script host uses. Threads: the UI
// thread only. Nothing here throws.
#pragma once

namespace VORLIN {

class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    // Switch form: on shows it (once), off removes what set(true) showed.
    static void set(bool on);
    static bool switchedOn() noexcept;
};

}  // namespace VORLIN
