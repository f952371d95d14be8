// quelmir-cli exec and dump as real processes: SQL files run in one
// transaction and dumps loaded back, on SQLite files read with the sqlite3
// shell and on the remote SQLite service (the real server).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/String.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "tests/support/SqliteShell.h"
#include "tests/support/TempFolder.h"
#ifdef QUELMIR_SERVER_BIN
#include "tests/server/ServerProcess.h"
#endif

namespace {

using VORLIN::SqliteLocalConnection;
using VORLIN::String;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

// quelmir-cli ARGS, in `dir`, standard output and error kept in files.
CliRun cli(const std::string& args, const testsupport::TempFolder& dir) {
    std::string cmd =
        "cd '" + dir.path + "' && '" + QUELMIR_CLI_BIN + "' " + args + " >.out.txt 2>.err.txt";
    int raw = std::system(cmd.c_str());
    CliRun r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readAll(dir.file(".out.txt")),
             readAll(dir.file(".err.txt"))};
    std::remove(dir.file(".out.txt").c_str());
    std::remove(dir.file(".err.txt").c_str());
    return r;
}

void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

const char* const kRows = "SELECT id, nombre, quote(saldo) FROM clientes ORDER BY id;\n";

TEST(CliExecTest, RunsTheFileInOneTransactionOrNotAtAll) {
    testsupport::TempFolder dir("quelmir-exec");
    write(dir.file("esquema.sql"),
          "CREATE TABLE clientes (id INTEGER PRIMARY KEY, nombre TEXT, saldo REAL);\n"
          "INSERT INTO clientes VALUES (1, 'Ana', 10.5);\n"
          "INSERT INTO clientes VALUES (2, 'Luis; ''el de abajo''', NULL);\n");
    CliRun r = cli("--connect sqlite:ventas.db exec esquema.sql", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(testsupport::sqliteScript(dir.file("ventas.db"), kRows),
              "1|Ana|10.5\n2|Luis; 'el de abajo'|NULL\n");

    // A failing statement: exit 1, the error on standard error, and the
    // statements before it undone.
    write(dir.file("malo.sql"),
          "INSERT INTO clientes VALUES (3, 'Eva', 1);\n"
          "DROP TABLE clientes;\n"
          "INSERT INTO clientes VALUES (1, 'repetido', 0);\n");
    r = cli("--connect sqlite:ventas.db exec malo.sql", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("quelmir-cli: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("no such table: clientes"), std::string::npos) << r.err;
    EXPECT_EQ(testsupport::sqliteScript(dir.file("ventas.db"), kRows),
              "1|Ana|10.5\n2|Luis; 'el de abajo'|NULL\n");

    r = cli("--connect sqlite:ventas.db exec falta.sql", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quelmir-cli: No se encontro el archivo\n");

    // Without a connection, or with a file too many: the command line.
    r = cli("exec esquema.sql", dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("quelmir-cli: exec necesita una conexión (--connect)\n", 0), 0u) << r.err;
    r = cli("--connect sqlite:ventas.db dump a.sql b.sql", dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("argumento de más: b.sql"), std::string::npos);
}

TEST(CliDumpTest, DumpsSchemaAndRowsThatLoadBackTheSame) {
    testsupport::TempFolder dir("quelmir-dump");
    {
        SqliteLocalConnection db;
        ASSERT_TRUE(db.connect(String(dir.path), "", "", false, String()));
        ASSERT_TRUE(db.openDatabase("ventas.db", false));
        db.execute("CREATE TABLE clientes (id INTEGER PRIMARY KEY, nombre TEXT, saldo REAL)");
        db.execute("INSERT INTO clientes VALUES (1, 'Ana', 10.5)");
        db.execute("INSERT INTO clientes VALUES (2, 'Iñaki \"el\" O''Neil', NULL)");
        db.execute("CREATE VIEW ricos AS SELECT * FROM clientes WHERE saldo > 5");
    }
    CliRun r = cli("--connect sqlite:ventas.db dump copia.sql", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    std::string dump = readAll(dir.file("copia.sql"));
    EXPECT_EQ(testsupport::sqliteScript(dir.file("copia.db"), dump), "");
    EXPECT_EQ(testsupport::sqliteScript(dir.file("copia.db"), kRows),
              testsupport::sqliteScript(dir.file("ventas.db"), kRows));
    EXPECT_EQ(testsupport::sqliteScript(dir.file("copia.db"), "SELECT id FROM ricos;\n"), "1\n");

    // "-": the same text on standard output, nothing else.
    r = cli("--connect sqlite:ventas.db dump -", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, dump);

    // A dump that cannot be written: exit 1, the reason, the old file kept.
    r = cli("--connect sqlite:ventas.db dump no/existe.sql", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no/existe.sql"), std::string::npos) << r.err;
    EXPECT_EQ(readAll(dir.file("copia.sql")), dump);

    // A database that does not exist is not made by a dump.
    r = cli("--connect sqlite:falta.db dump otra.sql", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quelmir-cli: sqlite:falta.db: no existe falta.db\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("falta.db")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("otra.sql")));
}

#ifdef QUELMIR_SERVER_BIN
TEST(CliExecTest, RunsAFileOverTheRemoteService) {
    testing_server::TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    {
        SqliteLocalConnection local;
        ASSERT_TRUE(local.connect(String(dir.path()), "", "", false, "-"));
        local.createDatabase("ventas", true);
    }
    testing_server::ServerProcess server(dir.path());
    ASSERT_TRUE(server.started());
    write(dir.file("bien.sql"),
          "CREATE TABLE clientes (id INTEGER PRIMARY KEY, nombre TEXT, saldo REAL);\n"
          "INSERT INTO clientes VALUES (1, 'Ana', 10.5);\n"
          "INSERT INTO clientes VALUES (2, 'Luis', 2);\n");
    write(dir.file("malo.sql"),
          "INSERT INTO clientes VALUES (3, 'Eva', 1);\nINSERT INTO x VALUES (1);\n");
    auto run = [&](const std::string& file) {
        std::string cmd = "'" + std::string(QUELMIR_CLI_BIN) +
                          "' --connect server:" + server.address() + "/ventas exec '" +
                          dir.file(file) + "' 2>'" + dir.file("err.txt") + "'";
        int raw = std::system(cmd.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    EXPECT_EQ(run("bien.sql"), 0) << readAll(dir.file("err.txt"));
    EXPECT_EQ(run("malo.sql"), 1);
    EXPECT_NE(readAll(dir.file("err.txt")).find("no such table: x"), std::string::npos)
        << readAll(dir.file("err.txt"));
    EXPECT_EQ(server.stop(), 0);
    EXPECT_EQ(testsupport::sqliteScript(dir.file("ventas.db"), kRows), "1|Ana|10.5\n2|Luis|2.0\n");
}
#endif

}  // namespace
