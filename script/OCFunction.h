// OCFunction: a call of a member of the object a variable holds
// ("fila.queryDataRow(sql, con)"), or of a value function when the variable
// holds a plain value ("nombre.trimLeft(3)"); the result is written to the
// target when there is one.
//
// The arguments are fixed at compilation: constants, and variable
// references (a variable, optionally with a member path) through which the
// callee reads, and may write, the caller's variables.
//
// Throws GeneralException "Llamada a función sin objeto: %s", "El objeto de
// la llamada de función no es valido: %s", "La función no es parte de un
// tipo base: %s" (the member name) and whatever the member throws; a result
// of the error kind makes run answer false with the message the object put
// in lastErrorText ("member: error" when it put none). The UI thread only.
#pragma once

#include <vector>

#include "script/OpCode.h"

namespace VORLIN {

class DataRow;

class OCFunction : public OpCode {
public:
    // `object` may be null (the call then fails when it runs); `callText`
    // is the call as written, for the listing.
    OCFunction(Variable* object, const String& member, std::vector<DataItem> arguments,
               const String& callText)
        : object_(object), member_(member), arguments_(std::move(arguments)), callText_(callText) {}
    bool run(int& pos) override;
    String listing(const String& prefix) const override;

    const String& member() const noexcept { return member_; }
    int argumentCount() const noexcept { return int(arguments_.size()); }

private:
    Variable* object_;
    String member_;
    std::vector<DataItem> arguments_;
    String callText_;
};

}  // namespace VORLIN
