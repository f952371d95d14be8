// OdbcSelDbDlg: the window that picks an ODBC data source, "Conexión a
// fuente de datos ODBC", over OdbcSelDbLogic: the list "Fuentes de datos
// registradas", "Usuario: ", "Contraseña: " (hidden), "Nueva" (explains
// where data sources are defined, then reads the list again), "OK" and
// "Cancelar". OK links the connection to the chosen source; the caller
// must not connect it again.
//
// Keyboard: mnemonics, "OK" default, Escape cancels, Enter or a double
// click on a source accepts it.
// After exec() == Accepted: source(), user() and password().
// Ownership: the connection stays the caller's and must outlive the
// dialog. Threads: the UI thread. Nothing here throws.
#pragma once

#include <QDialog>

#include "db/odbc/OdbcSelDbLogic.h"

class QLineEdit;
class QListWidget;

namespace VORLIN {

class DbConnection;

class OdbcSelDbDlg : public QDialog {
public:
    explicit OdbcSelDbDlg(DbConnection& connection, QWidget* parent = nullptr);

    String source() const { return source_; }
    String user() const { return logic_.user; }
    String password() const { return logic_.password; }
    OdbcSelDbLogic& logic() noexcept { return logic_; }

private:
    void refill();
    void newPressed();
    void okPressed();

    OdbcSelDbLogic logic_;
    QListWidget* list_;
    QLineEdit* user_;
    QLineEdit* password_;
    String source_;
};

}  // namespace VORLIN
