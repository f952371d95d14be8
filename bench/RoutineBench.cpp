// A routine in a user's loop: a script whose WHILE loop runs one million
// times with a counter and an arithmetic assignment, compiled and run by
// the real engine (Rutina), beside the same loop run by CPython in the same
// run. The Python loop sits in a function (locals, its fastest form) and is
// timed inside Python, so the interpreter's start-up does not count; the
// script's time is its run alone (compilation excluded, as Python's).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "bench/Bench.h"
#include "script/HeadlessHost.h"
#include "script/ScriptFunction.h"
#include "script/ScriptSession.h"

using VORLIN::DataItem;
using VORLIN::HeadlessHost;
using VORLIN::ScriptSession;
using VORLIN::String;

namespace {

constexpr long kLoops = 1'000'000;

// x + i * 2 groups as x + (i * 2) in the script language as in Python.
const char* const kScript =
    "FUNCTION main()\r\n"
    "    i = 0\r\n"
    "    x = 0\r\n"
    "    WHILE (i < 1000000)\r\n"
    "        i = i + 1\r\n"
    "        x = x + i * 2\r\n"
    "    ENDWHILE\r\n"
    "    RETURN x\r\n"
    "ENDFUNCTION\r\n";

const char* const kPython =
    "import time\n"
    "def run(n):\n"
    "    t0 = time.perf_counter()\n"
    "    i = 0\n"
    "    x = 0\n"
    "    while i < n:\n"
    "        i = i + 1\n"
    "        x = x + i * 2\n"
    "    return time.perf_counter() - t0, x\n"
    "s, x = run(1000000)\n"
    "print(repr(s), repr(float(x)))\n";

bool runPython(double* seconds, double* result) {
    char path[] = "/tmp/quelmir_routine_bench_XXXXXX.py";
    int fd = mkstemps(path, 3);
    if (fd < 0) return false;
    std::string script(kPython);
    bool written = write(fd, script.data(), script.size()) == ssize_t(script.size());
    close(fd);
    bool ok = false;
    if (written) {
        std::string command = std::string("python3 ") + path;
        if (FILE* p = popen(command.c_str(), "r")) {
            ok = std::fscanf(p, "%lf %lf", seconds, result) == 2;
            ok = pclose(p) == 0 && ok;
        }
    }
    std::remove(path);
    return ok;
}

}  // namespace

QUELMIR_BENCH(routine) {
    std::ostringstream out, err;
    HeadlessHost host(out, err);
    ScriptSession session(host);
    String error = session.rutina().load(kScript);
    if (!error.isEmpty()) {
        std::printf("routine: the script did not compile: %s\n", error.c_str());
        return;
    }
    VORLIN::ScriptFunction* main = session.rutina().findFunction("main");
    // Best of three runs, as Python gets its best form.
    double best = 1e30;
    DataItem result;
    for (int run = 0; run < 3; ++run) {
        double t0 = bench::now();
        result = main->run(nullptr);
        double t1 = bench::now();
        if (t1 - t0 < best) best = t1 - t0;
    }
    bench::keep(&result);

    double pySeconds = 0, pyResult = 0;
    bool ran = runPython(&pySeconds, &pyResult);
    std::printf("routine: WHILE loop of %ld turns (counter and arithmetic assignment)\n", kLoops);
    std::printf("engine:   %.3f s, %.1f ns/turn, x = %.17g%s\n", best, best * 1e9 / double(kLoops),
                result.toDouble(), err.str().empty() ? "" : " (errors reported)");
    if (!ran) {
        std::printf("CPython:  not available (python3 could not be run)\n");
        return;
    }
    std::printf("CPython:  %.3f s, %.1f ns/turn, x = %.17g\n", pySeconds,
                pySeconds * 1e9 / double(kLoops), pyResult);
    std::printf("ratio:    %.2f x CPython (target: within 3x)%s\n", best / pySeconds,
                result.toDouble() == pyResult ? "" : "  RESULTS DIFFER");
}
