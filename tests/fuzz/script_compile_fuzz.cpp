// Fuzz target for the script compiler.
//
// Each input is a script text. It is loaded into a routine (both compile
// passes over every function), and every function that compiled is
// listed. Loading must either succeed or answer an error text; it must never
// crash, hang, read out of bounds or throw past load(). Nothing is run: a
// script may loop forever by design.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "script/HeadlessHost.h"
#include "script/Rutina.h"
#include "script/ScriptFunction.h"
#include "script/ScriptSession.h"

using VORLIN::HeadlessHost;
using VORLIN::ScriptSession;
using VORLIN::String;
using VORLIN::TextRef;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 16)) return 0;
    // One session per input: a session kept in a static would outlive the
    // process-wide lists it unregisters from at exit.
    std::ostringstream out, err;
    HeadlessHost host(out, err);
    ScriptSession session(host);

    std::string text(reinterpret_cast<const char*>(data), size);
    String error = session.rutina().load(String(TextRef(text)));
    if (!error.isEmpty()) return 0;
    for (int i = 0; i < session.rutina().functionCount(); ++i) {
        const VORLIN::ScriptFunction* f = session.rutina().functionAt(i);
        String listing = session.rutina().listing(*f);
        if (listing.isEmpty()) {
            std::fprintf(stderr, "script_compile_fuzz: a loaded function lists as empty\n");
            std::abort();
        }
    }
    return 0;
}
