// Runnable: an object with a thread of its own. start() runs run() in a new
// thread; run()'s result is the thread's exit code.
//
// Lifecycle: created -> started -> run() returns (thread ends). The object
// outlives its thread. A subclass whose run() uses the subclass's own
// members must make run() return and call join() in its own destructor:
// by the time ~Runnable runs, those members are gone. ~Runnable joins a
// thread still running as a last resort (it never leaves one detached
// while the object it runs on dies, except when destroyed by its own
// thread).
//
// Throws GeneralException "Couldn't begin thread" when no thread can be
// started. Threads: start, join and the queries may be called from any
// thread but the object's own (join from the own thread does nothing).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace VORLIN {

class Runnable {
public:
    Runnable() = default;
    virtual ~Runnable();
    Runnable(const Runnable&) = delete;
    Runnable& operator=(const Runnable&) = delete;

    // The thread's native handle; 0 until started.
    virtual std::thread::native_handle_type getHandle();
    // Starts the thread unless it was started already.
    virtual void start();
    // The thread body; the base answers 0.
    virtual int run();

    bool isStarted() const;
    bool isFinished() const;
    // Waits up to timeoutMs (negative = without limit) for run() to return.
    bool waitFinished(int timeoutMs) const;
    // Waits for the thread to end and releases it.
    void join();
    int exitCode() const;
    // A number for the thread (0 until started).
    uint32_t threadId() const;

private:
    void body();

    std::thread thread_;
    mutable std::mutex mutex_;
    mutable std::condition_variable ended_;
    bool started_ = false;  // under mutex_
    bool finished_ = false;
    int exitCode_ = 0;
    uint32_t threadId_ = 0;
};

}  // namespace VORLIN
