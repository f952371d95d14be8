#include "db/sqlite/SqliteLocalConnection.h"

#include <atomic>
#include <charconv>

#include <cctype>

#include <cmath>

#include <cerrno>

#include <dirent.h>
#include <fnmatch.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/FileText.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "db/ConnectionDialogs.h"
#include "db/FolderListing.h"
#include "db/sqlite/SqliteCursor.h"
#include "db/sqlite/SqliteDump.h"
#include "db/sqlite/SqliteFunctions.h"

namespace VORLIN {

namespace {

constexpr int kBusyStepMillis = 500;
constexpr int kPrepareRetryMillis = 200;
constexpr int kRenameAttempts = 21;
constexpr int kRenamePauseMillis = 100;
// The name under which updateDatabase attaches the old file to the new one.
constexpr const char* kOldSchema = "quelmir_old";

bool fileExists(const String& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool folderExists(const String& path) {
    struct stat st;
    return !path.isEmpty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A folder as the host: always ending with the separator.
String asFolder(const String& host) {
    String f(host);
    if (!f.isEmpty() && f.view().back() != '/') f.append('/');
    return f;
}

// A text for a '...' literal: inner quotes doubled.
String quoted(const String& text) {
    String s(text);
    s.replace("'", "''");
    return s;
}

// An identifier in double quotes (inner quotes doubled).
String ident(const String& name) {
    String s("\"");
    for (char c : name.view()) {
        if (c == '"') s.append('"');
        s.append(c);
    }
    s.append('"');
    return s;
}

// A database file and the journals SQLite may leave beside it.
void removeDatabaseFile(const String& path) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        ::unlink((path + suffix).c_str());
}

// The kind named by one entry of the types argument of queryDataset.
SqliteKind kindOfTypeName(const String& name) {
    if (name == "INTEGER" || name == "INT" || name == "UID") return SqliteKind::Integer;
    if (name == "NUMERIC") return SqliteKind::Double;
    if (name == "CURRENCY") return SqliteKind::Currency;
    if (name == "DATE") return SqliteKind::DateTime;
    if (name == "DAY") return SqliteKind::Date;
    if (name == "BOOL") return SqliteKind::Bool;
    if (name == "IMAGE") return SqliteKind::Image;
    return SqliteKind::Text;
}

// A column without declared type takes the stored class of the first row:
// integers and floats fix it; text, blobs and NULL leave it undecided, and
// the first non-null value decides (a number makes it a double column).
SqliteKind kindOfFirstValue(sqlite3_stmt* st, int col) {
    switch (sqlite3_column_type(st, col)) {
        case SQLITE_INTEGER:
            return SqliteKind::Integer;
        case SQLITE_FLOAT:
            return SqliteKind::Double;
        default:
            return SqliteKind::Undecided;
    }
}

// Reads an undecided column: NULL stays null, a number (strictly: "007"
// stays text) makes the column a double column, anything else is text.
void readUndecided(sqlite3_stmt* st, int col, SqliteKind& kind, DataItem& out, DataRow& model) {
    if (sqlite3_column_type(st, col) == SQLITE_NULL) {
        out.setNull();
        return;
    }
    const char* t = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
    String text(TextRef(t, t ? size_t(sqlite3_column_bytes(st, col)) : 0));
    if (text.isNumber(true)) {
        kind = SqliteKind::Double;
        model.setType(col, DataItem::TDouble);
        out.setDouble(text.parseNumber());
    } else {
        out.setString(text);
    }
}

// Whether column `col` of a prepared statement is part of the primary key of
// the table it comes from (SQLite's column metadata).
bool isKeyColumn(sqlite3* db, sqlite3_stmt* st, int col) {
    const char* table = sqlite3_column_table_name(st, col);
    const char* column = sqlite3_column_origin_name(st, col);
    if (!table || !column) return false;
    int primaryKey = 0;
    int rc = sqlite3_table_column_metadata(db, sqlite3_column_database_name(st, col), table, column,
                                           nullptr, nullptr, nullptr, &primaryKey, nullptr);
    return rc == SQLITE_OK && primaryKey != 0;
}

}  // namespace

// ---------------------------------------------------------------- lifecycle

SqliteLocalConnection::SqliteLocalConnection() {
    // randomStr and randomInt draw from the C library's generator.
    std::srand(unsigned(std::time(nullptr)));
}

SqliteLocalConnection::~SqliteLocalConnection() {
    closeHandle();
}

void SqliteLocalConnection::setBusyLimits(int handlerMillis, int retryMillis) {
    handlerMillis_ = std::max(0, handlerMillis);
    retryMillis_ = std::max(0, retryMillis);
}

int SqliteLocalConnection::busyHandler(void* self, int) {
    // Sleep and let SQLite try again until the handler's limit, counted from
    // the start of the statement (by default about a minute): the retry
    // loops that call SQLite again after it gave up do not start it anew.
    const auto* c = static_cast<const SqliteLocalConnection*>(self);
    SqliteRetry retry(c->waitStart_ + std::chrono::milliseconds(c->handlerMillis_),
                      &c->interrupted_);
    return retry.wait(kBusyStepMillis) ? 1 : 0;
}

void SqliteLocalConnection::startWait(bool fresh) noexcept {
    waitStart_ = SqliteRetry::Clock::now();
    if (fresh) interrupted_ = false;
}

SqliteRetry SqliteLocalConnection::retryBound() const noexcept {
    return SqliteRetry(waitStart_ + std::chrono::milliseconds(handlerMillis_ + retryMillis_),
                       &interrupted_);
}

int SqliteLocalConnection::stepRetry(sqlite3_stmt* st) {
    int rc = sqlite3_step(st);
    if (!SqliteRetry::isBusy(rc)) return rc;
    SqliteRetry retry = retryBound();
    while (SqliteRetry::isBusy(rc) && retry.wait(100))
        rc = sqlite3_step(st);
    return rc;
}

void SqliteLocalConnection::interrupt() {
    std::lock_guard<std::mutex> lock(handleMutex_);
    interrupted_ = true;
    if (db_) sqlite3_interrupt(db_);
}

void SqliteLocalConnection::dropInsertStatement() noexcept {
    if (insertStatement_) sqlite3_finalize(insertStatement_);
    insertStatement_ = nullptr;
    insertPrefix_.clear();
    insertValues_ = 0;
}

void SqliteLocalConnection::closeHandle() noexcept {
    dropInsertStatement();
    if (db_) {
        // The busy handler points at this object, which a cursor holding the
        // handle may outlive.
        sqlite3_busy_handler(db_, nullptr, nullptr);
        // close_v2: a cursor still holding a statement keeps the handle alive
        // until it finalizes; the connection lets go of it now.
        std::lock_guard<std::mutex> lock(handleMutex_);
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    inTransaction_ = false;
}

void SqliteLocalConnection::openHandle(const String& path, bool create) {
    sqlite3* db = nullptr;
    // No mutex: a connection is used by one thread at a time, and SQLite
    // would otherwise lock and unlock it on every column read.
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        db_ = nullptr;
        database_.clear();
        alias_.clear();
        fail(sqliteCodeName(rc));
    }
    sqlite3_busy_handler(db, &SqliteLocalConnection::busyHandler, this);
    std::lock_guard<std::mutex> lock(handleMutex_);
    db_ = db;
    SqliteFunctions::registerAll(db_);
}

void SqliteLocalConnection::setNames(const String& name, bool addExtension) {
    if (addExtension) {
        database_ = name + ".db";
        alias_ = name;
    } else {
        database_ = name;
        int dot = name.findChar('.');
        alias_ = dot < 0 ? name : name.left(uint32_t(dot));
    }
}

String SqliteLocalConnection::pathOf(const String& name, bool addExtension) const {
    String path = folder_ + name;
    if (addExtension) path.append(".db");
    return path;
}

void SqliteLocalConnection::requireDatabase() {
    if (!db_) fail(kNoDatabase);
}

// ------------------------------------------------------ folder and databases

bool SqliteLocalConnection::connect(const String& hostIn, const String&, const String&, bool,
                                    const String& database) {
    String host(hostIn);
    if (!host.isEmpty() && database == "-") {
        if (!folderExists(host)) {
            lastError_.format("SqliteLocalConnection.connect: No existe la carpeta %s",
                              host.c_str());
            return false;
        }
        folder_ = asFolder(host);
        return true;
    }
    try {
        ConnectionDialogs& dialogs = ConnectionDialogs::current();
        ConnectionDialogs::DatabaseChoice choice;
        auto openChoice = [&]() {
            folder_ = asFolder(choice.folder);
            // The dialog answers the file's name or the name without ".db".
            bool whole = fileExists(folder_ + choice.database);
            openDatabase(choice.database, !whole);
            return true;
        };
        if (host.isEmpty() || !folderExists(host)) {
            if (!database.isEmpty()) {
                if (!dialogs.selectLocalDatabase(*this, host, database, choice)) return false;
                return openChoice();
            }
            String chosen;
            if (!dialogs.chooseFolder(host.isEmpty() ? defaultFolder_ : host, chosen)) return false;
            host = chosen;
        }
        folder_ = asFolder(host);
        if (!database.isEmpty()) {
            if (fileExists(folder_ + database + ".db")) {
                openDatabase(database, true);
            } else {
                if (!dialogs.selectLocalDatabase(*this, folder_, database, choice)) return false;
                return openChoice();
            }
        }
        return true;
    } catch (const GeneralException& e) {
        // connect answers false; the reason stays in lastError.
        lastError_ = String(e.message());
        return false;
    }
}

void SqliteLocalConnection::disconnect() {
    database_.clear();
    alias_.clear();
    folder_.clear();
    closeHandle();
}

void SqliteLocalConnection::createDatabase(const String& name, bool addExtension) {
    String path = pathOf(name, addExtension);
    if (fileExists(path)) {
        String text;
        text.format("SqliteLocalConnection.createDatabase %s: File exists", name.c_str());
        fail(text);
    }
    closeHandle();
    openHandle(path, true);
    // SQLite writes nothing until the first change, and an empty file would
    // not pass the header check of openDatabase; setting a header field
    // writes the first page now.
    sqlite3_exec(db_, "PRAGMA user_version=0;", nullptr, nullptr, nullptr);
    setNames(name, addExtension);
}

bool SqliteLocalConnection::openDatabase(const String& name, bool addExtension, const String&,
                                         const String&) {
    if (name.isEmpty()) {
        database_.clear();
        alias_.clear();
        closeHandle();
        return true;
    }
    String path = pathOf(name, addExtension);
    if (!fileExists(path)) {
        createDatabase(name, addExtension);
        return true;
    }
    closeHandle();
    database_.clear();
    alias_.clear();
    // An SQLite file starts with "SQLite format 3"; an empty file is an empty
    // database to SQLite and is taken as one.
    char header[15] = {};
    size_t got = 0;
    bool readable = false;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        readable = true;
        got = std::fread(header, 1, sizeof header, f);
        std::fclose(f);
    }
    bool empty = readable && got == 0;
    if (!empty && (got != sizeof header || std::memcmp(header, "SQLite format 3", 15) != 0))
        fail("El archivo no es una base de Sqlite3");
    openHandle(path, true);
    setNames(name, addExtension);
    return true;
}

void SqliteLocalConnection::listDatabases(DataSet* out, const String& mask) {
    if (!out) return;
    String pattern = mask.isEmpty() ? String("*.db") : mask == "*" ? String() : mask;
    FolderListing::list(folder_, pattern, false, *out);
}

bool SqliteLocalConnection::databaseExists(const String& name, bool addExtension) {
    return fileExists(pathOf(name, addExtension));
}

String SqliteLocalConnection::browseDatabase(const String& host, const String&, const String&) {
    ConnectionDialogs::DatabaseChoice choice;
    String folder = host.isEmpty() ? folder_ : host;
    if (!ConnectionDialogs::current().selectLocalDatabase(*this, folder, database_, choice))
        return String();
    return choice.folder + "|" + choice.database;
}

// -------------------------------------------------------------- transactions

void SqliteLocalConnection::beginTransaction() {
    execute("BEGIN IMMEDIATE TRANSACTION");
    inTransaction_ = true;
}

void SqliteLocalConnection::commitTransaction() {
    requireDatabase();
    if (!inTransaction_) fail(kNoTransaction);
    execute("COMMIT TRANSACTION");
    inTransaction_ = false;
}

void SqliteLocalConnection::rollbackTransaction() {
    requireDatabase();
    if (!inTransaction_) fail(kNoTransaction);
    execute("ROLLBACK TRANSACTION");
    inTransaction_ = false;
}

// ------------------------------------------------------------- statements

void SqliteLocalConnection::failSql(const char* phase, int rc, const String& sql) {
    // A failure may have ended the transaction (SQLite rolls back by itself
    // after some errors): keep the flag true to the handle.
    if (db_ && sqlite3_get_autocommit(db_)) inTransaction_ = false;
    String text;
    text.format("%s %s:\r\n%s", phase, sqliteErrorText(db_, rc).c_str(), sql.c_str());
    fail(text);
}

sqlite3_stmt* SqliteLocalConnection::prepare(const String& sql, const char* phase) {
    sqlite3_stmt* st = nullptr;
    startWait();
    SqliteRetry retry = retryBound();
    int rc;
    // The length counts the terminator: SQLite then reads the text in place
    // instead of copying it first.
    while (SqliteRetry::isBusy(
               rc = sqlite3_prepare_v2(db_, sql.c_str(), int(sql.length()) + 1, &st, nullptr)) &&
           retry.wait(kPrepareRetryMillis)) {
    }
    if (rc != SQLITE_OK) failSql(phase, rc, sql);
    return st;
}

void SqliteLocalConnection::run(const String& sql, const char* phase) {
    // Statement by statement, so that a busy statement is retried by itself:
    // running the whole text again would repeat the statements before it.
    const char* p = sql.c_str();
    const char* end = p + sql.length();
    bool first = true;
    while (p < end) {
        sqlite3_stmt* raw = nullptr;
        const char* tail = nullptr;
        // An interrupt between two statements stops the rest of the text.
        if (!first && interrupted_) {
            String text;
            text.format("%s interrupted:\r\n%s", phase, sql.c_str());
            fail(text);
        }
        startWait(first);
        first = false;
        SqliteRetry retry = retryBound();
        int rc;
        // The length counts the terminator, so that SQLite reads the rest of
        // the text in place: without it every statement would copy the whole
        // rest of the script (quadratic on a long file).
        while (
            SqliteRetry::isBusy(rc = sqlite3_prepare_v2(db_, p, int(end - p) + 1, &raw, &tail)) &&
            retry.wait(kPrepareRetryMillis)) {
        }
        if (rc != SQLITE_OK) failSql(phase, rc, sql);
        SqliteStatement st(raw);
        // No progress: the rest stands behind a zero byte SQLite cannot read past.
        if (!raw && (!tail || tail <= p)) break;
        p = tail ? tail : end;
        if (!raw) continue;  // only white space or a comment
        while ((rc = stepRetry(raw)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) failSql(phase, rc, sql);
    }
}

void SqliteLocalConnection::execute(const String& sql) {
    requireDatabase();
    run(sql, "execute");
}

int64_t SqliteLocalConnection::executeMatched(const String& sql) {
    requireDatabase();
    run(sql, "execute");
    return int64_t(sqlite3_changes64(db_));
}

int32_t SqliteLocalConnection::executeInsert(const String& sql) {
    requireDatabase();
    run(sql, "execute insert");
    return int32_t(uint32_t(uint64_t(sqlite3_last_insert_rowid(db_))));
}

namespace {

// How a SQL literal is bound: SQLite reads 12 as an integer, 1.5 and 1e3
// as reals, 'x' as text and NULL as null; binding the same value gives the
// same stored value, affinity included.
enum class Bound { Null, Integer, Real, Text, Other };

Bound classify(const std::string& literal, sqlite3_int64& integer, double& real,
               std::string& text) {
    if (literal.size() >= 2 && literal.front() == '\'' && literal.back() == '\'') {
        text.clear();
        for (size_t i = 1; i + 1 < literal.size(); ++i) {
            text.push_back(literal[i]);
            if (literal[i] == '\'') ++i;  // a doubled quote stands for one
        }
        return Bound::Text;
    }
    if (literal == "NULL" || literal == "null") return Bound::Null;
    if (literal.empty()) return Bound::Other;
    const char* begin = literal.c_str();
    char* end = nullptr;
    bool plainInteger = true;
    for (size_t i = 0; i < literal.size(); ++i) {
        const char c = literal[i];
        if (!(std::isdigit(static_cast<unsigned char>(c)) || (i == 0 && (c == '-' || c == '+'))))
            plainInteger = false;
    }
    if (plainInteger) {
        errno = 0;
        integer = std::strtoll(begin, &end, 10);
        if (errno == 0 && end && *end == '\0') return Bound::Integer;
    }
    // A number with a point or an exponent, written as SQLite reads one.
    if (std::isdigit(static_cast<unsigned char>(literal[0])) || literal[0] == '-' ||
        literal[0] == '+' || literal[0] == '.') {
        errno = 0;
        real = std::strtod(begin, &end);
        if (errno == 0 && end && *end == '\0' && std::isfinite(real)) return Bound::Real;
    }
    return Bound::Other;
}

}  // namespace

void SqliteLocalConnection::insertLiterals(const String& prefix,
                                           const std::vector<std::string>& literals) {
    requireDatabase();
    if (!insertStatement_ || insertPrefix_ != prefix.view() || insertValues_ != literals.size()) {
        dropInsertStatement();
        std::string sql(prefix.view());
        for (size_t i = 0; i < literals.size(); ++i)
            sql.append(i ? ",?" : "?");
        sql.append(")");
        insertStatement_ = prepare(String(sql), "execute");
        insertPrefix_.assign(prefix.view());
        insertValues_ = literals.size();
    }
    sqlite3_stmt* st = insertStatement_;
    sqlite3_reset(st);
    sqlite3_int64 integer = 0;
    double real = 0;
    for (size_t i = 0; i < literals.size(); ++i) {
        const int at = int(i) + 1;
        switch (classify(literals[i], integer, real, insertText_)) {
            case Bound::Null:
                sqlite3_bind_null(st, at);
                break;
            case Bound::Integer:
                sqlite3_bind_int64(st, at, integer);
                break;
            case Bound::Real:
                sqlite3_bind_double(st, at, real);
                break;
            case Bound::Text:
                sqlite3_bind_text(st, at, insertText_.data(), int(insertText_.size()),
                                  SQLITE_TRANSIENT);
                break;
            case Bound::Other:
                // A value the statement cannot bind: the row goes as text.
                sqlite3_clear_bindings(st);
                DbConnection::insertLiterals(prefix, literals);
                return;
        }
    }
    startWait();
    const int rc = stepRetry(st);
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    if (rc != SQLITE_DONE) {
        std::string sql(prefix.view());
        for (size_t i = 0; i < literals.size(); ++i) {
            if (i > 0) sql.push_back(',');
            sql.append(literals[i]);
        }
        sql.append(")");
        failSql("execute", rc, String(sql));
    }
}

void SqliteLocalConnection::executeFile(const String& path) {
    requireDatabase();
    String text;
    if (!FileText::read(path, text)) fail("No se encontro el archivo");
    execute(text);
}

bool SqliteLocalConnection::stepScalar(sqlite3_stmt* st, const String& sql) {
    if (!st) return false;
    int rc = stepRetry(st);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    failSql("query", rc, sql);
}

DataItem SqliteLocalConnection::queryItem(const String& sql) {
    requireDatabase();
    SqliteStatement st(prepare(sql, "prepare"));
    DataItem item;
    if (stepScalar(st.get(), sql) && sqlite3_column_count(st.get()) > 0) {
        SqliteKind kind = sqliteKindOf(sqlite3_column_decltype(st.get(), 0), SqliteTypeOrder::Item);
        sqliteReadStored(st.get(), 0, kind, item);
    }
    return item;
}

int32_t SqliteLocalConnection::queryInt(const String& sql) {
    requireDatabase();
    SqliteStatement st(prepare(sql, "prepare"));
    return stepScalar(st.get(), sql) ? sqlite3_column_int(st.get(), 0) : 0;
}

String SqliteLocalConnection::queryString(const String& sql) {
    requireDatabase();
    SqliteStatement st(prepare(sql, "prepare"));
    return stepScalar(st.get(), sql) ? sqliteColumnText(st.get(), 0) : String();
}

double SqliteLocalConnection::queryDouble(const String& sql) {
    requireDatabase();
    SqliteStatement st(prepare(sql, "prepare"));
    return stepScalar(st.get(), sql) ? sqlite3_column_double(st.get(), 0) : 0.0;
}

DateTime SqliteLocalConnection::queryDateTime(const String& sql) {
    requireDatabase();
    SqliteStatement st(prepare(sql, "prepare"));
    return stepScalar(st.get(), sql) ? sqliteColumnDateTime(st.get(), 0) : DateTime();
}

DateDay SqliteLocalConnection::queryDate(const String& sql) {
    requireDatabase();
    SqliteStatement st(prepare(sql, "prepare"));
    return stepScalar(st.get(), sql) ? sqliteColumnDate(st.get(), 0) : DateDay();
}

void SqliteLocalConnection::queryDataRow(const String& sql, DataRow* row) {
    requireDatabase();
    SqliteStatement st(prepare(sql, "prepare"));
    if (!stepScalar(st.get(), sql) || !row) return;
    int n = sqlite3_column_count(st.get());
    if (n != row->count()) fail("queryRow: Diferent column number");
    for (int i = 0; i < n; ++i) {
        SqliteKind kind =
            sqliteKindOf(sqlite3_column_decltype(st.get(), i), SqliteTypeOrder::General);
        sqliteReadStored(st.get(), i, kind, *row->cell(i));
    }
}

DataRow* SqliteLocalConnection::queryNewDataRow(const String& sql) {
    requireDatabase();
    SqliteStatement st(prepare(sql, "prepare"));
    if (!stepScalar(st.get(), sql)) return nullptr;
    int n = sqlite3_column_count(st.get());
    auto row = std::make_unique<DataRow>(n);
    for (int i = 0; i < n; ++i) {
        SqliteKind kind =
            sqliteKindOf(sqlite3_column_decltype(st.get(), i), SqliteTypeOrder::General);
        sqliteReadStored(st.get(), i, kind, *row->cell(i));
    }
    return row.release();
}

void SqliteLocalConnection::queryDataset(const String& sql, DataSet* out, const String& types,
                                         bool append) {
    requireDatabase();
    if (!out) return;
    if (!append) out->clearRows();
    SqliteStatement st(prepare(sql, "prepare"));
    sqlite3_stmt* s = st.get();
    const int n = s ? sqlite3_column_count(s) : 0;

    // One kind per column, decided once: by the types given, else by the
    // declared type (columns without one by the first row).
    std::vector<SqliteKind> kinds(size_t(n), SqliteKind::Text);
    // Kinds from declared types (or the stored class of the first row) keep
    // values that do not fit them as stored; kinds the caller asked for, or
    // decided by a text that reads as a number, convert.
    std::vector<char> declared(size_t(n), 0);
    DataRow model(n);
    String names;
    String typeList(types);
    for (int i = 0; i < n; ++i) {
        names.append(sqlite3_column_name(s, i)).append('|');
        SqliteKind kind =
            types.isEmpty() ? sqliteKindOf(sqlite3_column_decltype(s, i), SqliteTypeOrder::General)
                            : kindOfTypeName(typeList.token("|", i == 0));
        kinds[size_t(i)] = kind;
        declared[size_t(i)] = types.isEmpty() && kind != SqliteKind::Untyped;
        model.setType(i, sqliteKindTag(kind));
    }
    // The names go in before the rows: a reader shown the rows while they
    // arrive names its columns from the first one.
    out->setColumnNames(names);

    bool first = true;
    int rc;
    while (s && (rc = stepRetry(s)) == SQLITE_ROW) {
        if (first) {
            first = false;
            for (int i = 0; i < n; ++i) {
                if (kinds[size_t(i)] != SqliteKind::Untyped) continue;
                kinds[size_t(i)] = kindOfFirstValue(s, i);
                // A stored integer or real fixed the kind: later values of
                // another class keep theirs ('abc' after 5 stays 'abc').
                declared[size_t(i)] = kinds[size_t(i)] != SqliteKind::Undecided;
                model.setType(i, sqliteKindTag(kinds[size_t(i)]));
            }
        }
        std::unique_ptr<DataRow> row = DataRow::make(n);
        for (int i = 0; i < n; ++i) {
            SqliteKind& kind = kinds[size_t(i)];
            if (kind == SqliteKind::Undecided)
                readUndecided(s, i, kind, *row->cell(i), model);
            else if (declared[size_t(i)])
                sqliteReadStored(s, i, kind, *row->cell(i));
            else
                sqliteReadColumn(s, i, kind, *row->cell(i));
        }
        out->insertRow(std::move(row));
    }
    if (s && rc != SQLITE_DONE) {
        out->clearRows();
        failSql("query", rc, sql);
    }
    out->setHeader(&model);
}

void SqliteLocalConnection::readModel(sqlite3_stmt* st, DataSet* out, bool stepped) {
    const int n = sqlite3_column_count(st);
    DataRow model(n);
    String names;
    for (int i = 0; i < n; ++i) {
        names.append(sqlite3_column_name(st, i)).append('|');
        SqliteKind kind = sqliteKindOf(sqlite3_column_decltype(st, i), SqliteTypeOrder::Model);
        if (kind == SqliteKind::Untyped) {
            int type = stepped ? sqlite3_column_type(st, i) : SQLITE_NULL;
            kind = type == SQLITE_INTEGER ? SqliteKind::Integer
                   : type == SQLITE_FLOAT ? SqliteKind::Double
                                          : SqliteKind::Text;
        }
        model.setType(i, sqliteKindTag(kind));
    }
    out->setColumnNames(names);
    out->setHeader(&model);
}

void SqliteLocalConnection::queryModel(const String& table, TableDataset* out) {
    requireDatabase();
    if (!out) return;
    String sql;
    sql.format(out->rowIdMode() ? "SELECT ROWID,* FROM %s LIMIT 1;" : "SELECT * FROM %s LIMIT 1;",
               TableDataset::quoteName(table).c_str());
    SqliteStatement st(prepare(sql, "prepare"));
    if (!st) return;
    // One step, so that columns without declared type take the stored class
    // of the first row.
    int rc = stepRetry(st.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) failSql("query", rc, sql);
    readModel(st.get(), out, rc == SQLITE_ROW);

    // The key: the one primary-key column. A second one means a composite key
    // (no single key), except in row-id mode, where the row id (first) stays.
    int key = -2;
    const int n = sqlite3_column_count(st.get());
    for (int i = 0; i < n; ++i) {
        if (!isKeyColumn(db_, st.get(), i)) continue;
        if (key == -2)
            key = i;
        else if (!out->rowIdMode())
            key = -1;
    }
    out->setTableName(table);
    out->setCounterColumn(-1);
    out->setKeyColumn(key == -2 ? -1 : key);
    // An INTEGER PRIMARY KEY is the row id itself: a new row left without
    // key gets the number the INSERT answers.
    const char* decl = key >= 0 ? sqlite3_column_decltype(st.get(), key) : nullptr;
    out->setKeyTakesRowId(decl && String(decl).equalsNoCase("INTEGER"));
}

void SqliteLocalConnection::queryColumns(const String& sql, DataSet* out) {
    requireDatabase();
    if (!out) return;
    SqliteStatement st(prepare(sql, "prepare"));
    if (st) readModel(st.get(), out, false);
}

// ------------------------------------------------------ catalogue and tables

void SqliteLocalConnection::listTables(DataSet* out) {
    queryDataset("SELECT name FROM sqlite_master WHERE type=='table' ORDER BY name;", out, "",
                 false);
}

int SqliteLocalConnection::getTableInfo(const String& table, DataSet* out) {
    String sql;
    sql.format("PRAGMA table_info(%s);", TableDataset::quoteName(table).c_str());
    queryDataset(sql, out, "", false);
    return 1;
}

int SqliteLocalConnection::findKeyColumn(const String& table) {
    String sql;
    sql.format("SELECT * FROM %s LIMIT 1;", TableDataset::quoteName(table).c_str());
    SqliteStatement st(prepare(sql, "prepare"));
    const int n = st ? sqlite3_column_count(st.get()) : 0;
    for (int i = 0; i < n; ++i)
        if (isKeyColumn(db_, st.get(), i)) return i;
    return -1;
}

bool SqliteLocalConnection::isView(const String& table) {
    String sql;
    sql.format("SELECT type FROM sqlite_master WHERE name='%s';", quoted(table).c_str());
    return queryString(sql) == "view";
}

sqlite3_stmt* SqliteLocalConnection::prepareRows(const TableDataset& set, const String& where,
                                                 const String& orderBy, String& sql,
                                                 std::vector<SqliteKind>& kinds) {
    String whereClause, orderClause;
    if (!where.isEmpty()) whereClause.format(" WHERE %s", where.c_str());
    if (!orderBy.isEmpty()) orderClause.format(" ORDER BY %s", orderBy.c_str());
    sql.format(set.rowIdMode() ? "SELECT ROWID,* FROM %s%s%s;" : "SELECT * FROM %s%s%s;",
               TableDataset::quoteName(set.tableName()).c_str(), whereClause.c_str(),
               orderClause.c_str());
    sqlite3_stmt* st = prepare(sql, "prepare");
    // Each column is read by the kind of its model item.
    const int n = st ? sqlite3_column_count(st) : 0;
    kinds.assign(size_t(n), SqliteKind::Text);
    const DataRow* model = set.header();
    for (int i = 0; i < n; ++i)
        if (model && i < model->count()) kinds[size_t(i)] = sqliteKindOfTag(model->typeOf(i));
    return st;
}

void SqliteLocalConnection::openTable(TableDataset* out, const String& where,
                                      const String& orderBy) {
    requireDatabase();
    if (!out) return;
    out->clearRows();
    String sql;
    std::vector<SqliteKind> kinds;
    SqliteStatement st(prepareRows(*out, where, orderBy, sql, kinds));
    sqlite3_stmt* s = st.get();
    if (!s) return;
    const int n = int(kinds.size());

    // Loaded rows are not changes: each goes in unmarked, with its image.
    int rc;
    while ((rc = stepRetry(s)) == SQLITE_ROW) {
        std::unique_ptr<DataRow> row = DataRow::make(n);
        for (int i = 0; i < n; ++i)
            sqliteReadStored(s, i, kinds[size_t(i)], *row->cell(i));
        out->insertStoredRow(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        out->clearRows();
        failSql("query", rc, sql);
    }
}

void SqliteLocalConnection::bindTable(TableDataset* out, const String& table) {
    out->setTableName(table);
    // Without a primary-key column the rows carry the row id (views have none).
    int key = findKeyColumn(table);
    out->setRowIdMode(key == -1 && !isView(table));
    queryModel(table, out);
}

void SqliteLocalConnection::openTable(TableDataset* out, const String& table, const String& where,
                                      const String& orderBy) {
    requireDatabase();
    if (!out) return;
    out->setTrackChanges(false);
    try {
        bindTable(out, table);
        openTable(out, where, orderBy);
    } catch (...) {
        out->setTrackChanges(true);
        throw;
    }
    out->setTrackChanges(true);
}

bool SqliteLocalConnection::tableExist(const String& table) {
    requireDatabase();
    String sql;
    sql.format("SELECT name FROM sqlite_master WHERE name='%s'", quoted(table).c_str());
    sqlite3_stmt* raw = nullptr;
    startWait();
    if (sqlite3_prepare_v2(db_, sql.c_str(), int(sql.length()), &raw, nullptr) != SQLITE_OK)
        return false;
    SqliteStatement st(raw);
    return raw && stepRetry(raw) == SQLITE_ROW;
}

String SqliteLocalConnection::getCreateTable(const String& table) {
    // The table first, then its indexes, then triggers; automatic indexes
    // have no SQL and are left out.
    String sql;
    sql.format(
        "SELECT sql FROM sqlite_master WHERE tbl_name='%s' AND sql IS NOT NULL "
        "ORDER BY type<>'table', type<>'index', rootpage;",
        quoted(table).c_str());
    DataSet rows;
    queryDataset(sql, &rows, "", false);
    String text;
    for (DataRow* row : rows.rows())
        text.append(row->cell(0)->text()).append(';');
    return text;
}

int32_t SqliteLocalConnection::nextCounter(const String& table, const String& where,
                                           const String& column) {
    requireDatabase();
    return commonNextCounter(table, where, column);
}

// ------------------------------------------------------------------ export

void SqliteLocalConnection::exportSql(String* out, bool withSchema) {
    requireDatabase();
    if (!out) return;
    // Reals and blobs are written by SQLite's own quote(), through this
    // statement, so that every digit is kept exactly as quote() keeps it.
    SqliteStatement quote(prepare("SELECT quote(?);", "prepare"));
    std::vector<std::string> buffers;
    std::vector<std::string_view> texts;
    // Each result is read a row at a time: the table is never held whole.
    SqliteDump::write(
        [&](const String& sql, bool literals, const SqliteDump::Row& row) {
            SqliteStatement st(prepare(sql, "prepare"));
            if (!st) return;
            const int n = sqlite3_column_count(st.get());
            buffers.resize(size_t(n > 0 ? n : 1));
            texts.resize(size_t(n > 0 ? n : 1));
            int rc;
            while ((rc = stepRetry(st.get())) == SQLITE_ROW) {
                for (int i = 0; i < n; ++i) {
                    std::string& b = buffers[size_t(i)];
                    const int type = sqlite3_column_type(st.get(), i);
                    if (!literals || type == SQLITE_TEXT) {
                        const auto* text =
                            reinterpret_cast<const char*>(sqlite3_column_text(st.get(), i));
                        const std::string_view raw =
                            text ? std::string_view(text, size_t(sqlite3_column_bytes(st.get(), i)))
                                 : std::string_view();
                        if (!literals) {
                            texts[size_t(i)] = raw;
                            continue;
                        }
                        // 'text' with its quotes doubled, as quote() writes it.
                        b.assign(1, '\'');
                        size_t from = 0;
                        for (size_t q; (q = raw.find('\'', from)) != std::string_view::npos;
                             from = q + 1)
                            b.append(raw.substr(from, q - from + 1)).push_back('\'');
                        b.append(raw.substr(from)).push_back('\'');
                    } else if (type == SQLITE_INTEGER) {
                        char digits[24];
                        auto [end, ec] = std::to_chars(
                            digits, digits + sizeof digits,
                            static_cast<long long>(sqlite3_column_int64(st.get(), i)));
                        (void)ec;
                        b.assign(digits, size_t(end - digits));
                    } else if (type == SQLITE_NULL) {
                        b.assign("NULL");
                    } else {
                        sqlite3_reset(quote.get());
                        sqlite3_bind_value(quote.get(), 1, sqlite3_column_value(st.get(), i));
                        if (sqlite3_step(quote.get()) != SQLITE_ROW)
                            failSql("query", SQLITE_ERROR, sql);
                        const auto* text =
                            reinterpret_cast<const char*>(sqlite3_column_text(quote.get(), 0));
                        b.assign(text ? text : "NULL",
                                 text ? size_t(sqlite3_column_bytes(quote.get(), 0)) : 4);
                        sqlite3_reset(quote.get());
                    }
                    texts[size_t(i)] = b;
                }
                row(texts.data(), n);
            }
            if (rc != SQLITE_DONE) failSql("query", rc, sql);
        },
        out, withSchema, true);
}

// ------------------------------------------------------------------ cursor

void SqliteLocalConnection::createCursor(const String& sql, DbCursor* cursor) {
    requireDatabase();
    auto* target = dynamic_cast<SqliteCursor*>(cursor);
    if (!target) fail("SqliteLocalConnection.createCursor: el cursor no es un SqliteCursor");
    sqlite3_stmt* st = prepare(sql, "create cursor");
    try {
        target->bind(st, retryMillis_);
    } catch (const GeneralException& e) {
        fail(e.message());
    }
}

// ------------------------------------------------------------------ backup

void SqliteLocalConnection::backupDatabase(const String& file, bool overwrite, int32_t) {
    requireDatabase();
    String target = folder_ + file + ".db";
    String text;
    if (fileExists(target)) {
        if (!overwrite) {
            text.format("backup database: %s exists", file.c_str());
            fail(text);
        }
        removeDatabaseFile(target);
    }
    sqlite3* dst = nullptr;
    if (sqlite3_open_v2(target.c_str(), &dst, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        sqlite3_close_v2(dst);
        text.format("backup database: no se pudo crear el archivo %s", target.c_str());
        fail(text);
    }
    startWait();
    sqlite3_busy_handler(dst, &SqliteLocalConnection::busyHandler, this);
    if (sqlite3_backup* b = sqlite3_backup_init(dst, "main", db_, "main")) {
        // All pages in one step; a locked source is waited for like a statement.
        SqliteRetry retry = retryBound();
        int rc;
        while (SqliteRetry::isBusy(rc = sqlite3_backup_step(b, -1)) && retry.wait(100)) {
        }
        sqlite3_backup_finish(b);
    }
    int rc = sqlite3_errcode(dst);
    sqlite3_close_v2(dst);
    if (rc != SQLITE_OK) {
        removeDatabaseFile(target);
        text.format("backup database: error (%d) %s", rc, sqliteCodeName(rc));
        fail(text);
    }
}

// ---------------------------------------------------------- updateDatabase

bool SqliteLocalConnection::keepCopy(const String& from, const String& to) {
    ::unlink(to.c_str());
    // A second name for the same file costs nothing; where the file system
    // has no hard links, a copy.
    if (::link(from.c_str(), to.c_str()) == 0) return true;
    std::error_code ec;
    return std::filesystem::copy_file(from.c_str(), to.c_str(),
                                      std::filesystem::copy_options::overwrite_existing, ec) &&
           !ec;
}

bool SqliteLocalConnection::replaceFile(const String& from, const String& to) {
    // rename(2) replaces the target in one step: the old name never goes
    // missing.
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool SqliteLocalConnection::retryFileStep(bool (SqliteLocalConnection::*step)(const String&,
                                                                              const String&),
                                          const String& from, const String& to) {
    SqliteRetry retry(retryMillis_);
    for (int attempt = 1;; ++attempt) {
        if ((this->*step)(from, to)) return true;
        if (attempt >= kRenameAttempts || !retry.wait(kRenamePauseMillis)) return false;
    }
}

void SqliteLocalConnection::copyTables(SqliteLocalConnection& fresh, WaitWindow* wait) {
    // The rows go across inside SQLite (INSERT ... SELECT over the attached
    // old file), matched by column name: values keep their exact storage
    // (64-bit integers, full doubles, blobs) and new columns get their
    // declared defaults.
    DataSet tables;
    queryDataset("SELECT name FROM sqlite_master WHERE type='table';", &tables, "", false);
    for (DataRow* row : tables.rows()) {
        const String& table = row->cell(0)->text();
        if (table.left(7).equalsNoCase("sqlite_")) continue;
        String sql;
        sql.format("SELECT count(*) FROM main.sqlite_master WHERE type='table' AND name='%s';",
                   quoted(table).c_str());
        if (fresh.queryInt(sql) == 0) continue;  // not in the new schema: dropped
        if (wait) {
            String text;
            text.format("Actualizando %s...", table.c_str());
            wait->showText(text);
        }
        DataSet oldColumns, newColumns;
        sql.format("PRAGMA %s.table_info(%s);", kOldSchema, ident(table).c_str());
        fresh.queryDataset(sql, &oldColumns, "", false);
        sql.format("PRAGMA main.table_info(%s);", ident(table).c_str());
        fresh.queryDataset(sql, &newColumns, "", false);
        String columns;
        for (DataRow* column : newColumns.rows()) {
            const String& name = column->cell(1)->text();
            bool shared = false;
            for (DataRow* old : oldColumns.rows())
                shared = shared || old->cell(1)->text().equalsNoCase(name);
            if (!shared) continue;
            if (!columns.isEmpty()) columns.append(',');
            columns.append(ident(name));
        }
        if (columns.isEmpty()) continue;
        sql.format("INSERT INTO main.%s(%s) SELECT %s FROM %s.%s;", ident(table).c_str(),
                   columns.c_str(), columns.c_str(), kOldSchema, ident(table).c_str());
        fresh.execute(sql);
    }
    // AUTOINCREMENT counters: the old high-water marks of the tables kept.
    String sql;
    sql.format("SELECT count(*) FROM %s.sqlite_master WHERE name='sqlite_sequence';", kOldSchema);
    if (fresh.queryInt(sql) > 0 && fresh.tableExist("sqlite_sequence")) {
        sql.format(
            "DELETE FROM main.sqlite_sequence WHERE name IN (SELECT name FROM %s.sqlite_sequence);"
            "INSERT INTO main.sqlite_sequence(name,seq) SELECT name,seq FROM %s.sqlite_sequence "
            "WHERE name IN (SELECT name FROM main.sqlite_master WHERE type='table');",
            kOldSchema, kOldSchema);
        fresh.execute(sql);
    }
}

void SqliteLocalConnection::insertDefaults(SqliteLocalConnection& fresh, DataSet* defaults,
                                           WaitWindow* wait) {
    if (!defaults || defaults->rowCount() == 0) return;
    if (wait) wait->showText("Inicializando registros por default....");
    String table;
    bool first = true;
    bool insert = false;
    for (DataRow* row : defaults->rows()) {
        const DataItem* cell = row->cell(0);
        if (!cell) continue;
        String statement(cell->text());
        // The table is the third word: "INSERT INTO name(...)" or "... name VALUES".
        String words(statement);
        words.token(" ", true);
        words.token(" ");
        String name = words.token(" (");
        if (first || name != table) {
            // Only tables that exist and came out empty get their defaults.
            first = false;
            table = name;
            String sql;
            sql.format("SELECT COUNT(*) FROM %s;", table.c_str());
            insert = fresh.tableExist(table) && fresh.queryInt(sql) == 0;
        }
        if (insert) fresh.execute(statement);
    }
}

String SqliteLocalConnection::temporaryName(const char* role, const String& database) {
    static std::atomic<unsigned> calls{0};
    String name;
    name.format("%s%ld_%u_%s", role, long(::getpid()), ++calls, database.c_str());
    return name;
}

bool SqliteLocalConnection::updateDatabase(const String* schema, DataSet* defaults,
                                           WaitWindow* wait) {
    requireDatabase();
    if (inTransaction_) fail("UpdateDatabase: Hay una transacción abierta");
    const String database = database_;
    const String alias = alias_;
    const String original = folder_ + database;
    const String freshName = temporaryName("_TMP_", database);
    const String freshPath = folder_ + freshName;
    const String oldCopy = folder_ + temporaryName("_TMP_OLD_", database);
    removeDatabaseFile(freshPath);

    // 1. Build the new database completely beside the old one. Nothing here
    //    touches the old file; on failure the new one is thrown away and the
    //    old database stays open.
    {
        SqliteLocalConnection fresh;
        fresh.setBusyLimits(handlerMillis_, retryMillis_);
        fresh.folder_ = folder_;
        bool locked = false;
        try {
            fresh.createDatabase(freshName, false);
            if (wait) wait->showText("Creando nueva base...");
            fresh.beginTransaction();
            fresh.execute(schema ? *schema : String());
            fresh.commitTransaction();

            // Other writers wait while the rows are copied, so that nothing
            // written to the old file meanwhile is lost.
            run("BEGIN IMMEDIATE TRANSACTION", "execute");
            locked = true;
            String attach;
            attach.format("ATTACH DATABASE '%s' AS %s;", quoted(original).c_str(), kOldSchema);
            fresh.execute(attach);
            // Deferred: BEGIN IMMEDIATE would ask for a write lock on the
            // attached old file too, which this connection holds.
            fresh.execute("BEGIN TRANSACTION");
            copyTables(fresh, wait);
            insertDefaults(fresh, defaults, wait);
            fresh.execute("COMMIT TRANSACTION");
            fresh.execute(String("DETACH DATABASE ") + kOldSchema + ";");
            sqlite3_exec(db_, "ROLLBACK;", nullptr, nullptr, nullptr);
        } catch (const GeneralException& e) {
            if (locked) sqlite3_exec(db_, "ROLLBACK;", nullptr, nullptr, nullptr);
            fresh.disconnect();
            removeDatabaseFile(freshPath);
            fail(e.message());
        }
        fresh.disconnect();
    }

    // 2. Close the old database and swap the files: keep a second name of the
    //    old file, then rename the new file over the old name in one step.
    //    If either step fails the old file is still under its own name.
    closeHandle();
    auto reopen = [&]() {
        openDatabase(database, false);
        alias_ = alias;
    };
    if (!retryFileStep(&SqliteLocalConnection::keepCopy, original, oldCopy)) {
        ::unlink(oldCopy.c_str());
        removeDatabaseFile(freshPath);
        reopen();
        fail("UpdateDatabase: No se pudo renombrar el archivo(1).");
    }
    if (!retryFileStep(&SqliteLocalConnection::replaceFile, freshPath, original)) {
        ::unlink(oldCopy.c_str());
        removeDatabaseFile(freshPath);
        reopen();
        fail("UpdateDatabase: No se pudo renombrar el archivo(2).");
    }
    try {
        reopen();
    } catch (const GeneralException& e) {
        // The new file cannot be opened: the old one goes back.
        closeHandle();
        if (replaceFile(oldCopy, original)) reopen();
        fail(e.message());
    }
    ::unlink(oldCopy.c_str());
    return true;
}

}  // namespace VORLIN
