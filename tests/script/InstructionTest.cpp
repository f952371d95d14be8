// Single instructions run outside a routine: target resolution and its
// texts, writing over owned objects, constants over texts, substitution in
// one pass, jump positions and identities, calls answered with an error.
#include <gtest/gtest.h>

#include "ScriptTestSupport.h"
#include "script/OCAssign.h"
#include "script/OCFlow.h"
#include "script/OCFunction.h"
#include "script/OCSwitch.h"
#include "script/OCText.h"
#include "script/ObjectCollector.h"
#include "script/OpCode.h"

namespace {

using namespace scripttest;
using VORLIN::ObjectCollector;
using VORLIN::OCAsignCte;
using VORLIN::OCAsignObjMember;
using VORLIN::OCConcat;
using VORLIN::OCFormula;
using VORLIN::OCFunction;
using VORLIN::OCIf;
using VORLIN::OCJump;
using VORLIN::OCSubstitute;
using VORLIN::OCSwitch;
using VORLIN::OCWhile;
using VORLIN::OpCode;

TEST(Instruction, IdentitiesAndJumps) {
    EXPECT_EQ(OpCode::identity(0).toStdString(), "0");
    EXPECT_EQ(OpCode::identity(26).toStdString(), "0X1A");
    EXPECT_EQ(OpCode::identity(-1).toStdString(), "????");
    OCJump j;
    int pos = 5;
    EXPECT_TRUE(j.run(pos));
    EXPECT_EQ(pos, 5);  // not aimed: the run goes on
    EXPECT_EQ(j.listing("").toStdString(), "    JUMP ????");
    j.setTo(9);
    EXPECT_TRUE(j.run(pos));
    EXPECT_EQ(pos + 1, 9);
}

TEST(Instruction, ConditionsChooseTheirBranch) {
    Vars v;
    Variable* reg = v.set("_REG_", DataItem());
    OCIf test(reg);
    test.setElseTo(7);
    test.setEndTo(12);
    int pos = 3;
    reg->value().setBool(true);
    test.run(pos);
    EXPECT_EQ(pos, 3);
    reg->value().setBool(false);
    test.run(pos);
    EXPECT_EQ(pos + 1, 7);
    OCWhile loop(reg);
    pos = 2;
    EXPECT_FALSE(loop.run(pos));
    EXPECT_EQ(OpCode::lastErrorText().toStdString(), "WHILE sin ENDWHILE");
    loop.setExitTo(20);
    EXPECT_TRUE(loop.run(pos));
    EXPECT_EQ(pos + 1, 20);
}

TEST(Instruction, TargetResolutionTexts) {
    Vars v;
    Variable* x = v.set("x", 1.0);
    OCAsignCte c(DataItem(int32_t(5)));
    int pos = 0;
    EXPECT_EQ(messageOf([&] { c.run(pos); }), "Asignar: La variable no existe.");
    c.setTarget(x, "total");
    EXPECT_EQ(messageOf([&] { c.run(pos); }), "Asignar: total.x no está declarado.");
    TestObject o;
    v.setObject("x", &o);
    EXPECT_TRUE(c.run(pos));
    EXPECT_EQ(o.total.toInt(), 5);
}

TEST(Instruction, DoubleOverTextIsStoredAsText) {
    Vars v;
    Variable* t = v.set("t", "uno");
    OCAsignCte c(DataItem(2.5));
    c.setTarget(t);
    int pos = 0;
    c.run(pos);
    EXPECT_EQ(t->value().type(), DataItem::TString);
    EXPECT_EQ(t->value().text(), DataItem(2.5).text());
    Variable* n = v.set("n", DataItem(int32_t(1)));
    c.setTarget(n);
    c.run(pos);
    EXPECT_EQ(n->value().type(), DataItem::TDouble);
}

TEST(Instruction, OwnedObjectsOutliveTheirOverwrite) {
    int destroyed = 0;
    Vars v;
    Variable* a = v.set("a", DataItem());
    DataItem owned;
    owned.setObj(new TestObject(&destroyed), true);
    a->value() = std::move(owned);
    OCAsignCte c(DataItem(int32_t(1)));
    c.setTarget(a);
    int pos = 0;
    c.run(pos);
    EXPECT_EQ(destroyed, 0);  // other values of the run may still point at it
    ObjectCollector::releasePending();
    EXPECT_EQ(destroyed, 1);
}

TEST(Instruction, CopyFailsForMissingMember) {
    Vars v;
    TestObject o;
    Variable* src = v.setObject("o", &o);
    Variable* dst = v.set("d", DataItem());
    OCAsignObjMember m(src, "nada");
    m.setTarget(dst);
    int pos = 0;
    EXPECT_FALSE(m.run(pos));
    EXPECT_EQ(OpCode::lastErrorText().toStdString(), "Asignar objeto: nada no es miembro de o.");
    OCAsignObjMember ok(src, "nombre");
    ok.setTarget(dst);
    EXPECT_TRUE(ok.run(pos));
    EXPECT_EQ(dst->value().text(), "Ana");
}

TEST(Instruction, SubstitutionIsOnePass) {
    std::vector<String> texts = {"_1_", "B"};
    EXPECT_EQ(OCSubstitute::substitute("<_0_|_1_|_2_>", texts).toStdString(), "<_1_|B|_2_>");
    EXPECT_EQ(OCSubstitute::substitute("_0", texts).toStdString(), "_0");
    EXPECT_EQ(OCSubstitute::substitute("__0__", texts).toStdString(), "__1__");
    EXPECT_EQ(OCSubstitute::substitute("_99999999999999999999_", texts).toStdString(),
              "_99999999999999999999_");
}

TEST(Instruction, ConcatAppendsAndFails) {
    Vars v;
    Variable* concat = v.set("_CONCAT_", "");
    Variable* n = v.set("n", DataItem(int32_t(7)));
    OCConcat a(concat, DataItem("n="));
    OCConcat b(concat, n, String());
    OCConcat c(concat, n, "x");
    int pos = 0;
    a.run(pos);
    b.run(pos);
    EXPECT_EQ(concat->value().text(), "n=7");
    EXPECT_FALSE(c.run(pos));
    EXPECT_EQ(OpCode::lastErrorText().toStdString(), "Concatenar: x no es miembro de n.");
}

TEST(Instruction, SwitchComparesTyped) {
    Vars v;
    Variable* s = v.set("s", 3.0);
    OCSwitch sw(s, String());
    sw.addCase(DataItem("3"), 4);
    sw.addCase(DataItem(int32_t(3)), 8);
    sw.setEndTo(12);
    int pos = 0;
    sw.run(pos);
    EXPECT_EQ(pos + 1, 4);  // a number meets the text "3" as a number
    s->value().setString("x");
    sw.run(pos = 0);
    EXPECT_EQ(pos + 1, 12);
}

// An object whose every member answers an error item, after putting
// `message` in lastErrorText (nothing when it is empty).
class ErrorAnswer : public Interfasable {
public:
    explicit ErrorAnswer(const char* message) : message_(message) {}
    DataItem execute(const String&, const DataRow*) override {
        if (*message_) OpCode::lastErrorText() = String(message_);
        DataItem e;
        e.setError();
        return e;
    }

private:
    const char* message_;
};

TEST(Instruction, ErrorResultReportsTheObjectsMessage) {
    Vars v;
    ErrorAnswer explains("Tabla: la fila 3 no existe"), silent("");
    Variable* o = v.setObject("o", &explains);
    Variable* r = v.set("r", "antes");
    OCFunction call(o, "leer", {}, "o.leer()");
    call.setTarget(r);
    int pos = 0;
    EXPECT_FALSE(call.run(pos));
    EXPECT_EQ(OpCode::lastErrorText().toStdString(), "Tabla: la fila 3 no existe");
    EXPECT_EQ(r->value().text(), "antes");  // nothing written
    // An object that explains nothing does not inherit the last message.
    v.setObject("o", &silent);
    EXPECT_FALSE(call.run(pos));
    EXPECT_EQ(OpCode::lastErrorText().toStdString(), "leer: error");
}

}  // namespace
