#include "remote/Semaforo.h"

#include <chrono>

#include "core/GeneralException.h"

namespace VORLIN {

Semaforo::~Semaforo() = default;

void Semaforo::create(const String& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    name_ = name;
    if (!created_) {
        created_ = true;
        count_ = 1;
    }
}

void Semaforo::lock() {
    (void)lock(-1);
}

bool Semaforo::lock(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!created_) throw GeneralException::format("Couldn't lock semaphore %s", name_.c_str());
    auto free = [this] { return count_ > 0; };
    if (timeoutMs < 0) {
        changed_.wait(lock, free);
    } else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), free)) {
        return false;
    }
    --count_;
    return true;
}

void Semaforo::unlock() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!created_ || count_ >= 1)
            throw GeneralException::format("Couldn't unlock semaphore %s", name_.c_str());
        ++count_;
    }
    changed_.notify_one();
}

bool Semaforo::isLocked() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return created_ && count_ == 0;
}

}  // namespace VORLIN
