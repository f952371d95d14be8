// The server windows against the real quelmir-server, started by each test
// on a free loopback port over a temporary data folder; recent servers are
// read back from the configuration store with the sqlite3 shell.
#ifdef QUELMIR_SERVER_BIN

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "app/connect/QtConnectionDialogs.h"
#include "app/connect/SelServerDlg.h"
#include "app/connect/SqliteServerSelDbDlg.h"
#include "app/main/ConfigStore.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "remote/SqliteClientConnection.h"
#include "tests/app/connect/ConnectTestSupport.h"
#include "tests/server/ServerProcess.h"
#include "tests/support/TempFolder.h"

using namespace VORLIN;
using namespace connecttest;

namespace {

class ServerDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(data.path().empty());
        SqliteLocalConnection local;
        ASSERT_TRUE(local.connect(String(data.path()), "", "", false, "-"));
        local.createDatabase("ventas", true);
        local.disconnect();
        server = std::make_unique<testing_server::ServerProcess>(data.path());
        ASSERT_TRUE(server->started());
        ASSERT_TRUE(store.open(String(home.path + "/"))) << store.lastError().c_str();
    }
    std::string recent() {
        return shell(store.path().c_str(), "SELECT Tipo,Host,Port FROM tRecentServers;");
    }

    testing_server::TempDir data;
    testsupport::TempFolder home;
    std::unique_ptr<testing_server::ServerProcess> server;
    ConfigStore store;
    Boxes boxes;
};

TEST_F(ServerDialogs, SelServerDlgConnectsListsRecordsAndChooses) {
    SqliteClientConnection connection;
    SelServerDlg dialog(connection, 6540, "127.0.0.1", &store);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Seleccione el servidor");
    EXPECT_EQ(child<QSpinBox>(dialog, "port")->value(), 6540);
    EXPECT_EQ(child<QComboBox>(dialog, "server")->currentText().toStdString(), "127.0.0.1");
    EXPECT_EQ(child<QLineEdit>(dialog, "password")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(child<QComboBox>(dialog, "server")->accessibleName().toStdString(),
              "Nombre del servidor");
    EXPECT_TRUE(child<QPushButton>(dialog, "connect")->isDefault());
    EXPECT_FALSE(child<QPushButton>(dialog, "cancel")->icon().isNull());

    // OK before any server answered.
    click(dialog, "ok");
    EXPECT_EQ(boxes.lastCaption(), "ALERT");
    EXPECT_EQ(boxes.last(), "Seleccione una base de datos");

    // Nobody listens on port 1: the error, nothing listed, nothing recorded.
    setText(dialog, "port", "1");
    click(dialog, "connect");
    EXPECT_EQ(boxes.lastCaption(), "ERROR");
    EXPECT_TRUE(items(dialog, "databases").empty());
    EXPECT_EQ(recent(), "");

    setText(dialog, "port", std::to_string(server->port()));
    click(dialog, "connect");
    EXPECT_EQ(items(dialog, "databases"), (std::vector<std::string>{"ventas.db"}));
    EXPECT_EQ(child<QListWidget>(dialog, "databases")->currentRow(), 0);
    EXPECT_TRUE(child<QPushButton>(dialog, "ok")->isDefault());
    EXPECT_EQ(recent(), "1|127.0.0.1|" + std::to_string(server->port()) + "\n");

    click(dialog, "ok");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.database(), "ventas.db");
    EXPECT_EQ(dialog.host(), "127.0.0.1");
    EXPECT_EQ(dialog.port(), server->port());
    // The dialog leaves the opening to its caller.
    ASSERT_TRUE(connection.openDatabase(dialog.database(), true));
    connection.execute("CREATE TABLE t(a)");
    EXPECT_TRUE(connection.tableExist("t"));

    // The next dialog offers the recorded server; the same server is not
    // recorded twice.
    SqliteClientConnection second;
    SelServerDlg again(second, 6540, "localhost", &store);
    auto* combo = child<QComboBox>(again, "server");
    ASSERT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->itemText(0).toStdString(), "127.0.0.1");
    setText(again, "server", "127.0.0.1");
    setText(again, "port", std::to_string(server->port()));
    click(again, "connect");
    EXPECT_EQ(recent(), "1|127.0.0.1|" + std::to_string(server->port()) + "\n");

    // The server goes away: OK on the old list says so.
    server->stop();
    for (int i = 0; i < 250 && second.isConnected(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_FALSE(second.isConnected());
    click(again, "ok");
    EXPECT_EQ(boxes.last(), "Conectese primero a un servidor");
    EXPECT_NE(again.result(), QDialog::Accepted);
}

TEST_F(ServerDialogs, SelServerLogicWithoutAWindow) {
    SqliteClientConnection connection;
    std::string caption, text;
    std::vector<std::pair<std::string, int>> recorded;
    SelServerLogic logic(
        connection,
        [&](const String& c, const String& t) {
            caption = c.c_str();
            text = t.c_str();
        },
        [&](const String& host, int port) { recorded.emplace_back(host.c_str(), port); });
    logic.server = "127.0.0.1";
    for (int bad : {0, -5, 65536}) {
        logic.port = bad;
        EXPECT_FALSE(logic.connectPressed());
        EXPECT_EQ(caption, "ALERT");
        EXPECT_EQ(text, SelServerLogic::kBadPort);
    }
    EXPECT_EQ(logic.selected(), -1);
    logic.port = server->port();
    ASSERT_TRUE(logic.connectPressed()) << text;
    EXPECT_EQ(logic.databases(), (std::vector<String>{"ventas.db"}));
    EXPECT_EQ(logic.selected(), 0);
    EXPECT_EQ(recorded, (std::vector<std::pair<std::string, int>>{{"127.0.0.1", server->port()}}));
    // A failed connect keeps the list and records nothing.
    logic.port = 1;
    EXPECT_FALSE(logic.connectPressed());
    EXPECT_EQ(caption, "ERROR");
    EXPECT_EQ(logic.databases().size(), 1u);
    EXPECT_EQ(recorded.size(), 1u);
    EXPECT_FALSE(logic.accept(0));
    EXPECT_EQ(text, "Conectese primero a un servidor");
    logic.port = server->port();
    ASSERT_TRUE(logic.connectPressed());
    EXPECT_FALSE(logic.accept(3));
    EXPECT_EQ(text, "Seleccione una base de datos");
    ASSERT_TRUE(logic.accept(0));
    EXPECT_EQ(logic.chosen(), "ventas.db");
}

TEST_F(ServerDialogs, TheConnectionAsksForServerAndDatabaseThroughTheWindows) {
    Questions questions;
    QtConnectionDialogs dialogs(&store);
    ConnectionDialogs::install(&dialogs);
    store.addRecentServer(ConfigStore::kRemoteServer, "otro", 7000);

    SqliteClientConnection connection;
    ModalHand hand;
    std::vector<std::string> offered, before, after;
    hand.then([&](QDialog& d) {
            auto* combo = child<QComboBox>(d, "server");
            for (int i = 0; i < combo->count(); ++i)
                offered.push_back(combo->itemText(i).toStdString());
            EXPECT_EQ(combo->currentText().toStdString(), "127.0.0.1");
            EXPECT_EQ(child<QSpinBox>(d, "port")->value(), 6540);
            setText(d, "server", " ");
            click(d, "ok");
            EXPECT_EQ(boxes.last(), "Escriba el nombre del servidor");
            setText(d, "server", "127.0.0.1");
            setText(d, "port", std::to_string(server->port()));
            click(d, "ok");
        })
        .then([&](QDialog& d) {
            EXPECT_EQ(child<QLineEdit>(d, "host")->text().toStdString(),
                      "127.0.0.1:" + std::to_string(server->port()));
            before = items(d, "databases");
            questions.answer = "nueva";
            click(d, "new");
            after = items(d, "databases");
            EXPECT_EQ(child<QListWidget>(d, "databases")->currentItem()->text().toStdString(),
                      "nueva.db");
            click(d, "ok");
        });
    bool opened = connection.connect("127.0.0.1", "", "", true, "nueva");
    ConnectionDialogs::install(nullptr);
    ASSERT_TRUE(opened) << connection.lastError().c_str();
    EXPECT_EQ(hand.titles(), (std::vector<std::string>{"Seleccione el servidor",
                                                       "Conexión a base de datos del servidor"}));
    EXPECT_EQ(offered, (std::vector<std::string>{"otro"}));
    EXPECT_EQ(before, (std::vector<std::string>{"ventas.db"}));
    EXPECT_EQ(after, (std::vector<std::string>{"nueva.db", "ventas.db"}));
    connection.execute("CREATE TABLE n(a); INSERT INTO n VALUES(5);");
    EXPECT_EQ(shell(data.file("nueva.db"), "SELECT a FROM n;"), "5\n");

    // Without a connection the database window only says so.
    SqliteClientConnection idle;
    SqliteServerSelDbDlg window(idle, "127.0.0.1:1", "");
    EXPECT_EQ(boxes.last(), "Conectese primero a un servidor");
    click(window, "new");
    EXPECT_TRUE(questions.asked.size() == 1u);
    EXPECT_TRUE(items(window, "databases").empty());
}

}  // namespace

#endif  // QUELMIR_SERVER_BIN
