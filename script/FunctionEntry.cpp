#include "script/FunctionEntry.h"

namespace VORLIN {

String FunctionEntry::makeKey(int32_t classNumber, const String& name) {
    // "%d%s" written piece by piece: a name may hold any byte.
    String key;
    key.appendInt(classNumber);
    key.append(name);
    return key;
}

int FunctionEntry::compare(const CoreObject& other, int, int) const {
    const FunctionEntry* entry = dynamic_cast<const FunctionEntry*>(&other);
    return entry ? compare(*entry) : 1;
}

int FunctionEntry::compareKey(std::string_view key) const noexcept {
    // string_view compares through char_traits<char>, which orders bytes as
    // unsigned values, and a shorter prefix first.
    int c = key_.view().compare(key);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace VORLIN
