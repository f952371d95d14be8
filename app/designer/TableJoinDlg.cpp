#include "app/designer/TableJoinDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/designer/Gap.h"
#include "app/designer/TableJoinLogic.h"
#include "ui/ImageStore.h"
#include "ui/MsgBox.h"

using VORLIN::String;

namespace {

QString q(const String& s) {
    return QString::fromUtf8(s.c_str(), int(s.length()));
}

QComboBox* makeList(const QString& name, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setAccessibleName(name);
    list->setMinimumWidth(170);
    return list;
}

}  // namespace

TableJoinDlg::TableJoinDlg(TableJoinLogic& logic, QWidget* parent)
    : QDialog(parent), logic_(logic) {
    setWindowTitle(QString::fromUtf8(TableJoinLogic::kTitle));
    setAccessibleName(QString::fromUtf8(TableJoinLogic::kTitle));
    setModal(true);

    auto* grid = new QGridLayout;
    const char* tableCaptions[2] = {"&Tabla 1: ", "T&abla 2: "};
    const char* fieldCaptions[2] = {"&Campo: ", "Ca&mpo: "};
    for (int side = 0; side < 2; ++side) {
        const QString number = QString::number(side + 1);
        tables_[side] = makeList(QStringLiteral("Tabla ") + number, this);
        fields_[side] = makeList(QStringLiteral("Campo de la tabla ") + number, this);
        for (const String& t : logic_.tables())
            tables_[side]->addItem(q(t));
        tables_[side]->setCurrentIndex(logic_.table(side));
        auto* tableLabel = new QLabel(QString::fromUtf8(tableCaptions[side]), this);
        tableLabel->setBuddy(tables_[side]);
        auto* fieldLabel = new QLabel(QString::fromUtf8(fieldCaptions[side]), this);
        fieldLabel->setBuddy(fields_[side]);
        grid->addWidget(tableLabel, side, 0);
        grid->addWidget(tables_[side], side, 1);
        grid->addWidget(new Gap(16, 1, this), side, 2);
        grid->addWidget(fieldLabel, side, 3);
        grid->addWidget(fields_[side], side, 4);
        fillFields(side);
        connect(tables_[side], QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                [this, side](int index) {
                    if (filling_) return;
                    logic_.chooseTable(side, index);
                    fillFields(side);
                });
        connect(fields_[side], QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                [this, side](int index) {
                    if (!filling_) logic_.chooseColumn(side, index);
                });
    }

    join_ = makeList(QStringLiteral("Relación"), this);
    for (const String& j : logic_.joins())
        join_->addItem(q(j));
    join_->setCurrentIndex(logic_.join());
    auto* joinLabel = new QLabel(QStringLiteral("&Relación: "), this);
    joinLabel->setBuddy(join_);
    meaning_ = new QLabel(q(logic_.meaning()), this);
    meaning_->setWordWrap(true);
    meaning_->setAccessibleName(QStringLiteral("Significado de la relación"));
    meaning_->setMinimumHeight(2 * fontMetrics().lineSpacing());
    join_->setAccessibleDescription(meaning_->text());
    grid->addWidget(joinLabel, 2, 0);
    grid->addWidget(join_, 2, 1);
    grid->addWidget(meaning_, 3, 1, 1, 4);
    connect(join_, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int index) {
        if (index < 0) return;
        logic_.chooseJoin(index);
        meaning_->setText(q(logic_.meaning()));
        join_->setAccessibleDescription(meaning_->text());
    });

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setAccessibleName(QStringLiteral("OK"));
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    cancel->setAccessibleName(QStringLiteral("Cancelar"));
    cancel->setIcon(VORLIN::ImageStore::icon("CANCEL"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TableJoinDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(new Gap(1, 8, this));
    layout->addWidget(buttons);
    setTabOrder(tables_[0], fields_[0]);
    setTabOrder(fields_[0], tables_[1]);
    setTabOrder(tables_[1], fields_[1]);
    setTabOrder(fields_[1], join_);
    setTabOrder(join_, ok);
    setTabOrder(ok, cancel);
    tables_[0]->setFocus();
}

void TableJoinDlg::fillFields(int side) {
    filling_ = true;
    QComboBox* list = fields_[side];
    list->clear();
    for (const String& c : logic_.columns(side))
        list->addItem(q(c));
    list->setCurrentIndex(logic_.column(side));
    filling_ = false;
}

void TableJoinDlg::accept() {
    const String reason = logic_.problem();
    if (!reason.isEmpty()) {
        VORLIN::MsgBox::alert(reason);
        return;
    }
    QDialog::accept();
}
