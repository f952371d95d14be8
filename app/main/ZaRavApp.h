// ZaRavApp: the application object of Quelmir. Its construction is the
// start-up, in this order: sockets ready; the start folder (the current
// directory) as the first work folder; the version; the pictures (the
// block appended to the program file, else "zarav.xml" and "res.xml" in
// the start folder, over the built-in ones); the script engine (member
// tables registered and sorted, the environment, the registers, the
// routine, all on the desktop's script host); the per-user folder; the
// configuration store; the colour scheme (the stored one over the built-in
// colours); the ports (UiPorts); the main window. Destruction runs it
// backwards: the main window (and with it every window that points at a
// connection) first, then the ports, then every connection in opening
// order (closed, then deleted), then the store and the script engine.
//
// A configuration store that cannot be opened is reported once in a
// message box when the main window shows, and the program runs without it.
// Scripts reach the store's table tConfig as "config" (the register of that
// name refers to it while the store is open; it stays empty otherwise).
//
// One per process (SApp refuses a second: "Instance already running").
// Ownership: owns everything above. Threads: the UI thread. Throws
// GeneralException when sockets cannot be made ready.
#pragma once

#include <memory>
#include <vector>

#include <QIcon>

#include "core/String.h"
#include "ui/SApp.h"

namespace VORLIN {

class ConfigStore;
class DbConnection;
class MainWnd;
class QtConnectionDialogs;
class QtScriptHost;
class ScriptSession;
class UiPorts;

class ZaRavApp : public SApp {
public:
    static constexpr const char* kVersion = "0.8.11.07.22";
    // The connection kinds, in the order of their pictures.
    enum Kind { Root = 0, Local, Server, MySql, Odbc };

    ZaRavApp(int& argc, char** argv);
    ~ZaRavApp() override;

    static ZaRavApp* instance() noexcept;

    int run() override;

    const String& startFolder() const noexcept { return startFolder_; }
    const String& workFolder() const noexcept { return workFolder_; }
    void setWorkFolder(const String& folder);
    const String& userFolder() const noexcept { return userFolder_; }
    const String& version() const noexcept { return version_; }
    const QIcon& kindImage(Kind kind) const { return kindImages_[kind]; }

    ConfigStore& config() noexcept { return *store_; }
    // The reason the store could not be opened, or empty.
    const String& storeError() const noexcept { return storeError_; }
    ScriptSession& scripts() noexcept { return *session_; }
    QtScriptHost& scriptHost() noexcept { return *host_; }
    UiPorts& ports() noexcept { return *ports_; }
    MainWnd* mainWnd() noexcept { return mainWnd_.get(); }

    // --- the connections the person opened ---
    // Takes the connection (after the caller built its node); it lives
    // until the program ends.
    DbConnection* addConnection(std::unique_ptr<DbConnection> connection);
    const std::vector<std::unique_ptr<DbConnection>>& connections() const noexcept {
        return connections_;
    }
    // By the label it shows, then by alias; null when none.
    DbConnection* findConnection(const String& name) const;

private:
    void closeConnections();

    String startFolder_;
    String workFolder_;
    String userFolder_;
    String version_;
    QIcon kindImages_[5];
    String storeError_;
    bool storeReported_ = false;
    bool filesOpened_ = false;
    std::unique_ptr<QtScriptHost> host_;
    std::unique_ptr<ScriptSession> session_;
    std::unique_ptr<ConfigStore> store_;
    std::unique_ptr<QtConnectionDialogs> connectionWindows_;
    std::unique_ptr<UiPorts> ports_;
    std::vector<std::unique_ptr<DbConnection>> connections_;
    std::unique_ptr<MainWnd> mainWnd_;
};

}  // namespace VORLIN
