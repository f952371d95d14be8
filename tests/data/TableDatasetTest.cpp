#include "data/TableDataset.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/DateTime.h"
#include "core/GeneralException.h"

using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::DataSet;
using VORLIN::DateTime;
using VORLIN::GeneralException;
using VORLIN::String;
using VORLIN::TableDataset;

namespace {

std::string str(const String& s) {
    return s.toStdString();
}

// The usual table: items(id, name, price) keyed by id.
void makeItems(TableDataset& t) {
    t.setDataTypes("int|text|double");
    t.setColumnNames("id|name|price");
    t.setTableName("items");
    t.setKeyColumn(0);
}

DataRow* addItem(TableDataset& t, int id, const char* name, double price) {
    auto row = std::make_unique<DataRow>(3);
    row->cell(0)->setInt(id);
    row->cell(1)->setString(name);
    row->cell(2)->setDouble(price);
    return t.insertRow(std::move(row));
}

// Restores the process-wide hooks whatever a test did with them.
struct HookGuard {
    ~HookGuard() {
        TableDataset::setCounterHook(nullptr);
        TableDataset::setMessageHook(nullptr);
    }
};

// ------------------------------------------------------------- INSERT

TEST(TableDatasetInsertSql, NewRowWritesEmptyKeyAsNullAndValuesInColumnOrder) {
    TableDataset t;
    makeItems(t);
    DataRow* row = t.newRow();
    ASSERT_NE(row, nullptr);
    row->cell(1)->setString("Ana");
    row->cell(2)->setDouble(10.5);
    EXPECT_EQ(str(t.insertSql(*row, false)), "INSERT INTO items VALUES(NULL,'Ana',10.500000);");
    EXPECT_EQ(str(t.insertSql(*row, true)),
              "INSERT OR REPLACE INTO items VALUES(NULL,'Ana',10.500000);");
}

TEST(TableDatasetInsertSql, FilledKeyIsWrittenAndLiteralsFollowTheirTypes) {
    TableDataset t;
    t.setDataTypes("int|text|bool|bool|text|int");
    t.setColumnNames("id|note|yes|no|nothing|n");
    t.setTableName("t");
    t.setKeyColumn(0);
    DataRow* row = t.newRow();
    row->cell(0)->setInt(7);
    row->cell(1)->setString("O'Brien's");
    row->cell(2)->setBool(true);
    row->cell(3)->setBool(false);
    row->cell(4)->setNull();
    row->cell(5)->setInt(-3);
    EXPECT_EQ(str(t.insertSql(*row, false)), "INSERT INTO t VALUES(7,'O''Brien''s',1,0,NULL,-3);");
}

TEST(TableDatasetInsertSql, RowIdModeWritesOneValuePerTableColumn) {
    TableDataset t;
    t.setDataTypes("int|text|text");
    t.setColumnNames("rowid|a|b");
    t.setTableName("notes");
    t.setRowIdMode(true);
    t.setKeyColumn(0);
    auto row = std::make_unique<DataRow>(3);
    row->cell(0)->setInt(5);
    row->cell(1)->setString("x");
    row->cell(2)->setString("y");
    EXPECT_EQ(str(t.insertSql(*row, false)), "INSERT INTO notes VALUES('x','y');");
}

TEST(TableDatasetInsertSql, ShortRowWritesNullForMissingCells) {
    TableDataset t;
    makeItems(t);
    DataRow row(2);
    row.cell(0)->setInt(4);
    row.cell(1)->setString("b");
    EXPECT_EQ(str(t.insertSql(row, false)), "INSERT INTO items VALUES(4,'b',NULL);");
}

TEST(TableDatasetInsertSql, CounterColumnTakesTheGeneratedNumber) {
    HookGuard guard;
    TableDataset t;
    makeItems(t);
    t.setDataTypes("int|text|int");
    t.setColumnNames("id|name|num");
    t.setCounterColumn(2, 9);
    std::vector<int32_t> keys;
    int32_t answer = 42;
    TableDataset::setCounterHook([&](int32_t key) {
        keys.push_back(key);
        return answer;
    });
    DataRow* row = t.newRow();
    row->cell(1)->setString("a");
    EXPECT_EQ(str(t.insertSql(*row, false)), "INSERT INTO items VALUES(NULL,'a',42);");
    EXPECT_EQ(t.lastGenerated(), 42);
    EXPECT_EQ(keys, std::vector<int32_t>{9});

    // A generator answering 0 gives NULL.
    answer = 0;
    EXPECT_EQ(str(t.insertSql(*row, false)), "INSERT INTO items VALUES(NULL,'a',NULL);");
    EXPECT_EQ(t.lastGenerated(), 0);

    // A filled counter cell is written as it is, and the last number resets.
    answer = 42;
    (void)t.insertSql(*row, false);
    row->cell(2)->setInt(-8);
    keys.clear();
    EXPECT_EQ(str(t.insertSql(*row, false)), "INSERT INTO items VALUES(NULL,'a',-8);");
    EXPECT_TRUE(keys.empty());
    EXPECT_EQ(t.lastGenerated(), 0);

    // Without a generator the number is 0, so NULL.
    TableDataset::setCounterHook(nullptr);
    row->cell(2)->setInt(0);
    EXPECT_EQ(str(t.insertSql(*row, false)), "INSERT INTO items VALUES(NULL,'a',NULL);");
}

// ------------------------------------------------------------- UPDATE

TEST(TableDatasetUpdateSql, ListsEveryOtherColumnAndNeverTheKey) {
    TableDataset t;
    makeItems(t);
    DataRow* row = addItem(t, 3, "Ana", 10.5);
    EXPECT_EQ(str(t.updateSql(*row)), "UPDATE items SET name='Ana',price=10.500000 WHERE id=3;");
}

TEST(TableDatasetUpdateSql, KeyAsLastOrMiddleColumnLeavesNoStrayComma) {
    // The key at position 2 (last) and 1 (middle) of the same three columns.
    for (int key : {2, 1}) {
        TableDataset t;
        t.setDataTypes(key == 2 ? "text|double|int" : "text|int|double");
        t.setColumnNames(key == 2 ? "name|price|id" : "name|id|price");
        t.setTableName("items");
        t.setKeyColumn(key);
        DataRow row(3);
        row.cell(0)->setString("Ana");
        row.cell(key)->setInt(3);
        row.cell(3 - key)->setDouble(10.5);
        EXPECT_EQ(str(t.updateSql(row)), "UPDATE items SET name='Ana',price=10.500000 WHERE id=3;");
    }
}

TEST(TableDatasetUpdateSql, RowIdModeKeysOnTheRowId) {
    TableDataset t;
    t.setDataTypes("int|text|text");
    t.setColumnNames("rowid|a|b");
    t.setTableName("notes");
    t.setRowIdMode(true);
    t.setKeyColumn(0);
    DataRow row(3);
    row.cell(0)->setInt(5);
    row.cell(1)->setString("x");
    row.cell(2)->setNull();
    EXPECT_EQ(str(t.updateSql(row)), "UPDATE notes SET a='x',b=NULL WHERE rowid=5;");
}

// ------------------------------------------------------------- DELETE

TEST(TableDatasetDeleteSql, ByIndexAndByRow) {
    TableDataset t;
    makeItems(t);
    addItem(t, 3, "Ana", 1);
    DataRow* second = addItem(t, -12, "Beto", 2);
    EXPECT_EQ(str(t.deleteSql(0)), "DELETE FROM items WHERE id=3;");
    EXPECT_EQ(str(t.deleteSql(*second)), "DELETE FROM items WHERE id=-12;");
    EXPECT_EQ(str(t.deleteSql(2)), "");
    EXPECT_EQ(str(t.deleteSql(-1)), "");
}

// ---------------------------------------------------- key literals (mend 1)

TEST(TableDatasetKeys, IntegerTagsAreSignedDecimalsOthersTheirLiteral) {
    TableDataset t;
    makeItems(t);
    DataRow row(3);
    row.cell(0)->setInt(-7);
    EXPECT_EQ(str(t.keyLiteral(row)), "-7");
    row.cell(0)->setUInt(8);
    EXPECT_EQ(str(t.keyLiteral(row)), "8");
    row.cell(0)->setLong(123456);
    EXPECT_EQ(str(t.keyLiteral(row)), "123456");
    row.cell(0)->setULong(9);
    EXPECT_EQ(str(t.keyLiteral(row)), "9");
}

TEST(TableDatasetKeys, TextKeyIsQuotedInEveryStatement) {
    TableDataset t;
    t.setDataTypes("text|text");
    t.setColumnNames("code|name");
    t.setTableName("codes");
    t.setKeyColumn(0);
    DataRow* row = t.insertRow(std::make_unique<DataRow>(2));
    row->cell(0)->setString("A'1");
    row->cell(1)->setString("x");
    EXPECT_EQ(str(t.keyLiteral(*row)), "'A''1'");
    EXPECT_EQ(str(t.updateSql(*row)), "UPDATE codes SET name='x' WHERE code='A''1';");
    EXPECT_EQ(str(t.deleteSql(*row)), "DELETE FROM codes WHERE code='A''1';");
    EXPECT_EQ(str(t.deleteSql(0)), "DELETE FROM codes WHERE code='A''1';");

    // A numeric-looking text stays text: "0012" must not become 12.
    row->cell(0)->setString("0012");
    EXPECT_EQ(str(t.deleteSql(*row)), "DELETE FROM codes WHERE code='0012';");
    // An empty text key is the empty text, not 0.
    row->cell(0)->setString("");
    EXPECT_EQ(str(t.keyLiteral(*row)), "''");
}

TEST(TableDatasetKeys, OtherKeyTypesUseTheirLiteral) {
    TableDataset t;
    makeItems(t);
    DataRow row(3);
    row.cell(0)->setDouble(2.5);
    EXPECT_EQ(str(t.keyLiteral(row)), "2.500000");
    row.cell(0)->setDate(DateTime(2024, 3, 1, 0, 0, 0));
    EXPECT_EQ(str(t.keyLiteral(row)), str(row.cell(0)->sqlLiteral()));
    EXPECT_EQ(str(t.keyLiteral(row)).front(), '\'');
    row.cell(0)->setNull();
    EXPECT_EQ(str(t.keyLiteral(row)), "NULL");
}

TEST(TableDatasetKeys, NoKeyColumnMatchesNoRow) {
    TableDataset t;
    t.setDataTypes("int|text");
    t.setColumnNames("id|name");
    t.setTableName("t");
    DataRow row(2);
    row.cell(0)->setInt(0);
    EXPECT_EQ(t.keyColumn(), -1);
    EXPECT_EQ(str(t.keyLiteral(row)), "NULL");
    t.setKeyColumn(5);  // beyond the cells
    EXPECT_EQ(str(t.keyLiteral(row)), "NULL");
}

// ------------------------------------------------------ quoted names (mend 2)

TEST(TableDatasetQuoteName, PlainIdentifiersStayAsTheyAre) {
    for (const char* name : {"id", "name", "price", "_x", "a1", "Items_2024", "rowid", "ROWID",
                             "orders", "groups_", "selected", "keys", "nulls_x"})
        EXPECT_EQ(str(TableDataset::quoteName(name)), name);
}

TEST(TableDatasetQuoteName, KeywordsAreQuotedInAnyCase) {
    EXPECT_EQ(str(TableDataset::quoteName("group")), "\"group\"");
    EXPECT_EQ(str(TableDataset::quoteName("Order")), "\"Order\"");
    EXPECT_EQ(str(TableDataset::quoteName("KEY")), "\"KEY\"");
    EXPECT_EQ(str(TableDataset::quoteName("current_timestamp")), "\"current_timestamp\"");
    EXPECT_EQ(str(TableDataset::quoteName("abort")), "\"abort\"");      // first of the table
    EXPECT_EQ(str(TableDataset::quoteName("Without")), "\"Without\"");  // last of the table
}

TEST(TableDatasetQuoteName, OtherNamesAreQuotedWithInnerQuotesDoubled) {
    EXPECT_EQ(str(TableDataset::quoteName("order items")), "\"order items\"");
    EXPECT_EQ(str(TableDataset::quoteName("say \"hi\"")), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(str(TableDataset::quoteName("\"")), "\"\"\"\"");
    EXPECT_EQ(str(TableDataset::quoteName("1abc")), "\"1abc\"");
    EXPECT_EQ(str(TableDataset::quoteName("a-b")), "\"a-b\"");
    EXPECT_EQ(str(TableDataset::quoteName("a$b")), "\"a$b\"");
    EXPECT_EQ(str(TableDataset::quoteName("a\xc3\xb1o")), "\"a\xc3\xb1o\"");
    EXPECT_EQ(str(TableDataset::quoteName("")), "\"\"");
}

// Table "order items", key "key" (a keyword), a column "group" and one with
// a double quote in its name.
void makeAwkward(TableDataset& t) {
    t.setDataTypes("int|text|text");
    t.setColumnNames("key|group|say \"hi\"");
    t.setTableName("order items");
    t.setKeyColumn(0);
}

TEST(TableDatasetQuoteName, EveryStatementQuotesTableAndColumns) {
    TableDataset t;
    makeAwkward(t);
    EXPECT_EQ(str(t.keyColumnName()), "key");
    DataRow* row = t.insertRow(std::make_unique<DataRow>(3));
    row->cell(0)->setInt(4);
    row->cell(1)->setString("g");
    row->cell(2)->setString("h");
    EXPECT_EQ(str(t.insertSql(*row, false)), "INSERT INTO \"order items\" VALUES(4,'g','h');");
    EXPECT_EQ(str(t.updateSql(*row)),
              "UPDATE \"order items\" SET \"group\"='g',\"say \"\"hi\"\"\"='h' WHERE \"key\"=4;");
    EXPECT_EQ(str(t.deleteSql(*row)), "DELETE FROM \"order items\" WHERE \"key\"=4;");
}

// ------------------------------------------------------ rows and the binding

TEST(TableDatasetRows, SetKeyColumnTakesTheNameOnlyForAValidPosition) {
    TableDataset t;
    EXPECT_EQ(t.keyColumn(), -1);
    EXPECT_EQ(t.counterColumn(), -1);
    EXPECT_FALSE(t.rowIdMode());
    makeItems(t);
    t.setKeyColumn(1);
    EXPECT_EQ(str(t.keyColumnName()), "name");
    t.setKeyColumn(7);
    EXPECT_EQ(t.keyColumn(), 7);
    EXPECT_EQ(str(t.keyColumnName()), "name");
    t.setKeyColumn(-1);
    EXPECT_EQ(t.keyColumn(), -1);
    EXPECT_EQ(str(t.keyColumnName()), "name");
}

TEST(TableDatasetRows, DeleteRowParksTheRow) {
    TableDataset t;
    makeItems(t);
    addItem(t, 1, "a", 1);
    DataRow* b = addItem(t, 2, "b", 2);
    addItem(t, 3, "c", 3);
    EXPECT_TRUE(t.deleteRow(1));
    EXPECT_EQ(t.rowCount(), 2);
    ASSERT_EQ(t.deletedRows().count(), 1);
    EXPECT_EQ(t.deletedRows().at(0), b);
    EXPECT_EQ(t.row(1)->cell(0)->toInt(), 3);
    EXPECT_FALSE(t.deleteRow(5));
    EXPECT_EQ(t.deletedRows().count(), 1);
}

TEST(TableDatasetRows, DeleteRowWhileFilteredLeavesTheMainListToo) {
    TableDataset t;
    makeItems(t);
    addItem(t, 1, "ana", 1);
    DataRow* b = addItem(t, 2, "beto", 2);
    addItem(t, 3, "anabel", 3);
    t.filter(1, DataItem("beto"), true);
    ASSERT_EQ(t.rowCount(), 1);
    EXPECT_TRUE(t.deleteRow(0));
    EXPECT_EQ(t.rowCount(), 0);
    t.clearFilter();
    EXPECT_EQ(t.rowCount(), 2);
    EXPECT_EQ(t.rowList().findNode(b), nullptr);
    EXPECT_EQ(t.deletedRows().at(0), b);
}

TEST(TableDatasetRows, ReadOnlySetRefusesDelete) {
    TableDataset t;
    makeItems(t);
    addItem(t, 1, "a", 1);
    t.setReadOnly(true);
    try {
        t.deleteRow(0);
        ADD_FAILURE() << "no exception";
    } catch (const GeneralException& e) {
        EXPECT_STREQ(e.what(), "DataSet.insertRow: DataSet is read only");
    }
    EXPECT_EQ(t.rowCount(), 1);
    EXPECT_EQ(t.deletedRows().count(), 0);
}

TEST(TableDatasetRows, ClearRowsDropsRowsAndPendingDeletions) {
    TableDataset t;
    makeItems(t);
    for (int i = 0; i < 4; ++i)
        addItem(t, i, "x", i);
    t.deleteRow(0);
    t.deleteRow(0);
    t.filter(0, DataItem(int32_t(3)), true);
    t.clearRows();
    EXPECT_EQ(t.rowCount(), 0);
    EXPECT_FALSE(t.isFiltered());
    EXPECT_EQ(t.rowList().count(), 0);
    EXPECT_EQ(t.deletedRows().count(), 0);
}

TEST(TableDatasetRows, RowsNotOwnedAreLeftAliveByClearRows) {
    DataRow kept(3);
    kept.cell(0)->setInt(1);
    {
        TableDataset t;
        makeItems(t);
        t.setRowsNotOwned(true);
        t.insertRow(&kept);
        t.deleteRow(0);
        t.clearRows();
        EXPECT_EQ(t.deletedRows().count(), 0);
    }
    // The set let go of it and of its names.
    EXPECT_EQ(kept.nameList(), nullptr);
    EXPECT_EQ(kept.cell(0)->toInt(), 1);
}

// ------------------------------------------- writing without a connection

TEST(TableDatasetUpdateCell, WithoutConnectionTheCellTakesTheValueOfKnownColumns) {
    TableDataset t;
    makeItems(t);
    addItem(t, 1, "a", 1.0);
    EXPECT_TRUE(t.updateCell(0, "price", DataItem("2.25"), nullptr));
    // assign keeps the cell's type and parses the text.
    EXPECT_EQ(t.row(0)->cell(2)->type(), DataItem::TDouble);
    EXPECT_DOUBLE_EQ(t.row(0)->cell(2)->toDouble(), 2.25);
    EXPECT_TRUE(t.updateCell(0, "name", DataItem("b"), nullptr));
    EXPECT_EQ(str(t.getCellText(0, 1)), "b");

    // An unknown column or row changes nothing.
    EXPECT_FALSE(t.updateCell(0, "Price", DataItem("2"), nullptr));  // names are case-sensitive
    EXPECT_FALSE(t.updateCell(1, "price", DataItem("2"), nullptr));
    EXPECT_FALSE(t.updateCell(-1, "price", DataItem("2"), nullptr));
    EXPECT_DOUBLE_EQ(t.row(0)->cell(2)->toDouble(), 2.25);
}

TEST(TableDatasetAppendFrom, WithoutConnectionAppendsConvertedRowsByName) {
    TableDataset t;
    makeItems(t);
    addItem(t, 1, "old", 1.0);
    t.setTrackChanges(true);

    DataSet source;
    source.setDataTypes("text|text|int");
    source.setColumnNames("price|name|other");
    for (const char* price : {"3.25", "4"}) {
        auto r = std::make_unique<DataRow>(3);
        r->cell(0)->setString(price);
        r->cell(1)->setString(std::string("n") + price);
        r->cell(2)->setInt(99);
        source.insertRow(std::move(r));
    }
    t.appendFrom(source, nullptr);
    ASSERT_EQ(t.rowCount(), 3);
    const DataRow* a = t.row(1);
    EXPECT_EQ(a->cell(0)->type(), DataItem::TInt);
    EXPECT_EQ(str(a->cell(1)->text()), "n3.25");
    EXPECT_EQ(a->cell(2)->type(), DataItem::TDouble);
    EXPECT_DOUBLE_EQ(a->cell(2)->toDouble(), 3.25);
    EXPECT_TRUE(a->isInserted());
    EXPECT_EQ(a->nameList(), &t.nameList());
    EXPECT_DOUBLE_EQ(t.row(2)->cell(2)->toDouble(), 4.0);
    // The rows are copies: changing one leaves the other alone.
    EXPECT_NE(t.row(1), t.row(2));
}

// --------------------------------------------------------------- toSql

TEST(TableDatasetToSql, EmptySetAppendsNothing) {
    TableDataset t;
    makeItems(t);
    String text("-- start\r\n");
    t.toSql(text);
    EXPECT_EQ(str(text), "-- start\r\n");
}

TEST(TableDatasetToSql, OneInsertPerRowInLinkOrder) {
    TableDataset t;
    makeItems(t);
    addItem(t, 2, "b", 2);
    addItem(t, 1, "a'", 1);
    String text("X");
    t.toSql(text);
    EXPECT_EQ(str(text),
              "XINSERT INTO items VALUES(2,'b',2.000000);\r\n"
              "INSERT INTO items VALUES(1,'a''',1.000000);\r\n");
}

}  // namespace

// ------------------------------------------------- stored image and a store

namespace {

// A TableStore that records the statements and answers a fixed row number:
// the data layer needs nothing of the connections.
class RecordingStore : public VORLIN::TableStore {
public:
    void execute(const String& sql) override { log.push_back(str(sql)); }
    int32_t executeInsert(const String& sql) override {
        log.push_back(str(sql));
        return nextId;
    }
    int64_t executeMatched(const String& sql) override {
        log.push_back(str(sql));
        return matched;
    }
    // A one-cell row is a count; any other row is read back.
    void queryDataRow(const String& sql, DataRow* row) override {
        log.push_back(str(sql));
        if (row->count() == 1)
            row->cell(0)->setInt(present);
        else
            row->cell(1)->setString("leido");
    }
    std::vector<std::string> log;
    int32_t nextId = 77;
    int64_t matched = 1;  // -1: the store cannot count
    int32_t present = 1;
};

// items(id, name, price) as a connection leaves it after loading.
void loadItems(TableDataset& t) {
    makeItems(t);
    addItem(t, 1, "Ana", 10.5);
    addItem(t, 2, "Beto", 20);
    t.markStored();
    t.setTrackChanges(true);
}

}  // namespace

TEST(TableDatasetStoredImage, UpdatesWriteOnlyChangedCellsAndTheStoredKey) {
    TableDataset t;
    loadItems(t);
    RecordingStore store;
    t.setCell(0, 2, DataItem(11.0));
    t.setCell(1, 0, DataItem(5));       // the key: the row is renamed
    t.setCell(1, 1, DataItem("Beto"));  // same value: not a change
    t.saveChanges(store);
    EXPECT_EQ(store.log, (std::vector<std::string>{"UPDATE items SET price=11.000000 WHERE id=1;",
                                                   "UPDATE items SET id=5 WHERE id=2;"}));
    // Saved: the image follows, so the next DELETE addresses 5.
    t.deleteRow(1);
    store.log.clear();
    t.saveChanges(store);
    EXPECT_EQ(store.log, (std::vector<std::string>{"DELETE FROM items WHERE id=5;"}));
    // A row without image (a set filled by hand) is written whole.
    DataRow loose(3);
    loose.cell(0)->setInt(9);
    loose.cell(1)->setString("x");
    loose.cell(2)->setDouble(1);
    EXPECT_EQ(str(t.updateSql(loose)), "UPDATE items SET name='x',price=1.000000 WHERE id=9;");
}

TEST(TableDatasetStoredImage, NewRowsTakeTheRowIdOnlyWhenTheirKeyIsEmpty) {
    TableDataset t;
    loadItems(t);
    RecordingStore store;
    DataRow* empty = t.newRow();
    empty->cell(1)->setString("nuevo");
    DataRow* typed = t.newRow();
    typed->cell(0)->setInt(30);
    t.saveChanges(store);
    EXPECT_EQ(empty->cell(0)->toInt(), 0);  // the key is no row id here
    EXPECT_EQ(typed->cell(0)->toInt(), 30);
    t.setKeyTakesRowId(true);
    DataRow* third = t.newRow();
    third->cell(1)->setString("otro");
    t.saveChanges(store);
    EXPECT_EQ(third->cell(0)->toInt(), 77);
    EXPECT_TRUE(third->hasStoredImage());
    // A new row deleted before any save writes nothing.
    t.newRow()->cell(0)->setInt(1);
    t.deleteRow(0);
    store.log.clear();
    t.saveChanges(store);
    EXPECT_TRUE(store.log.empty());
}

TEST(TableDatasetStoredImage, TheImageBelongsToTheRowAlone) {
    TableDataset t;
    loadItems(t);
    DataRow* r = t.row(0);
    ASSERT_TRUE(r->hasStoredImage());
    EXPECT_FALSE(r->clone()->hasStoredImage());
    DataRow copy(*r);
    EXPECT_FALSE(copy.hasStoredImage());
    // copyRow puts other values into the same stored row: the key stays.
    DataRow other(3);
    other.cell(0)->setInt(2);
    other.cell(1)->setString("Otra");
    other.cell(2)->setDouble(10.5);
    t.copyRow(0, other);
    EXPECT_EQ(str(t.updateSql(*t.row(0))), "UPDATE items SET id=2,name='Otra' WHERE id=1;");
    // updateCell writes one cell and the image takes it.
    RecordingStore store;
    EXPECT_TRUE(t.updateCell(1, "name", DataItem("B"), &store));
    EXPECT_EQ(store.log.back(), "UPDATE items SET name='B' WHERE id=2");
    EXPECT_EQ(str(t.updateSql(*t.row(1))), "");
    // refreshRow leaves the row with an image of what it read.
    DataRow fresh(3);
    t.refreshRow(store, DataItem(2), fresh);
    EXPECT_TRUE(fresh.hasStoredImage());
    EXPECT_FALSE(fresh.cellChanged(1));
    r->setCount(3);
    EXPECT_FALSE(r->hasStoredImage());
}

// An UPDATE that matches no row is no saved edit. A store that cannot count
// the rows matched is asked whether the row is there, by its key after the
// edit.
TEST(TableDatasetUpdateCell, AnUpdateMatchingNoRowFailsAndKeepsTheValue) {
    TableDataset t;
    loadItems(t);
    RecordingStore store;
    std::vector<std::string> shown;
    HookGuard guard;
    TableDataset::setMessageHook(
        [&shown](const String&, const String& text) { shown.push_back(str(text)); });
    store.matched = 0;
    EXPECT_FALSE(t.updateCell(1, "name", DataItem("B"), &store));
    EXPECT_EQ(t.getCellText(1, 1), "Beto");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "No se guardó el cambio: ninguna fila de items tiene id=2");

    store.matched = -1;
    store.present = 0;
    store.log.clear();
    EXPECT_FALSE(t.updateCell(0, "price", DataItem(1.0), &store));
    EXPECT_EQ(store.log, (std::vector<std::string>{"UPDATE items SET price=1.000000 WHERE id=1",
                                                   "SELECT COUNT(*) FROM items WHERE id=1"}));
    store.present = 1;
    store.log.clear();
    EXPECT_TRUE(t.updateCell(0, "id", DataItem(int32_t(8)), &store));
    EXPECT_EQ(store.log.back(), "SELECT COUNT(*) FROM items WHERE id=8");
    EXPECT_EQ(t.getCellText(0, 0), "8");
    EXPECT_EQ(shown.size(), 2u);
}

TEST(TableDatasetStoredImage, RowsInsertedAsStoredAreUnmarkedAndKeepTheirImageIfTheSetDoes) {
    for (bool images : {true, false}) {
        SCOPED_TRACE(images ? "with images" : "without images");
        TableDataset t;
        makeItems(t);
        t.setKeepsStoredImages(images);
        t.setTrackChanges(true);
        auto row = std::make_unique<DataRow>(3);
        row->cell(0)->setInt(4);
        row->cell(1)->setString("Dora");
        row->cell(2)->setDouble(3);
        row->setModified(true);  // whatever the row carried
        DataRow* in = t.insertStoredRow(std::move(row));
        ASSERT_EQ(in, t.row(0));
        EXPECT_FALSE(in->isInserted());
        EXPECT_FALSE(in->isModified());
        EXPECT_EQ(in->hasStoredImage(), images);
        EXPECT_TRUE(t.tracksChanges());
        // A loaded row is no change: nothing to save until it is edited.
        RecordingStore store;
        t.saveChanges(store);
        EXPECT_TRUE(store.log.empty());
        t.setCell(0, 1, DataItem("Dori"));
        t.saveChanges(store);
        EXPECT_EQ(store.log,
                  (std::vector<std::string>{
                      images ? "UPDATE items SET name='Dori' WHERE id=4;"
                             : "UPDATE items SET name='Dori',price=3.000000 WHERE id=4;"}));
    }
    // A read-only set refuses it as insertRow does, and goes on tracking.
    TableDataset ro;
    makeItems(ro);
    ro.setTrackChanges(true);
    ro.setReadOnly(true);
    EXPECT_THROW(ro.insertStoredRow(std::make_unique<DataRow>(3)), GeneralException);
    EXPECT_TRUE(ro.tracksChanges());
    EXPECT_EQ(ro.rowCount(), 0);
}
