// MySqlConnection: the DbConnection over a MySQL or MariaDB server, through
// the MySQL client calls of MariaDB Connector/C. Every result is read as
// text and converted into DataItems by the column's type name.
//
// The host is a server name, optionally followed by ":" and a port (no port
// means the library default). Each session is set up the same way right
// after connecting:
//   - utf8mb4 is the character set, so texts round-trip byte for byte;
//   - NO_BACKSLASH_ESCAPES: a doubled quote is the only escape inside a
//     literal, which is exactly what DataItem::sqlLiteral writes, so
//     "C:\nuevo" is stored as written;
//   - ANSI_QUOTES: TableDataset quotes odd names ("order items", "group")
//     with double quotes; without this mode MySQL would read them as text
//     literals and a WHERE "key"=0 would silently match the wrong rows.
//     Backticks keep working; a double-quoted text literal typed by the user
//     is read as a name instead.
//
// Tables: the key is the first primary-key column, else the first unique
// NOT NULL column. A table with neither is shown with its own columns, no
// key and read only; its edits are refused with kNoKeyEdit (the server has
// no row id to address a row by).
//
// Values: SQL NULL reads as a null item; an integer that does not fit in 32
// bits reads as a text item with its digits, so what is written back is
// what was read.
//
// Dumps (exportSql): with the schema, each table's SHOW CREATE TABLE text,
// then its rows as INSERT statements with every value written by its field
// type (numbers as the server sent them, binary values as X'..', NULL),
// then the views.
//
// Ownership: owns its client handle and closes it on disconnect and
// destruction. Threads: one thread at a time per object; interrupt() may be
// called from any thread (it sends KILL QUERY over a connection of its own).
// Throws GeneralException carrying lastError(): kNotConnected without a
// handle, the server's error text for failing statements. connect,
// openDatabase and tableExist answer false instead.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "db/DbConnection.h"

typedef struct st_mysql MYSQL;
typedef struct st_mysql_res MYSQL_RES;

namespace VORLIN {

class MySqlConnection : public DbConnection {
public:
    static constexpr const char* kNotConnected = "No se ha conectado a un servidor SQL";
    static constexpr const char* kNoFile = "No se encontro el archivo";
    static constexpr const char* kRowWidth = "queryRow: Diferent column number";
    static constexpr const char* kNoKeyEdit =
        "La tabla no tiene clave primaria ni columna única no nula: sus filas no se pueden "
        "modificar desde aquí";

    // The type name of a declared column type ("int(11) unsigned" -> "INT").
    static String typeOfDeclared(const String& declared);
    // The type name of a result field type code (3 -> "INT").
    static String typeOfField(int fieldType);

    MySqlConnection() = default;
    ~MySqlConnection() override;

    bool connect(const String& host, const String& user, const String& password, bool interactive,
                 const String& database) override;
    void disconnect() override;
    bool openDatabase(const String& name, bool addExtension, const String& user,
                      const String& password) override;
    void listDatabases(DataSet* out, const String& mask) override;
    bool databaseExists(const String& name, bool addExtension) override;
    bool isConnected() override { return handle_ != nullptr; }

    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;

    void execute(const String& sql) override;
    void executeFile(const String& path) override;
    int32_t executeInsert(const String& sql) override;
    // The rows an UPDATE matched (the server's "Rows matched", which counts
    // rows set to the value they had; its affected rows do not), or the
    // rows a DELETE removed.
    int64_t executeMatched(const String& sql) override;
    DataItem queryItem(const String& sql) override;
    int32_t queryInt(const String& sql) override;
    String queryString(const String& sql) override;
    double queryDouble(const String& sql) override;
    DateTime queryDateTime(const String& sql) override;
    DateDay queryDate(const String& sql) override;
    void queryDataRow(const String& sql, DataRow* row) override;
    DataRow* queryNewDataRow(const String& sql) override;
    // Clears out unless append; names from the result, types from `types`
    // ("INT|TEXT|...") or, when empty, from the field types.
    void queryDataset(const String& sql, DataSet* out, const String& types, bool append) override;
    void queryModel(const String& table, TableDataset* out) override;
    void queryColumns(const String& sql, DataSet* out) override;

    void listTables(DataSet* out) override;
    int getTableInfo(const String& table, DataSet* out) override;
    void openTable(TableDataset* out, const String& where, const String& orderBy) override;
    void openTable(TableDataset* out, const String& table, const String& where,
                   const String& orderBy) override;
    bool tableExist(const String& table) override;
    String getCreateTable(const String& table) override;
    int32_t nextCounter(const String& table, const String& where, const String& column) override;
    String getHost() override { return host_; }
    String getAlias() override { return database_; }
    void exportSql(String* out, bool withSchema) override;
    // Ends the statement this connection runs with KILL QUERY, sent over a
    // second connection with the same credentials (thread-safe).
    void interrupt() override;

    bool inTransaction() const noexcept { return inTransaction_; }
    // Index and name of the key column of a table (see the header comment);
    // -1 without one.
    // `autoIncrement` tells whether that column is AUTO_INCREMENT.
    int findKeyColumn(const String& table, String* name = nullptr, bool* autoIncrement = nullptr);

private:
    void requireHandle();
    [[noreturn]] void failNative();
    // Sends sql; refuses the edits of keyless tables first.
    void send(const String& sql);
    // Sends sql and stores the whole result (null for statements without one).
    MYSQL_RES* query(const String& sql);
    // Sends sql and starts reading its result row by row from the server
    // (null for statements without one): the rows are never held twice, a
    // reader sees them as they come, and KILL QUERY (interrupt) stops the
    // fetch. After the last fetch call endStream.
    MYSQL_RES* streamQuery(const String& sql);
    // Frees a streamed result and the results of any further statements of
    // the text; throws the server's error when the fetch stopped on one.
    void endStream(MYSQL_RES* res);
    String firstText(const String& sql, bool* found);

    // Appends the INSERT statements of the rows of one table.
    void dumpRows(const String& table, std::string& text);

    MYSQL* handle_ = nullptr;
    // What interrupt() needs, kept under its own lock.
    std::mutex killMutex_;
    String killServer_, killUser_, killPassword_;
    unsigned killPort_ = 0;
    unsigned long threadId_ = 0;
    String database_;
    String host_;
    bool inTransaction_ = false;
};

}  // namespace VORLIN
