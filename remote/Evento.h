// Evento: an event that one thread fires and another waits for. An
// auto-reset event lets exactly one wait through per fire and is clear
// again afterwards; a manual-reset event stays signalled until reset().
// Created non-signalled.
//
// Throws GeneralException with the object's name: "Couldn't fire event %s",
// "Couldn't reset event %s", "Evento.isEventFired error (%s)" and
// "Evento.waitForEvent error (%s)" when the event was never created.
// "Couldn't create event %s" and "Couldn't set event %s" are kept for
// callers; creating cannot fail on this platform.
// Threads: any operation from any thread.
#pragma once

#include "remote/Waitable.h"

namespace VORLIN {

class Evento : public Waitable {
public:
    // Not created: every operation but create() fails.
    Evento() = default;
    Evento(const String& name, bool autoReset) { create(name, autoReset); }
    ~Evento() override;

    // (Re)creates the event: the name and mode given, not signalled.
    void create(const String& name, bool autoReset);
    void fire();
    void reset();
    // Waits up to timeoutMs (0 = only test, negative = without limit) and
    // answers whether the event was signalled; an auto-reset event is clear
    // again afterwards.
    bool isEventFired(int timeoutMs);
    // Waits up to timeoutMs (negative = without limit); true when signalled.
    bool waitForEvent(int timeoutMs);
    bool isAutoReset() const;

private:
    bool waitSignal(int timeoutMs, const char* failure);

    bool autoReset_ = true;  // under mutex_
    bool signalled_ = false;
};

}  // namespace VORLIN
