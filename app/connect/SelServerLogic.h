// SelServerLogic: what the server-selection dialog of the remote SQLite
// service (SelServerDlg) does, without its window: connect to server and
// port with user and password, fill the list of the server's databases
// (the first one selected), record the server among the recent ones, and
// accept a database or warn. It does not open the database: whoever ran
// the dialog does that with the chosen name.
//
// Ownership: the connection stays the caller's and must outlive the logic.
// Threads: user-interface thread only. Nothing here throws: failures reach
// the user through the message hook ((caption, text) of a message box).
#pragma once

#include <functional>
#include <vector>

#include "core/String.h"
#include "db/mysql/SelMySqlLogic.h"

namespace VORLIN {

class DbConnection;

class SelServerLogic {
public:
    static constexpr const char* kTitle = "Seleccione el servidor";
    // The same window texts as the MySQL server dialog.
    static constexpr const char* kServerLabel = SelMySqlLogic::kServerLabel;
    static constexpr const char* kPortLabel = SelMySqlLogic::kPortLabel;
    static constexpr const char* kUserLabel = SelMySqlLogic::kUserLabel;
    static constexpr const char* kPasswordLabel = SelMySqlLogic::kPasswordLabel;
    static constexpr const char* kConnectButton = SelMySqlLogic::kConnectButton;
    static constexpr const char* kListLabel = SelMySqlLogic::kListLabel;
    static constexpr const char* kOkButton = SelMySqlLogic::kOkButton;
    static constexpr const char* kCancelButton = SelMySqlLogic::kCancelButton;
    static constexpr const char* kChooseDatabase = SelMySqlLogic::kChooseDatabase;
    static constexpr const char* kConnectFirst = "Conectese primero a un servidor";
    static constexpr const char* kBadPort = SelMySqlLogic::kBadPort;

    using MessageHook = std::function<void(const String& caption, const String& text)>;
    // (host as typed, port) of a server just reached.
    using RecentHook = std::function<void(const String& host, int port)>;

    SelServerLogic(DbConnection& connection, MessageHook message, RecentHook recent = {});

    String server;
    int port = 0;
    String user;
    String password;

    // "Conectar": connects with server ":" port, user and password (never
    // asking through other dialogs); on success fills databases() from
    // listDatabases, selects the first and records the server through the
    // recent hook. A port outside 1..65535 warns kBadPort ("ALERT"); a
    // refusal shows the connection's error ("ERROR"). On failure the list
    // stays as it was and the answer is false.
    bool connectPressed();
    const std::vector<String>& databases() const noexcept { return databases_; }
    // The entry selected after a fill: 0, or -1 with an empty list.
    int selected() const noexcept { return databases_.empty() ? -1 : 0; }
    // "OK" with the database at `index` (-1: none). Without a choice it
    // warns kChooseDatabase ("ALERT"); when the connection was lost since
    // the list was filled, kConnectFirst ("ALERT"); both answer false.
    bool accept(int index);
    const String& chosen() const noexcept { return chosen_; }

private:
    DbConnection& connection_;
    MessageHook message_;
    RecentHook recent_;
    std::vector<String> databases_;
    String chosen_;
};

}  // namespace VORLIN
