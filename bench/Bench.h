// A tiny benchmark harness: each bench registers a function under a name;
// quelmir-bench runs all of them (or those named on the command line) and
// each prints its own figures beside a reference measured in the same run.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

namespace bench {

using BenchFn = std::function<void()>;

struct Registrar {
    Registrar(const char* name, BenchFn fn);
};

// Wall-clock seconds since an arbitrary start.
inline double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Bytes currently allocated on the heap (malloc's own count).
size_t heapInUse();
// Resident set size of the process in bytes.
size_t residentBytes();

// Keeps the optimiser from discarding a computed value.
void keep(const void* p);

}  // namespace bench

#define QUELMIR_BENCH(name)                                \
    static void name();                                    \
    static bench::Registrar name##_registrar(#name, name); \
    static void name()
