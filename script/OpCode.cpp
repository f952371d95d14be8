#include "script/OpCode.h"

#include <vector>

#include "core/GeneralException.h"
#include "core/Interfasable.h"
#include "script/AdmObjInstance.h"
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
        batch.clear();
    }
}

}  // namespace VORLIN
