#include "core/Currency.h"

#include <cmath>

#include "core/GeneralException.h"
#include "core/RegionalSettings.h"

namespace VORLIN {

String& Currency::toString(String& out) const {
    const RegionalSettings& rs = RegionalSettings::current();
    if (rs.decimalSeparator.isEmpty()) throw GeneralException("String[]: indice fuera de rango");

    // The digits are written without sign; the sign goes in front of the
    // currency symbol at the end ("-$0.50", not "$-0.50").
    String digits;
    digits.formatFixed(std::fabs(amount), rs.currencyDecimals);

    // formatFixed always writes a "." (or none for 0 decimals). Measuring the
    // integer part from it gives the usual rule (first separator at length -
    // decimals - 4, or - 3 without decimals) and stays right when the
    // regional decimals are outside 0..6 and "%f" wrote six.
    int point = digits.findChar('.');
    int intLen = point < 0 ? int(digits.length()) : point;

    // Use the regional decimal separator, so that the text reads back through
    // parseNumber under the same settings.
    if (point >= 0 && digits.view().substr(size_t(point), 1) != rs.decimalSeparator.view())
        digits =
            digits.left(uint32_t(point)) + rs.decimalSeparator + digits.mid(uint32_t(point) + 1);

    // Right to left, so each insertion leaves the positions still to come
    // untouched; no separator in front of the first digit.
    for (int pos = intLen - 3; pos > 0; pos -= 3)
        digits.insert(rs.thousandsSeparator, uint32_t(pos));

    out.clear();
    if (amount < 0) out.append('-');
    return out.append(rs.currencySymbol).append(digits);
}

void Currency::fromString(String text) {
    // parseNumber throws only when the regional decimal separator is empty;
    // a conversion never throws, so that case reads as zero.
    try {
        amount = text.parseNumber();
    } catch (const GeneralException&) {
        amount = 0.0;
    }
}

int Currency::compare(const CoreObject& other, int, int) const {
    // Anything that is not a Currency compares as zero money.
    const auto* o = dynamic_cast<const Currency*>(&other);
    double diff = amount * rate - (o ? o->amount * o->rate : 0.0);
    return (diff > 0) - (diff < 0);
}

}  // namespace VORLIN
