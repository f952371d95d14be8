// Currency: an amount of money with a rate (1.0 unless a caller sets it).
//
// Text form: regional currency symbol, thousands separators and the
// regional number of decimals ("-$1,234.50"). Writing the text throws
// "String[]: indice fuera de rango" only when the regional decimal separator
// is empty; parsing never throws.
#pragma once

#include "core/CoreObject.h"
#include "core/String.h"

namespace VORLIN {

class Currency : public CoreObject {
public:
    Currency() = default;
    Currency(double amount) : amount(amount) {}

    String& toString(String& out) const override;
    using CoreObject::toString;
    void fromString(String text) override;
    // Sign of amount*rate minus the other's amount*rate.
    int compare(const CoreObject& other, int arg1, int arg2) const override;
    using CoreObject::compare;

    double amount = 0.0;
    double rate = 1.0;
};

}  // namespace VORLIN
