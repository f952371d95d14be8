#include "app/connect/SelServerDlg.h"

#include "app/connect/QtDialogParts.h"
#include "app/main/ConfigStore.h"

namespace VORLIN {

namespace {

std::vector<String> recentOf(ConfigStore* store, int kind) {
    return store ? store->recentServers(kind) : std::vector<String>();
}

}  // namespace

SelServerDlg::SelServerDlg(DbConnection& connection, int defaultPort, const String& defaultHost,
                           ConfigStore* store, QWidget* parent)
    : QtServerDialog(SelServerLogic::kTitle, defaultPort, defaultHost,
                     recentOf(store, ConfigStore::kRemoteServer), parent),
      logic_(connection, dialogparts::message, [store](const String& host, int port) {
          if (store) store->addRecentServer(ConfigStore::kRemoteServer, host, port);
      }) {
    setObjectName(QStringLiteral("SelServerDlg"));
}

bool SelServerDlg::runConnect(const Fields& fields, std::vector<String>& names, int& selected) {
    logic_.server = fields.server;
    logic_.port = fields.port;
    logic_.user = fields.user;
    logic_.password = fields.password;
    if (!logic_.connectPressed()) return false;
    names = logic_.databases();
    selected = logic_.selected();
    return true;
}

bool SelServerDlg::runAccept(int index) {
    return logic_.accept(index);
}

}  // namespace VORLIN
