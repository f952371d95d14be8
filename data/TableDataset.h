// TableDataset: a DataSet bound to one database table and its key column.
// It remembers which rows were inserted, modified and deleted since it was
// loaded and turns those changes into INSERT, UPDATE and DELETE statements
// sent through a TableStore (the connections implement it).
//
// Every row loaded from the database (insertStoredRow, markStored) or
// written by the set
// keeps a stored image of its cells (DataRow::keepStoredImage). An UPDATE
// then sets only the cells that differ from that image, and UPDATE and
// DELETE address the row by the key in the image: changing a key cell
// renames the row instead of touching another one. Rows without image
// (sets filled by hand) are written whole and addressed by their current
// key cell.
// Values reach the SQL through DataItem::sqlLiteral. Table and column names
// are written as they are when they are plain identifiers and not SQL
// keywords; any other name is quoted ("order items", "group"), so ordinary
// names give the plain texts. An integer key is written as a signed
// decimal; any other key as its SQL literal; a row without a key cell (no
// key column) as NULL, which matches no row.
//
// In row-id mode the rows carry an extra first column with the database's
// own row identifier, which is then the key column.
//
// Ownership: as DataSet; rows removed by deleteRow are parked in the
// deleted list (owned) until saveChanges writes them or clearRows drops
// them. The connection passed to an operation stays the caller's.
// Threads: user-interface thread only.
// Throws: "DataSet.insertRow: DataSet is read only" from deleteRow on a
// read-only set; the connection's GeneralExceptions propagate out of
// saveRow, saveChanges and refreshRow; updateCell reports them through the
// message hook and keeps the old value; appendFrom skips rows the database
// rejects. saveChanges throws kNoKeyColumn, before writing anything, when
// there is something to write and the set has no key column.
#pragma once

#include <cstdint>
#include <functional>

#include "data/DataSet.h"
#include "data/ItemList.h"
#include "data/TableStore.h"

namespace VORLIN {

class TableDataset : public DataSet {
public:
    // Shows a failure to the user: (caption, text). The UI installs it; with
    // none installed the text is written to standard error.
    using MessageHook = std::function<void(const String& caption, const String& text)>;
    static void setMessageHook(MessageHook hook);

    static constexpr const char* kNoKeyColumn =
        "TableDataset.saveChanges: la tabla %s no tiene columna clave";
    // updateCell's UPDATE matched no row (another user deleted it or
    // changed its key): table, key column, key.
    static constexpr const char* kNoRowMatched =
        "No se guardó el cambio: ninguna fila de %s tiene %s=%s";

    TableDataset();
    ~TableDataset() override;

    // The row leaves the current list (and the main list when filtered) and
    // waits in the deleted list; a row added since the last save (never
    // stored) is destroyed instead, as there is nothing to delete.
    bool deleteRow(int index) override;
    // Destroys every row and every deleted row.
    void clearRows() override;

    // --- binding ---
    const String& tableName() const noexcept { return tableName_; }
    void setTableName(TextRef name) { tableName_ = name; }
    int keyColumn() const noexcept { return keyColumn_; }
    const String& keyColumnName() const noexcept { return keyColumnName_; }
    // The key becomes `index`; a valid position also names the key column.
    void setKeyColumn(int index);
    int counterColumn() const noexcept { return counterColumn_; }
    void setCounterColumn(int index, int32_t counterKey = 0) {
        counterColumn_ = index;
        counterKey_ = counterKey;
    }
    int32_t lastGenerated() const noexcept { return lastGenerated_; }
    bool rowIdMode() const noexcept { return rowIdMode_ != 0; }
    void setRowIdMode(bool on) noexcept { rowIdMode_ = on ? 1 : 0; }
    const ItemList& deletedRows() const noexcept { return deleted_; }
    // Whether the key column is the table's own integer row number (SQLite's
    // INTEGER PRIMARY KEY, an AUTO_INCREMENT column, ...): a new row whose
    // key cell is empty then gets the number executeInsert answers. Always
    // so in row-id mode. The connections set it with the column model.
    bool keyTakesRowId() const noexcept { return rowIdMode_ != 0 || keyTakesRowId_ != 0; }
    void setKeyTakesRowId(bool on) noexcept { keyTakesRowId_ = on ? 1 : 0; }
    // The rows now hold what the database holds (after loading): each keeps
    // its stored image and loses its change marks.
    void markStored();
    // Adds a row as read from the database: without change marks (whether or
    // not the set tracks changes) and with its stored image when the set
    // keeps them, taken before the row goes in (so a set watched while it
    // fills, the query window's, never sees the row change). A connection
    // loading a table calls this for each row instead of markStored once
    // at the end: that second pass over a million rows, each a cache miss
    // by then, costs a fifth of the load. Throws as insertRow.
    DataRow* insertStoredRow(std::unique_ptr<DataRow> row);
    // Whether markStored gives every row its stored image (the default). A
    // set whose every change goes straight to the database through
    // updateCell, executeInsert and deleteSql (the query window's grid)
    // addresses its rows by their key cells, which then always hold what the
    // database holds, and needs none: a large table takes half the memory.
    void setKeepsStoredImages(bool on) noexcept { noImages_ = on ? 0 : 1; }
    bool keepsStoredImages() const noexcept { return noImages_ == 0; }

    // --- statements ---
    String insertSql(const DataRow& row, bool orReplace);
    // Only the changed cells of a row with stored image (empty text when
    // nothing changed); every cell of a row without one.
    String updateSql(const DataRow& row) const;
    String deleteSql(int index) const;
    String deleteSql(const DataRow& row) const;
    // The row's key written for a WHERE clause: the stored key when the row
    // has a stored image, else its key cell.
    String keyLiteral(const DataRow& row) const;
    // A table or column name as it goes into a statement.
    static String quoteName(const String& name);

    // --- writing ---
    // Re-reads the row with the given key into `row`, which then keeps its
    // stored image.
    void refreshRow(TableStore& connection, const DataItem& keyValue, DataRow& row);
    // UPDATE when id is non-zero, otherwise INSERT; the new id is stored in
    // `id`, and in the row's key cell when that was empty and the key takes
    // the row id. The row then keeps its stored image.
    void saveRow(DataRow& row, TableStore& connection, int32_t& id);
    // One UPDATE of one column; on success (or without a connection) the
    // cell takes the value (a null value makes it null, as the database
    // now holds NULL). False when the statement failed or matched no row
    // of the table (the cell keeps its value; the message hook says why),
    // and when there is no such row or column (nothing happens).
    bool updateCell(int rowIndex, TextRef columnName, const DataItem& value,
                    TableStore* connection);
    // Writes the tracked inserts, updates and deletes (every row as an
    // INSERT with `insertAll`).
    void saveChanges(TableStore& connection, bool insertAll = false);
    // Copies the rows of `set` into this table by column names; with a
    // connection as INSERT statements, without one as new rows.
    void appendFrom(const DataSet& set, TableStore* connection);
    // Appends every row's INSERT statement followed by "\r\n" (the rows of
    // the current list, in link order).
    void toSql(String& text);

    // The number generator for counter columns; answers 0 unless set.
    using CounterHook = std::function<int32_t(int32_t counterKey)>;
    static void setCounterHook(CounterHook hook);

private:
    // The rows of the table whose key column holds `key` (an SQL literal),
    // asked of `connection`; -1 when the question fails.
    int64_t countKeyed(TableStore& connection, const String& key) const;
    int32_t keyColumn_ = -1;
    int32_t counterColumn_ = -1;
    int32_t counterKey_ = 0;
    int32_t lastGenerated_ = 0;
    String tableName_;
    String keyColumnName_;
    ItemList deleted_;
    uint8_t rowIdMode_ = 0;
    uint8_t keyTakesRowId_ = 0;
    uint8_t noImages_ = 0;
};

}  // namespace VORLIN
