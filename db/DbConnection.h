// DbConnection: the one abstract type through which the rest of the system
// talks to a database, whatever the back end (a folder of local SQLite
// files, a MySQL server, an ODBC data source, the remote SQLite service).
//
// Every operation has a harmless default (false, 0, an empty value, or
// nothing), so a back end overrides only what it supports and callers may
// rely on the defaults. A back end writes the full text of every failure
// into lastError and then throws a GeneralException carrying exactly that
// text; connect instead answers false and leaves the reason in lastError.
//
// Ownership: owned by whoever created it, destroyed through the virtual
// destructor (which closes the native connection). Out-parameters stay the
// caller's; queryNewDataRow hands a new row to the caller.
// Threads: one thread at a time uses a connection object; only interrupt()
// and dropLink() may be called from another thread while it works.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/DataItem.h"
#include "core/DateDay.h"
#include "core/DateTime.h"
#include "core/String.h"
#include "data/TableStore.h"

namespace VORLIN {

class DataRow;
class DataSet;
class DbCursor;
class TableDataset;

// Something that can show progress text while a long operation runs (the
// wait window of the desktop client); optional everywhere.
class WaitWindow {
public:
    virtual ~WaitWindow() = default;
    virtual void showText(const String& text) = 0;
};

class DbConnection : public TableStore {
public:
    DbConnection() = default;
    virtual ~DbConnection() = default;
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    // --- connection and databases ---
    virtual bool connect(const String& host, const String& user, const String& password,
                         bool interactive, const String& database);
    virtual void disconnect();
    virtual void createDatabase(const String& name, bool addExtension);
    virtual bool openDatabase(const String& name, bool addExtension, const String& user,
                              const String& password);
    virtual void listDatabases(DataSet* out, const String& mask);
    virtual bool databaseExists(const String& name, bool addExtension);
    virtual bool isConnected();
    // host, "|", database on OK; "" on cancel.
    virtual String browseDatabase(const String& host, const String& arg2, const String& arg3);

    // --- transactions ---
    virtual void beginTransaction();
    virtual void commitTransaction();
    virtual void rollbackTransaction();

    // --- statements and queries ---
    void execute(const String& sql) override;
    virtual void executeFile(const String& path);
    int32_t executeInsert(const String& sql) override;
    // Inserts one row: `prefix` ("INSERT INTO t(a,b) VALUES(") followed by
    // the SQL literals of its values, joined by "," and closed by ")". For
    // many rows of one table (the text import): a back end that can prepare
    // statements prepares the statement once and binds each row's values;
    // this default runs the text through execute(). Throws as execute does;
    // a failing row inserts nothing.
    virtual void insertLiterals(const String& prefix, const std::vector<std::string>& literals);
    virtual DataItem queryItem(const String& sql);
    virtual int32_t queryInt(const String& sql);
    virtual String queryString(const String& sql);
    virtual double queryDouble(const String& sql);
    virtual DateTime queryDateTime(const String& sql);
    virtual DateDay queryDate(const String& sql);
    void queryDataRow(const String& sql, DataRow* row) override;
    // A new row owned by the caller, or null.
    virtual DataRow* queryNewDataRow(const String& sql);
    virtual void queryDataset(const String& sql, DataSet* out, const String& types, bool append);
    virtual void queryModel(const String& table, TableDataset* out);
    virtual void queryColumns(const String& sql, DataSet* out);

    // --- catalogue and tables ---
    virtual void listTables(DataSet* out);
    // 1 when filled.
    virtual int getTableInfo(const String& table, DataSet* out);
    virtual void openTable(TableDataset* out, const String& where, const String& orderBy);
    virtual void openTable(TableDataset* out, const String& table, const String& where,
                           const String& orderBy);
    virtual bool tableExist(const String& table);
    virtual String getCreateTable(const String& table);
    virtual bool updateDatabase(const String* schema, DataSet* defaults, WaitWindow* wait);
    virtual int32_t nextCounter(const String& table, const String& where, const String& column);
    virtual String getHost();
    virtual String getAlias();
    // Appends the dump; a dump that cannot be produced throws (what was
    // appended so far is then no dump).
    virtual void exportSql(String* out, bool withSchema);
    // Writes the dump of exportSql into the file `path`: into a temporary
    // file beside it first, renamed over `path` only when complete, so a
    // failure never leaves an empty or partial file under that name. Throws
    // the dump's failure or "exportSql: no se pudo escribir el archivo %s".
    void exportSqlToFile(const String& path, bool withSchema);
    virtual void createCursor(const String& sql, DbCursor* cursor);
    virtual void backupDatabase(const String& file, bool overwrite, int32_t reserved);
    // Stops the statement this connection is running or waiting on (a lock,
    // the server), which then fails with the back end's error; callable from
    // any thread. Nothing happens when nothing runs. Base: does nothing.
    virtual void interrupt();
    // Ends the link to a server at once, from any thread, so that a request
    // still waiting for its answer fails now; the connection is then no
    // longer connected. For the program's end, when a read it gave up still
    // waits. Base: interrupt().
    virtual void dropLink();
    virtual void setLabel(const String& label);
    virtual String getLabel();

    // --- operations of the remote SQLite service only ---
    virtual int32_t remoteTextQuery(const String& text);
    virtual void remoteIntCommand(int32_t value);
    virtual int32_t remoteIntQuery(int32_t value);
    virtual int32_t remoteIntQuery2(int32_t value);
    virtual void remoteCommand();
    virtual void remoteNotify();
    virtual void uploadFile(const String& fileName, int32_t flags, const void* data,
                            uint32_t length, const String& folder);
    // The downloaded bytes (owned by the connection) and their length, or null.
    virtual const uint8_t* downloadFile(const String& fileName, uint32_t* length,
                                        const String& folder);
    virtual String remoteFileText(const String& fileName, const String& folder);
    virtual void listFiles(DataSet* out);

    const String& lastError() const noexcept { return lastError_; }
    const String& defaultFolder() const noexcept { return defaultFolder_; }
    void setDefaultFolder(const String& folder) { defaultFolder_ = folder; }

protected:
    // Runs the counter algorithm shared by the back ends: an UPDATE that
    // increments the column, then a SELECT of the new value.
    int32_t commonNextCounter(const String& table, const String& where, const String& column);
    // Stores `text` as the last error and throws it.
    [[noreturn]] void fail(const String& text);
    // Loads `table` into `out` for a back end without row ids: the column
    // model, the key column `key`, the rows, then change tracking on again
    // (also when loading fails). A table without a key (key < 0) is read
    // only, since no edit could address its rows.
    void loadKeyedTable(TableDataset* out, const String& table, int key, const String& where,
                        const String& orderBy);

    String lastError_;
    String label_;
    String defaultFolder_;
};

}  // namespace VORLIN
