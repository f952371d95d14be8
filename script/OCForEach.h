// The FOREACH loop: OCForEach asks the collection for its "head" and
// OCNextForEach for its "next", each handing the collection a reference to
// the element variable to fill; a null element (no value, or a reference to
// no object) ends the loop.
//
// Failures (answered false): "ForEach: Ciclo no definido.", "ForEach: %s no
// es un objeto.", "ForEach: %s no hace referencia un objeto." (the
// collection variable), and the same three beginning with "NextForEach:".
// Whatever the collection throws passes through. The UI thread only.
#pragma once

#include "script/OpCode.h"

namespace VORLIN {

class OCForEach : public OpCode {
public:
    OCForEach(Variable* collection, Variable* element)
        : collection_(collection), element_(element) {}
    bool run(int& pos) override;
    String listing(const String& prefix) const override;
    // Position of the loop's OCNextForEach.
    void setLoopEnd(int at) noexcept { loopEnd_ = at; }
    int loopEnd() const noexcept { return loopEnd_; }

    // Calls `member` on the collection with a reference to the element;
    // true when the element is not null afterwards. `who` begins the
    // failure texts. Answers false through `failed` on failure.
    static bool step(Variable* collection, Variable* element, const char* member, const char* who,
                     bool& failed);

private:
    Variable* collection_;
    Variable* element_;
    int loopEnd_ = -1;
};

class OCNextForEach : public OpCode {
public:
    OCNextForEach(Variable* collection, Variable* element, int loopStart)
        : collection_(collection), element_(element), loopStart_(loopStart) {}
    bool run(int& pos) override;
    String listing(const String& prefix) const override;

private:
    Variable* collection_;
    Variable* element_;
    int loopStart_;
};

}  // namespace VORLIN
