// "Ejecutar archivo sql" and "Dump database" on the real MariaDB server:
// SqlFileJob in-process, and quelmir-cli exec and dump as real processes
// whose dump the mariadb client loads back.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "app/main/SqlFileJob.h"
#include "core/GeneralException.h"
#include "db/mysql/MySqlConnection.h"
#include "tests/db/mysql/MariaDbServer.h"

using namespace VORLIN;
using quelmir_test::MariaDbServer;
using quelmir_test::server;

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class MySqlJobsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (server().missing()) GTEST_SKIP() << server().error();
        ASSERT_TRUE(server().error().empty()) << server().error();
        ASSERT_TRUE(db.connect(String(server().hostWithPort()), String(MariaDbServer::kUser),
                               String(MariaDbServer::kPassword), false, String()))
            << db.lastError().c_str();
        name = "qj_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
        db.execute(String("DROP DATABASE IF EXISTS " + name));
        db.execute(String("CREATE DATABASE " + name));
        ASSERT_TRUE(db.openDatabase(String(name), false, String(), String()));
        db.execute(
            "CREATE TABLE clientes (id INT PRIMARY KEY, nombre VARCHAR(40), saldo "
            "DECIMAL(8,2)) ENGINE=InnoDB");
        db.execute("INSERT INTO clientes VALUES (1, 'Ana', 10.50)");
    }
    void TearDown() override {
        if (db.isConnected()) db.execute(String("DROP DATABASE IF EXISTS " + name));
    }
    std::string sqlFile(const std::string& file, const std::string& text) {
        std::string path = server().dir() + "/" + name + "-" + file;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // The rows as one text, for comparing two databases.
    std::string rows(const std::string& database) {
        return db
            .queryString(String("SELECT GROUP_CONCAT(CONCAT_WS('|', id, nombre, "
                                "IFNULL(saldo, 'NULL')) ORDER BY id SEPARATOR ';') FROM " +
                                database + ".clientes"))
            .toStdString();
    }
    // quelmir-cli ARGS with the connection to `database`; standard output
    // into `out` when given.
    int cli(const std::string& database, const std::string& args, std::string* err,
            const std::string& out = "/dev/null") {
        std::string option = std::string("mysql:") + MariaDbServer::kUser + ":" +
                             MariaDbServer::kPassword + "@" + server().hostWithPort() + "/" +
                             database;
        std::string errFile = server().dir() + "/" + name + "-err.txt";
        // The password holds a quote and a backslash: quoted for the shell.
        std::string quoted;
        for (char c : option)
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        std::string cmd = std::string("'") + QUELMIR_CLI_BIN + "' --connect '" + quoted + "' " +
                          args + " >'" + out + "' 2>'" + errFile + "'";
        int raw = std::system(cmd.c_str());
        if (err) *err = readAll(errFile);
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    MySqlConnection db;
    std::string name;
};

TEST_F(MySqlJobsTest, AFileOfManyStatementsCommitsOrRollsBack) {
    SqlFileJob job(db);
    ASSERT_TRUE(job.run(String(sqlFile("bien.sql",
                                       "INSERT INTO clientes VALUES (2, 'Luis; ''x''', NULL);\n"
                                       "UPDATE clientes SET saldo = saldo + 1 WHERE id = 1;\n"
                                       "INSERT INTO clientes VALUES (3, 'Eva', 3);\n"))))
        << job.error().c_str();
    EXPECT_EQ(rows(name), "1|Ana|11.50;2|Luis; 'x'|NULL;3|Eva|3.00");
    EXPECT_FALSE(db.inTransaction());

    // A failing statement in the middle: nothing of the file stays, and
    // without DDL there is no word about statements left done.
    EXPECT_FALSE(job.run(String(sqlFile("malo.sql",
                                        "DELETE FROM clientes WHERE id = 3;\n"
                                        "INSERT INTO clientes VALUES (4, 'Pía', 4);\n"
                                        "INSERT INTO clientes VALUES (1, 'repetido', 0);\n"
                                        "INSERT INTO clientes VALUES (5, 'Otro', 5);\n"))));
    EXPECT_NE(job.error().find("Duplicate entry"), -1) << job.error().c_str();
    EXPECT_EQ(job.error().find(SqlFileJob::kNotRolledBack), -1);
    EXPECT_EQ(rows(name), "1|Ana|11.50;2|Luis; 'x'|NULL;3|Eva|3.00");
    EXPECT_FALSE(db.inTransaction());
    // Back in autocommit, and one statement per call again.
    db.execute("INSERT INTO clientes VALUES (9, 'Nueve', 9)");
    EXPECT_THROW(db.execute("SELECT 1; SELECT 2"), GeneralException);
}

TEST_F(MySqlJobsTest, AFailedFileWithDdlSaysWhatCouldNotBeUndone) {
    SqlFileJob job(db);
    EXPECT_FALSE(job.run(String(sqlFile("ddl.sql",
                                        "INSERT INTO clientes VALUES (2, 'Luis', 2);\n"
                                        "CREATE TABLE nueva (v INT);\n"
                                        "INSERT INTO nada VALUES (1);\n"))));
    String error = job.error();
    EXPECT_NE(error.find("nada"), -1) << error.c_str();
    EXPECT_EQ(error.right(uint32_t(std::string(SqlFileJob::kNotRolledBack).size())),
              SqlFileJob::kNotRolledBack);
    // What the message warns of: the CREATE committed the insert before it.
    EXPECT_TRUE(db.tableExist("nueva"));
    EXPECT_EQ(rows(name), "1|Ana|10.50;2|Luis|2.00");
}

TEST_F(MySqlJobsTest, CliExecAndADumpTheMariadbClientLoadsBack) {
    std::string err;
    EXPECT_EQ(cli(name,
                  "exec '" +
                      sqlFile("altas.sql",
                              "INSERT INTO clientes VALUES (2, 'O''Neil \\\\ \"ñ\"', NULL);\n"
                              "INSERT INTO clientes VALUES (3, 'Eva', -3.25);\n") +
                      "'",
                  &err),
              0)
        << err;
    // The connection reads backslashes as themselves (NO_BACKSLASH_ESCAPES).
    const std::string expected = "1|Ana|10.50;2|O'Neil \\\\ \"ñ\"|NULL;3|Eva|-3.25";
    EXPECT_EQ(rows(name), expected);

    EXPECT_EQ(
        cli(name,
            "exec '" + sqlFile("malo.sql", "DELETE FROM clientes;\nINSERT INTO x VALUES (1);\n") +
                "'",
            &err),
        1);
    EXPECT_NE(err.find("quelmir-cli: "), std::string::npos);
    EXPECT_NE(err.find(".x' doesn't exist"), std::string::npos) << err;
    EXPECT_EQ(rows(name), expected);

    std::string dumpFile = server().dir() + "/" + name + "-dump.sql";
    EXPECT_EQ(cli(name, "dump '" + dumpFile + "'", &err), 0) << err;
    std::string stdoutFile = server().dir() + "/" + name + "-stdout.sql";
    EXPECT_EQ(cli(name, "dump -", &err, stdoutFile), 0) << err;
    std::string dump = readAll(dumpFile);
    EXPECT_EQ(readAll(stdoutFile), dump);

    // Loaded into an empty database by the mariadb client.
    std::string copy = name + "_copia";
    db.execute(String("DROP DATABASE IF EXISTS " + copy));
    db.execute(String("CREATE DATABASE " + copy));
    std::string client = "mariadb --no-defaults -uroot --socket='" + server().socketPath() + "' ";
    // The dump carries its schema and the SQL mode it is written in.
    EXPECT_NE(dump.find("CREATE TABLE"), std::string::npos);
    std::string cmd = client + copy + " < '" + dumpFile + "' > '" + dumpFile + ".log' 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << readAll(dumpFile + ".log");
    EXPECT_EQ(rows(copy), expected);
    db.execute(String("DROP DATABASE " + copy));
}

}  // namespace
