// The main window's commands without a window, on real SQLite files and the
// real quelmir-server.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/main/MainWndLogic.h"
#include "core/GeneralException.h"
#include "db/DbConnection.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "remote/ConnectionNotifier.h"
#include "tests/db/mysql/MariaDbServer.h"
#include "tests/server/ServerProcess.h"
#include "tests/support/SqliteShell.h"
#include "tests/support/TempFolder.h"

using namespace VORLIN;

namespace {

// A person who answers from a script of answers.
struct FakeUi : MainWndLogic::Ui {
    std::vector<std::string> files;  // what the open dialog answers, in turn
    std::vector<std::string> texts;  // what the input box answers (empty: cancel)
    std::vector<std::pair<std::string, std::string>> shown;
    int redraws = 0;
    // The server dialog: connects to this address and chooses this database.
    std::string address;
    std::string database;
    std::string seenHost;
    int seenPort = 0;

    String openFile(const String&, const String&, const String&) override {
        if (files.empty()) return String();
        std::string f = files.front();
        files.erase(files.begin());
        return String(f);
    }
    bool askText(const String&, const String&, String& value) override {
        if (texts.empty()) return false;
        value = String(texts.front());
        texts.erase(texts.begin());
        return true;
    }
    void message(const String& text, const String& icon) override {
        shown.emplace_back(text.toStdString(), icon.toStdString());
    }
    bool serverDialog(int, DbConnection& connection, String& host, int& port,
                      String& chosen) override {
        seenHost = host.toStdString();
        seenPort = port;
        if (address.empty()) return false;
        if (!connection.connect(String(address), "", "", false, "-")) return false;
        const size_t colon = address.find(':');
        host = String(address.substr(0, colon));
        port = std::stoi(address.substr(colon + 1));
        chosen = String(database);
        return true;
    }
    void treeChanged() override { ++redraws; }
};

struct Harness {
    FakeUi ui;
    std::vector<std::unique_ptr<DbConnection>> owned;
    String work = "/tmp/";
    MainWndLogic logic{ui, environment()};

    MainWndLogic::Environment environment() {
        MainWndLogic::Environment e;
        e.adopt = [this](std::unique_ptr<DbConnection> c) {
            owned.push_back(std::move(c));
            return owned.back().get();
        };
        e.workFolder = [this] { return work; };
        e.setWorkFolder = [this](const String& f) { work = f; };
        return e;
    }
};

void makeDb(const std::string& path, const std::string& sql) {
    testsupport::sqliteShell(path, sql);
}

}  // namespace

TEST(MainWndLogic, OpensLocalFilesAsChosenWithTheirTablesAndReportsBadOnes) {
    testsupport::TempFolder tmp;
    makeDb(tmp.file("ventas.db"),
           "CREATE TABLE clientes(id INTEGER PRIMARY KEY, n TEXT);"
           "CREATE TABLE \\\"order items\\\"(id INTEGER PRIMARY KEY);");
    Harness h;
    h.ui.files = {tmp.file("ventas.db")};
    ASSERT_TRUE(h.logic.open(MainWndLogic::Local))
        << (h.ui.shown.empty() ? "" : h.ui.shown[0].first);
    ASSERT_EQ(h.logic.nodes().size(), 1u);
    const auto& n = h.logic.nodes()[0];
    EXPECT_EQ(n.label, "ventas.db");
    EXPECT_EQ(n.kind, MainWndLogic::Local);
    EXPECT_EQ(n.tables, (std::vector<String>{"clientes", "order items"}));
    EXPECT_EQ(h.work, (tmp.path + "/").c_str());
    EXPECT_EQ(h.owned.size(), 1u);
    // "x.db" opens x.db, never "x.db.db".
    EXPECT_FALSE(std::ifstream(tmp.file("ventas.db.db")).good());

    // Cancelling opens nothing; a file that is not a database is reported.
    EXPECT_FALSE(h.logic.open(MainWndLogic::Local));
    { std::ofstream(tmp.file("notas.db")) << "just text, not a database"; }
    h.ui.files = {tmp.file("notas.db")};
    EXPECT_FALSE(h.logic.open(MainWndLogic::Local));
    ASSERT_EQ(h.ui.shown.size(), 1u);
    EXPECT_EQ(h.ui.shown[0].second, "ERROR");
    EXPECT_EQ(h.owned.size(), 1u);

    // Command-line files: the good ones open, the bad ones in one message.
    makeDb(tmp.file("otra.db"), "CREATE TABLE t(a);");
    h.ui.shown.clear();
    EXPECT_EQ(h.logic.openFiles({tmp.file("otra.db").c_str(), tmp.file("notas.db").c_str(),
                                 tmp.file("falta.db").c_str()}),
              1);
    EXPECT_EQ(h.logic.nodes().size(), 2u);
    ASSERT_EQ(h.ui.shown.size(), 1u);
    EXPECT_NE(h.ui.shown[0].first.find("notas.db"), std::string::npos);
    EXPECT_NE(h.ui.shown[0].first.find("falta.db"), std::string::npos);
    EXPECT_FALSE(std::ifstream(tmp.file("falta.db")).good());
}

TEST(MainWndLogic, AliasCloseAndRefreshWorkOnTheNodeOfTheirConnection) {
    testsupport::TempFolder tmp;
    makeDb(tmp.file("a.db"), "CREATE TABLE uno(x);");
    Harness h;
    ASSERT_TRUE(h.logic.openLocalFile(tmp.file("a.db").c_str()));
    ASSERT_TRUE(h.logic.openLocalFile(tmp.file("a.db").c_str()));  // same label twice
    h.ui.texts = {"  Contabilidad  "};
    h.logic.setAlias(1);
    EXPECT_EQ(h.logic.nodes()[1].label, "Contabilidad");
    EXPECT_EQ(h.logic.nodes()[1].connection->getLabel(), "Contabilidad");
    EXPECT_EQ(h.logic.nodes()[1].database, "a.db");
    EXPECT_EQ(h.logic.nodes()[0].label, "a.db");
    h.logic.setAlias(1);  // cancelled: unchanged
    EXPECT_EQ(h.logic.nodes()[1].label, "Contabilidad");

    // A table made elsewhere shows after a refresh of that connection only.
    h.logic.nodes()[1].connection->execute("CREATE TABLE dos(y);");
    h.logic.refresh(h.logic.nodes()[1].connection);
    EXPECT_EQ(h.logic.nodes()[1].tables.size(), 2u);

    DbConnection* second = h.logic.nodes()[1].connection;
    h.logic.close(0);
    ASSERT_EQ(h.logic.nodes().size(), 1u);
    EXPECT_EQ(h.logic.nodes()[0].connection, second);
    EXPECT_FALSE(h.owned[0]->isConnected());
    EXPECT_EQ(h.owned.size(), 2u);  // kept until the program ends
}

TEST(MainWndLogic, CreateLocalAsksForTheNameAndEmptyNamesDoNothing) {
    testsupport::TempFolder tmp;
    Harness h;
    h.ui.texts = {"   "};
    EXPECT_FALSE(h.logic.create(MainWndLogic::Local));
    EXPECT_TRUE(h.logic.nodes().empty());
    EXPECT_FALSE(h.logic.create(MainWndLogic::Local));  // cancelled
    // The folder comes from the connection's own dialog: the test's
    // connection knows it already.
    h.ui.texts = {"nueva"};
    MainWndLogic::Environment e = h.environment();
    const std::string folder = tmp.path + "/";
    e.make = [folder](int) -> std::unique_ptr<DbConnection> {
        struct Preset : SqliteLocalConnection {
            std::string f;
            bool connect(const String&, const String& u, const String& p, bool i,
                         const String& d) override {
                return SqliteLocalConnection::connect(String(f), u, p, i, d);
            }
        };
        auto c = std::make_unique<Preset>();
        c->f = folder;
        return c;
    };
    MainWndLogic logic(h.ui, e);
    ASSERT_TRUE(logic.create(MainWndLogic::Local));
    EXPECT_EQ(logic.nodes()[0].label, "nueva");
    EXPECT_TRUE(std::ifstream(tmp.file("nueva.db")).good());
}

TEST(MainWndLogic, LastServerDefaultsAndTheRealServerGoingAway) {
    Harness h;
    String host;
    int port = 0;
    h.logic.serverDefaults(MainWndLogic::Server, host, port);
    EXPECT_EQ(host, "localhost");
    EXPECT_EQ(port, 6540);
    h.logic.serverDefaults(MainWndLogic::MySql, host, port);
    EXPECT_EQ(port, 3306);
    h.logic.setLastServer("db.example:0");
    h.logic.serverDefaults(MainWndLogic::MySql, host, port);
    EXPECT_EQ(host, "db.example");
    EXPECT_EQ(port, 3306);
    h.logic.setLastServer(":3307");
    h.logic.serverDefaults(MainWndLogic::Server, host, port);
    EXPECT_EQ(host, "localhost");
    EXPECT_EQ(port, 3307);

    testing_server::TempDir data;
    testsupport::sqliteShell(data.file("tienda.db"),
                             "CREATE TABLE productos(id INTEGER PRIMARY KEY, n TEXT);");
    auto server = std::make_unique<testing_server::ServerProcess>(data.path());
    ASSERT_TRUE(server->started());
    h.ui.address = server->address();
    h.ui.database = "tienda";
    ASSERT_TRUE(h.logic.open(MainWndLogic::Server))
        << (h.ui.shown.empty() ? "" : h.ui.shown[0].first);
    EXPECT_EQ(h.ui.seenHost, "localhost");
    ASSERT_EQ(h.logic.nodes().size(), 1u);
    EXPECT_EQ(h.logic.nodes()[0].label, "tienda");
    EXPECT_EQ(h.logic.nodes()[0].tables, std::vector<String>{"productos"});
    EXPECT_EQ(h.logic.lastServer(), h.ui.address.c_str());
    // The next dialog starts on that server.
    h.logic.serverDefaults(MainWndLogic::MySql, host, port);
    EXPECT_EQ(port, server->port());

    // The server stops: the node is marked, commands say so.
    const int id =
        ConnectionNotifier::subscribe([&](DbConnection* source) { h.logic.serverClosed(source); });
    server.reset();
    ASSERT_TRUE(ConnectionNotifier::waitPending(15000));
    ConnectionNotifier::dispatchPending();
    ConnectionNotifier::unsubscribe(id);
    EXPECT_TRUE(h.logic.nodes()[0].lost);
    EXPECT_EQ(h.logic.nodes()[0].shown(), "tienda (desconectada)");
    try {
        h.logic.requireLive(0);
        FAIL() << "a lost connection was taken for live";
    } catch (const GeneralException& e) {
        EXPECT_EQ(std::string(e.what()), "Se perdió la conexión con el servidor de tienda");
    }
}

TEST(MainWndLogic, CreateMySqlMakesTheDatabaseThroughTheServerDialogsConnection) {
    static bool started = [] { return quelmir_test::server().start(); }();
    (void)started;
    auto& maria = quelmir_test::server();
    if (maria.missing()) GTEST_SKIP() << maria.error();
    ASSERT_TRUE(maria.error().empty()) << maria.error();
    maria.rootQuery("DROP DATABASE IF EXISTS `ventas 2027`");

    struct MySqlUi : FakeUi {
        int port = 0;
        bool serverDialog(int kind, DbConnection& connection, String& host, int& p,
                          String& chosen) override {
            EXPECT_EQ(kind, MainWndLogic::MySql);
            if (!connection.connect(String("127.0.0.1:" + std::to_string(port)),
                                    quelmir_test::MariaDbServer::kUser,
                                    quelmir_test::MariaDbServer::kPassword, false, ""))
                return false;
            host = "127.0.0.1";
            p = port;
            chosen = "mysql";
            return true;
        }
    } ui;
    ui.port = maria.port();
    ui.texts = {"ventas 2027"};
    std::vector<std::unique_ptr<DbConnection>> owned;
    MainWndLogic::Environment e;
    e.adopt = [&](std::unique_ptr<DbConnection> c) {
        owned.push_back(std::move(c));
        return owned.back().get();
    };
    MainWndLogic logic(ui, e);
    ASSERT_TRUE(logic.create(MainWndLogic::MySql)) << (ui.shown.empty() ? "" : ui.shown[0].first);
    ASSERT_EQ(logic.nodes().size(), 1u);
    EXPECT_EQ(logic.nodes()[0].label, "ventas 2027");
    EXPECT_EQ(logic.lastServer(), ("127.0.0.1:" + std::to_string(maria.port())).c_str());
    // The new database is the one the connection works in, in utf8mb4.
    logic.nodes()[0].connection->execute("CREATE TABLE t(x VARCHAR(5))");
    EXPECT_TRUE(maria.rootQuery("SELECT * FROM `ventas 2027`.t"));
    EXPECT_EQ(logic.nodes()[0].connection->queryString(
                  "SELECT DEFAULT_CHARACTER_SET_NAME FROM information_schema.SCHEMATA WHERE "
                  "SCHEMA_NAME='ventas 2027'"),
              "utf8mb4");
}
