#include "app/connect/QtConnectionDialogs.h"

#include "app/connect/LocalConnectDlg.h"
#include "app/connect/LocalSelDbDlg.h"
#include "app/connect/OdbcSelDbDlg.h"
#include "app/connect/SqliteServerConnectDlg.h"
#include "app/connect/SqliteServerSelDbDlg.h"
#include "ui/MsgBox.h"

namespace VORLIN {

QtConnectionDialogs::QtConnectionDialogs(ConfigStore* store) : store_(store) {}

QtConnectionDialogs::~QtConnectionDialogs() = default;

bool QtConnectionDialogs::chooseFolder(const String& startFolder, String& chosen) {
    return LocalConnectDlg::choose(startFolder, chosen);
}

bool QtConnectionDialogs::selectLocalDatabase(DbConnection& connection, const String& folder,
                                              const String& database, DatabaseChoice& choice) {
    LocalSelDbDlg dialog(connection, folder, database, MsgBox::parentWindow());
    if (dialog.exec() != QDialog::Accepted) return false;
    choice.folder = dialog.host();
    choice.database = dialog.database();
    return true;
}

bool QtConnectionDialogs::chooseRemoteServer(String& server, int& port) {
    SqliteServerConnectDlg dialog(server, port, store_, MsgBox::parentWindow());
    if (dialog.exec() != QDialog::Accepted) return false;
    server = dialog.server();
    port = dialog.port();
    return true;
}

bool QtConnectionDialogs::selectRemoteDatabase(DbConnection& connection, const String& host,
                                               const String& database, DatabaseChoice& choice) {
    SqliteServerSelDbDlg dialog(connection, host, database, MsgBox::parentWindow());
    if (dialog.exec() != QDialog::Accepted) return false;
    choice.folder = dialog.host();
    choice.database = dialog.database();
    return true;
}

bool QtConnectionDialogs::selectOdbcSource(DbConnection& connection, String& source, String& user,
                                           String& password) {
    OdbcSelDbDlg dialog(connection, MsgBox::parentWindow());
    if (dialog.exec() != QDialog::Accepted) return false;
    source = dialog.source();
    user = dialog.user();
    password = dialog.password();
    return true;
}

}  // namespace VORLIN
