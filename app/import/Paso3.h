// Paso3: the last page of the text import wizard ("IMPORTANDO DATOS"):
// runs the import with its progress control (a bar and two text lines:
// the latest message, and "Importado %d/%d"), lists the failed rows, and
// offers "Importar de nuevo" once a run has ended.
//
// The screen is brought up to date about ten times a second (the clock is
// read every 256 rows), so showing progress costs next to nothing; events
// are delivered then too, so "Cancelar" can stop the run (which is rolled
// back).
// Ownership: a child of the wizard; the logic is the wizard's. Threads: the
// UI thread. Nothing escapes: a run refused or failed is shown with MsgBox
// "ERROR" and in the first line.
#pragma once

#include <functional>

#include <QElapsedTimer>
#include <QWidget>

#include "app/import/TextImport.h"

class ImportarTextoLogic;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

class Paso3 : public QWidget, private ImportProgress {
public:
    Paso3(ImportarTextoLogic& logic, QWidget* parent = nullptr);

    // Runs the import now; `runningChanged` is told when it starts and ends.
    void run();
    bool running() const noexcept { return running_; }
    void requestCancel() noexcept { cancel_ = true; }
    // Shows the last run's result (entering the page again).
    void showResult();
    void setRunningChanged(std::function<void(bool)> f) { runningChanged_ = std::move(f); }

    QLabel* line1() const { return line1_; }
    QLabel* line2() const { return line2_; }
    QListWidget* failures() const { return failures_; }
    QPushButton* runAgainButton() const { return again_; }

private:
    bool rowDone(int n, int total, int failed) override;
    void rowFailed(const ImportFailure& failure) override;

    ImportarTextoLogic& logic_;
    QLabel* line1_;
    QLabel* line2_;
    QProgressBar* bar_;
    QListWidget* failures_;
    QPushButton* again_;
    QElapsedTimer shown_;
    bool running_ = false;
    bool cancel_ = false;
    std::function<void(bool)> runningChanged_;
};
