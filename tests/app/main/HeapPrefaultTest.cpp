#include "app/main/HeapPrefault.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

using VORLIN::HeapPrefault;

namespace {

constexpr intptr_t kGrowth = intptr_t(8) << 20;

// Pages of [base, base + bytes) mapped in now.
size_t residentPages(char* base, size_t bytes) {
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> in((bytes + page - 1) / page);
    if (::mincore(base, bytes, in.data()) != 0) return 0;
    size_t n = 0;
    for (unsigned char c : in)
        n += c & 1;
    return n;
}

// Grows the program break as the heap does, and gives the growth back.
// Only where the test binary's allocator (the sanitizer's) leaves the break
// alone: the C library's heap would grow into it meanwhile.
struct BreakGrowth {
    BreakGrowth() {
        const size_t page = size_t(::sysconf(_SC_PAGESIZE));
        char* now = static_cast<char*>(::sbrk(0));
        // Start on a page of its own.
        pad = intptr_t((page - uintptr_t(now) % page) % page);
        char* got = static_cast<char*>(::sbrk(pad + kGrowth));
        if (got != reinterpret_cast<char*>(-1)) base = got + pad;
    }
    ~BreakGrowth() {
        if (base) ::sbrk(-(pad + kGrowth));
    }
    char* base = nullptr;
    intptr_t pad = 0;
};

}  // namespace

// The heap's new pages are mapped in by the prefault thread without being
// touched; without one they stay unmapped until written.
TEST(HeapPrefault, MapsInWhatTheBreakGrowsBy) {
#if !defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the C library's heap owns the break in this build";
#endif
    if (!HeapPrefault::supported()) GTEST_SKIP() << "this kernel cannot map pages in ahead";
    const size_t pages = size_t(kGrowth) / size_t(::sysconf(_SC_PAGESIZE));
    {
        BreakGrowth alone;
        ASSERT_NE(alone.base, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(residentPages(alone.base, size_t(kGrowth)), 0u);
    }
    HeapPrefault prefault;
    BreakGrowth grown;
    ASSERT_NE(grown.base, nullptr);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    size_t resident = 0;
    while ((resident = residentPages(grown.base, size_t(kGrowth))) < pages &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(resident, pages);
    // Mapped in, not written: the memory reads as the kernel gave it.
    for (size_t at = 0; at < size_t(kGrowth); at += 4096)
        ASSERT_EQ(grown.base[at], 0) << at;
}
