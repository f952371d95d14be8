// UiPorts: the one place where the desktop client plugs into the
// framework's seams. install() puts every port in, in this order, and
// uninstall() (or the destructor) takes them out in reverse order, so that
// nothing is left pointing at a dead window or a dead application:
//  1. ConnectionNotifier::setPoster - notices of a remote server that went
//     away reach the UI thread as queued calls;
//  2. TableDataset::setMessageHook - a failed table edit shows its text in
//     a message box;
//  3. DataSet::setSaveFileChooser - a text export asks for its file in a
//     save dialog starting in the work folder;
//  4. ScriptTrace::setFileName - "trace.log" in the work folder;
//  5. ConnectionDialogs::install - the dialogs a connection opens by
//     itself (the connection windows, when the application has them);
//  6. MsgBox/FileDialogs/InputBox responders - none by default: a person
//     answers (tests install their own).
// The script host (QtScriptHost) is handed to the script session when the
// application builds it; prepare() gives each new connection what it needs
// from the application (its default folder).
//
// Ownership: the ports point at objects the application owns and keeps
// alive while installed. Threads: the UI thread. Nothing here throws.
#pragma once

#include <functional>

#include "core/String.h"

namespace VORLIN {

class ConnectionDialogs;
class DbConnection;

class UiPorts {
public:
    struct Settings {
        // The folder dialogs and the trace file start from; read at each use.
        std::function<String()> workFolder;
        // The connection windows, or null (every dialog then cancels).
        ConnectionDialogs* dialogs = nullptr;
    };

    UiPorts() = default;
    ~UiPorts();
    UiPorts(const UiPorts&) = delete;
    UiPorts& operator=(const UiPorts&) = delete;

    void install(Settings settings);
    void uninstall();
    bool installed() const noexcept { return installed_; }

    // Gives a connection the application makes its defaults.
    void prepare(DbConnection& connection) const;
    // Points the trace file at the work folder again (after it changed).
    void workFolderChanged() const;

private:
    Settings settings_;
    bool installed_ = false;
};

}  // namespace VORLIN
