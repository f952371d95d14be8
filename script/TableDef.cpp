#include "script/TableDef.h"

#include "data/DataRow.h"
#include "db/DbConnection.h"

namespace VORLIN {

bool RefDescription::parse(TextRef text, bool list, const String& ownerTable, RefDescription& out) {
    constexpr size_t npos = std::string_view::npos;
    std::string_view all = text.view();
    size_t comma = all.find(',');
    std::string_view first = comma == npos ? all : all.substr(0, comma);
    std::string_view rest = comma == npos ? std::string_view() : all.substr(comma + 1);

    size_t sep = first.find(": ");
    if (sep == npos) sep = first.find(". ");
    std::string_view name = trimBlanks(sep == npos ? first : first.substr(0, sep));
    std::string_view target = sep == npos ? std::string_view() : trimBlanks(first.substr(sep + 2));
    if (name.empty() || name.find(' ') != npos) return false;
    size_t blank = target.find(' ');
    std::string_view table = trimBlanks(blank == npos ? target : target.substr(0, blank));
    std::string_view column =
        blank == npos ? std::string_view() : trimBlanks(target.substr(blank + 1));

    size_t colon = rest.find(':');
    std::string_view order = trimBlanks(colon == npos ? rest : rest.substr(0, colon));
    std::string_view condition =
        colon == npos ? std::string_view() : trimBlanks(rest.substr(colon + 1));

    out.texts[0] = String(TextRef(name));
    out.texts[1] = String(TextRef(table.empty() ? name : table));
    if (list) {
        out.texts[2] = column.empty() ? ownerTable : String(TextRef(column));
        out.texts[3] = String(TextRef(order));
        out.texts[4] = String(TextRef(condition));
    }
    return true;
}

TableDef::TableDef(DbConnection* connection, const String& name)
    : connection_(connection), name_(name) {}

TableDataset& TableDef::model() {
    if (!model_) {
        auto model = std::make_unique<TableDataset>();
        // No rows: only the columns, their kinds and the key.
        if (connection_) connection_->openTable(model.get(), name_, "1=0", "");
        model_ = std::move(model);
    }
    return *model_;
}

const RefDescription* TableDef::findReference(TextRef column) const noexcept {
    for (const auto& d : references_)
        if (d->column().view() == column.view()) return d.get();
    return nullptr;
}

const RefDescription* TableDef::findList(TextRef name) const noexcept {
    for (const auto& d : lists_)
        if (d->name().view() == name.view()) return d.get();
    return nullptr;
}

void TableDef::shape(DataRow& row) {
    TableDataset& m = model();
    row.setCount(m.columnCount());
    row.setNameList(&m.nameList());
}

bool TableDef::loadRow(int32_t key, DataRow& row) {
    TableDataset& m = model();
    shape(row);
    if (key <= 0 || !connection_ || m.keyColumnName().isEmpty()) return false;
    String where;
    where.append(TableDataset::quoteName(m.keyColumnName())).append('=').appendInt(key);
    TableDataset scratch;
    connection_->openTable(&scratch, name_, where, "");
    if (scratch.rowCount() == 0) return false;
    const DataRow* found = scratch.row(0);
    for (int i = 0; i < row.count() && i < found->count(); ++i)
        row.cell(i)->copyFrom(*found->cell(i));
    row.clearFlags();
    return true;
}

void TableDef::saveRow(DataRow& row, int32_t& key) {
    if (!connection_) return;
    model().saveRow(row, *connection_, key);
}

void TableDef::deleteRow(const DataRow& row) {
    if (!connection_) return;
    connection_->execute(model().deleteSql(row));
}

}  // namespace VORLIN
