// SqliteGuard: keeps the SQL a client sends from reaching files outside the
// server's data folders.
//
// SQL can name files of its own: ATTACH DATABASE '<file>' and VACUUM INTO
// '<file>' open or create them. Once a data folder is registered with
// allowRoot(), every SQLite connection the process opens afterwards (the
// sessions' own, and the ones the local back end opens for itself, as in
// updateDatabase) gets an authorizer that lets such a statement through only
// for a literal file name that lies inside a registered folder (":memory:"
// and the empty name of a temporary database are allowed too), and refuses
// the pragmas that move SQLite's temporary files elsewhere. Refused
// statements fail with SQLite's "not authorized".
//
// Threads: allowRoot from any thread; the authorizer runs on the thread of
// the statement. Nothing throws.
#pragma once

#include <string>

struct sqlite3;

class SqliteGuard {
public:
    // Registers a data folder (made absolute and real first) and, the first
    // time, the automatic extension that installs the authorizer.
    static void allowRoot(const std::string& folder);
    // Installs the authorizer on one connection (done automatically for the
    // connections opened after allowRoot).
    static void guard(sqlite3* db);
    // Whether `file` (as an ATTACH names it) lies inside a registered folder.
    static bool isAllowedFile(const char* file);
};
