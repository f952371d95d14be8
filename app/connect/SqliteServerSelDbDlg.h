// SqliteServerSelDbDlg: the window that picks (or, with "Nueva", creates) a
// database of a quelmir-server: LocalSelDbDlg over the server's databases,
// titled "Conexión a base de datos del servidor", with the server's
// address as host. Acting while the connection is not connected warns
// "Conectese primero a un servidor".
//
// Ownership: the connection stays the caller's and must outlive the
// dialog. Threads: the UI thread. Nothing here throws.
#pragma once

#include "app/connect/LocalSelDbDlg.h"

namespace VORLIN {

class SqliteServerSelDbDlg : public LocalSelDbDlg {
public:
    SqliteServerSelDbDlg(DbConnection& connection, const String& host, const String& database,
                         QWidget* parent = nullptr);
};

}  // namespace VORLIN
