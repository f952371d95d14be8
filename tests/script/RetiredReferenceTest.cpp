// References kept by declared variables, and by cells of other living
// objects, to objects that a run displaced: when the outermost run ends and
// those objects die, every value that referred to them without owning them
// becomes a null object, so a later run of the same routine never reads
// freed memory.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "RoutineRunFixture.h"
#include "core/DataItem.h"
#include "data/DataRow.h"
#include "script/ObjectCollector.h"

namespace {

using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::String;

struct Case {
    const char* name;
    // Lines that leave in "r" a row whose "nombre" is "Ana".
    const char* keep;
    // Lines that drop that row.
    const char* drop;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

const char* const kGrid =
    "        g = Grid(\"nombre\", \"string\")\r\n"
    "        r = g.addNewRow()\r\n"
    "        r.setItem(0, \"Ana\")\r\n";
const char* const kTable =
    "        g = TableSet(\"gente\")\r\n"
    "        g.open(c)\r\n"
    "        r = g.getRowAt(0)\r\n";

const Case kCases[] = {
    {"GridRowsDeleted", kGrid, "        g.deleteAll()\r\n"},
    {"GridOverwritten", kGrid, "        g = 0\r\n"},
    {"GridRefilled", kGrid, "        g.queryDataset(\"SELECT 'Luis' AS nombre\", c)\r\n"},
    {"TableRemoveAll", kTable, "        g.removeAll()\r\n"},
    {"TableRemoveAtThenAll", kTable, "        g.removeAt(0)\r\n        g.removeAll()\r\n"},
    {"TableReopened", kTable, "        g.open(c)\r\n"},
    {"TableOverwritten", kTable, "        g = 0\r\n"},
};

// "paso(1)" keeps the row in the declared variable "r" and in a cell of a
// row of another grid ("q.x"), then drops it; "paso(2)" reads the row
// through "r" in a later run.
std::string routine(const Case& c) {
    return std::string(
               "FUNCTION paso(modo)\r\n"
               "    c = DbConnection(\"datos\")\r\n"
               "    IF (modo == 1)\r\n") +
           c.keep +
           "        h = Grid(\"x\", \"string\")\r\n"
           "        q = h.addNewRow()\r\n"
           "        q.x = r\r\n"
           "        m = r.nombre\r\n"
           "        printMsg(m, false)\r\n" +
           c.drop +
           "    ELSE\r\n"
           "        m = r.nombre\r\n"
           "        printMsg(m, false)\r\n"
           "    ENDIF\r\n"
           "ENDFUNCTION\r\n";
}

class RetiredReference : public ::testing::TestWithParam<Case>,
                         protected scripttest::RoutineRunFixture {
protected:
    void SetUp() override {
        openDatabase({"CREATE TABLE gente (id INTEGER PRIMARY KEY, nombre TEXT)",
                      "INSERT INTO gente (nombre) VALUES ('Ana')"});
    }
};

TEST_P(RetiredReference, LaterRunSeesNullObject) {
    ASSERT_EQ(session.rutina().load(String(routine(GetParam()))).toStdString(), "");
    step(1);
    EXPECT_NE(out.str().find("Ana"), std::string::npos) << out.str() << err.str();
    // The row died with the end of the first run: "r" no longer refers to it.
    EXPECT_EQ(variable("r").type(), DataItem::TObj);
    EXPECT_EQ(variable("r").getObj(), nullptr);
    // Nor does the cell of the other grid's row that was given it.
    auto* q = dynamic_cast<DataRow*>(variable("q").getObj());
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->cell(0)->type(), DataItem::TObj);
    EXPECT_EQ(q->cell(0)->getObj(), nullptr);
    out.str("");
    step(2);  // under ASan, a dangling "r" is a heap-use-after-free here
    EXPECT_EQ(out.str().find("Ana"), std::string::npos) << out.str();
    EXPECT_EQ(variable("r").getObj(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Dropped, RetiredReference, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace

namespace {

using VORLIN::HeadlessHost;
using VORLIN::ObjectCollector;
using VORLIN::ScriptSession;

// A host that notes, at every printMsg, how many displaced objects wait.
class CountingHost : public HeadlessHost {
public:
    CountingHost(std::ostream& out, std::ostream& err) : HeadlessHost(out, err) {}
    void printMessage(const String& text, bool secondMode) override {
        most = std::max(most, ObjectCollector::pendingValues());
        HeadlessHost::printMessage(text, secondMode);
    }
    size_t most = 0;
};

// A loop that replaces an object at every turn does not pile the old ones
// up until the run ends; references into the ones it drops become null
// objects while the run goes on.
TEST(DisplacedObjects, ALongLoopReleasesThemAsItGoes) {
    std::ostringstream out, err;
    CountingHost host(out, err);
    ScriptSession session(host);
    const char* text =
        "FUNCTION main()\r\n"
        "    g = Grid(\"nombre\", \"string\")\r\n"
        "    r = g.addNewRow()\r\n"
        "    r.setItem(0, \"Ana\")\r\n"
        "    i = 0\r\n"
        "    WHILE (i < 5000)\r\n"
        "        i = i + 1\r\n"
        "        g = Row(100)\r\n"
        "        printMsg(\"\", false)\r\n"
        "    ENDWHILE\r\n"
        "    m = \"fin \" & i\r\n"
        "    printMsg(m, false)\r\n"
        "    m = r.nombre\r\n"
        "    printMsg(m, false)\r\n"
        "ENDFUNCTION\r\n";
    session.run(String(text));
    EXPECT_NE(out.str().find("fin 5000"), std::string::npos) << err.str();
    // The first grid and its row died long before the end: "r" is null.
    EXPECT_EQ(out.str().find("Ana"), std::string::npos);
    EXPECT_GT(host.most, 0u);
    // At most one object over the mark: it is checked between instructions.
    EXPECT_LE(host.most, ObjectCollector::kReleaseValues + 101);
    EXPECT_EQ(ObjectCollector::pendingValues(), 0u);
}

}  // namespace
