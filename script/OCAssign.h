// The assignment instructions: a constant (OCAsignCte), a formula
// (OCFormula), a copy of a variable or member (OCAsignObjMember), an object
// or sub-object (OCAsignObject) and a mapped row's collection
// (OCAsignExpanded). Each writes its target through OpCode::write.
//
// Ownership: an instruction owns its constant and its expression tree; the
// variables belong to the function. Failures: see each class. The UI
// thread only.
#pragma once

#include <memory>

#include "script/ExpressionNode.h"
#include "script/OpCode.h"

namespace VORLIN {

class VariableList;

// A constant: plain, or the date ("hoy"), the day ("hoyDia") or the time
// ("hora") of the moment it runs. A double written over a text is stored as
// the double's text.
class OCAsignCte : public OpCode {
public:
    enum Kind : int { Plain = 0, Hoy = 1, HoyDia = 2, Hora = 3 };
    OCAsignCte(const DataItem& constant, int kind = Plain) : constant_(constant), kind_(kind) {}
    bool run(int& pos) override;
    String listing(const String& prefix) const override;
    const DataItem& constant() const noexcept { return constant_; }
    int kind() const noexcept { return kind_; }

private:
    DataItem constant_;
    int kind_;
};

// An expression evaluated numerically over the function's variables; the
// double is written, or with the condition flag a bool (value not 0).
// Throws what the evaluation throws.
class OCFormula : public OpCode {
public:
    // Compiles `text` (throws the parse failures).
    OCFormula(const String& text, VariableList* variables, bool condition);
    bool run(int& pos) override;
    String listing(const String& prefix) const override;
    bool isCondition() const noexcept { return condition_; }

private:
    String text_;
    std::unique_ptr<ExpressionNode> root_;
    VariableList* variables_;
    bool condition_;
};

// A copy of a variable's value, or of an object member. Fails with
// "Asignar objeto: %s no es miembro de %s." (path, source name).
class OCAsignObjMember : public OpCode {
public:
    OCAsignObjMember(Variable* source, const String& path) : source_(source), path_(path) {}
    bool run(int& pos) override;
    String listing(const String& prefix) const override;

private:
    Variable* source_;
    String path_;
};

// "Obj(source[.path])": with a path, the member item of the source object
// (a reference to the sub-object when the object is a mapped row and the
// path names one); without, the source value; an empty source writes null.
// Fails with "Asignar Objeto: %s no es miembro de %s." (path, source name).
class OCAsignObject : public OpCode {
public:
    OCAsignObject(Variable* source, const String& path) : source_(source), path_(path) {}
    bool run(int& pos) override;
    String listing(const String& prefix) const override;

private:
    Variable* source_;
    String path_;
};

// "Obj[](source.list)": a reference to the collection `list` of the mapped
// row held by the source. Fails with "Asignar Expanded: %s no es miembro de
// %s." or "Asignar Expanded: miembro u objeto vacios (%s).".
class OCAsignExpanded : public OpCode {
public:
    OCAsignExpanded(Variable* source, const String& path) : source_(source), path_(path) {}
    bool run(int& pos) override;
    String listing(const String& prefix) const override;

private:
    Variable* source_;
    String path_;
};

}  // namespace VORLIN
