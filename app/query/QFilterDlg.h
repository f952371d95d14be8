// QFilterDlg: "Filtrar resultado": a column of the grid's rows, a value and
// "Coincidencia exacta". On "Filtrar" the caller filters (an empty value
// clears the filter).
//
// Ownership: owns its widgets. Threads: the UI thread.
#pragma once

#include <QDialog>

#include "core/String.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

class QFilterDlg : public QDialog {
public:
    static constexpr const char* kTitle = "Filtrar resultado";

    QFilterDlg(const QStringList& columns, QWidget* parent = nullptr);

    int column() const;
    VORLIN::String value() const;
    bool exact() const;
    // For tests and scripts of the window.
    void set(int column, const VORLIN::String& value, bool exact);

private:
    QComboBox* columns_ = nullptr;
    QLineEdit* value_ = nullptr;
    QCheckBox* exact_ = nullptr;
};
