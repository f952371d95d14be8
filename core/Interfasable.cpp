#include "core/Interfasable.h"

#include "core/DataItem.h"

namespace VORLIN {

DataItem* Interfasable::getMemberItem(const String&) {
    return nullptr;
}

DataItem Interfasable::execute(const String&, const DataRow*) {
    return DataItem();
}

DataItem Interfasable::getParent() {
    return DataItem();
}

bool Interfasable::hasMember(const String&) {
    return false;
}

Interfasable* Interfasable::getOwner() {
    return nullptr;
}

Interfasable* Interfasable::getMemberObject(const String&) {
    return nullptr;
}

void Interfasable::reportOwned(OwnedParts&) {}

void Interfasable::memberWritten(const String&) {}

}  // namespace VORLIN
