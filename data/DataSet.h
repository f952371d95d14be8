// DataSet: an ordered collection of DataRows sharing one list of column
// names and one header row whose cells carry the column types. Query
// results, table contents, script rows and grid contents are all DataSets.
//
// Rows live in a linked ItemList with a positional index: positional access
// (row, getCell, the binary image) follows the index, which sort() reorders,
// while link-order walks (rows(), the text export) keep the insertion order.
// A filter selects rows into a second list; while filtered, every positional
// operation, rowCount, deleteRow and rows() work on the selection.
//
// Ownership: the set owns its rows (unless rows-not-owned is set, in which
// case clearing or destroying it lets go of them without deleting them), its
// header, its name strings and its list objects (unless lists-not-owned is
// set: destruction then empties the row and name lists but does not free the
// list objects, which whoever took them over through rowListObject() and
// nameListObject() must delete). Every row in the set points at the set's
// name list; rows handed to insertRow become the set's, rows returned by
// row(), find() and newRow() stay the set's.
//
// Sorting keeps its comparator context in process-wide variables (ItemList),
// so only one sort runs at a time; all sorting happens on the UI thread.
// The set is not thread-safe.
//
// Throws GeneralException: "DataSet.insertRow: DataSet is read only" from
// insertRow, copyRow and deleteRow of a read-only set;
// "DataSet.findNamedColumn: '%s' no existe"; "DataRow[]: indice fuera de
// rango" for a column out of range in getCell, setCell and find; the
// Archive's texts from serialize (a failed load keeps the rows read so far and
// a consistent header); "DataSet.exportText: ..." when the chosen file cannot
// be created or written.
#pragma once

#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

#include "core/DataItem.h"
#include "core/String.h"
#include "data/DataRow.h"
#include "data/ItemList.h"
#include "data/SortKeys.h"

namespace VORLIN {

class Archive;
class FileStream;

class DataSet {
public:
    // Asks the user for a file to save to; `filter` is the file-type filter
    // ("description|pattern"). An empty result means cancelled.
    using SaveFileChooser = std::function<String(const String& filter)>;
    static constexpr const char* kTextFileFilter = "Archivos de texto (*.txt)|*.txt";

    // Walks a row list in link order.
    class RowIterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = DataRow*;
        using difference_type = std::ptrdiff_t;
        using pointer = DataRow**;
        using reference = DataRow*;

        RowIterator() = default;
        explicit RowIterator(const ItemList::Node* node) : node_(node) {}
        DataRow* operator*() const { return static_cast<DataRow*>(node_->item); }
        RowIterator& operator++() {
            node_ = node_->next;
            return *this;
        }
        RowIterator operator++(int) {
            RowIterator was = *this;
            node_ = node_->next;
            return was;
        }
        bool operator==(const RowIterator& other) const { return node_ == other.node_; }

    private:
        const ItemList::Node* node_ = nullptr;
    };

    class RowRange {
    public:
        explicit RowRange(const ItemList& list) : list_(&list) {}
        RowIterator begin() const { return RowIterator(list_->headNode()); }
        RowIterator end() const { return RowIterator(); }

    private:
        const ItemList* list_;
    };

    DataSet();
    virtual ~DataSet();
    DataSet(const DataSet&) = delete;
    DataSet& operator=(const DataSet&) = delete;

    // --- rows (virtual: table-bound sets turn these into SQL) ---
    // A clone of the header (so it has the column types) with the set's
    // names, put first in the main list (and in the selection when filtered);
    // null without a header. Marked inserted under change tracking unless it
    // is already marked modified.
    virtual DataRow* newRow();
    // Appends a row built by the caller, who hands it over (unless rows are
    // not owned); on failure (read only) the caller keeps it. Returns it.
    virtual DataRow* insertRow(DataRow* row);
    // The same for a row held by a unique_ptr, released only on success (on
    // failure the caller's pointer still holds the row).
    DataRow* insertRow(std::unique_ptr<DataRow>&& row);
    // The row at `index` takes copyFrom(other), keeping the set's names;
    // marked modified under change tracking unless it is marked inserted.
    // Null when there is no such row.
    virtual DataRow* copyRow(int index, const DataRow& other);
    // Removes the row at `index` of the current list (and, when filtered,
    // from the main list) and destroys it. False when there is no such row.
    virtual bool deleteRow(int index);
    // Destroys every row (unless not owned), empties both lists, ends the filter.
    virtual void clearRows();
    // Removes and destroys every row of the current list whose cell at
    // `column` equals `value`; returns how many.
    virtual int deleteWhere(int column, const DataItem& value);
    // With `withHeader`, names and header become copies of the other's; then
    // clones of the other's current rows (link order) are appended. Ends the
    // filter.
    virtual void copyFrom(const DataSet& other, bool withHeader);

    // --- header and names ---
    // A header of one cell per "|"-separated type name; an empty text leaves
    // the set without header.
    void setDataTypes(TextRef text);
    // The names become the "|"-separated pieces (empty pieces skipped).
    void setColumnNames(TextRef text);
    // The names become copies of the strings of another name list.
    void setColumnNames(const ItemList& names);
    // The header becomes a clone of `row` with the set's names (none for null).
    void setHeader(const DataRow* row);
    const DataRow* header() const noexcept { return header_.get(); }
    const ItemList& nameList() const noexcept { return *names_; }
    String columnName(int column) const;
    bool hasColumn(TextRef name) const noexcept;
    // Position in the names (case-sensitive); unknown names throw.
    int findNamedColumn(TextRef name) const;

    // --- positional access (current list) ---
    // Header cells, or 1 without header.
    int columnCount() const noexcept { return header_ ? header_->count() : 1; }
    int rowCount() const noexcept { return currentList().count(); }
    DataRow* row(int index) const { return static_cast<DataRow*>(currentList().at(index)); }
    // A copy of the cell; a missing row gives a null item.
    DataItem getCell(int row, int column) const;
    String getCellText(int row, int column) const;
    // Raw copy / the cell's fromString; a missing row does nothing. Allowed
    // on a read-only set.
    void setCell(int row, int column, const DataItem& value);
    void setCellText(int row, int column, TextRef text);
    // The rows of the current list in link order.
    RowRange rows() const { return RowRange(currentList()); }

    // --- searching, filtering, sorting ---
    // The first row whose cell equals `value`, visiting by position or in
    // link order; its position goes to lastFound() (-1 when not found).
    DataRow* find(int column, const DataItem& value, bool byIndex = true);
    // The first row (by position) whose cell text equals `text`, or starts
    // with it unless `whole`; byte-wise or ignoring ASCII case.
    DataRow* findText(int column, TextRef text, bool whole = true, bool ignoreCase = false);
    int lastFound() const noexcept { return lastFound_; }
    // Selects the rows whose cell equals `value` (`exact`) or whose cell text
    // contains the text of `value` ignoring case.
    void filter(int column, const DataItem& value, bool exact);
    void clearFilter();
    bool isFiltered() const noexcept { return filtered_ != 0; }
    // Sorts the index of the current list; the link order stays.
    void sort(const SortKeys& order);

    // --- text export ---
    // Writes the column names, then every row of the current list in link
    // order, each as its toString line. Without `file` the save-file chooser
    // asks for one (filter kTextFileFilter), creates it and closes it at the
    // end; with no chooser installed, or when the user cancels, nothing is
    // written and false is returned. A file passed in is left open.
    bool exportText(FileStream* file = nullptr);
    // Installs the process-wide chooser (the UI does, at start-up); an empty
    // function removes it.
    static void setSaveFileChooser(SaveFileChooser chooser);

    // --- binary image ---
    // int column count, byte 1/0 for the header, per column the header cell
    // and its name, int row count, per row (positional order) and column the
    // cell, or a null item for a missing cell. Loading clears the rows first
    // unless `keepRows`, replaces header and names, and appends new rows of
    // the column count; every count is checked against the bytes left before
    // anything is allocated for it.
    void serialize(Archive& archive, bool storing, bool keepRows = false);

    // --- flags ---
    bool isReadOnly() const noexcept { return readOnly_ != 0; }
    void setReadOnly(bool on) noexcept { readOnly_ = on ? 1 : 0; }
    bool tracksChanges() const noexcept { return trackChanges_ != 0; }
    void setTrackChanges(bool on) noexcept { trackChanges_ = on ? 1 : 0; }
    bool rowsNotOwned() const noexcept { return rowsNotOwned_ != 0; }
    void setRowsNotOwned(bool on) noexcept { rowsNotOwned_ = on ? 1 : 0; }
    bool listsNotOwned() const noexcept { return listsNotOwned_ != 0; }
    void setListsNotOwned(bool on) noexcept { listsNotOwned_ = on ? 1 : 0; }

    // --- the lists themselves (table-bound sets, grids) ---
    const ItemList& rowList() const noexcept { return *rows_; }
    const ItemList& currentList() const noexcept { return filtered_ ? filtered_list_ : *rows_; }
    // For a new owner of the lists (see lists-not-owned).
    ItemList* rowListObject() noexcept { return rows_.get(); }
    ItemList* nameListObject() noexcept { return names_.get(); }

protected:
    ItemList& currentList() noexcept { return filtered_ ? filtered_list_ : *rows_; }
    void checkWritable() const;
    // Under change tracking: inserted unless already modified / modified
    // unless inserted.
    void markInserted(DataRow* row) const;
    void markModified(DataRow* row) const;
    // Destroys a row the set let go of, or (rows not owned) detaches it from
    // the set's names, which it must not outlive.
    void disposeRow(DataRow* row) const;

private:
    void replaceNames(std::vector<std::unique_ptr<String>> names);
    void deleteNames();

    std::unique_ptr<ItemList> rows_;
    std::unique_ptr<ItemList> names_;  // items are owned Strings
    ItemList filtered_list_;
    std::unique_ptr<DataRow> header_;
    uint8_t readOnly_ = 0;
    uint8_t trackChanges_ = 0;
    uint8_t rowsNotOwned_ = 0;
    uint8_t listsNotOwned_ = 0;
    uint8_t filtered_ = 0;
    int32_t lastFound_ = -1;
};

}  // namespace VORLIN
