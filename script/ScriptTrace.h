// ScriptTrace: the global trace switch of the script engine and its output
// file, "trace.log".
//
// While the switch is on, the routine runner appends the listing of every
// instruction it executes (and, when the target has a value, a line with
// that value) to the file; the first failing instruction writes its message
// followed by CR LF and turns the switch off, which closes the file. The
// script member "app.trace" turns it on (opening the file anew) and off.
//
// Process-wide state with one switch and one file; reset() turns it off
// and restores the default file name, for tests. Texts are written as they
// are, bytes unchanged (line ends are the caller's "\r\n"). A file that
// cannot be opened leaves the switch off; writing never throws.
// Not synchronised: the UI thread only.
#pragma once

#include "core/String.h"

namespace VORLIN {

class ScriptTrace {
public:
    static constexpr const char* kDefaultFileName = "trace.log";

    // Whether the switch is on (and the file open).
    static bool enabled() noexcept;
    // Sets the switch: on opens the file (emptied) unless it is already
    // open, off closes it. Answers the new state.
    static bool setEnabled(bool on);
    // Appends `text` when the switch is on.
    static void write(TextRef text);
    // A failure: writes `message` and CR LF, then turns the switch off.
    static void fail(TextRef message);

    // The file the switch opens ("trace.log" in the current folder unless
    // changed); takes effect at the next opening.
    static const String& fileName();
    static void setFileName(const String& path);

    // Off, file closed, default file name.
    static void reset();
};

}  // namespace VORLIN
