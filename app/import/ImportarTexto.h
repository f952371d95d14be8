// ImportarTexto: the text import wizard ("Importar datos desde un archivo
// de texto"), a modal dialog (exec()) over one connection with three
// pages: Paso1 reads and previews the file, Paso2 maps file fields and
// constants onto a table's columns, Paso3 imports. Buttons "Anterior",
// "Siguiente", "Cancelar" and "Finalizar" (enabled once the import has
// run). The import runs when Paso3 is first entered; going back and
// forward again shows that run's result, and "Importar de nuevo" on Paso3
// is the explicit way to run it again. "Cancelar" (or Escape) while the
// import runs stops it and rolls it back; otherwise it closes the wizard.
//
// Ownership: the connection is the caller's and must outlive the dialog;
// the pages and the logic belong to the dialog. Threads: the UI thread.
// Nothing escapes: failures are shown with MsgBox.
#pragma once

#include <memory>

#include <QDialog>

#include "core/String.h"

namespace VORLIN {
class DbConnection;
}

class ImportarTextoLogic;
class Paso1;
class Paso2;
class Paso3;
class QPushButton;
class QStackedWidget;

class ImportarTexto : public QDialog {
public:
    ImportarTexto(VORLIN::DbConnection& connection, const VORLIN::String& workFolder,
                  QWidget* parent = nullptr);
    ~ImportarTexto() override;

    ImportarTextoLogic& logic() noexcept { return *logic_; }
    int page() const;
    void next();
    void back();

    Paso1* paso1() const { return paso1_; }
    Paso2* paso2() const { return paso2_; }
    Paso3* paso3() const { return paso3_; }
    QPushButton* backButton() const { return back_; }
    QPushButton* nextButton() const { return next_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* finishButton() const { return finish_; }

    void reject() override;

private:
    void showPage(int index);
    void updateButtons();

    std::unique_ptr<ImportarTextoLogic> logic_;
    QStackedWidget* pages_;
    Paso1* paso1_;
    Paso2* paso2_;
    Paso3* paso3_;
    QPushButton* back_;
    QPushButton* next_;
    QPushButton* cancel_;
    QPushButton* finish_;
};
