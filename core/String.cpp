#include "core/String.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "core/DateTime.h"
#include "core/GeneralException.h"
#include "core/RegionalSettings.h"

namespace VORLIN {

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}
char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}

uint32_t clampLen(size_t n) {
    if (n >= CharSeq::kMaxCapacity) throw GeneralException("String: texto demasiado largo");
    return uint32_t(n);
}

}  // namespace

// ---------------------------------------------------------------- construction

String::String(const char* text) {
    setText(text ? text : "", text ? std::strlen(text) : 0);
}

String::String(TextRef text) {
    setText(text.data(), text.size());
}

String::String(char ch) {
    setText(&ch, 1);
}

String::String(uint32_t count, char ch) {
    ensure(count);
    std::memset(data(), ch, count);
    setLength(count);
}

String String::withCapacity(uint32_t capacity) {
    String s;
    if (capacity > kInlineCapacity) s.reallocate(capacity, 0);
    return s;
}

String::String(const String& other) {
    setText(other.data(), other.length());
    if (other.quoteChar()) setQuoteChar(other.quoteChar());
}

String::String(String&& other) noexcept {
    std::memcpy(static_cast<void*>(&heap_), &other.heap_, sizeof heap_);
    scan_ = other.scan_;
    other.clearRep();
}

String& String::operator=(const String& other) {
    if (this != &other) {
        setText(other.data(), other.length());
        if (other.quoteChar() || quoteChar()) setQuoteChar(other.quoteChar());
    }
    return *this;
}

String& String::operator=(String&& other) noexcept {
    if (this != &other) {
        destroy();
        std::memcpy(static_cast<void*>(&heap_), &other.heap_, sizeof heap_);
        scan_ = other.scan_;
        other.clearRep();
    }
    return *this;
}

// Replaces the text with n bytes at p (p may point into this string).
void String::setText(const char* p, size_t n) {
    uint32_t len = clampLen(n);
    if (len < capacity()) {
        // The text fits: keep the buffer, zeroed over its whole capacity.
        char* d = data();
        std::memmove(d, p, len);
        std::memset(d + len, 0, (isHeap() ? capacity() : 15) - len);
        setLength(len);
        resetCursors();
        return;
    }
    // A longer text: a new buffer of exactly len + 1 bytes.
    char* buf = static_cast<char*>(std::malloc(size_t(len) + 1));
    if (!buf) throw std::bad_alloc();
    std::memcpy(buf, p, len);
    buf[len] = 0;
    if (isHeap()) std::free(heap_.ptr);
    heap_.ptr = buf;
    heap_.len = len;
    heap_.capFlags = (len + 1) | kHeapFlag;
    resetCursors();
}

void String::ensure(uint32_t n) {
    if (n >= capacity()) reallocate(clampLen(size_t(n) + 1), length());
}

// --------------------------------------------------------------------- access

char String::at(uint32_t i) const {
    if (i >= length()) throw GeneralException("String[]: indice fuera de rango");
    return data()[i];
}

String& String::reserve(uint32_t n) {
    if (n >= capacity()) {
        reallocate(clampLen(size_t(n) + 1), 0);
        std::memset(data(), 0, capacity() > 15 ? capacity() : 15);
        setLength(0);
    }
    return *this;
}

String& String::resize(uint32_t n) {
    if (n < capacity()) {
        data()[n] = 0;
        setLength(n);
        resetCursors();
    } else {
        reallocate(clampLen(size_t(n) + 1), length());
    }
    return *this;
}

String& String::releaseBuffer() {
    uint32_t cap = capacity();
    uint32_t n = uint32_t(strnlen(data(), cap));
    if (n >= cap) {
        clear();
        throw GeneralException("String.releaseBuffer: se exedio la capacidad");
    }
    setLength(n);
    resetCursors();
    return *this;
}

String& String::clear() noexcept {
    std::memset(data(), 0, isHeap() ? capacity() : 15);
    setLength(0);
    resetCursors();
    return *this;
}

// ------------------------------------------------------------------- building

String& String::assign(TextRef text) {
    setText(text.data(), text.size());
    return *this;
}

String& String::append(TextRef text) {
    if (text.size() == 0) return *this;
    uint32_t old = length();
    uint32_t n = clampLen(old + text.size());
    if (n >= capacity()) {
        // text may point into this string: copy it out before reallocating.
        std::string saved(text.view());
        reallocate(clampLen(size_t(n) + 1), old);
        std::memcpy(data() + old, saved.data(), saved.size());
    } else {
        std::memmove(data() + old, text.data(), text.size());
    }
    data()[n] = 0;
    setLength(n);
    resetCursors();
    return *this;
}

String& String::append(char ch) {
    return append(TextRef(&ch, 1));
}

String& String::appendInt(int64_t i) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, i);
    return append(TextRef(buf, size_t(r.ptr - buf)));
}

String& String::appendUInt(uint32_t u) {
    char buf[12];
    auto r = std::to_chars(buf, buf + sizeof buf, u);
    return append(TextRef(buf, size_t(r.ptr - buf)));
}

namespace {

// Writes x as printf("%f") would, into buf (at least 400 bytes); returns the
// length. Values of moderate size take an integer route that is several
// times faster than the general conversion and gives the same digits.
size_t writeFixed6(char* buf, double x) {
    double mag = x < 0 ? -x : x;
    // Below 2^40 / 10^6 the product x * 10^6 is exact to within 2^-13, so
    // rounding it to an integer gives the correctly rounded six decimals
    // unless its fraction lies very near one half; those few cases (and
    // everything larger, NaN and infinity) take the general path.
    if (mag < 1.0e6) {
        double scaled = mag * 1e6;
        double whole = std::floor(scaled);
        double frac = scaled - whole;
        if (frac < 0.499 || frac > 0.501) {
            uint64_t v = uint64_t(whole) + (frac > 0.5 ? 1 : 0);
            char* p = buf;
            if (std::signbit(x)) *p++ = '-';
            p = std::to_chars(p, buf + 400, v / 1000000).ptr;
            *p++ = '.';
            uint32_t dec = uint32_t(v % 1000000);
            for (int i = 5; i >= 0; --i) {
                p[i] = char('0' + dec % 10);
                dec /= 10;
            }
            return size_t(p + 6 - buf);
        }
    }
    auto r = std::to_chars(buf, buf + 400, x, std::chars_format::fixed, 6);
    if (r.ec != std::errc()) return size_t(std::max(std::snprintf(buf, 400, "%f", x), 0));
    return size_t(r.ptr - buf);
}

}  // namespace

String& String::appendDouble(double x) {
    char buf[400];
    return append(TextRef(buf, writeFixed6(buf, x)));
}

String& String::insert(TextRef text, uint32_t pos) {
    if (pos >= length()) return append(text);
    std::string out;
    out.reserve(length() + text.size());
    out.append(data(), pos).append(text.view()).append(data() + pos, length() - pos);
    return assign(out);
}

String& String::insertChar(char ch, uint32_t pos) {
    return insert(TextRef(&ch, 1), pos);
}

String& String::format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n <= 0) {
        va_end(args);
        clear();
        return *this;
    }
    std::string text(size_t(n), '\0');
    std::vsnprintf(text.data(), text.size() + 1, fmt, args);
    va_end(args);
    return assign(text);
}

String& String::formatFixed(double x, int decimals) {
    if (decimals < 0 || decimals > 6) decimals = 6;
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) return format("%.*f", decimals, x);
    return assign(TextRef(buf, size_t(r.ptr - buf)));
}

String& String::copy(const char* text, uint32_t from, uint32_t count) {
    if (!text) throw GeneralException("String.copy: cadena nula");
    size_t len = std::strlen(text);
    if (from >= len) return *this;
    size_t n = std::min<size_t>(count, len - from);
    return assign(TextRef(text + from, n));
}

// ----------------------------------------------------------------- comparison

int String::compare(const char* text) const {
    if (!text) return 0;
    return compare(TextRef(text));
}

int String::compare(TextRef text) const {
    size_t a = length(), b = text.size();
    int c = std::memcmp(data(), text.data(), std::min(a, b));
    if (c != 0) return c < 0 ? -1 : 1;
    return a < b ? -1 : (a > b ? 1 : 0);
}

bool String::equalsNoCase(TextRef text) const {
    if (text.size() != length()) return false;
    const char* d = data();
    for (size_t i = 0; i < text.size(); ++i)
        if (lowerAscii(d[i]) != lowerAscii(text.data()[i])) return false;
    return true;
}

// ---------------------------------------------------------- transformations

String& String::makeLower() {
    char* d = data();
    for (uint32_t i = 0; i < length(); ++i)
        d[i] = lowerAscii(d[i]);
    resetCursors();
    return *this;
}

String& String::makeUpper() {
    char* d = data();
    for (uint32_t i = 0; i < length(); ++i)
        d[i] = upperAscii(d[i]);
    resetCursors();
    return *this;
}

String& String::reverse() {
    std::reverse(data(), data() + length());
    resetCursors();
    return *this;
}

String& String::removeLeft(uint32_t n) {
    if (n >= length()) return clear();
    std::string rest(data() + n, length() - n);
    return assign(rest);
}

String& String::removeRight(uint32_t n) {
    if (n >= length()) return clear();
    return resize(length() - n);
}

String& String::trim() {
    std::string_view v = view();
    size_t b = v.find_first_not_of(' ');
    if (b == std::string_view::npos) return clear();
    size_t e = v.find_last_not_of(' ');
    if (b == 0 && e + 1 == v.size()) return *this;
    std::string t(v.substr(b, e - b + 1));
    return assign(t);
}

String& String::padLeft(uint32_t width, char ch) {
    if (length() >= width) return *this;
    std::string t(width - length(), ch);
    t.append(view());
    return assign(t);
}

String& String::padRight(uint32_t width, char ch) {
    if (length() >= width) return *this;
    std::string t(view());
    t.append(width - length(), ch);
    return assign(t);
}

String& String::keepChars(TextRef set) {
    std::string t;
    t.reserve(length());
    for (char c : view())
        if (set.view().find(c) != std::string_view::npos) t.push_back(c);
    return assign(t);
}

String& String::removeChars(TextRef set) {
    std::string t;
    t.reserve(length());
    for (char c : view())
        if (set.view().find(c) == std::string_view::npos) t.push_back(c);
    return assign(t);
}

String& String::toPrintableChars() {
    std::string t;
    t.reserve(length());
    for (char c : view())
        if (uint8_t(c) >= 32) t.push_back(c);
    return assign(t);
}

String& String::escapeChar(char ch, TextRef text) {
    if (findChar(ch) < 0) return *this;
    std::string t;
    t.reserve(length() + 8);
    for (char c : view()) {
        if (c == ch) t.append(text.view());
        t.push_back(c);
    }
    return assign(t);
}

String& String::collapseChar(char ch) {
    std::string t;
    t.reserve(length());
    std::string_view v = view();
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == ch) {
            // A doubled character becomes one; a single one is removed.
            if (i + 1 < v.size() && v[i + 1] == ch) {
                t.push_back(ch);
                ++i;
            }
            continue;
        }
        t.push_back(v[i]);
    }
    return assign(t);
}

String& String::replace(TextRef what, TextRef with, bool firstOnly) {
    if (what.size() == 0) return *this;
    std::string cur(view());
    std::string_view w = what.view(), r = with.view();
    // When the replacement contains the searched text, searching from the
    // start again would never end: continue after the inserted text instead.
    bool continueAfter = r.find(w) != std::string_view::npos;
    size_t from = 0;
    bool changed = false;
    for (;;) {
        size_t at = cur.find(w, continueAfter ? from : 0);
        if (at == std::string::npos) break;
        cur.replace(at, w.size(), r);
        changed = true;
        from = at + r.size();
        if (firstOnly) break;
    }
    if (changed) assign(cur);
    return *this;
}

String& String::adjustSpaces() {
    std::string t;
    t.reserve(length());
    bool pendingSpace = false;
    for (char c : view()) {
        if (c == ' ') {
            pendingSpace = !t.empty();
            continue;
        }
        if (pendingSpace) t.push_back(' ');
        pendingSpace = false;
        t.push_back(c);
    }
    return assign(t);
}

String& String::fromUtf8() {
    std::string t;
    t.reserve(length());
    std::string_view v = view();
    for (size_t i = 0; i < v.size(); ++i) {
        uint8_t c = uint8_t(v[i]);
        if (c < 128) {
            t.push_back(char(c));
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < v.size()) {
            uint8_t n = uint8_t(v[++i]);
            t.push_back(char(c == 0xC2 ? n : uint8_t(n + 64)));
        }
        // every other byte of 128 or more is dropped
    }
    return assign(t);
}

// ---------------------------------------------------------------- searching

int String::findChar(char ch, char quote) const {
    bool quoted = false;
    const char* d = data();
    for (uint32_t i = 0; i < length(); ++i) {
        if (quote && d[i] == quote) quoted = !quoted;
        if (!quoted && d[i] == ch) return int(i);
    }
    return -1;
}

int String::findOneOf(TextRef chars, char quote) const {
    bool quoted = false;
    const char* d = data();
    for (uint32_t i = 0; i < length(); ++i) {
        if (quote && d[i] == quote) quoted = !quoted;
        if (!quoted && chars.view().find(d[i]) != std::string_view::npos) return int(i);
    }
    return -1;
}

int String::find(TextRef text, bool ignoreCase, char quote) const {
    std::string_view hay = view(), needle = text.view();
    std::string lh, ln;
    if (ignoreCase) {
        lh.assign(hay);
        ln.assign(needle);
        for (char& c : lh)
            c = lowerAscii(c);
        for (char& c : ln)
            c = lowerAscii(c);
        hay = lh;
        needle = ln;
    }
    if (needle.empty()) return -1;
    if (!quote) {
        size_t at = hay.find(needle);
        return at == std::string_view::npos ? -1 : int(at);
    }
    bool quoted = false;
    for (size_t i = 0; i < hay.size(); ++i) {
        if (hay[i] == quote) quoted = !quoted;
        if (!quoted && hay.compare(i, needle.size(), needle) == 0) return int(i);
    }
    return -1;
}

String String::left(uint32_t n) const {
    if (n >= length()) return *this;
    return String(TextRef(data(), n));
}

String String::right(uint32_t n) const {
    if (n >= length()) return *this;
    return String(TextRef(data() + length() - n, n));
}

String String::mid(uint32_t start, uint32_t count) const {
    if (start >= length()) return String();
    uint32_t rest = length() - start;
    if (count == 0 || count > rest) count = rest;
    return String(TextRef(data() + start, count));
}

String String::getFileName() const {
    std::string_view v = view();
    size_t at = v.find_last_of("\\/");
    if (at == std::string_view::npos) return *this;
    return String(v.substr(at + 1));
}

// ------------------------------------------------------------------- tokens

String String::token(TextRef delims, bool restart, bool emptyTokens) {
    ScanState& st = scan();
    if (restart || st.tokenPos == 0) st.tokenPos = 1;
    uint32_t pos = st.tokenPos - 1;
    if (pos > length()) return String();
    if (delims.size() == 0) return String(TextRef(data() + pos, length() - pos));

    std::string tok;
    bool quoted = false;
    const char* d = data();
    char q = st.quote;
    uint32_t n = length();
    while (pos < n) {
        char c = d[pos];
        if (q && c == q) {
            quoted = !quoted;
            tok.push_back(c);
            ++pos;
            continue;
        }
        if (!quoted && delims.view().find(c) != std::string_view::npos) {
            ++pos;
            if (!tok.empty() || emptyTokens) break;
            continue;  // leading and repeated delimiters vanish
        }
        tok.push_back(c);
        ++pos;
    }
    // The scan also ends at the terminator; the cursor then rests there and
    // every later call answers "".
    st.tokenPos = pos + 1;
    return String(tok);
}

int String::tokenCount(TextRef delims) const {
    String copy(*this);
    int count = 0;
    bool restart = true;
    for (;;) {
        String t = copy.token(delims, restart, false);
        restart = false;
        if (t.isEmpty()) break;
        ++count;
    }
    return count;
}

String String::extract(uint32_t from, char open, char close) {
    // A failed extract leaves no cursor, so extractPos() tells whether it matched.
    if (scan_) scan_->extractPos = 0;
    std::string_view v = view();
    size_t start = v.find(open, from);
    if (start == std::string_view::npos) return String();
    int depth = 0;
    for (size_t i = start; i < v.size(); ++i) {
        if (v[i] == open && (open != close || i == start)) {
            ++depth;
        } else if (v[i] == close) {
            if (--depth == 0) {
                scan().extractPos = uint32_t(i + 1);
                return String(v.substr(start + 1, i - start - 1));
            }
        }
    }
    return String();
}

// -------------------------------------------------------------- conversions

bool String::isNumber(bool strictZero) const {
    std::string_view v = view();
    if (v.empty()) return false;
    if (v[0] == 'E' || v[0] == 'e') return false;
    if (strictZero && v[0] == '0' && v.size() > 1 && v[1] != '.') return false;
    bool digit = false;
    for (char c : v) {
        if (std::string_view("0123456789.-eE ").find(c) == std::string_view::npos) return false;
        if (c >= '0' && c <= '9') digit = true;
    }
    // A minus may stand only at an end: splitting on "-" must give fewer than
    // two non-empty pieces.
    int pieces = 0;
    size_t start = 0;
    for (;;) {
        size_t at = v.find('-', start);
        size_t end = at == std::string_view::npos ? v.size() : at;
        if (end > start) ++pieces;
        if (at == std::string_view::npos) break;
        start = at + 1;
    }
    return pieces < 2 && digit;
}

// atoi and atol leave overflow undefined; strtoll saturates, and the cut to
// 32 bits keeps the low bits as the conversions of the platform do.
int String::toInt() const {
    return int32_t(uint32_t(uint64_t(std::strtoll(data(), nullptr, 10))));
}

int64_t String::toLong() const {
    return std::strtoll(data(), nullptr, 10);
}

double String::toDouble() const {
    return std::atof(data());
}

bool String::toBool() const {
    return view() == "T" || view() == "t" || view() == "1";
}

double String::parseNumber() const {
    if (isEmpty()) return 0;
    const RegionalSettings& rs = RegionalSettings::current();
    if (rs.decimalSeparator.isEmpty()) throw GeneralException("String[]: indice fuera de rango");
    char dec = rs.decimalSeparator[0];
    char buf[64];
    size_t n = 0;
    std::string big;
    for (char c : view()) {
        char out;
        if ((c >= '0' && c <= '9') || c == '-')
            out = c;
        else if (c == dec)
            out = '.';
        else
            continue;
        if (n + 1 < sizeof buf)
            buf[n++] = out;
        else
            big.push_back(out);
    }
    double value;
    if (big.empty()) {
        buf[n] = 0;
        value = std::atof(buf);
    } else {
        big.insert(0, buf, n);
        value = std::atof(big.c_str());
    }
    if (!rs.noRounding) {
        double scale = 1;
        for (int i = 0; i < rs.currencyDecimals; ++i)
            scale *= 10;
        value = double(int64_t(value * scale + 0.5)) / scale;
    }
    return value;
}

DateTime String::parseDate(bool withTime) const {
    DateTime dt;
    String text(*this);
    dt.year = uint16_t(text.token("-", true).toInt());
    dt.month = uint16_t(text.token("-").toInt());
    dt.day = uint16_t(text.token(" TZDtzd").toInt());
    if (withTime) {
        dt.hour = uint16_t(text.token(":.").toInt());
        dt.minute = uint16_t(text.token(":.").toInt());
        dt.second = uint16_t(text.token(" :.TZDtzd").toInt());
    }
    return dt;
}

// ------------------------------------------------------------ free functions

std::string_view trimBlanks(std::string_view t) noexcept {
    size_t a = 0;
    while (a < t.size() && static_cast<unsigned char>(t[a]) <= ' ')
        ++a;
    size_t b = t.size();
    while (b > a && static_cast<unsigned char>(t[b - 1]) <= ' ')
        --b;
    return t.substr(a, b - a);
}

String operator+(const String& a, TextRef b) {
    String s = String::withCapacity(uint32_t(a.length() + b.size() + 1));
    s.append(a).append(b);
    return s;
}

String operator+(const char* a, const String& b) {
    TextRef ta(a);
    String s = String::withCapacity(uint32_t(ta.size() + b.length() + 1));
    s.append(ta).append(b);
    return s;
}

}  // namespace VORLIN
