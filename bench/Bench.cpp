#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "bench/Bench.h"

namespace bench {

namespace {

std::map<std::string, BenchFn>& registry() {
    static std::map<std::string, BenchFn> r;
    return r;
}

bool anyFailed = false;

}  // namespace

Registrar::Registrar(const char* name, BenchFn fn) {
    registry()[name] = std::move(fn);
}

size_t heapInUse() {
    struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}

size_t residentBytes() {
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    unsigned long pages = 0, resident = 0;
    if (std::fscanf(f, "%lu %lu", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
    return resident * 4096ul;
}

void keep(const void* p) {
    asm volatile("" : : "r"(p) : "memory");
}

void failed(const std::string& what) {
    std::fflush(stdout);
    std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    anyFailed = true;
}

int runAll(int argc, char** argv, const char* program) {
    int ran = 0;
    for (auto& [name, fn] : registry()) {
        bool wanted = argc < 2;
        for (int i = 1; i < argc; ++i)
            wanted = wanted || std::strcmp(argv[i], name.c_str()) == 0;
        if (!wanted) continue;
        std::printf("== %s\n", name.c_str());
        std::fflush(stdout);
        fn();
        ++ran;
    }
    if (ran == 0) {
        std::fprintf(stderr, "%s: no such benchmark\n", program);
        return 1;
    }
    return anyFailed ? 1 : 0;
}

}  // namespace bench
