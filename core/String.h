// String: the framework's owned 8-bit text (UTF-8 bytes on this platform).
//
// All positions are 0-based byte indexes and a length counts bytes; "not
// found" is -1. Growth is exact: a heap buffer holds the length asked for
// plus one terminator, so code that builds long texts piece by piece
// reserves the final length first. Every change of the text resets the
// token and extract cursors. Copies always duplicate the bytes.
//
// Throws GeneralException only where an operation documents it (copy from a
// null text, releaseBuffer overflow, at() out of range, parseNumber with an
// empty regional decimal separator). Conversions never throw.
// Not thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/CharSeq.h"

namespace VORLIN {

class DateTime;
class String;

// A read-only view of a text argument: a C text (null reads as empty), a
// String, a std::string or a std::string_view.
class TextRef {
public:
    TextRef(const char* s) noexcept : p_(s ? s : ""), n_(s ? std::strlen(s) : 0) {}
    TextRef(const char* s, size_t n) noexcept : p_(s ? s : ""), n_(s ? n : 0) {}
    TextRef(std::string_view s) noexcept : p_(s.data() ? s.data() : ""), n_(s.size()) {}
    TextRef(const std::string& s) noexcept : p_(s.c_str()), n_(s.size()) {}
    inline TextRef(const String& s) noexcept;

    const char* data() const noexcept { return p_; }
    size_t size() const noexcept { return n_; }
    std::string_view view() const noexcept { return {p_, n_}; }

private:
    const char* p_;
    size_t n_;
};

class String : public CharSeq {
public:
    String() noexcept = default;
    String(const char* text);
    String(TextRef text);
    String(const std::string& text) : String(TextRef(text)) {}
    explicit String(char ch);
    String(uint32_t count, char ch);
    // A string with `capacity` zeroed bytes reserved (length 0).
    static String withCapacity(uint32_t capacity);
    String(const String& other);
    String(String&& other) noexcept;
    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;
    String& operator=(TextRef text) { return assign(text); }
    String& operator=(const char* text) { return assign(TextRef(text)); }
    ~String() = default;

    // --- access ---
    const char* c_str() const noexcept { return data(); }
    std::string_view view() const noexcept { return {data(), length()}; }
    std::string toStdString() const { return std::string(data(), length()); }
    operator std::string_view() const noexcept { return view(); }
    bool isEmpty() const noexcept { return length() == 0; }
    // The byte at i; out of range throws "String[]: indice fuera de rango".
    char at(uint32_t i) const;
    char operator[](uint32_t i) const { return at(i); }
    // Writable buffer for callers that fill it directly, then call releaseBuffer.
    char* buffer() noexcept { return data(); }

    // --- storage ---
    // If n >= capacity, replaces the buffer with a zeroed one of n + 1 bytes
    // and drops the content; otherwise nothing.
    String& reserve(uint32_t n);
    // Below the capacity: length n and a terminator at n; otherwise the buffer
    // grows to n + 1 bytes keeping content and length.
    String& resize(uint32_t n);
    // Re-measures the length after a direct write. Throws
    // "String.releaseBuffer: se exedio la capacidad" (after clearing) when the
    // text fills the whole buffer.
    String& releaseBuffer();
    String& clear() noexcept;

    // --- building ---
    String& assign(TextRef text);
    String& append(TextRef text);
    String& append(char ch);
    String& appendInt(int64_t i);
    String& appendUInt(uint32_t u);
    String& appendDouble(double x);  // "%f"
    String& insert(TextRef text, uint32_t pos);
    String& insertChar(char ch, uint32_t pos);
    String& format(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    // decimals 0..6 use "%.<d>f"; any other value "%f".
    String& formatFixed(double x, int decimals);
    // The `count` bytes of `text` from `from`. Throws "String.copy: cadena
    // nula" for a null text; leaves the string as it is when `from` is at the
    // end of the text.
    String& copy(const char* text, uint32_t from, uint32_t count);

    String& operator+=(TextRef text) { return append(text); }
    String& operator+=(char ch) { return append(ch); }

    // --- comparison ---
    // Byte-wise unsigned comparison: -1, 0 or 1. A null text compares equal.
    int compare(const char* text) const;
    int compare(TextRef text) const;
    bool equalsNoCase(TextRef text) const;
    bool operator==(TextRef text) const { return view() == text.view(); }
    bool operator==(const String& other) const { return view() == other.view(); }
    bool operator==(const char* text) const { return view() == TextRef(text).view(); }
    bool operator<(const String& other) const { return view() < other.view(); }

    // --- in-place transformations ---
    String& makeLower();
    String& makeUpper();
    String& reverse();
    String& removeLeft(uint32_t n);
    String& removeRight(uint32_t n);
    String& trim();
    String& padLeft(uint32_t width, char ch);
    String& padRight(uint32_t width, char ch);
    String& keepChars(TextRef set);
    String& removeChars(TextRef set);
    String& toPrintableChars();
    String& escapeChar(char ch, TextRef text);
    String& collapseChar(char ch);
    String& replace(TextRef what, TextRef with, bool firstOnly = false);
    String& adjustSpaces();
    // Converts UTF-8 to 8-bit Latin-1 text; characters beyond Latin-1 vanish.
    String& fromUtf8();

    // --- searching and slicing ---
    int findChar(char ch, char quote = 0) const;
    int findOneOf(TextRef chars, char quote = 0) const;
    int find(TextRef text, bool ignoreCase = false, char quote = 0) const;
    String left(uint32_t n) const;
    String right(uint32_t n) const;
    String mid(uint32_t start, uint32_t count = 0) const;
    String getFileName() const;

    // --- tokens ---
    String token(TextRef delims, bool restart = false, bool emptyTokens = false);
    int tokenCount(TextRef delims) const;
    // The text between the first `open` at or after `from` and its matching
    // `close`; the extract cursor goes just after the close.
    String extract(uint32_t from, char open, char close);
    uint32_t extractPos() const noexcept { return scan_ ? scan_->extractPos : 0; }

    // --- conversions (never throw, except parseNumber as documented) ---
    bool isNumber(bool strictZero) const;
    int toInt() const;
    int64_t toLong() const;
    double toDouble() const;
    bool toBool() const;
    double parseNumber() const;
    DateTime parseDate(bool withTime) const;

private:
    // Grows (exactly) so that a text of `n` bytes fits, keeping the content.
    void ensure(uint32_t n);
    void setText(const char* p, size_t n);
};

inline TextRef::TextRef(const String& s) noexcept : p_(s.c_str()), n_(s.length()) {}

// `text` without its leading and trailing blanks and control bytes (every
// byte up to the space).
std::string_view trimBlanks(std::string_view text) noexcept;

String operator+(const String& a, TextRef b);
String operator+(const char* a, const String& b);

}  // namespace VORLIN
