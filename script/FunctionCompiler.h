// FunctionCompiler: turns script text into ScriptFunctions.
//
// ScriptBlock::split reads a script text (lines separated by "\r\n"; a bare
// "\n" is accepted too) into FUNCTION ... ENDFUNCTION blocks: each header is
// "FUNCTION name(arg1, arg2)"; outside a block only such headers may stand.
//
// FunctionCompiler compiles one block body into its function in two passes.
// The body's line reader skips leading blanks and control characters, lets
// a double-quoted text run across line breaks (the breaks are dropped) and
// drops "//" comments outside quotes. Pass 1 declares every variable a
// line assigns or names alone (the part of the first token before its
// first "."); pass 2 compiles each line by its first token: RETURN, IF /
// ELSEIF / ELSE / ENDIF, WHILE / ENDWHILE, FOREACH / ENDFOREACH, SWITCH /
// CASE / DEFAULT / BREAK / ENDSWITCH, TRY / CATCH / ENDTRY, THROW,
// DEFSTATEMENT / ENDSTATEMENT, BREAK and CONTINUE directly in a loop body,
// assignments ("target = value", in the forms Row(, Grid(, TableSet(,
// DbConnection(, Obj(, Obj[](, concatenation with "&", quoted text with
// [variable] substitution, constants, copies, member calls and formulas),
// and member calls ("objeto.miembro(args)", or an "app" member alone).
//
// Throws GeneralException with the compile texts ("Object function - ..."
// from split; "Metodo %s\r\n..." and "%s.Asignar: ..." from compile; the
// expression parser's texts), including "Metodo %s\r\nDemasiados bloques
// anidados:\r\n%s" beyond kMaxNesting nested blocks, so that no text can
// exhaust the stack. The UI thread only.
#pragma once

#include <initializer_list>
#include <string_view>
#include <vector>

#include "core/DataItem.h"
#include "core/String.h"

namespace VORLIN {

class OCJump;
class ScriptFunction;
class Variable;

struct ScriptBlock {
    String name;
    std::vector<String> arguments;
    String body;  // the body lines joined with "\n"

    // Appends the blocks of `text` to `out`; answers the error text of the
    // first structural error (the blocks before it stay), or empty.
    static String split(const String& text, std::vector<ScriptBlock>& out);
};

class FunctionCompiler {
public:
    static constexpr int kMaxNesting = 200;
    // Keywords of the language, each followed by a blank.
    static constexpr const char* kKeywords =
        "IF ELSE ELSEIF ENDIF WHILE ENDWHILE INSERT RETURN FOREACH ENDFOREACH SWITCH ENDSWITCH "
        "CASE BREAK DEFAULT TRY CATCH ENDTRY THROW CONTINUE DEFSTATEMENT ENDSTATEMENT ";

    FunctionCompiler(ScriptFunction& function, const String& body);
    // Both passes; throws the compile texts.
    void compile();

    // The logical lines of a body (see the header).
    static std::vector<String> readLines(std::string_view body);
    // The text up to the first blank, "=" or "(".
    static std::string_view firstToken(std::string_view line);
    static bool isKeyword(std::string_view token);

private:
    // Where BREAK and CONTINUE lines jump to. A loop body opens one; so
    // does a SWITCH section, whose BREAK ends the section and whose
    // CONTINUE belongs to the loop around it (`outer`).
    struct Loop {
        std::vector<OCJump*> breaks;
        std::vector<OCJump*> continues;
        bool switchSection = false;
        Loop* outer = nullptr;
    };

    void declarations();
    // Compiles lines until one whose first token is among `ends` (left
    // current); answers that token, or empty at the end of the body.
    std::string_view compileUntil(std::initializer_list<std::string_view> ends, Loop* loop,
                                  int depth);
    void statement(const String& line, Loop* loop, int depth);
    void compileReturn(const String& line);
    void compileIf(const String& line, Loop* loop, int depth);
    void compileWhile(const String& line, int depth);
    void compileForEach(const String& line, int depth);
    void compileSwitch(const String& line, Loop* loop, int depth);
    void compileTry(const String& line, Loop* loop, int depth);
    void compileThrow(const String& line);
    void compileDefStatement(const String& line, int depth);
    void compileAssignment(const String& line, size_t eq);
    // The value forms; `all` is false for RETURN (constants, calls,
    // formulas and copies only).
    void compileValue(Variable* target, const String& path, const String& targetText,
                      std::string_view value, bool all);
    void compileConcat(Variable* target, const String& path, std::string_view value);
    // A quoted template with [name] placeholders, written to the target.
    void compileSubstitute(Variable* target, const String& path, std::string_view text);
    // A call statement (target null) or a call value.
    void compileCall(std::string_view text, Variable* target, const String& path);
    void emitCondition(std::string_view condition);
    // Skips the "{" ... "}" block after an INSERT line at `at`; answers the
    // index after it.
    size_t skipInsertBlock(size_t at) const;

    bool parseConstant(std::string_view text, DataItem& out, int& kind) const;
    DataItem parseArgument(std::string_view piece, const String& all);
    Variable* variableOf(std::string_view text, String* path) const;
    [[noreturn]] void fail(const char* format, const String& line) const;

    ScriptFunction& fn_;
    std::vector<String> lines_;
    size_t pos_ = 0;
    int tryDepth_ = 0;
};

}  // namespace VORLIN
