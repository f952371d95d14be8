// QtWaitWindow: the wait window of the desktop client, a small frameless
// window over the active window with one line of text, shown while a long
// operation runs on the UI thread (the framework's WaitWindow). Each
// showText repaints it at once, so the text is current even though the
// loop is busy. It closes when the object dies.
//
// Ownership: owns its widget. Threads: the UI thread only. Nothing here
// throws.
#pragma once

#include <memory>

#include "db/DbConnection.h"

class QLabel;
class QWidget;

namespace VORLIN {

class QtWaitWindow : public WaitWindow {
public:
    explicit QtWaitWindow(const String& text);
    ~QtWaitWindow() override;

    void showText(const String& text) override;
    String currentText() const;

private:
    std::unique_ptr<QWidget> window_;
    QLabel* label_ = nullptr;
};

}  // namespace VORLIN
