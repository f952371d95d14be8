#include "ui/ColorScheme.h"

#include <QApplication>
#include <QColor>
#include <QStyle>
#include <QStyleFactory>
#include <QToolTip>

#include "core/DataItem.h"
#include "data/DataRow.h"

namespace VORLIN {

const int ColorScheme::kGradientOfPosition[kGradientListCount] = {0, 5, 1, 6, 2, 3, 4, 7, 10, 11};

namespace {

Color rgb(int r, int g, int b) {
    return Color::fromRgb(r, g, b);
}

QColor qc(Color c) {
    return QColor(c.red(), c.green(), c.blue());
}

QString css(Color c) {
    return qc(c).name();
}

// A colour item in a cell, or none: colour items as they are, texts in the
// colour's text form "(r,g,b)".
bool readColor(const DataItem* item, Color& out) {
    if (!item || item->isNull()) return false;
    Color c = item->toColor();
    if (c.isNone()) return false;
    out = c;
    return true;
}

}  // namespace

ColorScheme::ColorScheme() {
    solid_ = {rgb(38, 58, 92),    rgb(28, 30, 34),    rgb(255, 255, 255), rgb(47, 111, 181),
              rgb(135, 139, 146), rgb(255, 255, 255), rgb(255, 251, 228), rgb(238, 239, 241),
              rgb(28, 30, 34),    rgb(255, 255, 255), rgb(150, 152, 156), rgb(250, 251, 252),
              rgb(47, 111, 181),  rgb(234, 238, 243), rgb(28, 30, 34),    rgb(0, 0, 0),
              rgb(150, 152, 156), rgb(243, 245, 248), rgb(228, 233, 240), rgb(255, 253, 222)};
    gradient_ = {rgb(238, 243, 250), rgb(252, 252, 253), rgb(243, 245, 248), rgb(255, 255, 255),
                 rgb(236, 237, 239), rgb(210, 222, 238), rgb(226, 230, 236), rgb(47, 111, 181),
                 rgb(200, 200, 200), rgb(200, 200, 200), rgb(242, 245, 249), rgb(222, 228, 237)};
}

ColorScheme ColorScheme::dark() {
    ColorScheme s;
    s.solid_ = {rgb(150, 190, 240), rgb(224, 226, 230), rgb(255, 255, 255), rgb(56, 110, 180),
                rgb(120, 124, 132), rgb(40, 43, 48),    rgb(52, 56, 40),    rgb(48, 50, 54),
                rgb(224, 226, 230), rgb(255, 255, 255), rgb(120, 124, 132), rgb(44, 47, 52),
                rgb(56, 110, 180),  rgb(36, 39, 44),    rgb(224, 226, 230), rgb(255, 255, 255),
                rgb(120, 124, 132), rgb(50, 53, 58),    rgb(32, 34, 38),    rgb(60, 62, 48)};
    s.gradient_ = {rgb(58, 62, 70),    rgb(66, 70, 78),    rgb(50, 53, 58), rgb(40, 43, 48),
                   rgb(48, 50, 54),    rgb(46, 50, 58),    rgb(56, 60, 68), rgb(96, 150, 220),
                   rgb(200, 200, 200), rgb(200, 200, 200), rgb(48, 51, 57), rgb(40, 43, 48)};
    return s;
}

Color ColorScheme::solid(int index) const {
    return index >= 0 && index < kSolidCount ? solid_[size_t(index)] : Color();
}

Color ColorScheme::gradient(int number) const {
    return number >= 0 && number < kGradientCount ? gradient_[size_t(number)] : Color();
}

void ColorScheme::setSolid(int index, Color color) {
    if (index >= 0 && index < kSolidCount && !color.isNone()) solid_[size_t(index)] = color;
}

void ColorScheme::setGradient(int number, Color color) {
    if (number >= 0 && number < kGradientCount && !color.isNone())
        gradient_[size_t(number)] = color;
}

void ColorScheme::setLists(const DataRow& solidList, const DataRow& gradientList) {
    Color c;
    for (int i = 0; i < kSolidCount && i < solidList.count(); ++i)
        if (readColor(solidList.cell(i), c)) setSolid(i, c);
    for (int k = 0; k < kGradientListCount && k < gradientList.count(); ++k)
        if (readColor(gradientList.cell(k), c)) setGradient(kGradientOfPosition[k], c);
}

void ColorScheme::toLists(DataRow& solidList, DataRow& gradientList) const {
    solidList.setCount(kSolidCount);
    gradientList.setCount(kGradientListCount);
    for (int i = 0; i < kSolidCount; ++i)
        solidList.cell(i)->setColor(solid_[size_t(i)]);
    for (int k = 0; k < kGradientListCount; ++k)
        gradientList.cell(k)->setColor(gradient_[size_t(kGradientOfPosition[k])]);
}

bool ColorScheme::operator==(const ColorScheme& other) const {
    for (int i = 0; i < kSolidCount; ++i)
        if (solid_[size_t(i)].value != other.solid_[size_t(i)].value) return false;
    for (int i = 0; i < kGradientCount; ++i)
        if (gradient_[size_t(i)].value != other.gradient_[size_t(i)].value) return false;
    return true;
}

QPalette ColorScheme::palette() const {
    QPalette p;
    const QColor text = qc(solid(ControlText));
    const QColor window = qc(solid(DialogBackground));
    const QColor base = qc(solid(ControlNormal));
    const QColor button = qc(gradient(3));
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(g, QPalette::Window, window);
        p.setColor(g, QPalette::WindowText, text);
        p.setColor(g, QPalette::Base, base);
        p.setColor(g, QPalette::AlternateBase, qc(gradient(0)));
        p.setColor(g, QPalette::Text, text);
        p.setColor(g, QPalette::PlaceholderText, qc(solid(DisabledText)));
        p.setColor(g, QPalette::Button, button);
        p.setColor(g, QPalette::ButtonText, qc(solid(ButtonText)));
        p.setColor(g, QPalette::Highlight, qc(solid(SelectedBackground)));
        p.setColor(g, QPalette::HighlightedText, qc(solid(SelectedText)));
        p.setColor(g, QPalette::ToolTipBase, qc(solid(TooltipBackground)));
        p.setColor(g, QPalette::ToolTipText, text);
        p.setColor(g, QPalette::Link, qc(solid(SelectedBackground)));
        p.setColor(g, QPalette::BrightText, qc(solid(SelectedText)));
        p.setColor(g, QPalette::Light, window.lighter(130));
        p.setColor(g, QPalette::Midlight, window.lighter(110));
        p.setColor(g, QPalette::Mid, window.darker(130));
        p.setColor(g, QPalette::Dark, window.darker(160));
        p.setColor(g, QPalette::Shadow, window.darker(250));
    }
    p.setColor(QPalette::Disabled, QPalette::Window, window);
    p.setColor(QPalette::Disabled, QPalette::WindowText, qc(solid(DisabledText)));
    p.setColor(QPalette::Disabled, QPalette::Text, qc(solid(DisabledText)));
    p.setColor(QPalette::Disabled, QPalette::Base, qc(solid(ControlDisabled)));
    p.setColor(QPalette::Disabled, QPalette::Button, qc(gradient(4)));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, qc(solid(ButtonDisabledText)));
    p.setColor(QPalette::Disabled, QPalette::Highlight, qc(solid(DisabledText)));
    p.setColor(QPalette::Disabled, QPalette::HighlightedText, qc(solid(SelectedText)));
    return p;
}

QString ColorScheme::styleSheet() const {
    QString s;
    s += QStringLiteral("QMainWindow { background: %1; }\n").arg(css(solid(ApplicationBackground)));
    s += QStringLiteral("QMenuBar { background: %1; color: %2; }\n")
             .arg(css(solid(MenuBar)), css(solid(MenuText)));
    s += QStringLiteral("QMenuBar::item:selected { background: %1; color: %2; }\n")
             .arg(css(solid(MenuSelectedBackground)), css(solid(MenuSelectedText)));
    s += QStringLiteral("QMenu { background: %1; color: %2; border: 1px solid %3; }\n")
             .arg(css(solid(MenuBackground)), css(solid(MenuText)),
                  qc(solid(MenuBackground)).darker(140).name());
    s += QStringLiteral("QMenu::item:selected { background: %1; color: %2; }\n")
             .arg(css(solid(MenuSelectedBackground)), css(solid(MenuSelectedText)));
    s += QStringLiteral("QMenu::item:disabled { color: %1; }\n").arg(css(solid(MenuDisabledText)));
    s += QStringLiteral(
             "QToolBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2);"
             " border: none; spacing: 2px; }\n")
             .arg(css(gradient(10)), css(gradient(11)));
    s += QStringLiteral(
             "QHeaderView::section { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 "
             "%1, stop:1 %2); color: %3; padding: 3px; border: 0px; border-right: 1px solid %4;"
             " border-bottom: 1px solid %4; }\n")
             .arg(css(gradient(0)), css(gradient(5)), css(solid(WindowTitle)),
                  qc(gradient(5)).darker(125).name());
    s += QStringLiteral(
             "QLineEdit:focus, QPlainTextEdit:focus, QTextEdit:focus, QComboBox:focus"
             " { background: %1; }\n")
             .arg(css(solid(ControlSelected)));
    s += QStringLiteral("QToolTip { background: %1; color: %2; border: 1px solid %3; }\n")
             .arg(css(solid(TooltipBackground)), css(solid(ControlText)),
                  qc(solid(TooltipBackground)).darker(150).name());
    s += QStringLiteral("QGroupBox::title, QLabel[role=\"title\"] { color: %1; }\n")
             .arg(css(solid(WindowTitle)));
    return s;
}

ColorScheme& ColorScheme::current() {
    static ColorScheme scheme;
    return scheme;
}

void ColorScheme::apply(const ColorScheme& scheme) {
    current() = scheme;
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app) return;
    // Fusion draws every control from the palette, so the scheme reaches
    // every window whatever the desktop's own style.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    QApplication::setPalette(scheme.palette());
    QToolTip::setPalette(scheme.palette());
    app->setStyleSheet(scheme.styleSheet());
}

}  // namespace VORLIN
