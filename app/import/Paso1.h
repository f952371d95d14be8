// Paso1: the first page of the text import wizard: the settings row
// ("Separador de campo: ", "Delimitador de texto: ", the names check box),
// "Archivo: " with the button that asks for the file, the encoding used,
// and the read-only preview grid "Datos del archivo" (first column
// "#ROW#", then one per file field, titled with its name).
//
// The grid shows at most kPreviewRows rows (a label says how many the file
// has): the import itself reads every row from the file.
// Ownership: a child of the wizard; the logic is the wizard's. Threads: the
// UI thread. Nothing escapes: a file that cannot be read is reported with
// MsgBox "ERROR" and the preview stays as it was.
#pragma once

#include <QWidget>

#include "core/String.h"

class ImportarTextoLogic;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class Paso1 : public QWidget {
public:
    static constexpr int kPreviewRows = 1000;

    Paso1(ImportarTextoLogic& logic, const VORLIN::String& workFolder, QWidget* parent = nullptr);

    // Asks for the file and reads it.
    void chooseFile();
    // Reads `path` (what chooseFile does once a file is chosen).
    void readFile(const VORLIN::String& path);
    void refresh();

    QComboBox* separatorBox() const { return separator_; }
    QComboBox* delimiterBox() const { return delimiter_; }
    QCheckBox* headersBox() const { return headers_; }
    QTableWidget* grid() const { return grid_; }
    QLabel* encodingLabel() const { return encoding_; }

private:
    void settingsChanged();

    ImportarTextoLogic& logic_;
    VORLIN::String workFolder_;
    QComboBox* separator_;
    QComboBox* delimiter_;
    QCheckBox* headers_;
    QLineEdit* file_;
    QPushButton* browse_;
    QLabel* encoding_;
    QLabel* count_;
    QTableWidget* grid_;
};
