#include "script/ExpressionNode.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "core/GeneralException.h"
#include "core/Interfasable.h"
#include "data/DataRow.h"
#include "data/ValueFunctions.h"
#include "script/VariableList.h"

namespace VORLIN {

namespace {

VariableList* gCurrentVariables = nullptr;

constexpr char kMiddleDot = '\xB7';
constexpr size_t npos = std::string_view::npos;

// Every operator character, parentheses included: a text without any of
// them is a leaf.
constexpr std::string_view kLeafBreakers = "+-*\xB7/^&|()=<>!";
// The operator characters that end the operand of a leading minus.
constexpr std::string_view kOperatorChars = "+-*\xB7/^&|=<>!";

[[noreturn]] void syntax(const char* what) {
    throw GeneralException(std::string("Expresion: Error de sintaxis, ") + what);
}
[[noreturn]] void parentheses() {
    throw GeneralException("Numero de parentesis incorrecto");
}

// The position of the ")" that closes the "(" at `open`, or npos when the
// text ends first. Quoted text is not skipped: the levels never do.
size_t closingParen(std::string_view t, size_t open) {
    int depth = 0;
    for (size_t i = open; i < t.size(); ++i) {
        if (t[i] == '(')
            ++depth;
        else if (t[i] == ')' && --depth == 0)
            return i;
    }
    return npos;
}

// `t` without the pairs of parentheses that enclose all of it: "((a)+b)"
// gives "(a)+b". One pass finds where each leading "(" closes, so that a
// text of thousands of nested groups costs no more than its length.
std::string_view withoutEnclosingGroups(std::string_view t) {
    size_t lead = 0;
    while (lead < t.size() && t[lead] == '(')
        ++lead;
    if (lead == 0 || t.back() != ')') return t;
    std::vector<size_t> closes(lead, npos);
    std::vector<size_t> open;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '(') {
            open.push_back(i);
        } else if (t[i] == ')') {
            if (open.empty()) break;  // unbalanced: the levels report it
            if (open.back() < lead) closes[open.back()] = i;
            open.pop_back();
        }
    }
    size_t strip = 0;
    while (strip < lead && closes[strip] == t.size() - 1 - strip)
        ++strip;
    return t.substr(strip, t.size() - 2 * strip);
}

// The first character of `set` at or after `from` outside parentheses, or
// npos. A "(" without its ")" or a ")" without its "(" is a failure, except
// that a `lenient` search takes an unclosed group to run to the end: the
// logical and comparison levels look past it, so that the leading term can
// report an object call whose arguments never close.
size_t findTopLevel(std::string_view t, std::string_view set, size_t from = 0,
                    bool lenient = false) {
    for (size_t i = from; i < t.size(); ++i) {
        char c = t[i];
        if (c == '(') {
            size_t close = closingParen(t, i);
            if (close == npos) {
                if (lenient) return npos;
                parentheses();
            }
            i = close;
            continue;
        }
        if (c == ')') parentheses();
        if (set.find(c) != npos) return i;
    }
    return npos;
}

bool isLetter(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    // ASCII letters, "_" (the predefined names start with it) and the
    // letters of the 8-bit character set; the middle dot is an operator.
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' ||
           (u >= 0x80 && c != kMiddleDot);
}

struct BuiltIn {
    std::string_view name;
    int32_t op;
};
// Longest names first: a name that begins with another ("rndown", "rnd")
// is taken whole.
constexpr BuiltIn kBuiltIns[] = {
    {"rndown", ExpressionNode::Rndown}, {"sqrt", ExpressionNode::Sqrt},
    {"atan", ExpressionNode::Atan},     {"asin", ExpressionNode::Asin},
    {"acos", ExpressionNode::Acos},     {"rnup", ExpressionNode::Rnup},
    {"sin", ExpressionNode::Sin},       {"cos", ExpressionNode::Cos},
    {"tan", ExpressionNode::Tan},       {"log", ExpressionNode::Log},
    {"rnd", ExpressionNode::Rnd},       {"ln", ExpressionNode::Ln},
};

const BuiltIn* builtInAt(std::string_view t) {
    for (const BuiltIn& b : kBuiltIns)
        if (t.substr(0, b.name.size()) == b.name) return &b;
    return nullptr;
}

// The operator a character stands for between a leading term and the rest.
int32_t binaryOperator(char c) {
    switch (c) {
        case '+':
            return ExpressionNode::Add;
        case '-':
            return ExpressionNode::Subtract;
        case '*':
        case kMiddleDot:
            return ExpressionNode::Multiply;
        case '/':
            return ExpressionNode::Divide;
        case '^':
            return ExpressionNode::Power;
        case '&':
            return ExpressionNode::BitAnd;
        case '|':
            return ExpressionNode::BitOr;
        default:
            return ExpressionNode::None;
    }
}

// The "&" and "|" operands: truncated toward zero to 32 bits; values out of
// that range saturate and NaN gives 0, as the DataItem conversions do.
int32_t toInt32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

// The numeric test of the framework (digits, ".", "-", "e", "E", at least
// one digit) and the locale-free reading of such a literal.
bool isNumeric(std::string_view t) {
    return String(TextRef(t)).isNumber(false);
}

double readNumber(std::string_view t) {
    double v = 0.0;
    const char* first = t.data();
    const char* last = t.data() + t.size();
    if (first != last && *first == '-') {
        std::from_chars(first + 1, last, v);
        return -v;
    }
    std::from_chars(first, last, v);
    return v;
}

// The text between the first double quote and the next one (to the end
// when there is no second quote).
std::string_view quoted(std::string_view t) {
    size_t open = t.find('"');
    if (open == npos) return {};
    size_t close = t.find('"', open + 1);
    return t.substr(open + 1, close == npos ? npos : close - open - 1);
}

std::string_view trimmed(std::string_view t) {
    size_t b = t.find_first_not_of(' ');
    if (b == npos) return {};
    size_t e = t.find_last_not_of(' ');
    return t.substr(b, e - b + 1);
}

String str(std::string_view t) {
    return String(TextRef(t));
}

}  // namespace

// ------------------------------------------------------------ the leading term

struct ExpressionNode::Term {
    enum Kind { NoTerm, Minus, Function, Call } kind = NoTerm;
    int32_t op = None;
    std::string_view operand;  // of the minus or the function
    size_t end = 0;            // just after the term
};

ExpressionNode::~ExpressionNode() = default;

// ------------------------------------------------------------------- parsing

String ExpressionNode::dropBlanks(const String& text) {
    std::string_view t = text.view();
    std::string out;
    out.reserve(t.size());
    bool inQuotes = false;
    for (size_t i = 0; i < t.size(); ++i) {
        char c = t[i];
        if (c == '"') inQuotes = !inQuotes;
        if (!inQuotes) {
            if (c == ' ' || c == '\t') continue;
            // "·" typed in a UTF-8 editor arrives as C2 B7; the operator is
            // the byte B7 of the 8-bit character set.
            if (c == '\xC2' && i + 1 < t.size() && t[i + 1] == kMiddleDot) continue;
        }
        out.push_back(c);
    }
    return String(out);
}

std::unique_ptr<ExpressionNode> ExpressionNode::compile(const String& text) {
    auto root = std::make_unique<ExpressionNode>();
    root->parse(dropBlanks(text));
    return root;
}

void ExpressionNode::parse(const String& text, int depth) {
    parseText(text.view(), depth);
}

void ExpressionNode::parseText(std::string_view t, int depth) {
    if (depth > kMaxDepth) syntax("expresión demasiado anidada");
    text_ = str(t);

    // Step 1: a group that encloses the whole text loses its parentheses.
    // Repeated, so that ((a+b)) is a+b as well.
    t = withoutEnclosingGroups(t);
    if (t.empty()) syntax("falta un operando");

    // Step 2: no operator character at all: a leaf.
    if (t.find_first_of(kLeafBreakers) == npos) {
        makeLeaf(t);
        return;
    }
    kind_ = Operator;

    // Level 1, logical: only the first "&" or "|" is looked at, and it
    // counts only when doubled.
    size_t at = findTopLevel(t, "&|", 0, true);
    if (at != npos && at > 0 && at + 1 < t.size() && t[at + 1] == t[at]) {
        split(t, at, 2, t[at] == '&' ? And : Or, depth);
        return;
    }

    // Level 2, comparison.
    at = findTopLevel(t, "=!<>", 0, true);
    if (at != npos && at > 0) {
        char c = t[at];
        bool withEqual = at + 1 < t.size() && t[at + 1] == '=';
        switch (c) {
            case '=':
                if (!withEqual) syntax("operador desconocido");
                split(t, at, 2, Equal, depth);
                return;
            case '!':
                if (!withEqual) syntax("operador desconocido");
                split(t, at, 2, NotEqual, depth);
                return;
            case '<':
                split(t, at, withEqual ? 2 : 1, withEqual ? LessEqual : Less, depth);
                return;
            default:
                split(t, at, withEqual ? 2 : 1, withEqual ? GreaterEqual : Greater, depth);
                return;
        }
    }

    // Level 3, a leading term.
    Term term;
    if (t.front() == '-') {
        size_t end = findTopLevel(t, kOperatorChars, 1);
        if (end == npos) end = t.size();
        term.kind = Term::Minus;
        term.op = Negate;
        term.operand = t.substr(1, end - 1);
        term.end = end;
        if (term.operand.empty()) syntax("falta el operando del operador negativo de.");
    } else if (const BuiltIn* b = builtInAt(t)) {
        size_t open = b->name.size();
        if (open >= t.size() || t[open] != '(') syntax("falta el argumento de función.");
        size_t close = closingParen(t, open);
        if (close == npos) parentheses();
        term.kind = Term::Function;
        term.op = b->op;
        term.operand = t.substr(open + 1, close - open - 1);
        term.end = close + 1;
        if (term.operand.empty()) syntax("falta el argumento de función.");
    } else if (isLetter(t.front())) {
        size_t stop = t.find_first_of(kLeafBreakers);
        if (stop != npos && t[stop] == '(') {
            if (t.substr(0, stop).find('.') == npos) syntax("función sin objeto");
            size_t close = closingParen(t, stop);
            if (close == npos) syntax("definición de argumentos incompleta");
            term.kind = Term::Call;
            term.end = close + 1;
        }
    }
    if (term.kind != Term::NoTerm) {
        if (term.end == t.size()) {
            makeTerm(term, t, depth);
            return;
        }
        char c = t[term.end];
        int32_t op = binaryOperator(c);
        if (op == None) {
            if (c == ')') parentheses();
            syntax("operador desconocido");
        }
        std::string_view rest = t.substr(term.end + 1);
        if (rest.empty()) syntax("falta un operando");
        left_ = std::make_unique<ExpressionNode>();
        left_->text_ = str(t.substr(0, term.end));
        left_->makeTerm(term, t, depth + 1);
        op_ = op;
        right_ = std::make_unique<ExpressionNode>();
        right_->parseText(rest, depth + 1);
        return;
    }

    // Level 4, additive; level 5, multiplicative; level 6, power.
    at = findTopLevel(t, "+-&|");
    if (at != npos && at > 0) {
        split(t, at, 1, binaryOperator(t[at]), depth);
        return;
    }
    at = findTopLevel(t, "*\xB7/");
    if (at != npos && at > 0) {
        split(t, at, 1, binaryOperator(t[at]), depth);
        return;
    }
    at = findTopLevel(t, "^");
    if (at != npos && at > 0) {
        split(t, at, 1, Power, depth);
        return;
    }
    // No level applies: an operator with nothing before it ("!a", "*a"), or
    // a group followed by something that is not an operator ("(a)b").
    syntax("operador desconocido");
}

void ExpressionNode::split(std::string_view t, size_t at, size_t width, int32_t op, int depth) {
    std::string_view left = t.substr(0, at);
    std::string_view right = t.substr(at + width);
    if (right.empty()) syntax("falta un operando");
    op_ = op;
    left_ = std::make_unique<ExpressionNode>();
    left_->parseText(left, depth + 1);
    right_ = std::make_unique<ExpressionNode>();
    right_->parseText(right, depth + 1);
}

void ExpressionNode::makeTerm(const Term& term, std::string_view t, int depth) {
    if (term.kind == Term::Call) {
        makeLeaf(t.substr(0, term.end));
        return;
    }
    if (depth > kMaxDepth) syntax("expresión demasiado anidada");
    kind_ = Operator;
    op_ = term.op;
    left_ = std::make_unique<ExpressionNode>();
    left_->parseText(term.operand, depth + 1);
}

void ExpressionNode::makeLeaf(std::string_view t) {
    text_ = str(t);
    if (isNumeric(t)) {
        kind_ = Constant;
        number_ = readNumber(t);
        numberReady_ = true;
        constant_.setDouble(number_);
    } else if (t.front() == '"') {
        kind_ = Constant;
        constant_.setString(TextRef(quoted(t)));
    } else if (t == "true" || t == "false") {
        kind_ = Constant;
        constant_.setBool(t == "true");
        number_ = t == "true" ? 1.0 : 0.0;
        numberReady_ = true;
    } else {
        kind_ = Name;
        variable_.setName(text_);
        size_t dot = t.find('.');
        head_ = str(t.substr(0, dot));
        if (dot != npos) {
            std::string_view path = t.substr(dot + 1);
            path_ = str(path);
            size_t open = path.find('(');
            if (open != npos) {
                // An object call: the member is the text before the first
                // blank or "(", the arguments what the parentheses hold.
                isCall_ = true;
                member_ = str(path.substr(0, std::min(open, path.find(' '))));
                size_t close = closingParen(path, open);
                if (close == npos) close = path.size();
                arguments_ = str(path.substr(open + 1, close - open - 1));
            }
        }
    }
}

// ---------------------------------------------------------------- evaluation

// Leaves are most of a tree: a numeric constant, and a variable of the
// current list that holds a double, are read here without a call.
inline double ExpressionNode::operand(ExpressionNode* n) {
    if (!n) return 0.0;
    if (n->kind_ == Constant && n->numberReady_) return n->number_;
    if (n->kind_ == Name && n->path_.isEmpty()) {
        VariableList* list = gCurrentVariables;
        if (list && list->stamp() == n->lookupStamp_ && n->lookupVariable_) {
            const DataItem& item = n->lookupVariable_->value();
            if (item.type() == DataItem::TDouble) {
                double d;
                std::memcpy(&d, item.storage(), sizeof d);
                return d;
            }
        }
    }
    return n->evaluate();
}

double ExpressionNode::evaluate() {
    if (kind_ == Constant) return numberReady_ ? number_ : constant_.toDouble();
    if (kind_ == Name) return nameNumber();
    if (op_ >= Equal) return comparison() ? 1.0 : 0.0;

    double l = operand(left_.get());
    double r = operand(right_.get());
    switch (op_) {
        case Add:
            return l + r;
        case Subtract:
            return l - r;
        case Negate:
            return -l;
        case Multiply:
            return l * r;
        case Divide:
            return l / r;
        case Power:
            return std::pow(l, r);
        case Sqrt:
            return std::sqrt(l);
        // Angles are degrees; the argument of the inverse functions is
        // scaled the same way, and no result is converted back.
        case Sin:
            return std::sin(l * kDegree);
        case Cos:
            return std::cos(l * kDegree);
        case Tan:
            return std::tan(l * kDegree);
        case Asin:
            return std::asin(l * kDegree);
        case Acos:
            return std::acos(l * kDegree);
        case Atan:
            return std::atan(l * kDegree);
        case Log:
            return std::log10(l);
        case Ln:
            return std::log(l);
        case Rnd:
            return std::round(l);  // half away from zero
        case Rnup: {
            double t = std::trunc(l);
            return t >= l ? t : t + 1.0;
        }
        case Rndown:
            return std::trunc(l);
        case BitAnd:
            return double(toInt32(l) & toInt32(r));
        case BitOr:
            return double(toInt32(l) | toInt32(r));
        default:
            return 0.0;
    }
}

DataItem ExpressionNode::evaluateValue() {
    if (kind_ == Constant) return constant_;
    if (kind_ == Name) return nameValue();
    if (op_ < Equal) return DataItem(evaluate());
    DataItem result;
    result.setBool(comparison());
    return result;
}

bool ExpressionNode::numericOperand(ExpressionNode* n, double& out, bool& evaluated) {
    evaluated = false;
    if (!n) return false;
    auto plainNumber = [](const DataItem& d) {
        int t = d.type();
        return t == DataItem::TInt || t == DataItem::TUInt || t == DataItem::TLong ||
               t == DataItem::TULong || t == DataItem::TDouble;
    };
    switch (n->kind_) {
        case Operator:
            if (n->op_ >= Equal) return false;
            out = n->evaluate();  // its value is a double item
            evaluated = true;
            return true;
        case Constant:
            if (!plainNumber(n->constant_)) return false;
            out = n->constant_.toDouble();
            return true;
        default: {
            if (n->isCall_) return false;
            Variable* v = n->lookup();
            if (!v) return false;
            DataItem scratch;
            const DataItem& value = n->resolve(*v, scratch);
            if (!plainNumber(value)) return false;
            out = value.toDouble();
            return true;
        }
    }
}

bool ExpressionNode::comparison() {
    // Both operands always, left first: no short-circuit. Two plain
    // numbers compare as the typed comparison does (the sign of their
    // difference) without copying the items.
    DataItem a, b;
    double x = 0, y = 0;
    bool leftDone = false, rightDone = false;
    bool leftNumber = op_ < And && numericOperand(left_.get(), x, leftDone);
    bool rightNumber = leftNumber && numericOperand(right_.get(), y, rightDone);
    if (leftNumber && rightNumber) {
        double d = x - y;
        int c = d < 0 ? -1 : (d > 0 ? 1 : 0);
        switch (op_) {
            case Equal:
                return c == 0;
            case NotEqual:
                return c != 0;
            case Less:
                return c < 0;
            case LessEqual:
                return c <= 0;
            case Greater:
                return c > 0;
            default:
                return c >= 0;
        }
    }
    if (leftDone)
        a.setDouble(x);
    else
        a = left_ ? left_->evaluateValue() : DataItem();
    if (rightDone)
        b.setDouble(y);
    else
        b = right_ ? right_->evaluateValue() : DataItem();
    switch (op_) {
        case Equal:
            return a.compare(b) == 0;
        case NotEqual:
            return a.compare(b) != 0;
        case Less:
            return a.compare(b) < 0;
        case LessEqual:
            return a.compare(b) <= 0;
        case Greater:
            return a.compare(b) > 0;
        case GreaterEqual:
            return a.compare(b) >= 0;
        case And:
            return a.toBool() && b.toBool();
        case Or:
            return a.toBool() || b.toBool();
        default:
            return false;
    }
}

// ------------------------------------------------------------------- names

Variable* ExpressionNode::lookup() {
    VariableList* list = gCurrentVariables;
    if (!list) return nullptr;
    // Stamps are unique in the process, so an equal stamp is this very list
    // unchanged, and the variable found last time is still the answer.
    if (list->stamp() != lookupStamp_) {
        lookupVariable_ = list->find(head_);
        lookupStamp_ = list->stamp();
    }
    return lookupVariable_;
}

double ExpressionNode::nameNumber() {
    Variable* v = lookup();
    if (!v) return 0.0;
    if (path_.isEmpty()) {
        // The common case inside loops, a variable holding a double, is read
        // straight from the item's storage.
        const DataItem& item = v->value();
        if (item.type() == DataItem::TDouble) {
            double d;
            std::memcpy(&d, item.storage(), sizeof d);
            return d;
        }
        return v->numericValue();
    }
    DataItem scratch;
    return resolve(*v, scratch).toDouble();
}

DataItem ExpressionNode::nameValue() {
    Variable* v = lookup();
    if (!v) return DataItem();
    DataItem scratch;
    const DataItem& value = resolve(*v, scratch);
    // A call result moves out whole (with an object it owns); anything
    // else is copied.
    if (&value == &scratch) return scratch;
    return value;
}

const DataItem& ExpressionNode::resolve(Variable& v, DataItem& scratch) {
    DataItem* target = Variable::followTarget(v.value());
    if (!target) return scratch;  // a reference that leads nowhere: empty
    if (path_.isEmpty()) return *target;

    if (target->type() == DataItem::TObj) {
        Interfasable* object = target->getObj();
        if (!object) return *target;
        if (!isCall_) {
            DataItem* member = object->getMemberItem(path_);
            if (!member)
                throw GeneralException::format("%s no tiene un miembro %s", head_.c_str(),
                                               path_.c_str());
            return *member;
        }
        if (!object->hasMember(member_))
            throw GeneralException::format("%s no tiene una función %s", head_.c_str(),
                                           path_.c_str());
        std::unique_ptr<DataRow> args = buildArguments(false);
        scratch = object->execute(member_, args.get());
        return scratch;
    }
    // A call on a plain value (text, number, date, bool) is one of the value
    // functions, as the same call written as a statement; the arguments are
    // handed over as values.
    int tag = target->type();
    if (isCall_ && tag != DataItem::TNull && tag != DataItem::TRef) {
        std::unique_ptr<DataRow> args = buildArguments(true);
        scratch = ValueFunctions::execute(*target, member_, args.get());
        return scratch;
    }
    return *target;
}

std::unique_ptr<DataRow> ExpressionNode::buildArguments(bool referencesAsValues) {
    // Split at the commas outside double quotes (re-split at every call).
    std::string_view all = arguments_.view();
    std::vector<size_t> starts;
    if (!trimmed(all).empty()) {
        starts.push_back(0);
        bool inQuotes = false;
        for (size_t i = 0; i < all.size(); ++i) {
            if (all[i] == '"')
                inQuotes = !inQuotes;
            else if (all[i] == ',' && !inQuotes)
                starts.push_back(i + 1);
        }
    }
    auto row = std::make_unique<DataRow>(int(starts.size()));
    VariableList* list = gCurrentVariables;
    for (size_t n = 0; n < starts.size(); ++n) {
        size_t end = n + 1 < starts.size() ? starts[n + 1] - 1 : all.size();
        std::string_view piece = trimmed(all.substr(starts[n], end - starts[n]));
        DataItem& cell = *row->cell(int(n));
        if (!piece.empty() && isNumeric(piece)) {
            cell.setDouble(readNumber(piece));
        } else if (!piece.empty() && piece.front() == '"') {
            cell.setString(TextRef(quoted(piece)));
        } else if (piece == "true" || piece == "false") {
            cell.setInt(piece == "true" ? 1 : 0);
        } else {
            size_t dot = piece.find('.');
            Variable* v = list ? list->find(TextRef(piece.substr(0, dot))) : nullptr;
            if (!v || piece.empty())
                throw GeneralException::format("Variable function: Bad argument type: %s",
                                               std::string(trimmed(all.substr(starts[n]))).c_str());
            String path = dot == npos ? String() : str(piece.substr(dot + 1));
            cell = Variable::makeReference(v, path);
            if (referencesAsValues) cell = Variable::follow(cell);
        }
    }
    return row;
}

// ------------------------------------------------------------ the variables

VariableList* ExpressionNode::currentVariables() noexcept {
    return gCurrentVariables;
}

void ExpressionNode::setCurrentVariables(VariableList* list) noexcept {
    gCurrentVariables = list;
}

ExpressionNode::VariablesScope::VariablesScope(VariableList* list) noexcept
    : saved_(gCurrentVariables) {
    gCurrentVariables = list;
}

ExpressionNode::VariablesScope::~VariablesScope() {
    gCurrentVariables = saved_;
}

const char* ExpressionNode::operatorText(int32_t op) noexcept {
    switch (op) {
        case Add:
            return "+";
        case Subtract:
        case Negate:
            return "-";
        case Multiply:
            return "*";
        case Divide:
            return "/";
        case Power:
            return "^";
        case Sqrt:
            return "sqrt";
        case Sin:
            return "sin";
        case Cos:
            return "cos";
        case Tan:
            return "tan";
        case Asin:
            return "asin";
        case Acos:
            return "acos";
        case Atan:
            return "atan";
        case Log:
            return "log";
        case Ln:
            return "ln";
        case Rnd:
            return "rnd";
        case Rnup:
            return "rnup";
        case Rndown:
            return "rndown";
        case BitAnd:
            return "&";
        case BitOr:
            return "|";
        case Equal:
            return "==";
        case NotEqual:
            return "!=";
        case Less:
            return "<";
        case LessEqual:
            return "<=";
        case Greater:
            return ">";
        case GreaterEqual:
            return ">=";
        case And:
            return "&&";
        case Or:
            return "||";
        default:
            return "";
    }
}

}  // namespace VORLIN
