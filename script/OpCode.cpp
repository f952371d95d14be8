#include "script/OpCode.h"

#include <unordered_set>
#include <vector>

#include "core/GeneralException.h"
#include "core/Interfasable.h"
#include "data/DataSet.h"
#include "script/AdmObjExpanded.h"
#include "script/AdmObjInstance.h"
#include "script/Entorno.h"
#include "script/ItemGrid.h"
#include "script/ScriptFunction.h"
#include "script/ScriptRegisters.h"
#include "script/Variable.h"

namespace VORLIN {

namespace {

// Objects a target owned when another value was written over it, and
// objects dropped from collections. Other values of the run may still point
// into them ("fila = Obj(fila.cliente)", a row of a grid), so they live
// until the outermost run ends (OpCode::releasePending).
std::vector<DataItem>& pendingObjects() {
    static std::vector<DataItem> pending;
    return pending;
}

// The objects of one batch about to be deleted, with the rows their grids
// and collections own (they die with them), so that references into them
// can be recognised.
class DyingSet {
public:
    explicit DyingSet(const std::vector<DataItem>& batch) {
        for (const DataItem& item : batch)
            if (item.type() == DataItem::TObj && item.ownsObject()) add(item.getObj());
    }

    bool empty() const noexcept { return objects_.empty(); }

    // True when `object`, or an object that owns it, is about to die.
    bool contains(Interfasable* object) const {
        // Bounded: an owner chain never goes this deep, and a cycle must not hang the run.
        for (int depth = 0; object && depth < 256; ++depth) {
            if (objects_.count(object)) return true;
            object = object->getOwner();
        }
        return false;
    }

private:
    void add(Interfasable* object) {
        if (!object || !objects_.insert(object).second) return;
        if (auto* grid = dynamic_cast<ItemGrid*>(object)) {
            DataSet& set = grid->set();
            if (!set.rowsNotOwned())
                for (int r = 0; r < set.rowCount(); ++r)
                    add(set.row(r));
        } else if (auto* collection = dynamic_cast<AdmObjExpanded*>(object)) {
            for (int i = 0; i < collection->size(); ++i)
                add(collection->at(i));
        }
    }

    std::unordered_set<const Interfasable*> objects_;
};

// A value that refers to a dying object without owning it becomes a null
// object, so that no later run reads freed memory through it.
void forget(DataItem* item, const DyingSet& dying) {
    if (item && item->type() == DataItem::TObj && !item->ownsObject() &&
        dying.contains(item->getObj()))
        item->setObj(nullptr);
}

// Clears every reference the scripts can still reach (the variables and
// arguments of every function, the registers, the environment's values)
// to an object of `batch`, before the batch is deleted.
void forgetAll(const std::vector<DataItem>& batch) {
    DyingSet dying(batch);
    if (dying.empty()) return;
    for (ScriptFunction* function : ScriptFunction::liveFunctions()) {
        VariableList& variables = function->variables();
        for (int i = 0; i < variables.count(); ++i)
            forget(&variables.at(i)->value(), dying);
    }
    if (DataRow* row = ScriptRegisters::row()) {
        for (int c = 0; c < ScriptRegisters::kCount; ++c)
            forget(row->cell(c), dying);
    }
    DataItem* gestor = ScriptRegisters::cell(ScriptRegisters::Gestor);
    auto* environment = gestor && gestor->type() == DataItem::TObj
                            ? dynamic_cast<Entorno*>(gestor->getObj())
                            : nullptr;
    if (environment)
        for (int i = 0; i < environment->valueCount(); ++i)
            forget(environment->valueAt(i), dying);
}

}  // namespace

String& OpCode::lastErrorText() {
    static String text;
    return text;
}

bool OpCode::fail(const String& message) {
    lastErrorText() = message;
    return false;
}

String OpCode::identity(int position) {
    if (position < 0) return String("????");
    String s;
    s.format("%#X", unsigned(position));
    return s;
}

String OpCode::targetName() const {
    if (!target_) return String();
    String s = target_->name();
    if (!targetPath_.isEmpty()) {
        s.append('.');
        s.append(targetPath_);
    }
    return s;
}

DataItem* OpCode::targetItemOrNull() noexcept {
    if (!target_) return nullptr;
    DataItem& value = target_->value();
    if (targetPath_.isEmpty()) return &value;
    if (value.type() != DataItem::TObj || !value.getObj()) return nullptr;
    try {
        return value.getObj()->getMemberItem(targetPath_);
    } catch (...) {
        return nullptr;
    }
}

DataItem* OpCode::targetItem() {
    if (!target_) throw GeneralException("Asignar: La variable no existe.");
    DataItem& value = target_->value();
    if (targetPath_.isEmpty()) return &value;
    DataItem* item = nullptr;
    if (value.type() == DataItem::TObj && value.getObj())
        item = value.getObj()->getMemberItem(targetPath_);
    if (!item)
        throw GeneralException::format("Asignar: %s.%s no está declarado.", targetPath_.c_str(),
                                       target_->name().c_str());
    return item;
}

void OpCode::store(DataItem& item, DataItem value) {
    if (item.type() == DataItem::TObj && item.ownsObject()) {
        // The same object again: the item keeps owning it.
        if (value.type() == DataItem::TObj && value.getObj() == item.getObj()) {
            value.setOwnsObject(false);
            return;
        }
        // The object the item owned may still be pointed at by other values
        // of the run (a row of a grid, a member, a sub-object): it dies when
        // the outermost run ends.
        DataItem old(std::move(item));
        pendingObjects().push_back(std::move(old));
    }
    item = std::move(value);
}

void OpCode::retire(Interfasable* object) {
    if (!object) return;
    DataItem holder;
    holder.setObj(object, true);
    pendingObjects().push_back(std::move(holder));
}

void OpCode::write(DataItem value) {
    DataItem* item = targetItem();
    store(*item, std::move(value));
    if (!targetPath_.isEmpty()) {
        // A key written into a reference column of a mapped row loads the
        // sub-object it names.
        const DataItem& holder = target_->value();
        auto* row = holder.type() == DataItem::TObj ? dynamic_cast<AdmObjInstance*>(holder.getObj())
                                                    : nullptr;
        if (row && item->isNumeric()) row->referenceWritten(targetPath_);
    }
}

void OpCode::releasePending() {
    // Moved out first: a dying object may run scripts that add more.
    while (!pendingObjects().empty()) {
        std::vector<DataItem> batch;
        batch.swap(pendingObjects());
        forgetAll(batch);
        batch.clear();
    }
}

}  // namespace VORLIN
