// The end of a run and the end of a script session release every object a
// script made exactly once, wherever the last run left references to it: in
// "_RETURN_", "lastError" or "_CONCAT_", in the variables of other
// functions, in a result nobody stored, or in the cells of other objects.
// Under ASan a reference left dangling, or an object deleted twice, fails
// the test where it happens.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ScriptTestSupport.h"
#include "core/DataItem.h"
#include "core/String.h"
#include "data/DataRow.h"
#include "script/HeadlessHost.h"
#include "script/ObjectCollector.h"
#include "script/ScriptFunction.h"
#include "script/ScriptRegisters.h"
#include "script/ScriptSession.h"
#include "script/Variable.h"

namespace {

using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::HeadlessHost;
using VORLIN::ObjectCollector;
using VORLIN::ScriptRegisters;
using VORLIN::ScriptSession;
using VORLIN::String;

// Two functions: "hacer" makes a grid with a row (and a counted object
// from the factory it gets), keeps them in its own variables and leaves
// references to them where `leave` says; "main" calls it and prints.
std::string routine(const char* leave) {
    return std::string(
               "FUNCTION hacer(fab)\r\n"
               "    g = Grid(\"nombre\", \"string\")\r\n"
               "    r = g.addNewRow()\r\n"
               "    r.setItem(0, \"Ana\")\r\n"
               "    o = fab.make()\r\n") +
           leave +
           "ENDFUNCTION\r\n"
           "FUNCTION main(fab)\r\n"
           "    x = this.hacer(fab)\r\n"
           "    printMsg(\"hecho\", false)\r\n"
           "    THROW \"adrede\"\r\n"
           "ENDFUNCTION\r\n";
}

struct Leave {
    const char* name;
    const char* lines;
};

void PrintTo(const Leave& l, std::ostream* os) {
    *os << l.name;
}

const Leave kLeaves[] = {
    {"ReturnGrid", "    RETURN g\r\n"},
    {"ReturnRowOfGrid", "    RETURN r\r\n"},
    {"ReturnObject", "    RETURN o\r\n"},
    {"LastErrorGrid", "    lastError = g\r\n    _RETURN_ = o\r\n"},
    {"ConcatGrid", "    _CONCAT_ = g\r\n    _REG_ = r\r\n"},
    {"OwnedByRegisters",
     "    lastError = Grid(\"a\", \"string\")\r\n    _CONCAT_ = fab.make()\r\n"},
    {"ReturnMadeInPlace", "    RETURN fab.make()\r\n"},
    {"ArgumentOwns", "    fab = fab.make()\r\n    RETURN fab\r\n"},
};

class SessionEnd : public ::testing::TestWithParam<Leave> {
protected:
    // Runs "main" with the factory, `runs` times, then ends the session;
    // the number of error reports.
    int runAndEnd(const std::string& text, int runs = 1) {
        int reports = 0;
        {
            ScriptSession session(host);
            EXPECT_EQ(session.rutina().load(String(text)).toStdString(), "");
            for (int i = 0; i < runs; ++i) {
                DataRow args(1);
                args.cell(0)->setObj(&factory, false);
                session.rutina().execute("main", &args);
                ObjectCollector::releasePending();
            }
            reports = session.rutina().errorReports();
        }
        return reports;
    }

    int destroyed = 0;
    scripttest::TestObject factory{&destroyed};
    std::ostringstream out, err;
    HeadlessHost host{out, err};
};

TEST_P(SessionEnd, EveryObjectDiesOnce) {
    // "main" fails after the call, so that the error report also writes
    // "lastError" while the references are there.
    int reports = runAndEnd(routine(GetParam().lines), 2);
    EXPECT_EQ(reports, 2) << err.str();
    EXPECT_NE(out.str().find("hecho"), std::string::npos) << err.str();
    // Every object the factory made (the factory itself is the test's)
    // died exactly once, and only when the session ended or before.
    int made = 0;
    for (const std::string& call : factory.calls)
        if (call == "make") ++made;
    EXPECT_GT(made, 0);
    EXPECT_EQ(destroyed, made);
    EXPECT_EQ(ScriptRegisters::row(), nullptr);
    EXPECT_EQ(ObjectCollector::pendingValues(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Left, SessionEnd, ::testing::ValuesIn(kLeaves),
                         [](const ::testing::TestParamInfo<Leave>& info) {
                             return std::string(info.param.name);
                         });

// A new script loaded into the same routine drops the old functions: the
// objects their variables owned die at the end of the next run, after the
// references the registers kept to them are cleared.
TEST(SessionEndReload, OldFunctionsObjectsDieAtTheNextRun) {
    std::ostringstream out, err;
    HeadlessHost host(out, err);
    ScriptSession session(host);
    EXPECT_EQ(session.run(String("FUNCTION main()\r\n"
                                 "    g = Grid(\"nombre\", \"string\")\r\n"
                                 "    r = g.addNewRow()\r\n"
                                 "    lastError = r\r\n"
                                 "    _CONCAT_ = g\r\n"
                                 "    RETURN g\r\n"
                                 "ENDFUNCTION\r\n")),
              0);
    const DataItem* last = ScriptRegisters::cell(ScriptRegisters::LastError);
    ASSERT_NE(last, nullptr);
    EXPECT_NE(last->getObj(), nullptr);
    EXPECT_EQ(session.run(String("FUNCTION main()\r\n"
                                 "    m = \"otra\"\r\n"
                                 "    printMsg(m, false)\r\n"
                                 "ENDFUNCTION\r\n")),
              0);
    EXPECT_NE(out.str().find("otra"), std::string::npos);
    // The old grid and its row are gone; so are the references to them.
    EXPECT_EQ(last->type(), DataItem::TObj);
    EXPECT_EQ(last->getObj(), nullptr);
    EXPECT_EQ(ScriptRegisters::cell(ScriptRegisters::Concat)->getObj(), nullptr);
}

// A call statement whose function returns an object it made, with no
// variable to take it: the object dies at the end of the run, and the copy
// "_RETURN_" kept becomes a null object.
TEST(SessionEndReload, UnstoredResultDiesAtTheEndOfTheRun) {
    std::ostringstream out, err;
    HeadlessHost host(out, err);
    ScriptSession session(host);
    EXPECT_EQ(session.run(String("FUNCTION hacer()\r\n"
                                 "    _RETURN_ = Grid(\"nombre\", \"string\")\r\n"
                                 "ENDFUNCTION\r\n"
                                 "FUNCTION main()\r\n"
                                 "    this.hacer()\r\n"
                                 "    y = _RETURN_\r\n"
                                 "    n = y.size()\r\n"
                                 "    m = \"filas \" & n\r\n"
                                 "    printMsg(m, false)\r\n"
                                 "ENDFUNCTION\r\n")),
              0)
        << err.str();
    EXPECT_NE(out.str().find("filas 0"), std::string::npos) << out.str();
    const DataItem* ret = ScriptRegisters::cell(ScriptRegisters::Return);
    EXPECT_TRUE(ret->isNull() || ret->getObj() == nullptr);
}

// "addCaracter" writes text over a variable that owns a grid: the grid
// waits for the end of the run, so another reference to it and a row taken
// from it stay readable until then, and are null objects afterwards.
TEST(SessionEndReload, PaddingOverAnObjectKeepsItUntilTheRunEnds) {
    std::ostringstream out, err;
    HeadlessHost host(out, err);
    ScriptSession session(host);
    EXPECT_EQ(session.run(String("FUNCTION main()\r\n"
                                 "    g = Grid(\"nombre\", \"string\")\r\n"
                                 "    r = g.addNewRow()\r\n"
                                 "    r.setItem(0, \"Ana\")\r\n"
                                 "    h = g\r\n"
                                 "    addCaracter(g, 3, \"x\")\r\n"
                                 "    n = h.size()\r\n"
                                 "    m = r.getItem(0) & \" \" & n & \" \" & g\r\n"
                                 "    printMsg(m, false)\r\n"
                                 "ENDFUNCTION\r\n")),
              0)
        << err.str();
    EXPECT_EQ(out.str().substr(0, 6), "Ana 1 ") << out.str();
    VORLIN::ScriptFunction* main = session.rutina().findFunction("main");
    EXPECT_EQ(main->findVariable("r")->value().getObj(), nullptr);
    EXPECT_EQ(main->findVariable("h")->value().getObj(), nullptr);
}

}  // namespace
