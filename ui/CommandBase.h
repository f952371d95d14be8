// CommandBase: what commands and events have in common. A command binds an
// action of a window (a menu entry and a tool-bar button, its "linked
// controls") to a member operation of that window, optionally with a state
// operation that the idle pass asks for the state the controls show, and
// with a hot key. An event is a notification a window raises while it is
// busy; it waits in the application's command list until an idle pass runs
// it. Command<T> and Event<T> are the typed halves.
//
// States: bit kEnabled set means enabled, bit kChecked means checked; the
// linked actions are given those states by the state refresh.
//
// Hot keys: the text form of a hot key ("Ctrl+Shift+S", "F5", "Alt+x") is
// parsed into a key code and the flags Ctrl, Alt, Shift and function key;
// a function key keeps the key code n + 111 (F1 is 112). toKeySequence()
// maps the parsed key to Qt explicitly, so a lower-case 'p' (112) is never
// taken for F1.
//
// Ownership: the window that creates a command or event owns it; the
// application's command list only points at it. A CommandBase removes
// itself from the application's list when it dies. Linked actions are not
// owned. Threads: the UI thread only. execute and runPending let the
// window's GeneralException through; the action's trigger shows it in an
// "ERROR" message box instead.
#pragma once

#include <cstdint>

#include <QKeySequence>

#include "core/String.h"

class QAction;

namespace VORLIN {

struct HotKey {
    int32_t keyCode = 0;
    bool ctrl = false;
    bool alt = false;
    bool shift = false;
    bool function = false;

    // Parses the text form (see above); an empty text gives no hot key.
    static HotKey parse(const String& text);
    // The text form: "F5", "Ctrl+F5", "Ctrl+Shift+s", a lone character.
    String text() const;
    // The Qt key sequence; empty when there is no key.
    QKeySequence toKeySequence() const;
    bool empty() const noexcept { return keyCode == 0; }
};

class CommandBase {
public:
    static constexpr int kEnabled = 1;
    static constexpr int kChecked = 2;

    CommandBase() = default;
    virtual ~CommandBase();
    CommandBase(const CommandBase&) = delete;
    CommandBase& operator=(const CommandBase&) = delete;

    // 1. Runs the bound operation (commands).
    virtual void execute() {}
    // 2. State refresh (commands with a state operation).
    virtual void updateState() {}
    // 3. Runs the oldest waiting firing (events).
    virtual void runPending() {}
    // 4. Runs the bound operation at once with these arguments (events).
    virtual int call(void* a, void* b);
    // 5. Keeps the arguments and posts itself (events).
    virtual void fire(void* a, void* b);

    // The menu entry and the tool-bar button (either may be null or the
    // same action). Their triggers run execute(); the first gets the
    // shortcut of the hot key.
    void link(QAction* first, QAction* second = nullptr);
    QAction* firstControl() const noexcept { return first_; }
    QAction* secondControl() const noexcept { return second_; }

    const String& text() const noexcept { return text_; }
    void setText(const String& text) { text_ = text; }
    int32_t data() const noexcept { return data_; }
    bool isEvent() const noexcept { return event_; }
    bool hasState() const noexcept { return hasState_; }
    bool changed() const noexcept { return changed_; }
    void clearChanged() noexcept { changed_ = false; }
    const HotKey& hotKey() const noexcept { return hotKey_; }
    String hotKeyText() const { return hotKey_.text(); }
    // The last state given to each linked control (-1 before the first).
    int32_t lastState(int control) const noexcept { return control == 0 ? state1_ : state2_; }
    // How many times a linked control was given a new state.
    int redrawCount() const noexcept { return redraws_; }

protected:
    // Stores a state answered for a control; when it differs from the
    // last one, applies it to the action and counts a redraw.
    void applyState(int control, int32_t state);
    // Runs execute() and shows a GeneralException in an "ERROR" box.
    void trigger();

    String text_;
    int32_t state1_ = -1;
    int32_t state2_ = -1;
    int32_t data_ = 0;
    bool changed_ = false;
    bool hasState_ = false;
    bool event_ = false;
    QAction* first_ = nullptr;
    QAction* second_ = nullptr;
    HotKey hotKey_;
    int redraws_ = 0;
};

}  // namespace VORLIN
