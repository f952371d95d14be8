#include "app/import/ImportarTexto.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/import/ImportarTextoLogic.h"
#include "app/import/Paso1.h"
#include "app/import/Paso2.h"
#include "app/import/Paso3.h"
#include "ui/MsgBox.h"

using VORLIN::String;

namespace {

QString q(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

ImportarTexto::ImportarTexto(VORLIN::DbConnection& connection, const String& workFolder,
                             QWidget* parent)
    : QDialog(parent), logic_(std::make_unique<ImportarTextoLogic>(connection)) {
    using L = ImportarTextoLogic;
    setWindowTitle(q(L::kTitle));
    setModal(true);
    pages_ = new QStackedWidget(this);
    paso1_ = new Paso1(*logic_, workFolder, pages_);
    paso2_ = new Paso2(*logic_, pages_);
    paso3_ = new Paso3(*logic_, pages_);
    pages_->addWidget(paso1_);
    pages_->addWidget(paso2_);
    pages_->addWidget(paso3_);

    back_ = new QPushButton(q("&Anterior"), this);
    next_ = new QPushButton(q("&Siguiente"), this);
    cancel_ = new QPushButton(q("Cancelar"), this);
    finish_ = new QPushButton(q("&Finalizar"), this);
    back_->setAccessibleName(q(L::kBack));
    next_->setAccessibleName(q(L::kNext));
    cancel_->setAccessibleName(q(L::kCancel));
    finish_->setAccessibleName(q(L::kFinish));
    for (QPushButton* b : {back_, next_, cancel_, finish_})
        b->setAutoDefault(false);
    next_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(back_);
    buttons->addWidget(next_);
    buttons->addWidget(finish_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons);
    resize(720, 480);

    connect(back_, &QPushButton::clicked, this, [this] { back(); });
    connect(next_, &QPushButton::clicked, this, [this] { next(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
    connect(finish_, &QPushButton::clicked, this, [this] { accept(); });
    paso3_->setRunningChanged([this](bool) { updateButtons(); });
    showPage(0);
}

ImportarTexto::~ImportarTexto() = default;

int ImportarTexto::page() const {
    return pages_->currentIndex();
}

void ImportarTexto::next() {
    if (paso3_->running()) return;
    switch (page()) {
        case 0:
            if (!logic_->hasFile()) {
                VORLIN::MsgBox::alert(ImportarTextoLogic::kNoFile);
                return;
            }
            showPage(1);
            paso2_->enter();
            break;
        case 1:
            // Refused before anything is written: no table, no relation.
            if (logic_->import().table().isEmpty()) {
                VORLIN::MsgBox::alert(TextImport::kNoTable);
                return;
            }
            if (logic_->import().relations().empty()) {
                VORLIN::MsgBox::alert(TextImport::kNoRelations);
                return;
            }
            showPage(2);
            if (logic_->shouldRun()) {
                // Once the page is on screen.
                QTimer::singleShot(0, this, [this] {
                    if (page() == 2 && logic_->shouldRun()) paso3_->run();
                });
            } else {
                paso3_->showResult();
            }
            break;
        default:
            break;
    }
}

void ImportarTexto::back() {
    if (paso3_->running() || page() == 0) return;
    // Back from Paso3 the mapping stays as it was; it starts again only
    // when Paso2 is entered from Paso1 (the file may have changed).
    showPage(page() - 1);
}

void ImportarTexto::reject() {
    if (paso3_->running()) {
        paso3_->requestCancel();
        return;
    }
    QDialog::reject();
}

void ImportarTexto::showPage(int index) {
    pages_->setCurrentIndex(index);
    updateButtons();
}

void ImportarTexto::updateButtons() {
    const bool running = paso3_->running();
    back_->setEnabled(!running && page() > 0);
    next_->setEnabled(!running && page() < 2);
    finish_->setVisible(page() == 2);
    finish_->setEnabled(!running && page() == 2 && logic_->hasRun());
    cancel_->setEnabled(true);
    if (finish_->isEnabled()) finish_->setDefault(true);
}
