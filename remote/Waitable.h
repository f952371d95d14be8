// Waitable: the common base of the synchronisation objects (Semaforo,
// Evento). It holds the object's name and the mutex and condition variable
// its state lives under.
//
// Each object is its own: two objects of the same name are two objects.
// (Named kernel objects shared by name would let two remote connections of
// one process release each other's waiting requests.) The name appears only
// in the failure texts.
//
// An object becomes usable when it is created (Semaforo::create, Evento's
// constructor or create); operations on an object never created fail with
// the subclass's text. Threads: every operation may be called from any
// thread. Nothing here throws.
#pragma once

#include <condition_variable>
#include <mutex>

#include "core/String.h"

namespace VORLIN {

class Waitable {
public:
    Waitable() = default;
    virtual ~Waitable();
    Waitable(const Waitable&) = delete;
    Waitable& operator=(const Waitable&) = delete;

    String name() const;
    bool isCreated() const;

protected:
    // Both under mutex_.
    String name_;
    bool created_ = false;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
};

}  // namespace VORLIN
