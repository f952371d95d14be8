// Interfasable: the interface of every object a script can hold, and the
// type a DataItem of tag "obj" points to.
//
// A script never calls an object's operations directly: it names a member,
// asks hasMember, and calls execute with the member's name and a row of
// argument values. Every operation has a harmless default (null, an empty
// item, false), so a class overrides only what it supports. An owned object
// dies through the virtual destructor. Failures of execute are thrown as
// GeneralException with the class's own texts.
//
// reportOwned tells a visitor what dies with the object (the objects it
// owns) and which values it holds, for whoever must clear references into
// a dying object (the script engine does, before it deletes the objects a
// run displaced). A DataRow's cells are its values by nature; a class
// reports only what it keeps besides.
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

    // Receives what an object owns. The object keeps ownership of both.
    class OwnedParts {
    public:
        // An object that dies with the reporting one (null is skipped).
        virtual void object(Interfasable* owned) = 0;
        // A value the object holds; it may refer to other objects.
        virtual void value(DataItem* item) = 0;

    protected:
        ~OwnedParts() = default;
    };
    // Reports the objects this one owns and the values it holds (besides
    // the cells of a row); the default reports nothing.
    virtual void reportOwned(OwnedParts& parts);
    // A script wrote the member item `name` handed out (see getMemberItem);
    // the default does nothing.
    virtual void memberWritten(const String& name);
};

}  // namespace VORLIN
