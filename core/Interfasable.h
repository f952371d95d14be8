// Interfasable: the interface of every object a script can hold, and the
// type a DataItem of tag "obj" points to.
//
// A script never calls an object's operations directly: it names a member,
// asks hasMember, and calls execute with the member's name and a row of
// argument values. Every operation has a harmless default (null, an empty
// item, false), so a class overrides only what it supports. An owned object
// dies through the virtual destructor. Failures of execute are thrown as
// GeneralException with the class's own texts.
#pragma once

#include "core/String.h"

namespace VORLIN {

class DataItem;
class DataRow;

class Interfasable {
public:
    virtual ~Interfasable() = default;

    // The item holding the member's value (the name may be a dotted path),
    // or null. The object keeps ownership of the item.
    virtual DataItem* getMemberItem(const String& name);
    // Calls the member `name` with the arguments in `args` (may be null).
    virtual DataItem execute(const String& name, const DataRow* args);
    // An object reference to the parent, or an empty item.
    virtual DataItem getParent();
    virtual bool hasMember(const String& name);
    virtual Interfasable* getOwner();
    // A scriptable sub-object by name, or null (owned by this object).
    virtual Interfasable* getMemberObject(const String& name);
};

}  // namespace VORLIN
