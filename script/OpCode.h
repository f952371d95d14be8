// OpCode: the base of every compiled script instruction (the OC classes).
//
// An instruction may write a target: a variable of its function, optionally
// followed by a member path ("fila.total"), in which case the variable must
// hold an object and the target is that object's member item. run() gets
// the instruction's own position and may move it: the runner continues
// with the instruction after the one `pos` names, so a jump sets `pos` to
// one before where the run goes on (see jumpTo). false means failure, with
// the message in lastErrorText(); many instructions throw GeneralException
// instead, and the runner reports both alike.
//
// Flags: try-block (the instruction opens a TRY block run by the runner),
// return (the run stops after it), stop (the end of a DEFSTATEMENT block).
//
// Ownership: owned by its ScriptFunction; the variables it points at belong
// to that function. Throws GeneralException "Asignar: La variable no
// existe." and "Asignar: %s.%s no está declarado." from target resolution.
// The UI thread only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/DataItem.h"
#include "core/String.h"

namespace VORLIN {

class Interfasable;
class ScriptFunction;
class Variable;

class OpCode {
public:
    OpCode() = default;
    OpCode(const OpCode&) = delete;
    OpCode& operator=(const OpCode&) = delete;
    virtual ~OpCode() = default;

    // Runs the instruction at `pos`; true to continue.
    virtual bool run(int& pos) = 0;
    // The instruction's listing line(s), after `prefix`.
    virtual String listing(const String& prefix) const = 0;

    // --- target ---
    void setTarget(Variable* variable, const String& path = String()) {
        target_ = variable;
        targetPath_ = path;
    }
    Variable* target() const noexcept { return target_; }
    const String& targetPath() const noexcept { return targetPath_; }
    // "name" or "name.path"; empty without a target.
    String targetName() const;
    // The item the target designates; throws the "Asignar" texts.
    DataItem* targetItem();
    // The same without failures (null when it does not resolve), for traces.
    DataItem* targetItemOrNull() noexcept;
    // Stores `value` into the target (an owned object moves in; the object
    // the target owned before waits for the end of the outermost run in the
    // ObjectCollector, since other values may still point into it). A
    // member target tells its object (Interfasable::memberWritten) when it
    // got a number: a mapped row then loads the sub-object of that column.
    void write(DataItem value);

    // --- flags ---
    bool tryBlock() const noexcept { return tryBlock_; }
    bool isReturn() const noexcept { return return_; }
    bool isStop() const noexcept { return stop_; }
    void setTryBlock(bool on) noexcept { tryBlock_ = on; }
    void setReturn(bool on) noexcept { return_ = on; }
    void setStop(bool on) noexcept { stop_ = on; }

    ScriptFunction* function() const noexcept { return function_; }
    void setFunction(ScriptFunction* f) noexcept { function_ = f; }

    // The message of the last instruction that answered false.
    static String& lastErrorText();
    // An instruction identity as listings print it: "%#X", or "????" when
    // the position is not set (negative).
    static String identity(int position);
    // Moves the run so that it continues at position `to`.
    static void jumpTo(int& pos, int to) noexcept { pos = to - 1; }

protected:
    // Fails with `message`: stores it in lastErrorText and answers false.
    static bool fail(const String& message);

private:
    Variable* target_ = nullptr;
    String targetPath_;
    ScriptFunction* function_ = nullptr;
    bool tryBlock_ = false;
    bool return_ = false;
    bool stop_ = false;
};

}  // namespace VORLIN
