// QtConnectionDialogs: the windows the connections open by themselves
// (ConnectionDialogs), as Qt dialogs over the main window: LocalConnectDlg,
// LocalSelDbDlg, SqliteServerConnectDlg, SqliteServerSelDbDlg and
// OdbcSelDbDlg. The server lists of the remote dialogs are the store's
// recent servers of kind 1.
//
// Ownership: the store (may be null) stays the caller's and must outlive
// this object; the application installs it (ConnectionDialogs::install)
// and uninstalls it before destroying it. Threads: the UI thread. Nothing
// here throws.
#pragma once

#include "db/ConnectionDialogs.h"

namespace VORLIN {

class ConfigStore;

class QtConnectionDialogs : public ConnectionDialogs {
public:
    explicit QtConnectionDialogs(ConfigStore* store);
    ~QtConnectionDialogs() override;

    bool chooseFolder(const String& startFolder, String& chosen) override;
    bool selectLocalDatabase(DbConnection& connection, const String& folder, const String& database,
                             DatabaseChoice& choice) override;
    bool chooseRemoteServer(String& server, int& port) override;
    bool selectRemoteDatabase(DbConnection& connection, const String& host, const String& database,
                              DatabaseChoice& choice) override;
    bool selectOdbcSource(DbConnection& connection, String& source, String& user,
                          String& password) override;

private:
    ConfigStore* store_;
};

}  // namespace VORLIN
