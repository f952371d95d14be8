#include "script/OCAssign.h"

#include "core/DateDay.h"
#include "core/DateTime.h"
#include "core/GeneralException.h"
#include "core/Interfasable.h"
#include "script/AdmObjExpanded.h"
#include "script/AdmObjInstance.h"
#include "script/Variable.h"
#include "script/VariableList.h"

namespace VORLIN {

namespace {

String sourceName(const Variable* v, const String& path) {
    String s = v ? v->name() : String();
    if (!path.isEmpty()) {
        s.append('.');
        s.append(path);
    }
    return s;
}

String constantText(const DataItem& c) {
    if (c.isNull()) return String("null");
    if (c.type() == DataItem::TString) {
        String s("\"");
        s.append(c.text());
        s.append('"');
        return s;
    }
    return c.text();
}

DataItem objectRef(Interfasable* object) {
    DataItem d;
    d.setObj(object, false);
    return d;
}

}  // namespace

// ------------------------------------------------------------- OCAsignCte

bool OCAsignCte::run(int&) {
    DataItem value;
    switch (kind_) {
        case Hoy: {
            DateTime now = DateTime::now();
            now.clearTime();
            value.setDate(now);
            break;
        }
        case HoyDia:
            value.setDay(DateDay::today());
            break;
        case Hora:
            value.setString(DateTime::now().format("%H:%N:%S"));
            break;
        default:
            value.copyFrom(constant_);
            break;
    }
    DataItem* target = targetItem();
    if (value.type() == DataItem::TDouble && target->type() == DataItem::TString) {
        target->setString(value.text());
        return true;
    }
    write(std::move(value));
    return true;
}

String OCAsignCte::listing(const String& prefix) const {
    String s = prefix;
    s.append("    SET ");
    s.append(targetName());
    s.append(" = ");
    switch (kind_) {
        case Hoy:
            s.append("hoy");
            break;
        case HoyDia:
            s.append("hoydia");
            break;
        case Hora:
            s.append("hora");
            break;
        default:
            s.append(constantText(constant_));
            break;
    }
    return s;
}

// -------------------------------------------------------------- OCFormula

OCFormula::OCFormula(const String& text, VariableList* variables, bool condition)
    : text_(text),
      root_(ExpressionNode::compile(text)),
      variables_(variables),
      condition_(condition) {}

bool OCFormula::run(int&) {
    double v;
    {
        ExpressionNode::VariablesScope scope(variables_);
        v = root_->evaluate();
    }
    DataItem* target = targetItem();
    // The common case, a plain variable that owns nothing, is written in
    // place; anything else goes through the general write.
    if (targetPath().isEmpty() && !(target->type() == DataItem::TObj && target->ownsObject())) {
        if (condition_)
            target->setBool(v != 0.0);
        else
            target->setDouble(v);
        return true;
    }
    DataItem value;
    if (condition_)
        value.setBool(v != 0.0);
    else
        value.setDouble(v);
    write(std::move(value));
    return true;
}

String OCFormula::listing(const String& prefix) const {
    String s = prefix;
    s.append("    EVAL ");
    s.append(targetName());
    s.append(" = ");
    s.append(text_);
    return s;
}

// ------------------------------------------------------- OCAsignObjMember

bool OCAsignObjMember::run(int&) {
    if (!source_) throw GeneralException("Asignar: La variable no existe.");
    const DataItem& value = Variable::follow(source_->value());
    if (path_.isEmpty()) {
        DataItem copy(value);
        write(std::move(copy));
        return true;
    }
    DataItem* member = nullptr;
    if (value.type() == DataItem::TObj && value.getObj())
        member = value.getObj()->getMemberItem(path_);
    if (!member) {
        String m;
        m.format("Asignar objeto: %s no es miembro de %s.", path_.c_str(), source_->name().c_str());
        return fail(m);
    }
    DataItem copy(*member);
    write(std::move(copy));
    return true;
}

String OCAsignObjMember::listing(const String& prefix) const {
    String s = prefix;
    s.append("    SET ");
    s.append(targetName());
    s.append(" = ");
    s.append(sourceName(source_, path_));
    return s;
}

// ---------------------------------------------------------- OCAsignObject

bool OCAsignObject::run(int&) {
    if (!source_) throw GeneralException("Asignar: La variable no existe.");
    const DataItem& value = Variable::follow(source_->value());
    if (path_.isEmpty()) {
        DataItem copy;
        if (!value.isNull()) copy.copyFrom(value);
        write(std::move(copy));
        return true;
    }
    Interfasable* object = value.type() == DataItem::TObj ? value.getObj() : nullptr;
    if (object) {
        if (auto* row = dynamic_cast<AdmObjInstance*>(object)) {
            if (Interfasable* sub = row->getMemberObject(path_)) {
                write(objectRef(sub));
                return true;
            }
        }
        if (DataItem* member = object->getMemberItem(path_)) {
            DataItem copy(*member);
            write(std::move(copy));
            return true;
        }
    }
    throw GeneralException::format("Asignar Objeto: %s no es miembro de %s.", path_.c_str(),
                                   source_->name().c_str());
}

String OCAsignObject::listing(const String& prefix) const {
    String s = prefix;
    s.append("    SET Obj ");
    s.append(targetName());
    s.append(" = ");
    s.append(sourceName(source_, path_));
    return s;
}

// -------------------------------------------------------- OCAsignExpanded

bool OCAsignExpanded::run(int&) {
    const char* name = source_ ? source_->name().c_str() : "";
    const DataItem* value = source_ ? &Variable::follow(source_->value()) : nullptr;
    Interfasable* object = value && value->type() == DataItem::TObj ? value->getObj() : nullptr;
    if (path_.isEmpty() || !object)
        throw GeneralException::format("Asignar Expanded: miembro u objeto vacios (%s).", name);
    auto* row = dynamic_cast<AdmObjInstance*>(object);
    AdmObjExpanded* list = row ? row->collection(path_) : nullptr;
    if (!list)
        throw GeneralException::format("Asignar Expanded: %s no es miembro de %s.", path_.c_str(),
                                       name);
    write(objectRef(list));
    return true;
}

String OCAsignExpanded::listing(const String& prefix) const {
    String s = prefix;
    s.append("    SET[] ");
    s.append(targetName());
    s.append(" = ");
    s.append(sourceName(source_, path_));
    return s;
}

}  // namespace VORLIN
