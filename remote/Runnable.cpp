#include "remote/Runnable.h"

#include <chrono>
#include <functional>
#include <system_error>

#include "core/GeneralException.h"

namespace VORLIN {

Runnable::~Runnable() {
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();
        else
            thread_.join();
    }
}

std::thread::native_handle_type Runnable::getHandle() {
    std::lock_guard<std::mutex> lock(mutex_);
    return started_ && thread_.joinable() ? thread_.native_handle()
                                          : std::thread::native_handle_type();
}

void Runnable::start() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (started_) return;
    try {
        thread_ = std::thread(&Runnable::body, this);
    } catch (const std::system_error&) {
        throw GeneralException("Couldn't begin thread");
    }
    started_ = true;
    threadId_ = uint32_t(std::hash<std::thread::id>()(thread_.get_id()));
}

int Runnable::run() {
    return 0;
}

void Runnable::body() {
    int code = -1;
    try {
        code = run();
    } catch (...) {
        // A thread body must not let an exception out (that would end the
        // process); the exit code tells the owner.
        code = -1;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        exitCode_ = code;
        finished_ = true;
    }
    ended_.notify_all();
}

bool Runnable::isStarted() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return started_;
}

bool Runnable::isFinished() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_;
}

bool Runnable::waitFinished(int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!started_) return true;
    auto done = [this] { return finished_; };
    if (timeoutMs < 0) {
        ended_.wait(lock, done);
        return true;
    }
    return ended_.wait_for(lock, std::chrono::milliseconds(timeoutMs), done);
}

void Runnable::join() {
    // started_ is only set by start(), which the owner calls before join().
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

int Runnable::exitCode() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return exitCode_;
}

uint32_t Runnable::threadId() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return threadId_;
}

}  // namespace VORLIN
