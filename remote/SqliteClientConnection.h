// SqliteClientConnection: the DbConnection over SQLite databases held by a
// quelmir-server, reached over TCP ("server:port", default port 6540).
// Every operation becomes one request NetMessage; a SqliteClient (the
// receiver thread) applies the answer, and a KeepAliveLine sends a beat
// every second while the connection is idle.
//
// connect(host, user, password, interactive, database): host is
// "server:port"; database "-" connects only, an empty database connects
// and opens nothing, any other name is opened when the server has it (or
// chosen in the server's database dialog). Incomplete addresses, servers
// that cannot be reached (interactive) and missing databases go through the
// installed ConnectionDialogs (SqliteServerConnectDlg, SqliteServerSelDbDlg);
// without dialogs they count as cancelled. With a user name, a login
// request (user and password) follows the connection; a refused login
// ends the connection. connect never throws for a refused connection: it
// answers false with the reason in lastError().
//
// Time-outs (settings, with the defaults of SqliteClient): a request
// without answer fails after the request time-out and the connection is
// given up; disconnect waits at most the disconnect time-out for the
// client thread. When the server goes away the connection reports not
// connected and ConnectionNotifier tells the user interface.
//
// Ownership: owns its client, keep-alive line and the last downloaded
// block (valid until the next download or disconnect). Out-parameters stay
// the caller's; queryNewDataRow hands a new row to the caller.
// Threads: one thread (the user-interface thread) uses the object; the
// client and keep-alive threads are internal.
// Throws GeneralException carrying lastError(): "SqliteClient is not
// connected" when there is no connection, the server's texts for failed
// requests, and the client's texts for a lost or silent server.
#pragma once

#include <cstdint>
#include <memory>

#include "db/DbConnection.h"
#include "remote/SqliteClient.h"

namespace VORLIN {

class KeepAliveLine;
class NetMessage;

class SqliteClientConnection : public DbConnection {
public:
    static constexpr const char* kDefaultServer = "LocalHost";
    static constexpr int kDefaultPort = 6540;
    static constexpr int kDefaultDisconnectTimeoutMs = SqliteClient::kDefaultStopTimeoutMs;

    explicit SqliteClientConnection(bool keepAlive = true);
    ~SqliteClientConnection() override;

    // --- connection and databases ---
    bool connect(const String& host, const String& user, const String& password, bool interactive,
                 const String& database) override;
    void disconnect() override;
    void createDatabase(const String& name, bool addExtension) override;
    // An error answer gives false (with lastError set) instead of throwing.
    bool openDatabase(const String& name, bool addExtension, const String& user,
                      const String& password) override;
    bool openDatabase(const String& name, bool addExtension = true) {
        return openDatabase(name, addExtension, String(), String());
    }
    // Appends the server's rows (name, size, modified) and sorts the set by name.
    void listDatabases(DataSet* out, const String& mask) override;
    bool databaseExists(const String& name, bool addExtension) override;
    bool isConnected() override;
    String browseDatabase(const String& host, const String& arg2, const String& arg3) override;

    // --- transactions ---
    void beginTransaction() override;
    void commitTransaction() override;
    void rollbackTransaction() override;

    // --- statements and queries ---
    void execute(const String& sql) override;
    // Reads the file here and sends its text as one execute request.
    void executeFile(const String& path) override;
    int32_t executeInsert(const String& sql) override;
    DataItem queryItem(const String& sql) override;
    int32_t queryInt(const String& sql) override;
    String queryString(const String& sql) override;
    double queryDouble(const String& sql) override;
    DateTime queryDateTime(const String& sql) override;
    DateDay queryDate(const String& sql) override;
    // No result row leaves the row as it was.
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
    bool updateDatabase(const String* schema, DataSet* defaults, WaitWindow* wait) override;
    int32_t nextCounter(const String& table, const String& where, const String& column) override;
    // The same text as a local dump of the same file, built from ordinary
    // queries over the protocol (SqliteDump).
    void exportSql(String* out, bool withSchema) override;
    String getHost() override { return host_; }
    String getAlias() override { return database_; }
    void backupDatabase(const String& file, bool overwrite, int32_t reserved) override;
    // Stored here in every case; sent to the server while connected.
    void setLabel(const String& label) override;
    // The server runs every request to its end: nothing to interrupt from
    // here (the base default, kept on purpose).
    // Closes the socket: a request waiting for its answer fails at once.
    void dropLink() override;

    // --- operations of the remote service (see the server's README) ---
    int32_t remoteTextQuery(const String& text) override;
    void remoteIntCommand(int32_t value) override;
    int32_t remoteIntQuery(int32_t value) override;
    int32_t remoteIntQuery2(int32_t value) override;
    void remoteCommand() override;
    void remoteNotify() override;
    void uploadFile(const String& fileName, int32_t flags, const void* data, uint32_t length,
                    const String& folder) override;
    const uint8_t* downloadFile(const String& fileName, uint32_t* length,
                                const String& folder) override;
    String remoteFileText(const String& fileName, const String& folder) override;
    void listFiles(DataSet* out) override;
    // The files of a folder of the server matching a mask.
    void listFiles(DataSet* out, const String& folder, const String& mask);

    // --- settings and state ---
    void setRequestTimeout(int ms);
    int requestTimeout() const noexcept { return requestTimeoutMs_; }
    void setConnectTimeout(int ms) noexcept { connectTimeoutMs_ = ms; }
    void setDisconnectTimeout(int ms) noexcept { disconnectTimeoutMs_ = ms; }
    void setKeepAliveInterval(int ms) noexcept { keepAliveIntervalMs_ = ms; }
    // The client and keep-alive line (null when there is none); for tests.
    SqliteClient* client() noexcept { return client_.get(); }
    KeepAliveLine* keepAliveLine() noexcept { return keepAlive_.get(); }

    // "server:port" complete: not empty and numeric after the ":".
    static bool isCompleteAddress(const String& host);
    // The path a file request sends: folder, "\", name; or the name alone.
    static String remotePath(const String& fileName, const String& folder);

private:
    // Tells the set whether its key column is the table's row id.
    void markRowIdKey(TableDataset* out);
    // Request 13 with the conversion wanted (RemoteCode::kAs...).
    DataItem queryAs(const String& sql, int32_t kind);
    // The sending rule with the not-connected check; failures go through
    // fail() (lastError, then GeneralException).
    DataItem call(NetMessage& message, const SqliteClient::Targets& targets = {});
    // Connects the socket only; false with lastError set.
    bool connectSocket(const String& host);
    // Starts the client thread (and the keep-alive line) after connectSocket.
    void startThreads();
    // connectSocket, asking for another server while it fails and
    // interactive is set; then startThreads.
    bool connectAsking(String host, bool interactive);
    void dropClient();

    String host_;
    String database_;
    std::unique_ptr<SqliteClient> client_;
    std::unique_ptr<KeepAliveLine> keepAlive_;
    bool keepAliveWanted_;
    std::unique_ptr<uint8_t[]> download_;
    int requestTimeoutMs_ = SqliteClient::kDefaultRequestTimeoutMs;
    int connectTimeoutMs_ = SqliteClient::kDefaultConnectTimeoutMs;
    int disconnectTimeoutMs_ = kDefaultDisconnectTimeoutMs;
    int keepAliveIntervalMs_ = 1000;
};

}  // namespace VORLIN
