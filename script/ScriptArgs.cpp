#include "script/ScriptArgs.h"

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "script/Variable.h"

namespace VORLIN {

int ScriptArgs::count(const DataRow* args) noexcept {
    return args ? args->count() : 0;
}

const DataItem& ScriptArgs::cell(const DataRow* args, int n) {
    if (!args) throw GeneralException("DataRow[]: indice fuera de rango");
    return *args->cellChecked(n);
}

const DataItem& ScriptArgs::value(const DataRow* args, int n) {
    return Variable::follow(cell(args, n));
}

DataItem* ScriptArgs::variable(const DataRow* args, int n) {
    const DataItem& arg = cell(args, n);
    if (!Variable::isFollowed(arg))
        throw GeneralException("DataItem.operator >> : DataItem is not a reference");
    // The row is const to the callee, but the reference in it designates the
    // caller's variable, which the callee is meant to write.
    return Variable::followTarget(const_cast<DataItem&>(arg));
}

}  // namespace VORLIN
