// AboutDlg: "Acerca de Quelmir": the program's name and "Quelmir Versión"
// with its version, and one button that closes the window (default and
// escape button).
// Ownership: owns its widgets. Threads: the UI thread. Nothing here throws.
#pragma once

#include <QDialog>

#include "core/String.h"

namespace VORLIN {

class AboutDlg : public QDialog {
public:
    static constexpr const char* kTitle = "Acerca de Quelmir";
    static constexpr const char* kName = "Quelmir";
    static constexpr const char* kVersion = "Quelmir Versión %s";
    static constexpr const char* kCloseButton = "OK";

    explicit AboutDlg(const String& version, QWidget* parent = nullptr);

    // "Quelmir Versión " and the version.
    static String versionText(const String& version);
};

}  // namespace VORLIN
