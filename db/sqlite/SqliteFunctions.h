// SqliteFunctions: the scalar SQL functions registered on every SQLite
// database the program opens: MaskZeros, HumanDate, difDate, formatSerFol,
// restaDias, firstToken, isoWeek, isoWeekYear, formatDate, randomStr and
// randomInt.
//
// Dates given as text are read with the DateTime text parser; a float is
// taken as a Julian day number. Every function answers NULL for a NULL
// first argument. Widths are bounded so that SQL cannot make a function
// allocate without limit; they are registered as innocuous, so views,
// triggers and defaults may use them where the schema is not trusted.
// Registration failures are returned as SQLite result codes; the functions
// themselves never throw.
#pragma once

struct sqlite3;

namespace VORLIN {

class SqliteFunctions {
public:
    // Registers the eleven functions on `db`; returns SQLITE_OK or the first error.
    static int registerAll(sqlite3* db);
};

}  // namespace VORLIN
