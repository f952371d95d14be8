// Operando: the base of a numeric operand of the script engine: one double
// that can be read, written and written as text. Variable derives from it
// and replaces the numeric read with the value of the script variable.
//
// Value type, no ownership. Nothing here throws. UI thread only.
#pragma once

#include "core/String.h"

namespace VORLIN {

class Operando {
public:
    Operando() = default;
    explicit Operando(double value) : value_(value) {}
    virtual ~Operando() = default;

    virtual double getValue() const { return value_; }
    virtual void setValue(double value) { value_ = value; }
    // The numeric read that subclasses replace; here the stored double.
    virtual double numericValue() const { return value_; }
    // The value as text ("%f").
    virtual String valueText() const;

protected:
    double value_ = 0.0;
};

}  // namespace VORLIN
