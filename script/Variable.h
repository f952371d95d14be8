// Variable: a named value of a script function: either its own DataItem, or
// a binding to a DataItem held elsewhere (an argument cell, "this", the
// shared ScriptRegisters cells).
//
// A variable stands for its bound item when bound, else its own value.
// Binding releases the own value (an object it owned dies) and leaves it
// null. Variables that a function assigns are unbound.
//
// Variable references: a script can hand a variable (optionally with a
// member path, "row.total") to a callee that writes into it. Such a
// reference is a "ref" DataItem of kind RefKind::Variable whose pointer is
// the Variable and whose auxiliary text is the member path. Following a
// reference (follow, followTarget) goes to the referenced variable's value,
// or, when the reference carries a path and that value is an object, to the
// object's member item; a value that is itself such a reference (or an item
// reference of kind RefKind::Item) is followed in turn, to the end of the
// chain. Raw and row references are values like any other: they are never
// followed, since their pointer may be a row rather than an item.
//
// Ownership: a variable owns its own value (and an object that value owns),
// never the bound item. References do not own the variable: they must not
// outlive it, which the routine that owns the variables guarantees by
// clearing its scratch values.
//
// Throws GeneralException "%s: referencia circular" (the variable's name)
// when a chain of references is longer than kMaxReferenceChain. UI thread
// only.
#pragma once

#include "core/DataItem.h"
#include "core/String.h"
#include "script/Operando.h"

namespace VORLIN {

class Variable : public Operando {
public:
    // Longest chain of references followed before giving up.
    static constexpr int kMaxReferenceChain = 64;

    explicit Variable(const String& name = String()) : name_(name) {}
    Variable(const Variable&) = delete;
    Variable& operator=(const Variable&) = delete;
    ~Variable() override = default;

    // --- Operando ---
    // The numeric value (as numericValue).
    double getValue() const override { return numericValue(); }
    // Stores the double into the value the variable stands for.
    void setValue(double value) override { this->value().setDouble(value); }
    // The resolved value converted to double.
    double numericValue() const override;
    // The text of the resolved value.
    String valueText() const override;

    const String& name() const noexcept { return name_; }
    void setName(const String& name) { name_ = name; }

    // The item the variable stands for: the bound item or its own value.
    DataItem& value() noexcept { return binding_ ? *binding_ : own_; }
    const DataItem& value() const noexcept { return binding_ ? *binding_ : own_; }
    // Binds to `item` (null unbinds); the own value is released first.
    void bind(DataItem* item);
    DataItem* binding() const noexcept { return binding_; }
    bool isBound() const noexcept { return binding_ != nullptr; }

    // The value with references followed (see the header).
    const DataItem& resolved() const { return follow(value()); }

    // --- variable references ---
    // A reference to `variable` carrying the member path `path` (may be empty).
    static DataItem makeReference(Variable* variable, const String& path = String());
    // The variable of a variable reference; null for any other item.
    static Variable* referencedVariable(const DataItem& item) noexcept;
    // Whether `item` is followed by follow (a variable or item reference).
    static bool isFollowed(const DataItem& item) noexcept;
    // The item `item` designates with the chain of references followed; an
    // item that is no reference designates itself. A reference to nothing,
    // or a path the object does not have, gives an empty item (shared, never
    // to be written).
    static const DataItem& follow(const DataItem& item);
    // The same for writing: the designated item, or null where follow gives
    // the shared empty item.
    static DataItem* followTarget(DataItem& item);

private:
    String name_;
    DataItem own_;
    DataItem* binding_ = nullptr;
};

}  // namespace VORLIN
