#include "app/query/QueryClassifier.h"

#include <cctype>
#include <string>
#include <string_view>
#include <vector>

using VORLIN::String;

namespace {

struct Token {
    enum Type { Word, Quoted, Symbol } type;
    size_t begin;
    size_t end;  // one past the last byte
    char quote;  // for Quoted: the opening character
};

bool isWordByte(unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80;
}

// Splits an SQL text into words, quoted pieces and single symbols; comments
// are skipped (and noted) like spaces.
std::vector<Token> tokenize(std::string_view s, bool* sawComment = nullptr) {
    std::vector<Token> out;
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isspace(c)) {
            ++i;
        } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
            if (sawComment) *sawComment = true;
            while (i < n && s[i] != '\n')
                ++i;
        } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            if (sawComment) *sawComment = true;
            size_t close = s.find("*/", i + 2);
            i = close == std::string_view::npos ? n : close + 2;
        } else if (c == '\'' || c == '"' || c == '`' || c == '[') {
            const char closing = c == '[' ? ']' : char(c);
            size_t j = i + 1;
            while (j < n) {
                if (s[j] == closing) {
                    // A doubled quote stands for itself inside the piece.
                    if (closing != ']' && j + 1 < n && s[j + 1] == closing) {
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                ++j;
            }
            out.push_back({Token::Quoted, i, j, char(c)});
            i = j;
        } else if (isWordByte(c)) {
            size_t j = i;
            while (j < n && isWordByte(static_cast<unsigned char>(s[j])))
                ++j;
            out.push_back({Token::Word, i, j, 0});
            i = j;
        } else {
            out.push_back({Token::Symbol, i, i + 1, 0});
            ++i;
        }
    }
    return out;
}

bool isWord(std::string_view s, const Token& t, std::string_view word) {
    if (t.type != Token::Word || t.end - t.begin != word.size()) return false;
    for (size_t k = 0; k < word.size(); ++k) {
        if (std::toupper(static_cast<unsigned char>(s[t.begin + k])) != word[k]) return false;
    }
    return true;
}

bool isSymbol(std::string_view s, const Token& t, char symbol) {
    return t.type == Token::Symbol && s[t.begin] == symbol;
}

// Words that make a statement more than the rows of one table.
bool endsPlainSelect(std::string_view s, const Token& t) {
    static const char* const words[] = {"LIMIT",     "GROUP",  "HAVING", "UNION",
                                        "INTERSECT", "EXCEPT", "OFFSET", "WINDOW",
                                        "JOIN",      "FROM",   "WHERE",  "RETURNING"};
    for (const char* w : words) {
        if (isWord(s, t, w)) return true;
    }
    return false;
}

// The text between two positions with surrounding spaces taken off.
std::string_view trimmed(std::string_view s, size_t from, size_t to) {
    while (from < to && std::isspace(static_cast<unsigned char>(s[from])))
        ++from;
    while (to > from && std::isspace(static_cast<unsigned char>(s[to - 1])))
        --to;
    return s.substr(from, to - from);
}

// Runs of spaces outside quoted pieces become one space.
std::string reduceSpaces(std::string_view s) {
    std::string out;
    std::vector<Token> tokens = tokenize(s);
    for (size_t k = 0; k < tokens.size(); ++k) {
        if (k > 0 && tokens[k].begin > tokens[k - 1].end) out.push_back(' ');
        out.append(s.substr(tokens[k].begin, tokens[k].end - tokens[k].begin));
    }
    return out;
}

// The name a table token stands for: a plain word, or a quoted name with
// its quotes taken off (and doubled quotes made single).
bool tableName(std::string_view s, const Token& t, std::string& name) {
    if (t.type == Token::Word) {
        name.assign(s.substr(t.begin, t.end - t.begin));
        return true;
    }
    if (t.type != Token::Quoted || t.quote == '\'') return false;
    const char closing = t.quote == '[' ? ']' : t.quote;
    if (t.end - t.begin < 3 || s[t.end - 1] != closing) return false;  // empty or unclosed
    name.clear();
    for (size_t k = t.begin + 1; k + 1 < t.end; ++k) {
        name.push_back(s[k]);
        if (closing != ']' && s[k] == closing) ++k;
    }
    return true;
}

}  // namespace

const char* QueryClassifier::Result::message() const {
    switch (kind) {
        case Kind::Vacuum:
            return kVacuumDone;
        case Kind::Command:
            return kCommandDone;
        default:
            return "";
    }
}

bool QueryClassifier::parseTableSelect(const String& text, TableSelect& out) {
    const std::string_view s = text.view();
    bool sawComment = false;
    std::vector<Token> t = tokenize(s, &sawComment);
    if (sawComment || t.size() < 4) return false;
    if (!isWord(s, t[0], "SELECT") || !isSymbol(s, t[1], '*') || !isWord(s, t[2], "FROM"))
        return false;
    std::string name;
    if (!tableName(s, t[3], name)) return false;
    if (t[3].type == Token::Word &&
        (endsPlainSelect(s, t[3]) || isWord(s, t[3], "ORDER") || isWord(s, t[3], "SELECT")))
        return false;

    enum { AfterTable, InWhere, InOrder } phase = AfterTable;
    size_t whereBegin = 0, whereEnd = 0, orderBegin = 0, orderEnd = 0;
    int depth = 0;
    size_t k = 4;
    for (; k < t.size(); ++k) {
        const Token& tok = t[k];
        if (isWord(s, tok, "SELECT")) return false;  // a subquery
        if (isSymbol(s, tok, '(')) {
            ++depth;
        } else if (isSymbol(s, tok, ')')) {
            if (--depth < 0) return false;
        }
        if (depth > 0 || (isSymbol(s, tok, '(') && phase == AfterTable)) {
            if (phase == AfterTable) return false;
            continue;
        }
        if (isSymbol(s, tok, ';')) break;
        const bool order = isWord(s, tok, "ORDER") && k + 1 < t.size() && isWord(s, t[k + 1], "BY");
        if (phase == AfterTable) {
            if (isWord(s, tok, "WHERE")) {
                phase = InWhere;
                whereBegin = tok.end;
            } else if (order) {
                phase = InOrder;
                orderBegin = t[++k].end;
            } else {
                return false;  // an alias, a join, another table, LIMIT ...
            }
        } else if (order && phase == InWhere) {
            whereEnd = tok.begin;
            phase = InOrder;
            orderBegin = t[++k].end;
        } else if (order || isWord(s, tok, "ORDER") || endsPlainSelect(s, tok)) {
            return false;
        }
    }
    if (depth != 0) return false;
    const size_t end = k < t.size() ? t[k].begin : s.size();
    // Only closing semicolons may follow: a second statement is no table.
    for (size_t j = k; j < t.size(); ++j) {
        if (!isSymbol(s, t[j], ';')) return false;
    }
    if (phase == InWhere) whereEnd = end;
    if (phase == InOrder) orderEnd = end;

    std::string_view where =
        phase == AfterTable ? std::string_view() : trimmed(s, whereBegin, whereEnd);
    std::string_view orderBy =
        phase == InOrder ? trimmed(s, orderBegin, orderEnd) : std::string_view();
    if (whereBegin != 0 && where.empty()) return false;
    if (phase == InOrder && orderBy.empty()) return false;
    out.table = String(name);
    out.where = String(where);
    out.orderBy = String(reduceSpaces(orderBy));
    return true;
}

QueryClassifier::Result QueryClassifier::classify(const String& text) {
    Result r;
    // Line breaks and tabs around the editor's text count as spaces.
    r.text = String(trimmed(text.view(), 0, text.length()));
    if (r.text.isEmpty()) return r;
    const std::string_view s = r.text.view();
    std::vector<Token> t = tokenize(s);
    auto first = [&](const char* word) { return !t.empty() && isWord(s, t[0], word); };

    if (first("SELECT")) {
        r.kind = parseTableSelect(r.text, r.select) ? Kind::Table : Kind::Query;
    } else if (first("PRAGMA")) {
        r.kind = Kind::Query;
    } else if (first("VACUUM")) {
        r.kind = Kind::Vacuum;
    } else if (first("CREATE") || first("DROP")) {
        r.kind = Kind::Command;
        r.changesTables = true;
    } else if (first("DELETE") || first("UPDATE") || first("REPLACE")) {
        r.kind = Kind::Command;
    } else {
        r.kind = Kind::Query;
    }
    return r;
}
