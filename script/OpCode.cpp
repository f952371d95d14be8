#include "script/OpCode.h"

#include "core/GeneralException.h"
#include "core/Interfasable.h"
#include "script/ObjectCollector.h"
#include "script/Variable.h"

namespace VORLIN {

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

void OpCode::write(DataItem value) {
    DataItem* item = targetItem();
    ObjectCollector::store(*item, std::move(value));
    if (!targetPath_.isEmpty() && item->isNumeric()) {
        // A key written into a reference column of a mapped row loads the
        // sub-object it names.
        const DataItem& holder = target_->value();
        if (holder.type() == DataItem::TObj && holder.getObj())
            holder.getObj()->memberWritten(targetPath_);
    }
}

}  // namespace VORLIN
