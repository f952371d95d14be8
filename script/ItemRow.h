// ItemRow: a script object that wraps one DataRow (made by "Row(n)").
//
// Its one member of its own is "queryDataRow" (sql text, connection
// object), which fills the row through the connection object's connection;
// every other member, and every member item, is the wrapped row's
// (DataRow's "size", "getItem", "setNames", a cell by column name, ...).
//
// Ownership: owns the row (none when made with fewer than one cell).
// Throws "DataRow.queryDataRow: no se especificó la conexion" without a
// connection object, and whatever the row and the connection throw. The UI
// thread only.
#pragma once

#include <memory>

#include "core/Interfasable.h"
#include "data/DataRow.h"

namespace VORLIN {

class ItemRow : public Interfasable {
public:
    // A row of `count` cells; none below 1.
    explicit ItemRow(int count);

    DataItem* getMemberItem(const String& name) override;
    DataItem execute(const String& name, const DataRow* args) override;
    bool hasMember(const String& name) override;

    DataRow* row() const noexcept { return row_.get(); }
    // The wrapped row.
    void reportOwned(OwnedParts& parts) override { parts.object(row_.get()); }

private:
    std::unique_ptr<DataRow> row_;
};

}  // namespace VORLIN
