#include "db/odbc/OdbcConnection.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/FileText.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "tests/db/mysql/MariaDbServer.h"
#include "tests/support/CliScript.h"

using namespace VORLIN;
using quelmir_test::MariaDbServer;
using quelmir_test::server;

namespace {

const char* const kSqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
const char* const kMariaDriver = "/usr/lib/x86_64-linux-gnu/odbc/libmaodbc.so";
std::string gDir;

// Writes the drivers and three data sources (the wanted SQLite one is not
// the first) into a folder of its own and points unixODBC at it.
class OdbcEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        // The driver manager unloads the drivers when the last connection
        // goes; kept loaded, what they keep until exit stays attributable to
        // them (lsan.supp names them) instead of to an unknown module.
        for (const char* driver : {kSqliteDriver, kMariaDriver})
            dlopen(driver, RTLD_NOW | RTLD_NODELETE);
        char tmpl[] = "/tmp/quelmir-odbc-XXXXXX";
        ASSERT_TRUE(mkdtemp(tmpl));
        gDir = tmpl;
        bool maria = server().start();
        if (!maria)
            std::fprintf(stderr, "\n*** MariaDB server: %s ***\n\n", server().error().c_str());
        std::ofstream(gDir + "/odbcinst.ini") << "[SQLite3]\nDriver=" << kSqliteDriver
                                              << "\n\n[MariaDB]\nDriver=" << kMariaDriver << "\n";
        std::ofstream ini(gDir + "/odbc.ini");
        ini << "[Otra]\nDescription=Otra base\nDriver=SQLite3\nDatabase=" << gDir << "/otra.db\n\n"
            << "[Quelmir]\nDescription=Base de pruebas\nDriver=SQLite3\nDatabase=" << gDir
            << "/quelmir.db\n\n";
        if (maria)
            ini << "[QuelmirMaria]\nDescription=MariaDB\nDriver=MariaDB\nServer=127.0.0.1\nPort="
                << server().port() << "\nDatabase=odbc_test\n";
        ini.close();
        if (maria) server().rootQuery("CREATE DATABASE odbc_test");
        setenv("ODBCSYSINI", gDir.c_str(), 1);
        setenv("ODBCINI", (gDir + "/odbc.ini").c_str(), 1);
    }
    void TearDown() override {
        server().stop();
        std::error_code ec;
        std::filesystem::remove_all(gDir, ec);
    }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new OdbcEnvironment);

class OdbcSqliteTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (access(kSqliteDriver, R_OK) != 0)
            GTEST_SKIP() << "SQLite ODBC driver missing (package libsqliteodbc)";
        std::filesystem::remove(gDir + "/quelmir.db");
        ASSERT_TRUE(db.connect(String(), String(), String(), false, "Quelmir"))
            << db.lastError().c_str();
    }
    OdbcConnection db;
};

TEST_F(OdbcSqliteTest, ListsEverySourceAndFindsOneThatIsNotFirst) {
    DataSet list;
    db.listDatabases(&list, String());
    ASSERT_GE(list.rowCount(), 2);
    EXPECT_EQ(list.getCellText(0, 0), "Otra");
    EXPECT_EQ(list.getCellText(1, 0), "Quelmir");
    EXPECT_EQ(list.getCellText(1, 1), "SQLite3");
    EXPECT_TRUE(db.databaseExists("Quelmir", false));
    EXPECT_FALSE(db.databaseExists("Nadie", false));
    // A second walk starts from the first again.
    EXPECT_TRUE(db.databaseExists("Otra", false));
    EXPECT_EQ(db.getHost(), "ODBC");
    EXPECT_EQ(db.getAlias(), "Quelmir");
}

TEST_F(OdbcSqliteTest, UnknownSourceAnswersFalseWithDiagnostics) {
    OdbcConnection other;
    EXPECT_FALSE(other.connect(String(), String(), String(), false, "Nadie"));
    EXPECT_EQ(other.lastError().find("IM002 Error: "), 0) << other.lastError().c_str();
}

TEST_F(OdbcSqliteTest, CatalogueModelsAndKeys) {
    db.execute(
        "CREATE TABLE p (id INTEGER PRIMARY KEY, name VARCHAR(20) NOT NULL, price "
        "NUMERIC(8,2), big BIGINT)");
    db.execute("CREATE TABLE u (a INTEGER, code VARCHAR(5) NOT NULL UNIQUE)");
    db.execute("CREATE TABLE n (a INTEGER, b TEXT)");
    DataSet tables;
    db.listTables(&tables);
    EXPECT_EQ(tables.rowCount(), 3);
    EXPECT_TRUE(db.tableExist("u"));
    EXPECT_FALSE(db.tableExist("zz"));

    String key;
    EXPECT_EQ(db.findKeyColumn("u", &key), 1);
    EXPECT_EQ(key, "code");
    EXPECT_EQ(db.findKeyColumn("n"), -1);

    TableDataset model;
    db.queryModel("p", &model);
    ASSERT_EQ(model.columnCount(), 4);
    EXPECT_EQ(model.columnName(1), "name");
    EXPECT_EQ(model.header()->typeOf(0), DataItem::TInt);
    EXPECT_EQ(model.header()->typeOf(1), DataItem::TString);
    EXPECT_EQ(OdbcConnection::typeWord(-5), "text");
    EXPECT_EQ(OdbcConnection::typeWord(93), "date");

    DataSet info;
    EXPECT_EQ(db.getTableInfo("p", &info), 1);
    ASSERT_EQ(info.rowCount(), 4);
    EXPECT_EQ(info.getCellText(1, 1), "name");
    EXPECT_EQ(info.getCell(1, 3).toInt(), 1);
    EXPECT_EQ(info.getCell(0, 0).toInt(), 1);
    EXPECT_NE(db.getCreateTable("p").find("CREATE TABLE p(id "), -1);
}

TEST_F(OdbcSqliteTest, ExecuteInsertThroughMaxOfTheKey) {
    db.execute("CREATE TABLE u (code INTEGER NOT NULL UNIQUE, v TEXT)");
    db.execute("CREATE TABLE n (a INTEGER, b TEXT)");
    EXPECT_EQ(db.executeInsert("INSERT INTO u VALUES (7, 'a')"), 7);
    EXPECT_EQ(db.executeInsert("insert into u values (3, 'b')"), 7);
    EXPECT_EQ(db.executeInsert("INSERT INTO n VALUES (9, 'c')"), 0);
}

TEST_F(OdbcSqliteTest, DiagnosticsOfAFailingStatement) {
    try {
        db.execute("SELECT * FROM missing_table");
        FAIL() << "no exception";
    } catch (const GeneralException& e) {
        String text(e.message());
        EXPECT_EQ(text, db.lastError());
        EXPECT_EQ(text.mid(5, 8), " Error: ");
        EXPECT_NE(text.find("missing_table"), -1) << text.c_str();
        EXPECT_EQ(text.right(2), "\r\n");
    }
}

TEST_F(OdbcSqliteTest, TransactionsAndTheirMisuse) {
    db.execute("CREATE TABLE t (v INTEGER)");
    EXPECT_THROW(db.commitTransaction(), GeneralException);
    EXPECT_EQ(db.lastError(), OdbcConnection::kNoTransaction);
    db.beginTransaction();
    db.execute("INSERT INTO t VALUES (1)");
    db.rollbackTransaction();
    EXPECT_EQ(db.queryInt("SELECT COUNT(*) FROM t"), 0);
    db.beginTransaction();
    db.execute("INSERT INTO t VALUES (2)");
    db.commitTransaction();
    db.execute("INSERT INTO t VALUES (3)");
    OdbcConnection other;
    ASSERT_TRUE(other.connect(String(), String(), String(), false, "Quelmir"));
    EXPECT_EQ(other.queryInt("SELECT SUM(v) FROM t"), 5);
}

TEST_F(OdbcSqliteTest, ScalarsRowsAndQueryDataset) {
    db.execute("CREATE TABLE q (id INTEGER PRIMARY KEY, name TEXT, r DOUBLE)");
    db.execute("INSERT INTO q VALUES (1, 'uno', 1.5), (2, NULL, 2.5)");
    EXPECT_EQ(db.queryInt("SELECT COUNT(*) FROM q"), 2);
    EXPECT_EQ(db.queryString("SELECT name FROM q WHERE id=1"), "uno");
    EXPECT_DOUBLE_EQ(db.queryDouble("SELECT r FROM q WHERE id=2"), 2.5);
    EXPECT_EQ(db.queryInt("SELECT id FROM q WHERE id=99"), 0);
    EXPECT_TRUE(db.queryItem("SELECT id FROM q WHERE id=99").isNull());
    std::unique_ptr<DataRow> row(db.queryNewDataRow("SELECT * FROM q WHERE id=2"));
    ASSERT_TRUE(row);
    EXPECT_TRUE(row->get(1).isNull());

    DataSet out;
    db.queryDataset("SELECT id, name FROM q ORDER BY id", &out, String(), false);
    ASSERT_EQ(out.rowCount(), 2);
    EXPECT_EQ(out.columnName(1), "name");
    EXPECT_EQ(out.getCellText(0, 1), "uno");
    EXPECT_EQ(out.header()->typeOf(0), DataItem::TInt);
    db.queryDataset("SELECT id FROM q", &out, "TEXT", true);
    EXPECT_EQ(out.rowCount(), 4);
}

TEST_F(OdbcSqliteTest, EditsAndKeylessTables) {
    db.execute("CREATE TABLE c (id INTEGER PRIMARY KEY, name TEXT)");
    db.execute("INSERT INTO c VALUES (1, 'Ana'), (2, 'C:\\nuevo ñ')");
    TableDataset set;
    db.openTable(&set, "c", String(), "id");
    ASSERT_EQ(set.rowCount(), 2);
    EXPECT_EQ(set.getCellText(1, 1), "C:\\nuevo ñ");
    EXPECT_TRUE(set.updateCell(0, "name", DataItem("O'Neil"), &db));
    EXPECT_EQ(db.queryString("SELECT name FROM c WHERE id=1"), "O'Neil");

    db.execute("CREATE TABLE k (a INTEGER, b TEXT)");
    db.execute("INSERT INTO k VALUES (1, 'x'), (2, 'y')");
    TableDataset keyless;
    db.openTable(&keyless, "k", String(), "a");
    EXPECT_FALSE(keyless.rowIdMode());
    ASSERT_EQ(keyless.columnCount(), 2);
    EXPECT_EQ(keyless.getCellText(1, 1), "y");
    TableDataset::setMessageHook([](const String&, const String&) {});
    EXPECT_FALSE(keyless.updateCell(0, "b", DataItem("z"), &db));
    TableDataset::setMessageHook(nullptr);
    EXPECT_EQ(db.lastError(), OdbcConnection::kNoKeyEdit);
    EXPECT_EQ(db.queryInt("SELECT COUNT(*) FROM k WHERE b='z'"), 0);

    // A row gone meanwhile: the edit is not reported as saved.
    std::vector<std::string> shown;
    TableDataset::setMessageHook(
        [&shown](const String&, const String& text) { shown.push_back(text.toStdString()); });
    db.execute("DELETE FROM c WHERE id=2");
    EXPECT_FALSE(set.updateCell(1, "name", DataItem("Otro"), &db));
    EXPECT_TRUE(set.updateCell(0, "name", DataItem("O'Neil"), &db));  // the same value
    TableDataset::setMessageHook(nullptr);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "No se guardó el cambio: ninguna fila de c tiene id=2");
    EXPECT_EQ(set.getCellText(1, 1), "C:\\nuevo ñ");
}

// What the sqlite3 shell prints for `sql` on a file.
std::string shellRead(const std::string& file, const std::string& sql) {
    std::string cmd = "/usr/bin/sqlite3 '" + file + "' \"" + sql + "\" 2>&1";
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

// Edits address rows by the key they were loaded with; a dump with the
// schema, loaded by the sqlite3 shell, gives the same rows.
TEST_F(OdbcSqliteTest, StoredKeyEditsAndADumpWithSchema) {
    db.execute(
        "CREATE TABLE \"order items\" (code VARCHAR(5) PRIMARY KEY, name VARCHAR(20), n INTEGER)");
    db.execute("INSERT INTO \"order items\" VALUES ('A','ana',1)");
    db.execute("INSERT INTO \"order items\" VALUES ('B','it''s',2)");
    db.execute("CREATE TABLE nums (id INTEGER PRIMARY KEY, price NUMERIC(8,2), note TEXT)");
    TableDataset t;
    db.openTable(&t, "order items", String(), String());
    ASSERT_EQ(t.rowCount(), 2);
    EXPECT_EQ(t.keyColumn(), 0);
    t.setCell(0, 0, DataItem("B"));
    EXPECT_THROW(t.saveChanges(db), GeneralException);
    t.setCell(0, 0, DataItem("C"));
    db.execute("UPDATE \"order items\" SET n=10 WHERE code='A'");
    t.saveChanges(db);
    const std::string file = gDir + "/quelmir.db";
    EXPECT_EQ(shellRead(file, "SELECT * FROM \\\"order items\\\" ORDER BY code"),
              "B|it's|2\nC|ana|10\n");

    db.execute("CREATE TABLE \"auto nums\" (\"the id\" INTEGER PRIMARY KEY, v TEXT)");
    EXPECT_EQ(db.executeInsert("INSERT INTO \"auto nums\" (v) VALUES ('a')"), 1);
    EXPECT_EQ(db.executeInsert("INSERT INTO \"auto nums\" (v) VALUES ('b')"), 2);
    TableDataset nums;
    db.openTable(&nums, "nums", String(), String());
    EXPECT_TRUE(nums.keyTakesRowId());
    DataRow* fresh = nums.newRow();
    fresh->cell(1)->setDouble(12.5);
    fresh->cell(2)->setString("uno");
    nums.saveChanges(db);
    EXPECT_EQ(fresh->cell(0)->toInt(), 1);

    std::string dump = gDir + "/odbc-dump.sql";
    db.exportSqlToFile(String(dump), true);
    String text;
    ASSERT_TRUE(FileText::read(String(dump), text));
    EXPECT_EQ(text.find("CREATE TABLE \"order items\"("), 0) << text.c_str();
    EXPECT_NE(text.find("PRIMARY KEY"), -1) << text.c_str();
    std::string copy = gDir + "/odbc-copia.db";
    std::filesystem::remove(copy);
    ASSERT_EQ(std::system(("/usr/bin/sqlite3 -bail '" + copy + "' < '" + dump + "'").c_str()), 0)
        << text.c_str();
    for (const char* sql :
         {"SELECT * FROM \\\"order items\\\" ORDER BY code", "SELECT id, price, note FROM nums"})
        EXPECT_EQ(shellRead(copy, sql), shellRead(file, sql)) << sql;
    std::filesystem::remove(copy);
    std::filesystem::remove(dump);
}

// Another thread cancels a running statement (SQLCancel).
TEST_F(OdbcSqliteTest, InterruptCancelsARunningStatement) {
    std::thread cancel([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        db.interrupt();
    });
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_THROW(db.queryInt("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c) "
                             "SELECT count(*) FROM c"),
                 GeneralException);
    cancel.join();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 5.0);
    EXPECT_EQ(db.queryInt("SELECT 41+1"), 42);
}

TEST(OdbcMariaDb, WorksThroughTheMariaDbDriver) {
    if (server().missing()) GTEST_SKIP() << server().error();
    if (access(kMariaDriver, R_OK) != 0) GTEST_SKIP() << "MariaDB ODBC driver missing";
    ASSERT_TRUE(server().error().empty()) << server().error();
    OdbcConnection db;
    ASSERT_TRUE(
        db.connect(String(), MariaDbServer::kUser, MariaDbServer::kPassword, false, "QuelmirMaria"))
        << db.lastError().c_str();
    db.execute("CREATE TABLE m (id INT AUTO_INCREMENT PRIMARY KEY, v VARCHAR(20))");
    EXPECT_EQ(db.executeInsert("INSERT INTO m (v) VALUES ('C:\\nuevo')"), 1);
    EXPECT_EQ(db.queryString("SELECT v FROM m"), "C:\\nuevo");
    EXPECT_EQ(db.findKeyColumn("m"), 0);
    TableDataset set;
    db.openTable(&set, "m", String(), String());
    ASSERT_EQ(set.rowCount(), 1);
    EXPECT_TRUE(set.updateCell(0, "v", DataItem("año"), &db));
    EXPECT_EQ(db.queryString("SELECT v FROM m"), "año");
    // The driver counts changed rows only: the same value again is still a
    // saved edit, a row gone is not.
    std::vector<std::string> shown;
    TableDataset::setMessageHook(
        [&shown](const String&, const String& text) { shown.push_back(text.toStdString()); });
    EXPECT_TRUE(set.updateCell(0, "v", DataItem("año"), &db));
    db.execute("DELETE FROM m");
    EXPECT_FALSE(set.updateCell(0, "v", DataItem("otro"), &db));
    TableDataset::setMessageHook(nullptr);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "No se guardó el cambio: ninguna fila de m tiene id=1");
    EXPECT_THROW(db.execute("SELEC nothing"), GeneralException);
    EXPECT_EQ(db.lastError().mid(5, 8), " Error: ");
}

}  // namespace

#include "db/odbc/OdbcSelDbLogic.h"

namespace {

TEST_F(OdbcSqliteTest, SelectionLogicListsAcceptsAndWarns) {
    OdbcConnection target;
    std::string caption, text;
    OdbcSelDbLogic logic(target, [&](const String& c, const String& t) {
        caption = c.c_str();
        text = t.c_str();
    });
    logic.fill();
    ASSERT_GE(logic.sources().size(), 2u);
    EXPECT_FALSE(logic.accept(-1));
    EXPECT_EQ(caption, "ALERT");
    EXPECT_EQ(text, OdbcSelDbLogic::kChooseSource);
    ASSERT_TRUE(logic.accept(1));
    EXPECT_EQ(logic.chosen(), "ODBC|Quelmir");
    EXPECT_EQ(target.getAlias(), "Quelmir");
}

}  // namespace

namespace {

// quelmir-cli's "odbc:DSN" and "odbc:DSN:USER:PASSWORD" against the real
// drivers: the SQLite source, and the MariaDB one with the test user.
TEST(OdbcCli, ScriptRunsThroughTheConnectOption) {
    testsupport::CliResult r =
        testsupport::runCliScript({"odbc:Quelmir=datos"}, testsupport::cliBackEndScript());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Ana,Luis\ncliente Luis\n");
    if (server().missing()) GTEST_SKIP() << server().error();
    std::string option = std::string("odbc:QuelmirMaria:") + MariaDbServer::kUser + ":" +
                         MariaDbServer::kPassword + "=datos";
    r = testsupport::runCliScript({option}, testsupport::cliBackEndScript());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Ana,Luis\ncliente Luis\n");
    r = testsupport::runCliScript({"odbc:NoExiste"}, testsupport::cliBackEndScript());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("odbc:NoExiste"), std::string::npos) << r.err;
}

}  // namespace

#include "app/main/SqlFileJob.h"

namespace {

// "Ejecutar archivo sql" through both drivers: a file of several
// statements runs whole, and a failing one undoes the file.
void runsAFileOfManyStatements(OdbcConnection& db, const std::string& path) {
    db.execute("CREATE TABLE fj (id INT PRIMARY KEY, v VARCHAR(20))");
    std::ofstream(path, std::ios::binary) << "INSERT INTO fj VALUES (1, 'uno; dos');\n"
                                             "INSERT INTO fj VALUES (2, 'it''s');\n"
                                             "UPDATE fj SET v = 'tres' WHERE id = 2;\n";
    SqlFileJob job(db);
    ASSERT_TRUE(job.run(String(path))) << job.error().c_str();
    EXPECT_EQ(db.queryInt("SELECT COUNT(*) FROM fj"), 2);
    EXPECT_EQ(db.queryString("SELECT v FROM fj WHERE id = 2"), "tres");
    std::ofstream(path, std::ios::binary) << "DELETE FROM fj;\n"
                                             "INSERT INTO fj VALUES (3, 'x');\n"
                                             "INSERT INTO nada VALUES (1);\n";
    EXPECT_FALSE(job.run(String(path)));
    EXPECT_NE(job.error().find("nada"), -1) << job.error().c_str();
    EXPECT_EQ(db.queryInt("SELECT COUNT(*) FROM fj"), 2);
    EXPECT_EQ(db.queryString("SELECT v FROM fj WHERE id = 1"), "uno; dos");
}

TEST_F(OdbcSqliteTest, SqlFileJobRunsEveryStatementOrNone) {
    runsAFileOfManyStatements(db, gDir + "/sqlite-file.sql");
}

TEST(OdbcMariaDb, SqlFileJobRunsEveryStatementOrNone) {
    if (server().missing()) GTEST_SKIP() << server().error();
    if (access(kMariaDriver, R_OK) != 0) GTEST_SKIP() << "MariaDB ODBC driver missing";
    OdbcConnection db;
    ASSERT_TRUE(
        db.connect(String(), MariaDbServer::kUser, MariaDbServer::kPassword, false, "QuelmirMaria"))
        << db.lastError().c_str();
    runsAFileOfManyStatements(db, gDir + "/maria-file.sql");
}

}  // namespace
