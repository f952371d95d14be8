// SqliteServerConnectLogic: what SqliteServerConnectDlg does, without its
// window: the server name and port the remote SQLite connection should
// try, checked before the dialog closes.
//
// Ownership: plain values. Threads: user-interface thread only. Nothing
// here throws: warnings reach the user through the message hook.
#pragma once

#include <functional>

#include "core/String.h"

namespace VORLIN {

class SqliteServerConnectLogic {
public:
    static constexpr const char* kTitle = "Seleccione el servidor";
    static constexpr const char* kServerLabel = "Nombre del servidor: ";
    static constexpr const char* kPortLabel = "Puerto: ";
    static constexpr const char* kOkButton = "OK";
    static constexpr const char* kCancelButton = "Cancelar";
    static constexpr const char* kNoServer = "Escriba el nombre del servidor";
    static constexpr const char* kBadPort = "El puerto debe ser un número entre 1 y 65535";

    using MessageHook = std::function<void(const String& caption, const String& text)>;

    explicit SqliteServerConnectLogic(MessageHook message) : message_(std::move(message)) {}

    String server;
    int port = 0;

    // "OK": true when server is not blank and port is 1..65535; otherwise
    // warns kNoServer or kBadPort ("ALERT"). The server loses surrounding
    // blanks.
    bool accept();

private:
    MessageHook message_;
};

}  // namespace VORLIN
