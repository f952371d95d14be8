// OCSwitch: compares a selector (a variable, or its object's member) with
// each case value in order (the typed DataItem comparison, so 3.0 meets
// CASE 3) and continues at the first equal case's section, else at the
// default section, else after the block. Every section ends with a jump
// after the block: there is no fall-through.
//
// Throws what reading the selector throws; a member path the object does
// not have reads as empty. The UI thread only.
#pragma once

#include <utility>
#include <vector>

#include "script/OpCode.h"

namespace VORLIN {

class OCSwitch : public OpCode {
public:
    OCSwitch(Variable* selector, const String& path) : selector_(selector), path_(path) {}
    bool run(int& pos) override;
    String listing(const String& prefix) const override;

    void addCase(const DataItem& value, int to) { cases_.emplace_back(value, to); }
    void setDefaultTo(int to) noexcept { defaultTo_ = to; }
    void setEndTo(int to) noexcept { endTo_ = to; }
    int caseCount() const noexcept { return int(cases_.size()); }

private:
    Variable* selector_;
    String path_;
    std::vector<std::pair<DataItem, int>> cases_;
    int defaultTo_ = -1;
    int endTo_ = -1;
};

}  // namespace VORLIN
