#include "script/ObjectCollector.h"

#include <algorithm>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/Interfasable.h"
#include "data/DataRow.h"
#include "script/ScriptFunction.h"
#include "script/ScriptRegisters.h"
#include "script/Variable.h"

namespace VORLIN {

namespace {

// The owned objects waiting for releasePending.
std::vector<DataItem>& pendingObjects() {
    static std::vector<DataItem> pending;
    return pending;
}

// Calls `onObject` for each object `object` owns and `onValue` for each
// value it holds: what it reports, and the cells of a row.
template <typename OnObject, typename OnValue>
void partsOf(Interfasable* object, OnObject&& onObject, OnValue&& onValue) {
    struct Parts final : Interfasable::OwnedParts {
        OnObject& objectFn;
        OnValue& valueFn;
        Parts(OnObject& o, OnValue& v) : objectFn(o), valueFn(v) {}
        void object(Interfasable* owned) override {
            if (owned) objectFn(owned);
        }
        void value(DataItem* item) override {
            if (item) valueFn(item);
        }
    } parts(onObject, onValue);
    if (auto* row = dynamic_cast<DataRow*>(object))
        for (int c = 0; c < row->count(); ++c)
            parts.value(row->cell(c));
    object->reportOwned(parts);
}

// About how many values an object holds: itself, its values, and the
// objects it owns with their values (one level: a grid's rows).
size_t valuesOf(Interfasable* object) {
    if (!object) return 1;
    size_t n = 1;
    partsOf(
        object,
        [&n](Interfasable* owned) {
            ++n;
            partsOf(
                owned, [](Interfasable*) {}, [&n](DataItem*) { ++n; });
        },
        [&n](DataItem*) { ++n; });
    return n;
}

// The objects of one batch about to be deleted, with everything they own
// (it dies with them: owned objects, and objects their values own), so
// that references into them can be recognised.
class DyingSet {
public:
    explicit DyingSet(const std::vector<DataItem>& batch) {
        for (const DataItem& item : batch)
            if (item.type() == DataItem::TObj && item.ownsObject()) add(item.getObj());
    }

    bool empty() const noexcept { return objects_.empty(); }

    // True when `object`, or an object that owns it, is about to die.
    bool contains(Interfasable* object) const {
        // Bounded: an owner chain never goes this deep, and a cycle must not
        // hang the run.
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
        while (!todo.empty()) {
            Interfasable* next = todo.back();
            todo.pop_back();
            if (!next || !objects_.insert(next).second) continue;
            partsOf(
                next, [&todo](Interfasable* owned) { todo.push_back(owned); },
                [&todo](DataItem* item) {
                    if (item->type() == DataItem::TObj && item->ownsObject())
                        todo.push_back(item->getObj());
                });
        }
    }

    std::unordered_set<const Interfasable*> objects_;
};

// Walks every value the scripts can still reach, and the values inside the
// living objects those lead to, turning each reference to a dying object
// that does not own it into a null object. Each object is visited once.
class Sweep {
public:
    explicit Sweep(const DyingSet& dying) : dying_(dying) {}

    void value(DataItem* item) {
        inner(item);
        drain();
    }

    // How many values the sweep looked at: its cost.
    size_t visited() const noexcept { return visited_; }

private:
    void drain() {
        while (!pending_.empty()) {
            Interfasable* object = pending_.back();
            pending_.pop_back();
            partsOf(
                object,
                [this](Interfasable* owned) {
                    if (seen_.insert(owned).second) pending_.push_back(owned);
                },
                [this](DataItem* item) { inner(item); });
        }
    }

    // A value: forgotten when it refers to a dying object, else the object
    // it refers to is followed later.
    void inner(DataItem* item) {
        ++visited_;
        if (!item || item->type() != DataItem::TObj) return;
        Interfasable* object = item->getObj();
        if (!object) return;
        if (dying_.contains(object)) {
            if (!item->ownsObject()) item->setObj(nullptr);
            return;
        }
        if (seen_.insert(object).second) pending_.push_back(object);
    }

    const DyingSet& dying_;
    std::unordered_set<const Interfasable*> seen_;
    std::vector<Interfasable*> pending_;
    size_t visited_ = 0;
};

// The release mark after a sweep that looked at `visited` values.
size_t releaseMarkAfter(size_t visited) {
    // A sweep costs about one step per value the scripts can reach; waiting
    // until the displaced objects hold as many values keeps the cost per
    // displaced value constant, and their memory no larger than what the
    // run keeps anyway (or kReleaseValues).
    return std::max<size_t>(ObjectCollector::kReleaseValues, visited);
}

// Clears every reference the scripts can still reach to an object of
// `batch` (or to what it owns); answers how many values it looked at.
size_t forgetAll(const std::vector<DataItem>& batch) {
    DyingSet dying(batch);
    if (dying.empty()) return 0;
    Sweep sweep(dying);
    for (ScriptFunction* function : ScriptFunction::liveFunctions()) {
        VariableList& variables = function->variables();
        for (int i = 0; i < variables.count(); ++i)
            sweep.value(&variables.at(i)->value());
    }
    // The registers lead to the environment ("gestor", "app"), whose
    // values are followed like any object's.
    if (DataRow* row = ScriptRegisters::row())
        for (int c = 0; c < ScriptRegisters::kCount; ++c)
            sweep.value(row->cell(c));
    return sweep.visited();
}

}  // namespace

void ObjectCollector::addPending(DataItem holder) {
    pendingValues_ += valuesOf(holder.getObj());
    pendingObjects().push_back(std::move(holder));
}

void ObjectCollector::store(DataItem& item, DataItem value) {
    if (item.type() == DataItem::TObj && item.ownsObject()) {
        // The same object again: the item keeps owning it.
        if (value.type() == DataItem::TObj && value.getObj() == item.getObj()) {
            value.setOwnsObject(false);
            return;
        }
        addPending(DataItem(std::move(item)));
    }
    item = std::move(value);
}

void ObjectCollector::discard(DataItem value) {
    if (value.type() == DataItem::TObj && value.ownsObject() && value.getObj())
        addPending(std::move(value));
}

void ObjectCollector::dropOwned(DataItem& item) {
    if (item.type() == DataItem::TObj && item.ownsObject()) store(item, DataItem());
}

void ObjectCollector::retire(Interfasable* object) {
    if (!object) return;
    DataItem holder;
    holder.setObj(object, true);
    addPending(std::move(holder));
}

void ObjectCollector::releasePending() {
    // Moved out first: a dying object may hand more objects over (a grid
    // its rows).
    while (!pendingObjects().empty()) {
        std::vector<DataItem> batch;
        batch.swap(pendingObjects());
        pendingValues_ = 0;
        size_t visited = forgetAll(batch);
        if (visited) releaseMark_ = releaseMarkAfter(visited);
        batch.clear();
    }
}

}  // namespace VORLIN
