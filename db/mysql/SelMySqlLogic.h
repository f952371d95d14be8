// SelMySqlLogic: what the MySQL server-selection dialog does, without its
// window: connect with server, port, user and password, fill the list of
// databases, and accept (open the chosen database) or warn. The window of
// the main program shows the texts below and forwards the user's actions.
//
// Ownership: the connection stays the caller's and must outlive the logic.
// Threads: user-interface thread only. Nothing here throws: failures of the
// connection reach the user through the message hook.
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
    static constexpr const char* kChooseDatabase = "Seleccione una base de datos";

    // (caption, text) of a message box.
    using MessageHook = std::function<void(const String& caption, const String& text)>;

    SelMySqlLogic(DbConnection& connection, MessageHook message);

    String server;
    String port;
    String user;
    String password;

    // "Conectar": connects with server ":" port (just the server when the
    // port is empty); on success fills databases(). A refusal shows the
    // connection's error with the caption "ERROR" and answers false.
    bool connectPressed();
    const std::vector<String>& databases() const noexcept { return databases_; }
    // OK with the database at `index` of the list (-1: none chosen). Without
    // a choice it warns kChooseDatabase ("ALERT") and answers false; else
    // opens the database and answers whether that worked.
    bool accept(int index);
    const String& chosen() const noexcept { return chosen_; }

private:
    DbConnection& connection_;
    MessageHook message_;
    std::vector<String> databases_;
    String chosen_;
};

}  // namespace VORLIN
