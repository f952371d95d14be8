#include "app/connect/SelMySqlDlg.h"

#include "app/connect/QtDialogParts.h"
#include "app/main/ConfigStore.h"

namespace VORLIN {

namespace {

std::vector<String> recentOf(ConfigStore* store, int kind) {
    return store ? store->recentServers(kind) : std::vector<String>();
}

}  // namespace

SelMySqlDlg::SelMySqlDlg(DbConnection& connection, int defaultPort, const String& defaultHost,
                         ConfigStore* store, QWidget* parent)
    : QtServerDialog(SelMySqlLogic::kTitle, defaultPort, defaultHost,
                     recentOf(store, ConfigStore::kMySqlServer), parent),
      logic_(connection, dialogparts::message, [store](const String& host, int port) {
          if (store) store->addRecentServer(ConfigStore::kMySqlServer, host, port);
      }) {
    setObjectName(QStringLiteral("SelMySqlDlg"));
}

bool SelMySqlDlg::runConnect(const Fields& fields, std::vector<String>& names, int& selected) {
    logic_.server = fields.server;
    logic_.port = String(std::to_string(fields.port));
    logic_.user = fields.user;
    logic_.password = fields.password;
    if (!logic_.connectPressed()) return false;
    names = logic_.databases();
    selected = names.empty() ? -1 : 0;
    return true;
}

bool SelMySqlDlg::runAccept(int index) {
    return logic_.accept(index);
}

}  // namespace VORLIN
