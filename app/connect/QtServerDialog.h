// QtServerDialog: the window shared by the two server-selection dialogs
// (SelServerDlg for the remote SQLite service, SelMySqlDlg for MySQL):
// "Nombre del servidor: " (an editable list of the recent servers),
// "Puerto: ", "Usuario: ", "Contraseña: " (hidden), "Conectar", the list
// "Seleccione una base", "OK" and "Cancelar". The subclass runs its logic
// for "Conectar" and "OK".
//
// Keyboard: every field has a mnemonic and a buddy label; "Conectar" is
// the default button until a server answered, "OK" afterwards; Escape
// cancels; Enter or a double click on a database accepts it.
//
// After exec() == Accepted: database() is the chosen database, host() and
// port() the server and port of the connect that listed it, as typed.
// Ownership: owns its widgets. Threads: the UI thread. Nothing here throws.
#pragma once

#include <vector>

#include <QDialog>

#include "core/String.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace VORLIN {

class QtServerDialog : public QDialog {
public:
    String database() const { return database_; }
    String host() const { return host_; }
    int port() const { return port_; }

protected:
    struct Fields {
        String server;
        int port = 0;
        String user;
        String password;
    };

    QtServerDialog(const char* title, int defaultPort, const String& defaultHost,
                   const std::vector<String>& recentHosts, QWidget* parent);

    // "Conectar" with the fields: true with the databases and the entry to
    // select (-1: none).
    virtual bool runConnect(const Fields& fields, std::vector<String>& names, int& selected) = 0;
    // "OK" with the entry at `index` (-1: none): true when the dialog may close.
    virtual bool runAccept(int index) = 0;

private:
    void connectPressed();
    void okPressed();

    QComboBox* server_;
    QSpinBox* portBox_;
    QLineEdit* user_;
    QLineEdit* password_;
    QPushButton* connect_;
    QListWidget* list_;
    QPushButton* ok_;
    QPushButton* cancel_;
    String connectedHost_;
    int connectedPort_ = 0;
    String database_;
    String host_;
    int port_ = 0;
};

}  // namespace VORLIN
