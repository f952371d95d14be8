// ItemTable: a script object over an owned TableDataset of one named table
// (made by "TableSet(name)"); its rows are loaded by "open".
//
// Members (class number 6): "size", "head", "next" (as ItemGrid's),
// "removeAll" (the set's clear), "removeAt" (its row removal), "open"
// (connection object [, table name]: loads every row of the table),
// "copy" (table object [, connection object]: appends the other table's
// rows, as INSERT statements when a connection is given),
// "getColumnListValues" (exactly one argument), "getRowAt", "insertRow",
// "multiSort".
//
// Ownership: owns the set. Throws "TableSet: No existe la función: %s",
// "Grid.getColumnListValues: bad arguments", "TableSet.open: no se pudo
// abrir la conexión", and the connection's failures. The UI thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "core/Interfasable.h"
#include "data/TableDataset.h"

namespace VORLIN {

class ItemTable : public Interfasable {
public:
    enum Member : int32_t {
        Size = 0,
        Head,
        Next,
        RemoveAll,
        RemoveAt,
        Open,
        Copy,
        GetColumnListValues,
        GetRowAt,
        InsertRow,
        MultiSort,
    };

    explicit ItemTable(const String& table);
    ~ItemTable() override;

    static int32_t classNumber();

    DataItem execute(const String& name, const DataRow* args) override;
    bool hasMember(const String& name) override;

    const String& tableName() const noexcept { return table_; }
    TableDataset& set() noexcept { return *set_; }
    // The set's rows (when it owns them), deleted ones waiting included.
    void reportOwned(OwnedParts& parts) override;

private:
    String table_;
    std::unique_ptr<TableDataset> set_;
    int position_ = 0;
};

}  // namespace VORLIN
