// SelDbLogic: what the database-selection dialogs do, without their
// windows: LocalSelDbDlg (the SQLite files of a local folder) and
// SqliteServerSelDbDlg (the databases of a quelmir-server). It lists the
// databases through the connection, creates one with "Nueva" (asking the
// name), and accepts a database or warns.
//
// Local: the list is the folder's "*.db" files, so the connection is first
// pointed at the folder shown (connect(folder, "", "", false, "-")) when it
// is not there already; a cancelled dialog points it back (restore()).
// Without a folder the connection's default folder is shown; without that
// either, the list stays empty and "Nueva" asks for a folder first
// (kNoFolder, "ALERT"). A
// new name typed with ".db" is taken as the file name, without it ".db" is
// added. Remote: every action needs the connection connected, else it
// warns kConnectFirst.
//
// Ownership: the connection stays the caller's and must outlive the logic.
// Threads: user-interface thread only. Nothing here throws: failures reach
// the user through the message hook ((caption, text) of a message box);
// names are asked through the ask hook.
#pragma once

#include <functional>
#include <vector>

#include "core/String.h"

namespace VORLIN {

class DbConnection;

class SelDbLogic {
public:
    enum class Kind { Local, Remote };

    static constexpr const char* kLocalTitle = "Conexión a base de datos local";
    static constexpr const char* kRemoteTitle = "Conexión a base de datos del servidor";
    static constexpr const char* kHostLabel = "Host: ";
    static constexpr const char* kListLabel = "Bases de datos";
    static constexpr const char* kNewButton = "Nueva";
    static constexpr const char* kOkButton = "OK";
    static constexpr const char* kCancelButton = "Cancelar";
    static constexpr const char* kNewTitle = "Crear nueva base";
    static constexpr const char* kNewPrompt = "Nombre: ";
    static constexpr const char* kChooseDatabase = "Seleccione una base de datos";
    static constexpr const char* kConnectFirst = "Conectese primero a un servidor";
    static constexpr const char* kNoFolder = "Seleccione una carpeta con bases de datos";
    static constexpr const char* kBadName =
        "El nombre de la base de datos no puede contener '/' ni '\\'";

    using MessageHook = std::function<void(const String& caption, const String& text)>;
    // (title, prompt, value in and out) -> accepted.
    using AskHook = std::function<bool(const String& title, const String& prompt, String& value)>;

    // `host` is the folder (local) or the server address (remote) shown;
    // `database` the one to select first (with or without ".db").
    SelDbLogic(Kind kind, DbConnection& connection, const String& host, const String& database,
               MessageHook message, AskHook ask);

    Kind kind() const noexcept { return kind_; }
    const String& host() const noexcept { return host_; }
    // Lists the databases again (failures shown with "ERROR").
    void fill();
    const std::vector<String>& databases() const noexcept { return databases_; }
    // The entry to select: the database created last or the one given, or -1.
    int selected() const;
    // "Nueva": asks kNewPrompt in a kNewTitle box and creates the database;
    // true when one was made (the list is filled again with it selected).
    // An empty name or a cancelled question does nothing.
    bool newPressed();
    // "OK" with the entry at `index` (-1: none): warns kChooseDatabase
    // ("ALERT") without a choice; true with chosen() set otherwise.
    bool accept(int index);
    const String& chosen() const noexcept { return chosen_; }
    // Cancelled: a local connection goes back to the folder it had.
    void restore();

private:
    // The connection can act on host_: connected (remote), pointed at the
    // folder (local). `quiet`: no message when there is no folder at all.
    bool ready(bool quiet = false);
    int indexOf(const String& name) const;

    Kind kind_;
    DbConnection& connection_;
    String host_;
    String wanted_;
    String previousFolder_;
    bool movedFolder_ = false;
    MessageHook message_;
    AskHook ask_;
    std::vector<String> databases_;
    String chosen_;
};

}  // namespace VORLIN
