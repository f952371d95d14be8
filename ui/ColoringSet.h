// ColoringSet: what a code editor colours in a text: groups of words, each
// with its colour and its case rule, and an optional line-comment marker.
// Quoted texts and numbers are coloured by the editor whatever the set.
//
// A group's colour is the colour meant for a light background; an editor on
// a dark background lightens it, keeping its hue, until it reads (see
// ColoringLexer). A word written as a case-sensitive group holds it takes
// that group's colour (the first such group), else the first
// case-insensitive group that holds it: in scripts "null" is a constant and
// "NULL" an SQL word. Case-insensitive groups fold ASCII letters only.
//
// sql() and script() are the two sets of the program: the SQL keywords of
// the query window, and the script editor's five groups (SQL words, the
// constants, the object words, the statement words, the type words) with
// "//" comments. The SQL words match in any case, the script's own words
// only as written, as the script engine reads them.
//
// Value type, copyable; no Qt. Threads: any, one at a time. addGroup throws
// GeneralException beyond kMaxGroups groups.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/Color.h"
#include "core/String.h"

namespace VORLIN {

class ColoringSet {
public:
    // The editor has 32 text styles; four are its own (plain text,
    // comments, quoted texts, numbers).
    static constexpr int kMaxGroups = 28;

    struct WordGroup {
        std::vector<String> words;
        Color color;
        bool caseSensitive = false;
    };

    ColoringSet() = default;

    // Adds a group; `words` are separated by blanks (" SELECT FROM ").
    // Empty words are skipped, repeated ones kept once.
    void addGroup(const String& words, Color color, bool caseSensitive);
    // The marker that starts a comment running to the end of the line;
    // empty for none.
    void setLineComment(const String& marker) { lineComment_ = marker; }

    const std::vector<WordGroup>& groups() const { return groups_; }
    const String& lineComment() const { return lineComment_; }
    // The index of the group that colours `word` (see above), or -1.
    int groupOf(std::string_view word) const;
    // Every word of every group once, in group order.
    std::vector<String> words() const;

    static ColoringSet sql();
    static ColoringSet script();

private:
    std::vector<WordGroup> groups_;
    String lineComment_;
    // Word -> first case-sensitive group holding it; folded word -> first
    // case-insensitive group.
    std::unordered_map<std::string, int> exact_;
    std::unordered_map<std::string, int> folded_;
};

}  // namespace VORLIN
