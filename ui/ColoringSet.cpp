#include "ui/ColoringSet.h"

#include <algorithm>
#include <unordered_set>

#include "core/GeneralException.h"

namespace VORLIN {

namespace {

std::string foldAscii(std::string_view word) {
    std::string out(word);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return out;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The SQL words both sets colour.
constexpr const char* kSqlWords =
    " SELECT FROM WHERE HAVING ORDER GROUP BY AND OR IN LEFT ON INNER JOIN IS NULL INSERT INTO "
    "VALUES MAX MIN UPDATE DELETE SET WHEN CASE THEN END NOT ISNULL AS SUM AVG COUNT DROP VACUUM "
    "BETWEEN TABLE INDEX TRIGGER ";

}  // namespace

void ColoringSet::addGroup(const String& words, Color color, bool caseSensitive) {
    if (int(groups_.size()) >= kMaxGroups)
        throw GeneralException::format(
            "ColoringSet.addGroup: no caben mas de %d grupos de palabras", kMaxGroups);
    const int index = int(groups_.size());
    WordGroup group;
    group.color = color;
    group.caseSensitive = caseSensitive;
    std::unordered_set<std::string> seen;
    const std::string_view text = words.view();
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isBlank(text[i]))
            ++i;
        size_t j = i;
        while (j < text.size() && !isBlank(text[j]))
            ++j;
        if (j > i) {
            const std::string_view word = text.substr(i, j - i);
            if (seen.insert(std::string(word)).second) {
                group.words.emplace_back(word);
                if (caseSensitive)
                    exact_.emplace(std::string(word), index);
                else
                    folded_.emplace(foldAscii(word), index);
            }
        }
        i = j;
    }
    groups_.push_back(std::move(group));
}

int ColoringSet::groupOf(std::string_view word) const {
    if (auto it = exact_.find(std::string(word)); it != exact_.end()) return it->second;
    if (!folded_.empty())
        if (auto it = folded_.find(foldAscii(word)); it != folded_.end()) return it->second;
    return -1;
}

std::vector<String> ColoringSet::words() const {
    std::vector<String> out;
    std::unordered_set<std::string> seen;
    for (const WordGroup& g : groups_)
        for (const String& w : g.words)
            if (seen.insert(w.toStdString()).second) out.push_back(w);
    return out;
}

ColoringSet ColoringSet::sql() {
    ColoringSet set;
    set.addGroup(kSqlWords, Color::fromRgb(0, 64, 192), false);
    return set;
}

ColoringSet ColoringSet::script() {
    ColoringSet set;
    String sqlWords(kSqlWords);
    sqlWords.append("ASC DESC LIMIT ");
    set.addGroup(sqlWords, Color::fromRgb(0, 64, 192), false);
    set.addGroup(" false true null hoy hoyDia ", Color::fromRgb(128, 0, 160), true);
    set.addGroup(" this parent app ", Color::fromRgb(0, 118, 128), true);
    set.addGroup(
        " FUNCTION ENDFUNCTION IF ELSE ELSEIF ENDIF WHILE ENDWHILE INSERT RETURN FOREACH "
        "ENDFOREACH SWITCH ENDSWITCH CASE BREAK DEFAULT TRY CATCH ENDTRY THROW CONTINUE "
        "DEFSTATEMENT ENDSTATEMENT ",
        Color::fromRgb(176, 80, 0), true);
    set.addGroup(" Obj Grid DataSet Row DataRow TableSet DbConnection ", Color::fromRgb(0, 128, 40),
                 true);
    set.setLineComment("//");
    return set;
}

}  // namespace VORLIN
