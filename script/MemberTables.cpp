#include "script/MemberTables.h"

#include "script/Variable.h"

#include "script/FunctionRegistry.h"

namespace VORLIN {

// The order of each list is the index each class dispatches on: never
// reorder a list, only append.

const char* const MemberTables::kAdmObjInstance[] = {
    "setInstance", "getAdmObj",   "setNewInstance",     "hasMember", "getMember", "setMember",
    "serialize",   "from",        "getParent",          "setParent", "Search",    "Catalog",
    "FindDoc",     "AddInstance", "InsertOrReplaceStr", ""};

const char* const MemberTables::kAdmObjExpanded[] = {"size",
                                                     "head",
                                                     "next",
                                                     "prev",
                                                     "getEditInstance",
                                                     "addNewInstance",
                                                     "setCurrentInstance",
                                                     "getInstanceAt",
                                                     "getInstanceWhere",
                                                     "getInstancePos",
                                                     "initialize",
                                                     "deleteAll",
                                                     "deleteAt",
                                                     "deleteCurrentInstance",
                                                     "deleteWhere",
                                                     "sumaDe",
                                                     "sumaProducto",
                                                     "sumaWhere",
                                                     "add",
                                                     "getColumnListValues",
                                                     "getParent",
                                                     ""};

const char* const MemberTables::kItemGrid[] = {"size",
                                               "head",
                                               "next",
                                               "deleteAll",
                                               "deleteAt",
                                               "deleteWhere",
                                               "queryDataset",
                                               "setColumnNames",
                                               "getColumnListValues",
                                               "getRowAt",
                                               "getLastRow",
                                               "insertRow",
                                               "addNewRow",
                                               "insertSqlRow",
                                               "merge",
                                               "sumaDe",
                                               "sumaProducto",
                                               "multiSort",
                                               "export",
                                               ""};

const char* const MemberTables::kConxObj[] = {"execute",
                                              "insert",
                                              "executeInsert",
                                              "queryString",
                                              "queryInt",
                                              "queryDouble",
                                              "queryItem",
                                              "queryDataRow",
                                              "tableExist",
                                              "beginTransaction",
                                              "begin",
                                              "commitTransaction",
                                              "commit",
                                              "rollbackTransaction",
                                              "rollback",
                                              "getHost",
                                              "getAlias",
                                              "newInstance",
                                              "deleteInstance",
                                              "addReference",
                                              "addListReference",
                                              "updateDatabase",
                                              "setPrimaryKey",
                                              ""};

const char* const MemberTables::kEntorno[] = {
    "showMessage",   "confirm",  "getTime", "combine", "addCaracter",
    "setWaitCursor", "printMsg", "break",   "trace",   ""};

const char* const MemberTables::kItemTable[] = {
    "size",     "head",      "next",      "removeAll",
    "removeAt", "open",      "copy",      "getColumnListValues",
    "getRowAt", "insertRow", "multiSort", ""};

namespace {

const char* const* const kTables[MemberTables::kTableCount] = {
    MemberTables::kAdmObjInstance, MemberTables::kAdmObjExpanded, MemberTables::kItemGrid,
    MemberTables::kConxObj,        MemberTables::kEntorno,        MemberTables::kItemTable};

int32_t gClassNumbers[MemberTables::kTableCount] = {};

String& appNames() {
    static String text;
    return text;
}

}  // namespace

const char* const* MemberTables::names(ScriptClass c) {
    return (c >= 0 && c < kTableCount) ? kTables[c] : nullptr;
}

int MemberTables::memberCount(ScriptClass c) {
    const char* const* list = names(c);
    int n = 0;
    while (list && list[n][0])
        ++n;
    return n;
}

void MemberTables::registerAll() {
    registerAll(FunctionRegistry::instance());
}

void MemberTables::registerAll(FunctionRegistry& registry) {
    // Objects below the engine (rows, values) read the variables scripts
    // pass them as arguments through this.
    DataItem::setRefFollower(&Variable::follow);
    registry.reset();
    for (int c = 0; c < kTableCount; ++c)
        gClassNumbers[c] = registry.registerFunctionTable(kTables[c]);

    String& text = appNames();
    text = " ";
    for (const char* const* n = kEntorno; (*n)[0]; ++n) {
        text.append(*n);
        text.append(' ');
    }
    registry.sort();
}

int32_t MemberTables::classNumber(ScriptClass c) {
    return (c >= 0 && c < kTableCount) ? gClassNumbers[c] : 0;
}

const String& MemberTables::appMemberNames() {
    return appNames();
}

bool MemberTables::isAppMember(const String& name) {
    if (name.isEmpty() || appNames().isEmpty()) return false;
    String needle(" ");
    needle.append(name);
    needle.append(' ');
    return appNames().find(needle) >= 0;
}

}  // namespace VORLIN
