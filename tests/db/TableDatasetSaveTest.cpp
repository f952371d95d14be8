// TableDataset writing through a connection, checked against the contents of
// a real in-memory SQLite database.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/GeneralException.h"
#include "data/TableDataset.h"
#include "db/DbConnection.h"

using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::DataSet;
using VORLIN::DbConnection;
using VORLIN::GeneralException;
using VORLIN::String;
using VORLIN::TableDataset;

namespace {

// A connection of just the operations TableDataset calls, on an in-memory
// database; every statement it is given is logged.
class MemoryConnection : public DbConnection {
public:
    MemoryConnection() {
        if (sqlite3_open(":memory:", &db_) != SQLITE_OK) throw GeneralException("sqlite3_open");
    }
    ~MemoryConnection() override { sqlite3_close(db_); }

    void execute(const String& sql) override {
        log.push_back(sql.toStdString());
        char* error = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            String text(error ? error : sqlite3_errmsg(db_));
            sqlite3_free(error);
            fail(text);
        }
    }

    int32_t executeInsert(const String& sql) override {
        execute(sql);
        return int32_t(sqlite3_last_insert_rowid(db_));
    }

    int64_t executeMatched(const String& sql) override {
        execute(sql);
        return sqlite3_changes(db_);
    }

    void queryDataRow(const String& sql, DataRow* row) override {
        log.push_back(sql.toStdString());
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            fail(String(sqlite3_errmsg(db_)));
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(st, sqlite3_finalize);
        int columns = sqlite3_column_count(st);
        if (columns != row->count()) fail(String("queryRow: Diferent column number"));
        int rc = sqlite3_step(st);
        if (rc == SQLITE_DONE) return;
        if (rc != SQLITE_ROW) fail(String(sqlite3_errmsg(db_)));
        for (int i = 0; i < columns; ++i) {
            DataItem* c = row->cell(i);
            switch (sqlite3_column_type(st, i)) {
                case SQLITE_INTEGER:
                    c->setInt(sqlite3_column_int(st, i));
                    break;
                case SQLITE_FLOAT:
                    c->setDouble(sqlite3_column_double(st, i));
                    break;
                case SQLITE_NULL:
                    c->setNull();
                    break;
                default:
                    c->setString(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
                    break;
            }
        }
    }

    // Runs a statement outside the log (test set-up).
    void run(const std::string& sql) {
        char* error = nullptr;
        int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
        std::string text = error ? error : "";
        sqlite3_free(error);
        if (rc != SQLITE_OK) throw GeneralException(text + " in " + sql);
    }

    // Each result row as its values joined by "|", NULL as "<null>".
    std::vector<std::string> select(const std::string& sql) {
        std::vector<std::string> out;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            throw GeneralException(sqlite3_errmsg(db_));
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::string line;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                if (i) line += "|";
                const unsigned char* t = sqlite3_column_text(st, i);
                line += t ? reinterpret_cast<const char*>(t) : "<null>";
            }
            out.push_back(line);
        }
        sqlite3_finalize(st);
        return out;
    }

    // What a connection's openTable does: model, rows, then tracking on and
    // the rows marked as stored.
    void load(TableDataset& t, const char* table, const char* types, const char* names, int key,
              bool rowIdMode = false, bool keyTakesRowId = false) {
        t.setTrackChanges(false);
        t.clearRows();
        t.setRowIdMode(rowIdMode);
        t.setTableName(table);
        t.setDataTypes(types);
        t.setColumnNames(names);
        t.setKeyColumn(key);
        t.setKeyTakesRowId(keyTakesRowId);
        std::string sql = std::string(rowIdMode ? "SELECT ROWID,* FROM " : "SELECT * FROM ") +
                          TableDataset::quoteName(String(table)).toStdString() + " ORDER BY 1;";
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            throw GeneralException(sqlite3_errmsg(db_));
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::unique_ptr<DataRow> row = t.header()->clone();
            for (int i = 0; i < row->count(); ++i) {
                const unsigned char* text = sqlite3_column_text(st, i);
                if (text)
                    row->cell(i)->fromString(String(reinterpret_cast<const char*>(text)));
                else
                    row->cell(i)->setNull();
            }
            t.insertRow(std::move(row));
        }
        sqlite3_finalize(st);
        t.markStored();
        t.setTrackChanges(true);
    }

    int countStarting(const std::string& prefix) const {
        int n = 0;
        for (const std::string& s : log)
            n += s.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }

    std::vector<std::string> log;

private:
    sqlite3* db_ = nullptr;
};

using Lines = std::vector<std::string>;

template <typename F>
void expectFailure(F f, const std::string& text) {
    try {
        f();
        ADD_FAILURE() << "no exception, expected: " << text;
    } catch (const GeneralException& e) {
        EXPECT_EQ(e.message(), text);
    }
}

// items(id, name, price) with rows 1 Ana 10.5, 2 Beto 20, 3 Carla 30;
// prices may not be negative.
class TableDatasetSave : public ::testing::Test {
protected:
    void SetUp() override {
        db.run(
            "CREATE TABLE items(id INTEGER PRIMARY KEY, name TEXT, "
            "price REAL CHECK(price >= 0));"
            "INSERT INTO items VALUES(1,'Ana',10.5),(2,'Beto',20),(3,'Carla',30);");
        db.load(items, "items", "int|text|double", "id|name|price", 0, false, true);
    }
    void TearDown() override { TableDataset::setMessageHook(nullptr); }

    Lines contents() { return db.select("SELECT id,name,price FROM items ORDER BY id;"); }

    MemoryConnection db;
    TableDataset items;
};

// -------------------------------------------------------------- saveChanges

TEST_F(TableDatasetSave, WritesInsertsUpdatesAndDeletes) {
    DataRow* fresh = items.newRow();  // goes first in the list
    fresh->cell(1)->setString("Dora");
    fresh->cell(2)->setDouble(4);
    items.setCell(1, 1, DataItem("Ana Maria"));  // row id 1
    ASSERT_TRUE(items.deleteRow(3));             // row id 3
    items.saveChanges(db);

    EXPECT_EQ(contents(), (Lines{"1|Ana Maria|10.5", "2|Beto|20.0", "4|Dora|4.0"}));
    // The new id went into the key cell as a long.
    EXPECT_EQ(fresh->cell(0)->type(), DataItem::TLong);
    EXPECT_EQ(fresh->cell(0)->toInt(), 4);
    for (const DataRow* r : items.rows()) {
        EXPECT_FALSE(r->isInserted());
        EXPECT_FALSE(r->isModified());
    }
    EXPECT_EQ(items.deletedRows().count(), 0);
    EXPECT_EQ(db.log.size(), 3u);

    // Nothing left to write.
    db.log.clear();
    items.saveChanges(db);
    EXPECT_TRUE(db.log.empty());
}

TEST_F(TableDatasetSave, OneDeletePerRemovedRow) {
    items.deleteRow(0);
    items.deleteRow(1);  // was id 3
    items.saveChanges(db);
    EXPECT_EQ(db.countStarting("DELETE"), 2);
    EXPECT_EQ(db.log.size(), 2u);
    EXPECT_EQ(contents(), (Lines{"2|Beto|20.0"}));
}

TEST_F(TableDatasetSave, ClearRowsBeforeSaveIssuesNoDelete) {
    items.deleteRow(0);
    items.clearRows();
    items.saveChanges(db);
    EXPECT_TRUE(db.log.empty());
    EXPECT_EQ(contents().size(), 3u);
}

TEST_F(TableDatasetSave, InsertedThenEditedRowIsOneInsert) {
    DataRow* fresh = items.newRow();
    fresh->cell(2)->setDouble(1);
    items.setCell(0, 1, DataItem("Eva"));
    EXPECT_TRUE(fresh->isInserted());
    EXPECT_FALSE(fresh->isModified());
    items.saveChanges(db);
    ASSERT_EQ(db.log.size(), 1u);
    EXPECT_EQ(db.log[0], "INSERT INTO items VALUES(NULL,'Eva',1.000000);");
    EXPECT_EQ(contents().back(), "4|Eva|1.0");
}

TEST_F(TableDatasetSave, InsertAllCopiesEveryRow) {
    db.run("CREATE TABLE copy(id INTEGER PRIMARY KEY, name TEXT, price REAL);");
    items.setTableName("copy");
    items.saveChanges(db, true);
    EXPECT_EQ(db.countStarting("INSERT INTO copy"), 3);
    EXPECT_EQ(db.select("SELECT id,name,price FROM copy ORDER BY id;"), contents());
}

TEST_F(TableDatasetSave, FailureKeepsUnwrittenRowsMarkedAndTheDeletedList) {
    items.setCell(0, 1, DataItem("A"));         // written
    items.setCell(1, 2, DataItem(double(-1)));  // rejected by the CHECK
    items.setCell(2, 1, DataItem("C"));         // never reached
    items.newRow();
    items.deleteRow(0);  // the new row, never stored: dropped, no DELETE
    EXPECT_EQ(items.deletedRows().count(), 0);
    items.deleteRow(2);  // Carla: parked
    DataRow* parked = static_cast<DataRow*>(items.deletedRows().at(0));
    try {
        items.saveChanges(db);
        ADD_FAILURE() << "no exception";
    } catch (const GeneralException& e) {
        EXPECT_NE(e.message().find("CHECK constraint failed"), std::string::npos) << e.message();
    }
    EXPECT_EQ(contents(), (Lines{"1|A|10.5", "2|Beto|20.0", "3|Carla|30.0"}));
    EXPECT_FALSE(items.row(0)->isModified());
    EXPECT_TRUE(items.row(1)->isModified());
    EXPECT_EQ(db.countStarting("DELETE"), 0);
    ASSERT_EQ(items.deletedRows().count(), 1);
    EXPECT_EQ(items.deletedRows().at(0), parked);

    // Mended, the next save writes the row still marked and the DELETE.
    items.setCell(1, 2, DataItem(double(2)));
    db.log.clear();
    items.saveChanges(db);
    EXPECT_EQ(db.log, (Lines{"UPDATE items SET price=2.000000 WHERE id=2;",
                             "DELETE FROM items WHERE id=3;"}));
    EXPECT_EQ(contents(), (Lines{"1|A|10.5", "2|Beto|2.0"}));
    EXPECT_EQ(items.deletedRows().count(), 0);
}

TEST_F(TableDatasetSave, FailingDeleteKeepsTheWholeDeletedList) {
    db.run(
        "CREATE TRIGGER keep2 BEFORE DELETE ON items WHEN old.id = 2 "
        "BEGIN SELECT RAISE(ABORT, 'id 2 stays'); END;");
    items.setCell(2, 1, DataItem("C"));
    items.deleteRow(0);
    items.deleteRow(0);  // id 2
    expectFailure([&] { items.saveChanges(db); }, "id 2 stays");
    // The UPDATE and the first DELETE went through; the list is as it was.
    EXPECT_EQ(contents(), (Lines{"2|Beto|20.0", "3|C|30.0"}));
    EXPECT_FALSE(items.row(0)->isModified());
    EXPECT_EQ(items.deletedRows().count(), 2);
}

TEST_F(TableDatasetSave, NoKeyColumnFailsBeforeWritingAnything) {
    items.setKeyColumn(-1);
    DataRow* fresh = items.newRow();
    fresh->cell(0)->setInt(9);
    fresh->cell(1)->setString("Sin clave");
    items.setCell(1, 1, DataItem("Ana Maria"));
    const std::string text = "TableDataset.saveChanges: la tabla items no tiene columna clave";
    expectFailure([&] { items.saveChanges(db); }, text);
    // Saving again fails the same way: never a second copy of the row.
    expectFailure([&] { items.saveChanges(db); }, text);
    EXPECT_TRUE(db.log.empty());
    EXPECT_EQ(contents(), (Lines{"1|Ana|10.5", "2|Beto|20.0", "3|Carla|30.0"}));
    EXPECT_TRUE(fresh->isInserted());
    // Nothing to write: nothing to refuse.
    TableDataset empty;
    empty.setTableName("items");
    EXPECT_NO_THROW(empty.saveChanges(db));
}

// ------------------------------------------------------------------ saveRow

TEST_F(TableDatasetSave, SaveRowInsertsWithoutIdAndUpdatesWithOne) {
    DataRow row(3);
    row.cell(0)->setInt(0);
    row.cell(1)->setString("Fer");
    row.cell(2)->setDouble(5);
    int32_t id = 0;
    items.saveRow(row, db, id);
    EXPECT_EQ(id, 4);
    EXPECT_EQ(row.cell(0)->toInt(), 4);
    row.cell(1)->setString("Fernanda");
    items.saveRow(row, db, id);
    EXPECT_EQ(id, 4);
    EXPECT_EQ(contents().back(), "4|Fernanda|5.0");
    EXPECT_EQ(contents().size(), 4u);

    row.cell(2)->setDouble(-5);
    EXPECT_THROW(items.saveRow(row, db, id), GeneralException);
}

// --------------------------------------------------------------- refreshRow

TEST_F(TableDatasetSave, RefreshRowReadsTheRowBack) {
    db.run("UPDATE items SET name='Beatriz', price=21 WHERE id=2;");
    DataRow* row = items.row(1);
    items.refreshRow(db, *row->cell(0), *row);
    EXPECT_EQ(db.log.back(), "SELECT * FROM items WHERE id=2;");
    EXPECT_EQ(row->cell(1)->text().toStdString(), "Beatriz");
    EXPECT_DOUBLE_EQ(row->cell(2)->toDouble(), 21.0);

    DataRow narrow(2);
    expectFailure([&] { items.refreshRow(db, DataItem(int32_t(2)), narrow); },
                  "queryRow: Diferent column number");

    // No such row: the row is left as it is.
    items.refreshRow(db, DataItem(int32_t(99)), *row);
    EXPECT_EQ(row->cell(1)->text().toStdString(), "Beatriz");
}

TEST_F(TableDatasetSave, RefreshRowInRowIdMode) {
    db.run("CREATE TABLE notes(a TEXT, b TEXT); INSERT INTO notes VALUES('x','y'),('z','w');");
    TableDataset notes;
    db.load(notes, "notes", "int|text|text", "rowid|a|b", 0, true);
    db.run("UPDATE notes SET b='changed' WHERE a='z';");
    DataRow* row = notes.row(1);
    notes.refreshRow(db, *row->cell(0), *row);
    EXPECT_EQ(db.log.back(), "SELECT ROWID,* FROM notes WHERE rowid=2;");
    EXPECT_EQ(row->cell(2)->text().toStdString(), "changed");

    // Writing in this mode leaves the row id out and keys on it.
    notes.setCell(0, 1, DataItem("x2"));
    DataRow* fresh = notes.newRow();
    fresh->cell(1)->setString("n");
    notes.saveChanges(db);
    EXPECT_EQ(db.select("SELECT rowid,a,b FROM notes ORDER BY rowid;"),
              (Lines{"1|x2|y", "2|z|changed", "3|n|"}));
}

// --------------------------------------------------------------- updateCell

TEST_F(TableDatasetSave, UpdateCellWritesOneColumn) {
    EXPECT_TRUE(items.updateCell(1, "price", DataItem(double(22.5)), &db));
    ASSERT_EQ(db.log.size(), 1u);
    EXPECT_EQ(db.log[0], "UPDATE items SET price=22.500000 WHERE id=2");
    EXPECT_DOUBLE_EQ(items.row(1)->cell(2)->toDouble(), 22.5);
    EXPECT_EQ(contents()[1], "2|Beto|22.5");
}

TEST_F(TableDatasetSave, UpdateCellFailureKeepsTheValueAndTellsTheHook) {
    std::vector<std::pair<std::string, std::string>> shown;
    TableDataset::setMessageHook([&](const String& caption, const String& text) {
        shown.emplace_back(caption.toStdString(), text.toStdString());
    });
    EXPECT_FALSE(items.updateCell(1, "price", DataItem(double(-1)), &db));
    EXPECT_DOUBLE_EQ(items.row(1)->cell(2)->toDouble(), 20.0);
    EXPECT_EQ(contents()[1], "2|Beto|20.0");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, "ERROR");
    EXPECT_NE(shown[0].second.find("CHECK constraint failed"), std::string::npos);
    EXPECT_EQ(shown[0].second, db.lastError().toStdString());
}

TEST_F(TableDatasetSave, UpdateCellFailureWithoutHookGoesToStandardError) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(items.updateCell(0, "price", DataItem(double(-2)), &db));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "ERROR: " + db.lastError().toStdString() + "\n");
    EXPECT_DOUBLE_EQ(items.row(0)->cell(2)->toDouble(), 10.5);
}

// --------------------------------------------------------------- appendFrom

TEST_F(TableDatasetSave, AppendFromSkipsRowsTheDatabaseRejects) {
    DataSet source;
    source.setDataTypes("text|int|text");
    source.setColumnNames("name|id|price");
    auto add = [&](const char* name, int id, const char* price) {
        auto r = std::make_unique<DataRow>(3);
        r->cell(0)->setString(name);
        r->cell(1)->setInt(id);
        r->cell(2)->setString(price);
        source.insertRow(std::move(r));
    };
    add("Gil", 7, "1.5");
    add("Dup", 2, "1");   // the key exists
    add("Neg", 8, "-3");  // the CHECK rejects it
    add("Hugo", 9, "2");
    items.appendFrom(source, &db);
    EXPECT_EQ(db.log.size(), 4u);
    EXPECT_EQ(contents(),
              (Lines{"1|Ana|10.5", "2|Beto|20.0", "3|Carla|30.0", "7|Gil|1.5", "9|Hugo|2.0"}));
    // With a connection the set itself does not grow.
    EXPECT_EQ(items.rowCount(), 3);
}

// ----------------------------------------------- text keys through SQL (mend 1)

TEST(TableDatasetTextKey, UpdatesAndDeletesTheRightRow) {
    MemoryConnection db;
    db.run(
        "CREATE TABLE codes(code TEXT PRIMARY KEY, name TEXT);"
        "INSERT INTO codes VALUES('0012','a'),('12','b'),('A''1','c'),('x','d');");
    TableDataset codes;
    db.load(codes, "codes", "text|text", "code|name", 0);
    ASSERT_EQ(codes.getCellText(0, 0).toStdString(), "0012");
    // Written as a number, '0012' would have matched the row '12' instead.
    codes.setCell(0, 1, DataItem("A changed"));
    codes.deleteRow(2);  // A'1
    codes.saveChanges(db);
    EXPECT_EQ(db.select("SELECT code,name FROM codes ORDER BY code;"),
              (Lines{"0012|A changed", "12|b", "x|d"}));

    EXPECT_TRUE(codes.updateCell(2, "name", DataItem("D"), &db));  // x
    DataRow row(2);
    codes.refreshRow(db, DataItem("x"), row);
    EXPECT_EQ(db.log.back(), "SELECT * FROM codes WHERE code='x';");
    EXPECT_EQ(row.cell(1)->text().toStdString(), "D");
    EXPECT_EQ(db.select("SELECT name FROM codes WHERE code='12';"), (Lines{"b"}));
}

// ----------------------------------------- awkward names through SQL (mend 2)

TEST(TableDatasetQuotedNames, EveryStatementRunsOnAwkwardNames) {
    MemoryConnection db;
    db.run(
        "CREATE TABLE \"order items\"(\"key\" INTEGER PRIMARY KEY, \"group\" TEXT, "
        "\"say \"\"hi\"\"\" TEXT);"
        "INSERT INTO \"order items\" VALUES(1,'g1','h1'),(2,'g2','h2');");
    TableDataset t;
    db.load(t, "order items", "int|text|text", "key|group|say \"hi\"", 0);
    const char* dump = "SELECT * FROM \"order items\" ORDER BY 1;";

    DataRow* fresh = t.newRow();
    fresh->cell(1)->setString("g3");
    t.setCell(1, 2, DataItem("H1"));  // key 1
    t.deleteRow(2);                   // key 2
    t.saveChanges(db);
    EXPECT_EQ(db.select(dump), (Lines{"1|g1|H1", "3|g3|"}));

    EXPECT_TRUE(t.updateCell(1, "group", DataItem("G"), &db));
    EXPECT_TRUE(t.updateCell(1, "say \"hi\"", DataItem("q\"q"), &db));
    EXPECT_EQ(db.select(dump), (Lines{"1|G|q\"q", "3|g3|"}));

    DataRow row(3);
    t.refreshRow(db, DataItem(int32_t(3)), row);
    EXPECT_EQ(row.cell(1)->text().toStdString(), "g3");

    int32_t id = 0;
    DataRow extra(3);
    extra.cell(1)->setString("g4");
    t.saveRow(extra, db, id);
    EXPECT_EQ(id, 4);

    TableDataset copy;
    copy.setColumnNames(t.nameList());
    copy.setHeader(t.header());
    copy.setTableName("order items");
    copy.setKeyColumn(0);
    copy.appendFrom(t, nullptr);
    String script;
    copy.setTableName("group");
    copy.toSql(script);
    db.run("CREATE TABLE \"group\"(\"key\" INTEGER, \"group\" TEXT, \"say \"\"hi\"\"\" TEXT);");
    db.run(script.toStdString());
    EXPECT_EQ(db.select("SELECT count(*) FROM \"group\";"), (Lines{"2"}));
}

TEST(TableDatasetQuotedNames, KeywordTableAgreesWithSqlite) {
    // Every word SQLite calls a keyword is quoted, in either case.
    ASSERT_EQ(sqlite3_keyword_count(), 147);
    for (int i = 0; i < sqlite3_keyword_count(); ++i) {
        const char* z = nullptr;
        int n = 0;
        ASSERT_EQ(sqlite3_keyword_name(i, &z, &n), SQLITE_OK);
        std::string word(z, size_t(n));
        EXPECT_EQ(TableDataset::quoteName(String(word)).toStdString(), "\"" + word + "\"");
        std::string lower = word;
        for (char& c : lower)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(TableDataset::quoteName(String(lower)).toStdString(), "\"" + lower + "\"");
    }
    // And ordinary names that SQLite does not reserve stay bare.
    for (const char* word : {"id", "name", "price", "rowid", "oid", "text", "date", "count",
                             "orders", "keys", "status", "value", "type", "user"}) {
        EXPECT_EQ(sqlite3_keyword_check(word, int(std::strlen(word))), 0) << word;
        EXPECT_EQ(TableDataset::quoteName(String(word)).toStdString(), word);
    }
}

}  // namespace
