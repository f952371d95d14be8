#include "script/FunctionRegistry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace VORLIN {

FunctionRegistry& FunctionRegistry::instance() {
    static FunctionRegistry registry;
    return registry;
}

int32_t FunctionRegistry::registerFunctionTable(const char* const* names) {
    int32_t classNumber = ++tables_;
    if (!names) return classNumber;
    for (int32_t i = 0; names[i] && names[i][0]; ++i) {
        entries_.push_back(
            std::make_unique<FunctionEntry>(FunctionEntry::makeKey(classNumber, names[i]), i));
        sorted_ = false;
    }
    return classNumber;
}

void FunctionRegistry::sort() {
    // Stable, so that a key registered twice keeps its first index in front
    // and the search (a lower bound) finds that one.
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const std::unique_ptr<FunctionEntry>& a,
                        const std::unique_ptr<FunctionEntry>& b) { return a->compare(*b) < 0; });
    sorted_ = true;
}

int32_t FunctionRegistry::findFunctionIndex(int32_t classNumber, const String& name) {
    if (!sorted_) sort();
    // The key is built on the stack when it fits: lookups run inside script
    // loops, and most member names are short.
    char buffer[64];
    std::string_view key;
    String longKey;
    int n = std::snprintf(buffer, sizeof buffer, "%d", classNumber);
    if (size_t(n) + name.length() <= sizeof buffer) {
        std::memcpy(buffer + n, name.c_str(), name.length());
        key = std::string_view(buffer, size_t(n) + name.length());
    } else {
        longKey = FunctionEntry::makeKey(classNumber, name);
        key = longKey.view();
    }
    auto at = std::lower_bound(entries_.begin(), entries_.end(), key,
                               [](const std::unique_ptr<FunctionEntry>& e, std::string_view k) {
                                   return e->compareKey(k) < 0;
                               });
    if (at == entries_.end() || (*at)->compareKey(key) != 0) return -1;
    return (*at)->index();
}

void FunctionRegistry::reset() {
    entries_.clear();
    tables_ = 0;
    sorted_ = true;
}

}  // namespace VORLIN
