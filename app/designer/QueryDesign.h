// QueryDesign: what the query designer composes: the statement type
// (kSelect 1, kUpdate 2, kDelete 4, the values of the "Tipo: " list), the
// design rows (one per design column, with the grid's columns for that
// type: titles, widths, kinds, choice lists and allowed characters) and
// the ordered list of relations between tables (used by SELECT only).
//
// Cells are texts, addressed by row and column title (the titles are also
// the attribute names of a saved design). A check-box cell ("Ver",
// "Grupo") holds "1" when set and "0" when clear; any other text counts as
// set unless it is empty, "0", "false" or "no".
//
// Ownership: value type (copyable; the designer memory keeps a copy).
// Threads: one at a time. Throws GeneralException for a type that is not
// 1, 2 or 4, a row index out of range and a column title the type does not
// have (when writing a cell).
#pragma once

#include <vector>

#include "core/String.h"

// One relation (join) between two tables of the design.
struct TableRelation {
    VORLIN::String tabla1;
    VORLIN::String tabla2;
    VORLIN::String campo1;
    VORLIN::String campo2;
    VORLIN::String join{"INNER JOIN"};
    // "Tabla1.Campo1 = Tabla2.Campo2", the text the relations list shows.
    VORLIN::String condition() const;
    bool operator==(const TableRelation&) const = default;
};

// One column of the design grid.
struct DesignColumn {
    enum Kind { Text, Check, Choice };
    const char* title;
    int width;  // grid units
    Kind kind;
    const char* choices;  // Choice: comma-separated, the first one empty
    const char* allowed;  // characters a cell accepts (UTF-8); "" = any
};

class QueryDesign {
public:
    static constexpr int kSelect = 1;
    static constexpr int kUpdate = 2;
    static constexpr int kDelete = 4;
    static constexpr const char* kTypeList = "Tipo: ";
    static constexpr const char* kGridTitle = "Columnas de la consulta";
    static constexpr const char* kFilterChars =
        "abcdefghijklmnñopqrstuvwxyzABCDEFGHIJKLMNÑOPQRSTUVWXYZ0123456789_ "
        "'%.,:?()|#&áéíóú=></*-+";
    static constexpr const char* kAliasChars =
        "abcdefghijklmnñopqrstuvwxyzABCDEFGHIJKLMNÑOPQRSTUVWXYZ0123456789_áéíóú";
    static constexpr const char* kBadType = "QueryDesign: tipo de consulta inválido (%d)";
    static constexpr const char* kBadRow = "QueryDesign: fila fuera de rango (%d)";
    static constexpr const char* kBadColumn = "QueryDesign: columna desconocida (%s)";

    static bool isValidType(int type) noexcept {
        return type == kSelect || type == kUpdate || type == kDelete;
    }
    // "SELECT", "UPDATE", "DELETE"; "" for another number.
    static const char* typeName(int type) noexcept;
    // The grid's columns of that type, in grid order (throws for a bad type).
    static const std::vector<DesignColumn>& columnsFor(int type);
    // Whether a check-box cell text counts as set.
    static bool isSet(const VORLIN::String& text);
    // Whether every character of `text` (UTF-8) is one the column allows
    // (always, for a column without a character set). The grid filters
    // what is typed with it; cells read from a file are kept as they are.
    static bool accepts(const DesignColumn& column, VORLIN::TextRef text);

    explicit QueryDesign(int type = kSelect);

    int type() const noexcept { return type_; }
    // Changes the type: every row and relation goes, as the "Tipo: " list
    // does; setting the same type does that too.
    void setType(int type);
    const std::vector<DesignColumn>& columns() const { return columnsFor(type_); }
    // The column's index in columns(), -1 when the type has no such column.
    int columnIndex(VORLIN::TextRef title) const;

    int rowCount() const noexcept { return int(rows_.size()); }
    bool isEmpty() const noexcept { return rows_.empty(); }
    // Appends a row for a column chosen in the tree ("Ver" set in a SELECT
    // design); answers its index.
    int addRow(const VORLIN::String& table, const VORLIN::String& column);
    // An empty row (every cell "", check boxes clear).
    int addEmptyRow();
    void removeRow(int row);
    // The cells of a row, in columns() order.
    const std::vector<VORLIN::String>& row(int row) const;
    // The cell's text; "" for a title the type does not have.
    VORLIN::String cell(int row, VORLIN::TextRef title) const;
    void setCell(int row, VORLIN::TextRef title, VORLIN::TextRef text);
    bool checked(int row, VORLIN::TextRef title) const { return isSet(cell(row, title)); }
    void setChecked(int row, VORLIN::TextRef title, bool on) {
        setCell(row, title, on ? "1" : "0");
    }

    const std::vector<TableRelation>& relations() const noexcept { return relations_; }
    void addRelation(const TableRelation& relation) { relations_.push_back(relation); }
    void setRelation(int index, const TableRelation& relation);
    void removeRelation(int index);

    // The distinct non-empty table names of the rows, in row order (the
    // tables "+" offers for a new relation).
    std::vector<VORLIN::String> tables() const;
    // "Limpiar": every relation and every row go; the type stays.
    void clear() noexcept;

    bool operator==(const QueryDesign&) const = default;

private:
    void checkRow(int row) const;

    int type_ = kSelect;
    std::vector<std::vector<VORLIN::String>> rows_;
    std::vector<TableRelation> relations_;
};
