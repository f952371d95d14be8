// QSourceDlg: "Fuente de datos": the source of the grid's rows (the table's
// CREATE statement, or the query text) in a read-only editor that can be
// selected and copied.
//
// Ownership: owns its widgets. Threads: the UI thread.
#pragma once

#include <QDialog>

#include "core/String.h"

class QPlainTextEdit;

class QSourceDlg : public QDialog {
public:
    static constexpr const char* kTitle = "Fuente de datos";

    QSourceDlg(const VORLIN::String& text, QWidget* parent = nullptr);
    VORLIN::String text() const;

private:
    QPlainTextEdit* text_ = nullptr;
};
