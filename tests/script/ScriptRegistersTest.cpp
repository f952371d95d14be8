// The shared row of predefined variables.
#include "script/ScriptRegisters.h"

#include "ScriptTestSupport.h"
#include "script/Entorno.h"

using namespace scripttest;
using VORLIN::Entorno;
using VORLIN::ScriptRegisters;

namespace {

TEST(ScriptRegisters, InitialContents) {
    Entorno env;
    DataRow* row = ScriptRegisters::create(&env);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(ScriptRegisters::row(), row);
    ASSERT_EQ(row->count(), 16);
    for (int i = 0; i < ScriptRegisters::kCount; ++i) {
        const DataItem* cell = row->cell(i);
        EXPECT_EQ(row->columnName(i), ScriptRegisters::kNames[i]) << i;
        switch (i) {
            case ScriptRegisters::Gestor:
            case ScriptRegisters::App:
                EXPECT_EQ(cell->type(), DataItem::TObj);
                EXPECT_EQ(cell->getObj(), &env);
                EXPECT_FALSE(cell->ownsObject());
                break;
            case ScriptRegisters::CrLfR:
            case ScriptRegisters::CrLf:
                EXPECT_EQ(cell->type(), DataItem::TString);
                EXPECT_EQ(cell->text(), "\r\n");
                break;
            default:
                EXPECT_TRUE(cell->isNull()) << i;
        }
    }
    ScriptRegisters::destroy();
    EXPECT_EQ(ScriptRegisters::row(), nullptr);
    EXPECT_EQ(ScriptRegisters::cell(ScriptRegisters::App), nullptr);
}

TEST(ScriptRegisters, NamesInTheirOrder) {
    const char* expected[] = {"NULL",       "_RETURN_",   "parent", "dlg",
                              "interfases", "config",     "gestor", "excel",
                              "screen",     "currentRow", "-r",     "lastError",
                              "app",        "_CRLF_",     "_REG_",  "_CONCAT_"};
    for (int i = 0; i < 16; ++i)
        EXPECT_STREQ(ScriptRegisters::kNames[i], expected[i]);
    ScriptRegisters::create(nullptr);
    EXPECT_EQ(ScriptRegisters::cellByName("_RETURN_"),
              ScriptRegisters::cell(ScriptRegisters::Return));
    EXPECT_EQ(ScriptRegisters::cellByName("-r"), ScriptRegisters::cell(ScriptRegisters::CrLfR));
    EXPECT_EQ(ScriptRegisters::cellByName("_concat_"), nullptr);
    EXPECT_TRUE(ScriptRegisters::cell(ScriptRegisters::App)->isNull());  // no environment
    ScriptRegisters::destroy();
    EXPECT_EQ(ScriptRegisters::cellByName("_RETURN_"), nullptr);
}

TEST(ScriptRegisters, ANewRowReplacesTheOldOne) {
    int destroyed = 0;
    ScriptRegisters::create(nullptr);
    ScriptRegisters::cell(ScriptRegisters::Return)->setObj(new TestObject(&destroyed), true);
    ScriptRegisters::cell(ScriptRegisters::LastError)->setString("viejo");
    ScriptRegisters::create(nullptr);
    EXPECT_EQ(destroyed, 1);  // what the old cells owned died with them
    EXPECT_TRUE(ScriptRegisters::cell(ScriptRegisters::LastError)->isNull());
    ScriptRegisters::destroy();
    ScriptRegisters::destroy();  // twice is harmless
}

TEST(ScriptRegisters, FunctionsShareTheCellsThroughBindings) {
    ScriptRegisters::create(nullptr);
    VariableList first, second;
    for (VariableList* list : {&first, &second})
        for (int i = 0; i < ScriptRegisters::kCount; ++i)
            list->add(ScriptRegisters::kNames[i])->bind(ScriptRegisters::row()->cell(i));
    first.find("_REG_")->value().setDouble(3.0);
    EXPECT_EQ(eval("_REG_*2", &second), 6.0);
    EXPECT_EQ(value("_CRLF_", &second).text(), "\r\n");
    ScriptRegisters::destroy();
}

}  // namespace
