// DataRow: a fixed-length array of DataItem cells that can find its cells by
// column name, and a scriptable object (Interfasable) whose members are its
// cells and the row functions ("size", "getItem", "col.format", ...).
//
// Ownership: the row owns its cells, allocated as one contiguous array; a
// row made by make() has them in the same allocation as itself (a million
// loaded rows then cost a million allocations fewer). The
// column names come from a name list (an ItemList of String) that normally
// belongs to the DataSet the row is in and is shared by all its rows; the
// row only points at it. A row that made its own list (script "setNames",
// setOwnNames) owns that list and its strings and deletes them when it dies.
// The optional name text ("a|b|c", used only when there is no list) is a
// copy owned by the row.
//
// Unchecked accesses (cell, get, set, setText, typeOf) answer null, a null
// item or do nothing out of range; cellChecked throws
// "DataRow[]: indice fuera de rango"; findNamedColumn throws
// "DataRow.findNamedColumn: %s no existe" or
// "DataRow.findNamedColumn: Not named DataRow". execute throws
// "DataRow.%s not defined" for unknown members and passes on what the value
// functions and the argument conversions throw. serialize passes on the
// Archive's GeneralExceptions; a failed load leaves the row as it was.
// Not thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/CoreObject.h"
#include "core/DataItem.h"
#include "core/Interfasable.h"
#include "core/String.h"
#include "data/ItemList.h"
#include "data/SortKeys.h"

namespace VORLIN {

class Archive;

class DataRow : public CoreObject, public Interfasable {
public:
    // The compare mode whose context is a SortKeys.
    static constexpr int kSortKeysMode = 1;

    // A row of `n` null cells, without names, flags clear.
    explicit DataRow(int n = 0);
    // The same row with its cells right after it, in one allocation: for
    // the rows a connection reads by the million. Changing its cell count
    // later gives it an array of its own, as any row.
    static std::unique_ptr<DataRow> make(int n);
    // Rows are freed whole, whichever way they were made.
    static void* operator new(size_t size) { return ::operator new(size); }
    static void operator delete(void* p) noexcept { ::operator delete(p); }
    // Copies as copyFrom does.
    DataRow(const DataRow& other);
    DataRow& operator=(const DataRow& other);
    ~DataRow() override;

    // --- CoreObject ---
    // The row as one text line: cell texts joined with "\t", "\r\n" inside a
    // cell written as the byte 31, an empty text written as "null", the line
    // ended with "\r\n".
    String& toString(String& out) const override;
    using CoreObject::toString;
    // Reads a line written by toString back into the cells (each field goes
    // through the cell's fromString); stops at the first empty field or when
    // every cell is filled, so a short line leaves the remaining cells alone.
    void fromString(String line) override;
    // Mode 0 compares the cells at `column` ignoring case, any other mode
    // with the typed comparison; a column out of range in either row gives 0.
    // A SortKeys cannot travel in an int: use the SortKeys overload
    // for mode 1 (here mode 1 is a typed comparison of `column`). A non-row
    // `other` compares as different (1).
    int compare(const CoreObject& other, int column, int mode) const override;
    // Mode 1: key by key, the typed comparison of the two cells; the first
    // non-zero result decides, negated for a descending key.
    int compare(const DataRow& other, const SortKeys& order) const;
    using CoreObject::compare;
    // ItemList comparator over rows: mode 1 takes a SortKeys as context, any
    // other mode a pointer to the int column.
    static int compareItems(const void* a, const void* b, const void* context, int mode);

    // --- cell writers (virtual: table rows may watch them) ---
    // The cell's fromString; out of range does nothing.
    virtual void setText(int index, TextRef text);
    // setText through findNamedColumn (throws for unknown names).
    virtual void setTextByName(TextRef name, TextRef text);
    // Raw copy of `value` into the cell; out of range does nothing.
    virtual void set(int index, const DataItem& value);
    // set through findNamedColumn (throws for unknown names).
    virtual void setByName(TextRef name, const DataItem& value);
    // Takes the other row's cells (reallocated when the counts differ), its
    // name list pointer, name text and modified/inserted flags. When the
    // other row owns its names, this row gets its own copy of them, so that
    // it never points at a list that dies with the other row.
    virtual void copyFrom(const DataRow& other);
    // A new row built by copyFrom(*this).
    virtual std::unique_ptr<DataRow> clone() const;
    // No cell of tag null, no ref or obj cell holding a null pointer.
    virtual bool isFilled() const;

    // --- cells ---
    // Discards all cells and makes `n` null ones; names and flags cleared.
    void setCount(int n);
    int count() const noexcept { return count_; }
    DataItem* cell(int index) noexcept {
        return (index >= 0 && index < count_) ? &cells_[index] : nullptr;
    }
    const DataItem* cell(int index) const noexcept {
        return (index >= 0 && index < count_) ? &cells_[index] : nullptr;
    }
    // Never null: out of range throws "DataRow[]: indice fuera de rango".
    DataItem* cellChecked(int index);
    const DataItem* cellChecked(int index) const;
    // Null for unknown names (no exception).
    DataItem* cellByName(TextRef name) noexcept;
    const DataItem* cellByName(TextRef name) const noexcept;
    // Copies; a null item out of range or for unknown names.
    DataItem get(int index) const;
    DataItem getByName(TextRef name) const;
    void setType(int index, int tag);
    // The cell's tag, 0 out of range.
    int typeOf(int index) const noexcept;
    // Every cell becomes null, except cells that own an object; flags cleared.
    void clearValues();
    // Every cell takes the empty value of its own type (owned objects
    // excepted); flags cleared.
    void resetValues();

    // --- names ---
    bool hasColumn(TextRef name) const noexcept;
    // Index of the column (case-sensitive); throws as the header says.
    int findNamedColumn(TextRef name) const;
    // As findNamedColumn, but -1 instead of throwing.
    int findColumn(TextRef name) const noexcept;
    // The name of a column, the empty text when unknown.
    String columnName(int index) const;
    const ItemList* nameList() const noexcept { return names_; }
    // Points the row at a shared list (not owned; null for none); a list the
    // row owned is deleted first.
    void setNameList(const ItemList* names);
    // The row gets a list of its own from the "|"-separated pieces of `text`
    // (empty pieces skipped) and owns it.
    void setOwnNames(TextRef text);
    bool ownsNames() const noexcept { return ownsNames_ != 0; }
    // The "|"-separated names consulted when there is no list; null for none.
    const String* nameText() const noexcept { return nameText_.get(); }
    // An empty text removes it.
    void setNameText(TextRef text);
    // For each of this row's listed columns that `other` also has: a raw copy
    // when both cells have the same tag, else the cell's fromString of the
    // other cell's text; then the flags are cleared. Without a name list or
    // with a null `other` nothing happens.
    void assignByNames(const DataRow* other);

    // --- change marks (read by table-bound sets) ---
    bool isModified() const noexcept { return modified_ != 0; }
    void setModified(bool on) noexcept { modified_ = on ? 1 : 0; }
    bool isInserted() const noexcept { return inserted_ != 0; }
    void setInserted(bool on) noexcept { inserted_ = on ? 1 : 0; }
    void clearFlags() noexcept { modified_ = inserted_ = 0; }

    // --- stored image (read by table-bound sets) ---
    // A copy of the cells as the database holds them, taken when the row was
    // loaded or saved: a table-bound set compares against it to write only
    // the cells that changed and to address the row by the key it was
    // stored under. It belongs to this row alone: copyFrom, the copy
    // constructor and clone never carry it; setCount drops it.
    void keepStoredImage();
    void dropStoredImage() noexcept { stored_.reset(); }
    bool hasStoredImage() const noexcept { return stored_ != nullptr; }
    // The stored cell at `index`; null without image or out of range.
    const DataItem* storedCell(int index) const noexcept;
    // One stored cell takes `value` (nothing without image).
    void setStoredCell(int index, const DataItem& value);
    // Whether the cell differs from its stored copy (type, text or value);
    // true without image or stored copy.
    bool cellChanged(int index) const;

    // --- Interfasable ---
    // A number selects the cell at that index, any other name the cell of
    // that column; null past the count or for unknown names. The row keeps
    // the cell.
    DataItem* getMemberItem(const String& name) override;
    // The same, as a new copy the caller owns (null when there is no cell).
    std::unique_ptr<DataItem> copyMemberItem(const String& name) const;
    // The row functions "size", "setItem", "getItem", "setItems",
    // "setDataTypes", "setNames", "getDataRow", "extract", and "col.func":
    // the value function `func` called on the cell `col` (an index below the
    // cell count, else a column name) with the same arguments.
    DataItem execute(const String& name, const DataRow* args) override;
    // Whether execute knows `name`: the row functions, and "col.func" when
    // `col` selects a cell (whether `func` exists is decided by the cell).
    bool hasMember(const String& name) override;
    // The names of the row functions (without a point), in order.
    static std::vector<String> functionNames();

    // "getDataRow" answers a "ref" item whose pointer is the row itself (the
    // item kind that carries a raw pointer); these two make and read it.
    static DataItem makeRowRef(DataRow* row);
    // The row of a "ref" item made by makeRowRef; other tags throw
    // "DataItem.operator >> : DataItem is not a reference".
    static DataRow* rowFromRef(const DataItem& ref);

    // --- binary image: int cell count, then each cell's item image ---
    // Loading replaces the cells with as many as the archive announces (the
    // count is checked against the bytes left before anything is allocated);
    // on failure the row keeps its old cells.
    void serialize(Archive& archive, bool storing);

private:
    void dropOwnNames() noexcept;
    // The cell selected by the part of a dotted member name before the point.
    DataItem* memberCell(const String& head);

    struct InlineCells {};
    // For make(): the `n` cells are built in the storage after the object.
    DataRow(InlineCells, int n) noexcept;
    // Takes `fresh` (n cells, or null) as the cells, destroying the old ones.
    void replaceCells(std::unique_ptr<DataItem[]> fresh, int n) noexcept;

    int32_t count_ = 0;
    // An array of its own (new[]), or, while inlineCells_ is set, the
    // storage after the object.
    DataItem* cells_ = nullptr;
    // Shared with the owning set (not owned) unless ownsNames_ is set.
    const ItemList* names_ = nullptr;
    std::unique_ptr<String> nameText_;
    uint8_t modified_ = 0;
    uint8_t inserted_ = 0;
    uint8_t ownsNames_ = 0;
    uint8_t inlineCells_ = 0;
    std::unique_ptr<std::vector<DataItem>> stored_;
};

}  // namespace VORLIN
