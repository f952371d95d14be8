// Comparisons of two plain numbers are read without copying the items; the
// results must be those of the typed comparison, every operand must be
// evaluated exactly once, left first, and anything else must take the
// general path.
#include "ScriptTestSupport.h"

namespace {

using namespace scripttest;

TEST(NumericComparison, IntAndDoubleMeetAsNumbers) {
    Vars v;
    v.set("i", DataItem(int32_t(3)));
    v.set("d", 3.0);
    EXPECT_TRUE(value("i == d", v).toBool());
    EXPECT_TRUE(value("i <= 3", v).toBool());
    EXPECT_FALSE(value("i < 3", v).toBool());
    EXPECT_TRUE(value("d != 4", v).toBool());
    EXPECT_TRUE(value("i*2 > d", v).toBool());
    EXPECT_TRUE(value("i >= d+0", v).toBool());
    EXPECT_EQ(eval("(2<3)+(3<2)"), 1.0);
}

TEST(NumericComparison, TextsStillCompareAsTexts) {
    Vars v;
    v.set("a", "abc");
    v.set("b", "abd");
    v.set("n", "10");
    EXPECT_TRUE(value("a < b", v).toBool());
    EXPECT_TRUE(value("a == \"abc\"", v).toBool());
    // A number on the left reads the text on the right as a number.
    EXPECT_TRUE(value("9 < n", v).toBool());
    // A text on the left with a number on the right: the text as a number.
    EXPECT_TRUE(value("n > 9", v).toBool());
    // An unknown name is empty, and empty is greater than a number.
    EXPECT_TRUE(value("nadie > 5", v).toBool());
}

TEST(NumericComparison, EachOperandRunsOnce) {
    Vars v;
    TestObject o;
    v.setObject("o", &o);
    EXPECT_TRUE(value("o.count(1,2)+0 < 5", v).toBool());
    EXPECT_EQ(o.calls.size(), 1u);
    o.calls.clear();
    // A numeric left side that meets a text right side is not run twice.
    v.set("t", "x");
    value("o.count(1)*1 == t", v);
    EXPECT_EQ(o.calls.size(), 1u);
    o.calls.clear();
    value("o.count(1) == o.count(2)", v);
    EXPECT_EQ(o.calls, (std::vector<std::string>{"count", "count"}));
}

}  // namespace
