#include "core/Currency.h"

#include <gtest/gtest.h>

#include "core/GeneralException.h"
#include "core/RegionalSettings.h"

using VORLIN::Currency;
using VORLIN::GeneralException;
using VORLIN::RegionalSettings;
using VORLIN::String;

namespace {

std::string text(double amount) {
    return Currency(amount).toString().toStdString();
}

// Installs a modified copy of the defaults for one test.
class CurrencyRegionalTest : public ::testing::Test {
protected:
    void TearDown() override { RegionalSettings::install(nullptr); }
    RegionalSettings settings;
};

}  // namespace

TEST(CurrencyTest, GroupsThousandsAndKeepsSignInFront) {
    EXPECT_EQ(text(1000), "$1,000.00");
    EXPECT_EQ(text(999.5), "$999.50");
    EXPECT_EQ(text(-0.5), "-$0.50");
    EXPECT_EQ(text(-1234.5), "-$1,234.50");
    EXPECT_EQ(text(100000), "$100,000.00");
    EXPECT_EQ(text(1234567.891), "$1,234,567.89");
    EXPECT_EQ(text(0), "$0.00");
}

TEST(CurrencyTest, ParsesRegionalText) {
    Currency c;
    c.fromString("-$1,234.50");
    EXPECT_DOUBLE_EQ(c.amount, -1234.5);
    EXPECT_DOUBLE_EQ(c.rate, 1.0);
    c.fromString("no es dinero");
    EXPECT_DOUBLE_EQ(c.amount, 0.0);
}

TEST(CurrencyTest, ComparesAmountTimesRate) {
    Currency a(10), b(20);
    EXPECT_LT(a.compare(b), 0);
    EXPECT_GT(b.compare(a), 0);
    a.rate = 2.0;
    EXPECT_EQ(a.compare(b), 0);
}

TEST_F(CurrencyRegionalTest, WithoutDecimalsTheLastGroupEndsTheText) {
    settings.currencyDecimals = 0;
    RegionalSettings::install(&settings);
    EXPECT_EQ(text(1000), "$1,000");
    EXPECT_EQ(text(100), "$100");
}

TEST_F(CurrencyRegionalTest, UsesRegionalSeparatorsAndReadsThemBack) {
    settings.decimalSeparator = ",";
    settings.thousandsSeparator = ".";
    settings.currencySymbol = "EUR ";
    RegionalSettings::install(&settings);
    String s = Currency(-1234567.25).toString();
    EXPECT_EQ(s, "-EUR 1.234.567,25");
    Currency back;
    back.fromString(s);
    EXPECT_DOUBLE_EQ(back.amount, -1234567.25);
}

TEST_F(CurrencyRegionalTest, EmptyDecimalSeparatorFailsOnlyWhenWriting) {
    settings.decimalSeparator = "";
    RegionalSettings::install(&settings);
    try {
        Currency(5).toString();
        FAIL() << "no exception";
    } catch (const GeneralException& e) {
        EXPECT_STREQ(e.what(), "String[]: indice fuera de rango");
    }
    Currency c(7);
    EXPECT_NO_THROW(c.fromString("12"));
    EXPECT_DOUBLE_EQ(c.amount, 0.0);
}
