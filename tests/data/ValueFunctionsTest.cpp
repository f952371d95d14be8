// The functions scripts call on values: results versus in-place changes,
// argument reading, and the texts of undefined functions.
#include "data/ValueFunctions.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "core/GeneralException.h"
#include "data/DataRow.h"

using VORLIN::Currency;
using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::DateTime;
using VORLIN::GeneralException;
using VORLIN::String;
using VORLIN::ValueFunctions;

namespace {

DataItem call(DataItem& self, const char* name, std::initializer_list<DataItem> args = {}) {
    DataRow row(int(args.size()));
    int i = 0;
    for (const DataItem& a : args)
        row.set(i++, a);
    return ValueFunctions::execute(self, name, &row);
}

DataItem str(const char* s) {
    return DataItem(s);
}
DataItem num(int32_t i) {
    return DataItem(i);
}
DataItem boolean(bool b) {
    DataItem d;
    d.setBool(b);
    return d;
}
DataItem money(double x) {
    return DataItem(Currency(x));
}
DataItem date(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
    return DataItem(DateTime(y, m, d, hh, mm, ss));
}

// The message of the exception `name` throws on `self`, "" when none.
std::string failure(DataItem& self, const char* name) {
    try {
        call(self, name);
    } catch (const GeneralException& e) {
        return e.what();
    }
    return "";
}

// A string function with a string result: `self` must stay as it was.
std::string stringResult(const char* text, const char* name, std::initializer_list<DataItem> args) {
    DataItem self(text);
    DataItem r = call(self, name, args);
    EXPECT_EQ(self.text(), text) << name << " changed its value";
    EXPECT_EQ(r.type(), DataItem::TString) << name;
    return r.text().toStdString();
}

// An in-place string function: the result is null, `self` takes the change.
std::string inPlace(const char* text, const char* name, std::initializer_list<DataItem> args = {}) {
    DataItem self(text);
    DataItem r = call(self, name, args);
    EXPECT_TRUE(r.isNull()) << name << " returned a value";
    EXPECT_EQ(self.type(), DataItem::TString) << name;
    return self.text().toStdString();
}

}  // namespace

// ------------------------------------------------------------------ strings

TEST(ValueFunctionsString, SlicesReturnNewStrings) {
    EXPECT_EQ(stringResult("Quelmir", "left", {num(3)}), "Que");
    EXPECT_EQ(stringResult("Quelmir", "left", {num(100)}), "Quelmir");
    EXPECT_EQ(stringResult("Quelmir", "left", {num(-1)}), "");
    EXPECT_EQ(stringResult("Quelmir", "right", {num(3)}), "mir");
    EXPECT_EQ(stringResult("Quelmir", "mid", {num(1), num(3)}), "uel");
    // A count of 0 (or none) runs to the end.
    EXPECT_EQ(stringResult("Quelmir", "mid", {num(2)}), "elmir");
    EXPECT_EQ(stringResult("Quelmir", "getAt", {num(1)}), "u");
    EXPECT_EQ(stringResult("Quelmir", "getAt", {num(99)}), "");
    EXPECT_EQ(stringResult("C:\\datos\\ventas.csv", "getFileName", {}), "ventas.csv");
    // Numeric arguments may arrive as text.
    EXPECT_EQ(stringResult("Quelmir", "left", {str("2")}), "Qu");
}

TEST(ValueFunctionsString, LengthIsAnUnsignedInteger) {
    DataItem self("Quelmir");
    DataItem r = call(self, "len");
    EXPECT_EQ(r.type(), DataItem::TUInt);
    EXPECT_EQ(r.toUInt(), 7u);
}

TEST(ValueFunctionsString, InPlaceFunctionsChangeTheValue) {
    EXPECT_EQ(inPlace("Quelmir", "trimLeft", {num(2)}), "elmir");
    EXPECT_EQ(inPlace("Quelmir", "trimRight", {num(3)}), "Quel");
    EXPECT_EQ(inPlace("Quelmir", "trimRight", {num(30)}), "");
    EXPECT_EQ(inPlace("  a   b  ", "adjustSpaces"), "a b");
    EXPECT_EQ(inPlace("a1-b2", "validChars", {str("0123456789")}), "12");
    EXPECT_EQ(inPlace("a1-b2", "invalidChars", {str("-")}), "a1b2");
    EXPECT_EQ(inPlace("a\tb\r\nc", "toPrintableChars"), "abc");
    EXPECT_EQ(inPlace("Hola", "makeUpper"), "HOLA");
    EXPECT_EQ(inPlace("Hola", "makeLower"), "hola");
    EXPECT_EQ(inPlace("Hola", "reverse"), "aloH");
    EXPECT_EQ(inPlace("Hola $n, $n", "replaceVar", {str("$n"), str("Ana")}), "Hola Ana, Ana");
}

TEST(ValueFunctionsString, InPlaceKeepsTheAuxiliaryFields) {
    DataItem self("Quelmir");
    self.setAuxText("columna");
    self.setAuxNumber(5);
    call(self, "trimLeft", {num(1)});
    EXPECT_EQ(self.text(), "uelmir");
    EXPECT_EQ(self.auxText(), "columna");
    EXPECT_EQ(self.auxNumber(), 5);
}

TEST(ValueFunctionsString, TokenizeCountsFromEitherEnd) {
    EXPECT_EQ(stringResult("a,b,c", "tokenize", {str(","), num(1)}), "b");
    EXPECT_EQ(stringResult("a,b,c", "tokenize", {str(","), num(0), boolean(true)}), "c");
    EXPECT_EQ(stringResult("a,b,c", "tokenize", {str(","), num(1), boolean(true)}), "b");
    EXPECT_EQ(stringResult("a,b,c", "tokenize", {str(","), num(0), boolean(false)}), "a");
    // Tokens read from the right come back in their own order.
    EXPECT_EQ(stringResult("ab,cd", "tokenize", {str(","), num(0), boolean(true)}), "cd");
    // Empty tokens are skipped; any delimiter of the set splits.
    EXPECT_EQ(stringResult("a,,b", "tokenize", {str(","), num(1)}), "b");
    EXPECT_EQ(stringResult("uno dos;tres", "tokenize", {str(" ;"), num(2)}), "tres");
    EXPECT_EQ(stringResult("a,b,c", "tokenize", {str(","), num(3)}), "");
    EXPECT_EQ(stringResult("a,b,c", "tokenize", {str(","), num(-1)}), "");
}

TEST(ValueFunctionsString, TokenCountSkipsEmptyTokens) {
    DataItem self(",a,,b,");
    DataItem r = call(self, "tokenCount", {str(",")});
    EXPECT_EQ(r.type(), DataItem::TInt);
    EXPECT_EQ(r.toInt(), 2);
}

TEST(ValueFunctionsString, FindLooksForTheFirstCharacterOnly) {
    DataItem self("hola");
    EXPECT_EQ(call(self, "find", {str("lo")}).toInt(), 2);
    EXPECT_EQ(call(self, "find", {str("ax")}).toInt(), 3);
    EXPECT_EQ(call(self, "find", {str("x")}).toInt(), -1);
    EXPECT_EQ(call(self, "find", {str("")}).toInt(), -1);
    EXPECT_EQ(call(self, "find").toInt(), -1);
    EXPECT_EQ(call(self, "find", {str("h")}).type(), DataItem::TInt);
}

TEST(ValueFunctionsString, Conversions) {
    DataItem self("42abc");
    DataItem r = call(self, "int");
    EXPECT_EQ(r.type(), DataItem::TInt);
    EXPECT_EQ(r.toInt(), 42);

    DataItem amount("$1,234.50");
    r = call(amount, "double");
    EXPECT_EQ(r.type(), DataItem::TDouble);
    EXPECT_DOUBLE_EQ(r.toDouble(), 1234.5);
    r = call(amount, "currency");
    EXPECT_EQ(r.type(), DataItem::TCurrency);
    EXPECT_EQ(r.text(), "$1,234.50");
    EXPECT_EQ(amount.type(), DataItem::TString);
}

TEST(ValueFunctionsString, InListIsExactAndCaseSensitive) {
    DataItem list("a,b,c");
    EXPECT_TRUE(call(list, "inList", {str("b")}).toBool());
    EXPECT_TRUE(call(list, "inList", {str("a")}).toBool());
    EXPECT_TRUE(call(list, "inList", {str("c")}).toBool());
    EXPECT_FALSE(call(list, "inList", {str("B")}).toBool());
    EXPECT_FALSE(call(list, "inList", {str("a,b")}).toBool());
    EXPECT_FALSE(call(list, "inList", {str("")}).toBool());
    EXPECT_EQ(call(list, "inList", {str("b")}).type(), DataItem::TBool);
    // No trimming: " b" is the item, not "b".
    DataItem spaced("a, b, c");
    EXPECT_FALSE(call(spaced, "inList", {str("b")}).toBool());
    EXPECT_TRUE(call(spaced, "inList", {str(" b")}).toBool());
    // The value's text is what counts.
    DataItem numbers("1,2,3");
    EXPECT_TRUE(call(numbers, "inList", {num(2)}).toBool());
}

TEST(ValueFunctionsString, EncodeTwiceRestoresTheText) {
    DataItem self("Hola mundo");
    EXPECT_TRUE(call(self, "encode", {str("clave")}).isNull());
    EXPECT_EQ(self.text(), "Hjoy8ke`j\x82");
    call(self, "encode", {str("clave")});
    EXPECT_EQ(self.text(), "Hola mundo");

    DataItem one("abc");
    call(one, "encode", {str("x")});
    EXPECT_EQ(one.text(), "cgd");

    // An empty key (or none) leaves the text as it is.
    DataItem same("Hola");
    call(same, "encode", {str("")});
    EXPECT_EQ(same.text(), "Hola");
    call(same, "encode");
    EXPECT_EQ(same.text(), "Hola");
}

TEST(ValueFunctionsString, EncodeNeverWritesAZeroByte) {
    // Every byte value from 1 to 255, so that some of them meet their mask.
    std::string all;
    for (int c = 1; c < 256; ++c)
        all.push_back(char(c));
    for (const char* key : {"k", "clave", "una clave bastante larga para dar la vuelta"}) {
        DataItem self{String(all)};
        call(self, "encode", {str(key)});
        EXPECT_EQ(self.text().length(), 255u) << key;
        EXPECT_EQ(self.text().view().find('\0'), std::string_view::npos) << key;
        EXPECT_NE(self.text().view(), all) << key;
        call(self, "encode", {str(key)});
        EXPECT_EQ(self.text().view(), all) << key;
    }
    // Another key does not undo it.
    DataItem self("secreto");
    call(self, "encode", {str("uno")});
    call(self, "encode", {str("dos")});
    EXPECT_NE(self.text(), "secreto");
}

// ------------------------------------------------------------------ numbers

TEST(ValueFunctionsNumber, RoundKeepsOnlyTheDecimalsNeeded) {
    DataItem pi(3.14159);
    EXPECT_EQ(call(pi, "round", {num(2)}).text(), "3.14");
    EXPECT_EQ(call(pi, "round", {num(0)}).text(), "3");
    EXPECT_EQ(call(pi, "round", {num(-1)}).text(), "3");
    EXPECT_EQ(pi.toDouble(), 3.14159);
    DataItem half(1.5);
    EXPECT_EQ(call(half, "round", {num(4)}).text(), "1.5");
    EXPECT_EQ(call(half, "round", {num(4)}).type(), DataItem::TString);
    // Binary noise does not count as decimals.
    DataItem noisy(0.29);
    EXPECT_EQ(call(noisy, "round", {num(6)}).text(), "0.29");
    // At most eight.
    DataItem third(1.0 / 3.0);
    EXPECT_EQ(call(third, "round", {num(12)}).text(), "0.33333333");
    DataItem seven(int32_t(7));
    EXPECT_EQ(call(seven, "round", {num(2)}).text(), "7");
    DataItem cash = money(1234.5);
    EXPECT_EQ(call(cash, "round", {num(2)}).text(), "1234.5");
}

TEST(ValueFunctionsNumber, FormatWritesExactlyNDecimals) {
    DataItem x(2.5);
    EXPECT_EQ(call(x, "format", {num(3)}).text(), "2.500");
    EXPECT_EQ(call(x, "format", {num(0)}).text(), "2");
    DataItem seven(int32_t(7));
    EXPECT_EQ(call(seven, "format", {num(2)}).text(), "7.00");
    DataItem cash = money(1234.5);
    EXPECT_EQ(call(cash, "format", {num(2)}).text(), "1234.50");
    EXPECT_EQ(cash.type(), DataItem::TCurrency);
    // The precision is kept within 0..20.
    DataItem pi(3.14159);
    EXPECT_EQ(call(pi, "format", {num(-5)}).text(), "3");
    EXPECT_EQ(call(pi, "format", {num(100000)}).text().length(), 22u);
}

TEST(ValueFunctionsNumber, ConversionsHappenInPlace) {
    DataItem d(3.9);
    EXPECT_TRUE(call(d, "toInt").isNull());
    EXPECT_EQ(d.type(), DataItem::TInt);
    EXPECT_EQ(d.toInt(), 3);
    DataItem neg(-3.9);
    call(neg, "toInt");
    EXPECT_EQ(neg.toInt(), -3);
    DataItem big(1e12);
    call(big, "toInt");
    EXPECT_EQ(big.toInt(), 2147483647);
    DataItem cash = money(12.7);
    call(cash, "toInt");
    EXPECT_EQ(cash.text(), "12");

    DataItem seven(int32_t(7));
    EXPECT_TRUE(call(seven, "toDouble").isNull());
    EXPECT_EQ(seven.type(), DataItem::TDouble);
    EXPECT_EQ(seven.text(), "7.000000");

    DataItem amount(1234.5);
    EXPECT_TRUE(call(amount, "toCurrency").isNull());
    EXPECT_EQ(amount.type(), DataItem::TCurrency);
    EXPECT_EQ(amount.text(), "$1,234.50");

    Currency rated(10);
    rated.rate = 2;
    DataItem keep(rated);
    call(keep, "toCurrency");
    EXPECT_DOUBLE_EQ(keep.toCurrency().rate, 2.0);
}

TEST(ValueFunctionsNumber, UnsignedValuesConvert) {
    DataItem u;
    u.setUInt(4294967295u);
    DataItem r = call(u, "format", {num(0)});
    EXPECT_EQ(r.text(), "4294967295");
    call(u, "toInt");
    EXPECT_EQ(u.toInt(), 2147483647);
}

TEST(ValueFunctionsNumber, LetraAndQRFormat) {
    DataItem cash = money(1234.5);
    EXPECT_EQ(call(cash, "letra").text(), "UN MIL DOSCIENTOS TREINTA Y CUATRO PESOS 50/100 M.N.");
    DataItem half(0.5);
    EXPECT_EQ(call(half, "letra").text(), "CERO 50/100");
    DataItem n(int32_t(21));
    EXPECT_EQ(call(n, "letra").text(), "21");

    DataItem x(1234.5);
    EXPECT_EQ(call(x, "toQRFormat").text(), "0000001234.500000");
    DataItem neg(-1.5);
    EXPECT_EQ(call(neg, "toQRFormat").text(), "-000000001.500000");
    EXPECT_EQ(call(n, "toQRFormat").text(), "0000000021.000000");
    EXPECT_EQ(call(cash, "toQRFormat").type(), DataItem::TString);
}

// -------------------------------------------------------------------- dates

TEST(ValueFunctionsDate, Readers) {
    DataItem d = date(2009, 7, 5, 10, 20, 30);
    EXPECT_EQ(call(d, "formatDate", {str("%D/%M/%Y %H:%N")}).text(), "05/07/2009 10:20");
    EXPECT_EQ(call(d, "getDay").toInt(), 5);
    EXPECT_EQ(call(d, "getMonth").toInt(), 7);
    EXPECT_EQ(call(d, "getYear").toInt(), 2009);
    EXPECT_EQ(call(d, "getYear").type(), DataItem::TInt);
    EXPECT_FALSE(call(d, "isEmpty").toBool());
    EXPECT_EQ(call(d, "isEmpty").type(), DataItem::TBool);
    DataItem empty;
    empty.setType(DataItem::TDate);
    EXPECT_TRUE(call(empty, "isEmpty").toBool());
    EXPECT_EQ(d.text(), "2009-07-05 10:20:30");
}

TEST(ValueFunctionsDate, SameMonthNeedsTheSameYear) {
    DataItem d = date(2009, 7, 5);
    EXPECT_TRUE(call(d, "sameMonth", {date(2009, 7, 31)}).toBool());
    EXPECT_FALSE(call(d, "sameMonth", {date(2010, 7, 5)}).toBool());
    EXPECT_FALSE(call(d, "sameMonth", {date(2009, 8, 5)}).toBool());
    EXPECT_TRUE(call(d, "sameMonth", {str("2009-07-30")}).toBool());
}

TEST(ValueFunctionsDate, MonthEndsInPlace) {
    DataItem d = date(2008, 2, 10);
    EXPECT_TRUE(call(d, "toLastDay").isNull());
    EXPECT_EQ(d.text(), "2008-02-29");
    call(d, "toFirstDay");
    EXPECT_EQ(d.text(), "2008-02-01");

    DataItem q = date(2009, 5, 10);
    call(q, "toQuincena");
    EXPECT_EQ(q.text(), "2009-05-15");
    q = date(2009, 5, 20);
    call(q, "toQuincena");
    EXPECT_EQ(q.text(), "2009-05-31");

    DataItem next = date(2009, 5, 10);
    call(next, "toNextQuincena");
    EXPECT_EQ(next.text(), "2009-05-15");
    call(next, "toNextQuincena");
    EXPECT_EQ(next.text(), "2009-05-31");
    call(next, "toNextQuincena");
    EXPECT_EQ(next.text(), "2009-06-15");
}

TEST(ValueFunctionsDate, SetDayClearsTheTime) {
    DataItem d = date(2009, 7, 5, 10, 20, 30);
    EXPECT_TRUE(call(d, "setDay", {num(3)}).isNull());
    EXPECT_EQ(d.text(), "2009-07-03");
    DateTime t = d.toDateTime();
    EXPECT_EQ(t.hour, 0);
    EXPECT_EQ(t.minute, 0);
    EXPECT_EQ(t.second, 0);
}

TEST(ValueFunctionsDate, MonthAndYearArithmetic) {
    DataItem d = date(2009, 1, 31);
    EXPECT_TRUE(call(d, "addMonth", {num(1)}).isNull());
    EXPECT_EQ(d.text(), "2009-02-28");
    DataItem back = date(2008, 3, 31);
    call(back, "addMonth", {num(-1)});
    EXPECT_EQ(back.text(), "2008-02-29");
    DataItem far = date(2009, 1, 15);
    call(far, "addMonth", {num(-13)});
    EXPECT_EQ(far.text(), "2007-12-15");
    DataItem leap = date(2008, 2, 29);
    EXPECT_TRUE(call(leap, "addYear", {num(1)}).isNull());
    EXPECT_EQ(leap.text(), "2009-02-28");
}

TEST(ValueFunctionsDate, AddTimeKeepsTheDate) {
    DataItem d = date(2009, 7, 5);
    EXPECT_TRUE(call(d, "addTime", {str("13:45:10")}).isNull());
    EXPECT_EQ(d.text(), "2009-07-05 13:45:10");
    call(d, "addTime", {str("8.05")});
    EXPECT_EQ(d.text(), "2009-07-05 08:05:00");
    EXPECT_EQ(d.type(), DataItem::TDate);
}

// ----------------------------------------------------------------- booleans

TEST(ValueFunctionsBool, NotNegatesInPlace) {
    DataItem b = boolean(true);
    EXPECT_TRUE(call(b, "not").isNull());
    EXPECT_EQ(b.type(), DataItem::TBool);
    EXPECT_FALSE(b.toBool());
    EXPECT_EQ(b.text(), "F");
    call(b, "not");
    EXPECT_TRUE(b.toBool());
}

// ------------------------------------------------------- arguments, failures

TEST(ValueFunctionsArgs, MissingArgumentsReadAsNull) {
    DataItem s("Quelmir");
    EXPECT_EQ(ValueFunctions::execute(s, "left", nullptr).text(), "");
    EXPECT_EQ(ValueFunctions::execute(s, "find", nullptr).toInt(), -1);
    // A short row: the third argument of tokenize is missing, so false.
    DataItem list("a,b,c");
    EXPECT_EQ(call(list, "tokenize", {str(","), num(2)}).text(), "c");
    DataRow empty(0);
    EXPECT_EQ(ValueFunctions::execute(s, "right", &empty).text(), "");
    DataItem d = date(2009, 7, 5);
    EXPECT_TRUE(ValueFunctions::execute(d, "addMonth", nullptr).isNull());
    EXPECT_EQ(d.text(), "2009-07-05");
}

TEST(ValueFunctionsFailures, UnknownNamesAreNotDefined) {
    DataItem s("hola");
    EXPECT_EQ(failure(s, "noExiste"), "DataItem.noExiste not defined");
    // Names are case-sensitive.
    EXPECT_EQ(failure(s, "LEFT"), "DataItem.LEFT not defined");
    EXPECT_EQ(s.text(), "hola");
}

TEST(ValueFunctionsFailures, FunctionsBelongToTheirGroup) {
    DataItem n(int32_t(5));
    EXPECT_EQ(failure(n, "left"), "DataItem.left not defined");
    DataItem s("5");
    EXPECT_EQ(failure(s, "round"), "DataItem.round not defined");
    DataItem d = date(2009, 7, 5);
    EXPECT_EQ(failure(d, "not"), "DataItem.not not defined");
    DataItem b = boolean(true);
    EXPECT_EQ(failure(b, "getDay"), "DataItem.getDay not defined");
    EXPECT_TRUE(b.toBool());
    // Values outside the four groups have no functions at all.
    DataItem null;
    EXPECT_EQ(failure(null, "len"), "DataItem.len not defined");
    DataItem bin;
    bin.setBin("abc");
    EXPECT_EQ(failure(bin, "len"), "DataItem.len not defined");
    DataItem day;
    day.setDay(VORLIN::DateDay(5, 7));
    EXPECT_EQ(failure(day, "getDay"), "DataItem.getDay not defined");
}
