// Rutina: a compiled script: the functions of one script text, and the
// operations that load it, run its "main", write its listing and call its
// functions by name.
//
// load() compiles every FUNCTION ... ENDFUNCTION block in order (see
// FunctionCompiler for the language) and answers the error text, empty on
// success. An error in the block structure (the "Object function - ..."
// texts) stops the load and keeps the functions compiled before it; an
// error inside a function body clears all functions.
//
// As an Interfasable ("this" in a script), execute(name, args) runs the
// function of that exact name (none: an empty result) with the argument
// values (references resolved first; a reference that leads nowhere, or
// whose member path names no member of an object the variable holds,
// throws "%s: Bad argument: %s" with the path) and answers a copy of
// "_RETURN_".
//
// Error reports (load errors, a missing "main", run-time failures) are
// shown through the host in a box captioned "ERROR" and counted.
//
// Ownership: owns its functions; never owns the host. ScriptRegisters must
// exist while functions are loaded (ScriptSession arranges it). The UI
// thread only.
#pragma once

#include <memory>
#include <vector>

#include "core/DataItem.h"
#include "core/Interfasable.h"
#include "core/String.h"

namespace VORLIN {

class ScriptFunction;
class ScriptHost;

class Rutina : public Interfasable {
public:
    // Deepest nesting of function runs.
    static constexpr int kMaxCallDepth = 200;

    // `host` may be null: nothing is shown.
    explicit Rutina(ScriptHost* host = nullptr);
    Rutina(const Rutina&) = delete;
    Rutina& operator=(const Rutina&) = delete;
    ~Rutina() override;

    // Compiles `text`; the error text, or empty.
    String load(const String& text);
    // load, then runs "main" without arguments; errors are reported. Answers
    // the result of "main" (empty when it did not run).
    DataItem runMain(const String& text);
    // load, then writes the listing of "main" to `path` (created anew);
    // errors are reported. True when the listing was written.
    bool writeListing(const String& text, const String& path = "trace.log");
    // The listing of `name`, or empty when there is no such function.
    String listing(const String& name) const;

    // --- Interfasable ---
    DataItem execute(const String& name, const DataRow* args) override;

    // --- functions ---
    void clear();
    int functionCount() const noexcept { return int(functions_.size()); }
    ScriptFunction* functionAt(int i) const noexcept;
    ScriptFunction* findFunction(TextRef name) const noexcept;

    // --- host and reports ---
    ScriptHost& host() noexcept { return *host_; }
    // Shows `text` in a box captioned "ERROR" and counts it.
    void reportError(const String& text);
    int errorReports() const noexcept { return errorReports_; }

private:
    ScriptHost* host_;
    std::vector<std::unique_ptr<ScriptFunction>> functions_;
    int errorReports_ = 0;
};

}  // namespace VORLIN
