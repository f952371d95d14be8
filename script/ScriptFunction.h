// ScriptFunction: one compiled script function: its name (the String base),
// its variables, its arguments row and its flat list of instructions with
// resolved jumps; and the runner that executes them.
//
// Variables, in order: "this" (bound to the self value, a reference to the
// routine while running), the arguments (bound to the cells of the
// arguments row), the 16 predefined names (bound to the ScriptRegisters
// cells, shared by every function), then the declared ones (own values that
// start null and are kept between runs).
//
// run() never lets a failure out: an instruction that answers false or
// throws ends the run with an error report ("Metodo: %s\r\n%s" stored in
// "lastError", written to the trace, shown in a box captioned "ERROR"),
// and the result is the current "_RETURN_". Runs nest (a script calls
// another function through "this"); beyond Rutina::kMaxCallDepth nested
// runs the innermost reports "Metodo %s - Demasiadas llamadas anidadas" and
// every run in progress ends. A run nested in a run of the same function
// (recursion) works on its own argument and declared-variable values: the
// caller's come back when it ends.
//
// Ownership: owns its variables, instructions and arguments row; belongs to
// a Rutina. The objects its values own outlive it: when it dies they wait
// for the collector (ObjectCollector::releasePending), like displaced objects, since
// the registers or other functions may still refer to them. The outermost
// run's result never owns: an object "_RETURN_" owns stays there. ScriptRegisters must exist before
// construction and outlive the function. The UI thread only.
#pragma once

#include <memory>
#include <vector>

#include "core/DataItem.h"
#include "core/String.h"
#include "data/DataRow.h"
#include "script/OpCode.h"
#include "script/VariableList.h"

namespace VORLIN {

class Rutina;

class ScriptFunction : public String {
public:
    // A function with "this", its arguments and the predefined names
    // declared.
    ScriptFunction(const String& name, const std::vector<String>& arguments, Rutina* rutina);
    ScriptFunction(const ScriptFunction&) = delete;
    ScriptFunction& operator=(const ScriptFunction&) = delete;
    ~ScriptFunction();

    const String& name() const noexcept { return *this; }
    Rutina* rutina() const noexcept { return rutina_; }
    int argumentCount() const noexcept { return argumentCount_; }
    DataRow& arguments() noexcept { return *arguments_; }

    // --- variables ---
    VariableList& variables() noexcept { return variables_; }
    // Every function alive in the process, in creation order. The end of
    // the outermost run walks their variables before deleting the objects
    // the run displaced (see ObjectCollector::releasePending).
    static const std::vector<ScriptFunction*>& liveFunctions() noexcept;
    Variable* findVariable(TextRef name) const noexcept { return variables_.find(name); }
    // The variable of that name, declared (null value) when missing.
    Variable* declare(const String& name);

    // --- instructions ---
    // Appends and answers the position.
    int add(std::unique_ptr<OpCode> op);
    int size() const noexcept { return int(code_.size()); }
    OpCode* at(int i) const noexcept {
        return (i >= 0 && i < size()) ? code_[size_t(i)].get() : nullptr;
    }

    // --- running ---
    // Runs with `args` (may be null); answers a copy of "_RETURN_".
    DataItem run(const DataRow* args);
    // The most instructions one outermost run may carry out (0, the
    // default: no limit). Past it the run reports "Ejecución detenida: más
    // de %llu instrucciones" and every run in progress ends, TRY blocks
    // included. For unattended runs of scripts that may not end.
    static void setStepLimit(unsigned long long steps) noexcept;
    // "METODO: ...": the function's listing.
    String listing() const;

private:
    class CallerValues;
    enum class Outcome { Ended, Returned, Failed, Aborted };
    // Runs [from, stop); on failure `message` gets the text. A jump out of
    // the range ends it too, and `exitAt` (when given) receives the
    // position it ended at.
    Outcome runRange(int from, int stop, String& message, int* exitAt = nullptr);
    // Runs the TRY block opened at `at`; answers where the run goes on.
    int runTry(int at);
    void report(const String& message);
    void traceStep(OpCode& op, int position);

    Rutina* rutina_;
    int argumentCount_ = 0;
    DataItem self_;
    VariableList variables_;
    std::vector<std::unique_ptr<OpCode>> code_;
    std::unique_ptr<DataRow> arguments_;
    int running_ = 0;  // runs of this function in progress (recursion)
};

}  // namespace VORLIN
