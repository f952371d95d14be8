#include "db/mysql/MySqlConnection.h"

#include <mysql.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/FileText.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"

namespace VORLIN {

namespace {

struct ResultFree {
    void operator()(MYSQL_RES* r) const noexcept { mysql_free_result(r); }
};
using Result = std::unique_ptr<MYSQL_RES, ResultFree>;

// TableDataset addresses a row by its key column; without one it writes
// this comparison (an empty name against NULL). It could never match a row,
// so such a statement is an edit of a keyless table and is refused.
constexpr const char* kKeylessMark = " WHERE \"\"=NULL";

bool fitsInt32(const char* text) {
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text, &end, 10);
    return errno == 0 && end != text && *end == 0 && v >= INT32_MIN && v <= INT32_MAX;
}

// One cell from the text the server sent: NULL stays null, an integer
// beyond 32 bits keeps its digits as text, anything else goes through the
// cell's own conversion.
void setFromText(DataItem& cell, const char* text, unsigned long length) {
    if (!text) {
        cell.setNull();
        return;
    }
    if (cell.type() == DataItem::TInt && !fitsInt32(text)) {
        cell.setString(TextRef(text, length));
        return;
    }
    cell.fromString(String(TextRef(text, length)));
}

// A row of one cell per field, typed by the field table.
std::unique_ptr<DataRow> typedRow(MYSQL_RES* res) {
    const unsigned n = mysql_num_fields(res);
    auto row = std::make_unique<DataRow>(int(n));
    MYSQL_FIELD* fields = mysql_fetch_fields(res);
    for (unsigned i = 0; i < n; ++i)
        row->setType(int(i), DataItem::typeFromName(MySqlConnection::typeOfField(fields[i].type)));
    return row;
}

void fillRow(DataRow& row, MYSQL_RES* res, MYSQL_ROW values, int cells) {
    unsigned long* lengths = mysql_fetch_lengths(res);
    const int n = std::min(cells, int(mysql_num_fields(res)));
    for (int i = 0; i < n; ++i)
        setFromText(*row.cell(i), values[i], lengths[i]);
}

String fieldNames(MYSQL_RES* res) {
    String names;
    const unsigned n = mysql_num_fields(res);
    MYSQL_FIELD* fields = mysql_fetch_fields(res);
    for (unsigned i = 0; i < n; ++i)
        names.append(TextRef(fields[i].name)).append('|');
    return names;
}

String fieldTypes(MYSQL_RES* res) {
    String types;
    const unsigned n = mysql_num_fields(res);
    MYSQL_FIELD* fields = mysql_fetch_fields(res);
    for (unsigned i = 0; i < n; ++i)
        types.append(MySqlConnection::typeOfField(fields[i].type)).append('|');
    return types;
}

String columnText(MYSQL_ROW values, unsigned long* lengths, int i) {
    return values[i] ? String(TextRef(values[i], lengths[i])) : String();
}

}  // namespace

// ------------------------------------------------------------------- types

String MySqlConnection::typeOfDeclared(const String& declared) {
    String t(declared);
    t.trim().makeLower();
    int cut = t.findOneOf(" (");
    if (cut >= 0) t = t.left(uint32_t(cut));
    if (t == "int" || t == "tinyint" || t == "smallint" || t == "bigint") return String("INT");
    if (t == "float" || t == "double") return String("DOUBLE");
    if (t == "decimal" || t == "numeric") return String("CURRENCY");
    if (t == "bit") return String("BOOL");
    if (t == "datetime" || t == "date") return String("DATE");
    return String("TEXT");
}

String MySqlConnection::typeOfField(int fieldType) {
    switch (fieldType) {
        case 1:
        case 2:
        case 3:
        case 8:
        case 9:
            return String("INT");
        case 4:
        case 5:
            return String("DOUBLE");
        case 0:
        case 246:
            return String("CURRENCY");
        case 16:
            return String("BOOL");
        case 10:
        case 12:
        case 14:
            return String("DATE");
        default:
            return String("TEXT");
    }
}

// --------------------------------------------------------------- lifecycle

MySqlConnection::~MySqlConnection() {
    disconnect();
}

void MySqlConnection::requireHandle() {
    if (!handle_) fail(kNotConnected);
}

void MySqlConnection::failNative() {
    fail(String(mysql_error(handle_)));
}

bool MySqlConnection::connect(const String& host, const String& user, const String& password, bool,
                              const String&) {
    disconnect();
    String server(host);
    unsigned port = 0;
    int colon = host.findChar(':');
    if (colon >= 0) {
        server = host.left(uint32_t(colon));
        port = unsigned(host.mid(uint32_t(colon + 1)).toInt());
    }
    handle_ = mysql_init(nullptr);
    if (!handle_) {
        lastError_ = "MySqlConnection.connect: mysql_init";
        return false;
    }
    mysql_options(handle_, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    if (!mysql_real_connect(handle_, server.c_str(), user.c_str(), password.c_str(), nullptr, port,
                            nullptr, 0)) {
        lastError_ = String(mysql_error(handle_));
        disconnect();
        return false;
    }
    // Keep the server's own modes and add the two this program's SQL relies
    // on (see the header): doubled quotes as the only escape, double quotes
    // around names.
    static const char kModes[] =
        "SET SESSION sql_mode=CONCAT_WS(',',NULLIF(@@sql_mode,''),'ANSI_QUOTES',"
        "'NO_BACKSLASH_ESCAPES')";
    if (mysql_real_query(handle_, kModes, sizeof kModes - 1) != 0) {
        lastError_ = String(mysql_error(handle_));
        disconnect();
        return false;
    }
    host_ = server;
    std::lock_guard<std::mutex> lock(killMutex_);
    killServer_ = server;
    killUser_ = user;
    killPassword_ = password;
    killPort_ = port;
    threadId_ = mysql_thread_id(handle_);
    return true;
}

void MySqlConnection::interrupt() {
    String server, user, password;
    unsigned port;
    unsigned long id;
    {
        std::lock_guard<std::mutex> lock(killMutex_);
        if (threadId_ == 0) return;
        server = killServer_;
        user = killUser_;
        password = killPassword_;
        port = killPort_;
        id = threadId_;
    }
    MYSQL* killer = mysql_init(nullptr);
    if (!killer) return;
    if (mysql_real_connect(killer, server.c_str(), user.c_str(), password.c_str(), nullptr, port,
                           nullptr, 0)) {
        String sql;
        sql.format("KILL QUERY %lu", id);
        mysql_real_query(killer, sql.c_str(), sql.length());
    }
    mysql_close(killer);
}

void MySqlConnection::disconnect() {
    {
        std::lock_guard<std::mutex> lock(killMutex_);
        threadId_ = 0;
        killPassword_.clear();
    }
    if (handle_) mysql_close(handle_);
    handle_ = nullptr;
    host_.clear();
    database_.clear();
    inTransaction_ = false;
}

bool MySqlConnection::openDatabase(const String& name, bool, const String&, const String&) {
    requireHandle();
    if (mysql_select_db(handle_, name.c_str()) != 0) {
        lastError_ = String(mysql_error(handle_));
        return false;
    }
    database_ = name;
    return true;
}

void MySqlConnection::listDatabases(DataSet* out, const String&) {
    requireHandle();
    Result res(mysql_list_dbs(handle_, nullptr));
    if (!res) failNative();
    if (!out) return;
    out->clearRows();
    out->setColumnNames("name");
    out->setDataTypes("TEXT");
    while (MYSQL_ROW r = mysql_fetch_row(res.get())) {
        auto row = std::make_unique<DataRow>(1);
        row->setType(0, DataItem::TString);
        fillRow(*row, res.get(), r, 1);
        out->insertRow(std::move(row));
    }
}

bool MySqlConnection::databaseExists(const String& name, bool) {
    requireHandle();
    Result res(mysql_list_dbs(handle_, nullptr));
    if (!res) failNative();
    while (MYSQL_ROW r = mysql_fetch_row(res.get()))
        if (r[0] && name == TextRef(r[0], mysql_fetch_lengths(res.get())[0])) return true;
    return false;
}

// ------------------------------------------------------------ transactions

void MySqlConnection::beginTransaction() {
    // Transactions need no handle check: without one there is none to end.
    if (!handle_) return;
    if (inTransaction_) return;
    if (mysql_autocommit(handle_, 0) != 0) failNative();
    inTransaction_ = true;
}

void MySqlConnection::commitTransaction() {
    if (!handle_) return;
    if (!inTransaction_) return;
    if (mysql_commit(handle_) != 0) failNative();
    inTransaction_ = false;
    // Back to one statement, one transaction: otherwise every later edit
    // would wait for a commit that never comes and vanish on disconnect.
    if (mysql_autocommit(handle_, 1) != 0) failNative();
}

void MySqlConnection::rollbackTransaction() {
    if (!handle_) return;
    if (!inTransaction_) return;
    if (mysql_rollback(handle_) != 0) failNative();
    inTransaction_ = false;
    if (mysql_autocommit(handle_, 1) != 0) failNative();
}

// -------------------------------------------------------------- statements

void MySqlConnection::send(const String& sql) {
    requireHandle();
    if (sql.find(kKeylessMark) >= 0) fail(kNoKeyEdit);
    if (mysql_real_query(handle_, sql.c_str(), sql.length()) != 0) failNative();
}

MYSQL_RES* MySqlConnection::query(const String& sql) {
    send(sql);
    MYSQL_RES* res = mysql_store_result(handle_);
    if (!res && mysql_field_count(handle_) != 0) failNative();
    // Statements after the first (a file run as one text) are drained so
    // the handle is ready for the next command.
    while (mysql_more_results(handle_)) {
        if (mysql_next_result(handle_) > 0) {
            mysql_free_result(res);
            failNative();
        }
        mysql_free_result(mysql_store_result(handle_));
    }
    return res;
}

MYSQL_RES* MySqlConnection::streamQuery(const String& sql) {
    send(sql);
    MYSQL_RES* res = mysql_use_result(handle_);
    if (!res && mysql_field_count(handle_) != 0) failNative();
    return res;
}

void MySqlConnection::endStream(MYSQL_RES* res) {
    // A fetch that answered no row either reached the end or stopped on an
    // error (a killed query, a dropped link): only the error number tells.
    String error;
    if (res && mysql_errno(handle_) != 0) error = String(mysql_error(handle_));
    // Freeing an unfinished streamed result reads what is left of it.
    mysql_free_result(res);
    if (!error.isEmpty()) fail(error);
    while (mysql_more_results(handle_)) {
        if (mysql_next_result(handle_) > 0) failNative();
        mysql_free_result(mysql_store_result(handle_));
    }
}

void MySqlConnection::execute(const String& sql) {
    mysql_free_result(query(sql));
}

void MySqlConnection::executeFile(const String& path) {
    requireHandle();
    String text;
    if (!FileText::read(path, text)) fail(kNoFile);
    // A file holds several statements: allowed for this one call only.
    mysql_set_server_option(handle_, MYSQL_OPTION_MULTI_STATEMENTS_ON);
    try {
        execute(text);
    } catch (...) {
        mysql_set_server_option(handle_, MYSQL_OPTION_MULTI_STATEMENTS_OFF);
        throw;
    }
    mysql_set_server_option(handle_, MYSQL_OPTION_MULTI_STATEMENTS_OFF);
}

int64_t MySqlConnection::executeMatched(const String& sql) {
    execute(sql);
    if (const char* info = mysql_info(handle_)) {
        static constexpr std::string_view kMatched = "Rows matched: ";
        std::string_view text(info);
        const size_t at = text.find(kMatched);
        if (at != std::string_view::npos) {
            int64_t n = 0;
            const char* digits = text.data() + at + kMatched.size();
            const auto read = std::from_chars(digits, text.data() + text.size(), n);
            return read.ec == std::errc() ? n : -1;
        }
    }
    const my_ulonglong affected = mysql_affected_rows(handle_);
    return affected == my_ulonglong(-1) ? -1 : int64_t(affected);
}

int32_t MySqlConnection::executeInsert(const String& sql) {
    execute(sql);
    return int32_t(uint32_t(mysql_insert_id(handle_) & 0xffffffffu));
}

String MySqlConnection::firstText(const String& sql, bool* found) {
    Result res(query(sql));
    *found = false;
    if (!res || mysql_num_fields(res.get()) == 0) return String();
    MYSQL_ROW r = mysql_fetch_row(res.get());
    if (!r) return String();
    *found = true;
    return columnText(r, mysql_fetch_lengths(res.get()), 0);
}

DataItem MySqlConnection::queryItem(const String& sql) {
    Result res(query(sql));
    DataItem item;
    if (!res || mysql_num_fields(res.get()) == 0) return item;
    MYSQL_ROW r = mysql_fetch_row(res.get());
    if (!r) return item;
    item.setType(DataItem::typeFromName(typeOfField(mysql_fetch_field_direct(res.get(), 0)->type)));
    setFromText(item, r[0], mysql_fetch_lengths(res.get())[0]);
    return item;
}

int32_t MySqlConnection::queryInt(const String& sql) {
    bool found;
    return firstText(sql, &found).toInt();
}

String MySqlConnection::queryString(const String& sql) {
    bool found;
    return firstText(sql, &found);
}

double MySqlConnection::queryDouble(const String& sql) {
    bool found;
    return firstText(sql, &found).toDouble();
}

DateTime MySqlConnection::queryDateTime(const String& sql) {
    bool found;
    String text = firstText(sql, &found);
    return found ? text.parseDate(true) : DateTime();
}

DateDay MySqlConnection::queryDate(const String& sql) {
    bool found;
    String text = firstText(sql, &found);
    DateDay d;
    if (found) d.fromString(text);
    return d;
}

void MySqlConnection::queryDataRow(const String& sql, DataRow* row) {
    Result res(query(sql));
    if (!res || !row) return;
    MYSQL_ROW r = mysql_fetch_row(res.get());
    // Reset to the result's shape first, as the row is rebuilt whole.
    std::unique_ptr<DataRow> fresh = typedRow(res.get());
    const ItemList* names = row->nameList();
    row->copyFrom(*fresh);
    row->setNameList(names);
    if (r) fillRow(*row, res.get(), r, row->count());
}

DataRow* MySqlConnection::queryNewDataRow(const String& sql) {
    Result res(query(sql));
    if (!res) return new DataRow(0);
    std::unique_ptr<DataRow> row = typedRow(res.get());
    if (MYSQL_ROW r = mysql_fetch_row(res.get())) fillRow(*row, res.get(), r, row->count());
    return row.release();
}

void MySqlConnection::queryDataset(const String& sql, DataSet* out, const String& types,
                                   bool append) {
    Result res(streamQuery(sql));
    if (out && !append) out->clearRows();
    if (!out || !res) {
        endStream(res.release());
        return;
    }
    const int n = int(mysql_num_fields(res.get()));
    std::unique_ptr<DataRow> model = typedRow(res.get());
    if (!types.isEmpty()) {
        String list(types);
        for (int i = 0; i < n; ++i)
            model->setType(i, DataItem::typeFromName(list.token("|", i == 0)));
    }
    // The names go in before the rows: a reader shown the rows while they
    // arrive names its columns from the first one.
    const String names = fieldNames(res.get());
    out->setColumnNames(names);
    while (MYSQL_ROW r = mysql_fetch_row(res.get())) {
        std::unique_ptr<DataRow> row = model->clone();
        fillRow(*row, res.get(), r, n);
        out->insertRow(std::move(row));
    }
    try {
        endStream(res.release());
    } catch (...) {
        // A result read in part is not the result.
        if (!append) out->clearRows();
        throw;
    }
    out->setColumnNames(names);
    model->setNameList(nullptr);
    out->setHeader(model.get());
}

// --------------------------------------------------------------- catalogue

void MySqlConnection::queryModel(const String& table, TableDataset* out) {
    String sql;
    sql.format("DESCRIBE %s;", TableDataset::quoteName(table).c_str());
    Result res(query(sql));
    if (!out) return;
    out->clearRows();
    out->setCounterColumn(-1);
    String names, types;
    if (out->rowIdMode()) {
        names = "rowid|";
        types = "INT|";
    }
    while (res) {
        MYSQL_ROW r = mysql_fetch_row(res.get());
        if (!r) break;
        unsigned long* len = mysql_fetch_lengths(res.get());
        names.append(columnText(r, len, 0)).append('|');
        types.append(typeOfDeclared(columnText(r, len, 1))).append('|');
    }
    out->setColumnNames(names);
    out->setDataTypes(types);
    out->setTableName(table);
}

void MySqlConnection::queryColumns(const String& sql, DataSet* out) {
    Result res(query(sql));
    if (!out) return;
    out->clearRows();
    if (!res) return;
    out->setColumnNames(fieldNames(res.get()));
    out->setDataTypes(fieldTypes(res.get()));
}

void MySqlConnection::listTables(DataSet* out) {
    requireHandle();
    if (!out) return;
    out->clearRows();
    out->setColumnNames("name");
    out->setDataTypes("TEXT");
    Result res(mysql_list_tables(handle_, nullptr));
    if (!res) {
        lastError_ = String(mysql_error(handle_));
        return;
    }
    while (MYSQL_ROW r = mysql_fetch_row(res.get())) {
        auto row = std::make_unique<DataRow>(1);
        row->setType(0, DataItem::TString);
        fillRow(*row, res.get(), r, 1);
        out->insertRow(std::move(row));
    }
}

int MySqlConnection::getTableInfo(const String& table, DataSet* out) {
    String sql;
    sql.format("DESCRIBE %s;", TableDataset::quoteName(table).c_str());
    Result res(query(sql));
    if (!out) return 1;
    out->clearRows();
    out->setDataTypes("INT|TEXT|TEXT|INT|TEXT|INT");
    out->setColumnNames("id|name|type|notnull|dflt_value|pk");
    int id = 0;
    while (res) {
        MYSQL_ROW r = mysql_fetch_row(res.get());
        if (!r) break;
        unsigned long* len = mysql_fetch_lengths(res.get());
        // newRow would put each row first: rows are appended in server order.
        std::unique_ptr<DataRow> row = out->header()->clone();
        row->cell(0)->setInt(++id);
        row->cell(1)->setString(columnText(r, len, 0));
        row->cell(2)->setString(columnText(r, len, 1));
        row->cell(3)->setInt(columnText(r, len, 2) == "NO" ? 1 : 0);
        if (r[4])
            row->cell(4)->setString(columnText(r, len, 4));
        else
            row->cell(4)->setNull();
        // The Key text as the server gives it ("PRI", "UNI", "MUL" or "").
        row->cell(5)->setString(columnText(r, len, 3));
        out->insertRow(std::move(row));
    }
    return 1;
}

int MySqlConnection::findKeyColumn(const String& table, String* name, bool* autoIncrement) {
    if (autoIncrement) *autoIncrement = false;
    String sql;
    sql.format("DESCRIBE %s;", TableDataset::quoteName(table).c_str());
    Result res(query(sql));
    int unique = -1;
    String uniqueName;
    int index = 0;
    while (res) {
        MYSQL_ROW r = mysql_fetch_row(res.get());
        if (!r) break;
        unsigned long* len = mysql_fetch_lengths(res.get());
        String key = columnText(r, len, 3);
        if (key == "PRI") {
            if (name) *name = columnText(r, len, 0);
            if (autoIncrement)
                *autoIncrement = columnText(r, len, 5).find("auto_increment", true) >= 0;
            return index;
        }
        if (unique < 0 && key == "UNI" && columnText(r, len, 2) == "NO") {
            unique = index;
            uniqueName = columnText(r, len, 0);
        }
        ++index;
    }
    if (name) *name = uniqueName;
    return unique;
}

void MySqlConnection::openTable(TableDataset* out, const String& where, const String& orderBy) {
    requireHandle();
    if (!out || out->tableName().isEmpty()) return;
    String sql("SELECT * FROM ");
    sql.append(TableDataset::quoteName(out->tableName()));
    if (!where.isEmpty()) sql.append(" WHERE ").append(where);
    if (!orderBy.isEmpty()) sql.append(" ORDER BY ").append(orderBy);
    sql.append(';');
    Result res(streamQuery(sql));
    out->clearRows();
    if (!res) {
        endStream(nullptr);
        return;
    }
    const int n = out->columnCount();
    while (MYSQL_ROW r = mysql_fetch_row(res.get())) {
        std::unique_ptr<DataRow> row =
            out->header() ? out->header()->clone() : std::make_unique<DataRow>(n);
        fillRow(*row, res.get(), r, n);
        out->insertStoredRow(std::move(row));
    }
    try {
        endStream(res.release());
    } catch (...) {
        // A table read in part is no image of the table.
        out->clearRows();
        throw;
    }
}

void MySqlConnection::openTable(TableDataset* out, const String& table, const String& where,
                                const String& orderBy) {
    requireHandle();
    if (!out) return;
    // The server has no row id: a table without a key is shown with its own
    // columns and cannot be edited (its edit statements are refused in send,
    // its rows cannot be added or removed).
    bool autoIncrement = false;
    int key = findKeyColumn(table, nullptr, &autoIncrement);
    loadKeyedTable(out, table, key, where, orderBy);
    // An AUTO_INCREMENT key gives a new row left without key its number.
    out->setKeyTakesRowId(autoIncrement);
}

bool MySqlConnection::tableExist(const String& table) {
    if (!handle_) return false;
    Result res(mysql_list_tables(handle_, table.c_str()));
    if (!res) {
        lastError_ = String(mysql_error(handle_));
        return false;
    }
    // The name is a LIKE pattern to the server ("_" matches any letter):
    // only an exact name counts.
    while (MYSQL_ROW r = mysql_fetch_row(res.get()))
        if (r[0] && String(r[0]).equalsNoCase(table)) return true;
    return false;
}

String MySqlConnection::getCreateTable(const String& table) {
    String sql;
    sql.format("SHOW CREATE TABLE %s", TableDataset::quoteName(table).c_str());
    Result res(query(sql));
    String text;
    if (res && mysql_num_fields(res.get()) >= 2)
        if (MYSQL_ROW r = mysql_fetch_row(res.get()))
            text = columnText(r, mysql_fetch_lengths(res.get()), 1);
    text.replace(",", ",\r\n");
    text.append("\r\n");
    return text;
}

int32_t MySqlConnection::nextCounter(const String& table, const String& where,
                                     const String& column) {
    requireHandle();
    return commonNextCounter(table, where, column);
}

void MySqlConnection::dumpRows(const String& table, std::string& text) {
    String sql("SELECT * FROM ");
    sql.append(TableDataset::quoteName(table)).append(';');
    send(sql);
    // Row by row from the server: the table is never held whole.
    Result res(mysql_use_result(handle_));
    if (!res) {
        if (mysql_field_count(handle_) != 0) failNative();
        return;
    }
    const unsigned n = mysql_num_fields(res.get());
    MYSQL_FIELD* fields = mysql_fetch_fields(res.get());
    String prefix("INSERT INTO ");
    prefix.append(TableDataset::quoteName(table)).append(" VALUES(");
    static const char kHex[] = "0123456789ABCDEF";
    while (MYSQL_ROW r = mysql_fetch_row(res.get())) {
        unsigned long* len = mysql_fetch_lengths(res.get());
        text.append(prefix.c_str(), prefix.length());
        for (unsigned i = 0; i < n; ++i) {
            if (i) text.push_back(',');
            const MYSQL_FIELD& f = fields[i];
            if (!r[i]) {
                text.append("NULL");
            } else if (f.type == MYSQL_TYPE_BIT ||
                       (f.charsetnr == 63 && !IS_NUM(f.type) && f.type != MYSQL_TYPE_DATE &&
                        f.type != MYSQL_TYPE_DATETIME && f.type != MYSQL_TYPE_TIMESTAMP &&
                        f.type != MYSQL_TYPE_TIME && f.type != MYSQL_TYPE_YEAR)) {
                // Binary values byte for byte.
                text.append("X'");
                for (unsigned long k = 0; k < len[i]; ++k) {
                    unsigned char c = static_cast<unsigned char>(r[i][k]);
                    text.push_back(kHex[c >> 4]);
                    text.push_back(kHex[c & 15]);
                }
                text.push_back('\'');
            } else if (IS_NUM(f.type)) {
                text.append(r[i], len[i]);  // the number as the server wrote it
            } else {
                // NO_BACKSLASH_ESCAPES: a doubled quote is the only escape.
                text.push_back('\'');
                for (unsigned long k = 0; k < len[i]; ++k) {
                    if (r[i][k] == '\'') text.push_back('\'');
                    text.push_back(r[i][k]);
                }
                text.push_back('\'');
            }
        }
        text.append(");\r\n");
    }
    if (mysql_errno(handle_) != 0) failNative();
}

void MySqlConnection::exportSql(String* out, bool withSchema) {
    requireHandle();
    if (!out) return;
    // Tables (with their rows), then views, which may read any table.
    std::vector<String> tables, views;
    {
        Result res(query("SHOW FULL TABLES;"));
        while (res) {
            MYSQL_ROW r = mysql_fetch_row(res.get());
            if (!r) break;
            unsigned long* len = mysql_fetch_lengths(res.get());
            (columnText(r, len, 1) == "VIEW" ? views : tables).push_back(columnText(r, len, 0));
        }
    }
    auto createText = [this](const String& name) {
        String sql;
        sql.format("SHOW CREATE TABLE %s;", TableDataset::quoteName(name).c_str());
        Result res(query(sql));
        String text;
        if (res && mysql_num_fields(res.get()) >= 2)
            if (MYSQL_ROW r = mysql_fetch_row(res.get()))
                text = columnText(r, mysql_fetch_lengths(res.get()), 1);
        return text;
    };
    std::string text;
    // The statements below are written in this connection's SQL mode
    // (double-quoted names, doubled quotes as the only escape): a dump read
    // by another client (the mariadb program) must ask for the same.
    text.append(
        "SET SESSION sql_mode=CONCAT_WS(',',NULLIF(@@sql_mode,''),'ANSI_QUOTES',"
        "'NO_BACKSLASH_ESCAPES');\r\n");
    if (withSchema) text.append("SET FOREIGN_KEY_CHECKS=0;\r\n");
    for (const String& table : tables) {
        if (withSchema) {
            String create = createText(table);
            text.append(create.c_str(), create.length()).append(";\r\n");
        }
        dumpRows(table, text);
    }
    if (withSchema) {
        for (const String& view : views) {
            String create = createText(view);
            text.append(create.c_str(), create.length()).append(";\r\n");
        }
        text.append("SET FOREIGN_KEY_CHECKS=1;\r\n");
    }
    out->append(TextRef(text.data(), text.size()));
}

}  // namespace VORLIN
