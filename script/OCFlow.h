// The control instructions: jumps (OCJump), the IF test (OCIf), the WHILE
// test (OCWhile), RETURN (OCReturn), the end of a DEFSTATEMENT block
// (OCNull), THROW (OCThrow), the opening of a TRY block (OCTry) and the
// DEFSTATEMENT head (OCDefStatement).
//
// Positions are instruction indexes within the function; "to" positions
// are where the run continues (OpCode::jumpTo), -1 while not yet set.
// Failures: OCWhile without an exit answers false with "WHILE sin
// ENDWHILE"; OCThrow throws its message. The UI thread only.
#pragma once

#include "script/OpCode.h"

namespace VORLIN {

class OCJump : public OpCode {
public:
    bool run(int& pos) override;
    String listing(const String& prefix) const override;
    void setTo(int to) noexcept { to_ = to; }
    int to() const noexcept { return to_; }

private:
    int to_ = -1;
};

// Continues when the condition variable is true; else at the else branch,
// or at the end of the chain.
class OCIf : public OpCode {
public:
    explicit OCIf(Variable* condition) : condition_(condition) {}
    bool run(int& pos) override;
    String listing(const String& prefix) const override;
    void setElseTo(int to) noexcept { elseTo_ = to; }
    void setEndTo(int to) noexcept { endTo_ = to; }
    int elseTo() const noexcept { return elseTo_; }
    int endTo() const noexcept { return endTo_; }

private:
    Variable* condition_;
    int elseTo_ = -1;
    int endTo_ = -1;
};

class OCWhile : public OpCode {
public:
    explicit OCWhile(Variable* condition) : condition_(condition) {}
    bool run(int& pos) override;
    String listing(const String& prefix) const override;
    void setExitTo(int to) noexcept { exitTo_ = to; }
    int exitTo() const noexcept { return exitTo_; }

private:
    Variable* condition_;
    int exitTo_ = -1;
};

class OCReturn : public OpCode {
public:
    OCReturn() { setReturn(true); }
    bool run(int&) override { return true; }
    String listing(const String& prefix) const override;
};

class OCNull : public OpCode {
public:
    OCNull() { setStop(true); }
    bool run(int&) override { return true; }
    String listing(const String& prefix) const override;
};

class OCThrow : public OpCode {
public:
    explicit OCThrow(const String& message) : message_(message) {}
    bool run(int& pos) override;
    String listing(const String& prefix) const override;

private:
    String message_;
};

// Opens a TRY block: the runner runs the instructions up to the catch
// marker (a jump over the CATCH section), and the CATCH section on failure.
class OCTry : public OpCode {
public:
    OCTry() { setTryBlock(true); }
    bool run(int&) override { return true; }
    String listing(const String& prefix) const override;
    void setCatchMarker(int at) noexcept { catchMarker_ = at; }
    void setEnd(int at) noexcept { end_ = at; }
    int catchMarker() const noexcept { return catchMarker_; }
    int end() const noexcept { return end_; }

private:
    int catchMarker_ = -1;
    int end_ = -1;
};

// Hands the start of its block to the object the target holds (its member
// item "DefStatement", when the object has one).
class OCDefStatement : public OpCode {
public:
    explicit OCDefStatement(int first) : first_(first) {}
    bool run(int& pos) override;
    String listing(const String& prefix) const override;
    int first() const noexcept { return first_; }

private:
    int first_;
};

}  // namespace VORLIN
