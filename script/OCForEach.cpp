#include "script/OCForEach.h"

#include "core/Interfasable.h"
#include "data/DataRow.h"
#include "script/Variable.h"

namespace VORLIN {

bool OCForEach::step(Variable* collection, Variable* element, const char* member, const char* who,
                     bool& failed) {
    failed = true;
    const char* name = collection ? collection->name().c_str() : "";
    const DataItem& value = collection ? Variable::follow(collection->value()) : DataItem();
    String m;
    if (value.type() != DataItem::TObj) {
        m.format("%s: %s no es un objeto.", who, name);
        fail(m);
        return false;
    }
    Interfasable* object = value.getObj();
    if (!object) {
        m.format("%s: %s no hace referencia un objeto.", who, name);
        fail(m);
        return false;
    }
    DataRow args(1);
    *args.cell(0) = Variable::makeReference(element);
    object->execute(member, &args);
    failed = false;
    const DataItem& got = Variable::follow(element->value());
    if (got.isNull()) return false;
    if (got.type() == DataItem::TObj && !got.getObj()) return false;
    return true;
}

bool OCForEach::run(int& pos) {
    if (loopEnd_ < 0) return fail("ForEach: Ciclo no definido.");
    bool failed = false;
    bool more = step(collection_, element_, "head", "ForEach", failed);
    if (failed) return false;
    if (!more) jumpTo(pos, loopEnd_ + 1);
    return true;
}

String OCForEach::listing(const String& prefix) const {
    String s = prefix;
    s.append("    FOREACH (");
    s.append(collection_ ? collection_->name() : String());
    s.append(", ");
    s.append(element_ ? element_->name() : String());
    s.append(')');
    return s;
}

bool OCNextForEach::run(int& pos) {
    if (loopStart_ < 0) return fail("NextForEach: Ciclo no definido.");
    bool failed = false;
    bool more = OCForEach::step(collection_, element_, "next", "NextForEach", failed);
    if (failed) return false;
    if (more) jumpTo(pos, loopStart_ + 1);
    return true;
}

String OCNextForEach::listing(const String& prefix) const {
    String s = prefix;
    s.append("    NEXTFOREACH (");
    s.append(identity(loopStart_ < 0 ? -1 : loopStart_ + 1));
    s.append(')');
    return s;
}

}  // namespace VORLIN
