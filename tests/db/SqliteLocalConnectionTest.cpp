// SqliteLocalConnection and SqliteCursor on real SQLite files in a temporary
// folder: file naming and checks, statements and transactions, the value
// kinds of every operation, data sets, the cursor, the catalogue, tables and
// their keys, counters, the folder listing, connecting through the dialogs,
// backups and the SQL functions.
#include "db/sqlite/SqliteLocalConnection.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "db/ConnectionDialogs.h"
#include "db/sqlite/SqliteCursor.h"
#include "tests/support/TempFolder.h"

using namespace VORLIN;

namespace {

using testsupport::TempFolder;

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The message of the GeneralException `fn` throws ("" when it throws none).
template <typename Fn>
std::string failure(Fn&& fn) {
    try {
        fn();
    } catch (const GeneralException& e) {
        return e.message();
    }
    return "";
}

bool startsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// A connection on a fresh folder with the database "test.db" open.
class LocalDb : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(db.connect(String(dir.path), "", "", false, "-"));
        ASSERT_TRUE(db.openDatabase("test", true));
        db.setBusyLimits(50, 200);
    }

    TempFolder dir;
    SqliteLocalConnection db;
};

std::string cellText(const DataSet& set, int row, int col) {
    return set.getCellText(row, col).toStdString();
}

}  // namespace

// ------------------------------------------------------------ files and names

TEST_F(LocalDb, OpeningAMissingNameCreatesAUsableDatabase) {
    EXPECT_EQ(db.getHost().toStdString(), dir.path + "/");
    EXPECT_EQ(db.database().toStdString(), "test.db");
    EXPECT_EQ(db.getAlias().toStdString(), "test");
    ASSERT_NE(db.handle(), nullptr);
    // The header is on disk at once, so the file opens again.
    EXPECT_EQ(readFile(dir.file("test.db")).substr(0, 15), "SQLite format 3");
    EXPECT_TRUE(db.openDatabase("", false));
    EXPECT_EQ(db.handle(), nullptr);
    EXPECT_TRUE(db.database().isEmpty());
    EXPECT_TRUE(db.isConnected());
    EXPECT_TRUE(db.openDatabase("test", true));
    EXPECT_EQ(db.queryInt("SELECT 41+1"), 42);

    // Without extension the alias stops at the first dot.
    EXPECT_TRUE(db.openDatabase("datos.v2.sqlite", false));
    EXPECT_EQ(db.database().toStdString(), "datos.v2.sqlite");
    EXPECT_EQ(db.getAlias().toStdString(), "datos");
    EXPECT_TRUE(db.databaseExists("datos.v2.sqlite", false));
    EXPECT_TRUE(db.databaseExists("test", true));
    EXPECT_FALSE(db.databaseExists("nada", true));
}

TEST_F(LocalDb, AFileThatIsNotSqliteIsRefusedAndLeavesNoHandle) {
    writeFile(dir.file("junk.db"), "this is certainly not a database file");
    writeFile(dir.file("short.db"), "SQLite");
    ASSERT_NE(db.handle(), nullptr);
    EXPECT_EQ(failure([&] { db.openDatabase("junk", true); }),
              "El archivo no es una base de Sqlite3");
    EXPECT_EQ(db.lastError().toStdString(), "El archivo no es una base de Sqlite3");
    EXPECT_EQ(db.handle(), nullptr);
    EXPECT_EQ(failure([&] { db.openDatabase("short.db", false); }),
              "El archivo no es una base de Sqlite3");
    EXPECT_EQ(db.handle(), nullptr);
    EXPECT_EQ(failure([&] { db.execute("SELECT 1"); }), "No se ha abierto ninguna base de datos");

    // An empty file is an empty database to SQLite.
    writeFile(dir.file("vacia.db"), "");
    EXPECT_TRUE(db.openDatabase("vacia", true));
    db.execute("CREATE TABLE t(a)");
    EXPECT_TRUE(db.tableExist("t"));
}

TEST_F(LocalDb, CreateRefusesAnExistingFile) {
    EXPECT_EQ(failure([&] { db.createDatabase("test", true); }),
              "SqliteLocalConnection.createDatabase test: File exists");
    EXPECT_NE(db.handle(), nullptr);  // the open database stays open
    db.createDatabase("otra", true);
    EXPECT_EQ(db.database().toStdString(), "otra.db");
    EXPECT_TRUE(std::filesystem::exists(dir.file("otra.db")));
}

TEST(LocalDbClosed, EveryDatabaseOperationNeedsAnOpenDatabase) {
    SqliteLocalConnection db;
    const std::string none = "No se ha abierto ninguna base de datos";
    DataSet set;
    TableDataset table;
    SqliteCursor cursor;
    String dump;
    EXPECT_EQ(failure([&] { db.execute("SELECT 1"); }), none);
    EXPECT_EQ(failure([&] { db.queryInt("SELECT 1"); }), none);
    EXPECT_EQ(failure([&] { db.queryDataset("SELECT 1", &set, "", false); }), none);
    EXPECT_EQ(failure([&] { db.beginTransaction(); }), none);
    EXPECT_EQ(failure([&] { db.commitTransaction(); }), none);
    EXPECT_EQ(failure([&] { db.openTable(&table, "t", "", ""); }), none);
    EXPECT_EQ(failure([&] { db.createCursor("SELECT 1", &cursor); }), none);
    EXPECT_EQ(failure([&] { db.exportSql(&dump, true); }), none);
    EXPECT_EQ(failure([&] { db.executeFile("/nonexistent"); }), none);
    EXPECT_EQ(db.lastError().toStdString(), none);
    EXPECT_FALSE(db.isConnected());
    EXPECT_FALSE(db.databaseExists("x", true));
    db.disconnect();  // harmless when not connected
}

// ------------------------------------------------- statements, transactions

TEST_F(LocalDb, TransactionsCommitRollBackAndComplainWithoutBegin) {
    const std::string noTx = "No se ha iniciado una transacción";
    EXPECT_EQ(failure([&] { db.commitTransaction(); }), noTx);
    EXPECT_EQ(failure([&] { db.rollbackTransaction(); }), noTx);
    EXPECT_EQ(db.lastError().toStdString(), noTx);

    db.execute("CREATE TABLE t(a INTEGER); INSERT INTO t VALUES(1);");
    db.beginTransaction();
    EXPECT_TRUE(db.inTransaction());
    db.execute("INSERT INTO t VALUES(2)");
    db.rollbackTransaction();
    EXPECT_FALSE(db.inTransaction());
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM t"), 1);

    db.beginTransaction();
    db.execute("INSERT INTO t VALUES(3); INSERT INTO t VALUES(4);");
    // A failing statement leaves the transaction open for the caller.
    EXPECT_TRUE(startsWith(failure([&] { db.execute("INSERT INTO nope VALUES(1)"); }), "execute "));
    EXPECT_TRUE(db.inTransaction());
    db.commitTransaction();
    EXPECT_EQ(db.queryInt("SELECT sum(a) FROM t"), 8);
    EXPECT_EQ(failure([&] { db.commitTransaction(); }), noTx);
}

TEST_F(LocalDb, FailuresCarryPhaseErrorAndSql) {
    std::string e = failure([&] { db.execute("CREATE TABLE t(a); INSERT INTO zz VALUES(1);"); });
    EXPECT_EQ(e, "execute no such table: zz:\r\nCREATE TABLE t(a); INSERT INTO zz VALUES(1);");
    EXPECT_EQ(db.lastError().toStdString(), e);
    // The statements before the failing one ran.
    EXPECT_TRUE(db.tableExist("t"));

    EXPECT_EQ(failure([&] { db.queryInt("SELEC 1"); }),
              "prepare near \"SELEC\": syntax error:\r\nSELEC 1");
    EXPECT_EQ(failure([&] { db.executeInsert("INSERT INTO zz VALUES(1)"); }),
              "execute insert no such table: zz:\r\nINSERT INTO zz VALUES(1)");
    // A failure while stepping.
    EXPECT_EQ(failure([&] { db.queryInt("SELECT abs(-9223372036854775808)"); }),
              "query integer overflow:\r\nSELECT abs(-9223372036854775808)");
    DataSet set;
    set.setColumnNames("x");
    set.insertRow(new DataRow(1));
    EXPECT_TRUE(startsWith(
        failure([&] {
            db.queryDataset("SELECT 1 UNION ALL SELECT abs(-9223372036854775808)", &set, "", true);
        }),
        "query integer overflow:\r\n"));
    EXPECT_EQ(set.rowCount(), 0);  // cleared on a step error
}

TEST_F(LocalDb, ExecuteInsertAndExecuteFile) {
    db.execute("CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT)");
    EXPECT_EQ(db.executeInsert("INSERT INTO t(name) VALUES('a')"), 1);
    EXPECT_EQ(db.executeInsert("INSERT INTO t VALUES(41, 'b')"), 41);
    EXPECT_EQ(db.executeInsert("INSERT INTO t(name) VALUES('c')"), 42);

    EXPECT_EQ(failure([&] { db.executeFile(String(dir.file("missing.sql"))); }),
              "No se encontro el archivo");
    std::string script =
        "-- comment\r\nINSERT INTO t(name) VALUES('d');\r\n"
        "INSERT INTO t(name) VALUES('e;f');\r\n   \r\n";
    writeFile(dir.file("script.sql"), script);
    ::chmod(dir.file("script.sql").c_str(), 0444);  // a read-only script still runs
    db.executeFile(String(dir.file("script.sql")));
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM t"), 5);
    EXPECT_EQ(db.queryString("SELECT name FROM t WHERE id=44").toStdString(), "e;f");
    db.execute("   ");  // nothing to run
    db.execute(String(std::string("INSERT INTO t(name) VALUES('g');\0garbage", 40)));
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM t"), 6);  // nothing read past a zero byte
}

TEST_F(LocalDb, ScalarQueriesWithoutRowGiveDefaults) {
    db.execute("CREATE TABLE t(a INTEGER, d DATE, y DAY)");
    EXPECT_EQ(db.queryItem("SELECT a FROM t").type(), DataItem::TNull);
    EXPECT_EQ(db.queryInt("SELECT a FROM t"), 0);
    EXPECT_EQ(db.queryString("SELECT a FROM t").toStdString(), "");
    EXPECT_EQ(db.queryDouble("SELECT a FROM t"), 0.0);
    EXPECT_TRUE(db.queryDateTime("SELECT d FROM t").isEmpty());
    EXPECT_TRUE(db.queryDate("SELECT y FROM t").isEmpty());
    EXPECT_EQ(db.queryNewDataRow("SELECT a FROM t"), nullptr);
    // A statement without result columns runs and answers the default.
    EXPECT_EQ(db.queryInt("INSERT INTO t(a) VALUES(5)"), 0);
    EXPECT_EQ(db.queryInt("SELECT a FROM t"), 5);
}

TEST_F(LocalDb, ScalarQueriesReadTheirType) {
    EXPECT_EQ(db.queryInt("SELECT 7"), 7);
    EXPECT_EQ(db.queryInt("SELECT '12abc'"), 12);
    EXPECT_DOUBLE_EQ(db.queryDouble("SELECT 2.25"), 2.25);
    EXPECT_EQ(db.queryString("SELECT 'México'").toStdString(), "México");
    // Date-time: a float is a Julian day number, text is parsed.
    EXPECT_EQ(db.queryDateTime("SELECT 2451544.5").toString().toStdString(), "2000-01-01");
    DateTime dt = db.queryDateTime("SELECT '2009-07-05 10:30:15'");
    EXPECT_EQ(dt.year, 2009);
    EXPECT_EQ(dt.month, 7);
    EXPECT_EQ(dt.day, 5);
    EXPECT_EQ(dt.hour, 10);
    EXPECT_EQ(dt.minute, 30);
    EXPECT_EQ(dt.second, 15);
    dt = db.queryDateTime("SELECT '2009-07-05T08:09:10Z'");  // the parser's other form
    EXPECT_EQ(dt.hour, 8);
    EXPECT_EQ(dt.second, 10);
    // Date: an integer is a day of the year, text "MM-DD".
    DateDay day = db.queryDate("SELECT 32");
    EXPECT_EQ(day.month, 2);
    EXPECT_EQ(day.day, 1);
    day = db.queryDate("SELECT '12-24'");
    EXPECT_EQ(day.month, 12);
    EXPECT_EQ(day.day, 24);
}

// -------------------------------------------------------------- value kinds

TEST_F(LocalDb, DeclaredTypesMapToKinds) {
    db.execute(
        "CREATE TABLE k(dt DATETIME, pt POINT, ld datetime, cu CURRENCY, bo BOOL, dy DAY, "
        "im IMAGE, nu NUMERIC, do DOUBLE, tx TEXT, gu GUID, un, li integer, ln numeric);"
        "INSERT INTO k VALUES('2010-03-04 05:06:07', 12, '2010-03-04', 10.5, 2, 45, 'bytes', "
        "1.5, 2.5, 't', 99, 7, 13, 14);");
    std::unique_ptr<DataRow> row(db.queryNewDataRow("SELECT * FROM k"));
    ASSERT_TRUE(row);
    ASSERT_EQ(row->count(), 14);
    EXPECT_EQ(row->typeOf(0), DataItem::TDate);  // DATETIME contains DATE
    EXPECT_EQ(row->cell(0)->text().toStdString(), "2010-03-04 05:06:07");
    EXPECT_EQ(row->typeOf(1), DataItem::TInt);  // POINT contains INT
    EXPECT_EQ(row->cell(1)->toInt(), 12);
    EXPECT_EQ(row->typeOf(2), DataItem::TString);  // lower case matches nothing
    EXPECT_EQ(row->typeOf(3), DataItem::TCurrency);
    EXPECT_DOUBLE_EQ(row->cell(3)->toCurrency().amount, 10.5);
    EXPECT_EQ(row->typeOf(4), DataItem::TBool);
    EXPECT_TRUE(row->cell(4)->toBool());
    EXPECT_EQ(row->typeOf(5), DataItem::TDay);
    EXPECT_EQ(row->cell(5)->text().toStdString(), "02-14");
    EXPECT_EQ(row->typeOf(6), DataItem::TBin);
    EXPECT_EQ(row->cell(6)->text().toStdString(), "bytes");
    EXPECT_EQ(row->typeOf(7), DataItem::TDouble);
    EXPECT_EQ(row->typeOf(8), DataItem::TString);  // DOUBLE is known to the cursor only
    EXPECT_EQ(row->typeOf(9), DataItem::TString);
    EXPECT_EQ(row->typeOf(10), DataItem::TInt);     // GUID contains UID
    EXPECT_EQ(row->typeOf(11), DataItem::TInt);     // no declared type: the stored class
    EXPECT_EQ(row->typeOf(13), DataItem::TString);  // "numeric": lower case matches nothing
    // SQLite (3.37 on) reports the standard type names INT, INTEGER, TEXT,
    // REAL, BLOB and ANY in upper case whatever the CREATE TABLE says, so a
    // column declared "integer" is reported, and read, as INTEGER.
    EXPECT_EQ(row->typeOf(12), DataItem::TInt);

    // queryItem has no IMAGE rule: image columns come back as text.
    EXPECT_EQ(db.queryItem("SELECT im FROM k").type(), DataItem::TString);
    EXPECT_EQ(db.queryItem("SELECT dt FROM k").type(), DataItem::TDate);
    EXPECT_EQ(db.queryItem("SELECT un FROM k").type(), DataItem::TInt);
    EXPECT_EQ(db.queryItem("SELECT 2.5").type(), DataItem::TDouble);
    EXPECT_EQ(db.queryItem("SELECT 'x'").type(), DataItem::TString);
    // A blob without declared type is read as text, a number when it is one.
    EXPECT_EQ(db.queryItem("SELECT CAST('12.5' AS BLOB)").type(), DataItem::TDouble);
    EXPECT_EQ(db.queryItem("SELECT CAST('0x' AS BLOB)").type(), DataItem::TString);

    // The cursor knows DOUBLE.
    SqliteCursor cursor;
    db.createCursor("SELECT do, im FROM k", &cursor);
    ASSERT_TRUE(cursor.hasRow());
    EXPECT_EQ(cursor.current().typeOf(0), DataItem::TDouble);
    EXPECT_EQ(cursor.current().typeOf(1), DataItem::TBin);
}

TEST_F(LocalDb, EachOperationTestsTypesInItsOwnOrder) {
    // A declared type holding two words: the first rule of the operation's
    // order wins. General order: CURRENCY before DATE; the model: DATE first.
    db.execute("CREATE TABLE o(m CURRENCY_DATE, b BOOL_DAY); INSERT INTO o VALUES(3, 40);");
    std::unique_ptr<DataRow> row(db.queryNewDataRow("SELECT * FROM o"));
    EXPECT_EQ(row->typeOf(0), DataItem::TCurrency);
    EXPECT_EQ(row->typeOf(1), DataItem::TDay);  // DAY before BOOL
    TableDataset model;
    db.queryModel("o", &model);
    EXPECT_EQ(model.header()->typeOf(0), DataItem::TDate);
    EXPECT_EQ(model.header()->typeOf(1), DataItem::TDay);
    DataSet columns;
    db.queryColumns("SELECT m, b, 1+1 AS e FROM o", &columns);
    EXPECT_EQ(columns.header()->typeOf(0), DataItem::TDate);
    EXPECT_EQ(columns.header()->typeOf(2), DataItem::TString);  // prepared only: no class yet
    EXPECT_EQ(columns.columnName(2).toStdString(), "e");
    EXPECT_EQ(columns.rowCount(), 0);
    EXPECT_EQ(db.queryItem("SELECT m FROM o").type(), DataItem::TCurrency);
    SqliteCursor cursor;
    db.createCursor("SELECT m, b FROM o", &cursor);
    EXPECT_EQ(cursor.current().typeOf(0), DataItem::TCurrency);
    EXPECT_EQ(cursor.current().typeOf(1), DataItem::TDay);
}

TEST_F(LocalDb, DatesStoredAsJulianFloatsOrText) {
    db.execute(
        "CREATE TABLE d(x DATE, y DAY);"
        "INSERT INTO d VALUES(2455000.5, 60);"
        "INSERT INTO d VALUES('2009-06-17 11:22:33', '03-05');"
        "INSERT INTO d VALUES(NULL, NULL);");
    DataSet set;
    db.queryDataset("SELECT x, y FROM d ORDER BY rowid", &set, "", false);
    ASSERT_EQ(set.rowCount(), 3);
    EXPECT_EQ(set.getCell(0, 0).type(), DataItem::TDate);
    EXPECT_EQ(cellText(set, 0, 0), "2009-06-18");
    EXPECT_EQ(cellText(set, 1, 0), "2009-06-17 11:22:33");
    EXPECT_EQ(cellText(set, 0, 1), "02-29");  // day 60 of a 366-day year
    EXPECT_EQ(cellText(set, 1, 1), "03-05");
    // NULL stays NULL, so that it is written back as NULL.
    EXPECT_EQ(set.getCell(2, 0).type(), DataItem::TNull);
    EXPECT_EQ(set.getCell(2, 1).type(), DataItem::TNull);
    EXPECT_EQ(set.header()->typeOf(0), DataItem::TDate);
    EXPECT_EQ(set.header()->typeOf(1), DataItem::TDay);
}

// ---------------------------------------------------------------- data sets

TEST_F(LocalDb, QueryDatasetDecidesUntypedColumnsByTheirValues) {
    DataSet set;
    db.queryDataset("SELECT 12.5 AS f, '007' AS code, '12.5' AS t, count(*) AS n, 'x' AS s", &set,
                    "", false);
    ASSERT_EQ(set.rowCount(), 1);
    EXPECT_EQ(set.header()->typeOf(0), DataItem::TDouble);
    EXPECT_EQ(set.getCell(0, 0).type(), DataItem::TDouble);
    EXPECT_EQ(set.getCell(0, 1).type(), DataItem::TString);  // "007" stays text
    EXPECT_EQ(cellText(set, 0, 1), "007");
    EXPECT_EQ(set.header()->typeOf(1), DataItem::TNull);
    EXPECT_EQ(set.getCell(0, 2).type(), DataItem::TDouble);  // numeric text
    EXPECT_EQ(set.header()->typeOf(2), DataItem::TDouble);
    EXPECT_EQ(set.getCell(0, 3).type(), DataItem::TInt);
    EXPECT_EQ(set.getCell(0, 4).type(), DataItem::TString);
    EXPECT_EQ(set.columnName(0).toStdString(), "f");
    EXPECT_EQ(set.columnName(4).toStdString(), "s");

    // A column stays undecided until a value decides it; once a double
    // column, later rows are read as doubles.
    db.execute(
        "CREATE TABLE u(v); INSERT INTO u VALUES(NULL); INSERT INTO u VALUES('3.5');"
        "INSERT INTO u VALUES('9');");
    db.queryDataset("SELECT v || '' AS v FROM u ORDER BY rowid", &set, "", false);
    ASSERT_EQ(set.rowCount(), 3);
    EXPECT_EQ(set.getCell(0, 0).type(), DataItem::TNull);
    EXPECT_EQ(set.getCell(1, 0).type(), DataItem::TDouble);
    EXPECT_EQ(set.getCell(2, 0).type(), DataItem::TDouble);
    EXPECT_EQ(set.header()->typeOf(0), DataItem::TDouble);
}

TEST_F(LocalDb, QueryDatasetWithTypesAppendAndCatalogue) {
    db.execute(
        "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, d TEXT);"
        "INSERT INTO t VALUES(1, 'uno', '2001-02-03');"
        "INSERT INTO t VALUES(2, 'dos', '2004-05-06');"
        "CREATE TABLE a(x); CREATE VIEW v AS SELECT * FROM t;");
    DataSet set;
    db.queryDataset("SELECT id, name, d FROM t ORDER BY id", &set, "NUMERIC|TEXT|DATE", false);
    ASSERT_EQ(set.rowCount(), 2);
    EXPECT_EQ(set.getCell(0, 0).type(), DataItem::TDouble);
    EXPECT_EQ(set.getCell(1, 2).type(), DataItem::TDate);
    EXPECT_EQ(set.header()->typeOf(2), DataItem::TDate);
    // Unknown type words read as text.
    db.queryDataset("SELECT id FROM t", &set, "integer", true);
    EXPECT_EQ(set.rowCount(), 4);  // appended
    EXPECT_EQ(set.getCell(3, 0).type(), DataItem::TString);
    db.queryDataset("SELECT id FROM t WHERE id=1", &set, "", false);
    EXPECT_EQ(set.rowCount(), 1);  // cleared first

    db.listTables(&set);
    ASSERT_EQ(set.rowCount(), 2);
    EXPECT_EQ(cellText(set, 0, 0), "a");
    EXPECT_EQ(cellText(set, 1, 0), "t");
    EXPECT_EQ(set.columnName(0).toStdString(), "name");
    EXPECT_EQ(db.getTableInfo("t", &set), 1);
    ASSERT_EQ(set.rowCount(), 3);
    EXPECT_EQ(set.columnName(1).toStdString(), "name");
    EXPECT_EQ(set.columnName(5).toStdString(), "pk");
    EXPECT_EQ(cellText(set, 1, 1), "name");
    EXPECT_EQ(cellText(set, 0, 5), "1");
    EXPECT_TRUE(db.tableExist("t"));
    EXPECT_TRUE(db.tableExist("v"));
    EXPECT_FALSE(db.tableExist("nope"));
    EXPECT_FALSE(db.tableExist("it's"));
}

TEST_F(LocalDb, GetCreateTableListsTheTableThenItsIndexes) {
    db.execute(
        "CREATE TABLE t(id INTEGER PRIMARY KEY, code TEXT UNIQUE, n INTEGER);"
        "CREATE INDEX t_n ON t(n);"
        "CREATE TRIGGER t_tr AFTER INSERT ON t BEGIN SELECT 1; END;");
    EXPECT_EQ(db.getCreateTable("t").toStdString(),
              "CREATE TABLE t(id INTEGER PRIMARY KEY, code TEXT UNIQUE, n INTEGER);"
              "CREATE INDEX t_n ON t(n);"
              "CREATE TRIGGER t_tr AFTER INSERT ON t BEGIN SELECT 1; END;");
    EXPECT_EQ(db.getCreateTable("missing").toStdString(), "");
}

TEST_F(LocalDb, QueryDataRowFillsAnExistingRowOfTheSameWidth) {
    db.execute("CREATE TABLE t(a INTEGER, b TEXT); INSERT INTO t VALUES(5, 'cinco');");
    DataRow row(2);
    row.cell(0)->setString("old");
    db.queryDataRow("SELECT a, b FROM t", &row);
    EXPECT_EQ(row.typeOf(0), DataItem::TInt);
    EXPECT_EQ(row.cell(0)->toInt(), 5);
    EXPECT_EQ(row.cell(1)->text().toStdString(), "cinco");

    DataRow wide(3);
    EXPECT_EQ(failure([&] { db.queryDataRow("SELECT a, b FROM t", &wide); }),
              "queryRow: Diferent column number");
    EXPECT_EQ(db.lastError().toStdString(), "queryRow: Diferent column number");
    // No row: the row is left as it is (also when the width differs).
    row.cell(1)->setString("kept");
    db.queryDataRow("SELECT a, b FROM t WHERE 0", &row);
    db.queryDataRow("SELECT a FROM t WHERE 0", &row);
    EXPECT_EQ(row.cell(1)->text().toStdString(), "kept");
}

// -------------------------------------------------------------------- cursor

TEST_F(LocalDb, CursorFetchLoopReadsEveryRowOnce) {
    db.execute("CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, price NUMERIC)");
    db.beginTransaction();
    for (int i = 1; i <= 50; ++i) {
        String sql;
        sql.format("INSERT INTO t VALUES(%d, 'n%d', %d.5)", i, i, i);
        db.execute(sql);
    }
    db.commitTransaction();

    SqliteCursor cursor;
    db.createCursor("SELECT id, name, price, id*2 AS twice, NULL AS nada FROM t ORDER BY id",
                    &cursor);
    EXPECT_EQ(cursor.columnCount(), 5);
    EXPECT_EQ(cursor.columnNames().toStdString(), "id|name|price|twice|nada|");
    DataRow row(5);
    int seen = 0, sum = 0;
    while (cursor.hasRow()) {
        cursor.fetch(&row);
        ++seen;
        sum += row.cell(0)->toInt();
        EXPECT_EQ(row.typeOf(2), DataItem::TDouble);
        EXPECT_EQ(row.typeOf(3), DataItem::TInt);  // untyped integer
        EXPECT_EQ(row.typeOf(4), DataItem::TNull);
        String expected;
        expected.format("n%d", seen);
        EXPECT_EQ(row.cell(1)->text(), expected);
    }
    EXPECT_EQ(seen, 50);
    EXPECT_EQ(sum, 50 * 51 / 2);
    cursor.fetch(&row);  // nothing left: nothing happens
    EXPECT_EQ(row.cell(0)->toInt(), 50);

    // A row of another width becomes a copy of the cursor's row, with names.
    SqliteCursor second;
    db.createCursor("SELECT id, name FROM t WHERE id=7", &second);
    DataRow other;
    second.fetch(&other);
    EXPECT_EQ(other.count(), 2);
    EXPECT_EQ(other.getByName("name").text().toStdString(), "n7");
    EXPECT_FALSE(second.hasRow());

    SqliteCursor empty;
    db.createCursor("SELECT * FROM t WHERE 0", &empty);
    EXPECT_FALSE(empty.hasRow());
    EXPECT_TRUE(startsWith(failure([&] { db.createCursor("SELEC", &empty); }), "create cursor "));
    DbCursor plain;
    EXPECT_FALSE(failure([&] { db.createCursor("SELECT 1", &plain); }).empty());
}

TEST_F(LocalDb, CursorDecidesUntypedTextColumnsByTheFirstValue) {
    SqliteCursor cursor;
    db.createCursor("SELECT '12.5' AS a, '007' AS b UNION ALL SELECT 'x', '8'", &cursor);
    DataRow row(2);
    cursor.fetch(&row);
    EXPECT_EQ(row.typeOf(0), DataItem::TDouble);
    EXPECT_EQ(row.typeOf(1), DataItem::TString);
    cursor.fetch(&row);
    EXPECT_EQ(row.typeOf(0), DataItem::TDouble);  // the kind was decided once
    EXPECT_EQ(row.cell(0)->toDouble(), 0.0);
    EXPECT_EQ(row.typeOf(1), DataItem::TString);
}

TEST_F(LocalDb, CursorOutlivesItsConnection) {
    db.execute("CREATE TABLE t(a INTEGER); INSERT INTO t VALUES(1); INSERT INTO t VALUES(2);");
    SqliteCursor cursor;
    {
        SqliteLocalConnection other;
        ASSERT_TRUE(other.connect(String(dir.path), "", "", false, "-"));
        other.openDatabase("test", true);
        other.createCursor("SELECT a FROM t ORDER BY a", &cursor);
    }
    DataRow row(1);
    cursor.fetch(&row);
    cursor.fetch(&row);
    EXPECT_EQ(row.cell(0)->toInt(), 2);
    EXPECT_FALSE(cursor.hasRow());
}

// ------------------------------------------------------------ tables and keys

TEST_F(LocalDb, OpenTableFindsTheKeyOrUsesTheRowId) {
    db.execute(
        "CREATE TABLE single(id INTEGER PRIMARY KEY, name TEXT, price NUMERIC);"
        "INSERT INTO single VALUES(10, 'a', 1.5); INSERT INTO single VALUES(20, 'b', 2.5);"
        "CREATE TABLE pair(a INTEGER, b INTEGER, v TEXT, PRIMARY KEY(a, b));"
        "INSERT INTO pair VALUES(1, 2, 'x');"
        "CREATE TABLE loose(x TEXT, y INTEGER);"
        "INSERT INTO loose VALUES('p', 3); INSERT INTO loose VALUES('q', 1);"
        "INSERT INTO loose VALUES('r', 2);"
        "CREATE TABLE textkey(code TEXT PRIMARY KEY, n INTEGER);"
        "CREATE VIEW cheap AS SELECT x FROM loose WHERE y < 3;");

    TableDataset t;
    db.openTable(&t, "single", "", "");
    EXPECT_EQ(t.keyColumn(), 0);
    EXPECT_EQ(t.keyColumnName().toStdString(), "id");
    EXPECT_FALSE(t.rowIdMode());
    EXPECT_TRUE(t.tracksChanges());
    EXPECT_EQ(t.counterColumn(), -1);
    EXPECT_EQ(t.tableName().toStdString(), "single");
    ASSERT_EQ(t.rowCount(), 2);
    EXPECT_EQ(t.header()->typeOf(2), DataItem::TDouble);
    EXPECT_EQ(t.getCell(1, 2).toDouble(), 2.5);
    EXPECT_FALSE(t.row(0)->isInserted());

    db.openTable(&t, "pair", "", "");
    EXPECT_EQ(t.keyColumn(), -1);  // composite: no single key
    EXPECT_FALSE(t.rowIdMode());

    db.openTable(&t, "textkey", "", "");
    EXPECT_EQ(t.keyColumn(), 0);
    EXPECT_FALSE(t.rowIdMode());

    db.openTable(&t, "loose", "", "");
    EXPECT_TRUE(t.rowIdMode());
    EXPECT_EQ(t.keyColumn(), 0);
    EXPECT_EQ(t.keyColumnName().toStdString(), "rowid");
    EXPECT_EQ(t.columnCount(), 3);
    EXPECT_EQ(t.header()->typeOf(0), DataItem::TInt);
    EXPECT_EQ(t.getCell(0, 0).toInt(), 1);

    // Where and order: none at all when empty, applied when given.
    db.openTable(&t, "loose", "y < 3", "y DESC");
    ASSERT_EQ(t.rowCount(), 2);
    EXPECT_EQ(cellText(t, 0, 1), "r");
    EXPECT_EQ(cellText(t, 1, 1), "q");
    db.openTable(&t, "", "");
    EXPECT_EQ(t.rowCount(), 3);

    // A view has no row id: it is read as it is.
    db.openTable(&t, "cheap", "", "");
    EXPECT_FALSE(t.rowIdMode());
    EXPECT_EQ(t.rowCount(), 2);

    EXPECT_TRUE(startsWith(failure([&] { db.openTable(&t, "missing", "", ""); }),
                           "prepare no such table: missing:\r\n"));
    EXPECT_TRUE(startsWith(failure([&] { db.openTable(&t, "loose", "nope = 1", ""); }),
                           "prepare no such column: nope:\r\n"));
}

TEST_F(LocalDb, TableEditsGoBackThroughTheConnection) {
    db.execute(
        "CREATE TABLE loose(x TEXT, y INTEGER); INSERT INTO loose VALUES('p', 3);"
        "CREATE TABLE single(id INTEGER PRIMARY KEY, name TEXT);");
    TableDataset t;
    db.openTable(&t, "loose", "", "");
    t.setCellText(0, 1, "changed");
    DataRow* added = t.newRow();
    added->cell(1)->setString("new");
    added->cell(2)->setInt(9);
    t.saveChanges(db);
    EXPECT_EQ(db.queryString("SELECT x FROM loose WHERE y=3").toStdString(), "changed");
    EXPECT_EQ(db.queryInt("SELECT y FROM loose WHERE x='new'"), 9);

    // A reload with the two-argument form is not a change.
    db.openTable(&t, "", "");
    EXPECT_EQ(t.rowCount(), 2);
    for (DataRow* r : t.rows())
        EXPECT_FALSE(r->isInserted() || r->isModified());

    TableDataset s;
    db.openTable(&s, "single", "", "");
    DataRow* row = s.newRow();
    row->cell(1)->setString("Ana");
    int32_t id = 0;
    s.saveRow(*row, db, id);
    EXPECT_EQ(id, 1);
    EXPECT_EQ(db.queryString("SELECT name FROM single WHERE id=1").toStdString(), "Ana");
}

TEST_F(LocalDb, NextCounterIncrementsTheStoredValue) {
    db.execute(
        "CREATE TABLE counters(name TEXT, value INTEGER); INSERT INTO counters VALUES('folio', "
        "7);");
    EXPECT_EQ(db.nextCounter("counters", "name='folio'", "value"), 8);
    EXPECT_EQ(db.nextCounter("counters", "name='folio'", "value"), 9);
    EXPECT_EQ(db.queryInt("SELECT value FROM counters"), 9);
    EXPECT_EQ(db.nextCounter("counters", "name='none'", "value"), 0);
}

// ------------------------------------------------------------ folder listing

TEST_F(LocalDb, ListDatabasesMatchesTheMaskAndSortsByName) {
    db.openDatabase("beta", true);
    db.openDatabase("alfa", true);
    writeFile(dir.file("notas.txt"), "12345");
    std::filesystem::create_directory(dir.file("carpeta.db"));
    DataSet set;
    set.setColumnNames("old");
    set.insertRow(new DataRow(1));
    db.listDatabases(&set, "");
    ASSERT_EQ(set.rowCount(), 3);
    EXPECT_EQ(cellText(set, 0, 0), "alfa.db");
    EXPECT_EQ(cellText(set, 1, 0), "beta.db");
    EXPECT_EQ(cellText(set, 2, 0), "test.db");
    EXPECT_EQ(set.columnName(0).toStdString(), "name");
    EXPECT_EQ(set.columnName(1).toStdString(), "size");
    EXPECT_EQ(set.columnName(2).toStdString(), "modified");
    EXPECT_DOUBLE_EQ(set.getCell(0, 1).toDouble(),
                     double(std::filesystem::file_size(dir.file("alfa.db"))));
    EXPECT_EQ(set.getCell(0, 2).type(), DataItem::TDate);
    EXPECT_GE(set.getCell(0, 2).toDateTime().year, 2020);

    db.listDatabases(&set, "*");
    ASSERT_EQ(set.rowCount(), 4);  // every file, no folders
    EXPECT_EQ(cellText(set, 2, 0), "notas.txt");
    EXPECT_EQ(cellText(set, 2, 1), "5.000000");
    db.listDatabases(&set, "*.txt");
    ASSERT_EQ(set.rowCount(), 1);
    db.listDatabases(&set, "[ab]*.db");
    EXPECT_EQ(set.rowCount(), 2);
}

// ---------------------------------------------------------- connect, dialogs

namespace {

// Dialogs that answer what the test sets up and count their calls.
class ScriptedDialogs : public ConnectionDialogs {
public:
    bool chooseFolder(const String& start, String& chosen) override {
        ++folderCalls;
        startSeen = start.toStdString();
        if (folder.empty()) return false;
        chosen = String(folder);
        return true;
    }
    bool selectLocalDatabase(DbConnection& connection, const String& f, const String& database,
                             DatabaseChoice& choice) override {
        ++selectCalls;
        folderSeen = f.toStdString();
        databaseSeen = database.toStdString();
        if (!create.empty()) {
            // What "Nueva" does: create the database through the connection.
            connection.connect(String(folder), "", "", false, "-");
            connection.createDatabase(String(create), true);
        }
        if (pick.empty()) return false;
        choice.folder = String(folder);
        choice.database = String(pick);
        return true;
    }
    std::string folder, pick, create, startSeen, folderSeen, databaseSeen;
    int folderCalls = 0, selectCalls = 0;
};

// Installs dialogs for one test and removes them at its end.
struct InstalledDialogs {
    explicit InstalledDialogs(ConnectionDialogs* d) { ConnectionDialogs::install(d); }
    ~InstalledDialogs() { ConnectionDialogs::install(nullptr); }
};

}  // namespace

TEST(LocalConnect, WithoutDialogsEveryChoiceIsCancelled) {
    TempFolder dir;
    ASSERT_EQ(ConnectionDialogs::installed(), nullptr);
    String chosen;
    EXPECT_FALSE(ConnectionDialogs::current().chooseFolder("/", chosen));
    SqliteLocalConnection c;
    EXPECT_FALSE(c.connect("", "", "", true, ""));
    EXPECT_FALSE(c.connect(String(dir.path), "", "", true, "missing"));
    EXPECT_FALSE(c.connect(String(dir.file("nope")), "", "", true, "x"));
    EXPECT_EQ(c.browseDatabase(String(dir.path), "", "").toStdString(), "");

    EXPECT_FALSE(c.connect(String(dir.file("nope")), "", "", false, "-"));
    EXPECT_FALSE(c.lastError().isEmpty());
    EXPECT_TRUE(c.connect(String(dir.path + "/"), "", "", false, "-"));
    EXPECT_EQ(c.getHost().toStdString(), dir.path + "/");
    EXPECT_EQ(c.handle(), nullptr);

    // An existing database is opened without asking.
    c.openDatabase("mine", true);
    c.disconnect();
    EXPECT_FALSE(c.isConnected());
    EXPECT_EQ(c.handle(), nullptr);
    EXPECT_TRUE(c.connect(String(dir.path), "", "", true, "mine"));
    EXPECT_EQ(c.database().toStdString(), "mine.db");

    // A bad file makes connect answer false, with the reason.
    writeFile(dir.file("bad.db"), "not a database at all.");
    EXPECT_FALSE(c.connect(String(dir.path), "", "", true, "bad"));
    EXPECT_EQ(c.lastError().toStdString(), "El archivo no es una base de Sqlite3");
}

TEST(LocalConnect, TheDialogsChooseFolderAndDatabase) {
    TempFolder dir;
    ScriptedDialogs dialogs;
    InstalledDialogs installed(&dialogs);
    dialogs.folder = dir.path;

    SqliteLocalConnection c;
    c.setDefaultFolder("/start/here/");
    EXPECT_TRUE(c.connect("", "", "", true, ""));
    EXPECT_EQ(dialogs.startSeen, "/start/here/");
    EXPECT_EQ(c.getHost().toStdString(), dir.path + "/");
    EXPECT_EQ(c.handle(), nullptr);

    // A database that is not there: the selection dialog, whose "Nueva"
    // creates one through the connection.
    dialogs.create = "nueva";
    dialogs.pick = "nueva.db";
    EXPECT_TRUE(c.connect(String(dir.path), "", "", true, "ausente"));
    EXPECT_EQ(dialogs.databaseSeen, "ausente");
    EXPECT_EQ(c.database().toStdString(), "nueva.db");
    EXPECT_TRUE(std::filesystem::exists(dir.file("nueva.db")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("ausente.db")));

    // A missing folder with a database: the selection dialog decides.
    dialogs.create.clear();
    dialogs.pick = "otra";
    EXPECT_TRUE(c.connect(String(dir.file("no-such-folder")), "", "", true, "x"));
    EXPECT_EQ(c.database().toStdString(), "otra.db");

    EXPECT_EQ(c.browseDatabase("", "", "").toStdString(), dir.path + "|otra");
    EXPECT_EQ(dialogs.folderSeen, dir.path + "/");
    dialogs.pick.clear();
    EXPECT_EQ(c.browseDatabase("", "", "").toStdString(), "");
}

// ------------------------------------------------------------------- backup

TEST_F(LocalDb, BackupCopiesTheOpenDatabase) {
    db.execute("CREATE TABLE t(a INTEGER); INSERT INTO t VALUES(1); INSERT INTO t VALUES(2);");
    db.backupDatabase("copia", false, 0);
    SqliteLocalConnection other;
    ASSERT_TRUE(other.connect(String(dir.path), "", "", false, "copia"));
    EXPECT_EQ(other.queryInt("SELECT sum(a) FROM t"), 3);
    other.disconnect();

    EXPECT_EQ(failure([&] { db.backupDatabase("copia", false, 0); }),
              "backup database: copia exists");
    db.execute("INSERT INTO t VALUES(3)");
    db.backupDatabase("copia", true, 0);
    ASSERT_TRUE(other.connect(String(dir.path), "", "", false, "copia"));
    EXPECT_EQ(other.queryInt("SELECT sum(a) FROM t"), 6);

    EXPECT_TRUE(startsWith(failure([&] { db.backupDatabase("no/such/folder", false, 0); }),
                           "backup database: no se pudo crear el archivo "));
}

// -------------------------------------------------------------- SQL functions

TEST_F(LocalDb, TheSqlFunctionsAreThereOnEveryOpenDatabase) {
    auto check = [](SqliteLocalConnection& c) {
        EXPECT_EQ(c.queryString("SELECT MaskZeros(42, 5)").toStdString(), "00042");
        EXPECT_EQ(c.queryString("SELECT HumanDate('2009-07-05')").toStdString(), "05-Julio-2009");
        EXPECT_EQ(c.queryInt("SELECT difDate('2009-03-01', '2009-02-01')"), 28);
        EXPECT_EQ(c.queryString("SELECT formatSerFol('A-', 7, 4)").toStdString(), "A-0007");
        EXPECT_EQ(c.queryString("SELECT restaDias('2009-03-01', 1)").toStdString(), "2009-02-28");
        EXPECT_EQ(c.queryString("SELECT firstToken('uno,dos', ',')").toStdString(), "uno");
        EXPECT_EQ(c.queryInt("SELECT isoWeek('2009-07-05')"), 27);
        EXPECT_EQ(c.queryString("SELECT isoWeekYear('2010-01-03')").toStdString(), "53-09");
        EXPECT_EQ(c.queryString("SELECT formatDate('2009-07-05', '%d/%m/%y')").toStdString(),
                  "5/7/09");
        std::string pick = c.queryString("SELECT randomStr('a|b', '|')").toStdString();
        EXPECT_TRUE(pick == "a" || pick == "b") << pick;
        int n = c.queryInt("SELECT randomInt(3, 4)");
        EXPECT_TRUE(n == 3 || n == 4) << n;
    };
    check(db);                          // opened (created by openDatabase)
    db.createDatabase("creada", true);  // created
    check(db);
    db.openDatabase("test", true);  // opened again
    check(db);
    // And from stored data, inside other statements.
    db.execute("CREATE TABLE f(d TEXT, n INTEGER); INSERT INTO f VALUES('2009-07-05', 3);");
    EXPECT_EQ(db.queryString("SELECT MaskZeros(n, 3) || '/' || HumanDate(d) FROM f").toStdString(),
              "003/05-Julio-2009");
}
