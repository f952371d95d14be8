// QtDialogParts: the small pieces every connection window is built from:
// text conversion, labels with a mnemonic and a buddy, named buttons and
// the message and question hooks the logic classes take. Header only.
// Threads: the UI thread only. Nothing here throws.
#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "core/String.h"
#include "ui/ImageStore.h"
#include "ui/InputBox.h"
#include "ui/MsgBox.h"

namespace VORLIN::dialogparts {

inline QString q(const String& s) {
    return QString::fromUtf8(s.c_str(), int(s.length()));
}

inline String s(const QString& text) {
    return String(text.toUtf8().toStdString());
}

// The text a screen reader says for a field: its label without the colon.
inline QString spoken(const char* label) {
    return QString::fromUtf8(label).trimmed().remove(QLatin1Char(':'));
}

// `text` with "&" before the first `key` (the mnemonic); before the first
// letter when `key` is 0 or missing.
inline QString withMnemonic(const char* text, char key = 0) {
    QString t = QString::fromUtf8(text);
    qsizetype at = key ? t.indexOf(QLatin1Char(key)) : 0;
    if (at < 0) at = 0;
    return t.insert(at, QLatin1Char('&'));
}

// A label for `buddy` with its mnemonic, the buddy getting the label's
// words as its accessible name.
inline QLabel* labelFor(const char* text, QWidget* buddy, QWidget* parent, char key = 0) {
    auto* label = new QLabel(withMnemonic(text, key), parent);
    label->setBuddy(buddy);
    buddy->setAccessibleName(spoken(text));
    return label;
}

// A push button with a mnemonic, its accessible name and object name.
inline QPushButton* button(const char* text, const char* objectName, QWidget* parent, char key = 0,
                           const char* image = nullptr) {
    auto* b = new QPushButton(withMnemonic(text, key), parent);
    b->setObjectName(QString::fromLatin1(objectName));
    b->setAccessibleName(QString::fromUtf8(text));
    if (image) b->setIcon(ImageStore::icon(image));
    return b;
}

// The logic classes' message hook: a message box with that caption.
inline void message(const String& caption, const String& text) {
    MsgBox::show(text, caption);
}

// The logic classes' question hook.
inline bool ask(const String& title, const String& prompt, String& value) {
    return InputBox::ask(title, prompt, value);
}

}  // namespace VORLIN::dialogparts
