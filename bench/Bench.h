// A tiny benchmark harness: each bench registers a function under a name;
// a bench program (quelmir-bench, quelmir-bench-gui) runs all of them (or
// those named on the command line) and each prints its own figures beside a
// reference measured in the same run. Figures that miss their targets are
// information, not failures: the program ends with 1 only when a bench
// could not run (it said so through failed()) or none was named right.
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

// Reports on standard error that the running bench could not do its work;
// the program's exit status becomes 1.
void failed(const std::string& what);

// Runs the benches named in argv (all without names); what main returns.
int runAll(int argc, char** argv, const char* program);

}  // namespace bench

#define QUELMIR_BENCH(name)                                \
    static void name();                                    \
    static bench::Registrar name##_registrar(#name, name); \
    static void name()
