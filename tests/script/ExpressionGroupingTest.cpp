// What a script author meets first: how operators group (from the right
// within a level, a leading term taking the rest), the built-in functions in
// degrees, the rounding functions, the bitwise and logical operators.
#include <cmath>

#include "ScriptTestSupport.h"

using namespace scripttest;

namespace {

TEST(ExpressionGrouping, OperatorsOfOneLevelGroupFromTheRight) {
    EXPECT_EQ(eval("10-5-2"), 7.0);
    EXPECT_EQ(eval("8/4/2"), 4.0);
    EXPECT_EQ(eval("2^3^2"), 512.0);
    // Ordinary arithmetic would give 3 and 9.
    EXPECT_EQ(eval("2*3-4+1"), 1.0);
    EXPECT_EQ(eval("12-4/2-1"), 11.0);
}

TEST(ExpressionGrouping, MultiplicationBindsTighterThanAddition) {
    EXPECT_EQ(eval("2*3+4"), 10.0);
    EXPECT_EQ(eval("2+3*4"), 14.0);
    EXPECT_EQ(eval("2*3^2"), 18.0);
    EXPECT_EQ(eval("2^3*2"), 16.0);
}

TEST(ExpressionGrouping, ALeadingTermTakesEverythingAfterItsOperator) {
    EXPECT_EQ(eval("sqrt(16)+1"), 5.0);
    EXPECT_EQ(eval("sqrt(4)*2+1"), 6.0);
    EXPECT_EQ(eval("-2*3+4"), -14.0);
    Vars v;
    v.set("a", 2.0);
    v.set("b", 3.0);
    v.set("c", 4.0);
    EXPECT_EQ(eval("-a*b+c", v), -14.0);  // (-a)*(b+c)
    EXPECT_EQ(eval("-a", v), -2.0);
    EXPECT_EQ(eval("-(a+b)*c", v), -20.0);
    EXPECT_EQ(eval("1--2"), 3.0);
}

TEST(ExpressionGrouping, ParenthesesGroupAndKeepTheirPlace) {
    Vars v;
    v.set("a", 1.0);
    v.set("b", 2.0);
    v.set("c", 3.0);
    v.set("d", 4.0);
    auto root = ExpressionNode::compile("(a+b)*c-d");
    ASSERT_EQ(root->op(), ExpressionNode::Subtract);
    ASSERT_EQ(root->left()->op(), ExpressionNode::Multiply);
    EXPECT_EQ(root->left()->left()->op(), ExpressionNode::Add);
    EXPECT_EQ(root->left()->text(), "(a+b)*c");
    EXPECT_EQ(eval("(a+b)*c-d", v), 5.0);
    EXPECT_EQ(eval("(10-5)-2"), 3.0);
    EXPECT_EQ(eval("(5)"), 5.0);
    // A group inside a group loses both pairs.
    EXPECT_EQ(eval("((2+3))*4"), 20.0);
    EXPECT_EQ(eval("(((7)))"), 7.0);
}

TEST(ExpressionGrouping, BlanksOutsideQuotesAreDropped) {
    EXPECT_EQ(eval(" 2 +\t3 * 4 "), 14.0);
    EXPECT_EQ(ExpressionNode::dropBlanks("a + \"x y\" + b"), "a+\"x y\"+b");
    EXPECT_EQ(value("\"a b\"").text(), "a b");
    EXPECT_EQ(eval("sqrt ( 16 ) + 1"), 5.0);
}

TEST(ExpressionGrouping, MiddleDotMultipliesInBothEncodings) {
    EXPECT_EQ(eval("3\xB7"
                   "4"),
              12.0);
    EXPECT_EQ(eval("3\xC2\xB7"
                   "4"),
              12.0);  // as typed in a UTF-8 editor
    EXPECT_EQ(eval("2\xB7"
                   "3+1"),
              7.0);
    // Inside quotes the two bytes stay as they are.
    EXPECT_EQ(ExpressionNode::dropBlanks("\"\xC2\xB7\""), "\"\xC2\xB7\"");
}

TEST(ExpressionGrouping, ConstantsOfEachKind) {
    EXPECT_EQ(eval("2.5"), 2.5);
    EXPECT_EQ(eval(".5*4"), 2.0);
    EXPECT_EQ(eval("true+1"), 2.0);
    EXPECT_EQ(eval("false"), 0.0);
    DataItem t = value("true");
    EXPECT_EQ(t.type(), DataItem::TBool);
    EXPECT_TRUE(t.toBool());
    DataItem s = value("\"hola\"");
    EXPECT_EQ(s.type(), DataItem::TString);
    EXPECT_EQ(s.text(), "hola");
    EXPECT_EQ(value("42").type(), DataItem::TDouble);
    // A text constant in arithmetic converts as the value conversions do.
    EXPECT_EQ(eval("\"12\""), 12.0);
}

TEST(ExpressionGrouping, FunctionsTakeDegrees) {
    EXPECT_NEAR(eval("sin(90)"), 1.0, 1e-15);
    EXPECT_NEAR(eval("sin(30)"), 0.5, 1e-15);
    EXPECT_NEAR(eval("cos(180)"), -1.0, 1e-15);
    EXPECT_NEAR(eval("cos(60)"), 0.5, 1e-15);
    EXPECT_NEAR(eval("tan(45)"), 1.0, 1e-15);
    // The inverse functions scale their argument too and give radians: the
    // arc sine of 1 is that of 0.0174..., not 90.
    EXPECT_DOUBLE_EQ(eval("asin(1)"), std::asin(0.017453292519943295));
    EXPECT_DOUBLE_EQ(eval("acos(1)"), std::acos(0.017453292519943295));
    EXPECT_DOUBLE_EQ(eval("atan(1)"), std::atan(0.017453292519943295));
    EXPECT_DOUBLE_EQ(eval("asin(0)"), 0.0);
}

TEST(ExpressionGrouping, OtherFunctions) {
    EXPECT_EQ(eval("sqrt(9+7)"), 4.0);
    EXPECT_EQ(eval("sqrt(sqrt(16))"), 2.0);
    EXPECT_DOUBLE_EQ(eval("log(1000)"), 3.0);
    EXPECT_DOUBLE_EQ(eval("ln(1)"), 0.0);
    EXPECT_NEAR(eval("ln(2.718281828459045)"), 1.0, 1e-15);
    EXPECT_EQ(eval("2*sqrt(9)"), 6.0);
}

TEST(ExpressionGrouping, RoundingFunctions) {
    EXPECT_EQ(eval("rnup(2.1)"), 3.0);
    EXPECT_EQ(eval("rnup(-2.5)"), -2.0);
    EXPECT_EQ(eval("rnup(2)"), 2.0);
    EXPECT_EQ(eval("rndown(-2.5)"), -2.0);
    EXPECT_EQ(eval("rndown(2.9)"), 2.0);
    // "rnd" rounds half away from zero.
    EXPECT_EQ(eval("rnd(2.7)"), 3.0);
    EXPECT_EQ(eval("rnd(2.5)"), 3.0);
    EXPECT_EQ(eval("rnd(2.4)"), 2.0);
    EXPECT_EQ(eval("rnd(-2.5)"), -3.0);
    EXPECT_EQ(eval("rnd(0-2.4)"), -2.0);
    // The longer name wins: "rndown(" is truncation, not "rnd" of "own(".
    EXPECT_EQ(ExpressionNode::compile("rndown(2.9)")->op(), ExpressionNode::Rndown);
    EXPECT_EQ(ExpressionNode::compile("rnd(2.9)")->op(), ExpressionNode::Rnd);
    EXPECT_EQ(ExpressionNode::compile("rnup(2.9)")->op(), ExpressionNode::Rnup);
}

TEST(ExpressionGrouping, BitwiseOperatorsTruncate) {
    EXPECT_EQ(eval("5&3"), 1.0);
    EXPECT_EQ(eval("5|3"), 7.0);
    EXPECT_EQ(eval("5.9&3.2"), 1.0);
    EXPECT_EQ(eval("-1&255"), 255.0);
    // Values beyond 32 bits saturate instead of overflowing.
    EXPECT_EQ(eval("1e12|0"), 2147483647.0);
    EXPECT_EQ(eval("(0-1e12)|0"), -2147483648.0);
}

TEST(ExpressionGrouping, LogicalOperatorsShareOneLevel) {
    EXPECT_FALSE(value("1&&0").toBool());
    EXPECT_TRUE(value("1||0").toBool());
    EXPECT_EQ(value("1&&0").type(), DataItem::TBool);
    // Only the first "&" decides whether the level is logical: a&b&&c is
    // a&(b&&c).
    auto root = ExpressionNode::compile("a&b&&c");
    EXPECT_EQ(root->op(), ExpressionNode::BitAnd);
    EXPECT_EQ(root->right()->op(), ExpressionNode::And);
    EXPECT_EQ(ExpressionNode::compile("a||b&&c")->op(), ExpressionNode::Or);
    EXPECT_EQ(ExpressionNode::compile("a&&b||c")->op(), ExpressionNode::And);
    EXPECT_EQ(eval("1<2&&3<4"), 1.0);
    EXPECT_EQ(eval("1<2&&3>4"), 0.0);
}

TEST(ExpressionGrouping, ComparisonsCountOneOrZeroInArithmetic) {
    EXPECT_EQ(eval("(2<3)+1"), 2.0);
    EXPECT_EQ(eval("(2>3)+1"), 1.0);
    EXPECT_EQ(eval("1+2<3+1"), 1.0);  // (1+2)<(3+1)
    EXPECT_EQ(eval("2==2"), 1.0);
    EXPECT_EQ(eval("2!=2"), 0.0);
    EXPECT_EQ(eval("2<=2"), 1.0);
    EXPECT_EQ(eval("3>=4"), 0.0);
    EXPECT_EQ(eval("3>-4"), 1.0);
    EXPECT_EQ(ExpressionNode::compile("a<=b")->op(), ExpressionNode::LessEqual);
    EXPECT_EQ(ExpressionNode::compile("a>=b")->op(), ExpressionNode::GreaterEqual);
    EXPECT_EQ(ExpressionNode::compile("a<b")->op(), ExpressionNode::Less);
    EXPECT_EQ(ExpressionNode::compile("a>b")->op(), ExpressionNode::Greater);
    EXPECT_EQ(ExpressionNode::compile("a!=b")->op(), ExpressionNode::NotEqual);
    // A comparison value-evaluates arithmetic operands: 2*3 is the double 6.
    EXPECT_TRUE(value("2*3==6").toBool());
}

TEST(ExpressionGrouping, DivisionByZeroAndDomainErrorsDoNotFail) {
    EXPECT_TRUE(std::isinf(eval("1/0")));
    EXPECT_GT(eval("1/0"), 0.0);
    EXPECT_TRUE(std::isnan(eval("sqrt(0-1)")));
    EXPECT_TRUE(std::isnan(eval("0/0")));
    EXPECT_TRUE(std::isinf(eval("log(0)")));
    EXPECT_TRUE(std::isnan(eval("asin(90)")));
    EXPECT_EQ(eval("(0/0)&1"), 0.0);  // NaN truncates to 0
}

TEST(ExpressionGrouping, TreeShapeAndTexts) {
    auto root = ExpressionNode::compile("x*2+sqrt(y)");
    EXPECT_EQ(root->kind(), ExpressionNode::Operator);
    EXPECT_EQ(root->op(), ExpressionNode::Add);
    EXPECT_EQ(root->text(), "x*2+sqrt(y)");
    EXPECT_EQ(root->left()->op(), ExpressionNode::Multiply);
    EXPECT_EQ(root->left()->left()->kind(), ExpressionNode::Name);
    EXPECT_EQ(root->left()->left()->variable().name(), "x");
    EXPECT_EQ(root->left()->right()->kind(), ExpressionNode::Constant);
    EXPECT_EQ(root->right()->op(), ExpressionNode::Sqrt);
    EXPECT_EQ(root->right()->right(), nullptr);
    EXPECT_STREQ(ExpressionNode::operatorText(ExpressionNode::Rndown), "rndown");
    EXPECT_STREQ(ExpressionNode::operatorText(ExpressionNode::Or), "||");
    EXPECT_STREQ(ExpressionNode::operatorText(0), "");
}

}  // namespace
