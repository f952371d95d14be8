// Rebuilding a database from a new schema (updateDatabase) and dumping one
// as SQL (exportSql). The rebuild must carry the data across and, whatever
// step fails, leave the original file under its own name, untouched and
// open. A dump must load into the sqlite3 command-line shell and give the
// same rows.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "tests/support/TempFolder.h"

using namespace VORLIN;

namespace {

using testsupport::TempFolder;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <typename Fn>
std::string failure(Fn&& fn) {
    try {
        fn();
    } catch (const GeneralException& e) {
        return e.message();
    }
    return "";
}

// Every row of a query as text lines "a|b|c".
std::vector<std::string> rowsOf(SqliteLocalConnection& db, const std::string& sql) {
    DataSet set;
    db.queryDataset(String(sql), &set, "", false);
    std::vector<std::string> lines;
    for (DataRow* row : set.rows()) {
        std::string line;
        for (int i = 0; i < row->count(); ++i) {
            if (i) line += "|";
            line += row->cell(i)->isNull() ? "<null>" : row->cell(i)->text().toStdString();
        }
        lines.push_back(line);
    }
    return lines;
}

class WaitTexts : public WaitWindow {
public:
    void showText(const String& text) override { texts.push_back(text.toStdString()); }
    std::vector<std::string> texts;
};

const char* kOldSchema =
    "CREATE TABLE clientes(id INTEGER PRIMARY KEY, nombre TEXT, saldo NUMERIC, grande INTEGER);"
    "CREATE TABLE viejos(x TEXT);"
    "CREATE TABLE config(clave TEXT, valor TEXT);"
    "CREATE TABLE precios(id INTEGER PRIMARY KEY AUTOINCREMENT, p NUMERIC);"
    "INSERT INTO clientes VALUES(1, 'Ana', 10.5, 5000000000);"
    "INSERT INTO clientes VALUES(2, 'O''Brien', 0.1234567891, NULL);"
    "INSERT INTO clientes VALUES(7, 'Luis', -3, 1);"
    "INSERT INTO viejos VALUES('se va');"
    "INSERT INTO precios(p) VALUES(1.25);"
    "INSERT INTO precios(p) VALUES(2.5);"
    "DELETE FROM precios WHERE id=2;";

// The new schema adds a column in the middle of clientes (with a default),
// drops viejos and adds nuevos.
const char* kNewSchema =
    "CREATE TABLE clientes(id INTEGER PRIMARY KEY, nombre TEXT, "
    "ciudad TEXT NOT NULL DEFAULT 'CDMX', saldo NUMERIC, grande INTEGER);"
    "CREATE INDEX clientes_nombre ON clientes(nombre);"
    "CREATE TABLE config(clave TEXT, valor TEXT);"
    "CREATE TABLE precios(id INTEGER PRIMARY KEY AUTOINCREMENT, p NUMERIC);"
    "CREATE TABLE nuevos(a INTEGER);";

// A database "datos.db" with the old schema, open.
class Update : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(db.connect(String(dir.path), "", "", false, "-"));
        ASSERT_TRUE(db.openDatabase("datos", true));
        db.setBusyLimits(50, 200);
        db.execute(kOldSchema);
        original = readFile(dir.file("datos.db"));
    }

    // The default rows: one INSERT statement per row in column 0.
    void addDefault(DataSet& set, const std::string& sql) {
        auto* row = new DataRow(1);
        row->cell(0)->setString(sql);
        set.insertRow(row);
    }

    // The original file is under its name, byte for byte, and open.
    void expectOriginalIntact() {
        EXPECT_EQ(readFile(dir.file("datos.db")), original);
        ASSERT_NE(db.handle(), nullptr);
        EXPECT_EQ(db.database().toStdString(), "datos.db");
        EXPECT_EQ(db.getAlias().toStdString(), "datos");
        EXPECT_EQ(db.queryInt("SELECT count(*) FROM clientes"), 3);
        EXPECT_TRUE(db.tableExist("viejos"));
        EXPECT_EQ(dir.files(), std::vector<std::string>{"datos.db"});
    }

    TempFolder dir;
    SqliteLocalConnection db;
    std::string original;
};

// A connection whose file steps fail: keepCopy always, replaceFile always.
class FailingFiles : public SqliteLocalConnection {
public:
    bool failCopy = false;
    bool failReplace = false;
    int replaceAttempts = 0;

protected:
    bool keepCopy(const String& from, const String& to) override {
        return !failCopy && SqliteLocalConnection::keepCopy(from, to);
    }
    bool replaceFile(const String& from, const String& to) override {
        ++replaceAttempts;
        return !failReplace && SqliteLocalConnection::replaceFile(from, to);
    }
};

}  // namespace

TEST_F(Update, CarriesTheDataAcrossASchemaChange) {
    DataSet defaults;
    addDefault(defaults, "INSERT INTO config VALUES('a', '1');");
    addDefault(defaults, "INSERT INTO config VALUES('b', '2');");
    addDefault(defaults, "INSERT INTO precios(p) VALUES(99);");  // not empty: skipped
    addDefault(defaults, "INSERT INTO nuevos(a) VALUES(5);");
    addDefault(defaults, "INSERT INTO viejos VALUES('no');");  // not in the new schema
    WaitTexts wait;
    String schema(kNewSchema);
    ASSERT_TRUE(db.updateDatabase(&schema, &defaults, &wait));

    EXPECT_EQ(db.database().toStdString(), "datos.db");
    EXPECT_EQ(db.getAlias().toStdString(), "datos");
    EXPECT_EQ(dir.files(), std::vector<std::string>{"datos.db"});
    // Matched by column name; the new column takes its default; values keep
    // their exact storage (64-bit integers, every digit of a double, NULL).
    EXPECT_EQ(rowsOf(db,
                     "SELECT id, nombre, ciudad, saldo, grande, typeof(grande) FROM clientes "
                     "ORDER BY id"),
              (std::vector<std::string>{"1|Ana|CDMX|10.500000|5000000000|integer",
                                        "2|O'Brien|CDMX|0.123457|<null>|null",
                                        "7|Luis|CDMX|-3.000000|1|integer"}));
    // Read back, a value beyond 32 bits keeps its digits.
    EXPECT_EQ(db.queryItem("SELECT grande FROM clientes WHERE id=1").type(), DataItem::TString);
    EXPECT_EQ(db.queryString("SELECT saldo FROM clientes WHERE id=2").toStdString(),
              "0.1234567891");
    EXPECT_EQ(db.queryString("SELECT grande FROM clientes WHERE id=1").toStdString(), "5000000000");
    EXPECT_FALSE(db.tableExist("viejos"));
    EXPECT_TRUE(db.tableExist("clientes_nombre"));
    EXPECT_EQ(rowsOf(db, "SELECT * FROM config ORDER BY clave"),
              (std::vector<std::string>{"a|1", "b|2"}));
    EXPECT_EQ(rowsOf(db, "SELECT * FROM precios"), (std::vector<std::string>{"1|1.250000"}));
    EXPECT_EQ(rowsOf(db, "SELECT * FROM nuevos"), (std::vector<std::string>{"5"}));
    // The AUTOINCREMENT counter keeps its high-water mark: id 2 is not reused.
    EXPECT_EQ(db.executeInsert("INSERT INTO precios(p) VALUES(3)"), 3);
    // The SQL functions are registered on the reopened database.
    EXPECT_EQ(db.queryString("SELECT MaskZeros(7, 3)").toStdString(), "007");

    EXPECT_EQ(wait.texts,
              (std::vector<std::string>{"Creando nueva base...", "Actualizando clientes...",
                                        "Actualizando config...", "Actualizando precios...",
                                        "Inicializando registros por default...."}));
}

TEST_F(Update, DefaultsNeedNoWaitWindowAndNoRows) {
    String schema(kNewSchema);
    ASSERT_TRUE(db.updateDatabase(&schema, nullptr, nullptr));
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM config"), 0);
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM clientes"), 3);
    ASSERT_TRUE(db.updateDatabase(&schema, nullptr, nullptr));  // again: nothing lost
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM clientes"), 3);
}

TEST_F(Update, ASchemaErrorLeavesTheOriginalUntouchedAndOpen) {
    String schema("CREATE TABLE clientes(id INTEGER PRIMARY KEY); CREATE TABL oops(x);");
    std::string e = failure([&] { db.updateDatabase(&schema, nullptr, nullptr); });
    EXPECT_EQ(e.substr(0, 24), "execute near \"TABL\": syn");
    EXPECT_EQ(db.lastError().toStdString(), e);
    expectOriginalIntact();
}

TEST_F(Update, ACopyOrDefaultsErrorLeavesTheOriginalUntouchedAndOpen) {
    // The new schema refuses the old rows.
    String strict(
        "CREATE TABLE clientes(id INTEGER PRIMARY KEY, nombre TEXT CHECK(length(nombre) > 10));");
    EXPECT_NE(failure([&] { db.updateDatabase(&strict, nullptr, nullptr); }).find("CHECK"),
              std::string::npos);
    expectOriginalIntact();

    // A default row that fails.
    DataSet defaults;
    addDefault(defaults, "INSERT INTO config VALUES('a', '1', 'too many');");
    String schema(kNewSchema);
    EXPECT_NE(failure([&] { db.updateDatabase(&schema, &defaults, nullptr); }).find("execute "),
              std::string::npos);
    expectOriginalIntact();

    // Inside a transaction the open database cannot be closed and swapped.
    db.beginTransaction();
    EXPECT_FALSE(failure([&] { db.updateDatabase(&schema, nullptr, nullptr); }).empty());
    db.rollbackTransaction();
    expectOriginalIntact();
}

// A connection whose update always builds its new file under one name.
class FixedTemporaryName : public SqliteLocalConnection {
protected:
    String temporaryName(const char* role, const String& database) override {
        return String(role) + database;
    }
};

TEST_F(Update, ANewFileThatCannotBeCreatedLeavesTheOriginal) {
    // Where the new file should go there is a folder: it cannot be created.
    FixedTemporaryName fixed;
    ASSERT_TRUE(fixed.connect(String(dir.path), "", "", false, "-"));
    ASSERT_TRUE(fixed.openDatabase("datos", true));
    std::filesystem::create_directory(dir.file("_TMP_datos.db"));
    String schema(kNewSchema);
    EXPECT_EQ(failure([&] { fixed.updateDatabase(&schema, nullptr, nullptr); }), "SQLITE_CANTOPEN");
    std::filesystem::remove(dir.file("_TMP_datos.db"));
    fixed.disconnect();
    expectOriginalIntact();
}

TEST_F(Update, TwoUpdatesNeverShareATemporaryName) {
    struct Recording : SqliteLocalConnection {
        std::vector<std::string> names;
        String temporaryName(const char* role, const String& database) override {
            String name = SqliteLocalConnection::temporaryName(role, database);
            names.push_back(name.toStdString());
            return name;
        }
    } other;
    ASSERT_TRUE(other.connect(String(dir.path), "", "", false, "-"));
    ASSERT_TRUE(other.openDatabase("datos", true));
    String schema(kNewSchema);
    other.updateDatabase(&schema, nullptr, nullptr);
    other.updateDatabase(&schema, nullptr, nullptr);
    ASSERT_EQ(other.names.size(), 4u);
    std::set<std::string> distinct(other.names.begin(), other.names.end());
    EXPECT_EQ(distinct.size(), 4u);
    for (const std::string& n : other.names)
        EXPECT_EQ(n.rfind("_TMP_", 0), 0u) << n;
    // Nothing of them is left behind.
    other.disconnect();
    EXPECT_EQ(dir.files(), std::vector<std::string>{"datos.db"});
}

TEST_F(Update, AnUnwritableFolderLeavesTheOriginal) {
    ::chmod(dir.path.c_str(), 0555);
    if (::access(dir.path.c_str(), W_OK) == 0) {
        ::chmod(dir.path.c_str(), 0755);
        GTEST_SKIP() << "running with permission to write anywhere";
    }
    String schema(kNewSchema);
    EXPECT_FALSE(failure([&] { db.updateDatabase(&schema, nullptr, nullptr); }).empty());
    ::chmod(dir.path.c_str(), 0755);
    expectOriginalIntact();
}

TEST_F(Update, FailingFileStepsLeaveTheOriginalUnderItsName) {
    db.disconnect();
    FailingFiles files;
    ASSERT_TRUE(files.connect(String(dir.path), "", "", false, "datos"));
    files.setBusyLimits(50, 250);
    String schema(kNewSchema);

    files.failCopy = true;
    EXPECT_EQ(failure([&] { files.updateDatabase(&schema, nullptr, nullptr); }),
              "UpdateDatabase: No se pudo renombrar el archivo(1).");
    EXPECT_EQ(files.replaceAttempts, 0);
    EXPECT_EQ(readFile(dir.file("datos.db")), original);
    EXPECT_EQ(dir.files(), std::vector<std::string>{"datos.db"});
    EXPECT_EQ(files.queryInt("SELECT count(*) FROM viejos"), 1);  // reopened

    files.failCopy = false;
    files.failReplace = true;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(failure([&] { files.updateDatabase(&schema, nullptr, nullptr); }),
              "UpdateDatabase: No se pudo renombrar el archivo(2).");
    double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    // Retried with pauses, within the connection's retry bound.
    EXPECT_GE(files.replaceAttempts, 2);
    EXPECT_LE(files.replaceAttempts, 21);
    EXPECT_LT(waited, 2.0);
    EXPECT_EQ(readFile(dir.file("datos.db")), original);
    EXPECT_EQ(dir.files(), std::vector<std::string>{"datos.db"});
    EXPECT_EQ(files.queryInt("SELECT count(*) FROM viejos"), 1);
    EXPECT_EQ(files.database().toStdString(), "datos.db");

    files.failReplace = false;
    ASSERT_TRUE(files.updateDatabase(&schema, nullptr, nullptr));
    EXPECT_FALSE(files.tableExist("viejos"));
    EXPECT_EQ(dir.files(), std::vector<std::string>{"datos.db"});
}

// ------------------------------------------------------------------ export

namespace {

// Loads a dump into a new database with the sqlite3 shell; its exit code.
int loadWithShell(const std::string& dumpPath, const std::string& dbPath) {
    std::string cmd =
        "/usr/bin/sqlite3 -bail '" + dbPath + "' < '" + dumpPath + "' > /dev/null 2>&1";
    return std::system(cmd.c_str());
}

}  // namespace

TEST_F(Update, AnExportLoadsIntoTheShellWithTheSameRows) {
    db.execute(
        "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, price NUMERIC, qty INTEGER, day DATE);"
        "INSERT INTO t VALUES(1, 'Ana', 10.5, 3, '2009-07-05');"
        "INSERT INTO t VALUES(2, 'it''s \"quoted\"', NULL, NULL, NULL);"
        "INSERT INTO t VALUES(3, 'línea\nnueva', -0.25, -7, '2010-01-02 03:04:05');"
        "CREATE TABLE log(what TEXT);"
        "CREATE TRIGGER t_log AFTER INSERT ON t BEGIN INSERT INTO log VALUES(new.name); END;"
        "INSERT INTO t VALUES(4, 'logged', 1, 1, '2011-11-11');"
        "CREATE INDEX t_name ON t(name);"
        "CREATE VIEW cheap AS SELECT name FROM t WHERE price < 5;");
    String dump;
    db.exportSql(&dump, true);
    std::string text = dump.toStdString();
    EXPECT_NE(text.find("CREATE TABLE t(id INTEGER PRIMARY KEY"), std::string::npos);
    EXPECT_EQ(text.find("CREATE TABLE sqlite_sequence"), std::string::npos);
    // Triggers come after the rows, so loading does not fire them.
    EXPECT_LT(text.find("INSERT INTO t VALUES"), text.find("CREATE TRIGGER"));
    EXPECT_NE(text.find("INSERT INTO t VALUES(1,'Ana',10.5,3,'2009-07-05');\r\n"),
              std::string::npos);

    std::ofstream(dir.file("dump.sql"), std::ios::binary) << text;
    ASSERT_EQ(loadWithShell(dir.file("dump.sql"), dir.file("copia.db")), 0) << text;

    SqliteLocalConnection copy;
    ASSERT_TRUE(copy.connect(String(dir.path), "", "", false, "copia"));
    for (const char* sql :
         {"SELECT * FROM t ORDER BY id", "SELECT * FROM log ORDER BY rowid",
          "SELECT * FROM clientes ORDER BY id", "SELECT * FROM viejos", "SELECT * FROM precios",
          "SELECT * FROM cheap ORDER BY name", "SELECT name, seq FROM sqlite_sequence",
          "SELECT type, name, sql FROM sqlite_master ORDER BY name"}) {
        EXPECT_EQ(rowsOf(copy, sql), rowsOf(db, sql)) << sql;
    }
    EXPECT_EQ(copy.executeInsert("INSERT INTO precios(p) VALUES(3)"), 3);
    // A 64-bit integer survives the dump with its type.
    EXPECT_EQ(
        copy.queryString("SELECT grande || typeof(grande) FROM clientes WHERE id=1").toStdString(),
        "5000000000integer");

    // The shell drops a "\r" before a line break, also inside a text;
    // executeFile keeps it.
    db.execute("INSERT INTO viejos VALUES('dos\r\nlineas')");
    dump.clear();
    db.exportSql(&dump, true);
    std::ofstream(dir.file("dump2.sql"), std::ios::binary) << dump.toStdString();
    SqliteLocalConnection again;
    ASSERT_TRUE(again.connect(String(dir.path), "", "", false, "-"));
    again.openDatabase("otra", true);
    again.beginTransaction();
    again.executeFile(String(dir.file("dump2.sql")));
    again.commitTransaction();
    EXPECT_EQ(rowsOf(again, "SELECT * FROM viejos"), rowsOf(db, "SELECT * FROM viejos"));
    EXPECT_EQ(rowsOf(again, "SELECT * FROM t ORDER BY id"),
              rowsOf(db, "SELECT * FROM t ORDER BY id"));

    // Without schema: only the rows.
    String rows;
    db.exportSql(&rows, false);
    EXPECT_EQ(rows.toStdString().find("CREATE"), std::string::npos);
    EXPECT_NE(rows.toStdString().find("INSERT INTO viejos VALUES('se va');\r\n"),
              std::string::npos);
    // The text is appended to.
    String more("-- before\r\n");
    db.exportSql(&more, false);
    EXPECT_EQ(more.toStdString(), "-- before\r\n" + rows.toStdString());
}
