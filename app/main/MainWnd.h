// MainWnd: the main window of the desktop client, "VORLIN Quelmir". It is
// the window the application runs until it closes.
//
// Ownership: the application owns the main window; the window owns its
// widgets. Threads: the UI thread only.
#pragma once

#include <QMainWindow>

namespace VORLIN {

class MainWnd : public QMainWindow {
public:
    static constexpr const char* kTitle = "VORLIN Quelmir";

    MainWnd();
    ~MainWnd() override;
};

}  // namespace VORLIN
