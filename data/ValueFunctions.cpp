#include "data/ValueFunctions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "core/GeneralException.h"
#include "data/DataRow.h"

namespace VORLIN {

namespace {

// The arguments of one call. Each is read as a copy; one the script did not
// pass reads as a null item (0 as a number, "" as a text).
class Args {
public:
    explicit Args(const DataRow* row) : row_(row) {}

    // A variable passed by a script is read through to its value.
    DataItem item(int i) const {
        const DataItem* cell = row_ ? row_->cell(i) : nullptr;
        return cell ? cell->argumentValue() : DataItem();
    }
    int integer(int i) const { return item(i).toInt(); }
    // Counts and positions: a negative one means none.
    uint32_t count(int i) const { return uint32_t(std::max(0, integer(i))); }
    String text(int i) const { return item(i).text(); }
    bool flag(int i) const { return item(i).toBool(); }

private:
    const DataRow* row_;
};

using Function = DataItem (*)(DataItem& self, const Args& args);

struct Entry {
    std::string_view name;
    Function run;
};

template <size_t N>
const Entry* lookup(const Entry (&table)[N], std::string_view name) {
    for (const Entry& e : table)
        if (e.name == name) return &e;
    return nullptr;
}

DataItem stringResult(const String& s) {
    return DataItem(s);
}

DataItem intResult(int32_t v) {
    return DataItem(v);
}

DataItem boolResult(bool b) {
    DataItem d;
    d.setBool(b);
    return d;
}

// ------------------------------------------------------------------ strings

// In place: the string takes the new text and the call returns null.
template <typename Change>
DataItem changeText(DataItem& self, Change change) {
    String s(self.text());
    change(s);
    self.setString(s);
    return DataItem();
}

// Token n of `text`; with fromRight the tokens count from the end, which is
// the same as tokenizing the reversed text and turning the token back.
String nthToken(String text, const String& delims, int n, bool fromRight) {
    if (n < 0) return String();
    if (fromRight) text.reverse();
    String tok = text.token(delims, true);
    // With empty tokens skipped, an empty token means the text ran out.
    for (int i = 0; i < n && !tok.isEmpty(); ++i)
        tok = text.token(delims);
    if (fromRight) tok.reverse();
    return tok;
}

// Whether `value` is one of the comma-separated items of `list`, exactly:
// case-sensitive and without trimming, so "a, b" does not hold "b". Every
// comma separates, so an empty item (",,") holds the empty value.
bool inList(std::string_view list, std::string_view value) {
    for (;;) {
        size_t comma = list.find(',');
        if (list.substr(0, comma) == value) return true;
        if (comma == std::string_view::npos) return false;
        list.remove_prefix(comma + 1);
    }
}

const Entry kStringFunctions[] = {
    {"left", [](DataItem& s, const Args& a) { return stringResult(s.text().left(a.count(0))); }},
    {"right", [](DataItem& s, const Args& a) { return stringResult(s.text().right(a.count(0))); }},
    {"mid",
     [](DataItem& s, const Args& a) { return stringResult(s.text().mid(a.count(0), a.count(1))); }},
    {"len",
     [](DataItem& s, const Args&) {
         DataItem d;
         d.setUInt(s.text().length());
         return d;
     }},
    {"trimLeft",
     [](DataItem& s, const Args& a) {
         return changeText(s, [&](String& t) { t.removeLeft(a.count(0)); });
     }},
    {"trimRight",
     [](DataItem& s, const Args& a) {
         return changeText(s, [&](String& t) { t.removeRight(a.count(0)); });
     }},
    {"adjustSpaces",
     [](DataItem& s, const Args&) { return changeText(s, [](String& t) { t.adjustSpaces(); }); }},
    {"validChars",
     [](DataItem& s, const Args& a) {
         return changeText(s, [&](String& t) { t.keepChars(a.text(0)); });
     }},
    {"invalidChars",
     [](DataItem& s, const Args& a) {
         return changeText(s, [&](String& t) { t.removeChars(a.text(0)); });
     }},
    {"toPrintableChars",
     [](DataItem& s, const Args&) {
         return changeText(s, [](String& t) { t.toPrintableChars(); });
     }},
    {"tokenize",
     [](DataItem& s, const Args& a) {
         return stringResult(nthToken(s.text(), a.text(0), a.integer(1), a.flag(2)));
     }},
    {"tokenCount",
     [](DataItem& s, const Args& a) { return intResult(s.text().tokenCount(a.text(0))); }},
    {"find",
     [](DataItem& s, const Args& a) {
         // Where the first character of the argument first occurs, not the
         // whole argument: "hola".find("lo") is 2.
         String what = a.text(0);
         return intResult(what.isEmpty() ? -1 : s.text().findChar(what.c_str()[0]));
     }},
    {"getAt", [](DataItem& s, const Args& a) { return stringResult(s.text().mid(a.count(0), 1)); }},
    {"int", [](DataItem& s, const Args&) { return intResult(s.text().toInt()); }},
    {"double", [](DataItem& s, const Args&) { return DataItem(s.toDouble()); }},
    {"currency", [](DataItem& s, const Args&) { return DataItem(s.toCurrency()); }},
    {"makeUpper",
     [](DataItem& s, const Args&) { return changeText(s, [](String& t) { t.makeUpper(); }); }},
    {"makeLower",
     [](DataItem& s, const Args&) { return changeText(s, [](String& t) { t.makeLower(); }); }},
    {"reverse",
     [](DataItem& s, const Args&) { return changeText(s, [](String& t) { t.reverse(); }); }},
    {"replaceVar",
     [](DataItem& s, const Args& a) {
         return changeText(s, [&](String& t) { t.replace(a.text(0), a.text(1)); });
     }},
    {"getFileName", [](DataItem& s, const Args&) { return stringResult(s.text().getFileName()); }},
    {"encode",
     [](DataItem& s, const Args& a) {
         return changeText(s, [&](String& t) { ValueFunctions::encode(t, a.text(0)); });
     }},
    {"inList",
     [](DataItem& s, const Args& a) {
         String value = a.text(0);
         return boolResult(inList(s.text().view(), value.view()));
     }},
};

// ------------------------------------------------------------------ numbers

// The value as a double, without going through the text for the integer
// tags (their text is exact, but the regional parse is not needed).
double numberOf(const DataItem& d) {
    switch (d.type()) {
        case DataItem::TInt:
            return d.toInt();
        case DataItem::TLong:
            return double(d.toLong());
        case DataItem::TUInt:
            return d.toUInt();
        case DataItem::TULong:
            return d.toULong();
        default:
            return d.toDouble();
    }
}

// Truncated towards zero; out-of-range values saturate and NaN gives 0.
int32_t toInt32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

// How many decimals `x` needs, at most 8: one more while what is left of
// x * 10^d is more than 0.0001 away from a whole number. Measuring against
// the nearest whole number (not the truncated one) keeps binary noise such
// as 0.29 * 100 = 28.999999999999996 from asking for all eight.
int decimalsNeeded(double x) {
    double scaled = x;
    int d = 0;
    while (d < 8 && !(std::fabs(scaled - std::nearbyint(scaled)) <= 0.0001)) {
        ++d;
        scaled *= 10;
    }
    return d;
}

DataItem fixed(double x, int decimals) {
    String s;
    s.format("%.*f", decimals, x);
    return DataItem(s);
}

const Entry kNumberFunctions[] = {
    {"round",
     [](DataItem& s, const Args& a) {
         double x = numberOf(s);
         int n = std::max(0, a.integer(0));
         return fixed(x, std::min(n, decimalsNeeded(x)));
     }},
    {"format",
     [](DataItem& s, const Args& a) {
         // "%.*f" with n is the format "%%.%df" filled with n. The precision
         // comes from a script: keep it in a range printf handles sensibly.
         int n = std::clamp(a.integer(0), 0, int(ValueFunctions::kMaxFormatDecimals));
         return fixed(numberOf(s), n);
     }},
    {"toInt",
     [](DataItem& s, const Args&) {
         s.setInt(toInt32(numberOf(s)));
         return DataItem();
     }},
    {"toDouble",
     [](DataItem& s, const Args&) {
         s.setDouble(numberOf(s));
         return DataItem();
     }},
    {"toCurrency",
     [](DataItem& s, const Args&) {
         // A currency stays as it is, rate included.
         if (s.type() != DataItem::TCurrency) s.setCurrency(Currency(numberOf(s)));
         return DataItem();
     }},
    {"letra", [](DataItem& s, const Args&) { return stringResult(s.format("LETRA")); }},
    {"toQRFormat",
     [](DataItem& s, const Args&) {
         String t;
         t.format("%017.6f", numberOf(s));
         return stringResult(t);
     }},
};

// -------------------------------------------------------------------- dates

// In place: the date is changed and written back (date and text).
template <typename Change>
DataItem changeDate(DataItem& self, Change change) {
    DateTime dt = self.toDateTime();
    change(dt);
    self.setDate(dt);
    return DataItem();
}

const Entry kDateFunctions[] = {
    {"formatDate",
     [](DataItem& s, const Args& a) { return stringResult(s.toDateTime().format(a.text(0))); }},
    {"isEmpty", [](DataItem& s, const Args&) { return boolResult(s.toDateTime().isEmpty()); }},
    {"toFirstDay",
     [](DataItem& s, const Args&) { return changeDate(s, [](DateTime& d) { d.toFirstDay(); }); }},
    {"toLastDay",
     [](DataItem& s, const Args&) { return changeDate(s, [](DateTime& d) { d.toLastDay(); }); }},
    {"toQuincena",
     [](DataItem& s, const Args&) { return changeDate(s, [](DateTime& d) { d.toQuincena(); }); }},
    {"toNextQuincena",
     [](DataItem& s, const Args&) {
         return changeDate(s, [](DateTime& d) { d.toNextQuincena(); });
     }},
    {"setDay",
     [](DataItem& s, const Args& a) {
         return changeDate(s, [&](DateTime& d) {
             // No validation: day 40 gives a record that formats as "".
             d.day = uint16_t(std::clamp(a.integer(0), 0, 0xFFFF));
             d.clearTime();
         });
     }},
    {"getDay", [](DataItem& s, const Args&) { return intResult(s.toDateTime().day); }},
    {"getMonth", [](DataItem& s, const Args&) { return intResult(s.toDateTime().month); }},
    {"getYear", [](DataItem& s, const Args&) { return intResult(s.toDateTime().year); }},
    {"sameMonth",
     [](DataItem& s, const Args& a) {
         DateTime mine = s.toDateTime(), other = a.item(0).toDateTime();
         return boolResult(mine.month == other.month && mine.year == other.year);
     }},
    {"addMonth",
     [](DataItem& s, const Args& a) {
         return changeDate(s, [&](DateTime& d) { d.addMonth(a.integer(0)); });
     }},
    {"addYear",
     [](DataItem& s, const Args& a) {
         return changeDate(s, [&](DateTime& d) { d.addYear(a.integer(0)); });
     }},
    {"addTime",
     [](DataItem& s, const Args& a) {
         return changeDate(s, [&](DateTime& d) { d.setTime(a.text(0)); });
     }},
};

// ----------------------------------------------------------------- booleans

const Entry kBoolFunctions[] = {
    {"not",
     [](DataItem& s, const Args&) {
         s.setBool(!s.toBool());
         return DataItem();
     }},
};

template <size_t N>
std::vector<String> namesOf(const Entry (&table)[N]) {
    std::vector<String> out;
    for (const Entry& e : table)
        out.push_back(String(e.name));
    return out;
}

const Entry* find(int tag, std::string_view name) {
    switch (tag) {
        case DataItem::TString:
            return lookup(kStringFunctions, name);
        case DataItem::TInt:
        case DataItem::TUInt:
        case DataItem::TLong:
        case DataItem::TULong:
        case DataItem::TDouble:
        case DataItem::TCurrency:
            return lookup(kNumberFunctions, name);
        case DataItem::TDate:
            return lookup(kDateFunctions, name);
        case DataItem::TBool:
            return lookup(kBoolFunctions, name);
        default:
            return nullptr;
    }
}

}  // namespace

DataItem ValueFunctions::execute(DataItem& self, const String& name, const DataRow* args) {
    const Entry* e = find(self.type(), name.view());
    if (!e) throw GeneralException("DataItem." + name.toStdString() + " not defined");
    return e->run(self, Args(args));
}

std::vector<String> ValueFunctions::names(int tag) {
    switch (tag) {
        case DataItem::TString:
            return namesOf(kStringFunctions);
        case DataItem::TInt:
        case DataItem::TUInt:
        case DataItem::TLong:
        case DataItem::TULong:
        case DataItem::TDouble:
        case DataItem::TCurrency:
            return namesOf(kNumberFunctions);
        case DataItem::TDate:
            return namesOf(kDateFunctions);
        case DataItem::TBool:
            return namesOf(kBoolFunctions);
        default:
            return {};
    }
}

void ValueFunctions::encode(String& text, const String& key) {
    uint32_t keyLen = key.length();
    if (keyLen == 0 || text.isEmpty()) return;
    const uint8_t* k = reinterpret_cast<const uint8_t*>(key.c_str());

    // The output table: the key against a reversed copy of itself, walked
    // cyclically; each byte of the copy goes up by one every time it is
    // used, so the table does not repeat with the key's period.
    std::string reversed(key.view().rbegin(), key.view().rend());
    uint8_t table[256];
    for (uint32_t j = 0, i = 0; j < 256; ++j) {
        uint8_t r = uint8_t(reversed[i]);
        table[j] = uint8_t(k[i] ^ r);
        reversed[i] = char(uint8_t(r + 1));
        i = i + 1 == keyLen ? 0 : i + 1;
    }

    // A permutation stirred by the text's position only, never by the text:
    // the same key gives the same stream of mask bytes, so a second pass
    // undoes the first. All sums wrap at 256 (uint8_t arithmetic).
    uint8_t state[256];
    for (int v = 0; v < 256; ++v)
        state[v] = uint8_t(v);
    uint8_t a = 0, b = 0;
    std::string out(text.view());
    for (char& ch : out) {
        a = uint8_t(a + 1);
        uint8_t x = state[a];
        b = uint8_t(b + x);
        std::swap(state[a], state[b]);
        uint8_t mask = table[uint8_t(state[a] + x)];
        // A byte equal to its mask stays, so no zero byte is ever written
        // into the text.
        uint8_t c = uint8_t(ch);
        if (c != mask) ch = char(c ^ mask);
    }
    text.assign(out);
}

}  // namespace VORLIN
