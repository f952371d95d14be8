// The main window's headless jobs on real SQLite files: "Ejecutar archivo
// sql" (SqlFileJob), "Dump database" (DatabaseDump), read back with the
// sqlite3 shell, and the closing lines of a script run (ScriptRunReport).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/main/DatabaseDump.h"
#include "app/main/ScriptRunReport.h"
#include "app/main/SqlFileJob.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "tests/support/SqliteShell.h"
#include "tests/support/TempFolder.h"

using namespace VORLIN;

namespace {

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct SqliteFixture : ::testing::Test {
    testsupport::TempFolder dir{"quelmir-jobs"};
    SqliteLocalConnection db;
    std::string file;

    void SetUp() override {
        file = dir.file("datos.db");
        ASSERT_TRUE(db.connect(String(dir.path), String(), String(), false, String()));
        ASSERT_TRUE(db.openDatabase("datos.db", false));
        db.execute("CREATE TABLE t (id INTEGER PRIMARY KEY, nombre TEXT, precio REAL)");
        db.execute("INSERT INTO t VALUES (1, 'Ana', 1.5)");
    }
    std::string sqlFile(const std::string& name, const std::string& text) {
        std::string path = dir.file(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
};

using SqlFileJobTest = SqliteFixture;

TEST_F(SqlFileJobTest, CommitsEveryStatementOfTheFile) {
    std::string path = sqlFile("altas.sql",
                               "-- altas\nCREATE TABLE u (v INTEGER);\n"
                               "INSERT INTO t VALUES (2, 'Luis; el de ''arriba''', 2.5);\n"
                               "INSERT INTO u VALUES (7);\n/* fin */\n");
    SqlFileJob job(db);
    ASSERT_TRUE(job.run(String(path))) << job.error().c_str();
    EXPECT_TRUE(job.error().isEmpty());
    EXPECT_EQ(
        testsupport::sqliteScript(file, "SELECT nombre FROM t ORDER BY id;\nSELECT v FROM u;\n"),
        "Ana\nLuis; el de 'arriba'\n7\n");
    // The transaction ended: the connection takes another one.
    EXPECT_NO_THROW(db.beginTransaction());
    db.rollbackTransaction();
}

TEST_F(SqlFileJobTest, AFailingStatementRollsTheWholeFileBack) {
    std::string path = sqlFile("malo.sql",
                               "INSERT INTO t VALUES (2, 'Luis', 2.5);\n"
                               "CREATE TABLE u (v INTEGER);\n"
                               "INSERT INTO nada VALUES (3);\n"
                               "INSERT INTO t VALUES (4, 'Eva', 4.5);\n");
    SqlFileJob job(db);
    EXPECT_FALSE(job.run(String(path)));
    EXPECT_NE(job.error().find("no such table: nada"), -1) << job.error().c_str();
    // Not MySQL: no word about statements that could not be undone.
    EXPECT_EQ(job.error().find(SqlFileJob::kNotRolledBack), -1);
    EXPECT_EQ(testsupport::sqliteScript(
                  file, "SELECT COUNT(*) FROM t;\nSELECT name FROM sqlite_master;\n"),
              "1\nt\n");

    // A file that cannot be read: the connection's own text, nothing left open.
    EXPECT_FALSE(job.run(String(dir.file("no-existe.sql"))));
    EXPECT_EQ(job.error(), "No se encontro el archivo");
    EXPECT_NO_THROW(db.beginTransaction());
    db.rollbackTransaction();
}

TEST_F(SqlFileJobTest, AFailingBeginIsReportedAsItself) {
    // No database open: the begin fails, and the rollback's "no transaction"
    // must not take its place.
    SqliteLocalConnection closed;
    SqlFileJob job(closed);
    EXPECT_FALSE(job.run(String(sqlFile("uno.sql", "SELECT 1;"))));
    EXPECT_EQ(job.error(), "No se ha abierto ninguna base de datos");

    // Another connection holds the write lock: the begin reports it.
    SqliteLocalConnection other;
    ASSERT_TRUE(other.connect(String(dir.path), String(), String(), false, String()));
    ASSERT_TRUE(other.openDatabase("datos.db", false));
    other.beginTransaction();
    db.setBusyLimits(0, 0);
    SqlFileJob busy(db);
    EXPECT_FALSE(busy.run(String(sqlFile("dos.sql", "INSERT INTO t VALUES (5, 'X', 0);"))));
    EXPECT_NE(busy.error().find("database is locked"), -1) << busy.error().c_str();
    EXPECT_NE(busy.error().find("BEGIN IMMEDIATE TRANSACTION"), -1) << busy.error().c_str();
    EXPECT_EQ(busy.error().find("No se ha iniciado"), -1) << busy.error().c_str();
    other.rollbackTransaction();
    EXPECT_EQ(testsupport::sqliteScript(file, "SELECT COUNT(*) FROM t;\n"), "1\n");
}

TEST(SqlFileJobDdl, FindsStatementsMySqlCommitsByThemselves) {
    EXPECT_TRUE(SqlFileJob::holdsDdl("INSERT INTO a VALUES (1);\ncreate table b (x int);"));
    EXPECT_TRUE(SqlFileJob::holdsDdl("  -- nota\n/* x */ DROP TABLE a"));
    EXPECT_TRUE(SqlFileJob::holdsDdl("UPDATE a SET x=1;TRUNCATE a;"));
    EXPECT_TRUE(SqlFileJob::holdsDdl("# nota\nALTER TABLE a ADD y INT;"));
    EXPECT_FALSE(SqlFileJob::holdsDdl("INSERT INTO a VALUES ('x; DROP TABLE a');"));
    // A backslash is an ordinary character in the sessions of the system.
    EXPECT_TRUE(SqlFileJob::holdsDdl("INSERT INTO a VALUES ('C:\\');create table b (x int);"));
    EXPECT_FALSE(SqlFileJob::holdsDdl("-- DROP TABLE a\nUPDATE a SET created=1;"));
    EXPECT_FALSE(SqlFileJob::holdsDdl("/* CREATE TABLE b; */ DELETE FROM a;"));
    EXPECT_FALSE(SqlFileJob::holdsDdl("SELECT `drop` FROM `create`;"));
    EXPECT_FALSE(SqlFileJob::holdsDdl(""));
}

using DatabaseDumpTest = SqliteFixture;

TEST_F(DatabaseDumpTest, WritesADumpTheShellLoadsBackWithTheSameRows) {
    db.execute("INSERT INTO t VALUES (2, 'it''s; \"x\" ñ', NULL)");
    db.execute("CREATE INDEX t_nombre ON t(nombre)");
    std::string target = dir.file("copia.sql");
    std::ostringstream unused;
    DatabaseDump dump(db, unused);
    ASSERT_TRUE(dump.run(String(target))) << dump.error().c_str();
    std::string text = bytesOf(target);
    EXPECT_EQ(dump.size(), text.size());
    EXPECT_EQ(dump.doneText(), String("OK (" + std::to_string(text.size()) + " bytes)"));
    EXPECT_EQ(unused.str(), "");
    // Only the dump is left in the folder: no temporary file.
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"copia.sql", "datos.db"}));

    std::string copy = dir.file("copia.db");
    EXPECT_EQ(testsupport::sqliteScript(copy, text), "");
    const char* rows =
        "SELECT id, nombre, quote(precio) FROM t ORDER BY id;\n"
        "SELECT name FROM sqlite_master WHERE type='index';\n";
    EXPECT_EQ(testsupport::sqliteScript(copy, rows), testsupport::sqliteScript(file, rows));
    EXPECT_EQ(testsupport::sqliteScript(copy, rows), "1|Ana|1.5\n2|it's; \"x\" ñ|NULL\nt_nombre\n");

    // "-" is the standard-output stream.
    std::ostringstream out;
    DatabaseDump toStream(db, out);
    ASSERT_TRUE(toStream.run("-"));
    EXPECT_EQ(out.str(), text);
    EXPECT_EQ(toStream.size(), text.size());
}

TEST_F(DatabaseDumpTest, AFailedDumpLeavesTheEarlierFileAsItWas) {
    std::string target = dir.file("copia.sql");
    std::ofstream(target, std::ios::binary) << "el volcado de ayer";
    ::chmod(target.c_str(), 0640);
    std::ostringstream out;

    // The back end fails (no database open): its text, the old file kept.
    SqliteLocalConnection closed;
    DatabaseDump failing(closed, out);
    EXPECT_FALSE(failing.run(String(target)));
    EXPECT_EQ(failing.error(), "No se ha abierto ninguna base de datos");
    EXPECT_EQ(bytesOf(target), "el volcado de ayer");

    // A folder that does not exist: which file, and why.
    DatabaseDump dump(db, out);
    std::string nowhere = dir.file("no/existe.sql");
    EXPECT_FALSE(dump.run(String(nowhere)));
    EXPECT_NE(dump.error().find(nowhere), -1) << dump.error().c_str();
    EXPECT_NE(dump.error().find("No such file or directory"), -1) << dump.error().c_str();
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"copia.sql", "datos.db"}));

    // A good dump replaces the old file and keeps its mode.
    ASSERT_TRUE(dump.run(String(target)));
    EXPECT_NE(bytesOf(target).find("'Ana'"), std::string::npos);
    EXPECT_NE(bytesOf(target).find("CREATE TABLE"), std::string::npos);
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(out.str(), "");
}

TEST(ScriptRunReportTest, SuccessLinesOnlyWithoutErrors) {
    EXPECT_EQ(ScriptRunReport::runLine(0), "-Finalizó el programa correctamente-");
    EXPECT_EQ(ScriptRunReport::explainLine(0), "-OK-");
    EXPECT_EQ(ScriptRunReport::runLine(1), "-El programa terminó con 1 error-");
    EXPECT_EQ(ScriptRunReport::explainLine(1), "-El programa terminó con 1 error-");
    EXPECT_EQ(ScriptRunReport::runLine(3), "-El programa terminó con 3 errores-");
}

}  // namespace
