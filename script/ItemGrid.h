// ItemGrid: a script object over an owned DataSet (made by "Grid()" or
// "Grid(names, template)"), for scripts that work with result sets.
//
// Members (class number 3): "size", "head", "next", "deleteAll",
// "deleteAt", "deleteWhere", "queryDataset", "setColumnNames",
// "getColumnListValues", "getRowAt", "getLastRow", "insertRow",
// "addNewRow", "insertSqlRow", "merge", "sumaDe", "sumaProducto",
// "multiSort", "export". Rows are handed out as object references to the
// set's DataRows (which stay the set's).
//
// "merge" appends a row for each row of the other grid and fills it by
// column names (a grid without columns first takes the other's columns);
// "export" writes the column names and then every row as lines of
// tab-separated texts ended by CR LF. "insertSqlRow" into a grid without
// columns gives it the result's column names and kinds first.
//
// Ownership: owns the set. Rows a member removes, like the set of a grid
// that dies during a run, live on until the running script ends, so that
// the references a script holds stay valid meanwhile. Throws "DataSet: No existe la función: %s",
// "Dataset.queryDataset: no se pudo abrir la conexión",
// "Dataset.insertSqlRow: no se pudo abrir la conexión", "DataSet.export: no
// se pudo crear %s", and whatever the set and the connection throw. The UI
// thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "core/Interfasable.h"
#include "data/DataSet.h"

namespace VORLIN {

class ItemGrid : public Interfasable {
public:
    enum Member : int32_t {
        Size = 0,
        Head,
        Next,
        DeleteAll,
        DeleteAt,
        DeleteWhere,
        QueryDataset,
        SetColumnNames,
        GetColumnListValues,
        GetRowAt,
        GetLastRow,
        InsertRow,
        AddNewRow,
        InsertSqlRow,
        Merge,
        SumaDe,
        SumaProducto,
        MultiSort,
        Export,
    };

    ItemGrid();
    // Column names and template row (the column types), "|"-separated.
    ItemGrid(const String& names, const String& templ);
    ~ItemGrid() override;

    static int32_t classNumber();

    DataItem execute(const String& name, const DataRow* args) override;
    bool hasMember(const String& name) override;
    // The set's rows (when it owns them).
    void reportOwned(OwnedParts& parts) override;

    DataSet& set() noexcept { return *set_; }

    // --- shared with ItemTable ---
    // The column's value in every row separated by ","; empty for an
    // unknown column.
    static String columnListValues(const DataSet& set, const String& column);
    // Sorts by "column" or "column -" keys (unknown columns skipped).
    static void multiSort(DataSet& set, const DataRow* args);
    // The row a row argument holds (an ItemRow's, a row reference, a
    // mapped row), or null.
    static DataRow* rowOf(const DataItem& value);
    // Appends a row shaped like the set (its header, or its names).
    static DataRow* appendRow(DataSet& set);
    // Moves the position and stores a reference to the row there into
    // the variable argument (null past the end).
    static void step(DataSet& set, int& position, const DataRow* args, bool restart);
    // Merges `other` into `set` by column names.
    static void merge(DataSet& set, const DataSet& other);
    // Removes rows from the set without destroying them at once (see
    // ObjectCollector::retire): every row (filtered out or not, and a table's
    // deleted rows waiting for a save), the row at `index`, or the rows
    // whose `column` equals `value`. Called before anything that refills
    // the set, since a script may hold a row of it.
    static void dropAll(DataSet& set);
    static void dropAt(DataSet& set, int index);
    static void dropWhere(DataSet& set, int column, const DataItem& value);
    // Reports the rows the set owns (a table's deleted rows included).
    static void reportRows(const DataSet& set, OwnedParts& parts);
    // Writes the set as tab-separated text.
    static void exportTo(const DataSet& set, const String& path);

private:
    std::unique_ptr<DataSet> set_;
    int position_ = 0;
};

}  // namespace VORLIN
