// Helpers shared by the script engine tests: a small scriptable object, a
// variable list with values, and one-line compile-and-evaluate calls.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/DataItem.h"
#include "core/GeneralException.h"
#include "core/Interfasable.h"
#include "data/DataRow.h"
#include "script/ExpressionNode.h"
#include "script/ScriptArgs.h"
#include "script/VariableList.h"

namespace scripttest {

using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::ExpressionNode;
using VORLIN::GeneralException;
using VORLIN::Interfasable;
using VORLIN::ScriptArgs;
using VORLIN::String;
using VORLIN::Variable;
using VORLIN::VariableList;

// A scriptable object with two members ("total", "nombre") and a few
// functions:
//   sum(...)        the sum of the arguments read as numbers
//   count(...)      the number of arguments
//   echo(x)         argument 0 exactly as received (references untouched)
//   setVar(v, x)    writes x into the variable v; answers "ok"
//   make()          a new TestObject owned by the result
//   fail()          throws "TestObject.fail: a proposito"
// Every destruction is counted in `destroyed` (when given).
class TestObject : public Interfasable {
public:
    explicit TestObject(int* destroyed = nullptr) : destroyed_(destroyed) {
        total.setDouble(10.0);
        nombre.setString("Ana");
    }
    ~TestObject() override {
        if (destroyed_) ++*destroyed_;
    }

    DataItem* getMemberItem(const String& name) override {
        asked.push_back(name.toStdString());
        if (name == "total") return &total;
        if (name == "nombre") return &nombre;
        return nullptr;
    }
    bool hasMember(const String& name) override {
        for (const char* f : {"sum", "count", "echo", "setVar", "make", "fail"})
            if (name == f) return true;
        return false;
    }
    DataItem execute(const String& name, const DataRow* args) override {
        calls.push_back(name.toStdString());
        if (name == "sum") {
            double s = 0;
            for (int i = 0; i < ScriptArgs::count(args); ++i)
                s += ScriptArgs::toDouble(args, i);
            return DataItem(s);
        }
        if (name == "count") return DataItem(int32_t(ScriptArgs::count(args)));
        if (name == "echo") return *args->cellChecked(0);
        if (name == "setVar") {
            DataItem* target = ScriptArgs::variable(args, 0);
            if (target) target->copyFrom(ScriptArgs::value(args, 1));
            return DataItem("ok");
        }
        if (name == "make") {
            DataItem d;
            d.setObj(new TestObject(destroyed_), true);
            return d;
        }
        if (name == "fail") throw GeneralException("TestObject.fail: a proposito");
        return DataItem();
    }

    DataItem total;
    DataItem nombre;
    std::vector<std::string> asked;
    std::vector<std::string> calls;

private:
    int* destroyed_;
};

// A variable list with helpers to declare variables holding values.
struct Vars {
    VariableList list;

    Variable* set(const char* name, const DataItem& value) {
        Variable* v = list.find(name);
        if (!v) v = list.add(name);
        v->value().copyFrom(value);
        return v;
    }
    Variable* set(const char* name, double value) { return set(name, DataItem(value)); }
    Variable* set(const char* name, const char* text) { return set(name, DataItem(text)); }
    Variable* setObject(const char* name, Interfasable* object) {
        DataItem d;
        d.setObj(object, false);
        return set(name, d);
    }
};

// Compiles and evaluates numerically with `vars` as the current variables.
inline double eval(const char* text, VariableList* vars = nullptr) {
    ExpressionNode::VariablesScope scope(vars);
    return ExpressionNode::compile(text)->evaluate();
}
inline double eval(const char* text, Vars& vars) {
    return eval(text, &vars.list);
}

inline DataItem value(const char* text, VariableList* vars = nullptr) {
    ExpressionNode::VariablesScope scope(vars);
    return ExpressionNode::compile(text)->evaluateValue();
}
inline DataItem value(const char* text, Vars& vars) {
    return value(text, &vars.list);
}

// The message of the GeneralException that compiling and evaluating
// `text` raises, or "(no failure)".
inline std::string failureOf(const char* text, VariableList* vars = nullptr) {
    try {
        ExpressionNode::VariablesScope scope(vars);
        ExpressionNode::compile(text)->evaluate();
    } catch (const GeneralException& e) {
        return e.message();
    }
    return "(no failure)";
}
inline std::string failureOf(const char* text, Vars& vars) {
    return failureOf(text, &vars.list);
}

// The message of the GeneralException `fn` throws, or "(no failure)".
template <typename Fn>
std::string messageOf(Fn fn) {
    try {
        fn();
    } catch (const GeneralException& e) {
        return e.message();
    }
    return "(no failure)";
}

}  // namespace scripttest
