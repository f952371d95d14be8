// quelmir-cli's query command against the real MariaDB server: a table in
// table mode, a query, a command, and a workbook read back by openpyxl.
#include <gtest/gtest.h>

#include <sstream>

#include "db/mysql/MySqlConnection.h"
#include "tests/app/query/SheetReader.h"
#include "tests/db/mysql/MariaDbServer.h"
#include "tests/support/TempFolder.h"
#include "tools/cli/CliRunner.h"

using namespace VORLIN;
using quelmir_test::MariaDbServer;
using quelmir_test::server;

namespace {

struct Result {
    int status;
    std::string out, err;
};

Result cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    CliRunner runner(out, err);
    int status = runner.run(args);
    return {status, out.str(), err.str()};
}

TEST(MySqlCli, QueryRunsAsEjecutarAndSaves) {
    if (server().missing()) GTEST_SKIP() << server().error();
    MySqlConnection admin;
    ASSERT_TRUE(admin.connect(String(server().hostWithPort()), String(MariaDbServer::kUser),
                              String(MariaDbServer::kPassword), false, String()));
    admin.execute("DROP DATABASE IF EXISTS qt_cliquery");
    admin.execute("CREATE DATABASE qt_cliquery");
    admin.execute(
        "CREATE TABLE qt_cliquery.items (id INT AUTO_INCREMENT PRIMARY KEY, "
        "name VARCHAR(40), qty INT)");
    admin.execute("INSERT INTO qt_cliquery.items VALUES (1,'Ana',3),(2,'Luis',7)");
    const std::string option = std::string("mysql:") + MariaDbServer::kUser + ":" +
                               MariaDbServer::kPassword + "@" + server().hostWithPort() +
                               "/qt_cliquery";

    Result r =
        cli({"--connect", option, "query", "SELECT * FROM items WHERE qty > 1 ORDER BY id DESC"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "id\tname\tqty\n2\tLuis\t7\n1\tAna\t3\n");

    r = cli({"--connect", option, "query", "UPDATE items SET qty = qty + 1", "--transaction"});
    EXPECT_EQ(r.out, "Comando completado\n") << r.err;
    EXPECT_EQ(admin.queryInt("SELECT SUM(qty) FROM qt_cliquery.items"), 12);

    testsupport::TempFolder dir("quelmir-mysqlquery");
    r = cli({"--connect", option, "query", "SELECT name, qty * 2 AS doble FROM items ORDER BY id",
             "--out", dir.file("r.xlsx")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(querytest::readSheet(dir.file("r.xlsx")),
              "S:name|S:doble\nS:Ana|N:8.0\nS:Luis|N:16.0\n");

    r = cli({"--connect", option, "query", "SELECT * FROM nothing_here"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nothing_here"), std::string::npos) << r.err;
    admin.execute("DROP DATABASE qt_cliquery");
}

}  // namespace
