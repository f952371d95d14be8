// Fuzz target for running scripts.
//
// Each input is a script text: it is loaded and, when it has a "main", run
// with a headless host (no connections, every file dialog cancelled, no
// confirmation) and a limit of instructions, so that scripts which never
// end are stopped. A run must end with its output and error reports, never
// with a crash, a read of freed memory, a leak or an exception escaping.
// The run works in a temporary folder of its own (scripts may write files
// such as "trace.log" or a grid's export), removed at exit.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "script/HeadlessHost.h"
#include "script/ObjectCollector.h"
#include "script/OpCode.h"
#include "script/ScriptFunction.h"
#include "script/ScriptSession.h"
#include "script/ScriptTrace.h"

using VORLIN::HeadlessHost;
using VORLIN::ScriptFunction;
using VORLIN::ScriptSession;
using VORLIN::ScriptTrace;
using VORLIN::String;
using VORLIN::TextRef;

namespace {

std::string gFolder;

void removeFolder() {
    std::error_code ec;
    if (!gFolder.empty()) std::filesystem::remove_all(gFolder, ec);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/quelmir-script-run-XXXXXX";
    if (!::mkdtemp(folder) || ::chdir(folder) != 0) {
        std::perror("script_run_fuzz: temporary folder");
        std::abort();
    }
    gFolder = folder;
    std::atexit(removeFolder);
    ScriptFunction::setStepLimit(2000);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 14)) return 0;
    std::ostringstream out, err;
    HeadlessHost host(out, err);
    {
        ScriptSession session(host);
        session.run(String(TextRef(std::string_view(reinterpret_cast<const char*>(data), size))));
    }
    // A trace switched on by one input must not carry over to the next.
    ScriptTrace::reset();
    if (VORLIN::ObjectCollector::pendingValues() != 0) {
        std::fprintf(stderr, "script_run_fuzz: displaced objects left after the run\n");
        std::abort();
    }
    return 0;
}
