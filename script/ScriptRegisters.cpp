#include "script/ScriptRegisters.h"

#include <memory>

#include "data/DataRow.h"
#include "script/Entorno.h"
#include "script/ObjectCollector.h"

namespace VORLIN {

const char* const ScriptRegisters::kNames[kCount] = {
    "NULL",   "_RETURN_",   "parent", "dlg",       "interfases", "config", "gestor", "excel",
    "screen", "currentRow", "-r",     "lastError", "app",        "_CRLF_", "_REG_",  "_CONCAT_"};

namespace {

std::unique_ptr<DataRow>& theRow() {
    static std::unique_ptr<DataRow> row;
    return row;
}

// The objects the cells own die through the collector, which first clears
// every reference the scripts still hold to them (other cells included).
void releaseOwned() {
    DataRow* row = theRow().get();
    if (!row) return;
    for (int i = 0; i < row->count(); ++i)
        ObjectCollector::dropOwned(*row->cell(i));
    ObjectCollector::releasePending();
}

}  // namespace

DataRow* ScriptRegisters::create(Entorno* environment) {
    auto row = std::make_unique<DataRow>(kCount);
    String names;
    for (int i = 0; i < kCount; ++i) {
        if (i) names.append('|');
        names.append(kNames[i]);
    }
    row->setOwnNames(names);

    // The environment is the application's: the cells refer, never own.
    if (environment) {
        row->cell(Gestor)->setObj(environment, false);
        row->cell(App)->setObj(environment, false);
    }
    row->cell(CrLfR)->setString("\r\n");
    row->cell(CrLf)->setString("\r\n");
    // "_REG_" and "_CONCAT_" start null like the empty cells.

    // What the old row's cells own dies first, through the collector; the
    // old row itself after the new one is in place, so that nothing it
    // destroys finds the registers missing.
    releaseOwned();
    std::unique_ptr<DataRow> old = std::move(theRow());
    theRow() = std::move(row);
    old.reset();
    return theRow().get();
}

void ScriptRegisters::destroy() {
    releaseOwned();
    theRow().reset();
}

DataRow* ScriptRegisters::row() noexcept {
    return theRow().get();
}

DataItem* ScriptRegisters::cell(Cell c) noexcept {
    DataRow* r = row();
    return r ? r->cell(int(c)) : nullptr;
}

DataItem* ScriptRegisters::cellByName(TextRef name) noexcept {
    DataRow* r = row();
    return r ? r->cellByName(name) : nullptr;
}

}  // namespace VORLIN
