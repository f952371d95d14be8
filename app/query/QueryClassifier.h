// QueryClassifier: what "Ejecutar" does with a statement text, decided
// without running anything, and the reading of a plain table statement
// ("SELECT * FROM table [WHERE condition] [ORDER BY order][;]") whose rows
// the grid may edit.
//
// Words are found as tokens of the text: never inside quoted literals or
// quoted names ('...', "...", `...`, [...]) nor inside comments, and only
// as whole words ("nowhere" is not WHERE). The first word decides:
// "SELECT * FROM" is table mode when the rest is exactly one table name
// (plain or quoted) followed only by a WHERE condition and an ORDER BY
// order; anything more (joins, several tables, LIMIT, GROUP BY, a
// subquery, an alias, a second statement) is a read-only query. "SELECT"
// and "PRAGMA" are queries; "VACUUM" is a clean-up; "CREATE", "DROP",
// "DELETE", "UPDATE" and "REPLACE" are commands; anything else (INSERT
// among them) runs as a query.
//
// Ownership: values only. Thread use: any (no state). Throws nothing.
#pragma once

#include "core/String.h"

class QueryClassifier {
public:
    // The messages of a run that ends well (shown with "INFO").
    static constexpr const char* kVacuumDone = "Limpieza terminada";
    static constexpr const char* kCommandDone = "Comando completado";

    enum class Kind {
        Empty,    // nothing to run
        Table,    // editable rows of one table (table, where, orderBy)
        Query,    // read-only rows of the statement
        Vacuum,   // executed; message kVacuumDone
        Command,  // executed, in a transaction when asked; message kCommandDone
    };

    struct TableSelect {
        VORLIN::String table;    // the name as the table has it (quotes taken off)
        VORLIN::String where;    // the condition, or empty
        VORLIN::String orderBy;  // the order with runs of spaces reduced, or empty
    };

    struct Result {
        Kind kind = Kind::Empty;
        VORLIN::String text;  // the statement, trimmed
        TableSelect select;   // for Kind::Table
        // For commands: CREATE and DROP change the list of tables.
        bool changesTables = false;
        // The message a successful run shows, or empty.
        const char* message() const;
    };

    static Result classify(const VORLIN::String& text);
    // True (and `out` filled) when `text` is a plain table statement.
    static bool parseTableSelect(const VORLIN::String& text, TableSelect& out);
};
