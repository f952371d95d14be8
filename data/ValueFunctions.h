// ValueFunctions: the functions a script calls on a value by name,
// "nombre.trimLeft(3)", "total.format(2)", "fecha.addMonth(1)".
//
// Which functions exist depends on the value's group: strings (tag
// "string"), numbers ("int" .. "double" and "currency"), dates ("date") and
// booleans ("bool"). A function either returns its result as a new item, or
// changes the value it was called on (in place) and returns a null item.
// Function names are case-sensitive.
//
// Arguments arrive as a DataRow; argument n is read as a copy, and missing
// arguments (no row, or a row too short) read as null items, so that a
// missing number reads as 0 and a missing text as "".
//
// A name that is not a function of the value's group throws
// GeneralException "DataItem.<name> not defined". Functions that convert
// text with the regional settings may throw what that conversion throws.
// The DataRow ("col.func") forwards here; nothing here keeps state.
#pragma once

#include <vector>

#include "core/DataItem.h"
#include "core/String.h"

namespace VORLIN {

class DataRow;

class ValueFunctions {
public:
    // Calls function `name` on `self` with the arguments in `args` (may be
    // null). Returns the result, or a null item for in-place functions.
    static DataItem execute(DataItem& self, const String& name, const DataRow* args);

    // The names of the functions of the group of `tag` (empty for a tag
    // without functions), in table order; for the language reference.
    static std::vector<String> names(int tag);

    // Scrambles `text` with `key`; applying it twice with the same key gives
    // the text back. An empty key leaves the text unchanged.
    static void encode(String& text, const String& key);

    // The precision "format(n)" accepts; n outside is brought into it.
    static constexpr int kMaxFormatDecimals = 20;
};

}  // namespace VORLIN
