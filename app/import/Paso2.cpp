#include "app/import/Paso2.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/import/ImportarTextoLogic.h"
#include "core/GeneralException.h"
#include "ui/MsgBox.h"

using VORLIN::String;

namespace {

QString q(const char* text) {
    return QString::fromUtf8(text);
}

QString q(const String& text) {
    return QString::fromUtf8(text.c_str(), qsizetype(text.length()));
}

}  // namespace

Paso2::Paso2(ImportarTextoLogic& logic, QWidget* parent) : QWidget(parent), logic_(logic) {
    using L = ImportarTextoLogic;
    table_ = new QComboBox(this);
    table_->setAccessibleName(q(L::kImportTo).trimmed());
    fileFields_ = new QListWidget(this);
    fileFields_->setAccessibleName(q(L::kFileFields));
    tableFields_ = new QListWidget(this);
    tableFields_->setAccessibleName(q(L::kTableFields));
    constant_ = new QLineEdit(this);
    constant_->setAccessibleName(q(L::kConstant).trimmed());
    relations_ = new QListWidget(this);
    relations_->setAccessibleName(q(L::kRelations));
    addField_ = new QPushButton(q("Relacionar &campo"), this);
    addField_->setAccessibleName(q(L::kAddField));
    addConstant_ = new QPushButton(q("Relacionar c&onstante"), this);
    addConstant_->setAccessibleName(q(L::kAddConstant));
    delete_ = new QPushButton(q("&Borrar"), this);
    delete_->setAccessibleName(q(L::kDelete));

    auto* tableLabel = new QLabel(q("&Importar a: "), this);
    tableLabel->setBuddy(table_);
    auto* fileLabel = new QLabel(q("Campos del &archivo"), this);
    fileLabel->setBuddy(fileFields_);
    auto* columnsLabel = new QLabel(q("Campos de la &tabla"), this);
    columnsLabel->setBuddy(tableFields_);
    auto* constantLabel = new QLabel(q("Co&nstante: "), this);
    constantLabel->setBuddy(constant_);
    auto* relationsLabel = new QLabel(q("&Relaciones"), this);
    relationsLabel->setBuddy(relations_);

    auto* grid = new QGridLayout(this);
    grid->addWidget(tableLabel, 0, 0);
    grid->addWidget(table_, 0, 1, 1, 2);
    grid->addWidget(fileLabel, 1, 0);
    grid->addWidget(columnsLabel, 1, 1);
    grid->addWidget(relationsLabel, 1, 2);
    grid->addWidget(fileFields_, 2, 0);
    grid->addWidget(tableFields_, 2, 1);
    grid->addWidget(relations_, 2, 2);
    grid->addWidget(constantLabel, 3, 0);
    grid->addWidget(constant_, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(addField_);
    buttons->addWidget(addConstant_);
    buttons->addWidget(delete_);
    grid->addLayout(buttons, 4, 0, 1, 3);

    setTabOrder(table_, fileFields_);
    setTabOrder(fileFields_, tableFields_);
    setTabOrder(tableFields_, constant_);
    setTabOrder(constant_, addField_);
    setTabOrder(addField_, addConstant_);
    setTabOrder(addConstant_, relations_);
    setTabOrder(relations_, delete_);

    connect(table_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!filling_) chooseTable(i);
    });
    connect(addField_, &QPushButton::clicked, this, [this] { addField(); });
    connect(addConstant_, &QPushButton::clicked, this, [this] { addConstant(); });
    connect(delete_, &QPushButton::clicked, this, [this] { removeRelation(); });
}

void Paso2::enter() {
    logic_.enterMapping();
    fileFields_->clear();
    for (const String& n : logic_.fieldNames())
        fileFields_->addItem(q(n));
    filling_ = true;
    QString current = table_->currentText();
    table_->clear();
    try {
        for (const String& t : logic_.tables())
            table_->addItem(q(t));
    } catch (const VORLIN::GeneralException& e) {
        VORLIN::MsgBox::error(String(e.message()));
    }
    filling_ = false;
    int again = current.isEmpty() ? -1 : table_->findText(current);
    if (again < 0 && !logic_.import().table().isEmpty())
        again = table_->findText(q(logic_.import().table()));
    table_->setCurrentIndex(again >= 0 ? again : (table_->count() > 0 ? 0 : -1));
    chooseTable(table_->currentIndex());
}

void Paso2::chooseTable(int index) {
    tableFields_->clear();
    try {
        logic_.chooseTable(index >= 0 ? String(table_->itemText(index).toUtf8().toStdString())
                                      : String());
    } catch (const VORLIN::GeneralException& e) {
        VORLIN::MsgBox::error(String(e.message()));
    }
    for (const String& c : logic_.import().columnNames())
        tableFields_->addItem(q(c));
    showRelations();
}

void Paso2::addField() {
    int field = fileFields_->currentRow();
    int column = tableFields_->currentRow();
    if (field < 0 || column < 0) return;
    logic_.import().addField(field, column);
    showRelations();
}

void Paso2::addConstant() {
    int column = tableFields_->currentRow();
    QString text = constant_->text();
    if (text.isEmpty() || column < 0) return;
    logic_.import().addConstant(String(text.toUtf8().toStdString()), column);
    showRelations();
}

void Paso2::removeRelation() {
    int row = relations_->currentRow();
    if (row < 0) return;
    logic_.import().removeRelation(row);
    showRelations();
}

void Paso2::showRelations() {
    relations_->clear();
    const TextImport& import = logic_.import();
    for (size_t i = 0; i < import.relations().size(); ++i)
        relations_->addItem(q(import.relationText(int(i))));
}
