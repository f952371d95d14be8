// Every syntax failure text, the limits that keep user input from crashing
// the evaluator, and a random-input sweep.
#include <random>
#include <string>

#include "ScriptTestSupport.h"

using namespace scripttest;

namespace {

const char* const kUnknownOperator = "Expresion: Error de sintaxis, operador desconocido";
const char* const kMissingOperand = "Expresion: Error de sintaxis, falta un operando";
const char* const kMissingNegated =
    "Expresion: Error de sintaxis, falta el operando del operador negativo de.";
const char* const kMissingArgument = "Expresion: Error de sintaxis, falta el argumento de función.";
const char* const kIncompleteArguments =
    "Expresion: Error de sintaxis, definición de argumentos incompleta";
const char* const kNoObject = "Expresion: Error de sintaxis, función sin objeto";
const char* const kParentheses = "Numero de parentesis incorrecto";
const char* const kTooDeep = "Expresion: Error de sintaxis, expresión demasiado anidada";

TEST(ExpressionSyntax, ALoneEqualsOrBangIsAnUnknownOperator) {
    EXPECT_EQ(failureOf("a=b"), kUnknownOperator);
    EXPECT_EQ(failureOf("a=<b"), kUnknownOperator);
    EXPECT_EQ(failureOf("a!b"), kUnknownOperator);
    EXPECT_EQ(failureOf("a===b"), kUnknownOperator);
    // Nothing before an operator, or a group followed by no operator.
    EXPECT_EQ(failureOf("!a"), kUnknownOperator);
    EXPECT_EQ(failureOf("*a"), kUnknownOperator);
    EXPECT_EQ(failureOf("+a"), kUnknownOperator);
    EXPECT_EQ(failureOf("(a)b"), kUnknownOperator);
    EXPECT_EQ(failureOf("sqrt(4)2"), kUnknownOperator);
    EXPECT_EQ(failureOf("o.f(1)x"), kUnknownOperator);
}

TEST(ExpressionSyntax, AnEmptyRightOperandIsMissing) {
    EXPECT_EQ(failureOf("a+"), kMissingOperand);
    EXPECT_EQ(failureOf("a*"), kMissingOperand);
    EXPECT_EQ(failureOf("a^"), kMissingOperand);
    EXPECT_EQ(failureOf("a&&"), kMissingOperand);
    EXPECT_EQ(failureOf("a=="), kMissingOperand);
    EXPECT_EQ(failureOf("a<"), kMissingOperand);
    EXPECT_EQ(failureOf("sqrt(4)+"), kMissingOperand);
    EXPECT_EQ(failureOf("-a*"), kMissingOperand);
    // A minus is unary only at the start of an operand: a*-b splits at the
    // minus first and leaves "a*" without its right side; a*(-b) works.
    EXPECT_EQ(failureOf("a*-b"), kMissingOperand);
    Vars v;
    v.set("a", 2.0);
    v.set("b", 3.0);
    EXPECT_EQ(eval("a*(-b)", v), -6.0);
    // An empty expression or an empty group has no operand either.
    EXPECT_EQ(failureOf(""), kMissingOperand);
    EXPECT_EQ(failureOf("   "), kMissingOperand);
    EXPECT_EQ(failureOf("()"), kMissingOperand);
    EXPECT_EQ(failureOf("1+()"), kMissingOperand);
}

TEST(ExpressionSyntax, AMinusNeedsItsOperand) {
    EXPECT_EQ(failureOf("-"), kMissingNegated);
    EXPECT_EQ(failureOf("--a"), kMissingNegated);
    EXPECT_EQ(failureOf("-*2"), kMissingNegated);
}

TEST(ExpressionSyntax, AFunctionNeedsItsArgument) {
    EXPECT_EQ(failureOf("sqrt()"), kMissingArgument);
    EXPECT_EQ(failureOf("sin()+1"), kMissingArgument);
    // A name that begins with a function name at the start of a term is
    // taken for the function.
    EXPECT_EQ(failureOf("costo+1"), kMissingArgument);
    EXPECT_EQ(failureOf("lnx*2"), kMissingArgument);
    EXPECT_EQ(failureOf("rndo(2)+1"), kMissingArgument);
    // Alone, or later in the text, such a name is a plain variable.
    Vars v;
    v.set("costo", 4.0);
    EXPECT_EQ(eval("costo", v), 4.0);
    EXPECT_EQ(eval("1+costo", v), 5.0);
}

TEST(ExpressionSyntax, ObjectCallsNeedAnObjectAndClosedArguments) {
    EXPECT_EQ(failureOf("f(1)"), kNoObject);
    EXPECT_EQ(failureOf("f(1)+2"), kNoObject);
    EXPECT_EQ(failureOf("2+f(1)"), kNoObject);
    EXPECT_EQ(failureOf("o.f(1"), kIncompleteArguments);
    EXPECT_EQ(failureOf("o.f(g(1)"), kIncompleteArguments);
    EXPECT_EQ(failureOf("1&&o.f(1"), kIncompleteArguments);
}

TEST(ExpressionSyntax, UnbalancedParentheses) {
    EXPECT_EQ(failureOf("(a+b"), kParentheses);
    EXPECT_EQ(failureOf("a+(b"), kParentheses);
    EXPECT_EQ(failureOf("a+b)"), kParentheses);
    EXPECT_EQ(failureOf("(a))"), kParentheses);
    EXPECT_EQ(failureOf("sqrt(4"), kParentheses);
    EXPECT_EQ(failureOf("sqrt(4))"), kParentheses);
    EXPECT_EQ(failureOf("(a&&b"), kParentheses);
    EXPECT_EQ(failureOf("a)"), kParentheses);
    EXPECT_EQ(failureOf("o.f(1))"), kParentheses);
}

TEST(ExpressionSyntax, QuotedTextIsNotSkippedByTheLevels) {
    // A quoted text holding an operator is split like any other text.
    Vars v;
    EXPECT_EQ(eval("\"a+b\"", v), 0.0);
    EXPECT_EQ(failureOf("\"(\""), kParentheses);
    // Alone, a quoted text without operator characters is a constant.
    EXPECT_EQ(value("\"a.b,c d\"").text(), "a.b,c d");
    // A quote without its pair runs to the end.
    EXPECT_EQ(value("\"abc").text(), "abc");
}

TEST(ExpressionSyntax, NestingIsLimited) {
    // Groups that enclose everything cost nothing, however many.
    std::string wrapped = std::string(100000, '(') + "1" + std::string(100000, ')');
    EXPECT_EQ(eval(wrapped.c_str()), 1.0);
    std::string halfOpen = std::string(100000, '(') + "1" + std::string(99999, ')');
    EXPECT_EQ(failureOf(halfOpen.c_str()), kParentheses);
    std::string halfClosed = std::string(99999, '(') + "1" + std::string(100000, ')');
    EXPECT_EQ(failureOf(halfClosed.c_str()), kParentheses);
    EXPECT_EQ(eval("((1)+(2))"), 3.0);
    EXPECT_EQ(eval("(1)+(2)"), 3.0);

    std::string nested = "1";
    for (int i = 0; i < 600; ++i)
        nested = "1+(" + nested + ")";
    EXPECT_EQ(failureOf(nested.c_str()), kTooDeep);

    std::string chain = "1";
    for (int i = 0; i < 2000; ++i)
        chain += "+1";
    EXPECT_EQ(failureOf(chain.c_str()), kTooDeep);

    std::string minuses = "1";
    for (int i = 0; i < 2000; ++i)
        minuses = "-(" + minuses + ")";
    EXPECT_EQ(failureOf(minuses.c_str()), kTooDeep);

    std::string fine = "1";
    for (int i = 0; i < 300; ++i)
        fine += "+1";
    EXPECT_EQ(eval(fine.c_str()), 301.0);
    std::string functions = "4";
    for (int i = 0; i < 200; ++i)
        functions = "sqrt(" + functions + ")*1";
    EXPECT_NO_THROW(eval(functions.c_str()));
}

TEST(ExpressionSyntax, RandomInputNeverCrashes) {
    // Texts made of the characters that matter to the parser, evaluated
    // with variables and an object in scope: each one either works or
    // raises a GeneralException.
    Vars v;
    v.set("a", 2.0);
    v.set("b", "txt");
    TestObject object;
    v.setObject("o", &object);
    const std::string alphabet = "ab o.f()()+-*/^&|=<>!\xB7\"\" ,1234.5e sqrtrndsin";
    std::mt19937 random(20240611);
    int failures = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        size_t n = 1 + random() % 24;
        for (size_t k = 0; k < n; ++k)
            text += alphabet[random() % alphabet.size()];
        try {
            ExpressionNode::VariablesScope scope(&v.list);
            auto root = ExpressionNode::compile(text.c_str());
            root->evaluate();
            root->evaluateValue();
        } catch (const GeneralException&) {
            ++failures;
        }
    }
    // Most random texts are wrong; some must parse.
    EXPECT_GT(failures, 1000);
    EXPECT_LT(failures, 20000);
}

}  // namespace
