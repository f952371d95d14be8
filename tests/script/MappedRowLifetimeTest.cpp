// Mapped rows that outlive the connection object that made them, and
// mapped rows a script deletes while other values point at them, across
// runs of one routine: the end of a run must neither mistake a living row
// for part of a dying object nor leave a pointer to a dead one behind.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "RoutineRunFixture.h"
#include "core/DataItem.h"
#include "data/DataRow.h"
#include "script/AdmObjInstance.h"

namespace {

using VORLIN::AdmObjInstance;
using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::String;

// "paso(1)" makes a connection object, a mapped row "f" kept by a declared
// variable, a reference to it in a cell of a grid row ("q.x"), a new child
// row "n" moved into a collection of "f", and then drops the connection
// object. "paso(2)" drops another object (so the end of the run sweeps the
// references again) and reads the rows.
const char* const kRoutine =
    "FUNCTION paso(modo)\r\n"
    "    IF (modo == 1)\r\n"
    "        c = DbConnection(\"datos\")\r\n"
    "        c.addListReference(\"padres.hijos: hijos padre\")\r\n"
    "        f = c.newInstance(\"padres\", 1)\r\n"
    "        h = Grid(\"x\", \"string\")\r\n"
    "        q = h.addNewRow()\r\n"
    "        q.x = f\r\n"
    "        l = Obj[](f.hijos)\r\n"
    "        n = c.newInstance(\"hijos\", 0)\r\n"
    "        n.n = 7\r\n"
    "        l.add(n)\r\n"
    "        c = 0\r\n"
    "    ELSE\r\n"
    "        g = Grid()\r\n"
    "        g = 0\r\n"
    "        m = f.nombre & \" \" & n.n\r\n"
    "        printMsg(m, false)\r\n"
    "        k = f.serialize()\r\n"
    "    ENDIF\r\n"
    "ENDFUNCTION\r\n";

class RetiredMappedRows : public ::testing::Test, protected scripttest::RoutineRunFixture {
protected:
    void SetUp() override {
        openDatabase({"CREATE TABLE padres (id INTEGER PRIMARY KEY, nombre TEXT)",
                      "CREATE TABLE hijos (id INTEGER PRIMARY KEY, padre INTEGER, n INTEGER)",
                      "INSERT INTO padres VALUES (1, 'Ana')"});
    }
};

TEST_F(RetiredMappedRows, OutliveTheirConnectionObject) {
    ASSERT_EQ(session.rutina().load(String(kRoutine)).toStdString(), "");
    step(1);
    ASSERT_EQ(err.str(), "");
    auto* f = dynamic_cast<AdmObjInstance*>(variable("f").getObj());
    ASSERT_NE(f, nullptr);
    // The row lives on (its variable owns it), so references to it stay,
    // the grid cell's and the moved child's.
    auto* q = dynamic_cast<DataRow*>(variable("q").getObj());
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->cell(0)->getObj(), f);
    ASSERT_NE(variable("n").getObj(), nullptr);

    step(2);  // under ASan, a row still pointing at the freed object fails here
    EXPECT_EQ(err.str(), "");
    EXPECT_NE(out.str().find("Ana 7"), std::string::npos) << out.str();
    EXPECT_EQ(db.queryInt("SELECT padre FROM hijos WHERE n = 7"), 1);
}

// "deleteInstance" empties the variable at once, but another value of the
// run may still point at the row: it dies when the run ends, and that value
// becomes a null object then.
TEST_F(RetiredMappedRows, DeletedInstanceLivesUntilTheRunEnds) {
    const char* routine =
        "FUNCTION paso(modo)\r\n"
        "    c = DbConnection(\"datos\")\r\n"
        "    IF (modo == 1)\r\n"
        "        f = c.newInstance(\"padres\", 1)\r\n"
        "        h = Grid(\"x\", \"string\")\r\n"
        "        q = h.addNewRow()\r\n"
        "        q.x = f\r\n"
        "        c.deleteInstance(f)\r\n"
        "        g = Obj(q.x)\r\n"
        "        m = \"sigue \" & g.nombre\r\n"
        "        printMsg(m, false)\r\n"
        "    ENDIF\r\n"
        "ENDFUNCTION\r\n";
    ASSERT_EQ(session.rutina().load(String(routine)).toStdString(), "");
    step(1);
    EXPECT_EQ(err.str(), "");
    EXPECT_NE(out.str().find("sigue Ana"), std::string::npos) << out.str();
    EXPECT_TRUE(variable("f").isNull());
    auto* q = dynamic_cast<DataRow*>(variable("q").getObj());
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->cell(0)->getObj(), nullptr);
    EXPECT_EQ(variable("g").getObj(), nullptr);
    step(2);
    EXPECT_EQ(db.queryString("SELECT nombre FROM padres WHERE id = 1"), "Ana");
}

}  // namespace
