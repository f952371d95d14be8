#include "app/main/HeapPrefault.h"

#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <system_error>

namespace VORLIN {

namespace {

#if defined(__linux__) && defined(MADV_POPULATE_WRITE) && defined(SYS_brk)
constexpr bool kCanPopulate = true;

// The program break, asked of the kernel: the C library's own copy belongs
// to the thread that moves it.
uintptr_t currentBreak() noexcept {
    return uintptr_t(::syscall(SYS_brk, 0));
}

// Maps in [from, to) without touching its contents. False when the kernel
// does not know the request (older than 5.14); a range the heap gave back
// meanwhile (ENOMEM) is no failure.
bool populate(uintptr_t from, uintptr_t to) noexcept {
    if (to <= from) return true;
    if (::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE) == 0) return true;
    return errno != EINVAL;
}
#else
constexpr bool kCanPopulate = false;
uintptr_t currentBreak() noexcept {
    return 0;
}
bool populate(uintptr_t, uintptr_t) noexcept {
    return false;
}
#endif

// Pieces small enough that a stop is seen soon.
constexpr uintptr_t kPiece = uintptr_t(4) << 20;

uintptr_t pageSize() noexcept {
    static const uintptr_t size = uintptr_t(std::max(4096L, ::sysconf(_SC_PAGESIZE)));
    return size;
}

std::atomic<int>& support() noexcept {
    // -1 unknown, 0 no, 1 yes.
    static std::atomic<int> known{-1};
    return known;
}

}  // namespace

bool HeapPrefault::supported() noexcept {
    int known = support().load();
    if (known >= 0) return known == 1;
    bool yes = false;
    if (kCanPopulate) {
        // One page of an anonymous mapping of our own tells whether the
        // kernel knows the request.
        const uintptr_t page = pageSize();
        void* probe =
            ::mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (probe != MAP_FAILED) {
            yes = populate(uintptr_t(probe), uintptr_t(probe) + page) && currentBreak() != 0;
            ::munmap(probe, page);
        }
    }
    support().store(yes ? 1 : 0);
    return yes;
}

HeapPrefault::HeapPrefault() noexcept {
    if (!supported()) return;
    try {
        // The break of now, taken here: what it grows by from this call on
        // is what the thread maps in.
        const uintptr_t from = currentBreak();
        thread_ = std::thread([this, from] { run(from); });
    } catch (const std::system_error&) {
        // No thread to spare: the load faults its pages in itself.
    }
}

HeapPrefault::~HeapPrefault() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void HeapPrefault::run(uintptr_t from) {
    const uintptr_t page = pageSize();
    const auto pageUp = [page](uintptr_t at) { return (at + page - 1) & ~(page - 1); };
    // What lay below the break then is in use already, or mapped in.
    uintptr_t done = pageUp(from);
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        wake_.wait_for(lock, std::chrono::microseconds(kPollMicros));
        if (stop_) break;
        lock.unlock();
        const uintptr_t top = pageUp(currentBreak());
        // Below `done` after a trim: what grows again is new.
        if (top < done) done = top;
        while (done < top && !stop_) {
            const uintptr_t end = std::min(top, done + kPiece);
            if (!populate(done, end)) {
                support().store(0);
                return;
            }
            done = end;
        }
        lock.lock();
    }
}

}  // namespace VORLIN
