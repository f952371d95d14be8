// The instructions that create script data objects and write an owned
// reference to them: "Row(n)" (OCSetRow), "Grid(...)" (OCSetGrid),
// "TableSet(name)" (OCSetTable) and "DbConnection("name")" (OCConnection).
//
// The created object belongs to the value that receives it and dies when
// that value is overwritten or destroyed. OCConnection finds the connection
// through the running routine's host and throws "La conexión %s no esta
// disponible." when there is none of that name. The UI thread only.
#pragma once

#include "script/OpCode.h"

namespace VORLIN {

// A new row object of `count` cells (a row object without cells below 1).
class OCSetRow : public OpCode {
public:
    // Most cells a script may ask for; more throws "Row: demasiadas celdas
    // (%d)".
    static constexpr int kMaxCells = 1 << 16;
    explicit OCSetRow(int count) : count_(count) {}
    bool run(int& pos) override;
    String listing(const String& prefix) const override;

private:
    int count_;
};

// A new grid: empty, or built from two texts (column names and template
// row, "|"-separated), given as constants or read from two variables.
class OCSetGrid : public OpCode {
public:
    // An empty grid.
    OCSetGrid() = default;
    // From two constant texts.
    OCSetGrid(const String& names, const String& templ)
        : hasTexts_(true), names_(names), template_(templ) {}
    // From the texts of two variables, read when it runs.
    OCSetGrid(Variable* names, Variable* templ) : namesVar_(names), templateVar_(templ) {}
    bool run(int& pos) override;
    String listing(const String& prefix) const override;

private:
    bool hasTexts_ = false;
    String names_;
    String template_;
    Variable* namesVar_ = nullptr;
    Variable* templateVar_ = nullptr;
};

// A new table object on the named table (not loaded until "open").
class OCSetTable : public OpCode {
public:
    explicit OCSetTable(const String& table) : table_(table) {}
    bool run(int& pos) override;
    String listing(const String& prefix) const override;

private:
    String table_;
};

// A new connection object on the host's open connection of that name.
class OCConnection : public OpCode {
public:
    explicit OCConnection(const String& name) : name_(name) {}
    bool run(int& pos) override;
    String listing(const String& prefix) const override;

private:
    String name_;
};

}  // namespace VORLIN
