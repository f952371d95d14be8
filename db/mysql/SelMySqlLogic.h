// SelMySqlLogic: what the MySQL server-selection dialog does, without its
// window: connect with server, port, user and password, fill the list of
// databases, and accept (open the chosen database) or warn. The window of
// the main program shows the texts below and forwards the user's actions.
// After each successful connect the recent hook (optional) gets the server
// as typed and the port as a number (0 when the field is empty), so the
// application can offer that server next time.
//
// createMySqlDatabase makes a database on a connected MySQL server.
//
// Ownership: the connection stays the caller's and must outlive the logic.
// Threads: user-interface thread only. Nothing in the logic throws:
// failures of the connection reach the user through the message hook.
// createMySqlDatabase throws GeneralException.
#pragma once

#include <functional>
#include <vector>

#include "core/String.h"

namespace VORLIN {

class DbConnection;

class SelMySqlLogic {
public:
    static constexpr const char* kTitle = "Seleccione el servidor";
    static constexpr const char* kServerLabel = "Nombre del servidor: ";
    static constexpr const char* kPortLabel = "Puerto: ";
    static constexpr const char* kUserLabel = "Usuario: ";
    static constexpr const char* kPasswordLabel = "Contraseña: ";
    static constexpr const char* kConnectButton = "Conectar";
    static constexpr const char* kCancelButton = "Cancelar";
    static constexpr const char* kListLabel = "Seleccione una base";
    static constexpr const char* kOkButton = "OK";
    static constexpr const char* kChooseDatabase = "Seleccione una base de datos";
    static constexpr const char* kBadPort = "El puerto debe ser un número entre 1 y 65535";

    // (caption, text) of a message box.
    using MessageHook = std::function<void(const String& caption, const String& text)>;
    // (host as typed, port) of a server just reached.
    using RecentHook = std::function<void(const String& host, int port)>;

    SelMySqlLogic(DbConnection& connection, MessageHook message, RecentHook recent = {});

    String server;
    String port;
    String user;
    String password;

    // "Conectar": connects with server ":" port (just the server when the
    // port is empty); on success records the server through the recent
    // hook and fills databases(). A port that is not a number from 1 to
    // 65535 warns kBadPort ("ALERT"); a refusal shows the connection's
    // error with the caption "ERROR"; both answer false.
    bool connectPressed();
    // The port field as a number; 0 when it is empty.
    int portNumber() const { return port.toInt(); }
    const std::vector<String>& databases() const noexcept { return databases_; }
    // OK with the database at `index` of the list (-1: none chosen). Without
    // a choice it warns kChooseDatabase ("ALERT") and answers false; else
    // opens the database and answers whether that worked.
    bool accept(int index);
    const String& chosen() const noexcept { return chosen_; }

private:
    DbConnection& connection_;
    MessageHook message_;
    RecentHook recent_;
    std::vector<String> databases_;
    String chosen_;
};

// CREATE DATABASE with the utf8mb4 character set on `connection` (a
// connected MySQL server). The name goes between backquotes with every
// backquote doubled, so any text names exactly one database. An empty name
// throws kNoDatabaseName; the server's refusals (a name it does not take,
// a database that exists) throw its text.
inline constexpr const char* kNoDatabaseName = "Escriba el nombre de la base de datos";
void createMySqlDatabase(DbConnection& connection, const String& name);

}  // namespace VORLIN
