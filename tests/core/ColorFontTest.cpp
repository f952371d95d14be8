#include <gtest/gtest.h>

#include "core/Color.h"
#include "core/Font.h"

using VORLIN::Color;
using VORLIN::Font;
using VORLIN::String;

namespace {

Color colorFrom(const char* text) {
    Color c(0);
    c.fromString(text);
    return c;
}

Font fontFrom(const char* text) {
    Font f("x", 1, 1, 1);
    f.fromString(text);
    return f;
}

}  // namespace

TEST(ColorTest, TextForms) {
    Color red = colorFrom("(255,0,0)");
    EXPECT_EQ(red.value, 255u);
    EXPECT_EQ(red.toString(), "(255,0,0)");
    EXPECT_EQ(colorFrom("( 1, 2, 3 )").value, 0x030201u);
    EXPECT_EQ(colorFrom("(256,-1,0)").value, 0x00FF00u);  // each piece cut to its low byte
    EXPECT_TRUE(Color().isNone());
    EXPECT_EQ(Color().toString(), "null");
    for (const char* bad : {"null", "red", "", "(1,2)", "(1,,3)", "(1,2,3,4)", "(1,2,3"})
        EXPECT_TRUE(colorFrom(bad).isNone()) << bad;
}

TEST(ColorTest, Arithmetic) {
    Color c = Color::fromRgb(200, 10, 10);
    c.lighten(100);
    EXPECT_EQ(c.toString(), "(255,110,110)");
    Color none;
    none.lighten(5);
    EXPECT_EQ(none.toString(), "(5,5,5)");
    EXPECT_EQ(Color::fromRgb(255, 255, 255).luminance(), 255);
    EXPECT_EQ(Color::fromRgb(10, 20, 30).luminance(), 18);  // 2.99 + 11.74 + 3.42
    EXPECT_EQ(Color().luminance(), 0);
    EXPECT_EQ(Color().rgb(), 0u);
    c.swapRedBlue(0x00123456u);
    EXPECT_EQ(c.value, 0x00563412u);
    EXPECT_LT(Color(1).compare(Color(2)), 0);
    EXPECT_GT(Color().compare(Color(0x00FFFFFFu)), 0);
    EXPECT_EQ(Color(7).compare(Color(7)), 0);
}

TEST(FontTest, TextForm) {
    Font f("Arial", 12, Font::Bold | Font::Italic, 900);
    EXPECT_EQ(f.toString(), "Arial|12|3|900");
    EXPECT_EQ(fontFrom("Arial|12|3|900"), f);
    EXPECT_EQ(fontFrom("|10|4|0"), Font("", 10, 4, 0));
    EXPECT_EQ(fontFrom("Tahoma"), Font("Tahoma", 0, 0, 0));
    EXPECT_EQ(fontFrom(""), Font("", 0, 0, 0));
}

TEST(FontTest, ComparesFaceWithoutCaseThenNumbers) {
    EXPECT_EQ(Font("arial", 10).compare(Font("ARIAL", 10)), 0);
    EXPECT_LT(Font("Arial", 20).compare(Font("courier", 8)), 0);
    EXPECT_LT(Font("Arial", 8).compare(Font("Arial", 10)), 0);
    EXPECT_GT(Font("Arial", 10, 1).compare(Font("Arial", 10, 0)), 0);
    EXPECT_LT(Font("Arial", 10, 1, 0).compare(Font("Arial", 10, 1, 900)), 0);
}
