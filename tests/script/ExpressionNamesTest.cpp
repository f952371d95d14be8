// Names inside expressions: variables (own values and bindings), unknown
// names, comparisons of texts and numbers, object members and calls, the
// argument lists of calls, and variable references written by a callee.
#include <cmath>

#include "ScriptTestSupport.h"
#include "script/MemberTables.h"

using namespace scripttest;

namespace {

TEST(ExpressionNames, UnknownNamesReadAsZeroAndEmpty) {
    Vars v;
    EXPECT_EQ(eval("x+1", v), 1.0);
    EXPECT_EQ(eval("x", v), 0.0);
    EXPECT_EQ(eval("x.y*3", v), 0.0);
    EXPECT_EQ(eval("x.f(1,2)+1", v), 1.0);  // no variable: no call, no failure
    EXPECT_TRUE(value("x", v).isNull());
    // Without any current variables every name is unknown.
    EXPECT_EQ(eval("x+2"), 2.0);
    // In a comparison an unknown name is empty, which is not the number 0.
    EXPECT_EQ(eval("x==0", v), 0.0);
    EXPECT_EQ(eval("x+0==0", v), 1.0);
}

TEST(ExpressionNames, VariablesHoldAnyValue) {
    Vars v;
    v.set("a", 2.5);
    v.set("n", DataItem(int32_t(4)));
    v.set("s", "12");
    EXPECT_EQ(eval("a*2", v), 5.0);
    EXPECT_EQ(eval("n^2", v), 16.0);
    EXPECT_EQ(eval("s+1", v), 13.0);
    EXPECT_EQ(value("n", v).type(), DataItem::TInt);
    EXPECT_EQ(value("s", v).text(), "12");
    // Names are case-sensitive and the first match wins.
    EXPECT_EQ(eval("A", v), 0.0);
    v.list.add("a")->value().setDouble(99.0);
    EXPECT_EQ(eval("a", v), 2.5);
}

TEST(ExpressionNames, BoundVariablesReadTheBoundItem) {
    VariableList list;
    DataItem cell(3.0);
    Variable* x = list.add("x");
    x->value().setDouble(1.0);
    x->bind(&cell);
    EXPECT_TRUE(x->value().isNull() == false);
    EXPECT_EQ(eval("x*2", &list), 6.0);
    cell.setDouble(5.0);
    EXPECT_EQ(eval("x*2", &list), 10.0);
    x->bind(nullptr);
    EXPECT_TRUE(x->value().isNull());  // binding dropped the own value
}

TEST(ExpressionNames, TextsCompareAsTextsAndNumbersAsNumbers) {
    Vars v;
    v.set("s", "abc");
    v.set("n", DataItem(int32_t(10)));
    v.set("d", 10.0);
    EXPECT_TRUE(value("s==\"abc\"", v).toBool());
    EXPECT_FALSE(value("s==\"ABC\"", v).toBool());
    EXPECT_TRUE(value("s<\"abd\"", v).toBool());
    EXPECT_TRUE(value("s!=\"ab\"", v).toBool());
    EXPECT_TRUE(value("n==d", v).toBool());
    EXPECT_TRUE(value("n==\"10\"", v).toBool());  // a number against a text: numerically
    EXPECT_TRUE(value("n>9", v).toBool());
    EXPECT_TRUE(value("n>=10", v).toBool());
    EXPECT_FALSE(value("n<10", v).toBool());
    // Two texts compare byte by byte, whatever they spell.
    EXPECT_FALSE(value("\"9\"<\"10\"", v).toBool());
    EXPECT_TRUE(value("9<10", v).toBool());
    DataItem day;
    day.setDate(VORLIN::DateTime(2024, 1, 15));
    v.set("f", day);
    v.set("t", "2024-01-15");
    v.set("t2", "2024-02-01");
    EXPECT_TRUE(value("f==t", v).toBool());
    EXPECT_TRUE(value("f<t2", v).toBool());
    // A quoted date cannot be written in the expression itself: its "-"
    // splits the text like any other operator.
    EXPECT_FALSE(value("f==\"2024-01-15\"", v).toBool());
    DataItem yes;
    yes.setBool(true);
    v.set("ok", yes);
    EXPECT_TRUE(value("ok==true", v).toBool());
    EXPECT_TRUE(value("ok&&s==\"abc\"", v).toBool());
}

TEST(ExpressionNames, BothOperandsOfALogicalOperatorAreEvaluated) {
    Vars v;
    TestObject object;
    v.setObject("o", &object);
    EXPECT_FALSE(value("0&&o.count(1)", v).toBool());
    EXPECT_TRUE(value("1||o.count(2)", v).toBool());
    EXPECT_EQ(object.calls.size(), 2u);
}

TEST(ExpressionNames, ObjectMembersAreRead) {
    Vars v;
    TestObject object;
    v.setObject("obj", &object);
    EXPECT_EQ(eval("obj.total*2", v), 20.0);
    EXPECT_EQ(value("obj.nombre", v).text(), "Ana");
    EXPECT_TRUE(value("obj.nombre==\"Ana\"", v).toBool());
    // The value is a copy: changing it does not touch the member.
    DataItem copy = value("obj.total", v);
    copy.setDouble(1.0);
    EXPECT_EQ(object.total.toDouble(), 10.0);
    // The whole path after the first "." is the member name.
    EXPECT_EQ(failureOf("obj.sub.total", v), "obj no tiene un miembro sub.total");
    EXPECT_EQ(object.asked.back(), "sub.total");
    EXPECT_EQ(failureOf("obj.missing+1", v), "obj no tiene un miembro missing");
}

TEST(ExpressionNames, ObjectsAreCalled) {
    Vars v;
    TestObject object;
    v.setObject("obj", &object);
    EXPECT_EQ(eval("obj.sum(1,2,3)", v), 6.0);
    EXPECT_EQ(eval("obj.count()", v), 0.0);
    EXPECT_EQ(eval("obj.count(1,2)", v), 2.0);
    // A call is a leading term: it takes the rest after its operator.
    EXPECT_EQ(eval("obj.sum(1,2)*2+1", v), 9.0);
    EXPECT_EQ(eval("1+obj.sum(1,2)*2", v), 7.0);
    EXPECT_EQ(eval("(obj.sum(1,2))*2+1", v), 7.0);
    EXPECT_EQ(eval("obj.sum(1,obj.total)", v), 11.0);  // name.member arguments too
    EXPECT_EQ(failureOf("obj.nope(1)", v), "obj no tiene una función nope(1)");
    EXPECT_EQ(failureOf("obj.fail()", v), "TestObject.fail: a proposito");
    // The call is made at each evaluation, never at compilation.
    ExpressionNode::VariablesScope scope(&v.list);
    auto root = ExpressionNode::compile("obj.count(1)");
    object.calls.clear();
    root->evaluate();
    root->evaluate();
    EXPECT_EQ(object.calls.size(), 2u);
}

TEST(ExpressionNames, ArgumentListsOfCalls) {
    Vars v;
    TestObject object;
    v.setObject("obj", &object);
    v.set("x", 5.0);

    DataItem n = value("obj.echo(2.5)", v);
    EXPECT_EQ(n.type(), DataItem::TDouble);
    EXPECT_EQ(n.toDouble(), 2.5);
    EXPECT_EQ(value("obj.echo(-3)", v).toDouble(), -3.0);

    DataItem s = value("obj.echo(\"a, b\")", v);
    EXPECT_EQ(s.type(), DataItem::TString);
    EXPECT_EQ(s.text(), "a, b");  // the comma inside quotes does not split
    EXPECT_EQ(eval("obj.count(\"a,b\",\"c\")", v), 2.0);

    DataItem t = value("obj.echo(true)", v);
    EXPECT_EQ(t.type(), DataItem::TInt);
    EXPECT_EQ(t.toInt(), 1);
    EXPECT_EQ(value("obj.echo(false)", v).toInt(), 0);
    EXPECT_EQ(value("obj.echo(false)", v).type(), DataItem::TInt);

    // A variable name arrives as a reference to the variable.
    DataItem r = value("obj.echo(x)", v);
    EXPECT_EQ(r.type(), DataItem::TRef);
    EXPECT_EQ(r.refKind(), DataItem::RefKind::Variable);
    EXPECT_EQ(Variable::referencedVariable(r), v.list.find("x"));
    EXPECT_TRUE(r.auxText().isEmpty());
    DataItem m = value("obj.echo(obj.total)", v);
    EXPECT_EQ(Variable::referencedVariable(m), v.list.find("obj"));
    EXPECT_EQ(m.auxText(), "total");
    EXPECT_EQ(eval("obj.sum(x,x)", v), 10.0);

    // Anything else is refused, with the rest of the argument text.
    EXPECT_EQ(failureOf("obj.sum(1,zz)", v), "Variable function: Bad argument type: zz");
    EXPECT_EQ(failureOf("obj.sum(zz,1)", v), "Variable function: Bad argument type: zz,1");
    EXPECT_EQ(failureOf("obj.sum(1,,2)", v), "Variable function: Bad argument type: ,2");
    EXPECT_EQ(failureOf("obj.sum(1,)", v), "Variable function: Bad argument type: ");
    EXPECT_EQ(failureOf("obj.sum(x+1)", v), "Variable function: Bad argument type: x+1");
    EXPECT_EQ(failureOf("obj.sum(zz.total)", v), "Variable function: Bad argument type: zz.total");
}

TEST(ExpressionNames, ACalleeWritesIntoTheCallersVariables) {
    Vars v;
    TestObject object;
    TestObject other;
    v.setObject("obj", &object);
    v.setObject("otro", &other);
    Variable* x = v.set("x", 1.0);
    EXPECT_EQ(value("obj.setVar(x,42)", v).text(), "ok");
    EXPECT_EQ(x->value().toDouble(), 42.0);
    // With a member path the callee writes the object's member.
    value("obj.setVar(otro.total,7)", v);
    EXPECT_EQ(other.total.toDouble(), 7.0);
    // A bound variable is written through its binding.
    DataItem cell;
    Variable* b = v.list.add("b");
    b->bind(&cell);
    value("obj.setVar(b,\"hola\")", v);
    EXPECT_EQ(cell.text(), "hola");
    // A variable that holds a reference is written at the end of the chain.
    Variable* y = v.set("y", 0.0);
    v.set("r", Variable::makeReference(y));
    value("obj.setVar(r,3)", v);
    EXPECT_EQ(y->value().toDouble(), 3.0);
}

TEST(ExpressionNames, VariableReferencesAreReadThrough) {
    Vars v;
    TestObject object;
    Variable* x = v.set("x", 4.0);
    Variable* o = v.setObject("obj", &object);
    v.set("r", Variable::makeReference(x));
    v.set("r2", Variable::makeReference(v.list.find("r")));
    v.set("rt", Variable::makeReference(o, "total"));
    EXPECT_EQ(eval("r+1", v), 5.0);
    EXPECT_EQ(eval("r2*2", v), 8.0);
    EXPECT_EQ(eval("rt", v), 10.0);
    EXPECT_EQ(value("r2", v).toDouble(), 4.0);
    // A path on the name applies to what the chain ends in.
    v.set("ro", Variable::makeReference(o));
    EXPECT_EQ(eval("ro.total+1", v), 11.0);
    EXPECT_EQ(eval("ro.sum(1,2)", v), 3.0);
    // A reference to a member the object lacks, or to no variable, is empty.
    v.set("rm", Variable::makeReference(o, "missing"));
    EXPECT_TRUE(value("rm", v).isNull());
    v.set("rn", Variable::makeReference(nullptr));
    EXPECT_EQ(eval("rn+1", v), 1.0);
    // A path on a reference to a plain value reads the value.
    v.set("rp", Variable::makeReference(x, "total"));
    EXPECT_EQ(eval("rp", v), 4.0);
}

TEST(ExpressionNames, CircularReferencesFail) {
    Vars v;
    Variable* a = v.set("a", 0.0);
    Variable* b = v.set("b", 0.0);
    a->value() = Variable::makeReference(b);
    b->value() = Variable::makeReference(a);
    std::string message = failureOf("a+1", v);
    EXPECT_TRUE(message == "a: referencia circular" || message == "b: referencia circular")
        << message;
    Variable* self = v.set("self", 0.0);
    self->value() = Variable::makeReference(self);
    EXPECT_EQ(failureOf("self", v), "self: referencia circular");
    EXPECT_EQ(messageOf([&] { value("self==1", v); }), "self: referencia circular");
}

TEST(ExpressionNames, RowReferencesAreValuesNotFollowed) {
    // DataRow::getDataRow answers a row reference holding the row: the
    // evaluator never takes it for a variable.
    Vars v;
    DataRow row(2);
    v.set("fila", DataRow::makeRowRef(&row));
    DataItem got = value("fila", v);
    EXPECT_EQ(got.type(), DataItem::TRef);
    EXPECT_EQ(got.refKind(), DataItem::RefKind::Row);
    EXPECT_EQ(DataRow::rowFromRef(got), &row);
    EXPECT_EQ(value("fila.x", v).refTarget(), &row);
    EXPECT_EQ(value("fila.f(1)", v).refTarget(), &row);
}

TEST(ExpressionNames, NullObjectsAreValues) {
    Vars v;
    v.setObject("obj", nullptr);
    DataItem got = value("obj.total", v);
    EXPECT_EQ(got.type(), DataItem::TObj);
    EXPECT_EQ(got.getObj(), nullptr);
    EXPECT_EQ(value("obj.f(1)", v).type(), DataItem::TObj);
}

TEST(ExpressionNames, CallsOnPlainValuesAreValueFunctions) {
    Vars v;
    v.set("s", "hola mundo");
    v.set("n", 4.0);
    EXPECT_EQ(eval("s.len()", v), 10.0);
    EXPECT_EQ(value("s.left(4)", v).text(), "hola");
    EXPECT_EQ(value("s.left(n)", v).text(), "hola");  // variables arrive as values here
    EXPECT_TRUE(value("s.left(4)==\"hola\"", v).toBool());
    EXPECT_EQ(failureOf("s.nada(1)", v), "DataItem.nada not defined");
    // A variable that was never assigned calls nothing.
    v.list.add("vacia");
    EXPECT_TRUE(value("vacia.len()", v).isNull());
}

TEST(ExpressionNames, OwnedCallResultsAreReleased) {
    int destroyed = 0;
    {
        Vars v;
        TestObject object(&destroyed);
        v.setObject("obj", &object);
        DataItem made = value("obj.make()", v);
        EXPECT_EQ(made.type(), DataItem::TObj);
        EXPECT_TRUE(made.ownsObject());
        EXPECT_EQ(destroyed, 0);
        made.release();
        EXPECT_EQ(destroyed, 1);
        eval("obj.make()", v);  // a numeric read drops the result at once
        EXPECT_EQ(destroyed, 2);
        value("obj.make()==1", v);
        EXPECT_EQ(destroyed, 3);
    }
    EXPECT_EQ(destroyed, 4);
}

TEST(ExpressionNames, TheCurrentVariablesAreRestored) {
    VariableList outer;
    VariableList inner;
    outer.add("x")->value().setDouble(1.0);
    inner.add("x")->value().setDouble(2.0);
    ExpressionNode::setCurrentVariables(nullptr);
    {
        ExpressionNode::VariablesScope a(&outer);
        auto root = ExpressionNode::compile("x");
        EXPECT_EQ(root->evaluate(), 1.0);
        {
            ExpressionNode::VariablesScope b(&inner);
            EXPECT_EQ(ExpressionNode::currentVariables(), &inner);
            EXPECT_EQ(root->evaluate(), 2.0);  // the same node, another list
        }
        EXPECT_EQ(root->evaluate(), 1.0);
        try {
            ExpressionNode::VariablesScope c(&inner);
            throw GeneralException("x");
        } catch (const GeneralException&) {
        }
        EXPECT_EQ(ExpressionNode::currentVariables(), &outer);
    }
    EXPECT_EQ(ExpressionNode::currentVariables(), nullptr);
}

TEST(ExpressionNames, ALookupFollowsChangesOfTheList) {
    VariableList list;
    ExpressionNode::VariablesScope scope(&list);
    auto root = ExpressionNode::compile("y*2");
    EXPECT_EQ(root->evaluate(), 0.0);
    list.add("y")->value().setDouble(5.0);
    EXPECT_EQ(root->evaluate(), 10.0);
    list.clear();
    EXPECT_EQ(root->evaluate(), 0.0);
    Variable* y = list.add("y");
    y->value().setDouble(1.5);
    EXPECT_EQ(root->evaluate(), 3.0);
    // The same leaf read again after its value changed kind.
    auto sum = ExpressionNode::compile("y+y");
    EXPECT_EQ(sum->evaluate(), 3.0);
    y->value().setString("4");
    EXPECT_EQ(sum->evaluate(), 8.0);
    y->value().setInt(5);
    EXPECT_EQ(sum->evaluate(), 10.0);
    Variable* z = list.add("z");
    z->value().setDouble(0.5);
    y->value() = Variable::makeReference(z);
    EXPECT_EQ(sum->evaluate(), 1.0);
    y->value().setDouble(2.0);
    EXPECT_EQ(sum->evaluate(), 4.0);
    DataItem cell(6.0);
    y->bind(&cell);
    EXPECT_EQ(sum->evaluate(), 12.0);
}

TEST(ExpressionNames, NameLeavesKeepTheirWholeText) {
    auto root = ExpressionNode::compile("obj.sum(1, \"a b\")");
    EXPECT_EQ(root->kind(), ExpressionNode::Name);
    EXPECT_EQ(root->variable().name(), "obj.sum(1,\"a b\")");
    EXPECT_EQ(ExpressionNode::compile("a.b.c")->variable().name(), "a.b.c");
}

}  // namespace

namespace {

// Rows and values live below the engine: the variables a script passes
// them are read through to their values.
TEST(ExpressionNames, RowsAndValuesReadVariableArguments) {
    VORLIN::MemberTables::registerAll();
    DataRow row(3);
    row.cell(0)->setString("uno");
    row.cell(1)->setString("dos");
    row.cell(2)->setString("a,b,c");
    Vars v;
    v.setObject("fila", &row);
    v.set("i", DataItem(int32_t(1)));
    v.set("sep", ",");
    EXPECT_EQ(value("fila.getItem(i)", v).text(), "dos");
    EXPECT_EQ(value("fila.2.tokenCount(sep)", v).toInt(), 3);
    v.set("nuevo", "tres");
    value("fila.setItem(i, nuevo)", v);
    EXPECT_EQ(row.cell(1)->text(), "tres");
}

}  // namespace
