// TGDataset: the adapter between the query window's grid and the rows it
// shows. It is bound either to a TableDataset (table mode: cells, new rows
// and deletions become UPDATE, INSERT and DELETE statements on the table)
// or to a plain DataSet (query mode: read-only).
//
// Rows are numbered as the bound set's index orders them (its current list,
// so a filter shows its selection); the row numbered rowCount() is the
// pending new row, filled cell by cell and written by commitPending().
// Columns are numbered as shown: the hidden row-id column of a table in
// row-id mode is left out (dataColumn() maps back to the set's column).
// A table without key column (a view) cannot address its rows: it is shown
// read-only and every change is refused with kNoKeyColumn.
//
// Ownership: the bound sets and the connection stay the caller's and must
// outlive the binding (unbind, or bind others, before destroying them);
// the adapter owns only its pending row.
// Threads: the UI thread, and only while nothing else changes the set
// (bindArriving: nothing but the worker's insertRow and clearRows).
// Throws GeneralException: kReadOnly and kNoKeyColumn for refused changes;
// the connection's own exception when an INSERT or DELETE fails (the rows
// and the pending row stay as they were). A failed cell change is shown by
// TableDataset::updateCell through its message hook and answered false.
#pragma once

#include <memory>
#include <mutex>

#include "core/DataItem.h"
#include "core/String.h"

namespace VORLIN {
class DataRow;
class DataSet;
class TableDataset;
class TableStore;
}  // namespace VORLIN

class RowArrival;

class TGDataset {
public:
    // Table mode is 1 and query mode 2, as the grid's settings number them.
    enum class Mode { None = 0, Table = 1, Query = 2 };

    static constexpr const char* kRowColumnTitle = "#ROW#";
    static constexpr const char* kReadOnly =
        "TGDataset: el resultado de una consulta no se puede modificar";
    static constexpr const char* kNoKeyColumn =
        "TGDataset: la tabla %s no tiene columna clave, sus filas no se pueden modificar";

    TGDataset();
    ~TGDataset();
    TGDataset(const TGDataset&) = delete;
    TGDataset& operator=(const TGDataset&) = delete;

    // Table mode on `table`, whose changes go through `connection`.
    void bindTable(VORLIN::TableDataset* table, VORLIN::TableStore* connection);
    // Query mode on `rows` (read-only).
    void bindQuery(VORLIN::DataSet* rows);
    // Query mode (read-only) on rows a worker thread is still reading into
    // `rows` (an ArrivingSet): the columns are the arrival's shape, and
    // every read of rows and cells must hold readLock().
    void bindArriving(VORLIN::DataSet* rows, std::shared_ptr<const RowArrival> arrival);
    bool isArriving() const noexcept { return arrival_ != nullptr; }
    // The arrival's lock while rows arrive; an empty lock otherwise.
    std::unique_lock<std::mutex> readLock() const;
    // Nothing shown.
    void unbind();

    Mode mode() const noexcept { return mode_; }
    VORLIN::DataSet* dataSet() const noexcept { return set_; }
    // The table in table mode, else null.
    VORLIN::TableDataset* tableDataset() const noexcept { return table_; }

    // No cell may change: query mode, nothing bound, a table without key.
    bool isReadOnly() const noexcept;
    // Table mode on a table with key column: a pending row and deletions.
    bool allowsNewRows() const noexcept { return !isReadOnly(); }

    // Rows of the set as shown (the pending row not counted).
    int rowCount() const noexcept;
    // Columns shown (the "#ROW#" column of the grid not counted).
    int columnCount() const noexcept;
    // The set's column shown at `column`.
    int dataColumn(int column) const noexcept { return column + hiddenColumns(); }
    VORLIN::String columnName(int column) const;
    // The column's type tag from the set's header (DataItem::Type).
    int columnType(int column) const noexcept;
    // The cell as it is stored, read in place (nothing is copied): a row
    // below rowCount(), or the pending row at rowCount(). Null when there is
    // no such cell.
    const VORLIN::DataItem* cell(int row, int column) const noexcept;
    bool isPendingRow(int row) const noexcept { return row == rowCount(); }
    // Whether something was typed into the pending row since it was cleared.
    bool pendingChanged() const noexcept { return pendingChanged_; }

    // Changes one cell: an existing row through the table's updateCell (the
    // old value stays when it fails: false), the pending row in memory.
    // The text is converted to the column's type; a null value sets NULL.
    bool setCellText(int row, int column, VORLIN::TextRef text);
    bool setCellValue(int row, int column, const VORLIN::DataItem& value);
    bool setCellNull(int row, int column);

    // Writes the pending row, when it was changed, with the table's
    // insertSql through executeInsert; a key the database numbers takes the
    // new row id; a copy of the row joins the table (shown at the end unless
    // a filter leaves it out) and the pending row is cleared. False when
    // there was nothing to write.
    bool commitPending();
    void clearPending();
    // Deletes row `row` from the table (deleteSql through execute, then
    // deleteRow) or, for the pending row, clears it. False when there is no
    // such row.
    bool deleteRow(int row);

private:
    int hiddenColumns() const noexcept;
    void requireWritable() const;
    void newPending();

    Mode mode_ = Mode::None;
    VORLIN::DataSet* set_ = nullptr;
    VORLIN::TableDataset* table_ = nullptr;
    VORLIN::TableStore* connection_ = nullptr;
    std::shared_ptr<const RowArrival> arrival_;
    std::unique_ptr<VORLIN::DataRow> pending_;
    bool pendingChanged_ = false;
};
