// ScriptRegisters: the one row of 16 predefined script variables that every
// compiled script function binds its predefined names to, so that all
// functions share them ("_RETURN_", "lastError", "_REG_", "_CONCAT_", ...).
//
// The row is process-wide: create() makes a new one (deleting any earlier
// one) with the initial contents below, destroy() deletes it at exit (and
// lets tests start over). "gestor" and "app" hold object references to the
// environment (not owned). The cells carry the predefined names as column
// names, so a cell can also be found by its name.
//
// Ownership: the row belongs to this class; cells that the running scripts
// fill may own objects, which die with the row (create() and destroy() hand
// them to the script collector, ObjectCollector::releasePending, which first clears
// every reference the scripts still hold to them). Nothing here throws except
// allocation failures. Not synchronised: the UI thread only.
#pragma once

#include "core/DataItem.h"

namespace VORLIN {

class DataRow;
class Entorno;

class ScriptRegisters {
public:
    enum Cell : int {
        Null = 0,        // "NULL"
        Return = 1,      // "_RETURN_"
        Parent = 2,      // "parent"
        Dlg = 3,         // "dlg"
        Interfases = 4,  // "interfases" (reserved, stays empty)
        Config = 5,      // "config" (reserved)
        Gestor = 6,      // "gestor": the environment
        Excel = 7,       // "excel" (reserved)
        Screen = 8,      // "screen" (reserved)
        CurrentRow = 9,  // "currentRow" (reserved)
        CrLfR = 10,      // "-r": "\r\n"
        LastError = 11,  // "lastError"
        App = 12,        // "app": the environment
        CrLf = 13,       // "_CRLF_": "\r\n"
        Reg = 14,        // "_REG_": scratch of compiled conditions
        Concat = 15,     // "_CONCAT_": scratch of concatenations
    };
    static constexpr int kCount = 16;
    // The variable names of the cells, in cell order.
    static const char* const kNames[kCount];

    // A new row with the initial contents; `environment` (may be null) is
    // what "gestor" and "app" refer to. Answers the row.
    static DataRow* create(Entorno* environment);
    // Deletes the row (nothing when there is none).
    static void destroy();
    // The row, or null before create.
    static DataRow* row() noexcept;
    // A cell, or null when there is no row.
    static DataItem* cell(Cell c) noexcept;
    // The cell of a predefined name, or null.
    static DataItem* cellByName(TextRef name) noexcept;
};

}  // namespace VORLIN
