// Event<T>: a notification of window class T, run later by the idle pass.
// fire(a, b) keeps the two arguments and posts the event; each firing is
// kept on its own (a second firing before the first ran adds a second
// entry to the command list and never replaces the first's arguments), and
// each idle pass runs the oldest waiting firing. call(a, b) runs the
// operation at once.
//
// Ownership: the window owns the event; the arguments are not owned. When
// the event dies its waiting firings are dropped (CommandBase leaves the
// command list). UI thread only. runPending and call let the operation's
// GeneralException through.
#pragma once

#include <deque>
#include <utility>

#include "ui/CommandBase.h"
#include "ui/SApp.h"

namespace VORLIN {

template <class T>
class Event : public CommandBase {
public:
    using Operation = void (T::*)(void* a, void* b);

    Event(T* window, Operation operation) : window_(window), operation_(operation) {
        event_ = true;
    }

    void fire(void* a, void* b) override {
        waiting_.emplace_back(a, b);
        if (SApp* app = SApp::instance()) app->post(this);
    }

    void runPending() override {
        if (waiting_.empty()) return;
        auto [a, b] = waiting_.front();
        waiting_.pop_front();
        if (window_ && operation_) (window_->*operation_)(a, b);
    }

    int call(void* a, void* b) override {
        if (window_ && operation_) (window_->*operation_)(a, b);
        return 0;
    }

    // Firings not run yet.
    int waitingCount() const noexcept { return int(waiting_.size()); }

private:
    T* window_;
    Operation operation_;
    std::deque<std::pair<void*, void*>> waiting_;
};

}  // namespace VORLIN
