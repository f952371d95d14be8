// ScriptHost: what the script engine needs from the application it runs in:
// modal message boxes, the wait cursor, the main window's output pane, file
// dialogs, a wait window for long operations, and the open connections by
// name.
//
// The desktop client implements it with its windows; HeadlessHost serves
// the command-line runner and the tests. Every operation has a harmless
// default (nothing shown, the negative answer, no file, no connection), so
// an implementation overrides only what it can offer.
//
// Ownership: the engine never owns its host (the application does) nor the
// connections it hands out. Threads: called on the UI thread only. An
// implementation may throw GeneralException; the engine lets it through.
#pragma once

#include <memory>

#include "core/String.h"

namespace VORLIN {

class DbConnection;
class WaitWindow;

class ScriptHost {
public:
    virtual ~ScriptHost() = default;

    // A modal message with the single button "OK".
    virtual void showMessage(const String& text, const String& caption);
    // A modal question with two buttons, the second labelled `noLabel`;
    // true when it closes with the first (affirmative) one.
    virtual bool confirm(const String& text, const String& caption, const String& noLabel);
    // Shows (true) or removes (false) the wait cursor.
    virtual void setWaitCursor(bool on);
    // Writes to the main window's output pane; `secondMode` selects the
    // pane's second writing mode.
    virtual void printMessage(const String& text, bool secondMode);
    // The path the user picked, or the empty text when cancelled. `filter`
    // is "description|extension" ("Archivos sql (*.sql)|sql").
    virtual String openFileDialog(const String& caption, const String& filter);
    virtual String saveFileDialog(const String& caption, const String& filter);
    // A window that shows `text` while a long operation runs, closed when
    // the result dies; null when the host has none.
    virtual std::unique_ptr<WaitWindow> openWaitWindow(const String& text);
    // The open connection of that name, or null: the label a connection
    // shows (which its alias replaces), else its alias; exact matches.
    virtual DbConnection* findConnection(const String& name);
};

}  // namespace VORLIN
