// OdbcSelDbLogic: what the ODBC data-source dialog does, without its
// window: fill the list of registered sources, take user and password, and
// accept (connect to the chosen source) or warn. The window of the main
// program shows the texts below and forwards the user's actions.
//
// Ownership: the connection stays the caller's and must outlive the logic.
// Threads: user-interface thread only. Nothing here throws: failures reach
// the user through the message hook.
#pragma once

#include <functional>
#include <vector>

#include "core/String.h"

namespace VORLIN {

class DbConnection;

class OdbcSelDbLogic {
public:
    static constexpr const char* kTitle = "Conexión a fuente de datos ODBC";
    static constexpr const char* kListLabel = "Fuentes de datos registradas";
    static constexpr const char* kUserLabel = "Usuario: ";
    static constexpr const char* kPasswordLabel = "Contraseña: ";
    static constexpr const char* kNewButton = "Nueva";
    static constexpr const char* kCancelButton = "Cancelar";
    static constexpr const char* kOkButton = "OK";
    static constexpr const char* kChooseSource = "Seleccione una base de datos";
    // What "Nueva" says ("INFO"): sources are not made here. The three
    // %s are the user's and the system's data-source files and the driver
    // file.
    static constexpr const char* kNewText =
        "Las fuentes de datos ODBC se definen en la configuración ODBC del sistema, no desde "
        "aquí. Agregue la fuente (un bloque [Nombre] con Driver= y los datos de la base) en uno "
        "de estos archivos; la lista se vuelve a leer al cerrar este mensaje.\n\n"
        "Fuentes de datos del usuario: %s\n"
        "Fuentes de datos del sistema: %s\n"
        "Controladores (odbcinst.ini): %s";

    using MessageHook = std::function<void(const String& caption, const String& text)>;

    OdbcSelDbLogic(DbConnection& connection, MessageHook message);

    String user;
    String password;

    // Fills sources() (connecting the environment first when needed; a
    // failure to do so is shown with "ERROR").
    void fill();
    // "Nueva": explains where data sources are defined (kNewText with the
    // driver manager's files, "INFO"), then fills the list again.
    void newPressed();
    const std::vector<String>& sources() const noexcept { return sources_; }
    // OK with the source at `index` (-1: none): warns kChooseSource
    // ("ALERT") without one; else connects to it and answers whether that
    // worked (the diagnostics shown with "ERROR" when not).
    bool accept(int index);
    // What browseDatabase returns on OK: "ODBC|" and the source.
    String chosen() const;

private:
    DbConnection& connection_;
    MessageHook message_;
    std::vector<String> sources_;
    String chosen_;
};

}  // namespace VORLIN
