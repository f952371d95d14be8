// SqliteLocalConnection: the DbConnection over SQLite database files kept
// in one folder of the local disk. The folder is the host (it always ends
// with "/"); each database is one file in it, normally the database name
// followed by ".db". The configuration store is such a database too.
//
// Results are read with one prepared statement in a single pass; column
// kinds are decided once per statement (see SqliteCursor.h for the kinds
// and the per-operation orders of the declared-type tests).
//
// Lock contention: every open database has a busy handler that sleeps and
// retries inside SQLite (500 ms steps, by default for up to a minute); when
// SQLite still answers SQLITE_BUSY or SQLITE_LOCKED, preparing (200 ms
// pauses), stepping and executing (100 ms pauses) retry for a bounded time
// (10 s by default) and then fail with the usual texts and SQLite's error.
// Both bounds are settings (setBusyLimits) and both count from the start of
// the statement, so a statement on a locked database fails after at most
// their sum. interrupt() stops a waiting or running statement from another
// thread (it then fails with SQLite's "interrupted" or the lock error).
//
// Ownership: the connection owns its sqlite3 handle and closes it on
// openDatabase(""), disconnect and destruction (a cursor still holding a
// statement keeps the handle alive until the cursor is gone). Every other
// statement is finalized before the operation returns.
// Threads: one thread at a time per connection object (the handle is
// opened without SQLite's own mutex), except interrupt(), which any thread
// may call; other processes may share the files.
// Throws GeneralException carrying lastError() for every failure, and
// "No se ha abierto ninguna base de datos" from the operations that need an
// open database; connect and databaseExists answer false instead, and
// tableExist answers false when its query fails.
//
// Values: SQL NULL reads as a null item whatever the column kind, an
// integer beyond 32 bits as a text item with its digits, and a value that
// does not fit the kind of its declared column keeps its stored class ('abc'
// in an INTEGER column, 'pendiente' in a DATE column, a blob anywhere but an
// IMAGE column), so that a cell shows and writes back what is stored.
// Dumps (exportSql) write every value by its stored class (SqliteDump).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "db/DbConnection.h"
#include "db/sqlite/SqliteCursor.h"

struct sqlite3;
struct sqlite3_stmt;

namespace VORLIN {

enum class SqliteKind : uint8_t;

class SqliteLocalConnection : public DbConnection {
public:
    static constexpr int kDefaultHandlerMillis = 60000;  // 120 calls of 500 ms
    static constexpr int kDefaultRetryMillis = 10000;
    static constexpr const char* kNoDatabase = "No se ha abierto ninguna base de datos";
    static constexpr const char* kNoTransaction = "No se ha iniciado una transacción";

    SqliteLocalConnection();
    ~SqliteLocalConnection() override;

    // --- connection and databases ---
    // host: a folder. database "-": only remember the folder. When the
    // folder is empty or missing, or the database is not there, the
    // installed ConnectionDialogs are asked (without them: false).
    bool connect(const String& host, const String& user, const String& password, bool interactive,
                 const String& database) override;
    void disconnect() override;
    // Throws "SqliteLocalConnection.createDatabase %s: File exists" when the
    // file is already there.
    void createDatabase(const String& name, bool addExtension) override;
    // An empty name closes the database; a missing file is created; a file
    // that is not an SQLite database throws "El archivo no es una base de
    // Sqlite3" and leaves no database open.
    bool openDatabase(const String& name, bool addExtension, const String& user,
                      const String& password) override;
    bool openDatabase(const String& name, bool addExtension) {
        return openDatabase(name, addExtension, String(), String());
    }
    // Clears `out` and adds one row per matching file of the folder, sorted by
    // name: "name" (string), "size" (double, bytes), "modified" (date, local
    // time). An empty mask means "*.db", "*" every file; masks are fnmatch
    // patterns.
    void listDatabases(DataSet* out, const String& mask) override;
    bool databaseExists(const String& name, bool addExtension) override;
    bool isConnected() override { return !folder_.isEmpty(); }
    String browseDatabase(const String& host, const String& arg2, const String& arg3) override;

    // --- transactions ---
    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;

    // --- statements and queries ---
    void execute(const String& sql) override;
    void executeFile(const String& path) override;
    int32_t executeInsert(const String& sql) override;
    // The rows the last statement of `sql` matched (SQLite counts every
    // row an UPDATE's WHERE selects, changed or not).
    int64_t executeMatched(const String& sql) override;
    // One prepared statement per prefix, kept until the database closes or
    // another prefix comes; literals SQLite cannot take as bound values
    // (blobs) run as text.
    void insertLiterals(const String& prefix, const std::vector<std::string>& literals) override;
    DataItem queryItem(const String& sql) override;
    int32_t queryInt(const String& sql) override;
    String queryString(const String& sql) override;
    double queryDouble(const String& sql) override;
    DateTime queryDateTime(const String& sql) override;
    DateDay queryDate(const String& sql) override;
    void queryDataRow(const String& sql, DataRow* row) override;
    DataRow* queryNewDataRow(const String& sql) override;
    void queryDataset(const String& sql, DataSet* out, const String& types, bool append) override;
    void queryModel(const String& table, TableDataset* out) override;
    void queryColumns(const String& sql, DataSet* out) override;

    // --- catalogue and tables ---
    void listTables(DataSet* out) override;
    int getTableInfo(const String& table, DataSet* out) override;
    void openTable(TableDataset* out, const String& where, const String& orderBy) override;
    void openTable(TableDataset* out, const String& table, const String& where,
                   const String& orderBy) override;
    bool tableExist(const String& table) override;
    String getCreateTable(const String& table) override;
    // Builds the new database beside the open one, carries the data of every
    // table both have (by column names), inserts the default rows into
    // tables left empty, then swaps the files. Whatever step fails, the
    // original file stays under its name, untouched, and stays open.
    bool updateDatabase(const String* schema, DataSet* defaults, WaitWindow* wait) override;
    int32_t nextCounter(const String& table, const String& where, const String& column) override;
    String getHost() override { return folder_; }
    String getAlias() override { return alias_; }
    void exportSql(String* out, bool withSchema) override;
    // `cursor` must be a SqliteCursor.
    void createCursor(const String& sql, DbCursor* cursor) override;
    void backupDatabase(const String& file, bool overwrite, int32_t reserved) override;

    // Stops the statement running or waiting for a lock (thread-safe).
    void interrupt() override;

    // --- settings and state ---
    // How long the busy handler waits inside SQLite (in steps of at most
    // 500 ms) and how long the prepare, step and execute loops go on
    // retrying afterwards, both from the start of the statement. Negative
    // values count as 0.
    void setBusyLimits(int handlerMillis, int retryMillis);
    int busyHandlerMillis() const noexcept { return handlerMillis_; }
    int retryMillis() const noexcept { return retryMillis_; }

    // The open handle (owned by the connection), or null.
    sqlite3* handle() const noexcept { return db_; }
    const String& folder() const noexcept { return folder_; }
    const String& database() const noexcept { return database_; }
    bool inTransaction() const noexcept { return inTransaction_; }

protected:
    // File steps of updateDatabase, one attempt each; virtual so that tests
    // can make one fail. keepCopy makes `to` a second name (or a copy) of
    // `from`; replaceFile renames `from` over `to` in one step.
    virtual bool keepCopy(const String& from, const String& to);
    virtual bool replaceFile(const String& from, const String& to);
    // The name of a file updateDatabase keeps beside `database` for a while
    // (`role` "_TMP_" for the new file, "_TMP_OLD_" for the old one's second
    // name): unique to this process and call, so that two updates of one
    // file (two programs, two sessions of a server) never share one.
    virtual String temporaryName(const char* role, const String& database);

private:
    void requireDatabase();
    void closeHandle() noexcept;
    void dropInsertStatement() noexcept;
    // Opens `path` (creating it when `create`), installs the busy handler
    // and the SQL functions; on failure throws the error name.
    void openHandle(const String& path, bool create);
    void setNames(const String& name, bool addExtension);
    String pathOf(const String& name, bool addExtension) const;

    // Runs every statement of `sql`; on failure throws "<phase> %s:\r\n%s".
    void run(const String& sql, const char* phase);
    // Prepares with the busy retry; on failure throws `phase` %s:\r\n%s.
    sqlite3_stmt* prepare(const String& sql, const char* phase);
    [[noreturn]] void failSql(const char* phase, int rc, const String& sql);
    // A statement starts: its wait for locks is counted from now. `fresh`:
    // it starts an operation, and an earlier interrupt is forgotten.
    void startWait(bool fresh = true) noexcept;
    // The retry bound of the statement started last.
    SqliteRetry retryBound() const noexcept;
    // Steps with the busy retry of the statement started last.
    int stepRetry(sqlite3_stmt* st);
    // Steps once for the scalar queries: true on a row.
    bool stepScalar(sqlite3_stmt* st, const String& sql);
    void readModel(sqlite3_stmt* st, DataSet* out, bool stepped);
    int findKeyColumn(const String& table);
    // Names the table on `out`, finds its key (row-id mode without one) and
    // reads its column model: what openTable does before loading rows.
    void bindTable(TableDataset* out, const String& table);
    // Prepares the SELECT of the rows of a bound table (the text goes to
    // `sql`) and gives the kind of each column by the set's model.
    sqlite3_stmt* prepareRows(const TableDataset& set, const String& where, const String& orderBy,
                              String& sql, std::vector<SqliteKind>& kinds);
    bool isView(const String& table);
    bool retryFileStep(bool (SqliteLocalConnection::*step)(const String&, const String&),
                       const String& from, const String& to);
    void copyTables(SqliteLocalConnection& fresh, WaitWindow* wait);
    void insertDefaults(SqliteLocalConnection& fresh, DataSet* defaults, WaitWindow* wait);

    static int busyHandler(void* self, int count);

    sqlite3* db_ = nullptr;
    // insertLiterals' statement, its prefix and its number of values.
    sqlite3_stmt* insertStatement_ = nullptr;
    std::string insertPrefix_;
    size_t insertValues_ = 0;
    std::string insertText_;  // scratch: a text value without its quotes
    String folder_;
    String database_;
    String alias_;
    bool inTransaction_ = false;
    int handlerMillis_ = kDefaultHandlerMillis;
    int retryMillis_ = kDefaultRetryMillis;
    SqliteRetry::Clock::time_point waitStart_{};
    std::atomic<bool> interrupted_{false};
    // Guards db_ against interrupt() from another thread while it is
    // opened or closed.
    std::mutex handleMutex_;
};

}  // namespace VORLIN
