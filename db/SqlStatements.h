// SqlStatements: splits the text of a SQL file into its statements, for
// back ends whose native call runs one statement at a time (ODBC drivers)
// and for callers that look at what a file holds.
//
// A ";" ends a statement unless it stands inside a quoted text ('...'),
// a quoted name ("...", `...`, [...]), a comment (-- to the end of the
// line, # to the end of the line, /* ... */) or the BEGIN ... END body of
// a CREATE TRIGGER. A doubled quote stands for itself; a backslash is an
// ordinary character (every connection of the system runs MySQL sessions
// with NO_BACKSLASH_ESCAPES). Statements are answered with the white space
// around them trimmed and without the ";"; empty ones (only white space or
// comments) are left out. Comments stay inside the statement text.
//
// Pure functions; nothing here throws.
#pragma once

#include <vector>

#include "core/String.h"

namespace VORLIN {

class SqlStatements {
public:
    static std::vector<String> split(const String& sql);
    // The first word of a statement, upper case, after white space and
    // comments ("" when it starts with something else).
    static String firstWord(const String& statement);
};

}  // namespace VORLIN
