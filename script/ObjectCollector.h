// ObjectCollector: the one way an object a script owns dies.
//
// A value may own the object it holds (a variable after "g = Grid()", a
// register, a cell); other values only refer to it (copies, rows handed out
// by a grid, sub-objects). When an owning value is overwritten, dropped or
// dies with its holder, its object is not deleted at once: it waits here,
// since other values of the run may still point into it ("fila =
// Obj(fila.cliente)", a row of a grid). releasePending deletes what waits:
// first every value the scripts can still reach that refers to a waiting
// object, or to anything it owns, becomes a null object; then each object
// is deleted once.
//
// What a waiting object owns, and which values a living object holds, the
// objects tell themselves (Interfasable::reportOwned); a DataRow's values
// are its cells. The values the scripts reach are the variables and
// arguments of every live function, the registers, and what the objects
// met there hold, followed through.
//
// Ownership: owns the waiting objects. Nothing here throws but allocation
// failures. Process-wide state, not synchronised: the UI thread only.
#pragma once

#include <cstddef>

#include "core/DataItem.h"

namespace VORLIN {

class Interfasable;

class ObjectCollector {
public:
    ObjectCollector() = delete;

    // Stores `value` into `item`. An object `item` owned before waits for
    // releasePending (the same object again stays owned by `item`).
    static void store(DataItem& item, DataItem value);
    // A value nobody keeps: an object it owns waits (a result no
    // instruction stores, for one).
    static void discard(DataItem value);
    // When `item` owns an object, the object waits and `item` becomes null;
    // any other item is left alone. For values that die with their holder
    // (a function's variables, the registers).
    static void dropOwned(DataItem& item);
    // `object` (owned by nobody now) waits for releasePending.
    static void retire(Interfasable* object);

    // Deletes every waiting object (and what waits meanwhile because of
    // them) after clearing the references the scripts still hold to them.
    // The outermost run calls it when it ends.
    static void releasePending();
    // releasePending when the waiting objects hold enough values (an object
    // and each of its cells count one): kReleaseValues, or more when the
    // last clearing had more values to look at. The outermost run calls it
    // between two instructions, where no instruction holds an object, so a
    // long loop that keeps replacing objects does not pile them up.
    static void releaseIfDue() {
        if (pendingValues_ >= releaseMark_) releasePending();
    }
    static constexpr size_t kReleaseValues = 65536;
    // The values the waiting objects hold.
    static size_t pendingValues() noexcept { return pendingValues_; }

private:
    static void addPending(DataItem holder);

    static inline size_t pendingValues_ = 0;
    static inline size_t releaseMark_ = kReleaseValues;
};

}  // namespace VORLIN
