// QtScriptHost: the ScriptHost of the desktop client. Message boxes and
// confirmations are MsgBox boxes with the script's own caption ("ASK" with
// the second button as given), file dialogs are FileDialogs with the
// system's filter texts, the wait cursor is the switch form of WaitCursor,
// a wait window is a QtWaitWindow. What scripts print goes to the output
// the main window installs (none: dropped), and connections are found by
// the finder the application installs (none: not found).
//
// Ownership: owns nothing; the application owns the host and keeps it alive
// while the script engine runs. Threads: the UI thread only. Throws what
// the installed output or finder throw.
#pragma once

#include <functional>

#include "script/ScriptHost.h"

namespace VORLIN {

class QtScriptHost : public ScriptHost {
public:
    using Output = std::function<void(const String& text, bool secondMode)>;
    using Finder = std::function<DbConnection*(const String& name)>;

    void showMessage(const String& text, const String& caption) override;
    bool confirm(const String& text, const String& caption, const String& noLabel) override;
    void setWaitCursor(bool on) override;
    void printMessage(const String& text, bool secondMode) override;
    String openFileDialog(const String& caption, const String& filter) override;
    String saveFileDialog(const String& caption, const String& filter) override;
    std::unique_ptr<WaitWindow> openWaitWindow(const String& text) override;
    DbConnection* findConnection(const String& name) override;

    void setOutput(Output output) { output_ = std::move(output); }
    void setFinder(Finder finder) { finder_ = std::move(finder); }
    // The folder the file dialogs start in.
    void setStartFolder(const String& folder) { startFolder_ = folder; }

private:
    Output output_;
    Finder finder_;
    String startFolder_;
};

}  // namespace VORLIN
