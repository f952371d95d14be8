// ConnectionDialogs: the windows a connection opens by itself when it needs
// the user to choose (a folder of local databases, a database in it, the
// server and database of the remote SQLite service, an ODBC data source).
// The connections
// live below the window toolkit, so they ask through this interface and the
// user interface implements it.
//
// Every operation answers "cancel" (false) here, so an implementation
// overrides only the dialogs it has and new dialogs can be added without
// touching existing implementations. Without an installed implementation
// the connections get one that cancels everything.
//
// Ownership: install() does not take ownership; the installer keeps the
// object alive while it is installed and uninstalls it (install(nullptr))
// before destroying it. Threads: the dialogs are shown from the
// user-interface thread; install() and current() may be called from any
// thread. Implementations may throw GeneralException; the connections let
// it through.
#pragma once

#include "core/String.h"

namespace VORLIN {

class DbConnection;

class ConnectionDialogs {
public:
    // Texts of the local dialogs, used exactly so by the implementations.
    static constexpr const char* kChooseFolderTitle = "Seleccione una carpeta con bases de datos";
    static constexpr const char* kSelectDbTitle = "Conexión a base de datos local";
    static constexpr const char* kSelectDbHostLabel = "Host: ";
    static constexpr const char* kSelectDbList = "Bases de datos";
    static constexpr const char* kSelectDbNew = "Nueva";
    static constexpr const char* kSelectDbCancel = "Cancelar";
    static constexpr const char* kNewDbTitle = "Crear nueva base";
    static constexpr const char* kNewDbPrompt = "Nombre: ";

    // The answer of a database-selection dialog.
    struct DatabaseChoice {
        String folder;    // the folder (host) chosen
        String database;  // a database of that folder, with or without ".db"
    };

    ConnectionDialogs() = default;
    // Pure, so the class stays abstract even though every dialog has a default.
    virtual ~ConnectionDialogs() = 0;
    ConnectionDialogs(const ConnectionDialogs&) = delete;
    ConnectionDialogs& operator=(const ConnectionDialogs&) = delete;

    // LocalConnectDlg: lets the user pick a folder, starting at
    // `startFolder`. True with the folder in `chosen` on OK.
    virtual bool chooseFolder(const String& startFolder, String& chosen);

    // LocalSelDbDlg: shows the databases of `folder` (through
    // connection.listDatabases) with `database` selected. Its "Nueva" button
    // asks for a name and creates that database through `connection` (which
    // it first points at the folder shown, connect(folder, "", "", false,
    // "-"), when needed). True with the folder and database in `choice` on OK.
    virtual bool selectLocalDatabase(DbConnection& connection, const String& folder,
                                     const String& database, DatabaseChoice& choice);

    // Texts of the remote dialogs (SqliteServerConnectDlg, SqliteServerSelDbDlg).
    static constexpr const char* kRemoteDefaultServer = "LocalHost";
    static constexpr int kRemoteDefaultPort = 6540;
    static constexpr const char* kRemoteSelectDb = "Seleccione una base de datos";
    static constexpr const char* kRemoteConnectFirst = "Conectese primero a un servidor";

    // SqliteServerConnectDlg: server and port fields, shown with `server`
    // and `port` (the callers pass "LocalHost" and 6540 when they have
    // nothing better). True with the values in `server` and `port` on OK.
    virtual bool chooseRemoteServer(String& server, int& port);

    // SqliteServerSelDbDlg: lists the server's databases (through
    // connection.listDatabases) with `database` selected; "Nueva" asks for a
    // name (kNewDbPrompt in a kNewDbTitle box) and calls
    // connection.createDatabase; OK with nothing chosen shows
    // kRemoteSelectDb and acting while connection.isConnected() is false
    // shows kRemoteConnectFirst (both with the caption "ALERT"). True with
    // the host in choice.folder and the database in choice.database on OK.
    virtual bool selectRemoteDatabase(DbConnection& connection, const String& host,
                                      const String& database, DatabaseChoice& choice);

    // OdbcSelDbDlg: the data sources registered with the driver manager
    // (through connection.listDatabases), a user and a password. On OK the
    // dialog has already linked `connection` to the chosen source
    // (openDatabase with that user and password) and answers true with the
    // source, user and password. The connection is ready then: connect
    // must not be called again, since it starts over without a source.
    virtual bool selectOdbcSource(DbConnection& connection, String& source, String& user,
                                  String& password);

    // Installs the process-wide dialogs (null uninstalls). Not owned.
    static void install(ConnectionDialogs* dialogs) noexcept;
    // The installed dialogs, or null.
    static ConnectionDialogs* installed() noexcept;
    // The installed dialogs, or a set that cancels every dialog.
    static ConnectionDialogs& current() noexcept;
};

}  // namespace VORLIN
