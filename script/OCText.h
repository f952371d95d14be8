// The text instructions: one piece of a concatenation appended to
// "_CONCAT_" (OCConcat), and a template whose placeholders "_0_", "_1_", ...
// are replaced by the texts of variables or members (OCSubstitute).
//
// Failures: OCConcat answers false with "Concatenar: %s no es miembro de
// %s." (path, variable); OCSubstitute throws "Substitute error: %s no es
// miembro de %s" (path, variable) or "Substitute error: %s" (a missing
// variable). The variables belong to the function. The UI thread only.
#pragma once

#include <utility>
#include <vector>

#include "script/OpCode.h"

namespace VORLIN {

class OCConcat : public OpCode {
public:
    // Appends a constant's text.
    OCConcat(Variable* concat, const DataItem& constant)
        : concat_(concat), constant_(constant), isConstant_(true) {}
    // Appends the text of a variable, or of its object's member `path`.
    OCConcat(Variable* concat, Variable* source, const String& path)
        : concat_(concat), source_(source), path_(path) {}
    bool run(int& pos) override;
    String listing(const String& prefix) const override;

private:
    Variable* concat_;
    DataItem constant_;
    Variable* source_ = nullptr;
    String path_;
    bool isConstant_ = false;
};

class OCSubstitute : public OpCode {
public:
    using Source = std::pair<Variable*, String>;  // variable and member path
    OCSubstitute(const String& templ, std::vector<Source> sources)
        : template_(templ), sources_(std::move(sources)) {}
    bool run(int& pos) override;
    String listing(const String& prefix) const override;
    // `templ` with each "_n_" (n below the number of texts) replaced by
    // texts[n], in one pass (a replaced text is not searched again).
    static String substitute(const String& templ, const std::vector<String>& texts);

private:
    String template_;
    std::vector<Source> sources_;
};

}  // namespace VORLIN
