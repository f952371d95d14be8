// References kept by declared variables to objects that a run displaced:
// when the outermost run ends and those objects die, every variable that
// referred to them without owning them becomes a null object, so a later
// run of the same routine never reads freed memory.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "core/DataItem.h"
#include "core/String.h"
#include "data/DataRow.h"
#include "script/HeadlessHost.h"
#include "script/OpCode.h"
#include "script/Rutina.h"
#include "script/ScriptFunction.h"
#include "script/ScriptSession.h"
#include "script/Variable.h"

namespace {

using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::HeadlessHost;
using VORLIN::OpCode;
using VORLIN::ScriptSession;
using VORLIN::String;

// "paso(1)" keeps a row of a grid in the declared variable "r" and then
// drops the row (or the whole grid, with `dropGrid`); "paso(2)" reads the
// row through "r" in a later run.
std::string routine(bool dropGrid) {
    std::string drop = dropGrid ? "        g = 0\r\n" : "        g.deleteAll()\r\n";
    return "FUNCTION paso(modo)\r\n"
           "    IF (modo == 1)\r\n"
           "        g = Grid(\"nombre\", \"string\")\r\n"
           "        r = g.addNewRow()\r\n"
           "        r.setItem(0, \"Ana\")\r\n"
           "        m = r.nombre\r\n"
           "        printMsg(m, false)\r\n" +
           drop +
           "    ELSE\r\n"
           "        m = r.nombre\r\n"
           "        printMsg(m, false)\r\n"
           "    ENDIF\r\n"
           "ENDFUNCTION\r\n";
}

class RetiredReference : public ::testing::TestWithParam<bool> {
protected:
    std::ostringstream out, err;
    HeadlessHost host{out, err};
    ScriptSession session{host};

    void step(int mode) {
        DataRow args(1);
        args.cell(0)->setInt(mode);
        session.rutina().execute("paso", &args);
        // The end of the outermost run; a no-op when the run already did it.
        OpCode::releasePending();
    }
    const DataItem& variable(const char* name) {
        return session.rutina().findFunction("paso")->findVariable(name)->value();
    }
};

TEST_P(RetiredReference, LaterRunSeesNullObject) {
    ASSERT_EQ(session.rutina().load(String(routine(GetParam()))).toStdString(), "");
    step(1);
    EXPECT_NE(out.str().find("Ana"), std::string::npos) << out.str() << err.str();
    // The row died with the end of the first run: "r" no longer refers to it.
    EXPECT_EQ(variable("r").type(), DataItem::TObj);
    EXPECT_EQ(variable("r").getObj(), nullptr);
    out.str("");
    step(2);  // under ASan, a dangling "r" is a heap-use-after-free here
    EXPECT_EQ(out.str().find("Ana"), std::string::npos) << out.str();
    EXPECT_EQ(variable("r").getObj(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(DroppedRowOrGrid, RetiredReference, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("GridOverwritten")
                                               : std::string("RowsDeleted");
                         });

}  // namespace
