#include "core/String.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core/DateTime.h"
#include "core/GeneralException.h"
#include "core/RegionalSettings.h"

using VORLIN::DateTime;
using VORLIN::GeneralException;
using VORLIN::RegionalSettings;
using VORLIN::String;

TEST(StringStorage, EmptyAndShortTextsAllocateNothing) {
    String empty;
    EXPECT_TRUE(empty.isInline());
    EXPECT_STREQ(empty.c_str(), "");
    String shortText("fourteen bytes");
    EXPECT_TRUE(shortText.isInline());
    EXPECT_EQ(shortText.length(), 14u);
    String longer("fifteen bytes!!");
    EXPECT_FALSE(longer.isInline());
    EXPECT_EQ(longer.capacity(), 16u);  // exact growth: length + terminator
    EXPECT_EQ(sizeof(String), 24u);
}

TEST(StringStorage, GrowthIsExactAndKeepsContent) {
    String s("abcdefghijklm");
    s.append("nopqrstuvwxyz");
    EXPECT_EQ(s, "abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(s.capacity(), 27u);
    s.append(s);  // appending itself across a reallocation
    EXPECT_EQ(s.length(), 52u);
    EXPECT_EQ(s.right(26), "abcdefghijklmnopqrstuvwxyz");
    String copy(s);
    copy.append('!');
    EXPECT_EQ(s.length(), 52u);  // copies never share bytes
    String moved(std::move(copy));
    EXPECT_EQ(moved.length(), 53u);
}

TEST(StringStorage, ReserveDropsContentResizeKeepsIt) {
    String s("hello");
    s.reserve(40);
    EXPECT_EQ(s.length(), 0u);
    EXPECT_EQ(s.capacity(), 41u);
    s.assign("abc");
    s.reserve(10);  // below capacity: nothing happens
    EXPECT_EQ(s, "abc");
    s.resize(1);
    EXPECT_EQ(s, "a");
    s.resize(100);
    EXPECT_EQ(s, "a");
    EXPECT_EQ(s.capacity(), 101u);
}

TEST(StringStorage, ReleaseBufferMeasuresOrThrowsWhenFull) {
    String s = String::withCapacity(20);
    std::strcpy(s.buffer(), "written");
    s.releaseBuffer();
    EXPECT_EQ(s.length(), 7u);
    std::memset(s.buffer(), 'x', s.capacity());
    try {
        s.releaseBuffer();
        FAIL();
    } catch (const GeneralException& e) {
        EXPECT_STREQ(e.what(), "String.releaseBuffer: se exedio la capacidad");
    }
    EXPECT_EQ(s.length(), 0u);
}

TEST(StringAccess, AtAndCopyFailures) {
    String s("abc");
    EXPECT_EQ(s.at(2), 'c');
    EXPECT_THROW(s.at(3), GeneralException);
    try {
        s.at(uint32_t(-1));
    } catch (const GeneralException& e) {
        EXPECT_STREQ(e.what(), "String[]: indice fuera de rango");
    }
    try {
        s.copy(nullptr, 0, 1);
        FAIL();
    } catch (const GeneralException& e) {
        EXPECT_STREQ(e.what(), "String.copy: cadena nula");
    }
    s.copy("xyz", 3, 2);  // the byte at 3 is the terminator: unchanged
    EXPECT_EQ(s, "abc");
    s.copy("xyz", 1, 5);
    EXPECT_EQ(s, "yz");
}

TEST(StringSlices, LeftRightMid) {
    String abc("abc");
    EXPECT_EQ(abc.left(0), "");
    EXPECT_EQ(abc.left(2), "ab");
    EXPECT_EQ(abc.left(9), "abc");
    EXPECT_EQ(abc.right(0), "");
    EXPECT_EQ(abc.right(1), "c");
    EXPECT_EQ(abc.mid(5, 0), "");
    EXPECT_EQ(abc.mid(1, 0), "bc");
    EXPECT_EQ(abc.mid(1, 1), "b");
    EXPECT_EQ(abc.mid(1, 9), "bc");
    EXPECT_EQ(String("C:\\dir/sub\\file.db").getFileName(), "file.db");
    EXPECT_EQ(String("plain").getFileName(), "plain");
}

TEST(StringTransform, TrimPadAndSpaces) {
    String spaces("    ");
    EXPECT_EQ(String(spaces).trim(), "");
    EXPECT_EQ(String(spaces).adjustSpaces(), "");
    EXPECT_EQ(String("  a  b   c ").adjustSpaces(), "a b c");
    EXPECT_EQ(String(" \ta ").trim(), "\ta");  // only spaces are trimmed
    EXPECT_EQ(String("-5").padLeft(4, '0'), "00-5");
    EXPECT_EQ(String("ab").padRight(4, '.'), "ab..");
    EXPECT_EQ(String("abcdef").padLeft(3, '0'), "abcdef");
    EXPECT_EQ(String("AbC").makeLower(), "abc");
    EXPECT_EQ(String("AbC").makeUpper(), "ABC");
    EXPECT_EQ(String("abc").reverse(), "cba");
    EXPECT_EQ(String("abcdef").removeLeft(2), "cdef");
    EXPECT_EQ(String("abcdef").removeRight(2), "abcd");
    EXPECT_EQ(String("abc").removeRight(9), "");
}

TEST(StringTransform, CharacterFilters) {
    EXPECT_EQ(String("a1b2c3").keepChars("0123456789"), "123");
    EXPECT_EQ(String("a1b2c3").removeChars("abc"), "123");
    EXPECT_EQ(String("a\tb\x01"
                     "c\xE9")
                  .toPrintableChars(),
              "abc\xE9");
    EXPECT_EQ(String("O'Brien's").escapeChar('\'', "'"), "O''Brien''s");
    EXPECT_EQ(String("a''b'c").collapseChar('\''), "a'bc");
}

TEST(StringTransform, ReplaceEndsAndDoublesWhenReplacementContainsTarget) {
    EXPECT_EQ(String("aaa").replace("a", "aa"), "aaaaaa");
    EXPECT_EQ(String("a-b-c").replace("-", "+"), "a+b+c");
    EXPECT_EQ(String("a-b-c").replace("-", "+", true), "a+b-c");
    EXPECT_EQ(String("xxxx").replace("xx", "x"), "x");  // searches again from the start
    EXPECT_EQ(String("abc").replace("", "z"), "abc");
}

TEST(StringTransform, FromUtf8KeepsLatin1AndDropsTheRest) {
    // "é" (C3 A9) becomes E9, "¿" (C2 BF) stays BF, the euro sign vanishes.
    String s("caf\xC3\xA9 \xC2\xBF \xE2\x82\xAC!");
    s.fromUtf8();
    EXPECT_EQ(s, "caf\xE9 \xBF !");
}

TEST(StringSearch, FindsHonourQuotesAndCase) {
    String s("a,'b,c',d");
    EXPECT_EQ(s.findChar(','), 1);
    EXPECT_EQ(s.findChar(',', '\''), 1);
    EXPECT_EQ(String("'b,c',d").findChar(',', '\''), 5);
    EXPECT_EQ(String("'x;y' z;").findOneOf(";z", '\''), 6);
    EXPECT_EQ(String("Select FROM").find("from"), -1);
    EXPECT_EQ(String("Select FROM").find("from", true), 7);
    EXPECT_EQ(String("'from' from").find("from", false, '\''), 7);
    EXPECT_EQ(String("abc").findChar('z'), -1);
}

TEST(StringCompare, ByteWiseUnsignedAndNullEqual) {
    EXPECT_EQ(String("abc").compare("abd"), -1);
    EXPECT_EQ(String("abc").compare("ab"), 1);
    EXPECT_EQ(String("ab").compare("abc"), -1);
    EXPECT_EQ(String("\xE9").compare("z"), 1);  // bytes compare unsigned
    EXPECT_EQ(String("anything").compare(static_cast<const char*>(nullptr)), 0);
    EXPECT_TRUE(String("SeLeCt").equalsNoCase("select"));
    EXPECT_FALSE(String("select").equalsNoCase("selec"));
}

TEST(StringTokens, SkipsOrKeepsEmptyTokens) {
    String s(";a;;b;");
    EXPECT_EQ(s.token(";", true), "a");
    EXPECT_EQ(s.token(";"), "b");
    EXPECT_EQ(s.token(";"), "");
    EXPECT_EQ(s.token(";"), "");

    String t("a,,b");
    EXPECT_EQ(t.token(",", true), "a");
    EXPECT_EQ(t.token(","), "b");
    EXPECT_EQ(t.token(",", true, true), "a");
    EXPECT_EQ(t.token(",", false, true), "");
    EXPECT_EQ(t.token(",", false, true), "b");
    EXPECT_EQ(t.tokenCount(","), 2);
}

TEST(StringTokens, QuotesKeepDelimitersAndEmptyDelimsReturnTheRest) {
    String s("x,\"a,b\",y");
    s.setQuoteChar('"');
    EXPECT_EQ(s.token(",", true), "x");
    EXPECT_EQ(s.token(","), "\"a,b\"");
    EXPECT_EQ(s.token(","), "y");

    String r("one two three");
    EXPECT_EQ(r.token(" ", true), "one");
    EXPECT_EQ(r.token(""), "two three");
    EXPECT_EQ(r.token(""), "two three");  // the cursor did not move
    r.append("!");                        // a change resets the cursor
    EXPECT_EQ(r.token(" "), "one");
}

TEST(StringTokens, ExtractCountsNesting) {
    String s("f(a(b)c) tail(x)");
    EXPECT_EQ(s.extract(0, '(', ')'), "a(b)c");
    EXPECT_EQ(s.extractPos(), 8u);
    EXPECT_EQ(s.extract(s.extractPos(), '(', ')'), "x");
    EXPECT_EQ(String("no match").extract(0, '(', ')'), "");
    EXPECT_EQ(String("open (only").extract(0, '(', ')'), "");
}

TEST(StringConvert, NumbersAndBooleans) {
    EXPECT_TRUE(String("12.5").isNumber(false));
    EXPECT_TRUE(String("-3").isNumber(true));
    EXPECT_TRUE(String("1e5").isNumber(false));
    EXPECT_FALSE(String("e5").isNumber(false));
    EXPECT_FALSE(String("").isNumber(false));
    EXPECT_FALSE(String("007").isNumber(true));
    EXPECT_TRUE(String("007").isNumber(false));
    EXPECT_TRUE(String("0.5").isNumber(true));
    EXPECT_FALSE(String("1-2").isNumber(false));
    EXPECT_FALSE(String("--").isNumber(false));
    EXPECT_FALSE(String("12a").isNumber(false));
    EXPECT_EQ(String("42abc").toInt(), 42);
    EXPECT_EQ(String("abc").toInt(), 0);
    EXPECT_DOUBLE_EQ(String("2.5x").toDouble(), 2.5);
    EXPECT_TRUE(String("T").toBool());
    EXPECT_TRUE(String("1").toBool());
    EXPECT_FALSE(String("true").toBool());
}

TEST(StringConvert, ParseNumberDropsSymbolsAndHonoursRegionalSettings) {
    EXPECT_DOUBLE_EQ(String("$1,234.50").parseNumber(), 1234.5);
    EXPECT_DOUBLE_EQ(String("-$0.50").parseNumber(), -0.5);
    EXPECT_DOUBLE_EQ(String("").parseNumber(), 0.0);
    EXPECT_DOUBLE_EQ(String("abc").parseNumber(), 0.0);

    RegionalSettings comma;
    comma.decimalSeparator = ",";
    comma.thousandsSeparator = ".";
    comma.noRounding = 0;
    RegionalSettings::install(&comma);
    EXPECT_DOUBLE_EQ(String("1.234,567").parseNumber(), 1234.57);
    RegionalSettings empty;
    empty.decimalSeparator = "";
    RegionalSettings::install(&empty);
    EXPECT_THROW(String("1").parseNumber(), GeneralException);
    RegionalSettings::install(nullptr);
    EXPECT_DOUBLE_EQ(String("1.5").parseNumber(), 1.5);
}

TEST(StringConvert, ParseDateReadsBothForms) {
    DateTime a = String("2009-05-01 10:20:30").parseDate(true);
    EXPECT_EQ(a.year, 2009);
    EXPECT_EQ(a.month, 5);
    EXPECT_EQ(a.day, 1);
    EXPECT_EQ(a.hour, 10);
    EXPECT_EQ(a.minute, 20);
    EXPECT_EQ(a.second, 30);
    DateTime b = String("2009-05-01T10:20:30Z").parseDate(true);
    EXPECT_EQ(b.day, 1);
    EXPECT_EQ(b.hour, 10);
    EXPECT_EQ(b.second, 30);
    DateTime c = String("2009-05-01 10:20:30").parseDate(false);
    EXPECT_EQ(c.hour, 0);
    DateTime d = String("not a date").parseDate(true);
    EXPECT_TRUE(d.isEmpty());
}

TEST(StringBuild, FormattingAndConcatenation) {
    String s;
    s.format("%s-%03d", "x", 7);
    EXPECT_EQ(s, "x-007");
    EXPECT_EQ(String().formatFixed(2.345, 2), "2.35");
    EXPECT_EQ(String().formatFixed(2.5, 9), "2.500000");
    EXPECT_EQ(String().appendDouble(1.5), "1.500000");
    EXPECT_EQ(String().appendDouble(-1e20), "-100000000000000000000.000000");
    EXPECT_EQ(String().appendInt(-12), "-12");
    EXPECT_EQ(String().appendUInt(4294967295u), "4294967295");
    EXPECT_EQ(String("ab").insert("XY", 1), "aXYb");
    EXPECT_EQ(String("ab").insert("XY", 7), "abXY");
    EXPECT_EQ(String("ab").insertChar('-', 0), "-ab");
    EXPECT_EQ(String("ab") + "cd", "abcd");
    EXPECT_EQ("ab" + String("cd"), "abcd");
    EXPECT_EQ(String("ab") + String("cd"), "abcd");
}

TEST(StringBuild, AppendDoubleWritesExactlyWhatPrintfWrites) {
    // The fast route must agree with "%f" digit for digit, halfway cases included.
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const double scales[] = {1e-7, 1e-3, 1, 1e3, 1e5, 999999.0, 1e6, 1e9, 1e15};
    std::vector<double> values = {0.0,       -0.0,           0.5e-6, 1.5e-6, 2.5e-6,
                                  0.1234565, 999999.9999995, 1e-300, -1e-9,  123456.5e-6};
    for (double s : scales)
        for (int i = 0; i < 2000; ++i)
            values.push_back(unit(rng) * s);
    for (double v : values) {
        char ref[512];
        std::snprintf(ref, sizeof ref, "%f", v);
        ASSERT_EQ(String().appendDouble(v), ref) << v;
    }
}
