// quelmir-cli query as a real process on a real SQLite file: rows to the
// standard output, --out in each format (read back by sqlite3, xlrd and
// openpyxl), commands, failures and bad command lines.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/app/query/SheetReader.h"
#include "tests/support/TempFolder.h"

using querytest::readAll;
using querytest::readSheet;
using querytest::run;

namespace {

struct Cli {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

struct CliQuery : ::testing::Test {
    testsupport::TempFolder dir{"quelmir-cliquery"};
    std::string db = dir.file("ventas.db");

    void SetUp() override {
        shell(
            "CREATE TABLE \"order items\"(id INTEGER PRIMARY KEY, name TEXT, price NUMERIC);"
            "INSERT INTO \"order items\" VALUES(1,'Ana',10.5),(2,'Señor; €',3),(3,'Luis',NULL);");
    }
    std::string shell(const std::string& sql) {
        return run("sqlite3 " + quote(db) + " " + quote(sql) + " 2>&1");
    }
    Cli cli(const std::vector<std::string>& args) {
        std::string cmd = quote(QUELMIR_CLI_BIN);
        for (const std::string& a : args)
            cmd += " " + quote(a);
        cmd += " >" + quote(dir.file("out.txt")) + " 2>" + quote(dir.file("err.txt"));
        int raw = std::system(cmd.c_str());
        Cli r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = readAll(dir.file("out.txt"));
        r.err = readAll(dir.file("err.txt"));
        std::remove(dir.file("out.txt").c_str());
        std::remove(dir.file("err.txt").c_str());
        return r;
    }
    Cli query(const std::string& sql, std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"--connect", "sqlite:" + db, "query", sql};
        args.insert(args.end(), more.begin(), more.end());
        return cli(args);
    }
};

TEST_F(CliQuery, RowsGoToTheStandardOutputNamesFirst) {
    Cli r = query("select * from \"order items\" where name <> 'x;y' order by id desc");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "id\tname\tprice\n3\tLuis\tnull\n2\tSeñor; €\t3.000000\n1\tAna\t10.500000\n");
    EXPECT_EQ(r.err, "");

    r = query(
        "SELECT a.name, b.price FROM \"order items\" a JOIN \"order items\" b "
        "ON a.id = b.id WHERE a.id = 1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "name\tprice\nAna\t10.500000\n");
}

TEST_F(CliQuery, OutSavesAsGuardarByExtension) {
    const std::string sql = "SELECT * FROM \"order items\"";
    for (const char* name : {"r.txt", "r.xls", "r.XLSX", "r.sql"}) {
        Cli r = query(sql, {"--out", dir.file(name)});
        EXPECT_EQ(r.status, 0) << name << r.err;
        EXPECT_EQ(r.out, "Datos guardados\n") << name;
    }
    EXPECT_EQ(readAll(dir.file("r.txt")),
              "id\tname\tprice\r\n1\tAna\t10.500000\r\n2\tSeñor; €\t3.000000\r\n3\tLuis\tnull\r\n");
    const char* cells =
        "S:id|S:name|S:price\nN:1.0|S:Ana|N:10.5\nN:2.0|S:Señor; €|N:3.0\n"
        "N:3.0|S:Luis|<>\n";
    EXPECT_EQ(readSheet(dir.file("r.xls")), cells);
    EXPECT_EQ(readSheet(dir.file("r.XLSX")), cells);

    // The INSERTs of the table fill a copy of it.
    std::string copy = dir.file("copia.db");
    run("sqlite3 " + quote(copy) +
        " 'CREATE TABLE \"order items\"(id INTEGER PRIMARY KEY, name TEXT, price NUMERIC)'");
    run("sqlite3 " + quote(copy) + " <" + quote(dir.file("r.sql")));
    EXPECT_EQ(run("sqlite3 " + quote(copy) + " 'SELECT * FROM \"order items\"'"),
              shell("SELECT * FROM \"order items\""));

    // A query's INSERTs need the table they go to.
    Cli r = query("SELECT name FROM \"order items\" WHERE id = 1", {"--out", dir.file("q.sql")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("hace falta el nombre de una tabla"), std::string::npos) << r.err;
    r = query("SELECT name FROM \"order items\" WHERE id = 1",
              {"--out", dir.file("q.sql"), "--table", "nombres"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readAll(dir.file("q.sql")), "INSERT INTO nombres (name) VALUES('Ana');\r\n");
}

TEST_F(CliQuery, CommandsFailuresAndBadCommandLines) {
    Cli r = query("CREATE TABLE nueva(a)");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Comando completado\n");
    EXPECT_EQ(shell("SELECT name FROM sqlite_master WHERE name = 'nueva'"), "nueva\n");
    EXPECT_EQ(query("VACUUM").out, "Limpieza terminada\n");
    r = query("DELETE FROM \"order items\" WHERE id = 3", {"--transaction"});
    EXPECT_EQ(r.out, "Comando completado\n");
    EXPECT_EQ(shell("SELECT count(*) FROM \"order items\""), "2\n");

    r = query("SELECT * FROM missing", {"--out", dir.file("no.xls")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("quelmir-cli: "), std::string::npos);
    EXPECT_NE(r.err.find("missing"), std::string::npos) << r.err;

    r = query("SELECT 1", {"--out", dir.file("no/dir.xls")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quelmir-cli: No se pudo crear el archivo\n");
    r = query("CREATE TABLE otra(a)", {"--out", dir.file("no.txt")});
    EXPECT_EQ(r.status, 1);

    EXPECT_EQ(query("SELECT 1", {"--out", dir.file("r.csv")}).status, 2);
    EXPECT_EQ(query("SELECT 1", {"--what"}).status, 2);
    EXPECT_EQ(cli({"query", "SELECT 1"}).status, 2);
    EXPECT_EQ(cli({"--connect", "sqlite:" + db, "query"}).status, 2);
    EXPECT_EQ(cli({"--connect", "nada", "query", "SELECT 1"}).status, 1);
    EXPECT_EQ(dir.files(), std::vector<std::string>({"ventas.db"}));
    EXPECT_NE(cli({"--help"}).out.find("query SQL"), std::string::npos);
}

}  // namespace
