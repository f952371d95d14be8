#include "app/connect/QtServerDialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/connect/QtDialogParts.h"
#include "app/connect/SelServerLogic.h"
#include "ui/WaitCursor.h"

namespace VORLIN {

using namespace dialogparts;
using L = SelServerLogic;

QtServerDialog::QtServerDialog(const char* title, int defaultPort, const String& defaultHost,
                               const std::vector<String>& recentHosts, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(title));
    setAccessibleName(QString::fromUtf8(title));

    server_ = new QComboBox(this);
    server_->setObjectName(QStringLiteral("server"));
    server_->setEditable(true);
    server_->setInsertPolicy(QComboBox::NoInsert);
    for (const String& h : recentHosts)
        server_->addItem(q(h));
    server_->setEditText(q(defaultHost));
    server_->setMinimumWidth(240);

    portBox_ = new QSpinBox(this);
    portBox_->setObjectName(QStringLiteral("port"));
    portBox_->setRange(1, 65535);
    portBox_->setValue(defaultPort >= 1 && defaultPort <= 65535 ? defaultPort : 1);

    user_ = new QLineEdit(this);
    user_->setObjectName(QStringLiteral("user"));
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("password"));
    password_->setEchoMode(QLineEdit::Password);

    connect_ = button(L::kConnectButton, "connect", this, 'e');
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("databases"));
    ok_ = button(L::kOkButton, "ok", this);
    cancel_ = button(L::kCancelButton, "cancel", this, 'a', "CANCEL");

    auto* form = new QFormLayout;
    form->addRow(labelFor(L::kServerLabel, server_, this), server_);
    form->addRow(labelFor(L::kPortLabel, portBox_, this), portBox_);
    form->addRow(labelFor(L::kUserLabel, user_, this), user_);
    form->addRow(labelFor(L::kPasswordLabel, password_, this, 't'), password_);

    auto* connectRow = new QHBoxLayout;
    connectRow->addStretch(1);
    connectRow->addWidget(connect_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(connectRow);
    layout->addWidget(labelFor(L::kListLabel, list_, this, 'l'));
    layout->addWidget(list_);
    layout->addLayout(buttons);

    setTabOrder(server_, portBox_);
    setTabOrder(portBox_, user_);
    setTabOrder(user_, password_);
    setTabOrder(password_, connect_);
    setTabOrder(connect_, list_);
    setTabOrder(list_, ok_);
    setTabOrder(ok_, cancel_);

    connect_->setDefault(true);
    QObject::connect(connect_, &QPushButton::clicked, this, [this] { connectPressed(); });
    QObject::connect(ok_, &QPushButton::clicked, this, [this] { okPressed(); });
    QObject::connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    QObject::connect(list_, &QListWidget::itemActivated, this, [this] { okPressed(); });
    server_->setFocus();
}

void QtServerDialog::connectPressed() {
    Fields f;
    f.server = s(server_->currentText());
    f.port = portBox_->value();
    f.user = s(user_->text());
    f.password = s(password_->text());
    std::vector<String> names;
    int selected = -1;
    bool ok;
    {
        WaitCursor wait;
        ok = runConnect(f, names, selected);
    }
    if (!ok) return;
    connectedHost_ = f.server;
    connectedPort_ = f.port;
    list_->clear();
    for (const String& n : names)
        list_->addItem(q(n));
    if (selected >= 0 && selected < list_->count()) list_->setCurrentRow(selected);
    connect_->setDefault(false);
    ok_->setDefault(true);
    list_->setFocus();
}

void QtServerDialog::okPressed() {
    int index = list_->currentRow();
    if (index >= 0 && !list_->item(index)->isSelected()) index = -1;
    if (!runAccept(index)) return;
    database_ = s(list_->item(index)->text());
    host_ = connectedHost_;
    port_ = connectedPort_;
    accept();
}

}  // namespace VORLIN
