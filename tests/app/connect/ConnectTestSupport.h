// Helpers of the connection-window tests: the sqlite3 shell, message boxes
// and questions answered by recorders, widgets found by object name, and a
// hand for the modal dialogs a connection opens by itself.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include "core/String.h"
#include "ui/InputBox.h"
#include "ui/MsgBox.h"

namespace connecttest {

using VORLIN::String;

inline std::string shell(const std::string& db, const std::string& sql) {
    std::string command = "sqlite3 '" + db + "' \"" + sql + "\" 2>&1";
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0)
            out.append(buffer, n);
        ::pclose(p);
    }
    return out;
}

// Every message box of a test, answered "OK".
struct Boxes {
    std::vector<VORLIN::MsgBox::Shown> shown;
    Boxes() {
        VORLIN::MsgBox::setResponder([this](const VORLIN::MsgBox::Shown& s) {
            shown.push_back(s);
            return 0;
        });
    }
    ~Boxes() { VORLIN::MsgBox::setResponder({}); }
    std::string last() const { return shown.empty() ? std::string() : shown.back().text.c_str(); }
    std::string lastCaption() const {
        return shown.empty() ? std::string() : shown.back().caption.c_str();
    }
};

// Answers every question with `answer` (false: cancelled), recording them.
struct Questions {
    std::string answer;
    bool accept = true;
    std::vector<std::string> asked;  // "title|prompt"
    Questions() {
        VORLIN::InputBox::setResponder([this](const String& t, const String& p, String& v) {
            asked.push_back(std::string(t.c_str()) + "|" + p.c_str());
            v = String(answer);
            return accept;
        });
    }
    ~Questions() { VORLIN::InputBox::setResponder({}); }
};

template <class W>
W* child(QWidget& parent, const char* name) {
    W* w = parent.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

inline void click(QWidget& dialog, const char* name) {
    if (QPushButton* b = child<QPushButton>(dialog, name)) b->click();
}

inline void setText(QWidget& dialog, const char* name, const std::string& text) {
    QString t = QString::fromUtf8(text.c_str());
    QWidget* w = dialog.findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(w, nullptr) << name;
    if (auto* combo = qobject_cast<QComboBox*>(w))
        combo->setEditText(t);
    else if (auto* spin = qobject_cast<QSpinBox*>(w))
        spin->setValue(t.toInt());
    else if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(t);
    else
        ADD_FAILURE() << name << " takes no text";
}

inline std::vector<std::string> items(QWidget& dialog, const char* name) {
    std::vector<std::string> out;
    if (auto* list = child<QListWidget>(dialog, name))
        for (int i = 0; i < list->count(); ++i)
            out.push_back(list->item(i)->text().toStdString());
    return out;
}

inline void selectItem(QWidget& dialog, const char* name, const std::string& text) {
    auto* list = child<QListWidget>(dialog, name);
    ASSERT_NE(list, nullptr);
    auto found = list->findItems(QString::fromUtf8(text.c_str()), Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty()) << text;
    list->setCurrentItem(found.first());
}

// Answers the modal dialogs a call opens, in turn: each action runs once,
// from inside the exec() of the next new modal dialog. A dialog that is
// still open 20 s after the hand was made is cancelled, so a test never
// hangs.
class ModalHand {
public:
    ModalHand() {
        start_ = std::chrono::steady_clock::now();
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    ModalHand& then(std::function<void(QDialog&)> act) {
        actions_.push_back(std::move(act));
        return *this;
    }
    int handled() const { return handled_; }
    const std::vector<std::string>& titles() const { return titles_; }

private:
    void poll() {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        if (dialog != last_.data() && size_t(handled_) < actions_.size()) {
            last_ = dialog;
            titles_.push_back(dialog->windowTitle().toStdString());
            actions_[size_t(handled_++)](*dialog);
            return;
        }
        if (std::chrono::steady_clock::now() - start_ > std::chrono::seconds(20)) dialog->reject();
    }

    std::vector<std::function<void(QDialog&)>> actions_;
    QTimer timer_;
    QPointer<QDialog> last_;
    int handled_ = 0;
    std::vector<std::string> titles_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace connecttest
