#include "script/OCFunction.h"

#include "core/GeneralException.h"
#include "core/Interfasable.h"
#include "data/DataRow.h"
#include "data/ValueFunctions.h"
#include "script/ObjectCollector.h"
#include "script/Variable.h"

namespace VORLIN {

bool OCFunction::run(int&) {
    DataItem* holder = object_ ? Variable::followTarget(object_->value()) : nullptr;
    if (!holder || holder->isNull())
        throw GeneralException::format("Llamada a función sin objeto: %s", member_.c_str());

    DataRow args(int(arguments_.size()));
    DataItem result;
    if (holder->type() == DataItem::TObj) {
        Interfasable* object = holder->getObj();
        if (!object)
            throw GeneralException::format("El objeto de la llamada de función no es valido: %s",
                                           member_.c_str());
        // References travel as they are: the callee reads them through, and
        // may write the variables they designate.
        for (size_t i = 0; i < arguments_.size(); ++i)
            args.cell(int(i))->copyFrom(arguments_[i]);
        // An object that answers an error item has put its message in
        // lastErrorText (the item itself only reads "ERROR"); cleared first
        // so that a message left by an earlier failure is never reported
        // for this call.
        lastErrorText() = String();
        result = object->execute(member_, &args);
        if (result.type() == DataItem::TError) {
            if (lastErrorText().isEmpty()) {
                String m;
                m.format("%s: error", member_.c_str());
                lastErrorText() = m;
            }
            return false;
        }
    } else {
        // A plain value: one of the value functions, with the arguments as
        // values.
        for (size_t i = 0; i < arguments_.size(); ++i)
            args.cell(int(i))->copyFrom(Variable::follow(arguments_[i]));
        try {
            result = ValueFunctions::execute(*holder, member_, &args);
        } catch (const GeneralException& e) {
            std::string unknown = "DataItem." + member_.toStdString() + " not defined";
            if (e.message() == unknown)
                throw GeneralException::format("La función no es parte de un tipo base: %s",
                                               member_.c_str());
            throw;
        }
    }
    if (target())
        write(std::move(result));
    else
        ObjectCollector::discard(std::move(result));
    return true;
}

String OCFunction::listing(const String& prefix) const {
    String s = prefix;
    if (target()) {
        s.append("    SET ");
        s.append(targetName());
        s.append(" = ");
    } else {
        s.append("    EXEC ");
    }
    s.append(callText_);
    return s;
}

}  // namespace VORLIN
