#include "script/ItemRow.h"

#include "core/GeneralException.h"
#include "data/DataSet.h"
#include "db/DbConnection.h"
#include "script/ConxObj.h"
#include "script/ScriptArgs.h"

namespace VORLIN {

ItemRow::ItemRow(int count) {
    if (count >= 1) row_ = std::make_unique<DataRow>(count);
}

DataItem* ItemRow::getMemberItem(const String& name) {
    return row_ ? row_->getMemberItem(name) : nullptr;
}

bool ItemRow::hasMember(const String& name) {
    if (name == "queryDataRow") return true;
    return row_ && row_->hasMember(name);
}

DataItem ItemRow::execute(const String& name, const DataRow* args) {
    if (name == "queryDataRow") {
        String sql = ScriptArgs::text(args, 0);
        DbConnection* connection =
            ScriptArgs::has(args, 1) ? ConxObj::connectionOf(ScriptArgs::value(args, 1)) : nullptr;
        if (!connection)
            throw GeneralException("DataRow.queryDataRow: no se especificó la conexion");
        if (row_) {
            connection->queryDataRow(sql, row_.get());
            return DataItem();
        }
        // A row object without cells takes the shape of the result, names
        // included, so that its cells can be read by column name.
        DataSet set;
        connection->queryDataset(sql, &set, "", false);
        if (set.rowCount() == 0) return DataItem();
        auto row = std::make_unique<DataRow>(set.columnCount());
        String names;
        for (int i = 0; i < set.columnCount(); ++i) {
            row->cell(i)->copyFrom(*set.row(0)->cell(i));
            names.append(set.columnName(i)).append('|');
        }
        row->setOwnNames(names);
        row_ = std::move(row);
        return DataItem();
    }
    if (!row_) throw GeneralException::format("DataRow.%s not defined", name.c_str());
    return row_->execute(name, args);
}

}  // namespace VORLIN
