#include "app/connect/SqliteServerConnectDlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/connect/QtDialogParts.h"
#include "app/main/ConfigStore.h"

namespace VORLIN {

using namespace dialogparts;
using L = SqliteServerConnectLogic;

SqliteServerConnectDlg::SqliteServerConnectDlg(const String& server, int port, ConfigStore* store,
                                               QWidget* parent)
    : QDialog(parent), logic_(message) {
    setWindowTitle(QString::fromUtf8(L::kTitle));
    setAccessibleName(QString::fromUtf8(L::kTitle));
    setObjectName(QStringLiteral("SqliteServerConnectDlg"));

    server_ = new QComboBox(this);
    server_->setObjectName(QStringLiteral("server"));
    server_->setEditable(true);
    server_->setInsertPolicy(QComboBox::NoInsert);
    if (store)
        for (const String& h : store->recentServers(ConfigStore::kRemoteServer))
            server_->addItem(q(h));
    server_->setEditText(q(server));
    server_->setMinimumWidth(240);
    port_ = new QSpinBox(this);
    port_->setObjectName(QStringLiteral("port"));
    port_->setRange(1, 65535);
    port_->setValue(port >= 1 && port <= 65535 ? port : 1);

    QPushButton* ok = button(L::kOkButton, "ok", this);
    QPushButton* cancel = button(L::kCancelButton, "cancel", this, 0, "CANCEL");

    auto* form = new QFormLayout;
    form->addRow(labelFor(L::kServerLabel, server_, this), server_);
    form->addRow(labelFor(L::kPortLabel, port_, this), port_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    setTabOrder(server_, port_);
    setTabOrder(port_, ok);
    setTabOrder(ok, cancel);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, this, [this] { okPressed(); });
    QObject::connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    server_->setFocus();
}

void SqliteServerConnectDlg::okPressed() {
    logic_.server = s(server_->currentText());
    logic_.port = port_->value();
    if (logic_.accept()) accept();
}

}  // namespace VORLIN
