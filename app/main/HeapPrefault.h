// HeapPrefault: while one is alive, a thread of its own maps in the pages
// the heap grows by, ahead of the thread that fills them.
//
// A million-row result takes half a gigabyte the process never had. Each of
// its pages is mapped in by the kernel the first time it is written, a
// fault that costs the reading thread about a microsecond: a quarter of
// the whole load on a virtual machine. The heap grows by the program break
// (the main arena, tuneHeapForResults), so the break runs ahead of the
// allocations by the heap's top pad. This thread watches the break every
// millisecond and asks the kernel to map in what lies below it
// (MADV_POPULATE_WRITE), on the core the reading thread is not using. The
// pages' contents are not touched: a page already in use is left as it is.
//
// Where the kernel or the C library cannot do this (no POPULATE_WRITE, no
// program break, a heap of a sanitizer's own) the thread does nothing, and
// loads are as fast as without it.
//
// Ownership: owns its thread; the destructor stops and joins it. Threads:
// make and destroy it on one thread. Throws nothing (without a thread to
// spare it does nothing).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace VORLIN {

class HeapPrefault {
public:
    // How often the break is looked at.
    static constexpr int kPollMicros = 1000;

    HeapPrefault() noexcept;
    ~HeapPrefault();
    HeapPrefault(const HeapPrefault&) = delete;
    HeapPrefault& operator=(const HeapPrefault&) = delete;

    // Whether this system can map pages in ahead (tried once per process).
    static bool supported() noexcept;

private:
    void run(uintptr_t from);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace VORLIN
