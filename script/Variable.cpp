#include "script/Variable.h"

#include "core/GeneralException.h"
#include "core/Interfasable.h"

namespace VORLIN {

namespace {

const DataItem& emptyItem() {
    static const DataItem empty;
    return empty;
}

// One step along a chain: the item that the reference `ref` designates, or
// null when it designates nothing. `last` names the variable for the
// failure text.
DataItem* step(const DataItem& ref, const Variable*& last) {
    if (ref.refKind() == DataItem::RefKind::Item) return static_cast<DataItem*>(ref.refTarget());
    Variable* v = static_cast<Variable*>(ref.refTarget());
    if (!v) return nullptr;
    last = v;
    DataItem& value = v->value();
    const String& path = ref.auxText();
    if (path.isEmpty() || value.type() != DataItem::TObj) return &value;
    Interfasable* object = value.getObj();
    return object ? object->getMemberItem(path) : &value;
}

[[noreturn]] void tooLong(const Variable* last) {
    throw GeneralException::format("%s: referencia circular", last ? last->name().c_str() : "");
}

}  // namespace

double Variable::numericValue() const {
    const DataItem& v = value();
    if (v.type() != DataItem::TRef) return v.toDouble();
    return follow(v).toDouble();
}

String Variable::valueText() const {
    return resolved().text();
}

void Variable::bind(DataItem* item) {
    own_.release();
    binding_ = item;
}

DataItem Variable::makeReference(Variable* variable, const String& path) {
    DataItem ref;
    ref.setRef(DataItem::RefKind::Variable, variable);
    ref.setAuxText(path);
    return ref;
}

Variable* Variable::referencedVariable(const DataItem& item) noexcept {
    return item.refKind() == DataItem::RefKind::Variable ? static_cast<Variable*>(item.refTarget())
                                                         : nullptr;
}

bool Variable::isFollowed(const DataItem& item) noexcept {
    DataItem::RefKind kind = item.refKind();
    return item.type() == DataItem::TRef &&
           (kind == DataItem::RefKind::Variable || kind == DataItem::RefKind::Item);
}

const DataItem& Variable::follow(const DataItem& item) {
    DataItem* at = followTarget(const_cast<DataItem&>(item));
    return at ? *at : emptyItem();
}

DataItem* Variable::followTarget(DataItem& item) {
    // Nothing is written here: the non-const path only hands the item back.
    DataItem* current = &item;
    const Variable* last = nullptr;
    for (int hops = 0; isFollowed(*current); ++hops) {
        if (hops == kMaxReferenceChain) tooLong(last);
        current = step(*current, last);
        if (!current) return nullptr;
    }
    return current;
}

}  // namespace VORLIN
