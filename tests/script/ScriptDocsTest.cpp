// docs/scripts.md, the language reference, checked against the engine:
//   - every ```qs example is run through ScriptSession on a headless host,
//     with a fresh SQLite database published as "datos", and what it prints
//     (then, after a line "== stderr ==", its message boxes) must equal the
//     ```output block that follows it;
//   - each member table (marked <!-- members CLASS --> or <!-- values
//     GROUP -->) lists exactly the members the registry (MemberTables) or
//     the value functions know, and every listed member is called in at
//     least one example; so is every statement keyword and built-in
//     function of expressions.
// QUELMIR_DOCS_ACTUAL=FILE writes what the examples printed, for editing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/DataItem.h"
#include "core/String.h"
#include "data/DataRow.h"
#include "data/ValueFunctions.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "script/HeadlessHost.h"
#include "script/MemberTables.h"
#include "script/ScriptSession.h"
#include "script/ScriptTrace.h"

namespace {

namespace fs = std::filesystem;
using namespace VORLIN;

fs::path docPath() {
    static const fs::path path = fs::absolute(fs::path(QUELMIR_SOURCE_DIR) / "docs" / "scripts.md");
    return path;
}

std::vector<std::string> docLines() {
    std::ifstream in(docPath(), std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

struct Example {
    int line;  // 1-based line of the ```qs fence
    std::string script;
    std::string expected;
};

// Each ```qs block with the ```output block that must follow it.
std::vector<Example> examples(const std::vector<std::string>& lines, std::string& problem) {
    std::vector<Example> out;
    auto block = [&](size_t& i) {
        std::string text;
        for (++i; i < lines.size() && lines[i] != "```"; ++i)
            text += lines[i] + "\n";
        return text;
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] != "```qs") continue;
        Example e;
        e.line = int(i) + 1;
        e.script = block(i);
        size_t j = i + 1;
        while (j < lines.size() && lines[j].empty())
            ++j;
        if (j >= lines.size() || lines[j] != "```output") {
            problem += "example at line " + std::to_string(e.line) + " has no ```output block\n";
            continue;
        }
        e.expected = block(j);
        i = j;
        out.push_back(e);
    }
    return out;
}

std::string unixLines(const std::string& t) {
    std::string out;
    for (size_t i = 0; i < t.size(); ++i)
        if (!(t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n')) out += t[i];
    return out;
}

std::string run(const Example& e) {
    fs::path dir = fs::temp_directory_path() /
                   ("quelmir-docs-" + std::to_string(::getpid()) + "-" + std::to_string(e.line));
    fs::remove_all(dir);
    fs::create_directories(dir);
    // Files the examples name (export) land in their own folder.
    fs::path previous = fs::current_path();
    fs::current_path(dir);
    std::ostringstream out, err;
    {
        SqliteLocalConnection db;
        EXPECT_TRUE(db.connect(String(dir.string()), "", "", false, "-"));
        EXPECT_TRUE(db.openDatabase("datos", true));
        HeadlessHost host(out, err);
        host.addConnection("datos", &db);
        ScriptTrace::reset();
        ScriptTrace::setFileName(String((dir / "trace.log").string()));
        {
            ScriptSession session(host);
            std::string text;
            // The script text as a file would hold it (CR LF lines).
            for (char c : e.script) {
                if (c == '\n') text += '\r';
                text += c;
            }
            session.run(String(text));
        }
        ScriptTrace::reset();
        db.disconnect();
    }
    fs::current_path(previous);
    fs::remove_all(dir);
    std::string actual = unixLines(out.str());
    if (!err.str().empty()) actual += "== stderr ==\n" + unixLines(err.str());
    return actual;
}

TEST(ScriptDocsTest, EveryExamplePrintsWhatTheDocumentShows) {
    std::vector<std::string> lines = docLines();
    ASSERT_FALSE(lines.empty()) << "cannot read " << docPath();
    std::string problem;
    std::vector<Example> list = examples(lines, problem);
    EXPECT_EQ(problem, "");
    EXPECT_GT(list.size(), 20u);
    std::ofstream dump;
    if (const char* path = std::getenv("QUELMIR_DOCS_ACTUAL")) dump.open(path, std::ios::binary);
    for (const Example& e : list) {
        std::string actual = run(e);
        EXPECT_EQ(actual, e.expected) << "the example at docs/scripts.md:" << e.line;
        if (dump) dump << "@@ " << e.line << "\n" << actual;
    }
}

// The names in the table after the marker `marker`: the `name`s of the first
// cell of each row.
std::set<std::string> tableNames(const std::vector<std::string>& lines, const std::string& marker) {
    std::set<std::string> names;
    size_t i = 0;
    while (i < lines.size() && lines[i] != marker)
        ++i;
    if (i == lines.size()) return names;
    for (++i; i < lines.size() && (lines[i].empty() || lines[i][0] == '|'); ++i) {
        if (lines[i].empty()) {
            if (!names.empty()) break;
            continue;
        }
        if (lines[i].rfind("| `", 0) != 0) continue;
        // Every `name` of the first cell ("| `begin`, `beginTransaction` |").
        std::string cell = lines[i].substr(2, lines[i].find(" |", 2) - 2);
        for (size_t at = cell.find('`'); at != std::string::npos; at = cell.find('`', at)) {
            size_t end = cell.find('`', at + 1);
            if (end == std::string::npos) break;
            names.insert(cell.substr(at + 1, end - at - 1));
            at = end + 1;
        }
    }
    return names;
}

std::set<std::string> asSet(const std::vector<String>& v) {
    std::set<std::string> s;
    for (const String& x : v)
        s.insert(x.toStdString());
    return s;
}

TEST(ScriptDocsTest, MemberTablesMatchTheRegistryAndEveryMemberHasAnExample) {
    std::vector<std::string> lines = docLines();
    ASSERT_FALSE(lines.empty());
    std::string problem;
    std::string code;
    for (const Example& e : examples(lines, problem))
        code += e.script;

    struct Table {
        const char* marker;
        std::set<std::string> names;
    };
    std::vector<Table> tables;
    const std::pair<const char*, MemberTables::ScriptClass> classes[] = {
        {"<!-- members DbConnection -->", MemberTables::ConxObj},
        {"<!-- members app -->", MemberTables::Entorno},
        {"<!-- members mapped row -->", MemberTables::AdmObjInstance},
        {"<!-- members collection -->", MemberTables::AdmObjExpanded},
        {"<!-- members Grid -->", MemberTables::ItemGrid},
        {"<!-- members TableSet -->", MemberTables::ItemTable},
    };
    for (const auto& [marker, c] : classes) {
        std::set<std::string> names;
        for (const char* const* n = MemberTables::names(c); (*n)[0]; ++n)
            names.insert(*n);
        tables.push_back({marker, names});
    }
    std::set<std::string> row = asSet(DataRow::functionNames());
    row.insert("queryDataRow");
    tables.push_back({"<!-- members Row -->", row});
    tables.push_back({"<!-- values text -->", asSet(ValueFunctions::names(DataItem::TString))});
    tables.push_back({"<!-- values number -->", asSet(ValueFunctions::names(DataItem::TDouble))});
    tables.push_back({"<!-- values date -->", asSet(ValueFunctions::names(DataItem::TDate))});
    tables.push_back({"<!-- values bool -->", asSet(ValueFunctions::names(DataItem::TBool))});

    for (const Table& t : tables) {
        std::set<std::string> documented = tableNames(lines, t.marker);
        EXPECT_EQ(documented, t.names) << "the table after " << t.marker;
        for (const std::string& name : t.names)
            EXPECT_NE(code.find(name + "("), std::string::npos)
                << "no example calls " << name << " (" << t.marker << ")";
    }

    // Statement keywords and the built-in functions of expressions.
    for (const char* word :
         {"IF",      "ELSEIF",       "ELSE",          "ENDIF",      "WHILE",  "ENDWHILE",
          "BREAK",   "CONTINUE",     "FOREACH",       "ENDFOREACH", "SWITCH", "CASE",
          "DEFAULT", "ENDSWITCH",    "TRY",           "CATCH",      "ENDTRY", "THROW",
          "RETURN",  "DEFSTATEMENT", "ENDSTATEMENT",  "Obj(",       "Obj[](", "Row(",
          "Grid(",   "TableSet(",    "DbConnection(", "hoy",        "hoyDia", "hora"})
        EXPECT_NE(code.find(word), std::string::npos) << "no example uses " << word;
    for (const char* f : {"sqrt(", "sin(", "cos(", "tan(", "asin(", "acos(", "atan(", "log(", "ln(",
                          "rnd(", "rnup(", "rndown("})
        EXPECT_NE(code.find(f), std::string::npos) << "no example uses " << f;
}

}  // namespace
