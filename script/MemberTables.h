// MemberTables: the member-name lists of the six scriptable classes, kept as
// data, and their registration at start-up.
//
// Each list is an array of member names in index order, ended by an empty
// text, exactly as registerFunctionTable takes it; a class dispatches on the
// index that FunctionRegistry::findFunctionIndex answers for its own class
// number. The classes that use the lists are the environment (Entorno) and
// the script data objects (connections, mapped rows and their collections,
// grids, tables).
//
// registerAll() empties the process registry, registers the six tables in
// their fixed order (which gives the class numbers 1 to 6), builds the text
// of the "app" member names and sorts the registry once. Start-up calls it
// once; tests may call it again to start from a clean registry.
// Nothing here throws. UI thread only.
#pragma once

#include <cstdint>

#include "core/String.h"

namespace VORLIN {

class FunctionRegistry;

class MemberTables {
public:
    // The registering classes, in registration order.
    enum ScriptClass : int {
        AdmObjInstance = 0,
        AdmObjExpanded = 1,
        ItemGrid = 2,
        ConxObj = 3,
        Entorno = 4,
        ItemTable = 5,
    };
    static constexpr int kTableCount = 6;

    static const char* const kAdmObjInstance[];
    static const char* const kAdmObjExpanded[];
    static const char* const kItemGrid[];
    static const char* const kConxObj[];
    static const char* const kEntorno[];
    static const char* const kItemTable[];

    // The list of a class (ended by an empty text).
    static const char* const* names(ScriptClass c);
    // Its number of members.
    static int memberCount(ScriptClass c);

    // Registers the six tables in the process registry (emptied first), then
    // builds the "app" member text and sorts the registry.
    static void registerAll();
    // The same into any registry (the class numbers and the "app" text are
    // kept for the last registry filled).
    static void registerAll(FunctionRegistry& registry);

    // The class number given at registration; 0 before registerAll.
    static int32_t classNumber(ScriptClass c);

    // " showMessage confirm ... trace ": every "app" member name followed by
    // a blank, the whole preceded by a blank; empty before registerAll.
    static const String& appMemberNames();
    // Whether `name` is an "app" member (a blank-enclosed search of the text
    // above, as the call compiler does).
    static bool isAppMember(const String& name);
};

}  // namespace VORLIN
