#include "script/OCSwitch.h"

#include "core/Interfasable.h"
#include "script/Variable.h"

namespace VORLIN {

bool OCSwitch::run(int& pos) {
    DataItem empty;
    const DataItem* value = &empty;
    if (selector_) {
        value = &Variable::follow(selector_->value());
        if (!path_.isEmpty()) {
            DataItem* member = nullptr;
            if (value->type() == DataItem::TObj && value->getObj())
                member = value->getObj()->getMemberItem(path_);
            value = member ? member : &empty;
        }
    }
    for (const auto& c : cases_) {
        if (value->compare(c.first) == 0) {
            jumpTo(pos, c.second);
            return true;
        }
    }
    int to = defaultTo_ >= 0 ? defaultTo_ : endTo_;
    if (to >= 0) jumpTo(pos, to);
    return true;
}

String OCSwitch::listing(const String& prefix) const {
    String s = prefix;
    s.append("    SWITCH( ");
    if (selector_) s.append(selector_->name());
    if (!path_.isEmpty()) {
        s.append('.');
        s.append(path_);
    }
    s.append(" )");
    for (const auto& c : cases_) {
        s.append("\r\n                  CASE ");
        s.append(c.first.text());
        s.append(" JUMP TO ");
        s.append(identity(c.second));
    }
    s.append("\r\n                  DEFAULT JUMP TO ");
    s.append(identity(defaultTo_ >= 0 ? defaultTo_ : endTo_));
    return s;
}

}  // namespace VORLIN
