#include "app/query/TGDataset.h"

#include "app/query/ArrivingRows.h"

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "data/TableStore.h"

using namespace VORLIN;

TGDataset::TGDataset() = default;
TGDataset::~TGDataset() = default;

void TGDataset::bindTable(TableDataset* table, TableStore* connection) {
    arrival_.reset();
    mode_ = table ? Mode::Table : Mode::None;
    set_ = table;
    table_ = table;
    connection_ = connection;
    newPending();
}

void TGDataset::bindQuery(DataSet* rows) {
    arrival_.reset();
    mode_ = rows ? Mode::Query : Mode::None;
    set_ = rows;
    table_ = nullptr;
    connection_ = nullptr;
    newPending();
}

void TGDataset::bindArriving(DataSet* rows, std::shared_ptr<const RowArrival> arrival) {
    bindQuery(arrival ? rows : nullptr);
    if (set_) arrival_ = std::move(arrival);
}

std::unique_lock<std::mutex> TGDataset::readLock() const {
    return arrival_ ? arrival_->lock() : std::unique_lock<std::mutex>();
}

void TGDataset::unbind() {
    bindQuery(nullptr);
}

bool TGDataset::isReadOnly() const noexcept {
    return arrival_ || mode_ != Mode::Table || table_->keyColumn() < 0 || table_->isReadOnly();
}

int TGDataset::hiddenColumns() const noexcept {
    if (arrival_) return arrival_->shape().hidden;
    return (table_ && table_->rowIdMode()) ? 1 : 0;
}

int TGDataset::rowCount() const noexcept {
    return set_ ? set_->rowCount() : 0;
}

int TGDataset::columnCount() const noexcept {
    if (!set_) return 0;
    const int all = arrival_ ? int(arrival_->shape().names.size()) : set_->columnCount();
    const int n = all - hiddenColumns();
    return n > 0 ? n : 0;
}

String TGDataset::columnName(int column) const {
    if (arrival_) {
        const auto& names = arrival_->shape().names;
        const int at = dataColumn(column);
        return at >= 0 && at < int(names.size()) ? names[size_t(at)] : String();
    }
    return set_ ? set_->columnName(dataColumn(column)) : String();
}

int TGDataset::columnType(int column) const noexcept {
    if (arrival_) {
        const auto& types = arrival_->shape().types;
        const int at = dataColumn(column);
        return at >= 0 && at < int(types.size()) ? types[size_t(at)] : 0;
    }
    const DataRow* header = set_ ? set_->header() : nullptr;
    return header ? header->typeOf(dataColumn(column)) : 0;
}

const DataItem* TGDataset::cell(int row, int column) const noexcept {
    if (!set_ || column < 0 || column >= columnCount()) return nullptr;
    const DataRow* r = nullptr;
    if (row == rowCount())
        r = pending_.get();
    else if (row >= 0 && row < rowCount())
        r = set_->row(row);
    return r ? r->cell(dataColumn(column)) : nullptr;
}

void TGDataset::requireWritable() const {
    if (mode_ != Mode::Table) throw GeneralException(kReadOnly);
    if (table_->keyColumn() < 0) {
        String text;
        text.format(kNoKeyColumn, table_->tableName().c_str());
        throw GeneralException(text.toStdString());
    }
    if (table_->isReadOnly()) throw GeneralException("DataSet.insertRow: DataSet is read only");
}

bool TGDataset::setCellText(int row, int column, TextRef text) {
    DataItem value;
    value.setType(columnType(column));
    value.fromString(String(text));
    return setCellValue(row, column, value);
}

bool TGDataset::setCellNull(int row, int column) {
    return setCellValue(row, column, DataItem());
}

bool TGDataset::setCellValue(int row, int column, const DataItem& value) {
    requireWritable();
    if (column < 0 || column >= columnCount()) return false;
    if (isPendingRow(row)) {
        DataItem* target = pending_ ? pending_->cell(dataColumn(column)) : nullptr;
        if (!target) return false;
        target->assignNullable(&value);
        pendingChanged_ = true;
        return true;
    }
    if (row < 0 || row >= rowCount()) return false;
    return table_->updateCell(row, columnName(column), value, connection_);
}

void TGDataset::newPending() {
    pending_.reset();
    pendingChanged_ = false;
    const DataRow* header = set_ ? set_->header() : nullptr;
    if (mode_ != Mode::Table || !header) return;
    pending_ = header->clone();
    pending_->setNameList(&set_->nameList());
    // Cells nobody typed into are written as NULL.
    pending_->clearValues();
}

void TGDataset::clearPending() {
    newPending();
}

bool TGDataset::commitPending() {
    if (!pending_ || !pendingChanged_) return false;
    requireWritable();
    const String sql = table_->insertSql(*pending_, false);
    const int32_t id = connection_ ? connection_->executeInsert(sql) : 0;

    std::unique_ptr<DataRow> added = pending_->clone();
    // Only a key the database numbers takes the new row id: a typed key
    // (a text, a code) is the row's key as it stands.
    DataItem* key = added->cell(table_->keyColumn());
    if (key && key->isNullOrEmpty() && table_->keyTakesRowId()) key->setInt(id);
    DataRow* row = table_->insertRow(std::move(added));
    if (row) {
        // The database holds it now: it is no pending insert of the set.
        row->clearFlags();
        row->keepStoredImage();
    }
    newPending();
    return true;
}

bool TGDataset::deleteRow(int row) {
    if (isPendingRow(row) && pending_) {
        clearPending();
        return true;
    }
    requireWritable();
    if (row < 0 || row >= rowCount()) return false;
    const String sql = table_->deleteSql(row);
    if (sql.isEmpty()) return false;
    if (connection_) connection_->execute(sql);
    // The row is gone from the database: it must not wait in the deleted
    // list for a second DELETE by the same key, which a later save would
    // send to whatever row has taken that key since.
    table_->row(row)->setInserted(true);
    return table_->deleteRow(row);
}
