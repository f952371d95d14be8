// QueryRunner: runs a statement on one connection the way the query
// window's "Ejecutar" does, and holds the rows it shows.
//
// The text is classified by QueryClassifier: a plain table statement opens
// the table (editable rows, TableDataset), a query fills a read-only
// DataSet, a clean-up or a command is executed (a command inside
// beginTransaction/commitTransaction when asked, rolled back when it
// fails). Each run loads into fresh sets that replace the shown ones only
// when the run succeeded: after a failure the shown rows, mode and source
// are those of before. The "Tablas: " list opens a table with openTable.
//
// Ownership: the connection stays the caller's and must outlive the
// runner; the runner owns the sets it shows. Pointers from dataSet() and
// tableDataset() stay valid until the next successful run or openTable.
// Thread use: one thread at a time (the connection's rule); the window may
// run it on a worker thread as long as nothing else uses the connection.
// Throws the connection's GeneralException on any failure.
#pragma once

#include <memory>
#include <string>

#include "app/query/QueryClassifier.h"
#include "core/String.h"

class RowArrival;

namespace VORLIN {
class DataSet;
class DbConnection;
class TableDataset;
}  // namespace VORLIN

class QueryRunner {
public:
    enum class Mode { None, Table, Query };

    explicit QueryRunner(VORLIN::DbConnection& connection);
    ~QueryRunner();
    QueryRunner(const QueryRunner&) = delete;
    QueryRunner& operator=(const QueryRunner&) = delete;

    // Runs `text` as "Ejecutar" does and returns its classification; the
    // message to show is result.message() (empty for table and query
    // mode and for an empty text, which does nothing). When the result
    // changesTables the caller refreshes its list of tables.
    QueryClassifier::Result run(const VORLIN::String& text, bool inTransaction);

    // The same run in three steps, for a window that reads on another
    // thread: prepare() classifies and makes the set the rows go into (UI
    // thread); work() does what the statement needs on the connection, on
    // any thread, catching every failure into the job (the caller
    // guarantees that nothing else uses the connection meanwhile); adopt()
    // shows the job's rows (UI thread) and throws the job's failure. The
    // rows shown before stay the runner's until adopt.
    //
    // While work() reads, the UI thread may show the rows read so far
    // through `arrival` (see ArrivingRows): the set is an ArrivingSet, and
    // it is destroyed only on the UI thread (adopt, or the job's end).
    struct Job {
        QueryClassifier::Result result;
        bool inTransaction = false;
        std::unique_ptr<VORLIN::TableDataset> table;
        std::unique_ptr<VORLIN::DataSet> query;
        std::shared_ptr<RowArrival> arrival;  // of the set being read; null for commands
        bool failed = false;
        VORLIN::String error;
        // The set being read (table or query), null for commands.
        VORLIN::DataSet* rows() const noexcept;
    };
    Job prepare(const VORLIN::String& text, bool inTransaction) const;
    // A job that opens a whole table in table mode (the "Tablas: " list,
    // a table opened from the main window's tree).
    Job prepareTable(const VORLIN::String& table) const;
    static void work(VORLIN::DbConnection& connection, Job& job) noexcept;
    void adopt(Job& job);
    // Opens a whole table in table mode (the "Tablas: " list).
    void openTable(const VORLIN::String& table);

    Mode mode() const noexcept { return mode_; }
    // The rows shown: the table's in table mode, the query's in query mode,
    // null before the first table or query.
    VORLIN::DataSet* dataSet() const noexcept;
    // The table's rows in table mode, else null.
    VORLIN::TableDataset* tableDataset() const noexcept;
    // The table name in table mode, the statement in query mode, else empty.
    const VORLIN::String& source() const noexcept { return source_; }
    // What "Fuente" shows: the table's CREATE statement in table mode
    // (asked of the connection), the statement in query mode.
    VORLIN::String sourceText();

    VORLIN::DbConnection& connection() const noexcept { return connection_; }

private:
    void loadTable(const QueryClassifier::TableSelect& select);
    void loadQuery(const VORLIN::String& text);

    VORLIN::DbConnection& connection_;
    std::unique_ptr<VORLIN::TableDataset> table_;
    std::unique_ptr<VORLIN::DataSet> query_;
    Mode mode_ = Mode::None;
    VORLIN::String source_;
};
