#include "app/connect/SqliteServerSelDbDlg.h"

namespace VORLIN {

SqliteServerSelDbDlg::SqliteServerSelDbDlg(DbConnection& connection, const String& host,
                                           const String& database, QWidget* parent)
    : LocalSelDbDlg(SelDbLogic::Kind::Remote, connection, host, database, parent) {}

}  // namespace VORLIN
