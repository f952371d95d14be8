// Command<T>: a command of window class T: the window, the member operation
// the command runs, and an optional state operation asked for the state of
// each linked control (see CommandBase). The application's command list
// holds a command when it has a state operation or a hot key (SApp::post).
//
// Ownership: the window owns its commands and outlives them; the command
// never owns the window. UI thread only. execute lets the operation's
// GeneralException through.
#pragma once

#include "ui/CommandBase.h"

namespace VORLIN {

template <class T>
class Command : public CommandBase {
public:
    using Operation = void (T::*)();
    using StateOperation = int32_t (T::*)(QAction* control, int32_t data);

    Command(T* window, Operation operation, StateOperation state = nullptr,
            const String& hotKey = String(), int32_t data = 0)
        : window_(window), operation_(operation), state_(state) {
        data_ = data;
        hasState_ = state != nullptr;
        if (!hotKey.isEmpty()) hotKey_ = HotKey::parse(hotKey);
    }

    void execute() override {
        if (window_ && operation_) (window_->*operation_)();
    }

    void updateState() override {
        if (!window_ || !state_) return;
        if (first_) applyState(0, (window_->*state_)(first_, data_));
        if (second_) applyState(1, (window_->*state_)(second_, data_));
    }

private:
    T* window_;
    Operation operation_;
    StateOperation state_;
};

}  // namespace VORLIN
