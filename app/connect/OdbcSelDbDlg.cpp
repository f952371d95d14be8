#include "app/connect/OdbcSelDbDlg.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/connect/QtDialogParts.h"

namespace VORLIN {

using namespace dialogparts;
using L = OdbcSelDbLogic;

OdbcSelDbDlg::OdbcSelDbDlg(DbConnection& connection, QWidget* parent)
    : QDialog(parent), logic_(connection, message) {
    setWindowTitle(QString::fromUtf8(L::kTitle));
    setAccessibleName(QString::fromUtf8(L::kTitle));
    setObjectName(QStringLiteral("OdbcSelDbDlg"));

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("sources"));
    list_->setMinimumWidth(300);
    user_ = new QLineEdit(this);
    user_->setObjectName(QStringLiteral("user"));
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("password"));
    password_->setEchoMode(QLineEdit::Password);
    QPushButton* create = button(L::kNewButton, "new", this, 'N');
    QPushButton* ok = button(L::kOkButton, "ok", this);
    QPushButton* cancel = button(L::kCancelButton, "cancel", this, 0, "CANCEL");

    auto* form = new QFormLayout;
    form->addRow(labelFor(L::kUserLabel, user_, this), user_);
    form->addRow(labelFor(L::kPasswordLabel, password_, this, 't'), password_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(create);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(labelFor(L::kListLabel, list_, this));
    layout->addWidget(list_, 1);
    layout->addLayout(form);
    layout->addLayout(buttons);

    setTabOrder(list_, user_);
    setTabOrder(user_, password_);
    setTabOrder(password_, create);
    setTabOrder(create, ok);
    setTabOrder(ok, cancel);
    ok->setDefault(true);
    QObject::connect(create, &QPushButton::clicked, this, [this] { newPressed(); });
    QObject::connect(ok, &QPushButton::clicked, this, [this] { okPressed(); });
    QObject::connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    QObject::connect(list_, &QListWidget::itemActivated, this, [this] { okPressed(); });

    logic_.fill();
    refill();
    list_->setFocus();
}

void OdbcSelDbDlg::refill() {
    QString current = list_->currentItem() ? list_->currentItem()->text() : QString();
    list_->clear();
    for (const String& n : logic_.sources())
        list_->addItem(q(n));
    QList<QListWidgetItem*> same = list_->findItems(current, Qt::MatchExactly);
    if (!same.isEmpty())
        list_->setCurrentItem(same.first());
    else if (list_->count() > 0)
        list_->setCurrentRow(0);
}

void OdbcSelDbDlg::newPressed() {
    logic_.newPressed();
    refill();
}

void OdbcSelDbDlg::okPressed() {
    int index = list_->currentRow();
    if (index >= 0 && !list_->item(index)->isSelected()) index = -1;
    logic_.user = s(user_->text());
    logic_.password = s(password_->text());
    if (!logic_.accept(index)) return;
    source_ = s(list_->item(index)->text());
    accept();
}

}  // namespace VORLIN
