#include "app/colors/ColorSchemaDlg.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/GeneralException.h"
#include "ui/ColorScheme.h"
#include "ui/FileDialogs.h"
#include "ui/ImageStore.h"
#include "ui/MsgBox.h"

namespace VORLIN {

namespace {

QString q(const char* s) { return QString::fromUtf8(s); }

QColor qc(Color c) { return QColor(c.red(), c.green(), c.blue()); }

void paintSwatch(QPushButton* button, Color c) {
    const QColor color = qc(c);
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; border: 1px solid %2; "
                                         "min-width: 56px; min-height: 18px; }")
                              .arg(color.name(), color.darker(160).name()));
    button->setToolTip(color.name());
}

}  // namespace

ColorSchemaDlg::ColorSchemaDlg(QWidget* parent) : QDialog(parent) {
    DataRow solid, gradient;
    ColorScheme::current().toLists(solid, gradient);
    logic_ = std::make_unique<ColorSchemaLogic>(solid, gradient);

    setWindowTitle(q(ColorSchemaLogic::kTitle));
    setAccessibleName(q(ColorSchemaLogic::kTitle));

    auto makeList = [this](bool gradientList) {
        auto* box = new QGroupBox(q(gradientList ? ColorSchemaLogic::kGradientList
                                                 : ColorSchemaLogic::kSolidList));
        auto* grid = new QGridLayout(box);
        const int n = gradientList ? ColorSchemaLogic::kGradient : ColorSchemaLogic::kSolid;
        for (int i = 0; i < n; ++i) {
            const char* text = gradientList ? ColorSchemaLogic::kGradientLabels[i]
                                            : ColorSchemaLogic::kSolidLabels[i];
            auto* label = new QLabel(q(text));
            auto* button = new QPushButton;
            button->setAccessibleName(q(text).trimmed().remove(':'));
            button->setFocusPolicy(Qt::StrongFocus);
            label->setBuddy(button);
            const int row = gradientList ? i : i % 10;
            const int column = gradientList ? 0 : (i / 10) * 2;
            grid->addWidget(label, row, column);
            grid->addWidget(button, row, column + 1);
            connect(button, &QPushButton::clicked, this,
                    [this, gradientList, i] { pick(gradientList, i); });
            (gradientList ? gradient_ : solid_).push_back(button);
        }
        return box;
    };

    auto* lists = new QHBoxLayout;
    lists->addWidget(makeList(false), 2);
    lists->addWidget(makeList(true), 1);

    auto* buttons = new QDialogButtonBox;
    auto add = [&](const char* text, const char* image) {
        QPushButton* b = buttons->addButton(q(text), QDialogButtonBox::ActionRole);
        b->setAccessibleName(q(text));
        b->setObjectName(q(text));
        if (image) b->setIcon(ImageStore::icon(image));
        return b;
    };
    connect(add(ColorSchemaLogic::kApply, nullptr), &QPushButton::clicked, this,
            [this] { applyScheme(); });
    connect(add(ColorSchemaLogic::kRestore, nullptr), &QPushButton::clicked, this,
            [this] { restore(); });
    connect(add("Oscuro", nullptr), &QPushButton::clicked, this, [this] { loadDark(); });
    connect(add(ColorSchemaLogic::kExport, "SAVE"), &QPushButton::clicked, this,
            [this] { exportScheme(); });
    connect(add(ColorSchemaLogic::kImport, "OPEN"), &QPushButton::clicked, this,
            [this] { importScheme(); });
    QPushButton* exit = buttons->addButton(q(ColorSchemaLogic::kExit), QDialogButtonBox::RejectRole);
    exit->setAccessibleName(q(ColorSchemaLogic::kExit));
    exit->setObjectName(q(ColorSchemaLogic::kExit));
    exit->setIcon(ImageStore::icon("CANCEL"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists);
    layout->addWidget(buttons);
    refresh();
}

ColorSchemaDlg::~ColorSchemaDlg() = default;

QPushButton* ColorSchemaDlg::swatch(bool gradientList, int index) const {
    const auto& list = gradientList ? gradient_ : solid_;
    return index >= 0 && size_t(index) < list.size() ? list[size_t(index)] : nullptr;
}

void ColorSchemaDlg::refresh() {
    for (size_t i = 0; i < solid_.size(); ++i) paintSwatch(solid_[i], logic_->color(false, int(i)));
    for (size_t i = 0; i < gradient_.size(); ++i)
        paintSwatch(gradient_[i], logic_->color(true, int(i)));
}

void ColorSchemaDlg::pick(bool gradientList, int index) {
    const QColor chosen = QColorDialog::getColor(qc(logic_->color(gradientList, index)), this,
                                                 swatch(gradientList, index)->accessibleName());
    if (!chosen.isValid()) return;
    logic_->setColor(gradientList, index,
                     Color::fromRgb(chosen.red(), chosen.green(), chosen.blue()));
    refresh();
}

void ColorSchemaDlg::applyScheme() {
    ColorScheme scheme = ColorScheme::current();
    scheme.setLists(logic_->solid(), logic_->gradient());
    ColorScheme::apply(scheme);
    logic_->markApplied();
    refresh();
}

void ColorSchemaDlg::loadFrom(const ColorScheme& scheme) {
    DataRow solid, gradient;
    scheme.toLists(solid, gradient);
    logic_->setLists(solid, gradient);
    refresh();
}

void ColorSchemaDlg::restore() {
    ColorScheme::apply(ColorScheme::builtIn());
    loadFrom(ColorScheme::current());
}

void ColorSchemaDlg::loadDark() { loadFrom(ColorScheme::dark()); }

void ColorSchemaDlg::exportScheme() {
    const String path = FileDialogs::saveFile(ColorSchemaLogic::kExportTitle, ColorSchemaLogic::kFilter);
    if (path.isEmpty()) return;
    try {
        logic_->exportFile(path);
    } catch (const GeneralException& e) {
        MsgBox::error(String(e.message()));
    }
}

void ColorSchemaDlg::importScheme() {
    const String path = FileDialogs::openFile(ColorSchemaLogic::kImportTitle, ColorSchemaLogic::kFilter);
    if (path.isEmpty()) return;
    ColorSchemaLogic::ImportResult result = logic_->importFile(path);
    if (!result.error.isEmpty()) {
        MsgBox::alert(result.error);
        return;
    }
    refresh();
    if (!result.skipped.empty()) {
        String text;
        text.format(ColorSchemaLogic::kSkipped, path.c_str());
        for (const String& line : result.skipped) text += String("\n") + line;
        MsgBox::alert(text);
    }
}

}  // namespace VORLIN
