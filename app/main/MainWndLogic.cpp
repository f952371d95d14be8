#include "app/main/MainWndLogic.h"

#include "app/query/ConnectionBusy.h"

#include <cstdlib>

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/FileStream.h"
#include "db/DbConnection.h"
#include "db/mysql/MySqlConnection.h"
#include "db/mysql/SelMySqlLogic.h"
#include "db/odbc/OdbcConnection.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "remote/SqliteClientConnection.h"

namespace VORLIN {

namespace {

// The folder part of a path, ending in "/"; "./" for a bare name.
String folderOf(const String& path) {
    const std::string p = path.toStdString();
    const size_t slash = p.rfind('/');
    if (slash == std::string::npos) return String("./");
    return String(p.substr(0, slash + 1));
}

String nameOf(const String& path) {
    const std::string p = path.toStdString();
    const size_t slash = p.rfind('/');
    return String(slash == std::string::npos ? p : p.substr(slash + 1));
}

String message(const GeneralException& e) {
    return String(e.message());
}

}  // namespace

String MainWndLogic::Node::shown() const {
    return lost ? label + String(kLostMark) : label;
}

MainWndLogic::MainWndLogic(Ui& ui, Environment environment)
    : ui_(ui), env_(std::move(environment)) {}

MainWndLogic::~MainWndLogic() = default;

const MainWndLogic::Node* MainWndLogic::node(int index) const {
    return index >= 0 && size_t(index) < nodes_.size() ? &nodes_[size_t(index)] : nullptr;
}

std::unique_ptr<DbConnection> MainWndLogic::make(int kind) {
    std::unique_ptr<DbConnection> c;
    if (env_.make) c = env_.make(kind);
    if (!c) {
        switch (kind) {
            case Local:
                c = std::make_unique<SqliteLocalConnection>();
                break;
            case Server:
                c = std::make_unique<SqliteClientConnection>();
                break;
            case MySql:
                c = std::make_unique<MySqlConnection>();
                break;
            case Odbc:
                c = std::make_unique<OdbcConnection>();
                break;
            default:
                throw GeneralException("MainWnd: tipo de conexión desconocido");
        }
    }
    if (env_.prepare) env_.prepare(*c);
    return c;
}

void MainWndLogic::setWorkFolderFrom(const String& path) {
    if (env_.setWorkFolder) env_.setWorkFolder(folderOf(path));
}

void MainWndLogic::fail(const String& text) {
    ui_.message(text, "ERROR");
}

void MainWndLogic::serverDefaults(int kind, String& host, int& port) const {
    const std::string s = lastServer_.toStdString();
    const size_t colon = s.find(':');
    host = String(colon == std::string::npos ? s : s.substr(0, colon));
    if (host.isEmpty()) host = "localhost";
    port = colon == std::string::npos ? 0 : std::atoi(s.c_str() + colon + 1);
    if (port < 1) port = kind == MySql ? kMySqlPort : kServerPort;
}

bool MainWndLogic::open(int kind) {
    try {
        switch (kind) {
            case Local: {
                const String path = ui_.openFile(kOpenLocalTitle, kOpenLocalFilter,
                                                 env_.workFolder ? env_.workFolder() : String());
                if (path.isEmpty()) return false;
                return openLocalFile(path);
            }
            case Server:
            case MySql:
                return openServer(kind);
            case Odbc:
                return openOdbc();
            default:
                return false;
        }
    } catch (const GeneralException& e) {
        fail(message(e));
        return false;
    }
}

bool MainWndLogic::openLocalFile(const String& path) {
    try {
        const String folder = folderOf(path);
        const String name = nameOf(path);
        // Opening never creates: a name that is not there is an error.
        if (!fileExists(path)) {
            String text;
            text.format(kNoFile, path.c_str());
            fail(text);
            return false;
        }
        if (env_.setWorkFolder) env_.setWorkFolder(folder);
        auto connection = make(Local);
        if (!connection->connect(folder, "", "", true, "")) {
            fail(connection->lastError().isEmpty() ? String("No se pudo abrir ") + folder
                                                   : connection->lastError());
            return false;
        }
        // The name as chosen: no extension is added ("x.db" stays "x.db").
        if (!connection->openDatabase(name, false, "", "")) {
            fail(connection->lastError());
            return false;
        }
        return addNode(std::move(connection), Local, name, name);
    } catch (const GeneralException& e) {
        fail(message(e));
        return false;
    }
}

int MainWndLogic::openFiles(const std::vector<String>& paths) {
    int opened = 0;
    String failures;
    for (const String& path : paths) {
        // Each failure is collected, not shown one box at a time.
        struct Collect : Ui {
            Ui& inner;
            String text;
            explicit Collect(Ui& u) : inner(u) {}
            String openFile(const String& t, const String& f, const String& d) override {
                return inner.openFile(t, f, d);
            }
            bool askText(const String& t, const String& p, String& v) override {
                return inner.askText(t, p, v);
            }
            void message(const String& t, const String&) override { text = t; }
            bool serverDialog(int k, DbConnection& c, String& h, int& p, String& d) override {
                return inner.serverDialog(k, c, h, p, d);
            }
            void treeChanged() override { inner.treeChanged(); }
        } collect(ui_);
        MainWndLogic one(collect, env_);
        one.lastServer_ = lastServer_;
        if (one.openLocalFile(path)) {
            nodes_.push_back(one.nodes_.front());
            ++opened;
        } else {
            failures += String("\n") + path + String(": ") + collect.text;
        }
    }
    if (opened) ui_.treeChanged();
    if (!failures.isEmpty()) ui_.message(String(kNotOpened) + failures, "ERROR");
    return opened;
}

bool MainWndLogic::openServer(int kind) {
    auto connection = make(kind);
    String host;
    int port = 0;
    serverDefaults(kind, host, port);
    String database;
    if (!ui_.serverDialog(kind, *connection, host, port, database)) return false;
    if (!connection->openDatabase(database, false, "", "")) {
        fail(connection->lastError());
        return false;
    }
    if (!addNode(std::move(connection), kind, database, database)) return false;
    // The host and port as typed in the dialog (the MySQL connection's own
    // host drops the port).
    String server;
    server.format("%s:%d", host.c_str(), port);
    lastServer_ = server;
    return true;
}

bool MainWndLogic::openOdbc() {
    auto connection = make(Odbc);
    const String answer = connection->browseDatabase("", "", "");
    if (answer.isEmpty()) return false;
    const std::string a = answer.toStdString();
    const size_t bar = a.find('|');
    const String source(bar == std::string::npos ? a : a.substr(bar + 1));
    if (source.isEmpty()) return false;
    // The dialog's OK connected the source; connecting again would drop
    // that link.
    if (!connection->isConnected()) {
        String text;
        text.format(kNoOdbcLink, source.c_str());
        fail(connection->lastError().isEmpty() ? text : connection->lastError());
        return false;
    }
    return addNode(std::move(connection), Odbc, source, source);
}

bool MainWndLogic::create(int kind) {
    try {
        String name;
        if (!ui_.askText(kCreateTitle, kCreatePrompt, name)) return false;
        name.trim();
        if (name.isEmpty()) return false;
        auto connection = make(kind);
        if (kind == Local || kind == Server) {
            if (!connection->connect("", "", "", true, kind == Server ? "-" : "")) {
                if (!connection->lastError().isEmpty()) fail(connection->lastError());
                return false;
            }
            connection->createDatabase(name, true);
            const String host = connection->getHost();
            if (!addNode(std::move(connection), kind, name, name)) return false;
            if (kind == Server) lastServer_ = host;
            return true;
        }
        if (kind == MySql) {
            String host;
            int port = 0;
            serverDefaults(kind, host, port);
            String database;
            if (!ui_.serverDialog(kind, *connection, host, port, database)) return false;
            createMySqlDatabase(*connection, name);
            if (!connection->openDatabase(name, false, "", "")) {
                fail(connection->lastError());
                return false;
            }
            if (!addNode(std::move(connection), kind, name, name)) return false;
            String server;
            server.format("%s:%d", host.c_str(), port);
            lastServer_ = server;
            return true;
        }
        return false;
    } catch (const GeneralException& e) {
        fail(message(e));
        return false;
    }
}

bool MainWndLogic::addNode(std::unique_ptr<DbConnection> connection, int kind, const String& label,
                           const String& database) {
    Node node;
    node.kind = kind;
    node.label = label;
    node.database = database;
    // The node first: a connection whose tables cannot be listed is
    // reported and deleted here, never handed to the application.
    try {
        DataSet tables;
        connection->listTables(&tables);
        for (int i = 0; i < tables.rowCount(); ++i)
            if (const DataRow* row = tables.row(i); row && row->count() > 0)
                node.tables.push_back(row->cell(0)->toString());
        connection->setLabel(label);
    } catch (const GeneralException& e) {
        fail(message(e));
        try {
            connection->disconnect();
        } catch (const GeneralException&) {
        }
        return false;
    }
    node.connection = env_.adopt ? env_.adopt(std::move(connection)) : nullptr;
    if (!node.connection) return false;
    nodes_.push_back(std::move(node));
    ui_.treeChanged();
    return true;
}

void MainWndLogic::close(int index) {
    const Node* n = node(index);
    if (!n) return;
    try {
        ConnectionBusy::require(n->connection, n->label);
    } catch (const GeneralException& e) {
        fail(message(e));
        return;
    }
    try {
        n->connection->disconnect();
    } catch (const GeneralException& e) {
        fail(message(e));
    }
    nodes_.erase(nodes_.begin() + index);
    ui_.treeChanged();
}

void MainWndLogic::setAlias(int index) {
    if (!node(index)) return;
    Node& n = nodes_[size_t(index)];
    try {
        ConnectionBusy::require(n.connection, n.label);
    } catch (const GeneralException& e) {
        fail(message(e));
        return;
    }
    String alias = n.label;
    if (!ui_.askText(kAliasTitle, kAliasPrompt, alias)) return;
    alias.trim();
    if (alias.isEmpty()) return;
    n.label = alias;
    try {
        if (!n.lost) n.connection->setLabel(alias);
    } catch (const GeneralException&) {
        // The tree shows the alias all the same; the server keeps the old label.
    }
    ui_.treeChanged();
}

void MainWndLogic::refresh(DbConnection* connection) {
    for (Node& n : nodes_) {
        if (n.connection != connection || n.lost || ConnectionBusy::busy(connection)) continue;
        try {
            DataSet tables;
            connection->listTables(&tables);
            n.tables.clear();
            for (int i = 0; i < tables.rowCount(); ++i)
                if (const DataRow* row = tables.row(i); row && row->count() > 0)
                    n.tables.push_back(row->cell(0)->toString());
        } catch (const GeneralException& e) {
            fail(message(e));
        }
    }
    ui_.treeChanged();
}

void MainWndLogic::serverClosed(DbConnection* connection) {
    bool changed = false;
    for (Node& n : nodes_) {
        if (n.connection == connection && !n.lost) {
            n.lost = true;
            changed = true;
        }
    }
    if (changed) ui_.treeChanged();
}

void MainWndLogic::requireLive(int index) const {
    const Node* n = node(index);
    if (!n) return;
    // A query window reading on another thread has the connection for now.
    ConnectionBusy::require(n->connection, n->label);
    if (!n->lost) return;
    String text;
    text.format(kLost, n->label.c_str());
    throw GeneralException(text.toStdString());
}

}  // namespace VORLIN
