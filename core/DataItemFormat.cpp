// DataItem::format: the value written with a mask.
//
// Integers take a width, doubles and currency a numeric mask ("$0,000.00")
// or the word LETRA for the amount in words, dates and days their format
// codes, booleans a "yes:no" pair. Every other tag, and an empty mask, give
// the item's text.
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/DataItem.h"
#include "core/GeneralException.h"
#include "core/NumberWords.h"
#include "core/RegionalSettings.h"

namespace VORLIN {

namespace {

// A width mask is a number typed by a user or a script; a wider field than
// this is a mistake, not a request for a megabyte of zeros.
constexpr int kMaxWidth = 1024;

// Integers: the digits right-aligned in `width` characters filled with "0".
// The sign is one more character and stays where it is: -5 at 4 is 00-5.
String formatWidth(const String& digits, int width) {
    String out(digits);
    if (width > kMaxWidth) width = kMaxWidth;
    if (width > 0) out.padLeft(uint32_t(width), '0');
    return out;
}

// The decimal count written after LETRA ("LETRA, 4", "LETRA 0"); 2 when the
// mask carries none.
int letraDecimals(std::string_view mask, size_t wordAt) {
    std::string_view rest = mask.substr(wordAt + 5);
    if (rest.empty() || (rest[0] != ',' && rest[0] != ' ')) return 2;
    size_t at = rest.find_first_not_of(", ");
    if (at == std::string_view::npos) return 2;
    rest.remove_prefix(at);
    bool hasNumber = (rest[0] >= '0' && rest[0] <= '9') ||
                     (rest[0] == '-' && rest.size() > 1 && rest[1] >= '0' && rest[1] <= '9');
    if (!hasNumber) return 2;
    // atoi would overflow on a long run of digits; the count is clamped by
    // NumberWords anyway, so a long number just means "many".
    std::string digits(rest.substr(0, 6));
    return std::atoi(digits.c_str());
}

// A numeric mask: prefix, digit places, optional "," (grouping) and optional
// "." (decimals). The mask is consumed from the left, one piece at a time:
//   "$0,000.00" -> prefix "$" | "0," grouping on | "000." groups of 3 | "00"
//   two decimals.
String formatNumeric(double x, std::string_view mask) {
    // 1. The prefix is everything before the first digit place. A mask with
    //    no "0" at all is all prefix: the number goes with no decimals.
    size_t zero = mask.find('0');
    std::string_view prefix = zero == std::string_view::npos ? mask : mask.substr(0, zero);
    std::string_view rest = zero == std::string_view::npos ? std::string_view() : mask.substr(zero);

    // 2. A "," after the first place turns grouping on.
    bool grouping = false;
    size_t comma = rest.find(',');
    if (comma != std::string_view::npos && comma > 0) {
        rest.remove_prefix(comma + 1);
        grouping = true;
    }

    // 3. What stands before the "." is one group; what follows it, the
    //    decimals. A "." right after the "," is not a decimal point.
    size_t groupSize = rest.size();
    int decimals = 0;
    size_t point = rest.find('.');
    if (point != std::string_view::npos && point > 0) {
        groupSize = point;
        decimals = int(rest.size() - point - 1);
    }

    // 4. The digits of the absolute value; the sign goes in front of the
    //    prefix at the end ("-$1,234.50", not "$-1,234.50").
    String digits;
    digits.formatFixed(std::fabs(x), decimals);

    const RegionalSettings& rs = RegionalSettings::current();
    // Grouping counts from the regional decimal separator, so without one
    // there is nothing to count from.
    if (grouping && rs.decimalSeparator.isEmpty())
        throw GeneralException("String[]: indice fuera de rango");

    // formatFixed always writes "."; show the regional separator instead,
    // so that the text reads back through parseNumber under the same
    // settings. Measure the integer part first: the separator may be longer
    // than one byte.
    int dot = digits.findChar('.');
    uint32_t intLen = dot < 0 ? digits.length() : uint32_t(dot);
    if (dot >= 0 && !rs.decimalSeparator.isEmpty() && rs.decimalSeparator != ".")
        digits = digits.left(intLen) + rs.decimalSeparator + digits.mid(intLen + 1);

    // 5. Right to left, so each insertion leaves the positions still to come
    //    where they were; never in front of the first digit.
    if (grouping && groupSize > 0)
        for (int64_t pos = int64_t(intLen) - int64_t(groupSize); pos > 0; pos -= int64_t(groupSize))
            digits.insert(rs.thousandsSeparator, uint32_t(pos));

    // 6. Prefix, and the sign before everything.
    String out;
    if (x < 0) out.append('-');
    out.append(TextRef(prefix));
    out.append(digits);
    return out;
}

}  // namespace

String DataItem::format(const String& mask) const {
    if (mask.isEmpty()) return text();
    switch (tag_) {
        case TInt:
        case TUInt:
        case TLong:
        case TULong:
            // The text is the decimal number as the setter wrote it, signed
            // or unsigned as the tag says.
            return formatWidth(text(), mask.toInt());
        case TDouble:
        case TCurrency: {
            double x = toDouble();
            int word = mask.find("letra", true);
            if (word >= 0)
                return NumberWords::amount(x, letraDecimals(mask.view(), size_t(word)),
                                           tag_ == TCurrency);
            return formatNumeric(x, mask.view());
        }
        case TDate:
            return toDateTime().format(mask);
        case TDay:
            return toDateDay().format(mask);
        case TBool: {
            // "yes:no": true takes the part before the first ":", false the
            // rest after it (nothing when the mask has no ":").
            int colon = mask.findChar(':');
            if (st_.b) return colon < 0 ? mask : mask.left(uint32_t(colon));
            return colon < 0 ? String() : mask.mid(uint32_t(colon) + 1);
        }
        default:
            return text();
    }
}

}  // namespace VORLIN
