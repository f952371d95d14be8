// TableJoinLogic: what the window "Relación entre tablas" (TableJoinDlg)
// holds and checks: the tables it offers (the design's tables), for each
// side the chosen table, the columns of that table (asked of the designer,
// which reads them from its tree of the connection) and the chosen
// column, and the join type with what it means. relation() builds the
// TableRelation the designer adds or replaces.
//
// Sides are 0 ("Tabla 1: ") and 1 ("Tabla 2: "). Choosing a table empties
// that side's column list and refills it; a column chosen before is lost.
//
// Ownership: value type; the column source is called while the logic
// lives and must outlive it. Threads: the UI thread (the source may read
// the connection). Throws GeneralException from relation() with
// kIncomplete or kSameTable, and from the choosers for an index out of range.
#pragma once

#include <functional>
#include <vector>

#include "app/designer/QueryDesign.h"
#include "core/String.h"

class TableJoinLogic {
public:
    static constexpr const char* kTitle = "Relación entre tablas";
    static constexpr const char* kTable1 = "Tabla 1: ";
    static constexpr const char* kTable2 = "Tabla 2: ";
    static constexpr const char* kField = "Campo: ";
    static constexpr const char* kJoin = "Relación: ";
    static constexpr const char* kIncomplete =
        "Seleccione las dos tablas y el campo de cada una";
    static constexpr const char* kSameTable = "Seleccione dos tablas distintas";
    static constexpr const char* kBadIndex = "TableJoinLogic: índice fuera de rango (%d)";

    // The columns of a table, in the order the tree shows them.
    using ColumnSource = std::function<std::vector<VORLIN::String>(const VORLIN::String& table)>;

    // `tables`: the tables offered; `start`: a relation being edited (its
    // tables are offered even when the design no longer has them), or null.
    TableJoinLogic(std::vector<VORLIN::String> tables, ColumnSource columns,
                   const TableRelation* start = nullptr);

    const std::vector<VORLIN::String>& tables() const noexcept { return tables_; }
    // -1 when no table is chosen on that side.
    int table(int side) const { return side_[index(side)].table; }
    VORLIN::String tableName(int side) const;
    // The chosen table's columns ("*" is not one: a join needs a column).
    const std::vector<VORLIN::String>& columns(int side) const {
        return side_[index(side)].columns;
    }
    int column(int side) const { return side_[index(side)].column; }
    VORLIN::String columnName(int side) const;

    void chooseTable(int side, int table);
    void chooseColumn(int side, int column);

    // The "Relación: " list: the four join types; a relation being edited
    // whose join is another one (typed into a design file) keeps it as a
    // fifth entry, so that editing its columns does not change it.
    std::vector<VORLIN::String> joins() const;
    int join() const noexcept { return join_; }
    void chooseJoin(int join);
    // What the chosen join gives.
    VORLIN::String meaning() const;

    // Empty when relation() would succeed, else the reason.
    VORLIN::String problem() const;
    TableRelation relation() const;

private:
    struct Side {
        int table = -1;
        std::vector<VORLIN::String> columns;
        int column = -1;
    };
    static int index(int side);
    int find(const VORLIN::String& table) const;

    std::vector<VORLIN::String> tables_;
    ColumnSource source_;
    Side side_[2];
    int join_ = 0;
    VORLIN::String otherJoin_;
};
