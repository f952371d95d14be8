// Masked formatting of values and amounts in Spanish words.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "core/DataItem.h"
#include "core/GeneralException.h"
#include "core/NumberWords.h"
#include "core/RegionalSettings.h"

using VORLIN::Currency;
using VORLIN::DataItem;
using VORLIN::DateDay;
using VORLIN::DateTime;
using VORLIN::GeneralException;
using VORLIN::NumberWords;
using VORLIN::RegionalSettings;
using VORLIN::String;

namespace {

std::string words(uint32_t n) {
    return NumberWords::integer(n).toStdString();
}

std::string amount(double x, int decimals, bool withCurrency) {
    return NumberWords::amount(x, decimals, withCurrency).toStdString();
}

std::string fmt(const DataItem& d, const char* mask) {
    return d.format(mask).toStdString();
}

DataItem integer(int tag, const char* text) {
    DataItem d;
    d.setType(tag);
    d.fromString(text);
    return d;
}

DataItem money(double x) {
    return DataItem(Currency(x));
}

DataItem boolean(bool b) {
    DataItem d;
    d.setBool(b);
    return d;
}

// Installs a modified copy of the defaults for one test.
class FormatRegionalTest : public ::testing::Test {
protected:
    void TearDown() override { RegionalSettings::install(nullptr); }
    RegionalSettings settings;
};

}  // namespace

// ----------------------------------------------------------- integer in words

TEST(NumberWordsInteger, UnitsTeensAndTens) {
    EXPECT_EQ(words(0), "CERO");
    EXPECT_EQ(words(1), "UN");
    EXPECT_EQ(words(9), "NUEVE");
    EXPECT_EQ(words(10), "DIEZ");
    EXPECT_EQ(words(15), "QUINCE");
    EXPECT_EQ(words(16), "DIECISEIS");
    EXPECT_EQ(words(19), "DIECINUEVE");
    EXPECT_EQ(words(20), "VEINTE");
    EXPECT_EQ(words(21), "VEINTIUN");
    EXPECT_EQ(words(22), "VEINTIDOS");
    EXPECT_EQ(words(29), "VEINTINUEVE");
    EXPECT_EQ(words(30), "TREINTA");
    EXPECT_EQ(words(31), "TREINTA Y UN");
    EXPECT_EQ(words(99), "NOVENTA Y NUEVE");
}

TEST(NumberWordsInteger, HundredsKeepTheirTrailingSpace) {
    EXPECT_EQ(words(100), "CIEN");
    EXPECT_EQ(words(101), "CIENTO UN");
    EXPECT_EQ(words(110), "CIENTO DIEZ");
    EXPECT_EQ(words(115), "CIENTO QUINCE");
    EXPECT_EQ(words(120), "CIENTO VEINTE");
    EXPECT_EQ(words(121), "CIENTO VEINTIUN");
    EXPECT_EQ(words(200), "DOSCIENTOS ");
    EXPECT_EQ(words(500), "QUINIENTOS ");
    EXPECT_EQ(words(505), "QUINIENTOS CINCO");
    EXPECT_EQ(words(999), "NOVECIENTOS NOVENTA Y NUEVE");
}

TEST(NumberWordsInteger, Thousands) {
    EXPECT_EQ(words(1000), "UN MIL ");
    EXPECT_EQ(words(1001), "UN MIL UN");
    EXPECT_EQ(words(1100), "UN MIL CIEN");
    EXPECT_EQ(words(1234), "UN MIL DOSCIENTOS TREINTA Y CUATRO");
    EXPECT_EQ(words(2000), "DOS MIL ");
    EXPECT_EQ(words(21000), "VEINTIUN MIL ");
    EXPECT_EQ(words(100000), "CIEN MIL ");
    EXPECT_EQ(words(101000), "CIENTO UN MIL ");
    // "DOSCIENTOS " and " MIL " meet with two spaces.
    EXPECT_EQ(words(200000), "DOSCIENTOS  MIL ");
    EXPECT_EQ(words(999999), "NOVECIENTOS NOVENTA Y NUEVE MIL NOVECIENTOS NOVENTA Y NUEVE");
}

TEST(NumberWordsInteger, Millions) {
    EXPECT_EQ(words(1000000), "UN MILLON ");
    EXPECT_EQ(words(2000000), "DOS MILLONES ");
    EXPECT_EQ(words(1000001), "UN MILLON UN");
    EXPECT_EQ(words(1001000), "UN MILLON UN MIL ");
    EXPECT_EQ(words(21000000), "VEINTIUN MILLONES ");
    EXPECT_EQ(words(100000000), "CIEN MILLONES ");
    EXPECT_EQ(words(123456789),
              "CIENTO VEINTITRES MILLONES CUATROCIENTOS CINCUENTA Y SEIS MIL SETECIENTOS OCHENTA Y "
              "NUEVE");
}

TEST(NumberWordsInteger, ThousandsOfMillions) {
    EXPECT_EQ(words(1000000000), "UN MIL  MILLONES ");
    EXPECT_EQ(words(1000000001), "UN MIL  MILLONES UN");
    EXPECT_EQ(words(2000000000), "DOS MIL  MILLONES ");
    EXPECT_EQ(words(4294967295u),
              "CUATRO MIL DOSCIENTOS NOVENTA Y CUATRO MILLONES NOVECIENTOS SESENTA Y SIETE MIL "
              "DOSCIENTOS NOVENTA Y CINCO");
}

TEST(NumberWordsInteger, DigitsUpToTwelveThenMuchos) {
    EXPECT_EQ(NumberWords::digits("999999999999"),
              "NOVECIENTOS NOVENTA Y NUEVE MIL NOVECIENTOS NOVENTA Y NUEVE MILLONES NOVECIENTOS "
              "NOVENTA Y NUEVE MIL NOVECIENTOS NOVENTA Y NUEVE");
    EXPECT_EQ(NumberWords::digits("1000000000000"), "MUCHOS");
    EXPECT_EQ(NumberWords::digits("007"), "SIETE");
    EXPECT_EQ(NumberWords::digits("000"), "CERO");
    EXPECT_EQ(NumberWords::digits(""), "CERO");
}

// ------------------------------------------------------------ amount in words

TEST(NumberWordsAmount, FractionOverAPowerOfTen) {
    EXPECT_EQ(amount(0.5, 2, false), "CERO 50/100");
    EXPECT_EQ(amount(1.5, 3, false), "UN 500/1000");
    EXPECT_EQ(amount(1.26, 1, false), "UN 3/10");
    EXPECT_EQ(amount(7.6, 0, false), "OCHO 00/100");
    EXPECT_EQ(amount(7, 0, false), "SIETE 00/100");
}

TEST(NumberWordsAmount, CurrencyNameAndSuffix) {
    EXPECT_EQ(amount(1234.5, 2, true), "UN MIL DOSCIENTOS TREINTA Y CUATRO PESOS 50/100 M.N.");
    EXPECT_EQ(amount(1, 2, true), "UN PESO 00/100 M.N.");
    EXPECT_EQ(amount(2, 2, true), "DOS PESOS 00/100 M.N.");
    EXPECT_EQ(amount(0, 2, true), "CERO PESOS 00/100 M.N.");
    EXPECT_EQ(amount(21, 2, true), "VEINTIUN PESOS 00/100 M.N.");
    EXPECT_EQ(amount(200, 2, true), "DOSCIENTOS  PESOS 00/100 M.N.");
    EXPECT_EQ(amount(1000000, 0, true), "UN MILLON  PESOS 00/100 M.N.");
}

TEST(NumberWordsAmount, RoundsBeforeWriting) {
    // The rounding may carry into the integer part, and then the plural too.
    EXPECT_EQ(amount(1.004, 2, true), "UN PESO 00/100 M.N.");
    EXPECT_EQ(amount(1.999, 2, true), "DOS PESOS 00/100 M.N.");
    EXPECT_EQ(amount(0.996, 2, false), "UN 00/100");
    EXPECT_EQ(amount(10.07, 2, false), "DIEZ 07/100");
}

TEST(NumberWordsAmount, DecimalCountIsClamped) {
    EXPECT_EQ(amount(1.4, -3, false), "UN 00/100");
    EXPECT_EQ(amount(1.5, 50, false), "UN 500000000/1000000000");
}

TEST(NumberWordsAmount, NegativeAmountsWriteMenos) {
    EXPECT_EQ(amount(-1234.5, 2, true),
              "MENOS UN MIL DOSCIENTOS TREINTA Y CUATRO PESOS 50/100 M.N.");
    EXPECT_EQ(amount(-1, 2, true), "MENOS UN PESO 00/100 M.N.");
    EXPECT_EQ(amount(-0.5, 2, false), "MENOS CERO 50/100");
    // Nothing is left after rounding: no sign.
    EXPECT_EQ(amount(-0.001, 2, false), "CERO 00/100");
    EXPECT_EQ(amount(-0.0, 2, false), "CERO 00/100");
}

TEST(NumberWordsAmount, BeyondThirtyTwoBitsWritesMuchos) {
    EXPECT_EQ(amount(4294967295.0, 0, false),
              "CUATRO MIL DOSCIENTOS NOVENTA Y CUATRO MILLONES NOVECIENTOS SESENTA Y SIETE MIL "
              "DOSCIENTOS NOVENTA Y CINCO 00/100");
    EXPECT_EQ(amount(4294967296.0, 2, false), "MUCHOS 00/100");
    EXPECT_EQ(amount(4294967296.25, 2, true), "MUCHOS PESOS 25/100 M.N.");
    // Rounding up to 2^32 crosses the limit as well.
    EXPECT_EQ(amount(4294967295.996, 2, false), "MUCHOS 00/100");
    EXPECT_EQ(amount(1e300, 2, false), "MUCHOS 00/100");
    EXPECT_EQ(amount(-1e20, 2, false), "MENOS MUCHOS 00/100");
}

TEST(NumberWordsAmount, NonFiniteValuesWriteMuchos) {
    EXPECT_EQ(amount(std::numeric_limits<double>::infinity(), 2, true), "MUCHOS PESOS 00/100 M.N.");
    EXPECT_EQ(amount(std::nan(""), 3, false), "MUCHOS 000/1000");
}

TEST_F(FormatRegionalTest, AmountTakesNameAndSuffixFromTheSettings) {
    settings.currencyName = "EURO";
    settings.currencySuffix = "EUR";
    // The regional separators play no part in the words.
    settings.decimalSeparator = ",";
    settings.thousandsSeparator = ".";
    RegionalSettings::install(&settings);
    EXPECT_EQ(amount(1, 2, true), "UN EURO 00/100 EUR");
    EXPECT_EQ(amount(2.5, 2, true), "DOS EUROS 50/100 EUR");
    settings.decimalSeparator = "";
    EXPECT_EQ(amount(2.5, 2, false), "DOS 50/100");
}

// ------------------------------------------------------------- format: masks

TEST(DataItemFormat, EmptyMaskGivesTheText) {
    EXPECT_EQ(fmt(DataItem(1.5), ""), "1.500000");
    EXPECT_EQ(fmt(money(1234.5), ""), "$1,234.50");
    EXPECT_EQ(fmt(DataItem(int32_t(7)), ""), "7");
    EXPECT_EQ(fmt(boolean(true), ""), "T");
    EXPECT_EQ(fmt(DataItem(DateTime(2009, 7, 5)), ""), "2009-07-05");
}

TEST(DataItemFormat, IntegersArePaddedWithZerosToTheWidth) {
    EXPECT_EQ(fmt(DataItem(int32_t(7)), "3"), "007");
    EXPECT_EQ(fmt(DataItem(int32_t(12345)), "3"), "12345");
    // The sign is one more character and is not moved.
    EXPECT_EQ(fmt(DataItem(int32_t(-5)), "4"), "00-5");
    EXPECT_EQ(fmt(integer(DataItem::TUInt, "4294967295"), "12"), "004294967295");
    EXPECT_EQ(fmt(integer(DataItem::TLong, "-12"), "5"), "00-12");
    EXPECT_EQ(fmt(integer(DataItem::TULong, "3000000000"), "11"), "03000000000");
    // Masks that are no width leave the digits alone; so does LETRA.
    EXPECT_EQ(fmt(DataItem(int32_t(7)), "0"), "7");
    EXPECT_EQ(fmt(DataItem(int32_t(7)), "-3"), "7");
    EXPECT_EQ(fmt(DataItem(int32_t(21)), "LETRA"), "21");
}

TEST(DataItemFormat, AHugeWidthIsCut) {
    String s = DataItem(int32_t(7)).format("999999999");
    EXPECT_EQ(s.length(), 1024u);
    EXPECT_EQ(s.right(2), "07");
}

TEST(DataItemFormat, NumericMaskWithPrefixGroupingAndDecimals) {
    EXPECT_EQ(fmt(DataItem(1234.5), "$0,000.00"), "$1,234.50");
    EXPECT_EQ(fmt(DataItem(-1234.5), "$0,000.00"), "-$1,234.50");
    EXPECT_EQ(fmt(DataItem(1234567.891), "0,000.00"), "1,234,567.89");
    EXPECT_EQ(fmt(DataItem(999.0), "0,000.00"), "999.00");
    EXPECT_EQ(fmt(DataItem(1234567.0), "0,000"), "1,234,567");
    EXPECT_EQ(fmt(DataItem(3.14159), "0.00"), "3.14");
    EXPECT_EQ(fmt(DataItem(1234567.0), "0.0"), "1234567.0");
    EXPECT_EQ(fmt(DataItem(2.6), "0"), "3");
    EXPECT_EQ(fmt(DataItem(-3.14159), "Total: 0.000"), "-Total: 3.142");
}

TEST(DataItemFormat, GroupSizeComesFromTheMask) {
    // Two characters between "," and ".": groups of two.
    EXPECT_EQ(fmt(DataItem(1234567.3), "0,00.0"), "1,23,45,67.3");
    // Without ".", the characters after "," are the group.
    EXPECT_EQ(fmt(DataItem(1234567.0), "0,0000"), "123,4567");
}

TEST(DataItemFormat, MaskOddities) {
    // More than six decimals is "%f": six.
    EXPECT_EQ(fmt(DataItem(1.5), "0.00000000"), "1.500000");
    // No digit place at all: the whole mask is prefix, no decimals.
    EXPECT_EQ(fmt(DataItem(12.6), "$"), "$13");
    // A "." right after the "," is no decimal point.
    EXPECT_EQ(fmt(DataItem(1234.0), "0,.00"), "1,234");
}

TEST(DataItemFormat, CurrencyTakesNumericMasks) {
    EXPECT_EQ(fmt(money(-1234.5), "$0,000.00"), "-$1,234.50");
    EXPECT_EQ(fmt(money(1000000), "0,000"), "1,000,000");
}

TEST(DataItemFormat, LetraWritesTheAmountInWords) {
    EXPECT_EQ(fmt(DataItem(0.5), "LETRA"), "CERO 50/100");
    EXPECT_EQ(fmt(DataItem(0.5), "letra"), "CERO 50/100");
    EXPECT_EQ(fmt(DataItem(1234.5), "LETRA"), "UN MIL DOSCIENTOS TREINTA Y CUATRO 50/100");
    EXPECT_EQ(fmt(money(1234.5), "LETRA"), "UN MIL DOSCIENTOS TREINTA Y CUATRO PESOS 50/100 M.N.");
    EXPECT_EQ(fmt(money(1), "Letra"), "UN PESO 00/100 M.N.");
    EXPECT_EQ(fmt(money(2), "LETRA"), "DOS PESOS 00/100 M.N.");
    EXPECT_EQ(fmt(DataItem(-2.0), "LETRA"), "MENOS DOS 00/100");
    // The word anywhere in the mask counts.
    EXPECT_EQ(fmt(DataItem(3.0), "Importe en LETRA"), "TRES 00/100");
}

TEST(DataItemFormat, LetraTakesADecimalCount) {
    EXPECT_EQ(fmt(DataItem(1.5), "LETRA, 3"), "UN 500/1000");
    EXPECT_EQ(fmt(DataItem(1.5), "LETRA,3"), "UN 500/1000");
    EXPECT_EQ(fmt(DataItem(1.5), "LETRA 1"), "UN 5/10");
    EXPECT_EQ(fmt(DataItem(1.4), "LETRA 0"), "UN 00/100");
    // Without a separated number the count stays 2.
    EXPECT_EQ(fmt(DataItem(1.5), "LETRA3"), "UN 50/100");
    EXPECT_EQ(fmt(DataItem(1.5), "LETRA,"), "UN 50/100");
    EXPECT_EQ(fmt(DataItem(1.5), "LETRA, x"), "UN 50/100");
    EXPECT_EQ(fmt(DataItem(1.4), "LETRA,-4"), "UN 00/100");
}

TEST(DataItemFormat, DatesUseTheirFormatCodes) {
    EXPECT_EQ(fmt(DataItem(DateTime(2009, 7, 5)), "%d/%m/%y"), "5/7/09");
    EXPECT_EQ(fmt(DataItem(DateTime(2009, 7, 5)), "%D de %O de %Y"), "05 de Julio de 2009");
    EXPECT_EQ(fmt(DataItem(DateTime(2009, 7, 5, 13, 30)), "%h:%N %P"), "1:30 PM");
    EXPECT_EQ(fmt(DataItem(DateTime()), "%D/%M/%Y"), "");
}

TEST(DataItemFormat, DaysUseTheirFormatCodes) {
    DataItem d;
    d.setDay(DateDay(29, 2));
    EXPECT_EQ(fmt(d, "%D/%M"), "29/02");
    EXPECT_EQ(fmt(d, "%d de %O"), "29 de Febrero");
    d.setDay(DateDay());
    EXPECT_EQ(fmt(d, "%D/%M"), "__/__");
}

TEST(DataItemFormat, BoolMasksAreTrueColonFalse) {
    EXPECT_EQ(fmt(boolean(true), "SI:NO"), "SI");
    EXPECT_EQ(fmt(boolean(false), "SI:NO"), "NO");
    // Only the first ":" splits.
    EXPECT_EQ(fmt(boolean(true), "a:b:c"), "a");
    EXPECT_EQ(fmt(boolean(false), "a:b:c"), "b:c");
    EXPECT_EQ(fmt(boolean(true), ":vacio"), "");
    EXPECT_EQ(fmt(boolean(false), "lleno:"), "");
    // Without ":" true takes all of it and false nothing.
    EXPECT_EQ(fmt(boolean(true), "activo"), "activo");
    EXPECT_EQ(fmt(boolean(false), "activo"), "");
}

TEST(DataItemFormat, OtherTagsGiveTheirText) {
    EXPECT_EQ(fmt(DataItem("hola"), "000"), "hola");
    EXPECT_EQ(fmt(DataItem(), "000"), "");
    DataItem c;
    c.setChar('x');
    EXPECT_EQ(fmt(c, "LETRA"), "x");
}

TEST_F(FormatRegionalTest, NumericMaskWritesRegionalSeparators) {
    settings.decimalSeparator = ",";
    settings.thousandsSeparator = ".";
    RegionalSettings::install(&settings);
    // The mask keeps its own syntax; only the output changes.
    EXPECT_EQ(fmt(DataItem(1234567.25), "0,000.00"), "1.234.567,25");
    EXPECT_EQ(fmt(DataItem(-0.5), "$0.00"), "-$0,50");
}

TEST_F(FormatRegionalTest, GroupingWithoutDecimalSeparatorThrows) {
    settings.decimalSeparator = "";
    RegionalSettings::install(&settings);
    try {
        DataItem(1234.5).format("$0,000.00");
        FAIL() << "no exception";
    } catch (const GeneralException& e) {
        EXPECT_STREQ(e.what(), "String[]: indice fuera de rango");
    }
    // Without grouping there is nothing to count from it.
    EXPECT_EQ(fmt(DataItem(1234.5), "0.00"), "1234.50");
    EXPECT_EQ(fmt(DataItem(1234.5), "LETRA"), "UN MIL DOSCIENTOS TREINTA Y CUATRO 50/100");
}
