#include "script/OCFlow.h"

#include "core/GeneralException.h"
#include "core/Interfasable.h"
#include "script/Variable.h"

namespace VORLIN {

namespace {

String line(const String& prefix, const char* text) {
    String s = prefix;
    s.append(text);
    return s;
}

bool isTrue(const Variable* v) {
    return v && Variable::follow(v->value()).toBool();
}

}  // namespace

bool OCJump::run(int& pos) {
    if (to_ >= 0) jumpTo(pos, to_);
    return true;
}

String OCJump::listing(const String& prefix) const {
    String s = line(prefix, "    JUMP ");
    s.append(identity(to_));
    return s;
}

bool OCIf::run(int& pos) {
    if (isTrue(condition_)) return true;
    int to = elseTo_ >= 0 ? elseTo_ : endTo_;
    if (to >= 0) jumpTo(pos, to);
    return true;
}

String OCIf::listing(const String& prefix) const {
    String s = line(prefix, "    IF ");
    if (condition_) s.append(condition_->name());
    return s;
}

bool OCWhile::run(int& pos) {
    if (exitTo_ < 0) return fail("WHILE sin ENDWHILE");
    if (!isTrue(condition_)) jumpTo(pos, exitTo_);
    return true;
}

String OCWhile::listing(const String& prefix) const {
    String s = line(prefix, "    WHILE( ");
    if (condition_) s.append(condition_->name());
    s.append(" )");
    return s;
}

String OCReturn::listing(const String& prefix) const {
    return line(prefix, "    RETURN");
}

String OCNull::listing(const String& prefix) const {
    return line(prefix, "    NULL ");
}

bool OCThrow::run(int&) {
    throw GeneralException(message_.toStdString());
}

String OCThrow::listing(const String& prefix) const {
    String s = line(prefix, "    THROW ");
    s.append(message_);
    return s;
}

String OCTry::listing(const String& prefix) const {
    String s = line(prefix, "    TRY  THEN JUMP TO ");
    s.append(identity(catchMarker_));
    s.append(" CATCH: ");
    s.append(identity(catchMarker_ < 0 ? -1 : catchMarker_ + 1));
    return s;
}

bool OCDefStatement::run(int&) {
    if (!target()) return true;
    const DataItem& value = Variable::follow(target()->value());
    if (value.type() == DataItem::TObj && value.getObj()) {
        if (DataItem* start = value.getObj()->getMemberItem("DefStatement")) start->setInt(first_);
    }
    return true;
}

String OCDefStatement::listing(const String& prefix) const {
    String s = line(prefix, "    SET ");
    s.append(targetName());
    s.append(".DefStatement = ");
    s.append(identity(first_));
    return s;
}

}  // namespace VORLIN
