// MsgBox: the toolkit's modal message boxes. A box shows a text under a
// caption with an icon named "ERROR", "INFO", "ALERT" or "ASK" and the
// button "OK"; ask() adds a second button whose text the caller gives
// (scripts pass "NO"). Callers pass their own caption (scripts do); when
// the icon name is left empty it is taken from the caption if the caption
// is one of the four names, else "INFO" (show) or "ASK" (ask).
//
// A responder installed with setResponder answers every box instead of a
// window (tests, and runs without a person): it gets what would have been
// shown and answers the button (0 the first, 1 the second).
//
// The box is owned by the active window (or the application's main window)
// while it is shown. Threads: the UI thread only. Nothing here throws.
#pragma once

#include <functional>

#include "core/String.h"

class QWidget;

namespace VORLIN {

class MsgBox {
public:
    struct Shown {
        String text;
        String caption;
        String icon;      // "ERROR", "INFO", "ALERT" or "ASK"
        String noButton;  // the second button's text; empty for one button
    };
    using Responder = std::function<int(const Shown&)>;

    static void show(const String& text, const String& caption, const String& icon = String());
    static void error(const String& text) { show(text, "ERROR", "ERROR"); }
    static void info(const String& text) { show(text, "INFO", "INFO"); }
    static void alert(const String& text) { show(text, "ALERT", "ALERT"); }
    // True when the box closes with the first button ("OK").
    static bool ask(const String& text, const String& caption, const String& noLabel,
                    const String& icon = String());

    // Installs (or, empty, removes) the responder.
    static void setResponder(Responder responder);
    // The window boxes and dialogs are shown over.
    static QWidget* parentWindow();

private:
    static int exec(const Shown& shown);
};

}  // namespace VORLIN
