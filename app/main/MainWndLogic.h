// MainWndLogic: what the main window does, without its window: the open
// connections it shows (one node per connection with its tables), the
// commands that open, create, close and rename them, the last server
// reached, and what happens when a remote server goes away.
//
// The window implements Ui (file dialog, input box, message box, the
// server dialogs, redraw of the tree); the tests implement it headless.
// Each command catches GeneralException and shows its text with "ERROR".
//
// Ownership: a connection being opened is owned here until its node is
// built; then it goes to the application (Environment::adopt), which keeps
// it until the program ends, also after "Cerrar base de datos". Nodes
// point at adopted connections only. Threads: the UI thread only. Nothing
// here throws: commands report through Ui::message.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "core/String.h"

namespace VORLIN {

class DbConnection;

class MainWndLogic {
public:
    // Connection kinds, in the order of their pictures.
    enum Kind { Root = 0, Local = 1, Server = 2, MySql = 3, Odbc = 4 };
    static constexpr int kServerPort = 6540;
    static constexpr int kMySqlPort = 3306;

    // --- texts ---
    static constexpr const char* kTitle = "VORLIN Quelmir";
    static constexpr const char* kTreeTitle = "CONEXIONES";
    static constexpr const char* kRootLabel = "Conexiones abiertas";
    static constexpr const char* kOpenLocalTitle = "Abrir base de datos de Sqlite";
    static constexpr const char* kOpenLocalFilter =
        "Bases de datos (*.db)|db:Todos los archivos (*.*)|";
    static constexpr const char* kCreateTitle = "Crear nueva Base de datos";
    static constexpr const char* kCreatePrompt = "Nombre: ";
    static constexpr const char* kAliasTitle = "Establecer Alias";
    static constexpr const char* kAliasPrompt = "Alias: ";
    static constexpr const char* kLost = "Se perdió la conexión con el servidor de %s";
    static constexpr const char* kLostMark = " (desconectada)";
    static constexpr const char* kNotOpened = "No se pudieron abrir:";
    static constexpr const char* kNoFile = "No existe el archivo %s";
    static constexpr const char* kNoOdbcLink =
        "La fuente de datos %s no quedó conectada después del diálogo";

    struct Ui {
        virtual ~Ui() = default;
        // An existing file, or empty when cancelled.
        virtual String openFile(const String& title, const String& filter,
                                const String& folder) = 0;
        // True with the text on OK.
        virtual bool askText(const String& title, const String& prompt, String& value) = 0;
        virtual void message(const String& text, const String& icon) = 0;
        // The server dialog of `kind` (Server: the remote service, MySql)
        // on `connection`, shown with `host` and `port`. True on OK, with
        // the host and port as typed and the database chosen.
        virtual bool serverDialog(int kind, DbConnection& connection, String& host, int& port,
                                  String& database) = 0;
        // The nodes changed: redraw the tree.
        virtual void treeChanged() = 0;
    };

    struct Environment {
        // Takes a connection whose node was built; answers it.
        std::function<DbConnection*(std::unique_ptr<DbConnection>)> adopt;
        std::function<String()> workFolder;
        std::function<void(const String&)> setWorkFolder;
        // Gives a new connection the application's defaults.
        std::function<void(DbConnection&)> prepare;
        // Makes the connection object of a kind (tests may replace it).
        std::function<std::unique_ptr<DbConnection>(int kind)> make;
    };

    struct Node {
        DbConnection* connection = nullptr;
        int kind = Local;
        String label;     // the alias replaces it
        String database;  // as opened
        bool lost = false;
        std::vector<String> tables;
        // The label with the lost mark, as the tree shows it.
        String shown() const;
    };

    MainWndLogic(Ui& ui, Environment environment);
    ~MainWndLogic();

    const std::vector<Node>& nodes() const noexcept { return nodes_; }
    const Node* node(int index) const;
    const String& lastServer() const noexcept { return lastServer_; }
    // The work folder the dialogs start in.
    String workFolder() const { return env_.workFolder ? env_.workFolder() : String(); }
    // Makes the folder of `path` the work folder.
    void setWorkFolderFrom(const String& path);
    void setLastServer(const String& server) { lastServer_ = server; }
    // The host and port the server dialog of `kind` starts with.
    void serverDefaults(int kind, String& host, int& port) const;

    // --- commands (each reports its own failures) ---
    bool open(int kind);
    bool openLocalFile(const String& path);
    // Opens each file; the ones that fail are reported in one message.
    int openFiles(const std::vector<String>& paths);
    bool create(int kind);
    void close(int index);
    void setAlias(int index);
    // Lists the tables of that connection again.
    void refresh(DbConnection* connection);

    // A remote server closed `connection`: its node is marked.
    void serverClosed(DbConnection* connection);
    // Throws the lost-connection text when the node's server went away, and
    // ConnectionBusy's when a query window is reading on it.
    void requireLive(int index) const;

private:
    bool openServer(int kind);
    bool openOdbc();
    bool addNode(std::unique_ptr<DbConnection> connection, int kind, const String& label,
                 const String& database);
    std::unique_ptr<DbConnection> make(int kind);
    void fail(const String& text);

    Ui& ui_;
    Environment env_;
    std::vector<Node> nodes_;
    String lastServer_ = "localhost";
};

}  // namespace VORLIN
