// SelServerDlg: the server-selection window of the remote SQLite service,
// "Seleccione el servidor", over SelServerLogic. Its server list holds the
// recent servers of kind 1 of the configuration store, and each server it
// reaches is recorded there. It does not open the chosen database: the
// caller does, with database().
//
// Ownership: the connection and the store (which may be null: nothing is
// listed or recorded then) stay the caller's and must outlive the dialog.
// Threads: the UI thread. Nothing here throws.
#pragma once

#include "app/connect/QtServerDialog.h"
#include "app/connect/SelServerLogic.h"

namespace VORLIN {

class ConfigStore;
class DbConnection;

class SelServerDlg : public QtServerDialog {
public:
    SelServerDlg(DbConnection& connection, int defaultPort, const String& defaultHost,
                 ConfigStore* store, QWidget* parent = nullptr);

    SelServerLogic& logic() noexcept { return logic_; }

protected:
    bool runConnect(const Fields& fields, std::vector<String>& names, int& selected) override;
    bool runAccept(int index) override;

private:
    SelServerLogic logic_;
};

}  // namespace VORLIN
