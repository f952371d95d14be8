#include "script/ScriptSession.h"

#include "script/FunctionRegistry.h"
#include "script/MemberTables.h"
#include "script/ObjectCollector.h"
#include "script/ScriptFunction.h"
#include "script/ScriptRegisters.h"

namespace VORLIN {

ScriptSession::ScriptSession(ScriptHost& host) : host_(host), environment_(&host), rutina_(&host) {
    if (FunctionRegistry::instance().tableCount() == 0 ||
        MemberTables::classNumber(MemberTables::Entorno) == 0)
        MemberTables::registerAll();
    ScriptRegisters::create(&environment_);
}

ScriptSession::~ScriptSession() {
    // The functions are bound to the registers: they go first. Their
    // objects, and then the registers', die through the collector, each
    // once, after every reference to them was cleared.
    rutina_.clear();
    ObjectCollector::releasePending();
    ScriptRegisters::destroy();
}

int ScriptSession::run(const String& text) {
    int before = rutina_.errorReports();
    ObjectCollector::discard(rutina_.runMain(text));
    ObjectCollector::releasePending();
    return rutina_.errorReports() - before;
}

String ScriptSession::explain(const String& text) {
    String error = rutina_.load(text);
    if (!error.isEmpty()) {
        rutina_.reportError(error);
        return String();
    }
    if (!rutina_.findFunction("main")) {
        rutina_.reportError("No se encontró la función main");
        return String();
    }
    return rutina_.listing("main");
}

}  // namespace VORLIN
