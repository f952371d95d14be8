// ScriptSession: everything a script needs to run outside the desktop
// client, in one object: the member registry (registered when the process
// has none yet), the environment ("app", "gestor"), the shared registers
// and a routine, all on one host.
//
// The command-line runner and the tests use it; the desktop client builds
// the same pieces at start-up. Only one session should be alive at a time:
// the registers row is process-wide, and a new session replaces it.
//
// Ownership: owns the environment and the routine; the host belongs to
// the caller and must outlive the session. Nothing here throws except
// allocation failures. The UI thread only.
#pragma once

#include "script/Entorno.h"
#include "script/Rutina.h"

namespace VORLIN {

class ScriptHost;

class ScriptSession {
public:
    explicit ScriptSession(ScriptHost& host);
    ~ScriptSession();
    ScriptSession(const ScriptSession&) = delete;
    ScriptSession& operator=(const ScriptSession&) = delete;

    Rutina& rutina() noexcept { return rutina_; }
    Entorno& environment() noexcept { return environment_; }
    ScriptHost& host() noexcept { return host_; }

    // Loads `text` and runs "main"; the number of error reports it caused.
    int run(const String& text);
    // The listing of "main" of `text`, or empty after an error report.
    String explain(const String& text);

private:
    ScriptHost& host_;
    Entorno environment_;
    Rutina rutina_;
};

}  // namespace VORLIN
