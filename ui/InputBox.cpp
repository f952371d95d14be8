#include "ui/InputBox.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/MsgBox.h"

namespace VORLIN {

namespace {

InputBox::Responder& responder() {
    static InputBox::Responder r;
    return r;
}

}  // namespace

void InputBox::setResponder(Responder r) {
    responder() = std::move(r);
}

bool InputBox::ask(const String& title, const String& prompt, String& value) {
    if (const Responder& r = responder()) return r(title, prompt, value);

    QDialog dialog(MsgBox::parentWindow());
    dialog.setWindowTitle(QString::fromUtf8(title.c_str()));
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(QString::fromUtf8(prompt.c_str()), &dialog);
    auto* edit = new QLineEdit(QString::fromUtf8(value.c_str()), &dialog);
    label->setBuddy(edit);
    edit->setAccessibleName(QString::fromUtf8(prompt.c_str()).trimmed().remove(':'));
    edit->setMinimumWidth(280);
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    ok->setAccessibleName(QStringLiteral("OK"));
    cancel->setAccessibleName(QStringLiteral("Cancelar"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(edit);
    layout->addWidget(buttons);
    edit->selectAll();
    edit->setFocus();
    if (dialog.exec() != QDialog::Accepted) return false;
    value = String(edit->text().toUtf8().toStdString());
    return true;
}

}  // namespace VORLIN
