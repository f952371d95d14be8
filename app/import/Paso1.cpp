#include "app/import/Paso1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/import/ImportarTextoLogic.h"
#include "core/GeneralException.h"
#include "ui/FileDialogs.h"
#include "ui/MsgBox.h"
#include "ui/WaitCursor.h"

using VORLIN::String;

namespace {

QString q(const char* text) {
    return QString::fromUtf8(text);
}

QString q(const String& text) {
    return QString::fromUtf8(text.c_str(), qsizetype(text.length()));
}

}  // namespace

Paso1::Paso1(ImportarTextoLogic& logic, const String& workFolder, QWidget* parent)
    : QWidget(parent), logic_(logic), workFolder_(workFolder) {
    using L = ImportarTextoLogic;
    auto* grid = new QGridLayout;
    separator_ = new QComboBox(this);
    for (const char* c : L::separatorChoices())
        separator_->addItem(q(c));
    separator_->setCurrentIndex(logic.separator());
    delimiter_ = new QComboBox(this);
    delimiter_->addItem(q("(ninguno)"));
    delimiter_->addItem(q("\""));
    delimiter_->addItem(q("'"));
    delimiter_->setCurrentIndex(logic.delimiter());
    headers_ = new QCheckBox(q(L::kHeadersLabel), this);
    headers_->setChecked(logic.headers());
    file_ = new QLineEdit(this);
    file_->setReadOnly(true);
    browse_ = new QPushButton(q("&Buscar..."), this);
    browse_->setAccessibleName(q("Buscar archivo"));
    encoding_ = new QLabel(this);
    count_ = new QLabel(this);

    auto* separatorLabel = new QLabel(q("Se&parador de campo: "), this);
    separatorLabel->setBuddy(separator_);
    auto* delimiterLabel = new QLabel(q("&Delimitador de texto: "), this);
    delimiterLabel->setBuddy(delimiter_);
    auto* fileLabel = new QLabel(q("Arc&hivo: "), this);
    fileLabel->setBuddy(file_);
    separator_->setAccessibleName(q(L::kSeparatorLabel).trimmed());
    delimiter_->setAccessibleName(q(L::kDelimiterLabel).trimmed());
    file_->setAccessibleName(q(L::kFileLabel).trimmed());
    grid->addWidget(separatorLabel, 0, 0);
    grid->addWidget(separator_, 0, 1);
    grid->addWidget(delimiterLabel, 0, 2);
    grid->addWidget(delimiter_, 0, 3);
    grid->addWidget(headers_, 1, 0, 1, 4);
    grid->addWidget(fileLabel, 2, 0);
    grid->addWidget(file_, 2, 1, 1, 2);
    grid->addWidget(browse_, 2, 3);

    auto* previewLabel = new QLabel(q(L::kPreview), this);
    grid_ = new QTableWidget(this);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setAccessibleName(q(L::kPreview));
    grid_->verticalHeader()->setVisible(false);
    previewLabel->setBuddy(grid_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    auto* info = new QHBoxLayout;
    info->addWidget(encoding_);
    info->addStretch();
    info->addWidget(count_);
    layout->addLayout(info);
    layout->addWidget(previewLabel);
    layout->addWidget(grid_, 1);

    setTabOrder(separator_, delimiter_);
    setTabOrder(delimiter_, headers_);
    setTabOrder(headers_, browse_);
    setTabOrder(browse_, grid_);

    connect(browse_, &QPushButton::clicked, this, [this] { chooseFile(); });
    connect(separator_, &QComboBox::currentIndexChanged, this, [this] { settingsChanged(); });
    connect(delimiter_, &QComboBox::currentIndexChanged, this, [this] { settingsChanged(); });
    connect(headers_, &QCheckBox::toggled, this, [this] { settingsChanged(); });
    refresh();
}

void Paso1::chooseFile() {
    String path = VORLIN::FileDialogs::openFile(ImportarTextoLogic::kOpenTitle,
                                                ImportarTextoLogic::kOpenFilter, workFolder_);
    if (path.isEmpty()) return;
    readFile(path);
}

void Paso1::readFile(const String& path) {
    try {
        VORLIN::WaitCursor wait;
        logic_.readFile(path);
    } catch (const VORLIN::GeneralException& e) {
        VORLIN::MsgBox::error(String(e.message()));
        return;
    }
    refresh();
}

void Paso1::settingsChanged() {
    logic_.setSettings(separator_->currentIndex(), delimiter_->currentIndex(),
                       headers_->isChecked());
    refresh();
}

void Paso1::refresh() {
    file_->setText(q(logic_.file()));
    encoding_->setText(q(logic_.encodingText()));
    const std::vector<String>& names = logic_.fieldNames();
    const int shown = std::min(logic_.rowCount(), kPreviewRows);
    if (logic_.hasFile() && shown < logic_.rowCount()) {
        String text;
        text.format(ImportarTextoLogic::kPreviewShown, logic_.rowCount(), shown);
        count_->setText(q(text));
    } else {
        count_->clear();
    }
    grid_->clear();
    grid_->setColumnCount(int(names.size()) + 1);
    grid_->setRowCount(shown);
    QStringList titles{q(ImportarTextoLogic::kRowColumn)};
    for (const String& n : names)
        titles << q(n);
    grid_->setHorizontalHeaderLabels(titles);
    grid_->setColumnWidth(0, 26);
    for (int c = 1; c <= int(names.size()); ++c)
        grid_->setColumnWidth(c, 80);
    if (!logic_.hasFile()) return;
    DelimitedTextReader& reader = logic_.reader();
    reader.rewind();
    if (logic_.headers()) reader.next();
    for (int r = 0; r < shown && reader.next(); ++r) {
        grid_->setItem(r, 0, new QTableWidgetItem(QString::number(r + 1)));
        for (int f = 0; f < reader.fieldCount(); ++f) {
            std::string_view v = reader.field(f);
            grid_->setItem(r, f + 1,
                           new QTableWidgetItem(QString::fromUtf8(v.data(), qsizetype(v.size()))));
        }
    }
    reader.rewind();
}
