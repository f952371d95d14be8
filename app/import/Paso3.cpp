#include "app/import/Paso3.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/import/ImportarTextoLogic.h"
#include "core/GeneralException.h"
#include "ui/MsgBox.h"
#include "ui/WaitCursor.h"

using VORLIN::String;

namespace {

QString q(const char* text) {
    return QString::fromUtf8(text);
}

QString q(const String& text) {
    return QString::fromUtf8(text.c_str(), qsizetype(text.length()));
}

}  // namespace

Paso3::Paso3(ImportarTextoLogic& logic, QWidget* parent) : QWidget(parent), logic_(logic) {
    using L = ImportarTextoLogic;
    auto* title = new QLabel(q(L::kImporting), this);
    QFont f = title->font();
    f.setBold(true);
    title->setFont(f);
    line1_ = new QLabel(this);
    line1_->setWordWrap(true);
    line2_ = new QLabel(this);
    bar_ = new QProgressBar(this);
    bar_->setAccessibleName(q(L::kImporting));
    failures_ = new QListWidget(this);
    failures_->setAccessibleName(q(L::kFailures));
    auto* failuresLabel = new QLabel(q("&Filas con error"), this);
    failuresLabel->setBuddy(failures_);
    again_ = new QPushButton(q("Importar de &nuevo"), this);
    again_->setAccessibleName(q(L::kRunAgain));
    again_->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(bar_);
    layout->addWidget(line1_);
    layout->addWidget(line2_);
    layout->addWidget(failuresLabel);
    layout->addWidget(failures_, 1);
    layout->addWidget(again_, 0, Qt::AlignLeft);

    connect(again_, &QPushButton::clicked, this, [this] {
        logic_.allowRunAgain();
        run();
    });
}

void Paso3::run() {
    if (running_) return;
    running_ = true;
    cancel_ = false;
    again_->setEnabled(false);
    failures_->clear();
    line1_->setText(q(ImportarTextoLogic::kStarting));
    line2_->setText(q("    "));
    bar_->setRange(0, std::max(logic_.rowCount(), 1));
    bar_->setValue(0);
    if (runningChanged_) runningChanged_(true);
    shown_.start();
    bool ok = true;
    {
        VORLIN::WaitCursor wait;
        try {
            logic_.run(this);
        } catch (const VORLIN::GeneralException& e) {
            ok = false;
            line1_->setText(q(String(e.message())));
            line2_->clear();
            VORLIN::MsgBox::error(String(e.message()));
        }
    }
    running_ = false;
    if (ok) showResult();
    again_->setEnabled(true);
    if (runningChanged_) runningChanged_(false);
}

void Paso3::showResult() {
    if (!logic_.hasRun()) return;
    const ImportResult& r = logic_.lastResult();
    line1_->setText(q(logic_.resultLine1()));
    line2_->setText(q(logic_.resultLine2()));
    bar_->setRange(0, std::max(r.total, 1));
    bar_->setValue(r.total);
    again_->setEnabled(true);
}

bool Paso3::rowDone(int n, int total, int /*failed*/) {
    if ((n & 255) == 0 || n == total) {
        if (shown_.elapsed() >= 100 || n == total) {
            shown_.restart();
            String text;
            text.format(ImportarTextoLogic::kProgress, n, total);
            line2_->setText(q(text));
            bar_->setValue(n);
            QApplication::processEvents();
        }
    }
    return !cancel_;
}

void Paso3::rowFailed(const ImportFailure& failure) {
    line1_->setText(q(failure.message));
    String text;
    text.format(ImportarTextoLogic::kFailure, failure.row, failure.line, failure.message.c_str());
    failures_->addItem(q(text));
}
