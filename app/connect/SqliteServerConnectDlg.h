// SqliteServerConnectDlg: the window in which the remote SQLite connection
// asks for the server to try: "Nombre del servidor: " (an editable list of
// the recent servers of kind 1) and "Puerto: ", "OK" and "Cancelar", over
// SqliteServerConnectLogic.
//
// Keyboard: mnemonics, "OK" default, Escape cancels.
// After exec() == Accepted: server() and port().
// Ownership: the store (may be null) stays the caller's. Threads: the UI
// thread. Nothing here throws.
#pragma once

#include <QDialog>

#include "app/connect/SqliteServerConnectLogic.h"

class QComboBox;
class QSpinBox;

namespace VORLIN {

class ConfigStore;

class SqliteServerConnectDlg : public QDialog {
public:
    SqliteServerConnectDlg(const String& server, int port, ConfigStore* store,
                           QWidget* parent = nullptr);

    String server() const { return logic_.server; }
    int port() const { return logic_.port; }

private:
    void okPressed();

    SqliteServerConnectLogic logic_;
    QComboBox* server_;
    QSpinBox* port_;
};

}  // namespace VORLIN
