#include "db/SqlStatements.h"

#include <cctype>
#include <string>

namespace VORLIN {

namespace {

bool isWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Skips a comment or a quoted part starting at p; answers where it ends,
// or p when none starts there.
const char* skipQuotedOrComment(const char* p, const char* end) {
    char c = *p;
    if ((c == '-' && p + 1 < end && p[1] == '-') || c == '#') {
        while (p < end && *p != '\n')
            ++p;
        return p;
    }
    if (c == '/' && p + 1 < end && p[1] == '*') {
        p += 2;
        while (p + 1 < end && !(p[0] == '*' && p[1] == '/'))
            ++p;
        return p + 1 < end ? p + 2 : end;
    }
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
        char close = c == '[' ? ']' : c;
        ++p;
        while (p < end) {
            if (*p == close) {
                if (close != ']' && p + 1 < end && p[1] == close) {
                    p += 2;
                    continue;
                }
                return p + 1;
            }
            ++p;
        }
        return end;
    }
    return p;
}

std::string upperWord(const char*& p, const char* end) {
    std::string word;
    while (p < end && isWordChar(*p))
        word += char(std::toupper(static_cast<unsigned char>(*p++)));
    return word;
}

}  // namespace

String SqlStatements::firstWord(const String& statement) {
    const char* p = statement.c_str();
    const char* end = p + statement.length();
    while (p < end) {
        if (isSpace(*p) || *p == '(') {
            ++p;
            continue;
        }
        const char* q = skipQuotedOrComment(p, end);
        if (q != p && *p != '\'' && *p != '"' && *p != '`' && *p != '[') {
            p = q;
            continue;
        }
        return isWordChar(*p) ? String(upperWord(p, end)) : String();
    }
    return String();
}

std::vector<String> SqlStatements::split(const String& sql) {
    std::vector<String> out;
    const char* p = sql.c_str();
    const char* end = p + sql.length();
    const char* start = p;
    // Words of the statement so far, to find a trigger's body.
    int words = 0;
    bool trigger = false;
    int depth = 0;  // BEGIN ... END nesting inside a trigger
    auto finish = [&](const char* stop) {
        while (start < stop && isSpace(*start))
            ++start;
        while (stop > start && isSpace(stop[-1]))
            --stop;
        String text(std::string(start, size_t(stop - start)));
        // A statement of comments only is left out.
        const char* q = text.c_str();
        const char* e = q + text.length();
        while (q < e) {
            if (isSpace(*q)) {
                ++q;
                continue;
            }
            const char* r = skipQuotedOrComment(q, e);
            if (r == q || *q == '\'' || *q == '"' || *q == '`' || *q == '[') {
                out.push_back(text);
                break;
            }
            q = r;
        }
        words = 0;
        trigger = false;
        depth = 0;
    };
    while (p < end) {
        const char* q = skipQuotedOrComment(p, end);
        if (q != p) {
            p = q;
            continue;
        }
        if (*p == ';' && depth == 0) {
            finish(p);
            start = ++p;
            continue;
        }
        if (isWordChar(*p)) {
            bool atWordStart = p == sql.c_str() || !isWordChar(p[-1]);
            std::string word = upperWord(p, end);
            if (!atWordStart) continue;
            ++words;
            // CREATE [TEMP|TEMPORARY] TRIGGER
            if (words <= 3 && word == "TRIGGER") trigger = true;
            if (trigger) {
                if (word == "BEGIN" || word == "CASE")
                    ++depth;
                else if (word == "END" && depth > 0)
                    --depth;
            }
            continue;
        }
        ++p;
    }
    finish(end);
    return out;
}

}  // namespace VORLIN
