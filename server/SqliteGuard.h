// SqliteGuard: configures every SQLite connection of the server for SQL
// that comes from clients nobody vouches for.
//
// Once a data folder is registered with allowRoot(), every SQLite
// connection the process opens afterwards (the sessions' own, and the ones
// the local back end opens for itself, as in updateDatabase) is configured
// defensively: SQLITE_DBCONFIG_DEFENSIVE on, the schema not trusted,
// extension loading off, the FTS3 tokenizer registration off, and an
// authorizer that refuses, with SQLite's "not authorized":
// - ATTACH DATABASE and VACUUM INTO except of a literal file name that
//   resolves beneath a registered folder to a regular file or to nothing
//   yet (":memory:" and the empty name of a temporary database too); URI
//   names, "." and ".." parts and links that leave the folder are refused;
// - the functions fts3_tokenizer and load_extension (both hand a client
//   the process's code addresses or libraries);
// - pragmas whose effect reaches beyond the client's own connection: the
//   process-wide heap limits (hard_heap_limit, soft_heap_limit) and
//   temporary folders (temp_store_directory, data_store_directory), and
//   setting locking_mode (an exclusive lock would outlive every
//   transaction), mmap_size, or a cache_size above 64 MiB (pages counted at
//   4 KiB).
//
// Threads: allowRoot from any thread; the authorizer runs on the thread of
// the statement. Nothing throws.
#pragma once

#include <string>

struct sqlite3;

class SqliteGuard {
public:
    // The largest page cache a client may ask for, in KiB.
    static constexpr long long kMaxCacheKiB = 64 * 1024;

    // Registers a data folder (made absolute and real first) and, the first
    // time, the automatic extension that configures new connections.
    static void allowRoot(const std::string& folder);
    // Configures one connection (done automatically for the connections
    // opened after allowRoot).
    static void guard(sqlite3* db);
    // Whether `file` (as an ATTACH names it) lies inside a registered folder.
    static bool isAllowedFile(const char* file);
    // Whether the pragma (name, value or null) may run for a client.
    static bool isAllowedPragma(const char* name, const char* value);
};
