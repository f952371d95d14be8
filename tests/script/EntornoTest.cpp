// The environment: published values and dotted lookups, the members of
// "app" through a headless host, and what dies with it.
#include "script/Entorno.h"

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "ScriptTestSupport.h"
#include "script/FunctionRegistry.h"
#include "script/HeadlessHost.h"
#include "script/MemberTables.h"
#include "script/ScriptRegisters.h"
#include "script/ScriptTrace.h"

using namespace scripttest;
using VORLIN::Entorno;
using VORLIN::FunctionRegistry;
using VORLIN::HeadlessHost;
using VORLIN::MemberTables;
using VORLIN::ScriptRegisters;
using VORLIN::ScriptTrace;

namespace {

class EntornoTest : public ::testing::Test {
protected:
    EntornoTest() : host(out, err), env(&host) {}
    void SetUp() override {
        MemberTables::registerAll();
        ScriptRegisters::create(&env);
        // Scripts reach the environment as "app", bound to its register.
        vars.list.add("app")->bind(ScriptRegisters::cell(ScriptRegisters::App));
    }
    void TearDown() override {
        ScriptRegisters::destroy();
        ScriptTrace::reset();
    }

    DataItem call(const char* member, std::initializer_list<DataItem> args) {
        DataRow row(int(args.size()));
        int i = 0;
        for (const DataItem& a : args)
            row.set(i++, a);
        return env.execute(member, &row);
    }

    std::ostringstream out;
    std::ostringstream err;
    HeadlessHost host;
    Entorno env;
    Vars vars;
};

TEST_F(EntornoTest, ShowMessageUsesInfoOrTheGivenCaption) {
    EXPECT_TRUE(call("showMessage", {DataItem("hola")}).isNull());
    call("showMessage", {DataItem("cuidado"), DataItem("ALERT")});
    call("showMessage", {DataItem("")});  // an empty text shows nothing
    EXPECT_EQ(err.str(), "INFO: hola\nALERT: cuidado\n");
    EXPECT_EQ(host.messageCount(), 2);
    EXPECT_EQ(out.str(), "");
}

TEST_F(EntornoTest, ConfirmAnswersABool) {
    DataItem no = call("confirm", {DataItem("¿Seguro?")});
    EXPECT_EQ(no.type(), DataItem::TBool);  // "no" is false, not empty
    EXPECT_FALSE(no.toBool());
    host.setConfirmAnswer(true);
    EXPECT_TRUE(call("confirm", {DataItem("¿Otra vez?")}).toBool());
    EXPECT_EQ(err.str(), "ASK: ¿Seguro?\nASK: ¿Otra vez?\n");
}

TEST_F(EntornoTest, ConfirmTellsTheHostItsCaptionAndButtons) {
    struct Recorder : VORLIN::ScriptHost {
        std::string seen;
        bool confirm(const String& text, const String& caption, const String& no) override {
            seen = caption.toStdString() + "|" + no.toStdString() + "|" + text.toStdString();
            return true;
        }
    } recorder;
    env.setHost(&recorder);
    EXPECT_TRUE(call("confirm", {DataItem("x")}).toBool());
    EXPECT_EQ(recorder.seen, "ASK|NO|x");
    env.setHost(nullptr);  // the silent host answers no
    EXPECT_FALSE(call("confirm", {DataItem("x")}).toBool());
}

TEST_F(EntornoTest, GetTimeIsHoursAndMinutes) {
    DataItem t = call("getTime", {});
    EXPECT_EQ(t.type(), DataItem::TString);
    EXPECT_TRUE(std::regex_match(t.text().toStdString(), std::regex("[0-2][0-9]:[0-5][0-9]")))
        << t.text().toStdString();
}

TEST_F(EntornoTest, CombinePadsTheNumberWithZeros) {
    EXPECT_EQ(call("combine", {DataItem("F"), DataItem(int32_t(7)), DataItem(int32_t(4))}).text(),
              "F0007");
    EXPECT_EQ(call("combine", {DataItem("F"), DataItem(int32_t(-7)), DataItem(int32_t(4))}).text(),
              "F00-7");
    EXPECT_EQ(
        call("combine", {DataItem("F"), DataItem(int32_t(12345)), DataItem(int32_t(4))}).text(),
        "F12345");
    EXPECT_EQ(call("combine", {DataItem(""), DataItem(3.9), DataItem(int32_t(-2))}).text(), "3");
    EXPECT_EQ(messageOf([&] {
                  call("combine", {DataItem("F"), DataItem(int32_t(1)), DataItem(5000000.0)});
              }),
              "app.combine: ancho fuera de rango (5000000)");
}

TEST_F(EntornoTest, MembersAreCalledFromExpressions) {
    EXPECT_EQ(value("app.combine(\"F\",7,4)", vars).text(), "F0007");
    EXPECT_EQ(value("app.combine(\"A-\",-7,4)", vars).text(), "A-00-7");
    Variable* n = vars.set("n", 42.0);
    EXPECT_EQ(value("app.combine(\"N\",n,5)", vars).text(), "N00042");  // read through
    EXPECT_EQ(n->value().toDouble(), 42.0);
    EXPECT_EQ(failureOf("app.nada(1)", vars), "app no tiene una función nada(1)");
    EXPECT_EQ(eval("app.confirm(\"x\")+1", vars), 1.0);
}

TEST_F(EntornoTest, AddCaracterPadsTheVariable) {
    Variable* x = vars.set("x", "7");
    value("app.addCaracter(x,3,\"0\")", vars);
    EXPECT_EQ(x->value().text(), "007");
    EXPECT_EQ(x->value().type(), DataItem::TString);
    Variable* y = vars.set("y", 5.0);  // a number pads its text
    value("app.addCaracter(y,4,0)", vars);
    EXPECT_EQ(y->value().text(), "5.000000");
    value("app.addCaracter(x,6,\"*\")", vars);
    EXPECT_EQ(x->value().text(), "***007");
    value("app.addCaracter(x,2,\"*\")", vars);  // never cut
    EXPECT_EQ(x->value().text(), "***007");
    value("app.addCaracter(x,8,\"\")", vars);  // no character: blanks
    EXPECT_EQ(x->value().text(), "  ***007");
    EXPECT_EQ(failureOf("app.addCaracter(\"x\",3,\"0\")", vars),
              "DataItem.operator >> : DataItem is not a reference");
    EXPECT_EQ(failureOf("app.addCaracter(x,2000000,\"0\")", vars),
              "app.addCaracter: ancho fuera de rango (2000000)");
}

TEST_F(EntornoTest, AddCaracterWritesAnObjectMember) {
    TestObject object;
    vars.setObject("obj", &object);
    value("app.addCaracter(obj.nombre,5,\"_\")", vars);
    EXPECT_EQ(object.nombre.text(), "__Ana");
}

TEST_F(EntornoTest, WaitCursorPrintAndBreak) {
    call("setWaitCursor", {DataItem(int32_t(1))});
    EXPECT_TRUE(host.waitCursor());
    value("app.setWaitCursor(false)", vars);
    EXPECT_FALSE(host.waitCursor());
    EXPECT_TRUE(call("printMsg", {DataItem("linea uno"), DataItem(int32_t(0))}).isNull());
    value("app.printMsg(\"linea dos\",true)", vars);
    EXPECT_EQ(out.str(), "linea uno\nlinea dos\n");
    EXPECT_TRUE(call("break", {}).isNull());
    EXPECT_TRUE(env.execute("break", nullptr).isNull());
}

TEST_F(EntornoTest, AMissingArgumentIsTheRowIndexFailure) {
    const char* text = "DataRow[]: indice fuera de rango";
    EXPECT_EQ(messageOf([&] { call("printMsg", {DataItem("x")}); }), text);
    EXPECT_EQ(messageOf([&] { env.execute("showMessage", nullptr); }), text);
    EXPECT_EQ(messageOf([&] { call("combine", {DataItem("F"), DataItem(1.0)}); }), text);
    EXPECT_EQ(messageOf([&] { call("trace", {}); }), text);
    EXPECT_EQ(failureOf("app.confirm()", vars), text);
}

TEST_F(EntornoTest, TraceOpensAndClosesTheTraceFile) {
    std::string path = ::testing::TempDir() + "entorno_trace.log";
    std::remove(path.c_str());
    ScriptTrace::setFileName(String(path));
    value("app.trace(true)", vars);
    EXPECT_TRUE(ScriptTrace::enabled());
    ScriptTrace::write("    EVAL x = 1\r\n");
    call("trace", {DataItem(int32_t(0))});
    EXPECT_FALSE(ScriptTrace::enabled());
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "    EVAL x = 1\r\n");
    std::remove(path.c_str());
}

TEST_F(EntornoTest, HasMemberAsksTheRegistry) {
    EXPECT_TRUE(env.hasMember("showMessage"));
    EXPECT_TRUE(env.hasMember("break"));
    EXPECT_FALSE(env.hasMember("ShowMessage"));
    EXPECT_FALSE(env.hasMember("size"));  // another class's member
    EXPECT_EQ(Entorno::classNumber(), 5);
}

TEST_F(EntornoTest, UnregisteredNamesGiveEmptyResults) {
    EXPECT_TRUE(env.execute("noExiste", nullptr).isNull());
    EXPECT_TRUE(env.execute("size", nullptr).isNull());
    EXPECT_TRUE(env.execute("", nullptr).isNull());
    FunctionRegistry::instance().reset();  // nothing registered: nothing known
    EXPECT_FALSE(env.hasMember("showMessage"));
    EXPECT_TRUE(call("showMessage", {DataItem("x")}).isNull());
    EXPECT_EQ(err.str(), "");
}

TEST_F(EntornoTest, PublishedValuesAndDottedPaths) {
    EXPECT_EQ(env.getMemberItem("nada"), nullptr);
    DataItem* n = env.addValue("numero", DataItem(int32_t(5)));
    EXPECT_EQ(env.getMemberItem("numero"), n);
    EXPECT_EQ(env.getMemberItem("Numero"), nullptr);
    EXPECT_EQ(env.valueCount(), 1);
    // The first value of a name is the one found.
    env.addValue("numero", DataItem(int32_t(6)));
    EXPECT_EQ(env.getMemberItem("numero")->toInt(), 5);

    auto* inner = new TestObject;
    DataItem held;
    held.setObj(inner, true);
    env.addValue("a", std::move(held));
    EXPECT_EQ(env.getMemberItem("a.total"), &inner->total);
    EXPECT_EQ(env.getMemberItem("a.b.c"), nullptr);
    ASSERT_FALSE(inner->asked.empty());
    EXPECT_EQ(inner->asked.back(), "b.c");              // the rest of the path goes on whole
    EXPECT_EQ(env.getMemberItem("numero.x"), nullptr);  // not an object
    EXPECT_EQ(env.getMemberItem("nada.x"), nullptr);
    // A name starting with "." is looked up whole.
    DataItem* dotted = env.addValue(".raro", DataItem("r"));
    EXPECT_EQ(env.getMemberItem(".raro"), dotted);
    // Through an expression.
    vars.setObject("gestor", &env);
    EXPECT_EQ(eval("gestor.numero*2", vars), 10.0);
    EXPECT_EQ(eval("gestor.a.total", vars), 10.0);
    EXPECT_EQ(failureOf("gestor.a.nada", vars), "gestor no tiene un miembro a.nada");
}

TEST(Entorno, DestructionDeletesEveryReferredObjectOnce) {
    int destroyed = 0;
    auto* shared = new TestObject(&destroyed);
    auto* alone = new TestObject(&destroyed);
    {
        Entorno env;
        DataItem owned;
        owned.setObj(shared, true);
        DataItem plain;
        plain.setObj(shared, false);
        DataItem other;
        other.setObj(alone, false);  // not owned, deleted all the same
        DataItem self;
        self.setObj(&env, false);
        env.addValue("uno", std::move(owned));
        env.addValue("dos", plain);
        env.addValue("tres", other);
        env.addValue("yo", self);
        env.addValue("nulo", DataItem());
        DataItem none;
        none.setObj(nullptr, false);
        env.addValue("vacio", none);
    }
    EXPECT_EQ(destroyed, 2);
}

TEST(Entorno, ADeadEnvironmentLeavesNoRegisterPointingAtIt) {
    {
        Entorno env;
        ScriptRegisters::create(&env);
        EXPECT_EQ(ScriptRegisters::cell(ScriptRegisters::App)->getObj(), &env);
    }
    EXPECT_TRUE(ScriptRegisters::cell(ScriptRegisters::App)->isNull());
    EXPECT_TRUE(ScriptRegisters::cell(ScriptRegisters::Gestor)->isNull());
    ScriptRegisters::destroy();
}

}  // namespace
