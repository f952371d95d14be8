// SApp: the application object of the window toolkit. It owns the
// QApplication (or uses the one that exists, without owning it), keeps the
// process-wide command list, and runs the message loop with its idle pass.
//
// The idle pass runs each time the event queue becomes empty (the event
// dispatcher's about-to-block signal) while idle is armed. Every event the
// application delivers arms it again, except mouse moves and hover moves,
// so moving the mouse over a window does not repeat the pass. A pass walks
// the command list from its head: a command with a state operation
// refreshes its state; the first event found leaves the list and runs, and
// the pass ends there (at most one event per pass, in posting order). When
// events are still waiting after a pass, the application wakes itself so
// that the next pass follows.
//
// There is one SApp per process: a second one throws GeneralException
// "Instance already running". The default font is "Tahoma" at 13 pixels when
// the system has it; otherwise the desktop's own stays.
//
// Ownership: the command list does not own its entries (windows do); the
// main window is not owned either (the derived application owns its
// windows). Threads: everything on the UI thread; post() from another
// thread is not allowed (use ConnectionNotifier's poster or a queued call).
#pragma once

#include <memory>
#include <vector>

class QApplication;
class QObject;
class QWidget;

namespace VORLIN {

class CommandBase;

class SApp {
public:
    // Creates the QApplication from the process arguments unless one exists.
    SApp(int& argc, char** argv);
    virtual ~SApp();
    SApp(const SApp&) = delete;
    SApp& operator=(const SApp&) = delete;

    // The application of the process, or null.
    static SApp* instance() noexcept;

    // Shows the main window, brings it to the front and runs the loop until
    // it ends (the last window closes or quit); the exit code.
    virtual int run();

    // Adds to the command list: commands with a state operation and every
    // event always, other commands only when they have a hot key.
    void post(CommandBase* command);
    // Takes every entry of `command` out of the list.
    void remove(CommandBase* command);
    // One idle pass (see above); answers true.
    bool idle();
    // What the dispatcher calls when the queue runs empty: the idle pass,
    // when armed; then idle is disarmed until the next event arrives.
    void queueEmpty();

    QWidget* mainWindow() const noexcept { return mainWindow_; }
    void setMainWindow(QWidget* window) noexcept { mainWindow_ = window; }

    // --- what happened, for tests and diagnostics ---
    int idlePasses() const noexcept { return idlePasses_; }
    bool idleArmed() const noexcept { return armed_; }
    int commandCount() const noexcept { return int(commands_.size()); }

protected:
    QApplication* qtApp() const noexcept { return qtApp_; }

private:
    class Filter;
    friend class Filter;
    void noteEvent(int type);
    void wake();

    std::unique_ptr<QApplication> ownedApp_;
    QApplication* qtApp_ = nullptr;
    std::unique_ptr<QObject> filter_;
    std::vector<CommandBase*> commands_;
    QWidget* mainWindow_ = nullptr;
    bool armed_ = true;
    bool wakePosted_ = false;
    bool inPass_ = false;
    int idlePasses_ = 0;
};

}  // namespace VORLIN
