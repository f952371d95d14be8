#include "remote/SqliteClientConnection.h"

#include <cstdio>
#include <functional>
#include <string_view>
#include <vector>

#include "core/FileText.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/SortKeys.h"
#include "data/TableDataset.h"
#include "db/ConnectionDialogs.h"
#include "db/sqlite/SqliteDump.h"
#include "remote/KeepAliveLine.h"
#include "remote/NetMessage.h"
#include "remote/RemoteCodes.h"

namespace VORLIN {

namespace RC = RemoteCode;

namespace {

// What a server that predates the login answers to it.
constexpr std::string_view kUnknownLogin = "Peticion desconocida: codigo 31";

// The host part of an address ("server:port" -> "server").
String serverOf(const String& address) {
    int colon = address.findChar(':');
    return colon >= 0 ? address.left(uint32_t(colon)) : address;
}

// Single quotes doubled, for a name inside an SQL text literal.
String quotedLiteral(const String& text) {
    String out = text;
    out.replace("'", "''");
    return out;
}

}  // namespace

SqliteClientConnection::SqliteClientConnection(bool keepAlive) : keepAliveWanted_(keepAlive) {}

SqliteClientConnection::~SqliteClientConnection() {
    disconnect();
}

void SqliteClientConnection::setRequestTimeout(int ms) {
    requestTimeoutMs_ = ms;
    if (client_) client_->setRequestTimeout(ms);
}

bool SqliteClientConnection::isCompleteAddress(const String& host) {
    if (host.isEmpty()) return false;
    int colon = host.findChar(':');
    if (colon < 0) return false;
    String port = host.mid(uint32_t(colon + 1));
    if (port.isEmpty()) return false;
    for (uint32_t i = 0; i < port.length(); ++i)
        if (port[i] < '0' || port[i] > '9') return false;
    return true;
}

String SqliteClientConnection::remotePath(const String& fileName, const String& folder) {
    if (folder.isEmpty()) return fileName;
    return folder + "\\" + fileName;
}

// --------------------------------------------------------------- connecting

void SqliteClientConnection::dropClient() {
    if (keepAlive_) {
        keepAlive_->stop(KeepAliveLine::kStopWaitMs);
        keepAlive_.reset();
    }
    if (client_) {
        client_->stop(disconnectTimeoutMs_);
        client_.reset();
    }
}

bool SqliteClientConnection::connectSocket(const String& host) {
    // A client whose server went away cannot be reused: a socket is made
    // per connection.
    dropClient();
    client_ = std::make_unique<SqliteClient>();
    client_->setOwner(this);
    client_->setRequestTimeout(requestTimeoutMs_);
    client_->setConnectTimeout(connectTimeoutMs_);
    if (!client_->connect(host, String(), String())) {
        lastError_ = client_->lastError();
        client_.reset();
        return false;
    }
    host_ = host;
    return true;
}

void SqliteClientConnection::startThreads() {
    client_->start();
    // The thread fires "CLISTARTED" before its first receive; it does not
    // depend on the server, so the bound only guards against a stuck start.
    client_->startedEvent().waitForEvent(connectTimeoutMs_);
    if (keepAliveWanted_) {
        keepAlive_ = std::make_unique<KeepAliveLine>(client_.get(), keepAliveIntervalMs_);
        keepAlive_->start();
    }
}

bool SqliteClientConnection::connectAsking(String host, bool interactive) {
    for (;;) {
        if (connectSocket(host)) {
            startThreads();
            return true;
        }
        if (!interactive) return false;
        String server = serverOf(host);
        int port = isCompleteAddress(host) ? host.mid(uint32_t(host.findChar(':') + 1)).toInt()
                                           : kDefaultPort;
        if (server.isEmpty()) server = kDefaultServer;
        // lastError keeps the reason of the failed attempt when cancelled.
        if (!ConnectionDialogs::current().chooseRemoteServer(server, port)) return false;
        host.format("%s:%d", server.c_str(), port);
    }
}

bool SqliteClientConnection::connect(const String& host, const String& user, const String& password,
                                     bool interactive, const String& database) {
    lastError_.clear();
    // With a user name the server gets a login right after connecting (a
    // server that keeps users answers nothing else before it).
    auto login = [&]() {
        if (user.isEmpty()) return true;
        try {
            NetMessage m(RC::kLogin);
            m.addString(user).addString(password);
            call(m);
            return true;
        } catch (const GeneralException& e) {
            // A server from before the login does not know the request,
            // and so asks for none.
            if (std::string_view(e.what()).find(kUnknownLogin) != std::string_view::npos)
                return true;
            lastError_ = e.what();
            dropClient();
            return false;
        }
    };
    String address = host;
    if (!isCompleteAddress(address)) {
        String server = serverOf(address);
        if (server.isEmpty()) server = kDefaultServer;
        int port = kDefaultPort;
        if (!ConnectionDialogs::current().chooseRemoteServer(server, port)) {
            lastError_.format("SqliteClientConnection.connect: direccion incompleta (%s)",
                              host.c_str());
            return false;
        }
        address.format("%s:%d", server.c_str(), port);
    }

    if (database == "-") {
        if (!connectSocket(address)) return false;
        startThreads();
        return login();
    }
    if (!connectAsking(address, interactive)) return false;
    if (!login()) return false;
    try {
        setLabel(label_);
        if (database.isEmpty()) return true;
        if (databaseExists(database, true)) return openDatabase(database, true);
        ConnectionDialogs::DatabaseChoice choice;
        if (!ConnectionDialogs::current().selectRemoteDatabase(*this, host_, database, choice))
            return false;
        return openDatabase(choice.database, true);
    } catch (const GeneralException& e) {
        // connect reports by its result; the connection stays as it is.
        lastError_ = e.what();
        return false;
    }
}

void SqliteClientConnection::disconnect() {
    dropClient();
    host_.clear();
    database_.clear();
    download_.reset();
}

void SqliteClientConnection::dropLink() {
    // client_ changes only on the owner's thread, in connect and disconnect,
    // never while a request of that thread is under way.
    if (client_) client_->cutLink();
}

bool SqliteClientConnection::isConnected() {
    return client_ && client_->isConnected();
}

String SqliteClientConnection::browseDatabase(const String& host, const String&, const String&) {
    ConnectionDialogs::DatabaseChoice choice;
    String where = host.isEmpty() ? host_ : host;
    if (!ConnectionDialogs::current().selectRemoteDatabase(*this, where, database_, choice))
        return String();
    return choice.folder + "|" + choice.database;
}

// ------------------------------------------------------------------ sending

DataItem SqliteClientConnection::call(NetMessage& message, const SqliteClient::Targets& targets) {
    if (!client_ || !client_->isConnected()) fail(SqliteClient::kNotConnected);
    try {
        return client_->request(message, targets);
    } catch (const GeneralException& e) {
        fail(e.what());
    }
}

// ---------------------------------------------------------------- databases

void SqliteClientConnection::createDatabase(const String& name, bool /*addExtension*/) {
    NetMessage m(RC::kCreateDatabase);
    m.addString(name);
    call(m);
    database_ = name;
}

bool SqliteClientConnection::openDatabase(const String& name, bool /*addExtension*/, const String&,
                                          const String&) {
    if (!client_ || !client_->isConnected()) fail(SqliteClient::kNotConnected);
    NetMessage m(RC::kOpenDatabase);
    m.addString(name);
    database_ = name;
    try {
        return client_->request(m, {}).toBool();
    } catch (const GeneralException& e) {
        // The server's refusal is an answer, not a failure of this call.
        lastError_ = e.what();
        return false;
    }
}

void SqliteClientConnection::listDatabases(DataSet* out, const String& mask) {
    if (!out) return;
    NetMessage m(RC::kListDatabases);
    m.addString(mask);
    SqliteClient::Targets t;
    t.set = out;
    call(m, t);
    SortKeys byName(1);
    byName.add(0);
    out->sort(byName);
}

bool SqliteClientConnection::databaseExists(const String& name, bool addExtension) {
    NetMessage m(RC::kDatabaseExists);
    m.addString(name).addInt(addExtension ? 1 : 0);
    return call(m).toBool();
}

// ------------------------------------------------------------- transactions

void SqliteClientConnection::beginTransaction() {
    NetMessage m(RC::kBeginTransaction);
    call(m);
}

void SqliteClientConnection::commitTransaction() {
    NetMessage m(RC::kCommitTransaction);
    call(m);
}

void SqliteClientConnection::rollbackTransaction() {
    NetMessage m(RC::kRollbackTransaction);
    call(m);
}

// ------------------------------------------------------ statements, queries

void SqliteClientConnection::execute(const String& sql) {
    NetMessage m(RC::kExecute);
    m.addString(sql);
    call(m);
}

void SqliteClientConnection::executeFile(const String& path) {
    // Read-only: the text is only read, and a read-only file must run too.
    String text;
    if (!FileText::read(path, text)) fail("No se encontro el archivo");
    execute(text);
}

int32_t SqliteClientConnection::executeInsert(const String& sql) {
    NetMessage m(RC::kExecuteInsert);
    m.addString(sql);
    return call(m).toInt();
}

DataItem SqliteClientConnection::queryAs(const String& sql, int32_t kind) {
    NetMessage m(RC::kQueryItem);
    m.addString(sql);
    // The conversion travels with the request, so that the server converts
    // the column as a local connection would (see RemoteCodes.h).
    if (kind != RC::kAsItem) m.addInt(kind);
    return call(m);
}

DataItem SqliteClientConnection::queryItem(const String& sql) {
    return queryAs(sql, RC::kAsItem);
}

int32_t SqliteClientConnection::queryInt(const String& sql) {
    return queryAs(sql, RC::kAsInt).toInt();
}

String SqliteClientConnection::queryString(const String& sql) {
    return queryAs(sql, RC::kAsString).text();
}

double SqliteClientConnection::queryDouble(const String& sql) {
    return queryAs(sql, RC::kAsDouble).toDouble();
}

DateTime SqliteClientConnection::queryDateTime(const String& sql) {
    return queryAs(sql, RC::kAsDateTime).toDateTime();
}

DateDay SqliteClientConnection::queryDate(const String& sql) {
    return queryAs(sql, RC::kAsDate).toDateDay();
}

void SqliteClientConnection::queryDataRow(const String& sql, DataRow* row) {
    if (!row) return;
    NetMessage m(RC::kQueryRow);
    m.addString(sql);
    SqliteClient::Targets t;
    t.row = row;
    // Without a result row the server answers an empty item and the row
    // stays as it was (the contract of every back end).
    call(m, t);
}

DataRow* SqliteClientConnection::queryNewDataRow(const String& sql) {
    NetMessage m(RC::kQueryRow);
    m.addString(sql);
    auto row = std::make_unique<DataRow>();
    SqliteClient::Targets t;
    t.row = row.get();
    DataItem result = call(m, t);
    if (result.isNull()) return nullptr;
    return row.release();
}

void SqliteClientConnection::queryDataset(const String& sql, DataSet* out, const String& types,
                                          bool append) {
    if (!out) return;
    NetMessage m(RC::kQueryDataset);
    m.addString(sql).addString(types);
    SqliteClient::Targets t;
    t.set = out;
    t.append = append;
    call(m, t);
}

void SqliteClientConnection::queryModel(const String& table, TableDataset* out) {
    if (!out) return;
    NetMessage m(RC::kQueryModel);
    m.addString(table);
    SqliteClient::Targets t;
    t.table = out;
    call(m, t);
    out->setTableName(table);
    markRowIdKey(out);
}

void SqliteClientConnection::markRowIdKey(TableDataset* out) {
    // The answer tells the key column, not whether it is the table's row id
    // (an INTEGER PRIMARY KEY): the server's catalogue does.
    bool rowId = false;
    if (!out->rowIdMode() && out->keyColumn() >= 0) {
        String sql;
        sql.format(
            "SELECT count(*)=1 AND max(upper(type)='INTEGER') FROM pragma_table_info('%s') "
            "WHERE pk>0;",
            quotedLiteral(out->tableName()).c_str());
        rowId = queryInt(sql) != 0;
    }
    out->setKeyTakesRowId(rowId);
}

void SqliteClientConnection::queryColumns(const String& sql, DataSet* out) {
    if (!out) return;
    NetMessage m(RC::kQueryColumns);
    m.addString(sql);
    SqliteClient::Targets t;
    t.set = out;
    call(m, t);
}

// ------------------------------------------------------ catalogue and tables

void SqliteClientConnection::listTables(DataSet* out) {
    if (!out) return;
    NetMessage m(RC::kQueryDataset);
    m.addString("SELECT name FROM sqlite_master WHERE type=='table' ORDER BY name;");
    SqliteClient::Targets t;
    t.set = out;
    call(m, t);
}

int SqliteClientConnection::getTableInfo(const String& table, DataSet* out) {
    if (!out) return -1;
    String sql;
    sql.format("PRAGMA table_info(%s);", TableDataset::quoteName(table).c_str());
    NetMessage m(RC::kQueryDataset);
    m.addString(sql);
    SqliteClient::Targets t;
    t.set = out;
    call(m, t);
    return 1;
}

void SqliteClientConnection::openTable(TableDataset* out, const String& where,
                                       const String& orderBy) {
    if (!out) return;
    String whereClause, orderClause, sql;
    if (!where.isEmpty()) whereClause.format(" WHERE %s", where.c_str());
    if (!orderBy.isEmpty()) orderClause.format(" ORDER BY %s", orderBy.c_str());
    // A set in row-id mode keeps the row id as its first column.
    sql.format(out->rowIdMode() ? "SELECT ROWID,* FROM %s%s%s;" : "SELECT * FROM %s%s%s;",
               TableDataset::quoteName(out->tableName()).c_str(), whereClause.c_str(),
               orderClause.c_str());
    NetMessage m(RC::kQueryDataset);
    m.addString(sql);
    SqliteClient::Targets t;
    t.set = out;
    call(m, t);
    out->markStored();
}

void SqliteClientConnection::openTable(TableDataset* out, const String& table, const String& where,
                                       const String& orderBy) {
    if (!out) return;
    NetMessage m(RC::kOpenTable);
    m.addString(table).addString(where).addString(orderBy);
    SqliteClient::Targets t;
    t.table = out;
    call(m, t);
    out->setTableName(table);
    out->markStored();
    markRowIdKey(out);
    // Loaded rows are not changes; edits from now on are.
    out->setTrackChanges(true);
}

bool SqliteClientConnection::tableExist(const String& table) {
    NetMessage m(RC::kTableExist);
    m.addString(table);
    return call(m).toBool();
}

String SqliteClientConnection::getCreateTable(const String& table) {
    // The statements of the table, then of its indexes and triggers, as the
    // local back end gives them (automatic indexes have no SQL).
    String sql;
    sql.format(
        "SELECT sql FROM sqlite_master WHERE tbl_name='%s' AND sql IS NOT NULL "
        "ORDER BY type<>'table', type<>'index', rootpage;",
        quotedLiteral(table).c_str());
    DataSet rows;
    queryDataset(sql, &rows, String(), false);
    String text;
    for (int i = 0; i < rows.rowCount(); ++i)
        text.append(rows.getCellText(i, 0)).append(";");
    return text;
}

bool SqliteClientConnection::updateDatabase(const String* schema, DataSet* defaults,
                                            WaitWindow* wait) {
    if (wait) wait->showText("Actualizando base de datos...");
    NetMessage m(RC::kUpdateDatabase);
    m.addString(schema ? *schema : String());
    DataSet none;
    m.addDataSet(defaults ? *defaults : none);
    return call(m).toBool();
}

void SqliteClientConnection::exportSql(String* out, bool withSchema) {
    if (!out) return;
    SqliteDump::write(
        [this](const String& sql, bool, const SqliteDump::Row& row) {
            DataSet rows;
            queryDataset(sql, &rows, String("TEXT"), false);
            for (const DataRow* r : rows.rows()) {
                const std::string_view text =
                    r->cell(0) ? r->cell(0)->text().view() : std::string_view();
                row(&text, 1);
            }
        },
        out, withSchema);
}

int32_t SqliteClientConnection::nextCounter(const String& table, const String& where,
                                            const String& column) {
    NetMessage m(RC::kNextCounter);
    m.addString(table).addString(where).addString(column);
    return call(m).toInt();
}

void SqliteClientConnection::backupDatabase(const String& file, bool overwrite, int32_t) {
    NetMessage m(RC::kBackupDatabase);
    m.addString(file).addInt(overwrite ? 1 : 0);
    call(m);
}

void SqliteClientConnection::setLabel(const String& label) {
    label_ = label;
    if (!isConnected()) return;
    NetMessage m(RC::kSetLabel);
    m.addString(label);
    call(m);
}

// ----------------------------------------------------------- remote service

int32_t SqliteClientConnection::remoteTextQuery(const String& text) {
    NetMessage m(RC::kTextToInt);
    m.addString(text);
    return call(m).toInt();
}

void SqliteClientConnection::remoteIntCommand(int32_t value) {
    NetMessage m(RC::kIntCommand);
    m.addInt(value);
    call(m);
}

int32_t SqliteClientConnection::remoteIntQuery(int32_t value) {
    NetMessage m(RC::kIntQuery);
    m.addInt(value);
    return call(m).toInt();
}

int32_t SqliteClientConnection::remoteIntQuery2(int32_t value) {
    NetMessage m(RC::kIntQuery2);
    m.addInt(value);
    return call(m).toInt();
}

void SqliteClientConnection::remoteCommand() {
    NetMessage m(RC::kCommand);
    call(m);
}

void SqliteClientConnection::remoteNotify() {
    if (!client_ || !client_->isConnected()) fail(SqliteClient::kNotConnected);
    NetMessage m(RC::kNotify);
    try {
        client_->post(m);
    } catch (const GeneralException& e) {
        fail(e.what());
    }
}

void SqliteClientConnection::uploadFile(const String& fileName, int32_t flags, const void* data,
                                        uint32_t length, const String& folder) {
    NetMessage m(RC::kUploadFile);
    m.addString(remotePath(fileName, folder)).addInt(flags).addBytes(data, length);
    call(m);
}

const uint8_t* SqliteClientConnection::downloadFile(const String& fileName, uint32_t* length,
                                                    const String& folder) {
    if (length) *length = 0;
    NetMessage m(RC::kDownloadFile);
    m.addString(remotePath(fileName, folder));
    call(m);
    uint32_t n = 0;
    download_ = client_->takeReceivedBlock(&n);
    if (length) *length = n;
    return download_.get();
}

String SqliteClientConnection::remoteFileText(const String& fileName, const String& folder) {
    NetMessage m(RC::kFileText);
    m.addString(remotePath(fileName, folder));
    return call(m).text();
}

void SqliteClientConnection::listFiles(DataSet* out) {
    if (!out) return;
    NetMessage m(RC::kListFiles);
    SqliteClient::Targets t;
    t.set = out;
    call(m, t);
}

void SqliteClientConnection::listFiles(DataSet* out, const String& folder, const String& mask) {
    if (!out) return;
    NetMessage m(RC::kListFilesIn);
    m.addString(folder).addString(mask);
    SqliteClient::Targets t;
    t.set = out;
    call(m, t);
}

}  // namespace VORLIN
