// TableDef: the mapping of one database table for the script object layer:
// the connection that reads and writes it, its model (a TableDataset with
// the column names and kinds and the key column), its reference columns
// (each a sub-object: the column holds the key of a row of another mapped
// table) and its list references (one-to-many collections of child rows).
//
// Descriptions are built from the text that "addReference" and
// "addListReference" receive after "tabla.":
//
//   reference:  COLUMNA [": " TABLA]
//   list:       NOMBRE [": " TABLA_HIJA [" " COLUMNA_FORANEA]] [", " ORDEN [":" CONDICION]]
//
// The text is cut at the first ","; the piece before it at ": " (". " is
// accepted in its place) and then at the first blank; the remainder after
// the "," at its first ":". Pieces are trimmed. A reference names its
// referenced table (default: the column's name); a list names the child
// table (default: the list's name) and the child's column that holds the
// parent's key (default: the parent table's name), then optionally the
// ORDER BY text and an extra condition for the WHERE clause. Examples:
// "facturas.cliente: clientes", "facturas.lineas: lineas factura, id DESC:
// cantidad > 0".
//
// The model is read from the database the first time it is needed.
// Ownership: the connection is not owned (it belongs to the application);
// the TableDefs of one connection object form a catalogue shared by that
// object and by every mapped row made from it (see share()). Throws the connection's
// GeneralExceptions. The UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/String.h"
#include "data/TableDataset.h"

namespace VORLIN {

class DataRow;
class DbConnection;
class TableDef;

// One description record: five texts and a bool. For a reference, text 0 is
// the column and text 1 the referenced table; for a list, text 0 the list's
// name, 1 the child table, 2 the child's foreign-key column, 3 the order
// and 4 the extra condition.
struct RefDescription {
    String texts[5];
    bool flag = false;
    TableDef* table = nullptr;  // the referenced or child table (same catalogue)

    const String& column() const noexcept { return texts[0]; }
    const String& name() const noexcept { return texts[0]; }
    const String& foreignKey() const noexcept { return texts[2]; }
    const String& order() const noexcept { return texts[3]; }
    const String& condition() const noexcept { return texts[4]; }

    // Parses a reference ("COLUMNA: TABLA") or list description text (see the
    // header); false when the first name is missing.
    static bool parse(TextRef text, bool list, const String& ownerTable, RefDescription& out);
};

class TableDef {
public:
    TableDef(DbConnection* connection, const String& name);
    TableDef(const TableDef&) = delete;
    TableDef& operator=(const TableDef&) = delete;

    const String& name() const noexcept { return name_; }
    DbConnection* connection() const noexcept { return connection_; }
    // True when both map the same table of the same connection (two
    // connection objects on one connection have a mapping each).
    static bool sameTable(const TableDef& a, const TableDef& b) noexcept {
        return &a == &b || (a.connection_ == b.connection_ && a.name_ == b.name_);
    }
    // The catalogue this mapping belongs to (every TableDef of one
    // connection object); share() hands out pointers that keep the whole
    // catalogue alive, so that descriptions may point at other tables of
    // it (a table may even refer to itself) without owning cycles.
    void setCatalog(std::weak_ptr<void> catalog) { catalog_ = std::move(catalog); }
    std::shared_ptr<TableDef> share() { return std::shared_ptr<TableDef>(catalog_.lock(), this); }
    // The model, read on first use.
    TableDataset& model();
    int columnCount() { return model().columnCount(); }
    int keyColumn() { return model().keyColumn(); }

    // --- descriptions ---
    void addReference(std::unique_ptr<RefDescription> d) { references_.push_back(std::move(d)); }
    void addList(std::unique_ptr<RefDescription> d) { lists_.push_back(std::move(d)); }
    const RefDescription* findReference(TextRef column) const noexcept;
    const RefDescription* findList(TextRef name) const noexcept;
    const std::vector<std::unique_ptr<RefDescription>>& references() const { return references_; }
    const std::vector<std::unique_ptr<RefDescription>>& lists() const { return lists_; }

    // --- rows ---
    // A row shaped like the table (its names, kinds as null cells).
    void shape(DataRow& row);
    // Reads the row with key `key` into `row`; false when there is none.
    bool loadRow(int32_t key, DataRow& row);
    // UPDATE when `key` is not 0, else INSERT (the new key into `key` and
    // the row's key cell).
    void saveRow(DataRow& row, int32_t& key);
    void deleteRow(const DataRow& row);

private:
    DbConnection* connection_;
    std::weak_ptr<void> catalog_;
    String name_;
    std::unique_ptr<TableDataset> model_;
    std::vector<std::unique_ptr<RefDescription>> references_;
    std::vector<std::unique_ptr<RefDescription>> lists_;
};

}  // namespace VORLIN
