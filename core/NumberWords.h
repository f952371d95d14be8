// NumberWords: amounts written in Spanish words ("letra"), as printed on
// cheques and invoices: "UN MIL DOSCIENTOS TREINTA Y CUATRO PESOS 50/100 M.N.".
//
// The words come from fixed upper-case tables and are joined exactly as the
// rules join them, stray spaces included: 200 reads "DOSCIENTOS " (the
// hundreds carry their own trailing space) and 1000 reads "UN MIL ". Callers
// that print the words keep those spaces; nothing here trims them.
//
// The integer part of an amount is read as an unsigned 32-bit number. Two
// cases fall outside that reading and are decided here:
//   - a negative amount writes "MENOS " followed by the words of its
//     absolute value (the fraction is that of the absolute value too);
//   - an integer part of 4294967296 or more, and a value that is not a
//     finite number, write "MUCHOS" (the same word the rule for more than
//     twelve digits uses), with a fraction of zeros for non-finite values.
//
// The currency name and suffix ("PESO", "M.N.") come from
// RegionalSettings::current(). Nothing here throws.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/String.h"

namespace VORLIN {

class NumberWords {
public:
    // Decimal counts above this are cut to it: the fraction is written from
    // the digits of a double, which carries no more than this many reliably.
    static constexpr int kMaxDecimals = 9;

    // The words of an unsigned integer: "CERO" for 0, "VEINTIUN" for 21.
    static String integer(uint32_t value);
    // The words of a number given as its decimal digits (most significant
    // first, no sign, no leading zeros unless the number is 0). More than
    // twelve digits give "MUCHOS".
    static String digits(std::string_view decimalDigits);
    // The whole amount: the words of the integer part, with withCurrency the
    // currency name ("PESO" / "PESOS"), the fraction as "50/100" (" 00/100"
    // with no decimals), and with withCurrency the currency suffix.
    // `decimals` is clamped to 0..kMaxDecimals.
    static String amount(double x, int decimals, bool withCurrency);
};

}  // namespace VORLIN
