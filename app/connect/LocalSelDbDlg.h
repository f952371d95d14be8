// LocalSelDbDlg: the window that picks a database of a folder of local
// SQLite files, "Conexión a base de datos local": the folder ("Host: "),
// the list "Bases de datos", "Nueva" (asks a name and creates that
// database), "OK" and "Cancelar", over SelDbLogic. SqliteServerSelDbDlg
// derives from it for the databases of a quelmir-server.
//
// Keyboard: mnemonics on every control, "OK" default, Escape cancels, Enter
// or a double click on a database accepts it.
// After exec() == Accepted: host() and database() (the entry chosen, as
// listed). A cancelled local dialog points the connection back at the
// folder it had.
//
// Ownership: the connection stays the caller's and must outlive the
// dialog. Threads: the UI thread. Nothing here throws.
#pragma once

#include <QDialog>

#include "app/connect/SelDbLogic.h"

class QListWidget;
class QPushButton;

namespace VORLIN {

class DbConnection;

class LocalSelDbDlg : public QDialog {
public:
    LocalSelDbDlg(DbConnection& connection, const String& folder, const String& database,
                  QWidget* parent = nullptr);
    ~LocalSelDbDlg() override;

    String host() const { return logic_.host(); }
    String database() const { return logic_.chosen(); }
    SelDbLogic& logic() noexcept { return logic_; }

    void done(int result) override;

protected:
    LocalSelDbDlg(SelDbLogic::Kind kind, DbConnection& connection, const String& host,
                  const String& database, QWidget* parent);

private:
    void build();
    void refill();
    void newPressed();
    void okPressed();

    SelDbLogic logic_;
    QListWidget* list_ = nullptr;
};

}  // namespace VORLIN
