// Semaforo: a semaphore used as a lock (initial count 1, maximum 1). Unlike
// a mutex it may be released by another thread than the one that took it.
//
// Throws GeneralException: "Couldn't lock semaphore %s" when locking an
// object never created, "Couldn't unlock semaphore %s" when unlocking one
// never created or not held (the count would pass its maximum).
// "Couldn't set semaphore %s" is kept for callers; creating cannot fail on
// this platform. Threads: any operation from any thread.
#pragma once

#include "remote/Waitable.h"

namespace VORLIN {

class Semaforo : public Waitable {
public:
    Semaforo() = default;
    explicit Semaforo(const String& name) { create(name); }
    ~Semaforo() override;

    // Makes the semaphore usable and free. Creating it again only renames
    // it (as opening an existing named semaphore would): a held lock stays
    // held.
    void create(const String& name);
    // Waits without time limit.
    void lock();
    // Waits up to timeoutMs (0 = only try; negative = without limit);
    // true when the lock was taken.
    bool lock(int timeoutMs);
    void unlock();
    // Whether someone holds it now (a snapshot).
    bool isLocked() const;

private:
    int count_ = 0;  // under mutex_
};

}  // namespace VORLIN
