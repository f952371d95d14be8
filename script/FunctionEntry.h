// FunctionEntry: one row of the member registry (FunctionRegistry): the key
// "<class number><member name>" and the member's position in its class's
// list.
//
// Entries compare byte by byte on their keys (unsigned, case-sensitive; a
// key that is a prefix of another sorts first), which is the one order the
// registry is sorted and searched by. Owned by the registry that holds it.
// Nothing here throws. UI thread only, like the registry.
#pragma once

#include <cstdint>

#include "core/CoreObject.h"
#include "core/String.h"

namespace VORLIN {

class FunctionEntry : public CoreObject {
public:
    FunctionEntry(const String& key, int32_t index) : key_(key), index_(index) {}
    // The key of member `name` of class `classNumber`: "%d%s".
    static String makeKey(int32_t classNumber, const String& name);

    // --- CoreObject ---
    // A copy of the key text.
    String& toString(String& out) const override {
        out = key_;
        return out;
    }
    using CoreObject::toString;
    // Replaces the key (the index stays).
    void fromString(String text) override { key_ = text; }
    // Byte-wise comparison of the keys: -1, 0 or 1; an object that is not
    // an entry compares as greater.
    int compare(const CoreObject& other, int arg1, int arg2) const override;
    using CoreObject::compare;
    int compare(const FunctionEntry& other) const { return compareKey(other.key_.view()); }
    // The same comparison against a bare key.
    int compareKey(std::string_view key) const noexcept;

    const String& key() const noexcept { return key_; }
    int32_t index() const noexcept { return index_; }

private:
    String key_;
    int32_t index_;
};

}  // namespace VORLIN
