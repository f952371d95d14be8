// ExpressionNode: one node of a compiled script expression, and the parser
// and evaluator of such trees.
//
// compile() drops every blank outside double quotes and parses the text
// once into a tree of constant leaves, name leaves and operator nodes; the
// tree is then evaluated as often as the owning instruction runs, without
// parsing again. The parse goes by levels, tried in order on the text
// outside parentheses: logical ("&&", "||"), comparison, a leading term (a
// minus sign, a built-in function, an object call), additive ("+", "-",
// "&", "|"), multiplicative ("*", "·", "/"), power ("^"). Each level splits
// at its first operator, so the operators of one level group from the
// right (10-5-2 is 10-(5-2)) and a leading term takes everything after its
// operator as the right operand (sqrt(4)*2+1 is sqrt(4)*(2+1)). Scripts
// rely on this grouping; it is not ordinary arithmetic.
//
// Arithmetic, the built-in functions (trigonometry in degrees) and the
// bitwise operators compute doubles; comparisons and logical operators
// compare DataItem values and give booleans. Names are resolved at every
// evaluation against the current variables (a process-wide pointer that
// the running instruction sets through VariablesScope): an unknown name
// reads as empty (0 in arithmetic); "obj.member" reads an object's member;
// "obj.member(args)" calls it (variable names among the arguments arrive as
// variable references, so the member can write them); the same call on a
// plain value (text, number, date, bool) is one of the value functions; a
// variable holding a variable reference is read through it.
//
// Throws GeneralException: while parsing, the syntax texts
// ("Expresion: Error de sintaxis, ...", "Numero de parentesis incorrecto"),
// including "Expresion: Error de sintaxis, expresión demasiado anidada" for
// a tree deeper than kMaxDepth; while evaluating, "%s no tiene un miembro
// %s", "%s no tiene una función %s", "Variable function: Bad argument type:
// %s", "%s: referencia circular", and whatever the called member or value
// function throws. Division by zero and domain errors give infinities and
// NaN, never a failure.
//
// Ownership: a node owns its children. Not thread-safe: the UI thread only
// (the current variables and each name leaf's lookup cache are unguarded).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/DataItem.h"
#include "core/String.h"
#include "script/Variable.h"

namespace VORLIN {

class DataRow;
class VariableList;

class ExpressionNode {
public:
    enum Kind : int32_t { Constant = 0, Name = 1, Operator = 99 };
    enum Op : int32_t {
        None = 0,
        Add = 1,
        Subtract = 2,
        Negate = 3,
        Multiply = 4,
        Divide = 5,
        Power = 6,
        Sqrt = 7,
        Sin = 8,
        Cos = 9,
        Tan = 10,
        Asin = 11,
        Acos = 12,
        Atan = 13,
        Log = 14,
        Ln = 15,
        Rnd = 16,  // rounds half away from zero: 2.5 gives 3, -2.5 gives -3
        Rnup = 17,
        Rndown = 18,
        BitAnd = 19,
        BitOr = 20,
        Equal = 100,
        NotEqual = 101,
        Less = 102,
        LessEqual = 103,
        Greater = 104,
        GreaterEqual = 105,
        And = 106,
        Or = 107,
    };
    // π / 180: every angle is in degrees.
    static constexpr double kDegree = 0.017453292519943295;
    // Deepest tree the parser builds (nesting and chains of one level).
    static constexpr int kMaxDepth = 512;

    ExpressionNode() = default;
    ExpressionNode(const ExpressionNode&) = delete;
    ExpressionNode& operator=(const ExpressionNode&) = delete;
    ~ExpressionNode();

    // The tree of `text`: blanks outside double quotes dropped, then parsed.
    static std::unique_ptr<ExpressionNode> compile(const String& text);
    // `text` without its blanks (spaces and tabs) outside double quotes; the
    // two-byte UTF-8 form of "·" becomes the one byte 0xB7 there as well.
    static String dropBlanks(const String& text);
    // Parses a blank-free text into this node (depth counts from the root).
    void parse(const String& text, int depth = 0);

    // Numeric evaluation: comparisons count 1 or 0.
    double evaluate();
    // Value evaluation: arithmetic as a double item, constants and names as
    // their values, comparisons and logical operators as a bool item.
    DataItem evaluateValue();

    // --- the tree ---
    const String& text() const noexcept { return text_; }
    const DataItem& constant() const noexcept { return constant_; }
    const Variable& variable() const noexcept { return variable_; }
    const ExpressionNode* left() const noexcept { return left_.get(); }
    const ExpressionNode* right() const noexcept { return right_.get(); }
    int32_t op() const noexcept { return op_; }
    int32_t kind() const noexcept { return kind_; }
    // The source form of an operator code ("+", "sqrt", "<=", ...), "" for 0.
    static const char* operatorText(int32_t op) noexcept;

    // --- the current variables ---
    static VariableList* currentVariables() noexcept;
    static void setCurrentVariables(VariableList* list) noexcept;
    // Sets the current variables for its lifetime and restores the earlier
    // list afterwards (also when an evaluation throws).
    class VariablesScope {
    public:
        explicit VariablesScope(VariableList* list) noexcept;
        ~VariablesScope();
        VariablesScope(const VariablesScope&) = delete;
        VariablesScope& operator=(const VariablesScope&) = delete;

    private:
        VariableList* saved_;
    };

private:
    struct Term;

    void parseText(std::string_view t, int depth);
    void makeLeaf(std::string_view t);
    void makeTerm(const Term& term, std::string_view t, int depth);
    void split(std::string_view t, size_t at, size_t width, int32_t op, int depth);
    static double operand(ExpressionNode* n);
    bool comparison();
    // Reads `n` as a number when its value is one of the plain numeric
    // tags, without copying it: true with `out` set. `evaluated` tells
    // that `n` was evaluated on the way (an arithmetic node, which may call
    // members), so that it must not be evaluated again.
    static bool numericOperand(ExpressionNode* n, double& out, bool& evaluated);
    Variable* lookup();
    // The value of a name leaf; `scratch` receives a value made on the way
    // (a call result), else the answer points into the variables or objects.
    const DataItem& resolve(Variable& v, DataItem& scratch);
    double nameNumber();
    DataItem nameValue();
    std::unique_ptr<DataRow> buildArguments(bool referencesAsValues);

    String text_;
    DataItem constant_;
    Variable variable_;
    std::unique_ptr<ExpressionNode> left_;
    std::unique_ptr<ExpressionNode> right_;
    int32_t op_ = None;
    int32_t kind_ = Constant;

    // Constant leaf: the number, read once when the constant is a number or
    // a bool (a text converts at each evaluation, with the regional
    // settings of that moment).
    double number_ = 0.0;
    bool numberReady_ = false;
    // Name leaf: the name split at its first "." into head and path; a path
    // with "(" is a call of `member_` with the argument text `arguments_`.
    String head_;
    String path_;
    String member_;
    String arguments_;
    bool isCall_ = false;
    // The variable found for head_ in the list whose stamp is lookupStamp_.
    uint64_t lookupStamp_ = 0;
    Variable* lookupVariable_ = nullptr;
};

}  // namespace VORLIN
