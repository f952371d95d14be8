#include "script/VariableList.h"

namespace VORLIN {

uint64_t VariableList::nextStamp() noexcept {
    static uint64_t last = 0;
    return ++last;
}

Variable* VariableList::add(const String& name) {
    vars_.push_back(std::make_unique<Variable>(name));
    stamp_ = nextStamp();
    return vars_.back().get();
}

Variable* VariableList::find(TextRef name) const noexcept {
    std::string_view n = name.view();
    for (const auto& v : vars_)
        if (v->name().view() == n) return v.get();
    return nullptr;
}

void VariableList::clear() {
    vars_.clear();
    stamp_ = nextStamp();
}

}  // namespace VORLIN
