// Operands and variables: own values, bindings, numeric reads and texts.
#include "script/Operando.h"

#include "ScriptTestSupport.h"

using namespace scripttest;
using VORLIN::Operando;

namespace {

TEST(Operando, HoldsADouble) {
    Operando o(2.5);
    EXPECT_EQ(o.getValue(), 2.5);
    EXPECT_EQ(o.numericValue(), 2.5);
    o.setValue(-1.0);
    EXPECT_EQ(o.getValue(), -1.0);
    EXPECT_EQ(o.valueText(), "-1.000000");
    EXPECT_EQ(Operando().getValue(), 0.0);
}

TEST(Variable, OwnValueAndBinding) {
    Variable v("total");
    EXPECT_EQ(v.name(), "total");
    EXPECT_TRUE(v.value().isNull());
    EXPECT_FALSE(v.isBound());
    v.setValue(4.0);
    EXPECT_EQ(v.value().type(), DataItem::TDouble);
    EXPECT_EQ(v.numericValue(), 4.0);
    EXPECT_EQ(v.getValue(), 4.0);
    DataItem cell("7");
    v.bind(&cell);
    EXPECT_TRUE(v.isBound());
    EXPECT_EQ(v.binding(), &cell);
    EXPECT_EQ(&v.value(), &cell);
    EXPECT_EQ(v.numericValue(), 7.0);
    EXPECT_EQ(v.valueText(), "7");
    v.setValue(9.0);  // writes the bound item
    EXPECT_EQ(cell.toDouble(), 9.0);
    v.bind(nullptr);
    EXPECT_TRUE(v.value().isNull());  // the own value was dropped by the binding
    Operando& base = v;
    EXPECT_EQ(base.numericValue(), 0.0);
}

TEST(Variable, BindingReleasesAnOwnedObject) {
    int destroyed = 0;
    Variable v("o");
    v.value().setObj(new TestObject(&destroyed), true);
    DataItem cell;
    v.bind(&cell);
    EXPECT_EQ(destroyed, 1);
}

TEST(Variable, ReadsThroughReferences) {
    Variable x("x");
    x.value().setString("abc");
    Variable r("r");
    r.value() = Variable::makeReference(&x);
    EXPECT_EQ(r.valueText(), "abc");
    EXPECT_EQ(&r.resolved(), &x.value());
    x.value().setDouble(1.5);
    EXPECT_EQ(r.numericValue(), 1.5);
    EXPECT_EQ(Variable::referencedVariable(r.value()), &x);
    EXPECT_EQ(Variable::referencedVariable(x.value()), nullptr);
}

TEST(VariableList, FindsTheFirstOfAName) {
    VariableList list;
    EXPECT_EQ(list.count(), 0);
    Variable* a = list.add("a");
    Variable* a2 = list.add("a");
    EXPECT_EQ(list.find("a"), a);
    EXPECT_NE(a, a2);
    EXPECT_EQ(list.find("A"), nullptr);
    EXPECT_EQ(list.at(1), a2);
    EXPECT_EQ(list.at(2), nullptr);
    EXPECT_EQ(list.at(-1), nullptr);
    uint64_t stamp = list.stamp();
    list.add("b");
    EXPECT_NE(list.stamp(), stamp);
    VariableList other;
    EXPECT_NE(other.stamp(), list.stamp());
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.find("a"), nullptr);
}

}  // namespace
