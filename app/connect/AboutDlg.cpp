#include "app/connect/AboutDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/connect/QtDialogParts.h"

namespace VORLIN {

using namespace dialogparts;

String AboutDlg::versionText(const String& version) {
    String text;
    text.format(kVersion, version.c_str());
    return text;
}

AboutDlg::AboutDlg(const String& version, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(kTitle));
    setAccessibleName(QString::fromUtf8(kTitle));
    setObjectName(QStringLiteral("AboutDlg"));

    auto* name = new QLabel(QString::fromUtf8(kName), this);
    name->setObjectName(QStringLiteral("name"));
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    name->setFont(big);
    auto* versionLabel = new QLabel(q(versionText(version)), this);
    versionLabel->setObjectName(QStringLiteral("version"));
    versionLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPushButton* close = button(kCloseButton, "ok", this);
    close->setDefault(true);
    QObject::connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addWidget(versionLabel);
    layout->addLayout(buttons);
    close->setFocus();
}

}  // namespace VORLIN
