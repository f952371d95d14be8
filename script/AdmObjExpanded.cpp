#include "script/AdmObjExpanded.h"

#include "core/GeneralException.h"
#include "data/DataSet.h"
#include "db/DbConnection.h"
#include "script/AdmObjInstance.h"
#include "script/FunctionRegistry.h"
#include "script/MemberTables.h"
#include "script/ObjectCollector.h"
#include "script/OpCode.h"
#include "script/ScriptArgs.h"
#include "script/Variable.h"

namespace VORLIN {

namespace {

DataItem reference(Interfasable* object) {
    DataItem d;
    d.setObj(object, false);
    return d;
}

// Stores a reference to `row` (null: a null item) into the variable
// argument `n`.
void storeInto(const DataRow* args, int n, Interfasable* row) {
    DataItem* target = ScriptArgs::variable(args, n);
    if (!target) return;
    ObjectCollector::store(*target, row ? reference(row) : DataItem());
}

}  // namespace

AdmObjExpanded::AdmObjExpanded(const RefDescription& description, Interfasable* owner)
    : description_(description),
      child_(description.table ? description.table->share() : nullptr),
      owner_(owner) {}

AdmObjExpanded::~AdmObjExpanded() = default;

int32_t AdmObjExpanded::classNumber() {
    return MemberTables::classNumber(MemberTables::AdmObjExpanded);
}

bool AdmObjExpanded::hasMember(const String& name) {
    return FunctionRegistry::instance().findFunctionIndex(classNumber(), name) >= 0;
}

DataItem AdmObjExpanded::getParent() {
    return reference(owner_);
}

AdmObjInstance* AdmObjExpanded::at(int i) const noexcept {
    return (i >= 0 && i < size()) ? instances_[size_t(i)].get() : nullptr;
}

void AdmObjExpanded::reportOwned(OwnedParts& parts) {
    for (const auto& row : instances_)
        parts.object(row.get());
    for (const auto& row : deleted_)
        parts.object(row.get());
    parts.object(spare_.get());
}

AdmObjInstance* AdmObjExpanded::newInstance() {
    return new AdmObjInstance(child_, owner_, 0);
}

AdmObjInstance* AdmObjExpanded::spare() {
    if (!spare_) spare_.reset(newInstance());
    return spare_.get();
}

void AdmObjExpanded::clearAll() {
    // A script may still point at the dropped rows: they die when it ends.
    for (auto& row : instances_)
        ObjectCollector::retire(row.release());
    for (auto& row : deleted_)
        ObjectCollector::retire(row.release());
    instances_.clear();
    deleted_.clear();
    position_ = 0;
}

void AdmObjExpanded::moveToDeleted(int index) {
    if (index < 0 || index >= size()) return;
    deleted_.push_back(std::move(instances_[size_t(index)]));
    instances_.erase(instances_.begin() + index);
}

void AdmObjExpanded::load(int32_t parentKey) {
    clearAll();
    parentKey_ = parentKey;
    if (parentKey < 1 || !child_ || !child_->connection()) return;
    TableDataset& model = child_->model();
    String condition, order, sql;
    if (!description_.condition().isEmpty())
        condition.format(" AND %s", description_.condition().c_str());
    if (!description_.order().isEmpty()) order.format(" ORDER BY %s", description_.order().c_str());
    sql.format("SELECT %s FROM %s WHERE %s=%d%s%s;", model.keyColumnName().c_str(),
               child_->name().c_str(), description_.foreignKey().c_str(), parentKey,
               condition.c_str(), order.c_str());
    DataSet keys;
    child_->connection()->queryDataset(sql, &keys, "", false);
    for (int i = 0; i < keys.rowCount(); ++i) {
        int32_t key = keys.getCell(i, 0).toInt();
        instances_.push_back(std::make_unique<AdmObjInstance>(child_, owner_, key));
    }
}

void AdmObjExpanded::save(int32_t parentKey) {
    parentKey_ = parentKey;
    for (auto& row : deleted_) {
        if (row->key() != 0) {
            child_->deleteRow(*row);
            row->load(0);
        }
    }
    for (auto& row : instances_) {
        if (DataItem* fk = row->cellByName(description_.foreignKey())) fk->setInt(parentKey);
        row->save();
    }
    for (auto& row : deleted_)
        ObjectCollector::retire(row.release());
    deleted_.clear();
}

double AdmObjExpanded::columnValue(const AdmObjInstance& row, TextRef column) const {
    const DataItem* cell = row.cellByName(column);
    return cell ? cell->toDouble() : 0.0;
}

DataItem AdmObjExpanded::execute(const String& name, const DataRow* args) {
    int32_t index = FunctionRegistry::instance().findFunctionIndex(classNumber(), name);
    if (index < 0)
        throw GeneralException::format("AdmObjExpanded: No existe la función: %s", name.c_str());
    switch (index) {
        case Size:
            return DataItem(int32_t(size()));
        case Head:
            position_ = 0;
            storeInto(args, 0, at(position_));
            return DataItem();
        case Next:
            if (position_ < size()) ++position_;
            storeInto(args, 0, at(position_));
            return DataItem();
        case Prev:
            if (position_ >= 0) --position_;
            storeInto(args, 0, at(position_));
            return DataItem();
        case GetEditInstance:
            return reference(spare());
        case AddNewInstance:
            instances_.emplace_back(newInstance());
            return reference(instances_.back().get());
        case SetCurrentInstance:
            position_ = ScriptArgs::toInt(args, 0);
            return DataItem();
        case GetInstanceAt: {
            AdmObjInstance* row = at(ScriptArgs::toInt(args, 0));
            return reference(row ? row : spare());
        }
        case GetInstanceWhere: {
            std::vector<String> columns;
            String all = ScriptArgs::text(args, 0);
            for (String c = all.token("&", true); !c.isEmpty(); c = all.token("&")) {
                c.trim();
                columns.push_back(c);
            }
            for (auto& row : instances_) {
                bool match = true;
                for (size_t c = 0; c < columns.size() && match; ++c) {
                    const DataItem* cell = row->cellByName(columns[c]);
                    match = cell && cell->compare(ScriptArgs::value(args, int(c) + 1)) == 0;
                }
                if (match) return reference(row.get());
            }
            return DataItem();
        }
        case GetInstancePos: {
            const DataItem& v = ScriptArgs::value(args, 0);
            Interfasable* object = v.type() == DataItem::TObj ? v.getObj() : nullptr;
            if (object && object == spare_.get()) return DataItem(int32_t(size()));
            for (int i = 0; i < size(); ++i)
                if (object && instances_[size_t(i)].get() == object) return DataItem(int32_t(i));
            return DataItem(int32_t(-1));
        }
        case Initialize:
            clearAll();
            if (spare_) spare_->load(0);
            return DataItem();
        case DeleteAll:
            while (size() > 0)
                moveToDeleted(size() - 1);
            position_ = 0;
            return DataItem();
        case DeleteAt:
            position_ = ScriptArgs::toInt(args, 0);
            moveToDeleted(position_);
            return DataItem();
        case DeleteCurrentInstance:
            moveToDeleted(position_);
            return DataItem();
        case DeleteWhere: {
            String column = ScriptArgs::text(args, 0);
            const DataItem& value = ScriptArgs::value(args, 1);
            for (int i = size() - 1; i >= 0; --i) {
                const DataItem* cell = instances_[size_t(i)]->cellByName(column);
                if (cell && cell->compare(value) == 0) moveToDeleted(i);
            }
            return DataItem();
        }
        case SumaDe: {
            String column = ScriptArgs::text(args, 0);
            bool flagged = ScriptArgs::has(args, 1);
            String flag = flagged ? ScriptArgs::text(args, 1) : String();
            double sum = 0;
            for (auto& row : instances_) {
                if (flagged) {
                    const DataItem* f = row->cellByName(flag);
                    if (!f || f->isEmpty()) continue;
                }
                sum += columnValue(*row, column);
            }
            return DataItem(sum);
        }
        case SumaProducto: {
            double sum = 0;
            for (auto& row : instances_) {
                double product = ScriptArgs::count(args) > 0 ? 1.0 : 0.0;
                for (int c = 0; c < ScriptArgs::count(args); ++c)
                    product *= columnValue(*row, ScriptArgs::text(args, c));
                sum += product;
            }
            return DataItem(sum);
        }
        case SumaWhere: {
            String column = ScriptArgs::text(args, 0);
            String condition = ScriptArgs::text(args, 1);
            const DataItem& value = ScriptArgs::value(args, 2);
            double sum = 0;
            for (auto& row : instances_) {
                const DataItem* c = row->cellByName(condition);
                if (c && c->compare(value) == 0) sum += columnValue(*row, column);
            }
            return DataItem(sum);
        }
        case Add: {
            const DataItem& v = ScriptArgs::value(args, 0);
            auto* row =
                v.type() == DataItem::TObj ? dynamic_cast<AdmObjInstance*>(v.getObj()) : nullptr;
            if (!row) return DataItem();
            // A row of the child table (whichever connection object mapped
            // it) is that table's row: one its variable owns moves into the
            // list, any other is copied with its key (its owner keeps it),
            // so that saving writes that row and never a second one. A row
            // of another table gives a new row with the values of the
            // columns of the same name.
            bool sameTable = child_ && TableDef::sameTable(row->def(), *child_);
            DataItem* holder =
                Variable::isFollowed(*args->cell(0)) ? ScriptArgs::variable(args, 0) : nullptr;
            if (sameTable && holder && holder->type() == DataItem::TObj && holder->ownsObject() &&
                holder->getObj() == row) {
                holder->setOwnsObject(false);
                // Now the collection's, so owned like the rows it loads.
                row->setOwner(owner_);
                instances_.emplace_back(row);
            } else {
                auto copy = std::make_unique<AdmObjInstance>(child_, owner_, 0);
                copy->copyValues(*row, sameTable);
                instances_.push_back(std::move(copy));
            }
            return DataItem();
        }
        case GetColumnListValues: {
            if (ScriptArgs::count(args) != 1)
                throw GeneralException("AdmObjExpanded.getColumnListValues: bad arguments");
            String column = ScriptArgs::text(args, 0);
            String out;
            // A column the child table lacks gives an empty text, as a grid's.
            if (!child_ || !child_->model().hasColumn(column)) return DataItem(out);
            for (size_t i = 0; i < instances_.size(); ++i) {
                if (i > 0) out.append(',');
                const DataItem* cell = instances_[i]->cellByName(column);
                if (cell) out.append(cell->text());
            }
            return DataItem(out);
        }
        case GetParent:
            return reference(owner_);
        default:
            throw GeneralException::format("AdmObjExpanded: No existe la función: %s",
                                           name.c_str());
    }
}

}  // namespace VORLIN
