// Table edits and dumps on real SQLite files, read back with the sqlite3
// shell: a row is addressed by the key it was loaded with, an UPDATE writes
// only the changed cells, cells hold what the file holds, and a dump
// reloaded by the shell gives the same values, mixed classes included.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/FileText.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/TableDataset.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "tests/support/TempFolder.h"

using namespace VORLIN;

namespace {

using testsupport::TempFolder;

// What the sqlite3 shell prints for `sql` on a file (list mode, "|").
std::string shell(const std::string& file, const std::string& sql) {
    std::string cmd = "/usr/bin/sqlite3 '" + file + "' \"" + sql + "\" 2>&1";
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        std::array<char, 4096> buf;
        size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
            out.append(buf.data(), n);
        ::pclose(p);
    }
    return out;
}

class TableEdit : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(db.connect(String(dir.path), "", "", false, "-"));
        ASSERT_TRUE(db.openDatabase("datos", true));
    }
    std::string file() const { return dir.file("datos.db"); }
    std::string read(const std::string& sql) { return shell(file(), sql); }

    TempFolder dir;
    SqliteLocalConnection db;
};

}  // namespace

TEST_F(TableEdit, RowsAreAddressedByTheKeyTheyWereLoadedWith) {
    db.execute(
        "CREATE TABLE codes(code TEXT PRIMARY KEY, name TEXT);"
        "INSERT INTO codes VALUES('A','ana'),('B','beto');");
    TableDataset t;
    db.openTable(&t, "codes", "", "code");
    ASSERT_EQ(t.rowCount(), 2);
    EXPECT_FALSE(t.keyTakesRowId());

    // A to an existing B: refused by the database, B keeps its data.
    t.setCell(0, 0, DataItem("B"));
    try {
        t.saveChanges(db);
        ADD_FAILURE() << "no exception";
    } catch (const GeneralException& e) {
        EXPECT_NE(e.message().find("UNIQUE constraint failed"), std::string::npos) << e.message();
    }
    EXPECT_EQ(read("SELECT * FROM codes ORDER BY code"), "A|ana\nB|beto\n");

    // A to C renames the row.
    t.setCell(0, 0, DataItem("C"));
    t.saveChanges(db);
    EXPECT_EQ(read("SELECT * FROM codes ORDER BY code"), "B|beto\nC|ana\n");
    // The stored key follows the save: the next edit addresses C.
    t.setCell(0, 1, DataItem("ana maria"));
    t.saveChanges(db);
    EXPECT_EQ(read("SELECT * FROM codes ORDER BY code"), "B|beto\nC|ana maria\n");
    // A deletion addresses C too.
    t.deleteRow(0);
    t.saveChanges(db);
    EXPECT_EQ(read("SELECT * FROM codes ORDER BY code"), "B|beto\n");
}

// A cell edit of a row another program deleted matches nothing: it fails
// with the reason, the cell and the file keep what they had.
TEST_F(TableEdit, ACellEditOfARowDeletedMeanwhileIsNotReportedAsSaved) {
    db.execute(
        "CREATE TABLE codes(code TEXT PRIMARY KEY, name TEXT);"
        "INSERT INTO codes VALUES('A','ana'),('B','beto');");
    TableDataset t;
    t.setKeepsStoredImages(false);  // as the query window opens tables
    db.openTable(&t, "codes", "", "code");
    ASSERT_EQ(t.rowCount(), 2);
    std::vector<std::string> shown;
    TableDataset::setMessageHook(
        [&shown](const String&, const String& text) { shown.push_back(text.toStdString()); });
    EXPECT_EQ(shell(file(), "DELETE FROM codes WHERE code='B';"), "");
    EXPECT_FALSE(t.updateCell(1, "name", DataItem("Beto"), &db));
    // The same value again is a saved edit: SQLite counts the row matched.
    EXPECT_TRUE(t.updateCell(0, "name", DataItem("ana"), &db));
    TableDataset::setMessageHook(nullptr);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "No se guardó el cambio: ninguna fila de codes tiene code='B'");
    EXPECT_EQ(t.getCellText(1, 1), "beto");
    EXPECT_EQ(read("SELECT * FROM codes;"), "A|ana\n");
}

TEST_F(TableEdit, ANewRowKeepsTheKeyTheUserTyped) {
    db.execute(
        "CREATE TABLE codes(code TEXT PRIMARY KEY, name TEXT);"
        "INSERT INTO codes VALUES('1','uno'),('2','dos'),('3','tres');"
        "CREATE TABLE nums(id INTEGER PRIMARY KEY, name TEXT);"
        "CREATE TABLE loose(name TEXT, qty INTEGER);");
    TableDataset codes;
    db.openTable(&codes, "codes", "", "");
    DataRow* typed = codes.newRow();
    typed->cell(0)->setString("X9");
    typed->cell(1)->setString("nuevo");
    codes.saveChanges(db);
    EXPECT_EQ(typed->cell(0)->text().toStdString(), "X9");
    typed->cell(1)->setString("nuevo2");
    typed->setModified(true);
    codes.saveChanges(db);
    EXPECT_EQ(read("SELECT * FROM codes ORDER BY rowid"), "1|uno\n2|dos\n3|tres\nX9|nuevo2\n");

    // An INTEGER PRIMARY KEY left empty takes the row id; a typed one stays.
    TableDataset nums;
    db.openTable(&nums, "nums", "", "");
    EXPECT_TRUE(nums.keyTakesRowId());
    DataRow* empty = nums.newRow();
    empty->cell(1)->setString("auto");
    DataRow* given = nums.newRow();
    given->cell(0)->setInt(40);
    given->cell(1)->setString("cuarenta");
    nums.saveChanges(db);
    EXPECT_EQ(given->cell(0)->toInt(), 40);
    EXPECT_EQ(read("SELECT * FROM nums ORDER BY id"), "40|cuarenta\n41|auto\n");
    EXPECT_EQ(empty->cell(0)->toInt(), 41);

    // Row-id mode: the new row's row id is kept, so later edits find it.
    TableDataset loose;
    db.openTable(&loose, "loose", "", "");
    ASSERT_TRUE(loose.rowIdMode());
    DataRow* row = loose.newRow();
    row->cell(1)->setString("clavo");
    row->cell(2)->setInt(3);
    loose.saveChanges(db);
    row->cell(2)->setInt(4);
    row->setModified(true);
    loose.saveChanges(db);
    EXPECT_EQ(read("SELECT rowid, * FROM loose"), "1|clavo|4\n");
}

TEST_F(TableEdit, ANewRowDeletedBeforeSavingWritesNothing) {
    db.execute(
        "CREATE TABLE codes(code TEXT PRIMARY KEY, name TEXT);"
        "INSERT INTO codes VALUES('A','ana'),('B','beto');");
    TableDataset t;
    db.openTable(&t, "codes", "", "code");
    DataRow* fresh = t.newRow();  // first in the list
    fresh->cell(0)->setString("B");
    t.deleteRow(0);
    EXPECT_EQ(t.deletedRows().count(), 0);
    t.saveChanges(db);
    EXPECT_EQ(read("SELECT * FROM codes ORDER BY code"), "A|ana\nB|beto\n");
}

TEST_F(TableEdit, AnUpdateWritesOnlyWhatChangedAndCellsHoldWhatIsStored) {
    db.execute(
        "CREATE TABLE t(id INTEGER PRIMARY KEY, u, d DATE, n TEXT, q INTEGER);"
        "INSERT INTO t VALUES(1, 5, '2024-01-05', 'a', 1);"
        "INSERT INTO t VALUES(2, 'abc', 'pendiente', 'b', 2);"
        "INSERT INTO t VALUES(3, 2.5, '', 'c', 3);"
        "INSERT INTO t VALUES(4, NULL, NULL, 'd', 4);"
        "INSERT INTO t VALUES(5, X'00FF', 45, 'e', 5);");
    const std::string stored = read("SELECT quote(u), typeof(u), quote(d), typeof(d) FROM t");
    TableDataset t;
    db.openTable(&t, "t", "", "id");
    ASSERT_EQ(t.rowCount(), 5);
    // The untyped column was first seen as an integer: 'abc' stays 'abc'.
    EXPECT_EQ(t.row(1)->cell(1)->type(), DataItem::TString);
    EXPECT_EQ(t.row(1)->cell(1)->text().toStdString(), "abc");
    EXPECT_EQ(t.row(2)->cell(1)->type(), DataItem::TDouble);
    EXPECT_TRUE(t.row(3)->cell(1)->isNull());
    EXPECT_EQ(t.row(4)->cell(1)->type(), DataItem::TBin);
    EXPECT_EQ(t.row(0)->cell(2)->type(), DataItem::TDate);
    EXPECT_EQ(t.row(1)->cell(2)->text().toStdString(), "pendiente");
    EXPECT_EQ(t.row(2)->cell(2)->type(), DataItem::TString);
    EXPECT_EQ(t.row(2)->cell(2)->text().toStdString(), "");
    EXPECT_TRUE(t.row(3)->cell(2)->isNull());

    // Another program changes q meanwhile; our edits of n leave it alone.
    db.execute("UPDATE t SET q = q * 100;");
    for (int r = 0; r < 5; ++r)
        t.setCellText(r, 3, "x");
    // A row marked but unchanged writes nothing.
    t.row(0)->cell(3)->setString("a");
    t.saveChanges(db);
    EXPECT_EQ(read("SELECT quote(u), typeof(u), quote(d), typeof(d) FROM t"), stored);
    EXPECT_EQ(read("SELECT n, q FROM t ORDER BY id"), "a|100\nx|200\nx|300\nx|400\nx|500\n");
    EXPECT_EQ(t.updateSql(*t.row(1)), "");
    t.row(1)->cell(4)->setInt(7);
    EXPECT_EQ(t.updateSql(*t.row(1)).toStdString(), "UPDATE t SET q=7 WHERE id=2;");
}

TEST_F(TableEdit, AwkwardTableNamesOpenEditAndDump) {
    db.execute(
        "CREATE TABLE \"order items\"(\"item id\" INTEGER PRIMARY KEY, \"group\" TEXT);"
        "INSERT INTO \"order items\" VALUES(1, 'uno');"
        "CREATE TABLE plain(a);");
    TableDataset t;
    db.openTable(&t, "order items", "", "");
    ASSERT_EQ(t.rowCount(), 1);
    EXPECT_EQ(t.keyColumnName().toStdString(), "item id");
    TableDataset model;
    db.queryModel("order items", &model);
    EXPECT_EQ(model.columnCount(), 2);
    DataSet info;
    db.getTableInfo("order items", &info);
    EXPECT_EQ(info.rowCount(), 2);
    t.setCell(0, 1, DataItem("one"));
    t.saveChanges(db);
    EXPECT_EQ(read("SELECT * FROM \\\"order items\\\""), "1|one\n");
    String dump;
    db.exportSql(&dump, true);
    EXPECT_NE(dump.find("INSERT INTO \"order items\" VALUES(1,'one');\r\n"), -1) << dump.c_str();
}

TEST_F(TableEdit, ADumpReloadsEveryValueWithItsClass) {
    db.execute(
        "CREATE TABLE m(id INTEGER PRIMARY KEY, v, d DATE, r REAL);"
        "INSERT INTO m VALUES(1, 5, '2024-01-05', 0.1);"
        "INSERT INTO m VALUES(2, 'abc', 'pendiente', 1e300);"
        "INSERT INTO m VALUES(3, 2.5, '', -0.0);"
        "INSERT INTO m VALUES(4, NULL, NULL, 3.141592653589793);"
        "INSERT INTO m VALUES(5, X'00FF27', 45, 1.0);"
        "INSERT INTO m VALUES(6, 4611686018427387904, 'it''s', 2.0000000000000004);"
        "INSERT INTO m VALUES(7, 'línea\nnueva', '2024-13-45', NULL);"
        "CREATE TABLE x(a PRIMARY KEY, b) WITHOUT ROWID; INSERT INTO x VALUES('k', "
        "0.30000000000000004);");
    const std::string sql =
        "SELECT quote(id),quote(v),typeof(v),quote(d),typeof(d),quote(r),typeof(r) FROM m ORDER BY "
        "id; SELECT quote(a), quote(b) FROM x";
    const std::string original = read(sql);
    ASSERT_NE(original.find("X'00FF27'"), std::string::npos) << original;

    std::string dumpFile = dir.file("dump.sql");
    std::ofstream(dumpFile, std::ios::binary) << "viejo";
    db.exportSqlToFile(String(dumpFile), true);
    std::string copy = dir.file("copia.db");
    ASSERT_EQ(std::system(("/usr/bin/sqlite3 -bail '" + copy + "' < '" + dumpFile + "'").c_str()),
              0);
    EXPECT_EQ(shell(copy, sql), original);
    // Only the dump and the two databases: no temporary file left behind.
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"copia.db", "datos.db", "dump.sql"}));

    // A dump that cannot be produced leaves the file as it was.
    String before;
    ASSERT_TRUE(FileText::read(String(dumpFile), before));
    db.openDatabase("", false);
    EXPECT_THROW(db.exportSqlToFile(String(dumpFile), true), GeneralException);
    String after;
    ASSERT_TRUE(FileText::read(String(dumpFile), after));
    EXPECT_EQ(after, before);
    // A target in a folder that does not exist fails with the system's text.
    ASSERT_TRUE(db.openDatabase("datos", true));
    try {
        db.exportSqlToFile(String(dir.file("no/such/dump.sql")), true);
        ADD_FAILURE() << "no exception";
    } catch (const GeneralException& e) {
        EXPECT_EQ(e.message(),
                  "exportSql: no se pudo escribir el archivo " + dir.file("no/such/dump.sql"));
    }
}
