// ScriptArgs: how scriptable members read the argument row they are called
// with.
//
// Arguments are read by position. An argument that is a variable reference
// (or an item reference made by the engine) is read through: its value is
// the item it designates (Variable::follow). A missing argument (no row, or
// a row too short) is the row's index failure: GeneralException
// "DataRow[]: indice fuera de rango".
//
// Nothing is owned or kept; results point into the row or into the items
// the references designate. UI thread only.
#pragma once

#include <cstdint>

#include "core/DataItem.h"
#include "core/String.h"

namespace VORLIN {

class DataRow;

class ScriptArgs {
public:
    // Number of arguments (0 without a row).
    static int count(const DataRow* args) noexcept;
    static bool has(const DataRow* args, int n) noexcept { return n >= 0 && n < count(args); }

    // The value of argument `n`, references followed.
    static const DataItem& value(const DataRow* args, int n);
    static String text(const DataRow* args, int n) { return value(args, n).text(); }
    static int32_t toInt(const DataRow* args, int n) { return value(args, n).toInt(); }
    static double toDouble(const DataRow* args, int n) { return value(args, n).toDouble(); }
    static bool toBool(const DataRow* args, int n) { return value(args, n).toBool(); }

    // The item a "variable" argument designates, for the member to write
    // into; null when the reference leads nowhere (a member the object does
    // not have). An argument that is no variable reference throws
    // "DataItem.operator >> : DataItem is not a reference".
    static DataItem* variable(const DataRow* args, int n);

private:
    static const DataItem& cell(const DataRow* args, int n);
};

}  // namespace VORLIN
