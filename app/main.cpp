// Entry point of the Quelmir desktop client. The windows are not built yet:
// until they are, the program says so and points at the tools that exist.
#include <cstdio>

int main() {
    std::puts("Quelmir 0.1.0");
    std::puts("The desktop window is not available in this build yet.");
    std::puts("Available now: build/bin/quelmir-cli (runs scripts without a window),");
    std::puts("build/bin/quelmir-server (the remote SQLite service) and");
    std::puts("build/bin/quelmir-bench (benchmarks); see README.md.");
    return 0;
}
