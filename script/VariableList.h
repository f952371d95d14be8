// VariableList: the variables of one script function, in declaration order
// ("this", the arguments, the predefined names, then the declared ones).
//
// Lookup is by exact, case-sensitive name; the first match wins. The list
// owns its variables; each lives at a fixed address until the list is
// cleared or destroyed, so variable references and the evaluator's lookup
// cache may keep pointers to them.
//
// Every change of membership gives the list a new stamp, unique in the
// process: a name leaf of an expression remembers the stamp with the
// variable it found and searches again only when the current list's stamp
// differs (another list, or this one changed).
// Nothing here throws except allocation failures. UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/String.h"
#include "script/Variable.h"

namespace VORLIN {

class VariableList {
public:
    VariableList() : stamp_(nextStamp()) {}
    VariableList(const VariableList&) = delete;
    VariableList& operator=(const VariableList&) = delete;

    // Appends a new unbound variable (null value) and answers it.
    Variable* add(const String& name);
    // The first variable named `name`, or null.
    Variable* find(TextRef name) const noexcept;
    int count() const noexcept { return int(vars_.size()); }
    // Null out of range.
    Variable* at(int index) const noexcept {
        return (index >= 0 && index < count()) ? vars_[size_t(index)].get() : nullptr;
    }
    void clear();

    // Changes whenever variables are added or removed; never 0.
    uint64_t stamp() const noexcept { return stamp_; }

private:
    static uint64_t nextStamp() noexcept;

    std::vector<std::unique_ptr<Variable>> vars_;
    uint64_t stamp_;
};

}  // namespace VORLIN
