#include "db/sqlite/SqliteCursor.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "core/GeneralException.h"

namespace VORLIN {

// ------------------------------------------------------------ declared types

namespace {

struct TypeRule {
    const char* word;
    SqliteKind kind;
};

// "INTEGER" contains "INT", so testing "INT" covers both.
constexpr TypeRule kGeneral[] = {
    {"INT", SqliteKind::Integer},    {"UID", SqliteKind::Integer},
    {"NUMERIC", SqliteKind::Double}, {"CURRENCY", SqliteKind::Currency},
    {"DATE", SqliteKind::DateTime},  {"DAY", SqliteKind::Date},
    {"BOOL", SqliteKind::Bool},      {"IMAGE", SqliteKind::Image},
};
constexpr TypeRule kItem[] = {
    {"INT", SqliteKind::Integer},    {"UID", SqliteKind::Integer},
    {"NUMERIC", SqliteKind::Double}, {"CURRENCY", SqliteKind::Currency},
    {"DATE", SqliteKind::DateTime},  {"DAY", SqliteKind::Date},
    {"BOOL", SqliteKind::Bool},
};
constexpr TypeRule kModel[] = {
    {"INT", SqliteKind::Integer},       {"UID", SqliteKind::Integer},
    {"NUMERIC", SqliteKind::Double},    {"DATE", SqliteKind::DateTime},
    {"DAY", SqliteKind::Date},          {"BOOL", SqliteKind::Bool},
    {"CURRENCY", SqliteKind::Currency}, {"IMAGE", SqliteKind::Image},
};
constexpr TypeRule kCursor[] = {
    {"INT", SqliteKind::Integer},       {"UID", SqliteKind::Integer},
    {"NUMERIC", SqliteKind::Double},    {"DOUBLE", SqliteKind::Double},
    {"CURRENCY", SqliteKind::Currency}, {"DATE", SqliteKind::DateTime},
    {"DAY", SqliteKind::Date},          {"BOOL", SqliteKind::Bool},
    {"IMAGE", SqliteKind::Image},
};

template <size_t N>
SqliteKind firstHit(const char* decl, const TypeRule (&rules)[N]) {
    for (const TypeRule& r : rules)
        if (std::strstr(decl, r.word)) return r.kind;
    return SqliteKind::Text;
}

// The fixed shapes "Y-M-D" and "Y-M-D h:m:s" ("T" instead of the space) with
// plain digit pieces read exactly as String::parseDate reads them, without
// its copies and tokens; anything else goes through parseDate itself.
bool digitsAt(const char*& p, const char* end, int maxDigits, int& value) {
    const char* start = p;
    value = 0;
    while (p < end && *p >= '0' && *p <= '9' && p - start < maxDigits)
        value = value * 10 + (*p++ - '0');
    return p > start && (p == end || *p < '0' || *p > '9');
}

bool quickDate(const char* s, int n, DateTime& out) {
    const char* p = s;
    const char* end = s + n;
    int y, mo, d, h = 0, mi = 0, se = 0;
    if (!digitsAt(p, end, 5, y) || p == end || *p++ != '-') return false;
    if (!digitsAt(p, end, 4, mo) || p == end || *p++ != '-') return false;
    if (!digitsAt(p, end, 4, d)) return false;
    if (p != end) {
        if (*p != ' ' && *p != 'T') return false;
        ++p;
        if (!digitsAt(p, end, 4, h) || p == end || *p++ != ':') return false;
        if (!digitsAt(p, end, 4, mi) || p == end || *p++ != ':') return false;
        if (!digitsAt(p, end, 4, se) || p != end) return false;
    }
    out = DateTime();
    out.year = uint16_t(y);
    out.month = uint16_t(mo);
    out.day = uint16_t(d);
    out.hour = uint16_t(h);
    out.minute = uint16_t(mi);
    out.second = uint16_t(se);
    return true;
}

// An integer column: a 32-bit "int" item. A value beyond 32 bits would come
// out as a different, plausible number (and be written back so by the
// generated SQL); it is kept as a "string" item with its exact digits
// instead, which an INTEGER column reads back as the same integer.
void setInteger(sqlite3_stmt* st, int col, DataItem& out) {
    sqlite3_int64 v = sqlite3_column_int64(st, col);
    if (v >= INT32_MIN && v <= INT32_MAX) {
        out.setInt(int32_t(v));
        return;
    }
    String digits;
    digits.appendInt(v);
    out.setString(digits);
}

TextRef columnTextRef(sqlite3_stmt* st, int col) {
    const char* t = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
    return TextRef(t, t ? size_t(sqlite3_column_bytes(st, col)) : 0);
}

}  // namespace

SqliteKind sqliteKindOf(const char* decl, SqliteTypeOrder order) {
    if (!decl) return SqliteKind::Untyped;
    switch (order) {
        case SqliteTypeOrder::General:
            return firstHit(decl, kGeneral);
        case SqliteTypeOrder::Item:
            return firstHit(decl, kItem);
        case SqliteTypeOrder::Model:
            return firstHit(decl, kModel);
        case SqliteTypeOrder::Cursor:
            return firstHit(decl, kCursor);
    }
    return SqliteKind::Text;
}

int sqliteKindTag(SqliteKind kind) {
    switch (kind) {
        case SqliteKind::Integer:
            return DataItem::TInt;
        case SqliteKind::Double:
            return DataItem::TDouble;
        case SqliteKind::Currency:
            return DataItem::TCurrency;
        case SqliteKind::DateTime:
            return DataItem::TDate;
        case SqliteKind::Date:
            return DataItem::TDay;
        case SqliteKind::Bool:
            return DataItem::TBool;
        case SqliteKind::Image:
            return DataItem::TBin;
        case SqliteKind::Text:
            return DataItem::TString;
        case SqliteKind::Untyped:
        case SqliteKind::Undecided:
            return DataItem::TNull;
    }
    return DataItem::TNull;
}

SqliteKind sqliteKindOfTag(int tag) {
    switch (tag) {
        case DataItem::TInt:
            return SqliteKind::Integer;
        case DataItem::TDouble:
            return SqliteKind::Double;
        case DataItem::TCurrency:
            return SqliteKind::Currency;
        case DataItem::TDate:
            return SqliteKind::DateTime;
        case DataItem::TDay:
            return SqliteKind::Date;
        case DataItem::TBool:
            return SqliteKind::Bool;
        case DataItem::TBin:
            return SqliteKind::Image;
        default:
            return SqliteKind::Text;
    }
}

// --------------------------------------------------------------- reading

String sqliteColumnText(sqlite3_stmt* st, int col) {
    return String(columnTextRef(st, col));
}

DateTime sqliteColumnDateTime(sqlite3_stmt* st, int col) {
    int type = sqlite3_column_type(st, col);
    if (type == SQLITE_FLOAT) return DateTime(sqlite3_column_double(st, col));
    if (type == SQLITE_NULL) return DateTime();
    TextRef t = columnTextRef(st, col);
    DateTime d;
    if (quickDate(t.data(), int(t.size()), d)) return d;
    return String(t).parseDate(true);
}

DateDay sqliteColumnDate(sqlite3_stmt* st, int col) {
    if (sqlite3_column_type(st, col) == SQLITE_INTEGER)
        return DateDay::fromDayOfYear(sqlite3_column_int(st, col));
    DateDay d;
    d.fromString(String(columnTextRef(st, col)));
    return d;
}

namespace {

// sqliteReadColumn with the stored class already asked for (asking costs
// as much as reading a small value: a table of a million rows asks it
// millions of times).
void readColumn(sqlite3_stmt* st, int col, SqliteKind kind, int type, DataItem& out) {
    if (type == SQLITE_NULL) {
        out.setNull();
        return;
    }
    switch (kind) {
        case SqliteKind::Integer:
            setInteger(st, col, out);
            return;
        case SqliteKind::Double:
            out.setDouble(sqlite3_column_double(st, col));
            return;
        case SqliteKind::Currency:
            out.setCurrency(Currency(sqlite3_column_double(st, col)));
            return;
        case SqliteKind::DateTime:
            out.setDate(sqliteColumnDateTime(st, col));
            return;
        case SqliteKind::Date:
            out.setDay(sqliteColumnDate(st, col));
            return;
        case SqliteKind::Bool:
            out.setBool(sqlite3_column_int64(st, col) != 0);
            return;
        case SqliteKind::Image: {
            // The bytes as they are (a blob may hold zero bytes).
            const void* b = sqlite3_column_blob(st, col);
            out.setBin(TextRef(static_cast<const char*>(b),
                               b ? size_t(sqlite3_column_bytes(st, col)) : 0));
            return;
        }
        case SqliteKind::Text:
            out.setString(columnTextRef(st, col));
            return;
        case SqliteKind::Untyped:
        case SqliteKind::Undecided:
            break;
    }
    // No declared type: the stored class decides. A blob is read as text and
    // becomes a number when its text is one.
    switch (type) {
        case SQLITE_INTEGER:
            setInteger(st, col, out);
            return;
        case SQLITE_FLOAT:
            out.setDouble(sqlite3_column_double(st, col));
            return;
        case SQLITE_TEXT:
            out.setString(columnTextRef(st, col));
            return;
        default: {
            String text(columnTextRef(st, col));
            if (text.isNumber(false))
                out.setDouble(text.parseNumber());
            else
                out.setString(text);
        }
    }
}

// The value as its stored class says: integer, real, text, blob.
void readByClass(sqlite3_stmt* st, int col, int type, DataItem& out) {
    switch (type) {
        case SQLITE_INTEGER:
            setInteger(st, col, out);
            return;
        case SQLITE_FLOAT:
            out.setDouble(sqlite3_column_double(st, col));
            return;
        case SQLITE_BLOB: {
            const void* b = sqlite3_column_blob(st, col);
            out.setBin(TextRef(static_cast<const char*>(b),
                               b ? size_t(sqlite3_column_bytes(st, col)) : 0));
            return;
        }
        default:
            out.setString(columnTextRef(st, col));
            return;
    }
}

bool isCalendarDate(int month, int day) {
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

}  // namespace

void sqliteReadColumn(sqlite3_stmt* st, int col, SqliteKind kind, DataItem& out) {
    readColumn(st, col, kind, sqlite3_column_type(st, col), out);
}

void sqliteReadStored(sqlite3_stmt* st, int col, SqliteKind kind, DataItem& out) {
    const int type = sqlite3_column_type(st, col);
    if (type == SQLITE_NULL) {
        out.setNull();
        return;
    }
    bool fits = true;
    switch (kind) {
        case SqliteKind::Integer:
            fits = type == SQLITE_INTEGER;
            break;
        case SqliteKind::Double: {
            // An integer beyond 2^53 would lose digits as a double.
            if (type == SQLITE_INTEGER) {
                sqlite3_int64 v = sqlite3_column_int64(st, col);
                fits = v >= -(sqlite3_int64(1) << 53) && v <= (sqlite3_int64(1) << 53);
            } else {
                fits = type == SQLITE_FLOAT;
            }
            break;
        }
        case SqliteKind::Currency:
            fits = type == SQLITE_INTEGER || type == SQLITE_FLOAT;
            break;
        case SqliteKind::DateTime:
            if (type == SQLITE_TEXT) {
                // Parsed once: the date that fits is the value.
                DateTime d = sqliteColumnDateTime(st, col);
                if (isCalendarDate(d.month, d.day)) {
                    out.setDate(d);
                    return;
                }
                fits = false;
            } else {
                fits = type == SQLITE_FLOAT;
            }
            break;
        case SqliteKind::Date:
            if (type == SQLITE_TEXT || type == SQLITE_INTEGER) {
                DateDay d = sqliteColumnDate(st, col);
                if (isCalendarDate(d.month, d.day)) {
                    out.setDay(d);
                    return;
                }
            }
            fits = false;
            break;
        case SqliteKind::Bool:
            fits = type == SQLITE_INTEGER;
            break;
        case SqliteKind::Image:
            // Text in an image column is taken as its bytes.
            fits = type == SQLITE_BLOB || type == SQLITE_TEXT;
            break;
        case SqliteKind::Text:
            // A number in a column of another declared type (REAL, DECIMAL)
            // reads as its text, which that column's affinity stores back as
            // the same number; a blob keeps its bytes.
            fits = type != SQLITE_BLOB;
            break;
        case SqliteKind::Untyped:
        case SqliteKind::Undecided:
            // Read by the stored class already.
            break;
    }
    if (fits)
        readColumn(st, col, kind, type, out);
    else
        readByClass(st, col, type, out);
}

// ------------------------------------------------------------ error texts

const char* sqliteCodeName(int code) {
    static const char* const kNames[] = {
        "SQLITE_OK",       "SQLITE_ERROR",     "SQLITE_INTERNAL", "SQLITE_PERM",
        "SQLITE_ABORT",    "SQLITE_BUSY",      "SQLITE_LOCKED",   "SQLITE_NOMEM",
        "SQLITE_READONLY", "SQLITE_INTERRUPT", "SQLITE_IOERR",    "SQLITE_CORRUPT",
        "SQLITE_NOTFOUND", "SQLITE_FULL",      "SQLITE_CANTOPEN", "SQLITE_PROTOCOL",
        "SQLITE_EMPTY",    "SQLITE_SCHEMA",    "SQLITE_TOOBIG",   "SQLITE_CONSTRAINT",
        "SQLITE_MISMATCH", "SQLITE_MISUSE",    "SQLITE_NOLFS",    "SQLITE_AUTH",
        "SQLITE_FORMAT",   "SQLITE_RANGE",
    };
    if (code >= 0 && code < int(sizeof kNames / sizeof kNames[0])) return kNames[code];
    if (code == SQLITE_ROW) return "SQLITE_ROW";
    if (code == SQLITE_DONE) return "SQLITE_DONE";
    return "UNKNOWN_ERROR";
}

String sqliteErrorText(sqlite3* db, int code) {
    const char* msg = db ? sqlite3_errmsg(db) : nullptr;
    return String(msg && *msg ? msg : sqliteCodeName(code));
}

// ------------------------------------------------------------ busy retry

bool SqliteRetry::isBusy(int rc) noexcept {
    // Extended codes (SQLITE_BUSY_SNAPSHOT, SQLITE_LOCKED_SHAREDCACHE) count too.
    return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
}

bool SqliteRetry::wait(int stepMillis) {
    // In short slices, so that a stop request is seen at once.
    constexpr auto kSlice = std::chrono::milliseconds(20);
    const Clock::time_point end =
        std::min(deadline_, Clock::now() + std::chrono::milliseconds(stepMillis));
    if (stop_ && stop_->load()) return false;
    if (Clock::now() >= deadline_) return false;
    for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
        if (stop_ && stop_->load()) return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(kSlice, end - now));
    }
    return true;
}

int sqliteStepRetry(sqlite3_stmt* st, int retryMillis) {
    int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW || rc == SQLITE_DONE || !SqliteRetry::isBusy(rc)) return rc;
    SqliteRetry retry(retryMillis);
    while (SqliteRetry::isBusy(rc) && retry.wait(100))
        rc = sqlite3_step(st);
    return rc;
}

void SqliteStatement::reset(sqlite3_stmt* st) noexcept {
    if (st_) sqlite3_finalize(st_);
    st_ = st;
}

// ------------------------------------------------------------ the cursor

void SqliteCursor::bind(sqlite3_stmt* st, int retryMillis) {
    st_.reset(st);
    retryMillis_ = retryMillis;
    hasRow_ = false;
    int n = st ? sqlite3_column_count(st) : 0;
    kinds_.assign(size_t(n), SqliteKind::Text);
    declared_.assign(size_t(n), 0);
    names_.clear();
    for (int i = 0; i < n; ++i) {
        kinds_[size_t(i)] = sqliteKindOf(sqlite3_column_decltype(st, i), SqliteTypeOrder::Cursor);
        declared_[size_t(i)] = kinds_[size_t(i)] != SqliteKind::Untyped;
        names_.append(sqlite3_column_name(st, i)).append('|');
    }
    current_.setCount(n);
    current_.setNameText(names_);
    if (!st) return;
    step();
    if (!hasRow_) return;
    // Columns without declared type take the stored class of the first row:
    // integers and floats fix the kind now; text, blobs and NULL leave it to
    // the first non-null value (a number becomes a double column).
    for (int i = 0; i < n; ++i) {
        if (kinds_[size_t(i)] != SqliteKind::Untyped) continue;
        int type = sqlite3_column_type(st, i);
        kinds_[size_t(i)] = type == SQLITE_INTEGER ? SqliteKind::Integer
                            : type == SQLITE_FLOAT ? SqliteKind::Double
                                                   : SqliteKind::Undecided;
    }
    readRow();
}

void SqliteCursor::step() {
    sqlite3_stmt* st = st_.get();
    int rc = sqliteStepRetry(st, retryMillis_);
    if (rc == SQLITE_ROW) {
        hasRow_ = true;
        return;
    }
    hasRow_ = false;
    if (rc == SQLITE_DONE) return;
    String text;
    text.format("query %s:\r\n%s", sqliteErrorText(sqlite3_db_handle(st), rc).c_str(),
                sqlite3_sql(st) ? sqlite3_sql(st) : "");
    st_.reset(nullptr);
    throw GeneralException(text.toStdString());
}

void SqliteCursor::readRow() {
    sqlite3_stmt* st = st_.get();
    int n = int(kinds_.size());
    for (int i = 0; i < n; ++i) {
        DataItem& cell = *current_.cell(i);
        SqliteKind& kind = kinds_[size_t(i)];
        if (kind != SqliteKind::Undecided) {
            if (declared_[size_t(i)])
                sqliteReadStored(st, i, kind, cell);
            else
                sqliteReadColumn(st, i, kind, cell);
            continue;
        }
        if (sqlite3_column_type(st, i) == SQLITE_NULL) {
            cell.setNull();
            continue;
        }
        String text(columnTextRef(st, i));
        if (text.isNumber(true)) {
            kind = SqliteKind::Double;
            cell.setDouble(text.parseNumber());
        } else {
            kind = SqliteKind::Text;
            cell.setString(text);
        }
    }
}

void SqliteCursor::fetch(DataRow* out) {
    if (!hasRow_) return;
    if (out) {
        if (out->count() == current_.count()) {
            for (int i = 0; i < current_.count(); ++i)
                out->cell(i)->copyFrom(*current_.cell(i));
        } else {
            out->copyFrom(current_);
        }
    }
    step();
    if (hasRow_) readRow();
}

}  // namespace VORLIN
