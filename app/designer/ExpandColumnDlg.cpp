#include "app/designer/ExpandColumnDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/CodeEditor.h"
#include "ui/ColoringSet.h"
#include "ui/ImageStore.h"
#include "ui/MsgBox.h"

using VORLIN::String;

namespace {

QString q(const String& s) {
    return QString::fromUtf8(s.c_str(), int(s.length()));
}

}  // namespace

ExpandColumnDlg::ExpandColumnDlg(const String& property, const String& text, Check check,
                                 QWidget* parent)
    : QDialog(parent), check_(std::move(check)) {
    setWindowTitle(QString::fromUtf8(kTitle));
    setAccessibleName(QString::fromUtf8(kTitle));
    setModal(true);

    editor_ = new VORLIN::CodeEditor(property, VORLIN::ColoringSet::sql(), this);
    editor_->setText(text);
    auto* label = new QLabel(q(property) + QStringLiteral(":"), this);
    label->setBuddy(editor_);

    buttons_ = new QDialogButtonBox(this);
    QPushButton* ok = buttons_->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setAccessibleName(QStringLiteral("OK"));
    ok->setDefault(true);
    ok->setToolTip(QStringLiteral("Acepta el texto (Ctrl+Intro)"));
    ok->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
    QPushButton* cancel =
        buttons_->addButton(QStringLiteral("&Cancelar"), QDialogButtonBox::RejectRole);
    cancel->setAccessibleName(QStringLiteral("Cancelar"));
    cancel->setIcon(VORLIN::ImageStore::icon("CANCEL"));
    connect(buttons_, &QDialogButtonBox::accepted, this, &ExpandColumnDlg::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(editor_, 1);
    layout->addWidget(buttons_);
    setTabOrder(editor_, ok);
    setTabOrder(ok, cancel);
    resize(520, 300);
    editor_->setFocus();
}

String ExpandColumnDlg::text() const {
    return editor_->text();
}

void ExpandColumnDlg::accept() {
    if (check_) {
        const String reason = check_(text());
        if (!reason.isEmpty()) {
            VORLIN::MsgBox::alert(reason);
            editor_->setFocus();
            return;
        }
    }
    QDialog::accept();
}
