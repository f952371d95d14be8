#include "script/FunctionCompiler.h"

#include <climits>
#include <cstdlib>
#include <memory>

#include "core/GeneralException.h"
#include "script/MemberTables.h"
#include "script/OCAssign.h"
#include "script/OCCreate.h"
#include "script/OCFlow.h"
#include "script/OCForEach.h"
#include "script/OCFunction.h"
#include "script/OCSwitch.h"
#include "script/OCText.h"
#include "script/ScriptFunction.h"
#include "script/Variable.h"

namespace VORLIN {

namespace {

constexpr size_t npos = std::string_view::npos;
// Characters that make a value a formula.
constexpr std::string_view kOperators = "+-*/^&|()=<>!\xB7";

bool startsWith(std::string_view t, std::string_view p) {
    return t.substr(0, p.size()) == p;
}

String str(std::string_view t) {
    return String(TextRef(t));
}

// The first "//" outside double quotes, or npos.
size_t commentAt(std::string_view t) {
    bool quoted = false;
    for (size_t i = 0; i + 1 < t.size(); ++i) {
        if (t[i] == '"') quoted = !quoted;
        if (!quoted && t[i] == '/' && t[i + 1] == '/') return i;
    }
    return npos;
}

std::string_view firstWord(std::string_view line) {
    size_t end = line.find_first_of(" \t");
    return end == npos ? line : line.substr(0, end);
}

// Position of the ")" matching the "(" at `open` (quotes skipped), or npos.
size_t matching(std::string_view t, size_t open) {
    int depth = 0;
    bool quoted = false;
    for (size_t i = open; i < t.size(); ++i) {
        char c = t[i];
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '(') ++depth;
        if (c == ')' && --depth == 0) return i;
    }
    return npos;
}

// The text inside the first parenthesised group (to the end when it is not
// closed); empty without "(".
std::string_view inner(std::string_view line) {
    size_t open = line.find('(');
    if (open == npos) return std::string_view();
    size_t close = matching(line, open);
    if (close == npos) return trimBlanks(line.substr(open + 1));
    return trimBlanks(line.substr(open + 1, close - open - 1));
}

// Follows the quotes of a text one character at a time: a text in double
// or in single quotes runs to the next quote of its own kind, so an
// apostrophe inside "..." (or a double quote inside '...') is plain text.
class QuoteScan {
public:
    // Feeds `c`; true when it stands outside every quoted text (the quote
    // characters themselves belong to their text).
    bool outside(char c) noexcept {
        if (open_) {
            if (c == open_) open_ = 0;
            return false;
        }
        if (c == '"' || c == '\'') {
            open_ = c;
            return false;
        }
        return true;
    }

private:
    char open_ = 0;
};

// Splits at `sep` outside quoted texts; pieces trimmed.
std::vector<std::string_view> splitOutside(std::string_view t, char sep) {
    std::vector<std::string_view> out;
    QuoteScan quotes;
    size_t start = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        if (quotes.outside(t[i]) && t[i] == sep) {
            out.push_back(trimBlanks(t.substr(start, i - start)));
            start = i + 1;
        }
    }
    out.push_back(trimBlanks(t.substr(start)));
    return out;
}

// Whether `what` occurs in `t` outside quoted texts.
bool hasOutside(std::string_view t, std::string_view what) {
    QuoteScan quotes;
    for (size_t i = 0; i < t.size(); ++i)
        if (quotes.outside(t[i]) && t.substr(i, what.size()) == what) return true;
    return false;
}

// The text between the first double quote and the next (to the end when
// unclosed); `ok` tells whether there was a quote at all.
std::string_view quotedText(std::string_view t, bool* ok = nullptr) {
    size_t a = t.find('"');
    if (ok) *ok = a != npos;
    if (a == npos) return std::string_view();
    size_t b = t.find('"', a + 1);
    return b == npos ? t.substr(a + 1) : t.substr(a + 1, b - a - 1);
}

bool isNumberText(std::string_view t) {
    return !t.empty() && str(t).isNumber(false) && t.find(' ') == npos;
}

DataItem numberItem(std::string_view t) {
    String s = str(t);
    if (t.find_first_of(".eE") == npos) {
        long long v = std::strtoll(s.c_str(), nullptr, 10);
        if (v >= INT32_MIN && v <= INT32_MAX) return DataItem(int32_t(v));
    }
    return DataItem(s.toDouble());
}

}  // namespace

// ------------------------------------------------------------ ScriptBlock

String ScriptBlock::split(const String& text, std::vector<ScriptBlock>& out) {
    std::vector<std::string_view> lines;
    std::string_view all = text.view();
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find('\n', start);
        std::string_view line = all.substr(start, end == npos ? npos : end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == npos) break;
        start = end + 1;
    }
    auto clean = [](std::string_view line) {
        size_t c = commentAt(line);
        return trimBlanks(c == npos ? line : line.substr(0, c));
    };
    auto error = [](const char* fmt, std::string_view what) {
        String e;
        e.format(fmt, str(what).c_str());
        return e;
    };

    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = clean(lines[i]);
        if (line.empty()) continue;
        if (firstWord(line) != "FUNCTION")
            return error("Object function - Unkown command:\r\n%s", line);
        std::string_view rest = trimBlanks(line.substr(8));
        size_t open = rest.find('(');
        std::string_view name = trimBlanks(open == npos ? rest : rest.substr(0, open));
        if (name.empty()) return error("Object function - function without name:\r\n%s", line);
        if (name.find_first_of(" \t") != npos)
            return error("Object function - Invalid name:\r\n%s", line);
        ScriptBlock block;
        block.name = str(name);
        if (open != npos) {
            size_t close = rest.find(')', open);
            std::string_view args = rest.substr(open + 1, close == npos ? npos : close - open - 1);
            for (std::string_view a : splitOutside(args, ',')) {
                if (a.empty()) continue;
                if (a.find_first_of(" \t") != npos)
                    return error("Object function - Invalid argument name:\r\n%s", line);
                block.arguments.push_back(str(a));
            }
        }
        bool closed = false;
        for (++i; i < lines.size(); ++i) {
            if (firstWord(clean(lines[i])) == "ENDFUNCTION") {
                closed = true;
                break;
            }
            if (!block.body.isEmpty()) block.body.append('\n');
            block.body.append(TextRef(lines[i]));
        }
        if (!closed) return error("Object function - missing ENDFUNTION:\r\n%s", name);
        out.push_back(std::move(block));
    }
    return String();
}

// ------------------------------------------------------- FunctionCompiler

FunctionCompiler::FunctionCompiler(ScriptFunction& function, const String& body)
    : fn_(function), lines_(readLines(body.view())) {}

std::vector<String> FunctionCompiler::readLines(std::string_view t) {
    std::vector<String> out;
    size_t i = 0;
    while (i < t.size()) {
        while (i < t.size() && static_cast<unsigned char>(t[i]) < '!')
            ++i;
        String line;
        bool quoted = false;
        while (i < t.size()) {
            char c = t[i];
            if (c == '"') {
                quoted = !quoted;
            } else if (!quoted && c == '/' && i + 1 < t.size() && t[i + 1] == '/') {
                while (i < t.size() && t[i] != '\r' && t[i] != '\n')
                    ++i;
                break;
            } else if (c == '\r' || c == '\n') {
                if (!quoted) break;
                ++i;  // a break inside quotes is dropped
                continue;
            }
            line.append(c);
            ++i;
        }
        std::string_view v = trimBlanks(line.view());
        if (!v.empty()) out.push_back(str(v));
    }
    return out;
}

std::string_view FunctionCompiler::firstToken(std::string_view line) {
    size_t end = line.find_first_of(" \t=(");
    return end == npos ? line : line.substr(0, end);
}

bool FunctionCompiler::isKeyword(std::string_view token) {
    if (token.empty()) return false;
    std::string_view all(kKeywords);
    size_t at = 0;
    while ((at = all.find(token, at)) != npos) {
        bool start = at == 0 || all[at - 1] == ' ';
        bool end = at + token.size() < all.size() && all[at + token.size()] == ' ';
        if (start && end) return true;
        ++at;
    }
    return false;
}

void FunctionCompiler::fail(const char* format, const String& line) const {
    throw GeneralException::format(format, fn_.c_str(), line.c_str());
}

size_t FunctionCompiler::skipInsertBlock(size_t at) const {
    size_t i = at + 1;
    if (i >= lines_.size() || !startsWith(lines_[i].view(), "{")) return i;
    int depth = 0;
    for (; i < lines_.size(); ++i) {
        bool quoted = false;
        for (char c : lines_[i].view()) {
            if (c == '"') quoted = !quoted;
            if (quoted) continue;
            if (c == '{') ++depth;
            if (c == '}') --depth;
        }
        if (depth <= 0) return i + 1;
    }
    return i;
}

Variable* FunctionCompiler::variableOf(std::string_view text, String* path) const {
    size_t dot = text.find('.');
    Variable* v = fn_.findVariable(TextRef(text.substr(0, dot)));
    if (path) *path = dot == npos ? String() : str(text.substr(dot + 1));
    return v;
}

void FunctionCompiler::compile() {
    declarations();
    pos_ = 0;
    std::string_view end = compileUntil({}, nullptr, 0);
    (void)end;
}

void FunctionCompiler::declarations() {
    for (size_t i = 0; i < lines_.size(); ++i) {
        std::string_view line = lines_[i].view();
        std::string_view token = firstToken(line);
        if (token == "INSERT") {
            i = skipInsertBlock(i) - 1;
            continue;
        }
        if (isKeyword(token)) continue;
        size_t sign = line.find_first_of("=(");
        if (sign != npos && line[sign] == '(') continue;
        std::string_view name = token.substr(0, token.find('.'));
        if (!name.empty()) fn_.declare(str(name));
    }
}

std::string_view FunctionCompiler::compileUntil(std::initializer_list<std::string_view> ends,
                                                Loop* loop, int depth) {
    while (pos_ < lines_.size()) {
        const String& line = lines_[pos_];
        std::string_view token = firstToken(line.view());
        for (std::string_view e : ends)
            if (token == e) return e;
        statement(line, loop, depth);
    }
    return std::string_view();
}

void FunctionCompiler::statement(const String& lineRef, Loop* loop, int depth) {
    // A copy: compiling never changes the lines, but the reference must not
    // depend on that.
    String line = lineRef;
    std::string_view token = firstToken(line.view());
    if (depth > kMaxNesting) fail("Metodo %s\r\nDemasiados bloques anidados:\r\n%s", line);

    if (token == "INSERT") {
        pos_ = skipInsertBlock(pos_);
        return;
    }
    if (token == "RETURN") return compileReturn(line);
    if (token == "IF") return compileIf(line, loop, depth);
    if (token == "WHILE") return compileWhile(line, depth);
    if (token == "FOREACH") return compileForEach(line, depth);
    if (token == "SWITCH") return compileSwitch(line, loop, depth);
    if (token == "TRY") return compileTry(line, loop, depth);
    if (token == "THROW") return compileThrow(line);
    if (token == "DEFSTATEMENT") return compileDefStatement(line, depth);
    ++pos_;
    if (token == "BREAK" || token == "CONTINUE") {
        // Also inside an IF, TRY or SWITCH section nested in the body: a
        // BREAK there that did nothing would leave the loop running.
        Loop* owner = loop;
        if (token == "CONTINUE")
            while (owner && owner->switchSection)
                owner = owner->outer;
        if (owner) {
            auto jump = std::make_unique<OCJump>();
            (token == "BREAK" ? owner->breaks : owner->continues).push_back(jump.get());
            fn_.add(std::move(jump));
        }
        return;
    }
    // Any other keyword out of its block means nothing.
    if (isKeyword(token)) return;

    std::string_view v = line.view();
    size_t eq = v.find('=');
    if (eq != npos && eq > 0) {
        size_t quote = v.find_first_of("\"'");
        size_t paren = v.find('(');
        if ((quote == npos || eq < quote) && (paren == npos || eq < paren))
            return compileAssignment(line, eq);
    }
    if (v.find('(') != npos) compileCall(v, nullptr, String());
}

void FunctionCompiler::emitCondition(std::string_view condition) {
    Variable* reg = fn_.findVariable("_REG_");
    auto f = std::make_unique<OCFormula>(str(condition), &fn_.variables(), true);
    f->setTarget(reg);
    fn_.add(std::move(f));
}

void FunctionCompiler::compileReturn(const String& line) {
    ++pos_;
    if (tryDepth_ > 0)
        fail("Metodo %s\r\nNo puede salir de la función en un bloque TRY-CATCH", line);
    Variable* result = fn_.findVariable("_RETURN_");
    std::string_view value = trimBlanks(line.view().substr(6));
    if (value.empty()) {
        auto c = std::make_unique<OCAsignCte>(DataItem());
        c->setTarget(result);
        fn_.add(std::move(c));
    } else {
        compileValue(result, String(), String("_RETURN_"), value, false);
    }
    fn_.add(std::make_unique<OCReturn>());
}

void FunctionCompiler::compileIf(const String& line, Loop* loop, int depth) {
    ++pos_;
    Variable* reg = fn_.findVariable("_REG_");
    std::vector<OCIf*> ifs;
    std::vector<OCJump*> jumps;
    auto open = [&](std::string_view text) {
        emitCondition(inner(text));
        auto test = std::make_unique<OCIf>(reg);
        ifs.push_back(test.get());
        fn_.add(std::move(test));
    };
    auto closeBranch = [&]() {
        auto jump = std::make_unique<OCJump>();
        jumps.push_back(jump.get());
        int at = fn_.add(std::move(jump));
        ifs.back()->setElseTo(at + 1);
    };
    open(line.view());
    bool afterElseIf = false;
    for (;;) {
        std::string_view end = compileUntil({"ELSEIF", "ELSE", "ENDIF"}, loop, depth + 1);
        if (end.empty())
            fail(afterElseIf ? "Metodo %s\r\nIF  ELSEIF sin ENDIF:\r\n%s"
                             : "Metodo %s\r\nIF sin ENDIF:\r\n%s",
                 line);
        if (end == "ELSEIF") {
            closeBranch();
            String next = lines_[pos_++];
            open(next.view());
            afterElseIf = true;
            continue;
        }
        if (end == "ELSE") {
            closeBranch();
            ++pos_;
            if (compileUntil({"ENDIF"}, loop, depth + 1).empty())
                fail(afterElseIf ? "Metodo %s\r\nIF  ELSEIF sin ENDIF:\r\n%s"
                                 : "Metodo %s\r\nIF sin ENDIF:\r\n%s",
                     line);
        }
        break;  // at ENDIF
    }
    ++pos_;
    int after = fn_.size();
    for (OCIf* test : ifs)
        test->setEndTo(after);
    for (OCJump* jump : jumps)
        jump->setTo(after);
}

void FunctionCompiler::compileWhile(const String& line, int depth) {
    ++pos_;
    int condition = fn_.size();
    emitCondition(inner(line.view()));
    auto test = std::make_unique<OCWhile>(fn_.findVariable("_REG_"));
    OCWhile* loopTest = test.get();
    fn_.add(std::move(test));
    Loop loop;
    if (compileUntil({"ENDWHILE"}, &loop, depth + 1).empty())
        fail("Metodo %s\r\nWHILE sin ENDEHILE:\r\n%s", line);
    ++pos_;
    auto back = std::make_unique<OCJump>();
    back->setTo(condition);
    int at = fn_.add(std::move(back));
    loopTest->setExitTo(at + 1);
    for (OCJump* j : loop.breaks)
        j->setTo(at + 1);
    for (OCJump* j : loop.continues)
        j->setTo(condition);
}

void FunctionCompiler::compileForEach(const String& line, int depth) {
    ++pos_;
    std::string_view names = inner(line.view());
    size_t comma = names.find(',');
    Variable* collection =
        comma == npos ? nullptr : fn_.findVariable(TextRef(trimBlanks(names.substr(0, comma))));
    Variable* element =
        comma == npos ? nullptr : fn_.findVariable(TextRef(trimBlanks(names.substr(comma + 1))));
    if (!collection || !element) return;  // compiles to nothing; the body runs in line

    auto head = std::make_unique<OCForEach>(collection, element);
    OCForEach* start = head.get();
    int first = fn_.add(std::move(head));
    Loop loop;
    if (compileUntil({"ENDFOREACH"}, &loop, depth + 1).empty())
        fail("Metodo %s\r\nFOREACH sin ENDFOREACH:\r\n%s", line);
    ++pos_;
    int next = fn_.add(std::make_unique<OCNextForEach>(collection, element, first));
    start->setLoopEnd(next);
    for (OCJump* j : loop.breaks)
        j->setTo(next + 1);
    for (OCJump* j : loop.continues)
        j->setTo(next);
}

void FunctionCompiler::compileSwitch(const String& line, Loop* loop, int depth) {
    ++pos_;
    std::string_view selector = inner(line.view());
    String path;
    Variable* v = selector.empty() ? nullptr : variableOf(selector, &path);
    if (!v) fail("Metodo %s\r\nSWITCH sin argumento valido:\r\n%s", line);
    auto sw = std::make_unique<OCSwitch>(v, path);
    OCSwitch* test = sw.get();
    fn_.add(std::move(sw));
    std::vector<OCJump*> jumps;
    // BREAK lines nested deeper in a section end the section as well.
    Loop sections;
    sections.switchSection = true;
    sections.outer = loop;

    auto section = [&]() {
        std::string_view end =
            compileUntil({"BREAK", "CASE", "DEFAULT", "ENDSWITCH"}, &sections, depth + 1);
        if (end.empty()) fail("Metodo %s\r\nSWITCH sin ENDSWITCH:\r\n%s", line);
        if (end == "BREAK") ++pos_;
        // A section always ends here: no fall-through.
        auto jump = std::make_unique<OCJump>();
        jumps.push_back(jump.get());
        fn_.add(std::move(jump));
    };

    while (pos_ < lines_.size()) {
        String current = lines_[pos_];
        std::string_view token = firstToken(current.view());
        if (token == "ENDSWITCH") {
            ++pos_;
            int after = fn_.size();
            test->setEndTo(after);
            for (OCJump* j : jumps)
                j->setTo(after);
            for (OCJump* j : sections.breaks)
                j->setTo(after);
            return;
        }
        if (token == "CASE") {
            std::string_view value = trimBlanks(current.view().substr(4));
            if (value.empty()) fail("Metodo %s\r\nCASE sin argumento:\r\n%s", current);
            DataItem c;
            if (isNumberText(value)) {
                c.setDouble(str(value).toDouble());
            } else if (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') &&
                       value.back() == value.front()) {
                c.setString(TextRef(value.substr(1, value.size() - 2)));
            } else {
                fail("Metodo %s\r\nArgumento invalido en case:\r\n%s", current);
            }
            ++pos_;
            test->addCase(c, fn_.size());
            section();
            continue;
        }
        if (token == "DEFAULT") {
            ++pos_;
            test->setDefaultTo(fn_.size());
            section();
            continue;
        }
        fail("Metodo %s\r\nComando invalido dentro de un SWITCH:\r\n%s", current);
    }
    fail("Metodo %s\r\nSWITCH sin ENDSWITCH:\r\n%s", line);
}

void FunctionCompiler::compileTry(const String& line, Loop* loop, int depth) {
    ++pos_;
    if (tryDepth_ > 0) fail("Metodo %s\r\nNo estan permitidos bloques TRY-CATCH anidados", line);
    ++tryDepth_;
    auto open = std::make_unique<OCTry>();
    OCTry* block = open.get();
    fn_.add(std::move(open));
    std::string_view end = compileUntil({"CATCH", "ENDTRY"}, loop, depth + 1);
    if (end.empty()) fail("Metodo %s\r\nTRY sin ENDTRY", line);
    if (end == "ENDTRY") fail("Metodo %s\r\nTRY sin CATCH", line);
    ++pos_;
    auto marker = std::make_unique<OCJump>();
    OCJump* skip = marker.get();
    int at = fn_.add(std::move(marker));
    if (compileUntil({"ENDTRY"}, loop, depth + 1).empty())
        fail("Metodo %s\r\nTRY sin ENDTRY", line);
    ++pos_;
    int after = fn_.size();
    skip->setTo(after);
    block->setCatchMarker(at);
    block->setEnd(after);
    --tryDepth_;
}

void FunctionCompiler::compileThrow(const String& line) {
    ++pos_;
    bool quoted = false;
    std::string_view message = quotedText(line.view(), &quoted);
    if (!quoted) fail("Metodo: %s\r\nTHROW sin argumento", line);
    fn_.add(std::make_unique<OCThrow>(str(message)));
}

void FunctionCompiler::compileDefStatement(const String& line, int depth) {
    ++pos_;
    std::string_view name = inner(line.view());
    Variable* v = name.empty() ? nullptr : fn_.findVariable(TextRef(name));
    if (!v) {
        throw GeneralException::format("Metodo %s\r\nDEFSTATEMENT: %s no se ha declarado",
                                       fn_.c_str(), str(name).c_str());
    }
    int at = fn_.size();
    auto head = std::make_unique<OCDefStatement>(at + 2);
    head->setTarget(v);
    fn_.add(std::move(head));
    auto over = std::make_unique<OCJump>();
    OCJump* jump = over.get();
    fn_.add(std::move(over));
    if (compileUntil({"ENDSTATEMENT"}, nullptr, depth + 1).empty())
        fail("Metodo %s\r\nDEFSTATEMENT sin ENDSTATEMENT:\r\n%s", line);
    ++pos_;
    int stop = fn_.add(std::make_unique<OCNull>());
    jump->setTo(stop + 1);
}

void FunctionCompiler::compileAssignment(const String& line, size_t eq) {
    std::string_view target = trimBlanks(line.view().substr(0, eq));
    std::string_view value = trimBlanks(line.view().substr(eq + 1));
    String path;
    Variable* v = variableOf(target, &path);
    if (!v)
        throw GeneralException::format("%s.Asignar: la variable %s no está declarada", fn_.c_str(),
                                       str(target).c_str());
    if (value.empty())
        throw GeneralException::format("%s.Asignar: no se definió la asignación %s = ???",
                                       fn_.c_str(), str(target).c_str());
    compileValue(v, path, str(target), value, true);
}

bool FunctionCompiler::parseConstant(std::string_view t, DataItem& out, int& kind) const {
    kind = OCAsignCte::Plain;
    if (isNumberText(t)) {
        out = numberItem(t);
        return true;
    }
    if (t.size() >= 2 && t.front() == '\'' && t.back() == '\'') {
        out.setString(TextRef(t.substr(1, t.size() - 2)));
        return true;
    }
    if (t == "true" || t == "false") {
        out.setBool(t == "true");
        return true;
    }
    if (t == "null") {
        out.setNull();
        return true;
    }
    if (t == "hoy")
        kind = OCAsignCte::Hoy;
    else if (t == "hoyDia")
        kind = OCAsignCte::HoyDia;
    else if (t == "hora")
        kind = OCAsignCte::Hora;
    else
        return false;
    return true;
}

void FunctionCompiler::compileValue(Variable* target, const String& path, const String& targetText,
                                    std::string_view value, bool all) {
    auto emit = [&](std::unique_ptr<OpCode> op) {
        op->setTarget(target, path);
        fn_.add(std::move(op));
    };
    if (all) {
        if (startsWith(value, "Row(") || startsWith(value, "DataRow(")) {
            std::string_view n = inner(value);
            int count = isNumberText(n) ? str(n).toInt() : 0;
            return emit(std::make_unique<OCSetRow>(count));
        }
        if (startsWith(value, "Grid(") || startsWith(value, "DataSet(")) {
            std::string_view args = inner(value);
            if (args.empty()) return emit(std::make_unique<OCSetGrid>());
            std::vector<std::string_view> pieces = splitOutside(args, ',');
            if (pieces.size() == 2) {
                bool q1 = !pieces[0].empty() && pieces[0].front() == '"';
                bool q2 = !pieces[1].empty() && pieces[1].front() == '"';
                if (q1 && q2)
                    return emit(std::make_unique<OCSetGrid>(str(quotedText(pieces[0])),
                                                            str(quotedText(pieces[1]))));
                Variable* a = fn_.findVariable(TextRef(pieces[0]));
                Variable* b = fn_.findVariable(TextRef(pieces[1]));
                if (a && b) return emit(std::make_unique<OCSetGrid>(a, b));
            }
            throw GeneralException::format("%s:\r\n%s=Grid(): Argumentos incorrectos.", fn_.c_str(),
                                           targetText.c_str());
        }
        if (startsWith(value, "TableSet(")) {
            String name = str(inner(value));
            name.removeChars("\"");
            name.trim();
            return emit(std::make_unique<OCSetTable>(name));
        }
        if (startsWith(value, "DbConnection(")) {
            std::string_view args = inner(value);
            bool quoted = false;
            std::string_view name = quotedText(args, &quoted);
            return emit(std::make_unique<OCConnection>(str(quoted ? name : args)));
        }
        if (startsWith(value, "Obj[](") || startsWith(value, "Obj(")) {
            bool expanded = startsWith(value, "Obj[](");
            std::string_view source = inner(value);
            String sourcePath;
            Variable* s = source.empty() ? nullptr : variableOf(source, &sourcePath);
            if (!s)
                throw GeneralException::format(
                    expanded ? "%s:\r\n%s=Obj[](%s): El objeto no existe."
                             : "%s:\r\n%s=Obj(%s): El objeto no existe.",
                    fn_.c_str(), targetText.c_str(), str(source).c_str());
            if (expanded) return emit(std::make_unique<OCAsignExpanded>(s, sourcePath));
            return emit(std::make_unique<OCAsignObject>(s, sourcePath));
        }
        // A "&" inside a quoted text ('Tom & Jerry') is part of the text, and
        // "&&" is the logical and of a formula.
        if (hasOutside(value, "&") && !hasOutside(value, "&&"))
            return compileConcat(target, path, value);
        // Only a value that starts with the quote is a text: h.f("x") is a
        // call whatever its arguments hold.
        if (value.front() == '"') {
            std::string_view text = quotedText(value);
            size_t open = text.find('[');
            if (open != npos && text.find(']', open) != npos)
                return compileSubstitute(target, path, text);
            return emit(std::make_unique<OCAsignCte>(DataItem(str(text))));
        }
    } else if (!value.empty() && value.front() == '"') {
        return emit(std::make_unique<OCAsignCte>(DataItem(str(quotedText(value)))));
    }

    DataItem constant;
    int kind = 0;
    if (parseConstant(value, constant, kind))
        return emit(std::make_unique<OCAsignCte>(constant, kind));

    size_t headEnd = value.find_first_of(".([ \t,+-*/^&|=<>!\xB7");
    std::string_view head = value.substr(0, headEnd);
    Variable* source = head.empty() ? nullptr : fn_.findVariable(TextRef(head));
    bool isCall = false;
    size_t open = value.find('(');
    if (open != npos && matching(value, open) == value.size() - 1) {
        std::string_view callee = value.substr(0, open);
        isCall = (source && headEnd < value.size() && value[headEnd] == '.' &&
                  callee.find_first_of(kOperators) == npos) ||
                 (!source && MemberTables::isAppMember(str(trimBlanks(callee))));
    }
    if (isCall) return compileCall(value, target, path);
    if (source && value.find_first_of(kOperators) == npos) {
        String sourcePath = headEnd == npos ? String() : str(value.substr(headEnd + 1));
        return emit(std::make_unique<OCAsignObjMember>(source, sourcePath));
    }
    emit(std::make_unique<OCFormula>(str(value), &fn_.variables(), false));
}

void FunctionCompiler::compileConcat(Variable* target, const String& path, std::string_view value) {
    Variable* concat = fn_.findVariable("_CONCAT_");
    Variable* reg = fn_.findVariable("_REG_");
    auto start = std::make_unique<OCAsignCte>(DataItem(""));
    start->setTarget(concat);
    fn_.add(std::move(start));
    for (std::string_view piece : splitOutside(value, '&')) {
        if (piece.empty()) continue;
        if (piece.front() == '"') {
            std::string_view text = quotedText(piece);
            size_t open = text.find('[');
            if (open != npos && text.find(']', open) != npos) {
                compileSubstitute(reg, String(), text);
                fn_.add(std::make_unique<OCConcat>(concat, reg, String()));
            } else {
                fn_.add(std::make_unique<OCConcat>(concat, DataItem(str(text))));
            }
            continue;
        }
        DataItem constant;
        int kind = 0;
        if (parseConstant(piece, constant, kind) && kind == OCAsignCte::Plain) {
            // Numbers as written; quoted texts without their quotes.
            DataItem text(constant.type() == DataItem::TString ? constant.text() : str(piece));
            fn_.add(std::make_unique<OCConcat>(concat, text));
            continue;
        }
        size_t headEnd = piece.find_first_of(".([ \t,+-*/^&|=<>!\xB7");
        Variable* source = fn_.findVariable(TextRef(piece.substr(0, headEnd)));
        if (source && piece.find_first_of(kOperators) == npos) {
            String sourcePath = headEnd == npos ? String() : str(piece.substr(headEnd + 1));
            fn_.add(std::make_unique<OCConcat>(concat, source, sourcePath));
            continue;
        }
        size_t open = piece.find('(');
        if (source && headEnd < piece.size() && piece[headEnd] == '.' && open != npos &&
            matching(piece, open) == piece.size() - 1) {
            compileCall(piece, reg, String());
        } else {
            auto f = std::make_unique<OCFormula>(str(piece), &fn_.variables(), false);
            f->setTarget(reg);
            fn_.add(std::move(f));
        }
        fn_.add(std::make_unique<OCConcat>(concat, reg, String()));
    }
    auto copy = std::make_unique<OCAsignObjMember>(concat, String());
    copy->setTarget(target, path);
    fn_.add(std::move(copy));
}

void FunctionCompiler::compileSubstitute(Variable* target, const String& path,
                                         std::string_view text) {
    String templ;
    std::vector<OCSubstitute::Source> sources;
    size_t i = 0;
    while (i < text.size()) {
        size_t open = text.find('[', i);
        size_t close = open == npos ? npos : text.find(']', open);
        if (close == npos) {
            templ.append(TextRef(text.substr(i)));
            break;
        }
        templ.append(TextRef(text.substr(i, open - i)));
        std::string_view name = trimBlanks(text.substr(open + 1, close - open - 1));
        String memberPath;
        Variable* v = name.empty() ? nullptr : variableOf(name, &memberPath);
        if (!v)
            throw GeneralException::format("Metodo: %s\r\n[%s] no es una variable valida: %s",
                                           fn_.c_str(), str(name).c_str(), str(text).c_str());
        templ.append('_');
        templ.appendInt(int64_t(sources.size()));
        templ.append('_');
        sources.emplace_back(v, memberPath);
        i = close + 1;
    }
    auto op = std::make_unique<OCSubstitute>(templ, std::move(sources));
    op->setTarget(target, path);
    fn_.add(std::move(op));
}

DataItem FunctionCompiler::parseArgument(std::string_view piece, const String& all) {
    if (isNumberText(piece)) return DataItem(str(piece).toDouble());
    // A quoted text must be the whole piece: "a" & b is no argument.
    if (piece.size() >= 2 && piece.front() == '"' && piece.back() == '"' &&
        piece.find('"', 1) == piece.size() - 1)
        return DataItem(str(piece.substr(1, piece.size() - 2)));
    if (piece == "true") return DataItem(int32_t(1));
    if (piece == "false") return DataItem(int32_t(0));
    String path;
    Variable* v = piece.empty() || piece.find_first_of(" \t\"'()") != npos
                      ? nullptr
                      : variableOf(piece, &path);
    if (!v)
        throw GeneralException::format("Metodo: %s\r\nArgumento de función invalido: %s",
                                       fn_.c_str(), all.c_str());
    return Variable::makeReference(v, path);
}

void FunctionCompiler::compileCall(std::string_view text, Variable* target, const String& path) {
    size_t open = text.find('(');
    std::string_view callee = trimBlanks(text.substr(0, open));
    size_t dot = callee.find('.');
    std::string_view objectName = dot == npos ? callee : callee.substr(0, dot);
    std::string_view member = dot == npos ? std::string_view() : callee.substr(dot + 1);
    if (dot == npos && MemberTables::isAppMember(str(callee))) {
        objectName = "app";
        member = callee;
    }
    Variable* object = member.empty() ? nullptr : fn_.findVariable(TextRef(objectName));
    if (!object)
        throw GeneralException::format("Metodo: %s\r\nEl objeto %s no existe en la función ",
                                       fn_.c_str(), str(objectName).c_str());
    std::string_view args = inner(text);
    std::vector<DataItem> arguments;
    if (!args.empty()) {
        for (std::string_view piece : splitOutside(args, ','))
            arguments.push_back(parseArgument(piece, str(piece.empty() ? args : piece)));
    }
    auto op = std::make_unique<OCFunction>(object, str(member), std::move(arguments),
                                           str(trimBlanks(text)));
    op->setTarget(target, path);
    fn_.add(std::move(op));
}

}  // namespace VORLIN
