#include "script/ItemTable.h"

#include "core/GeneralException.h"
#include "db/DbConnection.h"
#include "script/ConxObj.h"
#include "script/FunctionRegistry.h"
#include "script/ItemGrid.h"
#include "script/MemberTables.h"
#include "script/ScriptArgs.h"

namespace VORLIN {

ItemTable::ItemTable(const String& table) : table_(table), set_(std::make_unique<TableDataset>()) {
    set_->setTableName(table);
}

ItemTable::~ItemTable() {
    set_->clearRows();
}

void ItemTable::reportOwned(OwnedParts& parts) {
    ItemGrid::reportRows(*set_, parts);
}

int32_t ItemTable::classNumber() {
    return MemberTables::classNumber(MemberTables::ItemTable);
}

bool ItemTable::hasMember(const String& name) {
    return FunctionRegistry::instance().findFunctionIndex(classNumber(), name) >= 0;
}

DataItem ItemTable::execute(const String& name, const DataRow* args) {
    int32_t index = FunctionRegistry::instance().findFunctionIndex(classNumber(), name);
    if (index < 0)
        throw GeneralException::format("TableSet: No existe la función: %s", name.c_str());
    TableDataset& set = *set_;
    switch (index) {
        case Size:
            return DataItem(int32_t(set.rowCount()));
        case Head:
            ItemGrid::step(set, position_, args, true);
            return DataItem();
        case Next:
            ItemGrid::step(set, position_, args, false);
            return DataItem();
        case RemoveAll:
            ItemGrid::dropAll(set);
            position_ = 0;
            return DataItem();
        case RemoveAt:
            // Parked in the deleted list (alive) until the set is cleared.
            set.deleteRow(ScriptArgs::toInt(args, 0));
            return DataItem();
        case Open: {
            DbConnection* connection = ConxObj::connectionOf(ScriptArgs::value(args, 0));
            if (!connection) throw GeneralException("TableSet.open: no se pudo abrir la conexión");
            if (ScriptArgs::has(args, 1)) table_ = ScriptArgs::text(args, 1);
            if (!table_.isEmpty()) {
                ItemGrid::dropAll(set);
                connection->openTable(&set, table_, "", "");
            }
            position_ = 0;
            return DataItem();
        }
        case Copy: {
            const DataItem& v = ScriptArgs::value(args, 0);
            auto* other =
                v.type() == DataItem::TObj ? dynamic_cast<ItemTable*>(v.getObj()) : nullptr;
            DbConnection* connection = ScriptArgs::has(args, 1)
                                           ? ConxObj::connectionOf(ScriptArgs::value(args, 1))
                                           : nullptr;
            if (other && other != this) set.appendFrom(other->set(), connection);
            return DataItem();
        }
        case GetColumnListValues:
            if (ScriptArgs::count(args) != 1)
                throw GeneralException("Grid.getColumnListValues: bad arguments");
            return DataItem(ItemGrid::columnListValues(set, ScriptArgs::text(args, 0)));
        case GetRowAt: {
            int i = ScriptArgs::toInt(args, 0);
            if (i < 0 || i >= set.rowCount()) return DataItem();
            DataItem d;
            d.setObj(set.row(i), false);
            return d;
        }
        case InsertRow: {
            DataRow* source = ItemGrid::rowOf(ScriptArgs::value(args, 0));
            if (source) {
                DataRow* row = ItemGrid::appendRow(set);
                if (row) {
                    for (int i = 0; i < row->count() && i < source->count(); ++i)
                        row->cell(i)->copyFrom(*source->cell(i));
                }
            }
            return DataItem();
        }
        case MultiSort:
            ItemGrid::multiSort(set, args);
            return DataItem();
        default:
            throw GeneralException::format("TableSet: No existe la función: %s", name.c_str());
    }
}

}  // namespace VORLIN
