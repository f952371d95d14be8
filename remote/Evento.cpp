#include "remote/Evento.h"

#include <chrono>

#include "core/GeneralException.h"

namespace VORLIN {

Evento::~Evento() = default;

void Evento::create(const String& name, bool autoReset) {
    std::lock_guard<std::mutex> lock(mutex_);
    name_ = name;
    autoReset_ = autoReset;
    signalled_ = false;
    created_ = true;
}

void Evento::fire() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!created_) throw GeneralException::format("Couldn't fire event %s", name_.c_str());
        signalled_ = true;
    }
    // An auto-reset event releases one waiter; the others keep waiting.
    changed_.notify_all();
}

void Evento::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!created_) throw GeneralException::format("Couldn't reset event %s", name_.c_str());
    signalled_ = false;
}

bool Evento::waitSignal(int timeoutMs, const char* failure) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!created_) throw GeneralException::format(failure, name_.c_str());
    auto fired = [this] { return signalled_; };
    if (timeoutMs < 0) {
        changed_.wait(lock, fired);
    } else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), fired)) {
        return false;
    }
    if (autoReset_) signalled_ = false;
    return true;
}

bool Evento::isEventFired(int timeoutMs) {
    return waitSignal(timeoutMs, "Evento.isEventFired error (%s)");
}

bool Evento::waitForEvent(int timeoutMs) {
    return waitSignal(timeoutMs, "Evento.waitForEvent error (%s)");
}

bool Evento::isAutoReset() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return autoReset_;
}

}  // namespace VORLIN
