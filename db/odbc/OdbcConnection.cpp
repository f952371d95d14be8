#include "db/odbc/OdbcConnection.h"

#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "core/FileText.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "db/ConnectionDialogs.h"
#include "db/SqlStatements.h"

// The configuration library (libodbcinst) exports these without declaring
// them in its public header: where the user's and the system's data-source
// files are, and the folder and name of the driver file.
extern "C" {
char* odbcinst_system_file_path(char* buffer);
char* odbcinst_system_file_name(char* buffer);
BOOL _odbcinst_UserINI(char* fileName, BOOL verify);
BOOL _odbcinst_SystemINI(char* fileName, BOOL verify);
}

namespace VORLIN {

namespace {

// See MySqlConnection: TableDataset writes this comparison when it has no
// key column; it could never match a row, so the edit is refused.
constexpr const char* kKeylessMark = " WHERE \"\"=NULL";

inline bool ok(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

SQLCHAR* sqlText(const String& s) {
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s.c_str()));
}

struct Statement {
    SQLHSTMT h = SQL_NULL_HSTMT;
    ~Statement() {
        if (h) SQLFreeHandle(SQL_HANDLE_STMT, h);
    }
};

// Reads one column of the current row as text, in pieces for long values;
// false for SQL NULL.
bool columnText(SQLHSTMT st, SQLUSMALLINT col, std::string& out) {
    out.clear();
    char buf[4096];
    for (;;) {
        SQLLEN got = 0;
        SQLRETURN rc = SQLGetData(st, col, SQL_C_CHAR, buf, sizeof buf, &got);
        if (rc == SQL_NO_DATA) return true;
        if (!ok(rc)) return true;
        if (got == SQL_NULL_DATA) return false;
        // The driver reserves the last byte for the terminator when the
        // value did not fit (01004) or reports the length it gave.
        size_t piece =
            (got == SQL_NO_TOTAL || got >= SQLLEN(sizeof buf)) ? sizeof buf - 1 : size_t(got);
        out.append(buf, piece);
        if (rc == SQL_SUCCESS) return true;
    }
}

}  // namespace

String OdbcConnection::typeWord(int sqlType) {
    switch (sqlType) {
        case -11:
        case -6:
        case 4:
        case 5:
            return String("int");
        case -7:
            return String("bool");
        case 2:
        case 3:
            return String("currency");
        case 6:
        case 7:
        case 8:
            return String("double");
        case 9:
        case 11:
        case 91:
        case 93:
            return String("date");
        default:
            return String("text");
    }
}

OdbcConnection::~OdbcConnection() {
    freeHandles();
}

void OdbcConnection::diagnostics(int handleType, void* handle) {
    lastError_.clear();
    std::string text;
    for (SQLSMALLINT rec = 1;; ++rec) {
        SQLCHAR state[6] = {0};
        SQLINTEGER native = 0;
        SQLCHAR message[512] = {0};
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRec(SQLSMALLINT(handleType), handle, rec, state, &native, message,
                                     sizeof message, &length);
        if (!ok(rc)) break;
        text.append(reinterpret_cast<char*>(state), 5).append(" Error: ");
        text.append(std::to_string(native)).append("\r\n");
        text.append(reinterpret_cast<char*>(message)).append("\r\n");
    }
    lastError_ = String(text);
}

void OdbcConnection::failDiag(int handleType, void* handle) {
    diagnostics(handleType, handle);
    throw GeneralException(lastError_.toStdString());
}

void OdbcConnection::freeHandles() noexcept {
    if (dbc_) {
        if (linked_) SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    }
    if (env_) SQLFreeHandle(SQL_HANDLE_ENV, env_);
    dbc_ = env_ = nullptr;
    linked_ = false;
    inTransaction_ = false;
}

bool OdbcConnection::connect(const String&, const String& user, const String& password, bool,
                             const String& database) {
    disconnect();
    SQLHENV env = SQL_NULL_HENV;
    if (!ok(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
        lastError_ = "OdbcConnection.connect: SQLAllocHandle";
        return false;
    }
    env_ = env;
    if (!ok(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                          0))) {
        diagnostics(SQL_HANDLE_ENV, env);
        freeHandles();
        return false;
    }
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (!ok(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
        diagnostics(SQL_HANDLE_ENV, env);
        freeHandles();
        return false;
    }
    dbc_ = dbc;
    if (!database.isEmpty()) return openDatabase(database, false, user, password);
    return true;
}

void OdbcConnection::disconnect() {
    freeHandles();
    source_.clear();
}

bool OdbcConnection::openDatabase(const String& name, bool, const String& user,
                                  const String& password) {
    if (!dbc_) return false;
    if (linked_) {
        SQLDisconnect(dbc_);
        linked_ = false;
        source_.clear();
    }
    if (name.isEmpty()) return true;
    SQLRETURN rc = SQLConnect(dbc_, sqlText(name), SQL_NTS, sqlText(user), SQL_NTS,
                              sqlText(password), SQL_NTS);
    if (!ok(rc)) {
        diagnostics(SQL_HANDLE_DBC, dbc_);
        return false;
    }
    linked_ = true;
    source_ = name;
    // A MySQL or MariaDB server reads double quotes as text and backslashes
    // as escapes unless told otherwise (see the header).
    SQLCHAR dbms[64] = {0};
    SQLSMALLINT len = 0;
    if (ok(SQLGetInfo(dbc_, SQL_DBMS_NAME, dbms, sizeof dbms, &len))) {
        String product(reinterpret_cast<char*>(dbms));
        if (product.find("MySQL", true) >= 0 || product.find("MariaDB", true) >= 0) {
            try {
                execute(
                    "SET SESSION sql_mode=CONCAT_WS(',',NULLIF(@@sql_mode,''),'ANSI_QUOTES',"
                    "'NO_BACKSLASH_ESCAPES')");
            } catch (const GeneralException&) {
                disconnect();
                return false;
            }
        }
    }
    return true;
}

String OdbcConnection::browseDatabase(const String&, const String&, const String&) {
    String source, user, password;
    if (!ConnectionDialogs::current().selectOdbcSource(*this, source, user, password) ||
        source.isEmpty())
        return String();
    // The dialog normally linked the connection already; never drop a link
    // to the chosen source by connecting again.
    if (!linked_ || source_ != source) {
        bool ok = dbc_ ? openDatabase(source, false, user, password)
                       : connect(String(), user, password, false, source);
        if (!ok) return String();
    }
    return String(kHost) + "|" + source;
}

OdbcConnection::ConfigFiles OdbcConnection::configFiles() {
    // The configuration library's own look-up, the one the driver manager
    // and "odbcinst -j" use; its buffers are FILENAME_MAX bytes.
    std::vector<char> user(FILENAME_MAX + 1, '\0');
    std::vector<char> system(FILENAME_MAX + 1, '\0');
    std::vector<char> folder(FILENAME_MAX + 1, '\0');
    std::vector<char> name(FILENAME_MAX + 1, '\0');
    _odbcinst_UserINI(user.data(), 0);
    _odbcinst_SystemINI(system.data(), 0);
    ConfigFiles files;
    files.userSources = String(user.data());
    files.systemSources = String(system.data());
    const char* dir = odbcinst_system_file_path(folder.data());
    const char* file = odbcinst_system_file_name(name.data());
    files.drivers = String(dir ? dir : "") + "/" + String(file ? file : "");
    return files;
}

void OdbcConnection::listDatabases(DataSet* out, const String&) {
    if (!env_ || !out) return;
    out->clearRows();
    out->setColumnNames("name|description");
    out->setDataTypes("TEXT|TEXT");
    SQLCHAR name[SQL_MAX_DSN_LENGTH + 1];
    SQLCHAR description[512];
    SQLSMALLINT nameLen, descLen;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (ok(SQLDataSources(env_, direction, name, sizeof name, &nameLen, description,
                             sizeof description, &descLen))) {
        direction = SQL_FETCH_NEXT;
        std::unique_ptr<DataRow> row = out->header()->clone();
        row->cell(0)->setString(reinterpret_cast<char*>(name));
        row->cell(1)->setString(reinterpret_cast<char*>(description));
        out->insertRow(std::move(row));
    }
}

bool OdbcConnection::databaseExists(const String& name, bool) {
    if (!env_) return false;
    SQLCHAR dsn[SQL_MAX_DSN_LENGTH + 1];
    SQLCHAR description[512];
    SQLSMALLINT nameLen, descLen;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (ok(SQLDataSources(env_, direction, dsn, sizeof dsn, &nameLen, description,
                             sizeof description, &descLen))) {
        direction = SQL_FETCH_NEXT;
        if (name == reinterpret_cast<char*>(dsn)) {
            // Leave the list at its end for the next walk from the first.
            while (ok(SQLDataSources(env_, SQL_FETCH_NEXT, dsn, sizeof dsn, &nameLen, description,
                                     sizeof description, &descLen))) {
            }
            return true;
        }
    }
    return false;
}

// ------------------------------------------------------------ transactions

void OdbcConnection::beginTransaction() {
    if (!dbc_) return;
    if (!ok(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT,
                              reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)))
        failDiag(SQL_HANDLE_DBC, dbc_);
    inTransaction_ = true;
}

void OdbcConnection::commitTransaction() {
    if (!dbc_) return;
    if (!inTransaction_) fail(kNoTransaction);
    if (!ok(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT))) failDiag(SQL_HANDLE_DBC, dbc_);
    SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON),
                      0);
    inTransaction_ = false;
}

void OdbcConnection::rollbackTransaction() {
    if (!dbc_) return;
    if (!inTransaction_) fail(kNoTransaction);
    if (!ok(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK))) failDiag(SQL_HANDLE_DBC, dbc_);
    SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON),
                      0);
    inTransaction_ = false;
}

// -------------------------------------------------------------- statements

void* OdbcConnection::run(const String& sql) {
    if (!dbc_) return nullptr;
    if (sql.find(kKeylessMark) >= 0) fail(kNoKeyEdit);
    SQLHSTMT st = SQL_NULL_HSTMT;
    if (!ok(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &st))) failDiag(SQL_HANDLE_DBC, dbc_);
    setRunning(st);
    SQLRETURN rc = SQLExecDirect(st, sqlText(sql), SQLINTEGER(sql.length()));
    setRunning(nullptr);
    // SQL_NO_DATA: an UPDATE or DELETE that matched no row.
    if (!ok(rc) && rc != SQL_NO_DATA) {
        diagnostics(SQL_HANDLE_STMT, st);
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        throw GeneralException(lastError_.toStdString());
    }
    return st;
}

void OdbcConnection::setRunning(void* stmt) {
    std::lock_guard<std::mutex> lock(runningMutex_);
    running_ = stmt;
}

void OdbcConnection::interrupt() {
    std::lock_guard<std::mutex> lock(runningMutex_);
    if (running_) SQLCancel(running_);
}

void OdbcConnection::readAll(void* stmt, DataSet* out, const String& types, bool keepRows,
                             int maxRows) {
    // The fetches can be cancelled too; the caller frees the statement after.
    struct Running {
        OdbcConnection* self;
        ~Running() { self->setRunning(nullptr); }
    } running{this};
    setRunning(stmt);
    SQLSMALLINT n = 0;
    SQLNumResultCols(stmt, &n);
    if (!keepRows) out->clearRows();
    DataRow model(n);
    String names;
    String list(types);
    for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(n); ++i) {
        SQLCHAR name[256] = {0};
        SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        SQLDescribeCol(stmt, i, name, sizeof name, &nameLen, &type, &size, &digits, &nullable);
        names.append(reinterpret_cast<char*>(name)).append('|');
        String word = types.isEmpty() ? typeWord(type) : list.token("|", i == 1);
        model.setType(i - 1, DataItem::typeFromName(word));
    }
    // The names go in before the rows: a reader shown the rows while they
    // arrive names its columns from the first one.
    if (!keepRows) out->setColumnNames(names);
    std::string text;
    int count = 0;
    while (n > 0 && (maxRows < 0 || count < maxRows)) {
        SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA) break;
        if (!ok(rc)) failDiag(SQL_HANDLE_STMT, stmt);
        std::unique_ptr<DataRow> row = model.clone();
        for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(n); ++i) {
            DataItem& cell = *row->cell(i - 1);
            if (columnText(stmt, i, text))
                cell.fromString(String(text));
            else
                cell.setNull();
        }
        out->insertRow(std::move(row));
        ++count;
    }
    out->setColumnNames(names);
    out->setHeader(&model);
}

void OdbcConnection::execute(const String& sql) {
    Statement st;
    st.h = run(sql);
}

int64_t OdbcConnection::executeMatched(const String& sql) {
    Statement st;
    st.h = run(sql);
    SQLLEN rows = -1;
    if (!st.h || !SQL_SUCCEEDED(SQLRowCount(st.h, &rows)) || rows <= 0) return -1;
    return int64_t(rows);
}

void OdbcConnection::executeFile(const String& path) {
    if (!dbc_) return;
    String text;
    if (!FileText::read(path, text)) fail(kNoFile);
    // Drivers run one statement per call ("only one SQL statement allowed",
    // or a syntax error at the second): the file goes statement by statement.
    for (const String& statement : SqlStatements::split(text))
        execute(statement);
}

int32_t OdbcConnection::executeInsert(const String& sql) {
    if (!dbc_) return 0;
    execute(sql);
    // The table is the word after "into"; its key's largest value is taken
    // as the new row's id.
    int at = sql.find("into", true);
    if (at < 0) return 0;
    String rest = sql.mid(uint32_t(at + 4));
    rest.trim();
    String table;
    std::string_view r = rest.view();
    if (!r.empty() && (r[0] == '"' || r[0] == '`')) {
        // A quoted name ("order items"): up to the closing quote, doubled
        // quotes standing for one.
        const char q = r[0];
        std::string name;
        size_t i = 1;
        for (; i < r.size(); ++i) {
            if (r[i] == q) {
                if (i + 1 < r.size() && r[i + 1] == q) {
                    name.push_back(q);
                    ++i;
                    continue;
                }
                break;
            }
            name.push_back(r[i]);
        }
        table = String(name);
    } else {
        table = rest.token(" \t\r\n(;", true);
    }
    if (table.isEmpty()) return 0;
    String key;
    if (findKeyColumn(table, &key) < 0) return 0;
    String q;
    q.format("SELECT MAX(%s) FROM %s;", TableDataset::quoteName(key).c_str(),
             TableDataset::quoteName(table).c_str());
    return queryInt(q);
}

DataItem OdbcConnection::queryItem(const String& sql) {
    Statement st;
    if (!(st.h = run(sql))) return DataItem();
    DataSet set;
    readAll(st.h, &set, String(), false, 1);
    return set.rowCount() > 0 ? set.getCell(0, 0) : DataItem();
}

int32_t OdbcConnection::queryInt(const String& sql) {
    return queryItem(sql).toInt();
}

String OdbcConnection::queryString(const String& sql) {
    return queryItem(sql).text();
}

double OdbcConnection::queryDouble(const String& sql) {
    return queryItem(sql).toDouble();
}

DateTime OdbcConnection::queryDateTime(const String& sql) {
    DataItem item = queryItem(sql);
    return item.isNull() ? DateTime() : item.text().parseDate(true);
}

DateDay OdbcConnection::queryDate(const String& sql) {
    DataItem item = queryItem(sql);
    DateDay d;
    if (!item.isNull()) d.fromString(item.text());
    return d;
}

void OdbcConnection::queryDataRow(const String& sql, DataRow* row) {
    Statement st;
    if (!(st.h = run(sql)) || !row) return;
    DataSet set;
    readAll(st.h, &set, String(), false, 1);
    if (set.rowCount() == 0) return;
    const ItemList* names = row->nameList();
    row->copyFrom(*set.row(0));
    row->setNameList(names);
    row->clearFlags();
}

DataRow* OdbcConnection::queryNewDataRow(const String& sql) {
    Statement st;
    if (!(st.h = run(sql))) return nullptr;
    DataSet set;
    readAll(st.h, &set, String(), false, 1);
    if (set.rowCount() == 0) return nullptr;
    std::unique_ptr<DataRow> row = set.row(0)->clone();
    row->setNameList(nullptr);
    return row.release();
}

void OdbcConnection::queryDataset(const String& sql, DataSet* out, const String& types,
                                  bool append) {
    Statement st;
    if (!(st.h = run(sql)) || !out) return;
    readAll(st.h, out, types, append, -1);
}

void OdbcConnection::queryColumns(const String& sql, DataSet* out) {
    Statement st;
    if (!(st.h = run(sql)) || !out) return;
    readAll(st.h, out, String(), false, 0);
}

// --------------------------------------------------------------- catalogue

std::vector<OdbcConnection::ColumnInfo> OdbcConnection::columns(const String& table) {
    std::vector<ColumnInfo> result;
    if (!dbc_) return result;
    Statement st;
    if (!ok(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &st.h))) failDiag(SQL_HANDLE_DBC, dbc_);
    if (!ok(SQLColumns(st.h, nullptr, 0, nullptr, 0, sqlText(table), SQL_NTS, nullptr, 0)))
        failDiag(SQL_HANDLE_STMT, st.h);
    DataSet rows;
    readAll(st.h, &rows, String(), false, -1);
    for (const DataRow* r : rows.rows()) {
        ColumnInfo c;
        c.name = r->get(3).text();
        c.sqlType = r->get(4).toInt();
        c.typeName = r->get(5).text();
        c.size = r->get(6).toInt();
        c.hasDigits = !r->get(8).isNull();
        c.digits = r->get(8).toInt();
        c.notNull = r->get(10).toInt() == SQL_NO_NULLS;
        c.defaultValue = r->get(12);
        result.push_back(c);
    }
    return result;
}

void OdbcConnection::listTables(DataSet* out) {
    if (!dbc_ || !out) return;
    Statement st;
    if (!ok(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &st.h))) failDiag(SQL_HANDLE_DBC, dbc_);
    if (!ok(SQLTables(st.h, nullptr, 0, nullptr, 0, nullptr, 0, sqlText("TABLE"), SQL_NTS)))
        failDiag(SQL_HANDLE_STMT, st.h);
    DataSet rows;
    readAll(st.h, &rows, String(), false, -1);
    out->clearRows();
    out->setColumnNames("name");
    out->setDataTypes("TEXT");
    for (const DataRow* r : rows.rows()) {
        std::unique_ptr<DataRow> row = out->header()->clone();
        row->cell(0)->setString(r->get(2).text());
        out->insertRow(std::move(row));
    }
}

bool OdbcConnection::tableExist(const String& table) {
    if (!dbc_) return false;
    Statement st;
    if (!ok(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &st.h))) return false;
    if (!ok(SQLTables(st.h, nullptr, 0, nullptr, 0, sqlText(table), SQL_NTS, sqlText("TABLE"),
                      SQL_NTS)))
        return false;
    return ok(SQLFetch(st.h));
}

int OdbcConnection::getTableInfo(const String& table, DataSet* out) {
    if (!dbc_) return -1;
    std::vector<ColumnInfo> cols = columns(table);
    if (!out) return 1;
    out->clearRows();
    out->setDataTypes("INT|TEXT|TEXT|INT|TEXT|INT");
    out->setColumnNames("id|name|type|notnull|dflt_value|pk");
    String key;
    int keyIndex = findKeyColumn(table, &key);
    int id = 0;
    for (const ColumnInfo& c : cols) {
        std::unique_ptr<DataRow> row = out->header()->clone();
        row->cell(0)->setInt(id + 1);
        row->cell(1)->setString(c.name);
        row->cell(2)->setString(typeWord(c.sqlType));
        row->cell(3)->setInt(c.notNull ? 1 : 0);
        if (c.defaultValue.isNull())
            row->cell(4)->setNull();
        else
            row->cell(4)->setString(c.defaultValue.text());
        row->cell(5)->setInt(id == keyIndex ? 1 : 0);
        out->insertRow(std::move(row));
        ++id;
    }
    return 1;
}

int OdbcConnection::findKeyColumn(const String& table, String* name) {
    if (name) name->clear();
    if (!dbc_) return -1;
    Statement st;
    if (!ok(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &st.h))) failDiag(SQL_HANDLE_DBC, dbc_);
    if (!ok(SQLStatistics(st.h, nullptr, 0, nullptr, 0, sqlText(table), SQL_NTS, SQL_INDEX_UNIQUE,
                          SQL_QUICK)))
        failDiag(SQL_HANDLE_STMT, st.h);
    DataSet rows;
    readAll(st.h, &rows, String(), false, -1);
    // Only a unique index of one column identifies a row by that column;
    // the rows of an index follow each other.
    String keyName;
    for (int i = 0; i < rows.rowCount(); ++i) {
        const DataRow* r = rows.row(i);
        if (r->get(6).toInt() == SQL_TABLE_STAT || r->get(3).toInt() != 0) continue;
        const String index = r->get(5).text();
        int width = 0;
        for (int j = 0; j < rows.rowCount(); ++j)
            if (rows.row(j)->get(5).text() == index &&
                rows.row(j)->get(6).toInt() != SQL_TABLE_STAT)
                ++width;
        if (width == 1) {
            keyName = r->get(8).text();
            break;
        }
    }
    if (keyName.isEmpty()) return -1;
    std::vector<ColumnInfo> cols = columns(table);
    for (size_t i = 0; i < cols.size(); ++i)
        if (cols[i].name.equalsNoCase(keyName)) {
            if (name) *name = cols[i].name;
            return int(i);
        }
    return -1;
}

void OdbcConnection::queryModel(const String& table, TableDataset* out) {
    if (!dbc_ || !out) return;
    String names, types;
    for (const ColumnInfo& c : columns(table)) {
        names.append(c.name).append('|');
        types.append(typeWord(c.sqlType)).append('|');
    }
    out->clearRows();
    out->setCounterColumn(-1);
    out->setColumnNames(names);
    out->setDataTypes(types);
    out->setTableName(table);
}

void OdbcConnection::openTable(TableDataset* out, const String& where, const String& orderBy) {
    if (!dbc_ || !out || out->tableName().isEmpty()) return;
    String sql("SELECT * FROM ");
    sql.append(TableDataset::quoteName(out->tableName()));
    if (!where.isEmpty()) sql.append(" WHERE ").append(where);
    if (!orderBy.isEmpty()) sql.append(" ORDER BY ").append(orderBy);
    sql.append(';');
    Statement st;
    st.h = run(sql);
    DataSet rows;
    readAll(st.h, &rows, String(), false, -1);
    out->clearRows();
    const int n = out->columnCount();
    for (const DataRow* r : rows.rows()) {
        std::unique_ptr<DataRow> row =
            out->header() ? out->header()->clone() : std::make_unique<DataRow>(n);
        // By text, so each cell takes the kind of the table's model.
        for (int i = 0; i < n && i < r->count(); ++i) {
            if (r->get(i).isNull())
                row->cell(i)->setNull();
            else
                row->cell(i)->fromString(r->get(i).text());
        }
        out->insertStoredRow(std::move(row));
    }
}

void OdbcConnection::openTable(TableDataset* out, const String& table, const String& where,
                               const String& orderBy) {
    if (!dbc_ || !out) return;
    // No row id to fall back on: a keyless table is shown read only.
    loadKeyedTable(out, table, findKeyColumn(table), where, orderBy);
    // executeInsert answers the largest key after the INSERT: the number of
    // a new row left without key when the key is an integer column.
    const DataRow* model = out->header();
    out->setKeyTakesRowId(model && out->keyColumn() >= 0 &&
                          model->typeOf(out->keyColumn()) == DataItem::TInt);
}

String OdbcConnection::getCreateTable(const String& table) {
    if (!dbc_) return String();
    String text("CREATE TABLE ");
    text.append(table).append('(');
    bool first = true;
    for (const ColumnInfo& c : columns(table)) {
        if (!first) text.append(',');
        first = false;
        text.append(c.name).append(' ').append(c.typeName).append('(');
        text.appendInt(c.size);
        if (c.hasDigits && c.digits > 0) text.append(',').appendInt(c.digits);
        text.append(')');
        if (c.notNull) text.append(" NOTNULL");
    }
    text.append(')');
    return text;
}

int32_t OdbcConnection::nextCounter(const String& table, const String& where,
                                    const String& column) {
    if (!dbc_) return 0;
    return commonNextCounter(table, where, column);
}

void OdbcConnection::exportSql(String* out, bool withSchema) {
    if (!dbc_ || !out) return;
    DataSet tables;
    listTables(&tables);
    String text;
    for (DataRow* t : tables.rows()) {
        const String name = t->cell(0)->text();
        if (withSchema) {
            // The types as the driver names them; sizes where the type takes
            // one (character and decimal types).
            String key;
            findKeyColumn(name, &key);
            text.append("CREATE TABLE ").append(TableDataset::quoteName(name)).append('(');
            bool first = true;
            for (const ColumnInfo& c : columns(name)) {
                if (!first) text.append(',');
                first = false;
                text.append(TableDataset::quoteName(c.name)).append(' ').append(c.typeName);
                // Some drivers name the type with its size already.
                const bool sized = c.typeName.findChar('(') >= 0;
                switch (sized ? 0 : c.sqlType) {
                    case SQL_CHAR:
                    case SQL_VARCHAR:
                    case SQL_WCHAR:
                    case SQL_WVARCHAR:
                        if (c.size > 0) text.append('(').appendInt(c.size).append(')');
                        break;
                    case SQL_DECIMAL:
                    case SQL_NUMERIC:
                        if (c.size > 0) {
                            text.append('(').appendInt(c.size);
                            if (c.hasDigits && c.digits > 0) text.append(',').appendInt(c.digits);
                            text.append(')');
                        }
                        break;
                    default:
                        break;
                }
                if (c.notNull) text.append(" NOT NULL");
                if (!key.isEmpty() && c.name == key) text.append(" PRIMARY KEY");
            }
            text.append(");\r\n");
        }
        TableDataset set;
        openTable(&set, name, String(), String());
        set.toSql(text);
    }
    out->append(text);
}

}  // namespace VORLIN
