// The MySQL window and database creation against the real MariaDB server
// (tests/db/mysql/MariaDbServer.h), started on first use by this program.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/connect/SelMySqlDlg.h"
#include "app/main/ConfigStore.h"
#include "core/GeneralException.h"
#include "db/mysql/MySqlConnection.h"
#include "db/mysql/SelMySqlLogic.h"
#include "tests/app/connect/ConnectTestSupport.h"
#include "tests/db/mysql/MariaDbServer.h"
#include "tests/support/TempFolder.h"

using namespace VORLIN;
using namespace connecttest;
using quelmir_test::MariaDbServer;

namespace {

MariaDbServer& maria() {
    static bool started = [] { return quelmir_test::server().start(); }();
    (void)started;
    return quelmir_test::server();
}

class MySqlDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        if (maria().missing()) GTEST_SKIP() << maria().error();
        ASSERT_TRUE(maria().error().empty()) << maria().error();
        ASSERT_TRUE(maria().rootQuery("DROP DATABASE IF EXISTS app_conn"));
        ASSERT_TRUE(maria().rootQuery("CREATE DATABASE app_conn"));
        ASSERT_TRUE(store.open(String(home.path + "/"))) << store.lastError().c_str();
    }
    std::string recent() {
        return shell(store.path().c_str(), "SELECT Tipo,Host,Port FROM tRecentServers;");
    }

    testsupport::TempFolder home;
    ConfigStore store;
    Boxes boxes;
};

TEST_F(MySqlDialogs, SelMySqlDlgRecordsTheServerWithItsPortAndOpensTheDatabase) {
    std::string port = std::to_string(maria().port());
    MySqlConnection connection;
    SelMySqlDlg dialog(connection, 3306, "127.0.0.1", &store);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Seleccione el servidor");
    EXPECT_EQ(child<QSpinBox>(dialog, "port")->value(), 3306);
    setText(dialog, "port", port);
    setText(dialog, "user", MariaDbServer::kUser);
    setText(dialog, "password", "mala");
    click(dialog, "connect");
    EXPECT_EQ(boxes.lastCaption(), "ERROR");
    EXPECT_EQ(recent(), "");

    setText(dialog, "password", MariaDbServer::kPassword);
    click(dialog, "connect");
    std::vector<std::string> names = items(dialog, "databases");
    EXPECT_NE(std::find(names.begin(), names.end(), "app_conn"), names.end());
    EXPECT_EQ(recent(), "2|127.0.0.1|" + port + "\n");

    selectItem(dialog, "databases", "app_conn");
    click(dialog, "ok");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.database(), "app_conn");
    EXPECT_EQ(dialog.host(), "127.0.0.1");
    EXPECT_EQ(dialog.port(), maria().port());
    // OK opened it.
    EXPECT_EQ(connection.getAlias(), "app_conn");
    EXPECT_EQ(connection.queryString("SELECT DATABASE()"), "app_conn");

    // The next MySQL dialog offers it; the remote SQLite list does not.
    MySqlConnection other;
    SelMySqlDlg again(other, 3306, "localhost", &store);
    auto* combo = child<QComboBox>(again, "server");
    ASSERT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->itemText(0).toStdString(), "127.0.0.1");
    EXPECT_TRUE(store.recentServers(ConfigStore::kRemoteServer).empty());
}

TEST_F(MySqlDialogs, LogicPortsAndDatabaseCreation) {
    MySqlConnection connection;
    std::string caption, text;
    std::vector<std::pair<std::string, int>> recorded;
    SelMySqlLogic logic(
        connection,
        [&](const String& c, const String& t) {
            caption = c.c_str();
            text = t.c_str();
        },
        [&](const String& host, int port) { recorded.emplace_back(host.c_str(), port); });
    logic.server = "127.0.0.1";
    logic.user = MariaDbServer::kUser;
    logic.password = MariaDbServer::kPassword;
    for (const char* bad : {"70000", "33a", "0", "-1"}) {
        logic.port = bad;
        EXPECT_FALSE(logic.connectPressed()) << bad;
        EXPECT_EQ(caption, "ALERT");
        EXPECT_EQ(text, SelMySqlLogic::kBadPort);
    }
    EXPECT_TRUE(recorded.empty());
    // An empty port: the library's default (this server's, through
    // MYSQL_TCP_PORT), recorded as 0.
    logic.port = "";
    ASSERT_TRUE(logic.connectPressed()) << text;
    logic.port = String(std::to_string(maria().port()));
    ASSERT_TRUE(logic.connectPressed()) << text;
    EXPECT_EQ(recorded, (std::vector<std::pair<std::string, int>>{{"127.0.0.1", 0},
                                                                  {"127.0.0.1", maria().port()}}));

    // A name with a backquote, a quote and a non-ASCII letter names exactly
    // one database, in utf8mb4.
    const std::string odd = "rara `x' ñ";
    maria().rootQuery("DROP DATABASE IF EXISTS `rara ``x' ñ`");
    createMySqlDatabase(connection, String(odd));
    EXPECT_EQ(connection.queryString(
                  String("SELECT DEFAULT_CHARACTER_SET_NAME FROM information_schema.SCHEMATA WHERE "
                         "SCHEMA_NAME='rara `x'' ñ'")),
              "utf8mb4");
    ASSERT_TRUE(connection.openDatabase(String(odd), false, String(), String()));
    connection.execute("CREATE TABLE t (a INT)");
    EXPECT_TRUE(connection.tableExist("t"));
    // Again: the server's refusal; an empty name: ours.
    try {
        createMySqlDatabase(connection, String(odd));
        ADD_FAILURE() << "created twice";
    } catch (const GeneralException& e) {
        EXPECT_NE(std::string(e.what()).find("exists"), std::string::npos) << e.what();
    }
    try {
        createMySqlDatabase(connection, "  ");
        ADD_FAILURE() << "created an empty name";
    } catch (const GeneralException& e) {
        EXPECT_STREQ(e.what(), "Escriba el nombre de la base de datos");
    }
    EXPECT_TRUE(maria().rootQuery("DROP DATABASE `rara ``x' ñ`"));
}

}  // namespace
