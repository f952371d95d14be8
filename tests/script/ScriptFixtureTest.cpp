// Script fixtures run through the real engine: each tests/script/fixtures/
// NAME.qs is loaded and its "main" run with a headless host; what it prints
// (and, after a line "== stderr ==", the message boxes) must equal NAME.out.
// A script whose first line is "// explain" prints the listing of "main"
// instead of running it. When NAME.trace exists, the trace file the run
// wrote must equal it. Line ends are compared as "\n".
//
// Every fixture gets a fresh SQLite database, published to scripts as
// "fixture", in its own temporary folder (also the folder of trace.log).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/String.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "script/HeadlessHost.h"
#include "script/ScriptSession.h"
#include "script/ScriptTrace.h"

namespace {

namespace fs = std::filesystem;
using VORLIN::HeadlessHost;
using VORLIN::ScriptSession;
using VORLIN::ScriptTrace;
using VORLIN::SqliteLocalConnection;
using VORLIN::String;

fs::path fixtureDir() {
#ifdef QUELMIR_FIXTURE_DIR
    // Absolute: __FILE__ may be relative to the build folder (ccache's
    // CCACHE_BASEDIR rewrites it), and discovery runs elsewhere.
    return fs::path(QUELMIR_FIXTURE_DIR);
#else
    return fs::path(__FILE__).parent_path() / "fixtures";
#endif
}

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string unixLines(std::string t) {
    std::string out;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') continue;
        out += t[i];
    }
    return out;
}

std::vector<std::string> fixtureNames() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(fixtureDir()))
        if (e.path().extension() == ".qs") names.push_back(e.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

class ScriptFixture : public ::testing::TestWithParam<std::string> {};

TEST_P(ScriptFixture, OutputMatches) {
    const std::string name = GetParam();
    const fs::path script = fixtureDir() / (name + ".qs");
    const fs::path expected = fixtureDir() / (name + ".out");

    fs::path dir =
        fs::temp_directory_path() / ("quelmir-fixture-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);

    SqliteLocalConnection db;
    ASSERT_TRUE(db.connect(String(dir.string() + "/"), "", "", false, "-"));
    ASSERT_TRUE(db.openDatabase("fixture", true));

    std::ostringstream out, err;
    HeadlessHost host(out, err);
    host.addConnection("fixture", &db);
    ScriptTrace::reset();
    ScriptTrace::setFileName(String((dir / "trace.log").string()));
    {
        ScriptSession session(host);
        std::string text = readAll(script);
        if (text.rfind("// explain", 0) == 0) {
            out << session.explain(String(text)).view();
        } else {
            session.run(String(text));
        }
    }
    ScriptTrace::reset();

    std::string actual = unixLines(out.str());
    if (!err.str().empty()) actual += "== stderr ==\n" + unixLines(err.str());
    EXPECT_TRUE(fs::exists(expected)) << "missing " << expected;
    EXPECT_EQ(actual, readAll(expected)) << "fixture " << name;
    if (std::getenv("QUELMIR_FIXTURE_DUMP"))
        std::ofstream(fixtureDir() / (name + ".actual"), std::ios::binary) << actual;

    const fs::path trace = fixtureDir() / (name + ".trace");
    if (fs::exists(trace)) {
        EXPECT_EQ(unixLines(readAll(dir / "trace.log")), readAll(trace)) << "trace of " << name;
    }
    db.disconnect();
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ScriptFixture, ::testing::ValuesIn(fixtureNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

}  // namespace
