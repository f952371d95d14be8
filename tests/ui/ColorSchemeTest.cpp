// The colour scheme's lists and what it does to the running program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>
#include <QWidget>

#include "core/DataItem.h"
#include "data/DataRow.h"
#include "ui/ColorScheme.h"

using namespace VORLIN;

TEST(ColorScheme, ListsGoOutAndComeBackWithGradientPositionsMapped) {
    ColorScheme scheme = ColorScheme::dark();
    DataRow solid;
    DataRow gradient;
    scheme.toLists(solid, gradient);
    ASSERT_EQ(solid.count(), 20);
    ASSERT_EQ(gradient.count(), 10);
    // Position 1 of the list is gradient number 5, position 8 number 10.
    EXPECT_EQ(gradient.cell(1)->toColor().value, scheme.gradient(5).value);
    EXPECT_EQ(gradient.cell(8)->toColor().value, scheme.gradient(10).value);

    ColorScheme other;
    EXPECT_FALSE(other == scheme);
    other.setLists(solid, gradient);
    EXPECT_TRUE(other == scheme);

    // Cells without a colour leave that colour alone; short lists too.
    DataRow partial(3);
    partial.cell(1)->setColor(Color::fromRgb(1, 2, 3));
    DataRow none;
    ColorScheme mixed;
    const Color before0 = mixed.solid(0);
    mixed.setLists(partial, none);
    EXPECT_EQ(mixed.solid(0).value, before0.value);
    EXPECT_EQ(mixed.solid(1).value, Color::fromRgb(1, 2, 3).value);
}

TEST(ColorScheme, ApplyingRestylesThePaletteOfEveryWidget) {
    const ColorScheme saved = ColorScheme::current();
    ColorScheme dark = ColorScheme::dark();
    ColorScheme::apply(dark);
    QWidget widget;
    const QColor text = widget.palette().color(QPalette::Active, QPalette::WindowText);
    const QColor window = widget.palette().color(QPalette::Active, QPalette::Window);
    EXPECT_EQ(text, QColor(dark.solid(ColorScheme::ControlText).red(),
                           dark.solid(ColorScheme::ControlText).green(),
                           dark.solid(ColorScheme::ControlText).blue()));
    // Readable: text and background far apart in lightness, both schemes.
    EXPECT_GT(std::abs(text.lightness() - window.lightness()), 120);
    ColorScheme::apply(ColorScheme::builtIn());
    QWidget light;
    EXPECT_GT(std::abs(light.palette().color(QPalette::WindowText).lightness() -
                       light.palette().color(QPalette::Window).lightness()),
              120);
    EXPECT_FALSE(qApp->styleSheet().isEmpty());
    ColorScheme::apply(saved);
}
