#include "script/ItemGrid.h"

#include <cstdio>
#include <vector>

#include "core/GeneralException.h"
#include "data/SortKeys.h"
#include "data/TableDataset.h"
#include "db/DbConnection.h"
#include "script/ConxObj.h"
#include "script/FunctionRegistry.h"
#include "script/ItemRow.h"
#include "script/MemberTables.h"
#include "script/ObjectCollector.h"
#include "script/OpCode.h"
#include "script/ScriptArgs.h"

namespace VORLIN {

namespace {

DataItem reference(Interfasable* object) {
    DataItem d;
    d.setObj(object, false);
    return d;
}

int findColumn(const DataSet& set, TextRef name) {
    const ItemList& names = set.nameList();
    for (int i = 0; i < names.count(); ++i)
        if (set.columnName(i).view() == name.view()) return i;
    return -1;
}

}  // namespace

ItemGrid::ItemGrid() : set_(std::make_unique<DataSet>()) {}

ItemGrid::ItemGrid(const String& names, const String& templ) : ItemGrid() {
    set_->setColumnNames(names);
    set_->setDataTypes(templ);
}

ItemGrid::~ItemGrid() {
    dropAll(*set_);
}

void ItemGrid::reportOwned(OwnedParts& parts) {
    reportRows(*set_, parts);
}

void ItemGrid::reportRows(const DataSet& set, OwnedParts& parts) {
    if (set.rowsNotOwned()) return;
    for (const ItemList::Node* n = set.rowList().headNode(); n; n = n->next)
        parts.object(static_cast<DataRow*>(n->item));
    if (auto* table = dynamic_cast<const TableDataset*>(&set))
        for (const ItemList::Node* n = table->deletedRows().headNode(); n; n = n->next)
            parts.object(static_cast<DataRow*>(n->item));
}

int32_t ItemGrid::classNumber() {
    return MemberTables::classNumber(MemberTables::ItemGrid);
}

bool ItemGrid::hasMember(const String& name) {
    return FunctionRegistry::instance().findFunctionIndex(classNumber(), name) >= 0;
}

String ItemGrid::columnListValues(const DataSet& set, const String& column) {
    String out;
    int c = findColumn(set, column);
    if (c < 0) return out;
    for (int r = 0; r < set.rowCount(); ++r) {
        if (r > 0) out.append(',');
        const DataItem* cell = set.row(r)->cell(c);
        if (cell) out.append(cell->text());
    }
    return out;
}

void ItemGrid::multiSort(DataSet& set, const DataRow* args) {
    int n = ScriptArgs::count(args);
    SortKeys order(n > 0 ? n : 1);
    for (int i = 0; i < n; ++i) {
        String key = ScriptArgs::text(args, i);
        key.trim();
        bool descending = false;
        if (key.length() >= 2 && key.view().substr(key.length() - 2) == " -") {
            descending = true;
            key = key.left(key.length() - 2);
            key.trim();
        }
        int c = findColumn(set, key);
        if (c >= 0) order.add(c, descending);
    }
    if (order.count() > 0) set.sort(order);
}

DataRow* ItemGrid::rowOf(const DataItem& value) {
    if (value.type() == DataItem::TRef && value.refKind() == DataItem::RefKind::Row)
        return DataRow::rowFromRef(value);
    if (value.type() != DataItem::TObj || !value.getObj()) return nullptr;
    Interfasable* object = value.getObj();
    if (auto* item = dynamic_cast<ItemRow*>(object)) return item->row();
    return dynamic_cast<DataRow*>(object);
}

DataRow* ItemGrid::appendRow(DataSet& set) {
    std::unique_ptr<DataRow> row;
    if (set.header())
        row = set.header()->clone();
    else
        row = std::make_unique<DataRow>(set.nameList().count() > 0 ? set.nameList().count() : 1);
    return set.insertRow(std::move(row));
}

void ItemGrid::step(DataSet& set, int& position, const DataRow* args, bool restart) {
    if (restart)
        position = 0;
    else if (position < set.rowCount())
        ++position;
    DataRow* row = position < set.rowCount() ? set.row(position) : nullptr;
    DataItem* target = ScriptArgs::variable(args, 0);
    if (target) ObjectCollector::store(*target, row ? reference(row) : DataItem());
}

void ItemGrid::merge(DataSet& set, const DataSet& other) {
    if (&set == &other) return;
    if (set.nameList().count() == 0) {
        set.copyFrom(other, true);
        return;
    }
    for (int r = 0; r < other.rowCount(); ++r) {
        DataRow* row = appendRow(set);
        if (row) row->assignByNames(other.row(r));
    }
}

void ItemGrid::dropAt(DataSet& set, int index) {
    DataRow* row = index >= 0 && index < set.rowCount() ? set.row(index) : nullptr;
    if (!row) return;
    bool notOwned = set.rowsNotOwned();
    set.setRowsNotOwned(true);
    set.deleteRow(index);
    set.setRowsNotOwned(notOwned);
    if (!notOwned) ObjectCollector::retire(row);
}

void ItemGrid::dropAll(DataSet& set) {
    std::vector<DataRow*> rows;
    if (!set.rowsNotOwned()) {
        for (const ItemList::Node* n = set.rowList().headNode(); n; n = n->next)
            rows.push_back(static_cast<DataRow*>(n->item));
        if (auto* table = dynamic_cast<TableDataset*>(&set))
            for (const ItemList::Node* n = table->deletedRows().headNode(); n; n = n->next)
                rows.push_back(static_cast<DataRow*>(n->item));
    }
    // Not owned for the moment: clearing unhooks the rows from the names
    // instead of deleting them.
    bool notOwned = set.rowsNotOwned();
    set.setRowsNotOwned(true);
    set.clearRows();
    set.setRowsNotOwned(notOwned);
    for (DataRow* row : rows)
        ObjectCollector::retire(row);
}

void ItemGrid::dropWhere(DataSet& set, int column, const DataItem& value) {
    for (int i = set.rowCount() - 1; i >= 0; --i) {
        const DataItem* cell = set.row(i)->cell(column);
        if (cell && cell->compare(value) == 0) dropAt(set, i);
    }
}

void ItemGrid::exportTo(const DataSet& set, const String& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw GeneralException::format("DataSet.export: no se pudo crear %s", path.c_str());
    String text;
    for (int c = 0; c < set.nameList().count(); ++c) {
        if (c > 0) text.append('\t');
        text.append(set.columnName(c));
    }
    text.append("\r\n");
    for (int r = 0; r < set.rowCount(); ++r) {
        const DataRow* row = set.row(r);
        for (int c = 0; c < row->count(); ++c) {
            if (c > 0) text.append('\t');
            String cell = row->cell(c)->text();
            // A tab or a line break inside a value would break the layout.
            cell.replace("\t", " ");
            cell.replace("\r\n", " ");
            cell.replace("\n", " ");
            text.append(cell);
        }
        text.append("\r\n");
    }
    bool ok = std::fwrite(text.c_str(), 1, text.length(), file) == text.length();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) throw GeneralException::format("DataSet.export: no se pudo crear %s", path.c_str());
}

DataItem ItemGrid::execute(const String& name, const DataRow* args) {
    int32_t index = FunctionRegistry::instance().findFunctionIndex(classNumber(), name);
    if (index < 0)
        throw GeneralException::format("DataSet: No existe la función: %s", name.c_str());
    DataSet& set = *set_;
    switch (index) {
        case Size:
            return DataItem(int32_t(set.rowCount()));
        case Head:
            step(set, position_, args, true);
            return DataItem();
        case Next:
            step(set, position_, args, false);
            return DataItem();
        case DeleteAll:
            dropAll(set);
            position_ = 0;
            return DataItem();
        case DeleteAt:
            dropAt(set, ScriptArgs::toInt(args, 0));
            return DataItem();
        case DeleteWhere: {
            int c = findColumn(set, ScriptArgs::text(args, 0));
            if (c >= 0) dropWhere(set, c, ScriptArgs::value(args, 1));
            return DataItem();
        }
        case QueryDataset: {
            String sql = ScriptArgs::text(args, 0);
            DbConnection* connection = ScriptArgs::has(args, 1)
                                           ? ConxObj::connectionOf(ScriptArgs::value(args, 1))
                                           : nullptr;
            if (!connection)
                throw GeneralException("Dataset.queryDataset: no se pudo abrir la conexión");
            dropAll(set);
            connection->queryDataset(sql, &set, "", false);
            position_ = 0;
            return DataItem();
        }
        case SetColumnNames:
            set.setColumnNames(ScriptArgs::text(args, 0));
            return DataItem();
        case GetColumnListValues:
            return DataItem(columnListValues(set, ScriptArgs::text(args, 0)));
        case GetRowAt: {
            int i = ScriptArgs::toInt(args, 0);
            DataRow* row = i >= 0 && i < set.rowCount() ? set.row(i) : nullptr;
            return row ? reference(row) : DataItem();
        }
        case GetLastRow: {
            int n = set.rowCount();
            return n > 0 ? reference(set.row(n - 1)) : DataItem();
        }
        case InsertRow: {
            DataRow* source = rowOf(ScriptArgs::value(args, 0));
            if (source) {
                std::unique_ptr<DataRow> copy = std::make_unique<DataRow>(source->count());
                for (int i = 0; i < source->count(); ++i)
                    copy->cell(i)->copyFrom(*source->cell(i));
                set.insertRow(std::move(copy));
            }
            return DataItem();
        }
        case AddNewRow:
            return reference(appendRow(set));
        case InsertSqlRow: {
            String sql = ScriptArgs::text(args, 0);
            DbConnection* connection = ScriptArgs::has(args, 1)
                                           ? ConxObj::connectionOf(ScriptArgs::value(args, 1))
                                           : nullptr;
            if (!connection)
                throw GeneralException("Dataset.insertSqlRow: no se pudo abrir la conexión");
            std::unique_ptr<DataRow> row(connection->queryNewDataRow(sql));
            if (!row) return DataItem();
            if (set.nameList().count() == 0) {
                // A grid without columns takes the result's names and column
                // kinds, so that the row can be read by column name.
                DataSet shape;
                connection->queryColumns(sql, &shape);
                set.setColumnNames(shape.nameList());
                set.setHeader(shape.header());
            }
            set.insertRow(std::move(row));
            return DataItem();
        }
        case Merge: {
            const DataItem& v = ScriptArgs::value(args, 0);
            auto* other =
                v.type() == DataItem::TObj ? dynamic_cast<ItemGrid*>(v.getObj()) : nullptr;
            if (other) merge(set, other->set());
            return DataItem();
        }
        case SumaDe: {
            int c = findColumn(set, ScriptArgs::text(args, 0));
            int flag = ScriptArgs::has(args, 1) ? findColumn(set, ScriptArgs::text(args, 1)) : -2;
            double sum = 0;
            if (c < 0) return DataItem(sum);
            for (int r = 0; r < set.rowCount(); ++r) {
                const DataRow* row = set.row(r);
                if (flag != -2) {
                    const DataItem* f = row->cell(flag);
                    if (!f || f->isEmpty()) continue;
                }
                if (const DataItem* cell = row->cell(c)) sum += cell->toDouble();
            }
            return DataItem(sum);
        }
        case SumaProducto: {
            std::vector<int> columns;
            for (int i = 0; i < ScriptArgs::count(args); ++i)
                columns.push_back(findColumn(set, ScriptArgs::text(args, i)));
            double sum = 0;
            for (int r = 0; r < set.rowCount() && !columns.empty(); ++r) {
                double product = 1;
                for (int c : columns) {
                    const DataItem* cell = set.row(r)->cell(c);
                    product *= cell ? cell->toDouble() : 0.0;
                }
                sum += product;
            }
            return DataItem(sum);
        }
        case MultiSort:
            multiSort(set, args);
            return DataItem();
        case Export:
            exportTo(set, ScriptArgs::text(args, 0));
            return DataItem();
        default:
            throw GeneralException::format("DataSet: No existe la función: %s", name.c_str());
    }
}

}  // namespace VORLIN
