#include "app/query/QFilterDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/ImageStore.h"

QFilterDlg::QFilterDlg(const QStringList& columns, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(kTitle));
    setAccessibleName(QString::fromUtf8(kTitle));
    columns_ = new QComboBox(this);
    columns_->addItems(columns);
    columns_->setAccessibleName(QStringLiteral("Filtrar por"));
    value_ = new QLineEdit(this);
    value_->setAccessibleName(QStringLiteral("Valor"));
    exact_ = new QCheckBox(QStringLiteral("Coincidencia &exacta"), this);
    exact_->setAccessibleName(QStringLiteral("Coincidencia exacta"));
    auto* form = new QFormLayout;
    auto* byLabel = new QLabel(QStringLiteral("Filtrar &por: "), this);
    byLabel->setBuddy(columns_);
    auto* valueLabel = new QLabel(QStringLiteral("&Valor: "), this);
    valueLabel->setBuddy(value_);
    form->addRow(byLabel, columns_);
    form->addRow(valueLabel, value_);
    form->addRow(QString(), exact_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* filter =
        buttons->addButton(QStringLiteral("&Filtrar"), QDialogButtonBox::AcceptRole);
    filter->setAccessibleName(QStringLiteral("Filtrar"));
    filter->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("&Cancelar"), QDialogButtonBox::RejectRole);
    cancel->setAccessibleName(QStringLiteral("Cancelar"));
    cancel->setIcon(VORLIN::ImageStore::icon("CANCEL"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    value_->setFocus();
}

int QFilterDlg::column() const {
    return columns_->currentIndex();
}

VORLIN::String QFilterDlg::value() const {
    return VORLIN::String(value_->text().toUtf8().toStdString());
}

bool QFilterDlg::exact() const {
    return exact_->isChecked();
}

void QFilterDlg::set(int column, const VORLIN::String& value, bool exact) {
    columns_->setCurrentIndex(column);
    value_->setText(QString::fromUtf8(value.c_str()));
    exact_->setChecked(exact);
}
