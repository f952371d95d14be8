// HeadlessHost: the ScriptHost of the command-line runner and the tests.
//
// The output pane is the output stream (standard output by default), one
// line per message. Message boxes go to the error stream (standard error by
// default) as "CAPTION: text"; a confirmation is written the same way and
// answered by a setting (no, unless told otherwise). File dialogs answer a
// preset path (none: cancelled). The wait cursor is only remembered. The
// connections are the ones added by label; findConnection looks a name up
// among the labels and then among the connections' aliases. The host does
// not own them.
//
// Ownership: the streams and the connections belong to the caller and must
// outlive the host. Nothing here throws. UI thread only (the thread that
// runs the scripts).
#pragma once

#include <iosfwd>
#include <map>
#include <string>

#include "script/ScriptHost.h"

namespace VORLIN {

class HeadlessHost : public ScriptHost {
public:
    // Standard output and standard error.
    HeadlessHost();
    HeadlessHost(std::ostream& out, std::ostream& err);

    void showMessage(const String& text, const String& caption) override;
    bool confirm(const String& text, const String& caption, const String& noLabel) override;
    void setWaitCursor(bool on) override;
    void printMessage(const String& text, bool secondMode) override;
    String openFileDialog(const String& caption, const String& filter) override;
    String saveFileDialog(const String& caption, const String& filter) override;
    DbConnection* findConnection(const String& name) override;

    // --- settings ---
    // The answer of every confirmation (false at construction).
    void setConfirmAnswer(bool yes) noexcept { confirmAnswer_ = yes; }
    // The path every file dialog answers (empty: cancelled).
    void setFileAnswer(const String& path) { fileAnswer_ = path.toStdString(); }
    // Publishes a connection under `name` (a later one of the same name
    // replaces it); a null connection removes the name.
    void addConnection(const String& name, DbConnection* connection);

    // --- what happened ---
    bool waitCursor() const noexcept { return waitCursor_; }
    int messageCount() const noexcept { return messages_; }

private:
    std::ostream& out_;
    std::ostream& err_;
    bool confirmAnswer_ = false;
    bool waitCursor_ = false;
    int messages_ = 0;
    std::string fileAnswer_;
    std::map<std::string, DbConnection*, std::less<>> connections_;
};

}  // namespace VORLIN
