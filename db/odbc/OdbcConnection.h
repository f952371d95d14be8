// OdbcConnection: the DbConnection over a data source of the ODBC driver
// manager (unixODBC). A "database" is a data source name; the host is
// always "ODBC". Results are read column by column as text
// (SQLGetData) and converted into DataItems by the column's type word.
//
// Keys come from the driver's index statistics: the first single-column
// unique index names the key column. A table without one is shown with its
// own columns, no key and read only; its edits are refused with kNoKeyEdit.
// On a MySQL or MariaDB source the session gets ANSI_QUOTES and
// NO_BACKSLASH_ESCAPES, as MySqlConnection does, so the names and literals
// TableDataset writes mean the same there.
//
// Values: SQL NULL reads as a null item.
// Dumps (exportSql): with the schema, a CREATE TABLE per table built from
// the column catalogue (sizes for character and decimal types, NOT NULL,
// PRIMARY KEY for the key column), then the rows as INSERT statements.
// Ownership: owns its environment and connection handles and frees them on
// disconnect and destruction. Threads: one thread at a time per object;
// interrupt() may be called from any thread (SQLCancel).
// Throws GeneralException carrying lastError() (the diagnostics text,
// "SQLSTATE Error: native\r\nmessage\r\n" per record) for failing calls;
// connect, openDatabase and databaseExists answer false instead, and the
// operations do nothing without a connection handle.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "db/DbConnection.h"

namespace VORLIN {

class OdbcConnection : public DbConnection {
public:
    static constexpr const char* kHost = "ODBC";
    static constexpr const char* kNoTransaction = "No se ha iniciado una transacción";
    static constexpr const char* kNoFile = "No se encontro el archivo";
    static constexpr const char* kNoKeyEdit =
        "La tabla no tiene clave primaria ni columna única no nula: sus filas no se pueden "
        "modificar desde aquí";

    // The type word of an SQL data type code (4 -> "int", -5 -> "text").
    static String typeWord(int sqlType);

    OdbcConnection() = default;
    ~OdbcConnection() override;

    bool connect(const String& host, const String& user, const String& password, bool interactive,
                 const String& database) override;
    void disconnect() override;
    bool openDatabase(const String& name, bool addExtension, const String& user,
                      const String& password) override;
    // Clears out; rows "name|description" of the registered data sources.
    void listDatabases(DataSet* out, const String& mask) override;
    bool databaseExists(const String& name, bool addExtension) override;
    bool isConnected() override { return dbc_ != nullptr; }
    // Shows OdbcSelDbDlg (ConnectionDialogs::selectOdbcSource). On OK the
    // connection is linked to the chosen source (the dialog links it; when
    // a dialog only named it, it is linked here with the dialog's user and
    // password) and "ODBC|" and the source come back; "" on cancel or when
    // the source cannot be reached. Do not connect again afterwards:
    // connect starts over without a source.
    String browseDatabase(const String& host, const String& arg2, const String& arg3) override;

    // The files of the driver manager's configuration, as it finds them
    // (ODBCINI, ODBCSYSINI, the home folder, the built-in system folder).
    struct ConfigFiles {
        String userSources;    // the user's odbc.ini
        String systemSources;  // the system's odbc.ini
        String drivers;        // odbcinst.ini
    };
    static ConfigFiles configFiles();

    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;

    void execute(const String& sql) override;
    void executeFile(const String& path) override;
    int32_t executeInsert(const String& sql) override;
    // The driver's row count when it is above zero; -1 otherwise: some
    // drivers count only the rows whose values changed (MariaDB's, unless
    // told otherwise), so a zero does not tell that nothing matched.
    int64_t executeMatched(const String& sql) override;
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

    void listTables(DataSet* out) override;
    int getTableInfo(const String& table, DataSet* out) override;
    void openTable(TableDataset* out, const String& where, const String& orderBy) override;
    void openTable(TableDataset* out, const String& table, const String& where,
                   const String& orderBy) override;
    bool tableExist(const String& table) override;
    String getCreateTable(const String& table) override;
    int32_t nextCounter(const String& table, const String& where, const String& column) override;
    String getHost() override { return String(kHost); }
    String getAlias() override { return source_; }
    void exportSql(String* out, bool withSchema) override;
    // Cancels the statement being executed or read (thread-safe).
    void interrupt() override;

    bool inTransaction() const noexcept { return inTransaction_; }
    // Position and name of the key column by index statistics; -1 without.
    int findKeyColumn(const String& table, String* name = nullptr);

    // One column of the driver's column catalogue.
    struct ColumnInfo {
        String name;
        int sqlType = 0;
        String typeName;
        int size = 0;
        int digits = 0;
        bool hasDigits = false;
        bool notNull = false;
        DataItem defaultValue;
    };
    std::vector<ColumnInfo> columns(const String& table);

private:
    // Fills lastError_ from the diagnostic records of a handle.
    void diagnostics(int handleType, void* handle);
    [[noreturn]] void failDiag(int handleType, void* handle);
    // A statement handle after SQLExecDirect (caller frees it), or null
    // without a connection.
    void* run(const String& sql);
    void freeHandles() noexcept;
    // Reads every row of a statement (names, types, rows) into `out`.
    void readAll(void* stmt, DataSet* out, const String& types, bool keepRows, int maxRows);

    void* env_ = nullptr;
    void* dbc_ = nullptr;
    String source_;
    bool inTransaction_ = false;
    bool linked_ = false;  // dbc_ connected to a source
    // The statement interrupt() cancels, while one runs.
    std::mutex runningMutex_;
    void* running_ = nullptr;
    void setRunning(void* stmt);
};

}  // namespace VORLIN
