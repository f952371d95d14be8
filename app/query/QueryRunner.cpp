#include "app/query/QueryRunner.h"

#include "app/query/ArrivingRows.h"

#include "core/GeneralException.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "db/DbConnection.h"

using VORLIN::DataSet;
using VORLIN::String;
using VORLIN::TableDataset;

QueryRunner::QueryRunner(VORLIN::DbConnection& connection) : connection_(connection) {}

QueryRunner::~QueryRunner() = default;

DataSet* QueryRunner::dataSet() const noexcept {
    switch (mode_) {
        case Mode::Table:
            return table_.get();
        case Mode::Query:
            return query_.get();
        default:
            return nullptr;
    }
}

TableDataset* QueryRunner::tableDataset() const noexcept {
    return mode_ == Mode::Table ? table_.get() : nullptr;
}

void QueryRunner::loadTable(const QueryClassifier::TableSelect& select) {
    auto fresh = std::make_unique<TableDataset>();
    fresh->setKeepsStoredImages(false);
    connection_.openTable(fresh.get(), select.table, select.where, select.orderBy);
    table_ = std::move(fresh);
    mode_ = Mode::Table;
    source_ = select.table;
}

void QueryRunner::loadQuery(const String& text) {
    auto fresh = std::make_unique<DataSet>();
    connection_.queryDataset(text, fresh.get(), String(), false);
    fresh->setReadOnly(true);
    query_ = std::move(fresh);
    mode_ = Mode::Query;
    source_ = text;
}

void QueryRunner::openTable(const String& table) {
    QueryClassifier::TableSelect select;
    select.table = table;
    loadTable(select);
}

namespace {

// The set a job reads into, watched through its arrival.
void makeRows(QueryRunner::Job& job) {
    if (job.result.kind == QueryClassifier::Kind::Table) {
        auto set = std::make_unique<ArrivingSet<TableDataset>>();
        // The grid writes every change at once: rows are addressed by their
        // key cells and need no stored image.
        set->setKeepsStoredImages(false);
        job.arrival = set->arrival();
        job.table = std::move(set);
    } else if (job.result.kind == QueryClassifier::Kind::Query) {
        auto set = std::make_unique<ArrivingSet<DataSet>>();
        job.arrival = set->arrival();
        job.query = std::move(set);
    }
}

}  // namespace

DataSet* QueryRunner::Job::rows() const noexcept {
    if (table) return table.get();
    return query.get();
}

QueryRunner::Job QueryRunner::prepare(const String& text, bool inTransaction) const {
    Job job;
    job.result = QueryClassifier::classify(text);
    job.inTransaction = inTransaction;
    makeRows(job);
    return job;
}

QueryRunner::Job QueryRunner::prepareTable(const String& table) const {
    Job job;
    job.result.kind = QueryClassifier::Kind::Table;
    job.result.select.table = table;
    job.result.text = table;
    makeRows(job);
    return job;
}

void QueryRunner::work(VORLIN::DbConnection& connection, Job& job) noexcept {
    const QueryClassifier::Result& r = job.result;
    try {
        switch (r.kind) {
            case QueryClassifier::Kind::Empty:
                break;
            case QueryClassifier::Kind::Table:
                if (!job.table) job.table = std::make_unique<TableDataset>();
                connection.openTable(job.table.get(), r.select.table, r.select.where,
                                     r.select.orderBy);
                break;
            case QueryClassifier::Kind::Query:
                if (!job.query) job.query = std::make_unique<DataSet>();
                connection.queryDataset(r.text, job.query.get(), String(), false);
                break;
            case QueryClassifier::Kind::Vacuum:
                connection.execute(r.text);
                break;
            case QueryClassifier::Kind::Command:
                if (!job.inTransaction) {
                    connection.execute(r.text);
                    break;
                }
                connection.beginTransaction();
                try {
                    connection.execute(r.text);
                    connection.commitTransaction();
                } catch (const VORLIN::GeneralException&) {
                    try {
                        connection.rollbackTransaction();
                    } catch (const VORLIN::GeneralException&) {
                        // The statement's failure is the one to report.
                    }
                    throw;
                }
                break;
        }
    } catch (const VORLIN::GeneralException& e) {
        job.failed = true;
        job.error = String(e.message());
    } catch (const std::exception& e) {
        job.failed = true;
        job.error = String(e.what());
    }
    // A failed job's set is left as it is: the UI thread may be reading it
    // and destroys it itself (adopt).
}

void QueryRunner::adopt(Job& job) {
    if (job.failed) {
        job.table.reset();
        job.query.reset();
        throw VORLIN::GeneralException(job.error.toStdString());
    }
    // Query results are read-only; the set was writable while it was read.
    if (job.query) job.query->setReadOnly(true);
    if (job.table) {
        table_ = std::move(job.table);
        mode_ = Mode::Table;
        source_ = job.result.select.table;
    } else if (job.query) {
        query_ = std::move(job.query);
        mode_ = Mode::Query;
        source_ = job.result.text;
    }
}

QueryClassifier::Result QueryRunner::run(const String& text, bool inTransaction) {
    Job job = prepare(text, inTransaction);
    work(connection_, job);
    adopt(job);
    return job.result;
}

String QueryRunner::sourceText() {
    if (mode_ == Mode::Table) return connection_.getCreateTable(source_);
    return source_;
}
