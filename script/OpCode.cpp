#include "script/OpCode.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "core/GeneralException.h"
#include "core/Interfasable.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "script/AdmObjExpanded.h"
#include "script/AdmObjInstance.h"
#include "script/Entorno.h"
#include "script/ItemGrid.h"
#include "script/ItemRow.h"
#include "script/ItemTable.h"
#include "script/ScriptFunction.h"
#include "script/ScriptRegisters.h"
#include "script/Variable.h"

namespace VORLIN {

// The bookkeeping behind OpCode::releaseIfDue (friends of OpCode).
void notePending(size_t values) noexcept;
void noteSwept(size_t visited) noexcept;

namespace {

// Objects a target owned when another value was written over it, and
// objects dropped from collections. Other values of the run may still point
// into them ("fila = Obj(fila.cliente)", a row of a grid), so they live
// until the outermost run ends (OpCode::releasePending).
std::vector<DataItem>& pendingObjects() {
    static std::vector<DataItem> pending;
    return pending;
}

// The rows a grid, a table or an item row owns (they die with it).
void ownedRows(Interfasable* object, std::vector<DataRow*>& out) {
    const DataSet* set = nullptr;
    if (auto* grid = dynamic_cast<ItemGrid*>(object)) set = &grid->set();
    if (auto* table = dynamic_cast<ItemTable*>(object)) {
        set = &table->set();
        if (!set->rowsNotOwned())
            for (const ItemList::Node* n = table->set().deletedRows().headNode(); n; n = n->next)
                out.push_back(static_cast<DataRow*>(n->item));
    }
    if (set && !set->rowsNotOwned())
        for (const ItemList::Node* n = set->rowList().headNode(); n; n = n->next)
            out.push_back(static_cast<DataRow*>(n->item));
    if (auto* item = dynamic_cast<ItemRow*>(object))
        if (item->row()) out.push_back(item->row());
}

// The objects an object owns besides rows: a mapped row's sub-objects and
// collections, a collection's rows.
std::vector<Interfasable*> ownedObjects(Interfasable* object) {
    if (auto* instance = dynamic_cast<AdmObjInstance*>(object)) return instance->ownedObjects();
    if (auto* collection = dynamic_cast<AdmObjExpanded*>(object)) return collection->ownedObjects();
    return {};
}

// The objects of one batch about to be deleted, with everything they own
// (it dies with them), so that references into them can be recognised.
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
        // An explicit stack: a chain of owned objects may be long.
        std::vector<Interfasable*> todo{object};
        std::vector<DataRow*> rows;
        while (!todo.empty()) {
            Interfasable* next = todo.back();
            todo.pop_back();
            if (!next || !objects_.insert(next).second) continue;
            rows.clear();
            ownedRows(next, rows);
            for (DataRow* row : rows)
                todo.push_back(row);
            for (Interfasable* owned : ownedObjects(next))
                todo.push_back(owned);
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

// Walks every value the scripts can still reach, and the values inside the
// living objects those lead to (cells of rows, grids and tables, a mapped
// row's parent, sub-objects and collections), forgetting references to
// dying objects. Each object is visited once.
class Sweep {
public:
    explicit Sweep(const DyingSet& dying) : dying_(dying) {}

    void value(DataItem* item) {
        if (!item || item->type() != DataItem::TObj) return;
        forget(item, dying_);
        Interfasable* object = item->getObj();
        if (object && !dying_.contains(object)) pending_.push_back(object);
        drain();
    }

private:
    void drain() {
        std::vector<DataRow*> rows;
        while (!pending_.empty()) {
            Interfasable* object = pending_.back();
            pending_.pop_back();
            if (!seen_.insert(object).second) continue;
            if (auto* row = dynamic_cast<DataRow*>(object)) cells(row);
            if (auto* instance = dynamic_cast<AdmObjInstance*>(object))
                inner(&instance->parentItem());
            rows.clear();
            ownedRows(object, rows);
            for (DataRow* row : rows)
                if (!seen_.count(row)) {
                    seen_.insert(row);
                    cells(row);
                }
            for (Interfasable* owned : ownedObjects(object))
                if (owned) pending_.push_back(owned);
        }
    }

    void cells(DataRow* row) {
        visited_ += size_t(row->count());
        for (int c = 0; c < row->count(); ++c)
            inner(row->cell(c));
    }

    // A value inside a living object: forgotten, or followed later.
    void inner(DataItem* item) {
        if (!item || item->type() != DataItem::TObj) return;
        forget(item, dying_);
        Interfasable* object = item->getObj();
        if (object && !seen_.count(object) && !dying_.contains(object)) pending_.push_back(object);
    }

    const DyingSet& dying_;
    std::unordered_set<const Interfasable*> seen_;
    std::vector<Interfasable*> pending_;
    size_t visited_ = 0;

public:
    // How many values the sweep looked at: its cost.
    size_t visited() const noexcept { return visited_; }
};

// About how many values an object holds: itself and its cells.
size_t valuesOf(Interfasable* object) {
    const DataSet* set = nullptr;
    if (auto* grid = dynamic_cast<ItemGrid*>(object)) set = &grid->set();
    if (auto* table = dynamic_cast<ItemTable*>(object)) set = &table->set();
    if (set)
        return 1 + size_t(set->rowList().count()) * size_t(std::max(1, set->nameList().count()));
    if (auto* row = dynamic_cast<DataRow*>(object)) return 1 + size_t(row->count());
    if (auto* item = dynamic_cast<ItemRow*>(object))
        return 1 + (item->row() ? size_t(item->row()->count()) : 0);
    return 1;
}

void addPending(DataItem holder) {
    notePending(valuesOf(holder.getObj()));
    pendingObjects().push_back(std::move(holder));
}

// Clears every reference the scripts can still reach (the variables and
// arguments of every function, the registers, the environment's values,
// and what the living objects among them hold) to an object of `batch`,
// before the batch is deleted.
void forgetAll(const std::vector<DataItem>& batch) {
    DyingSet dying(batch);
    if (dying.empty()) return;
    Sweep sweep(dying);
    for (ScriptFunction* function : ScriptFunction::liveFunctions()) {
        VariableList& variables = function->variables();
        for (int i = 0; i < variables.count(); ++i)
            sweep.value(&variables.at(i)->value());
    }
    if (DataRow* row = ScriptRegisters::row()) {
        for (int c = 0; c < ScriptRegisters::kCount; ++c)
            sweep.value(row->cell(c));
    }
    DataItem* gestor = ScriptRegisters::cell(ScriptRegisters::Gestor);
    auto* environment = gestor && gestor->type() == DataItem::TObj
                            ? dynamic_cast<Entorno*>(gestor->getObj())
                            : nullptr;
    if (environment)
        for (int i = 0; i < environment->valueCount(); ++i)
            sweep.value(environment->valueAt(i));
    noteSwept(sweep.visited());
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
        addPending(DataItem(std::move(item)));
    }
    item = std::move(value);
}

void OpCode::discard(DataItem value) {
    if (value.type() == DataItem::TObj && value.ownsObject() && value.getObj())
        addPending(std::move(value));
}

void OpCode::dropOwned(DataItem& item) {
    if (item.type() == DataItem::TObj && item.ownsObject()) store(item, DataItem());
}

void OpCode::retire(Interfasable* object) {
    if (!object) return;
    DataItem holder;
    holder.setObj(object, true);
    addPending(std::move(holder));
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

void notePending(size_t values) noexcept {
    OpCode::pendingValues_ += values;
}

void noteSwept(size_t visited) noexcept {
    // A sweep costs about one step per value the scripts can reach; waiting
    // until the displaced objects hold as many values keeps the cost per
    // displaced value constant, and their memory no larger than what the
    // run keeps anyway (or kReleaseValues).
    OpCode::releaseMark_ = std::max<size_t>(OpCode::kReleaseValues, visited);
}

void OpCode::releasePending() {
    // Moved out first: a dying object may run scripts that add more.
    while (!pendingObjects().empty()) {
        std::vector<DataItem> batch;
        batch.swap(pendingObjects());
        pendingValues_ = 0;
        forgetAll(batch);
        batch.clear();
    }
}

}  // namespace VORLIN
