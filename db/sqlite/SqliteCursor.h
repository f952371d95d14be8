// SqliteCursor: the DbCursor of the local SQLite back end. It reads one
// prepared statement a row at a time: hasRow tells whether a current row
// exists, fetch copies it out and steps to the next one.
//
// This header also holds what the connection and the cursor share: the
// value kinds a result column is read as, the rules that map a declared
// column type to a kind (the order of the tests differs per operation), the
// reading of one column into a DataItem, an owning statement guard and the
// bounded retry used when SQLite answers SQLITE_BUSY or SQLITE_LOCKED.
//
// Ownership: a bound cursor owns its statement and finalizes it when it is
// destroyed or bound again. The statement keeps the connection's handle
// alive (SQLite closes a handle only after its last statement is gone), so
// a cursor may outlive the connection object, but it must not be used from
// another thread while the connection works.
// Throws GeneralException "query %s:\r\n%s" (SQLite's error, the SQL) when
// stepping fails, after the busy retry has run out.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <vector>

#include "core/DataItem.h"
#include "core/String.h"
#include "db/DbCursor.h"

struct sqlite3;
struct sqlite3_stmt;

namespace VORLIN {

// How a result column is read into a DataItem.
enum class SqliteKind : uint8_t {
    Integer,   // "int": the column as a 32-bit integer (beyond 32 bits: its digits as text)
    Double,    // "double"
    Currency,  // "currency": the column as a double
    DateTime,  // "date": a float is a Julian day number, anything else text to parse
    Date,      // "day": an integer is a day of the year, anything else "MM-DD" text
    Bool,      // "bool": the column as an integer, true when non-zero
    Image,     // "bin": the column's bytes
    Text,      // "string"
    Untyped,   // no declared type: read by the stored class of each value
    Undecided  // no kind yet: the first non-null value decides (double or text)
};

// The order in which the declared type of a column is tested; each
// operation has its own, and the first hit wins.
enum class SqliteTypeOrder : uint8_t {
    General,  // INTEGER/INT/UID, NUMERIC, CURRENCY, DATE, DAY, BOOL, IMAGE, TEXT
    Item,     // as General without IMAGE (queryItem)
    Model,    // INTEGER/INT/UID, NUMERIC, DATE, DAY, BOOL, CURRENCY, IMAGE
    Cursor    // INTEGER/INT/UID, NUMERIC, DOUBLE, CURRENCY, DATE, DAY, BOOL, IMAGE
};

// The kind of a declared type (case-sensitive substring tests; anything
// unmatched is Text). A null declared type gives Untyped.
SqliteKind sqliteKindOf(const char* declaredType, SqliteTypeOrder order);
// The DataItem tag a kind produces (null for Untyped and Undecided).
int sqliteKindTag(SqliteKind kind);
// The kind that reads a column into an item of `tag` (openTable reads by
// the column model): the tags of the kinds above, anything else Text.
SqliteKind sqliteKindOfTag(int tag);

// Reads column `col` of the current row into `out` with `kind`. SQL NULL
// becomes a null item whatever the kind, so that NULL survives a round trip
// through the generated SQL. Undecided reads like Untyped.
void sqliteReadColumn(sqlite3_stmt* st, int col, SqliteKind kind, DataItem& out);
// Reads a column whose kind comes from its declared type (not from a type
// the caller asked for): a value that does not fit the kind keeps its
// stored class and text (a text 'abc' in an integer column, 'pendiente' or
// '' in a DATE column), a blob its bytes. Values that fit (any integer in a
// BOOL column, text or blob in an IMAGE column, anything but a blob in a
// text column) read as sqliteReadColumn reads them.
void sqliteReadStored(sqlite3_stmt* st, int col, SqliteKind kind, DataItem& out);
// The date-time rule of a column: a float is a Julian day number, anything
// else the text parsed as a date and time (NULL gives the empty date).
DateTime sqliteColumnDateTime(sqlite3_stmt* st, int col);
// The date rule: an integer is a day of the year, anything else "MM-DD".
DateDay sqliteColumnDate(sqlite3_stmt* st, int col);
// The column's text (NULL reads as "").
String sqliteColumnText(sqlite3_stmt* st, int col);

// The name of a SQLite result code ("SQLITE_BUSY"; "UNKNOWN_ERROR" for codes
// without a name).
const char* sqliteCodeName(int code);
// SQLite's message for the last failure on `db`, or the name of `code`
// when there is no message.
String sqliteErrorText(sqlite3* db, int code);

// Waits out lock contention until a deadline: each wait sleeps a step (cut
// short at the deadline, and as soon as `stop` turns true) and answers
// false once the deadline has passed or `stop` is set.
class SqliteRetry {
public:
    using Clock = std::chrono::steady_clock;
    // The deadline is `budgetMillis` from now.
    explicit SqliteRetry(int budgetMillis) noexcept
        : deadline_(Clock::now() + std::chrono::milliseconds(budgetMillis)) {}
    SqliteRetry(Clock::time_point deadline, const std::atomic<bool>* stop) noexcept
        : deadline_(deadline), stop_(stop) {}
    bool wait(int stepMillis);
    static bool isBusy(int rc) noexcept;

private:
    Clock::time_point deadline_;
    const std::atomic<bool>* stop_ = nullptr;
};

// Steps `st`, stepping again after a pause of 100 ms while SQLite answers
// SQLITE_BUSY or SQLITE_LOCKED, for at most `retryMillis`. Stepping again
// resumes the statement where the lock stopped it.
int sqliteStepRetry(sqlite3_stmt* st, int retryMillis);

// Owns one prepared statement and finalizes it.
class SqliteStatement {
public:
    SqliteStatement() noexcept = default;
    explicit SqliteStatement(sqlite3_stmt* st) noexcept : st_(st) {}
    ~SqliteStatement() { reset(nullptr); }
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    SqliteStatement(SqliteStatement&& other) noexcept : st_(other.release()) {}
    SqliteStatement& operator=(SqliteStatement&& other) noexcept {
        reset(other.release());
        return *this;
    }

    sqlite3_stmt* get() const noexcept { return st_; }
    sqlite3_stmt** out() noexcept {
        reset(nullptr);
        return &st_;
    }
    sqlite3_stmt* release() noexcept {
        sqlite3_stmt* s = st_;
        st_ = nullptr;
        return s;
    }
    // Finalizes the statement held (if any) and takes `st`.
    void reset(sqlite3_stmt* st) noexcept;
    explicit operator bool() const noexcept { return st_ != nullptr; }

private:
    sqlite3_stmt* st_ = nullptr;
};

class SqliteCursor : public DbCursor {
public:
    SqliteCursor() = default;
    ~SqliteCursor() override = default;

    // Takes the prepared statement (owned from now on; an earlier one is
    // finalized), decides one kind per column (cursor order; columns
    // without declared type by the stored class of the first row), steps to
    // the first row and reads it. On a step failure the statement is
    // finalized and GeneralException "query %s:\r\n%s" is thrown.
    void bind(sqlite3_stmt* st, int retryMillis);

    bool hasRow() override { return hasRow_; }
    // Copies the current row into `out` (cell by cell when `out` has as many
    // cells, so that it keeps its own names; otherwise `out` becomes a copy
    // of the row), then steps; without a further row hasRow turns false.
    // Without a current row nothing happens.
    void fetch(DataRow* out) override;

    int columnCount() const noexcept { return int(kinds_.size()); }
    // The column names separated by "|".
    const String& columnNames() const noexcept { return names_; }
    SqliteKind kind(int col) const noexcept { return kinds_[size_t(col)]; }
    // The row read last (valid while hasRow is true).
    const DataRow& current() const noexcept { return current_; }

private:
    void readRow();
    void step();

    SqliteStatement st_;
    bool hasRow_ = false;
    int retryMillis_ = 0;
    String names_;
    std::vector<SqliteKind> kinds_;
    // Per column: whether the kind comes from the declared type (values
    // that do not fit it are then read as stored).
    std::vector<char> declared_;
};

}  // namespace VORLIN
