#include "ui/CommandBase.h"

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include <QAction>
#include <QObject>

#include "core/GeneralException.h"
#include "ui/MsgBox.h"
#include "ui/SApp.h"

namespace VORLIN {

HotKey HotKey::parse(const String& text) {
    HotKey key;
    const std::string s = text.toStdString();
    if (s.empty()) return key;
    if (s.size() == 1) {
        key.keyCode = static_cast<unsigned char>(s[0]);
        return key;
    }
    std::vector<std::string> words;
    std::string word;
    for (char c : s) {
        if (c == ' ' || c == '+') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word.push_back(char(std::tolower(static_cast<unsigned char>(c))));
        }
    }
    if (!word.empty()) words.push_back(word);
    for (const std::string& w : words) {
        if (w == "ctrl") {
            key.ctrl = true;
        } else if (w == "alt") {
            key.alt = true;
        } else if (w == "shift") {
            key.shift = true;
        } else if (w.size() >= 2 && w[0] == 'f' && std::isdigit(static_cast<unsigned char>(w[1]))) {
            // F1..F24; the parse goes on (a later word may still follow).
            int n = std::atoi(w.c_str() + 1);
            if (n >= 1 && n <= 24) {
                key.keyCode = n + 111;
                key.function = true;
            }
        } else {
            key.keyCode = static_cast<unsigned char>(w[0]);
            key.function = false;
            break;
        }
    }
    return key;
}

String HotKey::text() const {
    if (keyCode == 0) return String();
    char key[16];
    if (function)
        std::snprintf(key, sizeof key, "F%d", int(keyCode - 111));
    else
        std::snprintf(key, sizeof key, "%c", char(keyCode));
    if (!ctrl && !alt && !shift) return String(key);
    String out;
    if (ctrl) out += "Ctrl+";
    if (alt) out += "Alt+";
    if (shift) out += "Shift+";
    out += key;
    return out;
}

QKeySequence HotKey::toKeySequence() const {
    if (keyCode == 0) return QKeySequence();
    int key = 0;
    if (function) {
        key = Qt::Key_F1 + (keyCode - 112);
    } else if (keyCode >= 'a' && keyCode <= 'z') {
        key = Qt::Key_A + (keyCode - 'a');
    } else if (keyCode >= 'A' && keyCode <= 'Z') {
        key = Qt::Key_A + (keyCode - 'A');
    } else if (keyCode > ' ' && keyCode < 127) {
        // Qt's codes for printable ASCII other than letters are the
        // characters themselves (Key_0 is '0', Key_Comma is ',').
        key = keyCode;
    } else if (keyCode == ' ') {
        key = Qt::Key_Space;
    } else {
        return QKeySequence();
    }
    int mods = 0;
    if (ctrl) mods |= Qt::ControlModifier;
    if (alt) mods |= Qt::AltModifier;
    if (shift) mods |= Qt::ShiftModifier;
    return QKeySequence(key | mods);
}

CommandBase::~CommandBase() {
    if (SApp* app = SApp::instance()) app->remove(this);
}

int CommandBase::call(void*, void*) {
    return 0;
}

void CommandBase::fire(void*, void*) {}

void CommandBase::link(QAction* first, QAction* second) {
    first_ = first;
    second_ = second == first ? nullptr : second;
    for (QAction* action : {first_, second_}) {
        if (!action) continue;
        QObject::connect(action, &QAction::triggered, action, [this] { trigger(); });
    }
    if (first_ && !hotKey_.empty()) {
        first_->setShortcut(hotKey_.toKeySequence());
        first_->setShortcutContext(Qt::WindowShortcut);
    }
}

void CommandBase::applyState(int control, int32_t state) {
    int32_t& last = control == 0 ? state1_ : state2_;
    if (state == last) return;
    last = state;
    changed_ = true;
    QAction* action = control == 0 ? first_ : second_;
    if (!action) return;
    action->setEnabled((state & kEnabled) != 0);
    if (action->isCheckable()) action->setChecked((state & kChecked) != 0);
    ++redraws_;
}

void CommandBase::trigger() {
    try {
        execute();
    } catch (const GeneralException& e) {
        MsgBox::error(String(e.message()));
    }
}

}  // namespace VORLIN
