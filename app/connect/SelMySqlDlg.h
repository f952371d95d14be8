// SelMySqlDlg: the MySQL server-selection window, "Seleccione el
// servidor", over SelMySqlLogic. Its server list holds the recent servers
// of kind 2 of the configuration store, and each server it reaches is
// recorded there with the port typed. OK opens the chosen database on the
// connection (SelMySqlLogic::accept).
//
// Ownership: the connection and the store (which may be null: nothing is
// listed or recorded then) stay the caller's and must outlive the dialog.
// Threads: the UI thread. Nothing here throws.
#pragma once

#include "app/connect/QtServerDialog.h"
#include "db/mysql/SelMySqlLogic.h"

namespace VORLIN {

class ConfigStore;
class DbConnection;

class SelMySqlDlg : public QtServerDialog {
public:
    SelMySqlDlg(DbConnection& connection, int defaultPort, const String& defaultHost,
                ConfigStore* store, QWidget* parent = nullptr);

    SelMySqlLogic& logic() noexcept { return logic_; }

protected:
    bool runConnect(const Fields& fields, std::vector<String>& names, int& selected) override;
    bool runAccept(int index) override;

private:
    SelMySqlLogic logic_;
};

}  // namespace VORLIN
