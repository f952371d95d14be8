#include "script/ScriptTrace.h"

#include <cstdio>

namespace VORLIN {

namespace {

struct TraceState {
    std::FILE* file = nullptr;
    String fileName{ScriptTrace::kDefaultFileName};

    ~TraceState() { close(); }
    void close() {
        if (file) std::fclose(file);
        file = nullptr;
    }
};

TraceState& state() {
    static TraceState s;
    return s;
}

}  // namespace

bool ScriptTrace::enabled() noexcept {
    return state().file != nullptr;
}

bool ScriptTrace::setEnabled(bool on) {
    TraceState& s = state();
    if (!on) {
        s.close();
        return false;
    }
    // Binary mode: the listing's CR LF pairs reach the file unchanged.
    if (!s.file) s.file = std::fopen(s.fileName.c_str(), "wb");
    return s.file != nullptr;
}

void ScriptTrace::write(TextRef text) {
    TraceState& s = state();
    if (!s.file || text.size() == 0) return;
    std::fwrite(text.data(), 1, text.size(), s.file);
    std::fflush(s.file);
}

void ScriptTrace::fail(TextRef message) {
    if (!enabled()) return;
    write(message);
    write("\r\n");
    setEnabled(false);
}

const String& ScriptTrace::fileName() {
    return state().fileName;
}

void ScriptTrace::setFileName(const String& path) {
    state().fileName = path;
}

void ScriptTrace::reset() {
    state().close();
    state().fileName = kDefaultFileName;
}

}  // namespace VORLIN
