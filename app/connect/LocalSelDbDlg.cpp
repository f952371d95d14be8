#include "app/connect/LocalSelDbDlg.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/connect/QtDialogParts.h"

namespace VORLIN {

using namespace dialogparts;
using L = SelDbLogic;

LocalSelDbDlg::LocalSelDbDlg(DbConnection& connection, const String& folder, const String& database,
                             QWidget* parent)
    : LocalSelDbDlg(SelDbLogic::Kind::Local, connection, folder, database, parent) {}

LocalSelDbDlg::LocalSelDbDlg(SelDbLogic::Kind kind, DbConnection& connection, const String& host,
                             const String& database, QWidget* parent)
    : QDialog(parent), logic_(kind, connection, host, database, message, ask) {
    build();
    logic_.fill();
    refill();
}

LocalSelDbDlg::~LocalSelDbDlg() = default;

void LocalSelDbDlg::build() {
    bool local = logic_.kind() == SelDbLogic::Kind::Local;
    const char* title = local ? L::kLocalTitle : L::kRemoteTitle;
    setWindowTitle(QString::fromUtf8(title));
    setAccessibleName(QString::fromUtf8(title));
    setObjectName(local ? QStringLiteral("LocalSelDbDlg") : QStringLiteral("SqliteServerSelDbDlg"));

    auto* host = new QLineEdit(q(logic_.host()), this);
    host->setObjectName(QStringLiteral("host"));
    host->setReadOnly(true);
    host->setMinimumWidth(300);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("databases"));
    QPushButton* create = button(L::kNewButton, "new", this);
    QPushButton* ok = button(L::kOkButton, "ok", this);
    QPushButton* cancel = button(L::kCancelButton, "cancel", this, 0, "CANCEL");

    auto* hostRow = new QHBoxLayout;
    hostRow->addWidget(labelFor(L::kHostLabel, host, this));
    hostRow->addWidget(host, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(create);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(hostRow);
    layout->addWidget(labelFor(L::kListLabel, list_, this));
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    setTabOrder(host, list_);
    setTabOrder(list_, create);
    setTabOrder(create, ok);
    setTabOrder(ok, cancel);
    ok->setDefault(true);

    QObject::connect(create, &QPushButton::clicked, this, [this] { newPressed(); });
    QObject::connect(ok, &QPushButton::clicked, this, [this] { okPressed(); });
    QObject::connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    QObject::connect(list_, &QListWidget::itemActivated, this, [this] { okPressed(); });
    list_->setFocus();
}

void LocalSelDbDlg::refill() {
    list_->clear();
    for (const String& n : logic_.databases())
        list_->addItem(q(n));
    int selected = logic_.selected();
    if (selected < 0 && list_->count() > 0) selected = 0;
    if (selected >= 0) list_->setCurrentRow(selected);
}

void LocalSelDbDlg::newPressed() {
    if (logic_.newPressed()) refill();
}

void LocalSelDbDlg::okPressed() {
    int index = list_->currentRow();
    if (index >= 0 && !list_->item(index)->isSelected()) index = -1;
    if (logic_.accept(index)) accept();
}

void LocalSelDbDlg::done(int result) {
    if (result != QDialog::Accepted) logic_.restore();
    QDialog::done(result);
}

}  // namespace VORLIN
