#include "core/NumberWords.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "core/RegionalSettings.h"

namespace VORLIN {

namespace {

const char* const kUnits[10] = {"",      "UN",   "DOS",   "TRES", "CUATRO",
                                "CINCO", "SEIS", "SIETE", "OCHO", "NUEVE"};
const char* const kTeens[10] = {"DIEZ",   "ONCE",      "DOCE",       "TRECE",     "CATORCE",
                                "QUINCE", "DIECISEIS", "DIECISIETE", "DIECIOCHO", "DIECINUEVE"};
const char* const kTens[10] = {"",          "DIEZ",    "VEINTE",  "TREINTA", "CUARENTA",
                               "CINCUENTA", "SESENTA", "SETENTA", "OCHENTA", "NOVENTA"};
// Each hundred carries its own trailing space, so 200 reads "DOSCIENTOS ".
const char* const kHundreds[10] = {"",
                                   "CIENTO ",
                                   "DOSCIENTOS ",
                                   "TRESCIENTOS ",
                                   "CUATROCIENTOS ",
                                   "QUINIENTOS ",
                                   "SEISCIENTOS ",
                                   "SETECIENTOS ",
                                   "OCHOCIENTOS ",
                                   "NOVECIENTOS "};

int digitAt(std::string_view d, size_t i) {
    return d[i] - '0';
}

// Tens t and units u of a group that has at least two digits.
std::string twoDigits(int t, int u) {
    if (t == 1) return kTeens[u];
    if (u == 0) return kTens[t];  // "" for 00: nothing to say in this group
    if (t == 0) return kUnits[u];
    if (t == 2) return std::string("VEINTI") + kUnits[u];
    return std::string(kTens[t]) + " Y " + kUnits[u];
}

// A group of one to three digits. How many digits the group has matters:
// a lone 1 is "UN", but 100 is "CIEN" only when nothing follows the hundred.
std::string group(std::string_view d) {
    switch (d.size()) {
        case 1:
            return kUnits[digitAt(d, 0)];
        case 2:
            return twoDigits(digitAt(d, 0), digitAt(d, 1));
        default: {
            int h = digitAt(d, 0);
            std::string rest = twoDigits(digitAt(d, 1), digitAt(d, 2));
            if (h == 1 && rest.empty()) return "CIEN";
            return kHundreds[h] + rest;
        }
    }
}

// Up to six digits: the thousands (when they say anything) and " MIL ",
// then the lowest three digits as one group of three.
std::string thousands(std::string_view d) {
    if (d.size() <= 3) return group(d);
    std::string high = group(d.substr(0, d.size() - 3));
    if (!high.empty()) high += " MIL ";
    return high + group(d.substr(d.size() - 3));
}

}  // namespace

String NumberWords::digits(std::string_view d) {
    // Leading zeros say nothing; all zeros (or nothing at all) is zero.
    size_t first = d.find_first_not_of('0');
    if (first == std::string_view::npos) return String("CERO");
    d.remove_prefix(first);
    if (d.size() > 12) return String("MUCHOS");

    size_t n = d.size();
    if (n <= 3) return String(group(d));
    if (n <= 6) return String(thousands(d));

    std::string_view low = d.substr(n - 6);
    std::string out;
    if (n <= 9) {
        // One million is "UN MILLON"; every other count takes the plural.
        std::string millions = group(d.substr(0, n - 6));
        out = millions + (millions == "UN" ? " MILLON " : " MILLONES ");
    } else {
        // Thousands of millions: the digits above the millions read like a
        // number of thousands, so 1000000000 is "UN MIL  MILLONES " (the two
        // spaces come from " MIL " and " MILLONES " meeting).
        out = thousands(d.substr(0, n - 6)) + " MILLONES ";
    }
    return String(out + thousands(low));
}

String NumberWords::integer(uint32_t value) {
    return digits(std::to_string(value));
}

String NumberWords::amount(double x, int decimals, bool withCurrency) {
    if (decimals < 0) decimals = 0;
    if (decimals > kMaxDecimals) decimals = kMaxDecimals;

    std::string words, fraction;
    bool one = false;
    bool negative = false;
    if (!std::isfinite(x)) {
        words = "MUCHOS";
        fraction.assign(size_t(decimals), '0');
    } else {
        // Writing the amount with the wanted decimals rounds it; the text
        // then gives both the integer part and the fraction digits, so the
        // fraction never suffers a second rounding (1234.5 -> "50").
        // %.*f of a finite double needs at most 309 integer digits.
        char buf[400];
        int len = std::snprintf(buf, sizeof buf, "%.*f", decimals, std::fabs(x));
        std::string_view text(buf, len > 0 ? size_t(len) : 0);
        size_t point = text.find('.');
        std::string_view whole = text.substr(0, point);
        if (point != std::string_view::npos) fraction.assign(text.substr(point + 1));

        // Negative only if something is left after rounding: -0.001 with two
        // decimals is "CERO 00/100", not "MENOS CERO".
        negative = x < 0 && whole.find_first_not_of('0') != std::string_view::npos;
        if (x < 0 && !negative) negative = fraction.find_first_not_of('0') != std::string::npos;

        // Beyond an unsigned 32-bit integer part the words are not written.
        bool tooBig = whole.size() > 10 || (whole.size() == 10 && whole > "4294967295");
        words = tooBig ? "MUCHOS" : digits(whole).toStdString();
        one = whole == "1";
    }

    const RegionalSettings& rs = RegionalSettings::current();
    std::string out;
    if (negative) out = "MENOS ";
    out += words;
    if (withCurrency) {
        out += ' ';
        out += rs.currencyName.view();
        if (!one) out += 'S';
    }
    if (decimals > 0) {
        out += ' ';
        out += fraction;
        out += "/1";
        out.append(size_t(decimals), '0');
    } else {
        out += " 00/100";
    }
    if (withCurrency) {
        out += ' ';
        out += rs.currencySuffix.view();
    }
    return String(out);
}

}  // namespace VORLIN
