#include "app/query/QueryRunner.h"

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

QueryClassifier::Result QueryRunner::run(const String& text, bool inTransaction) {
    QueryClassifier::Result r = QueryClassifier::classify(text);
    switch (r.kind) {
        case QueryClassifier::Kind::Empty:
            break;
        case QueryClassifier::Kind::Table:
            loadTable(r.select);
            break;
        case QueryClassifier::Kind::Query:
            loadQuery(r.text);
            break;
        case QueryClassifier::Kind::Vacuum:
            connection_.execute(r.text);
            break;
        case QueryClassifier::Kind::Command:
            if (!inTransaction) {
                connection_.execute(r.text);
                break;
            }
            connection_.beginTransaction();
            try {
                connection_.execute(r.text);
                connection_.commitTransaction();
            } catch (const VORLIN::GeneralException&) {
                try {
                    connection_.rollbackTransaction();
                } catch (const VORLIN::GeneralException&) {
                    // The statement's failure is the one to report.
                }
                throw;
            }
            break;
    }
    return r;
}

String QueryRunner::sourceText() {
    if (mode_ == Mode::Table) return connection_.getCreateTable(source_);
    return source_;
}
