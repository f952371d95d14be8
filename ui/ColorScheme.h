// ColorScheme: the application's colours: twenty solid colours for the
// interface elements (window titles, control text, selection, menus,
// buttons, dialog and application backgrounds, tool tips) and twelve
// gradient colours, ten of which the colour lists edit. It restyles the
// whole program: a Qt palette for every role and a short style sheet for
// menus, headers, buttons, tool bars and the focus mark.
//
// The two lists are DataRows of colour items: the solid list has one cell
// per solid colour (index = colour number); the gradient list has ten
// cells, position k standing for gradient number kGradientOfPosition[k].
// A cell that holds no colour leaves that colour as it was.
//
// The built-in colours are a light scheme readable on any desktop (the
// palette replaces the desktop's own, so a dark desktop theme does not
// leave dark text on a dark background); dark() is a dark scheme.
//
// Process-wide current scheme; value type otherwise. Threads: the UI
// thread only. Nothing here throws.
#pragma once

#include <array>

#include <QPalette>
#include <QString>

#include "core/Color.h"

namespace VORLIN {

class DataRow;

class ColorScheme {
public:
    static constexpr int kSolidCount = 20;
    static constexpr int kGradientCount = 12;
    static constexpr int kGradientListCount = 10;
    static const int kGradientOfPosition[kGradientListCount];

    // Solid colour numbers.
    enum Solid {
        WindowTitle = 0,
        ControlText,
        SelectedText,
        SelectedBackground,
        DisabledText,
        ControlNormal,
        ControlSelected,
        ControlDisabled,
        MenuText,
        MenuSelectedText,
        MenuDisabledText,
        MenuBackground,
        MenuSelectedBackground,
        MenuBar,
        ButtonText,
        ButtonSelectedText,
        ButtonDisabledText,
        DialogBackground,
        ApplicationBackground,
        TooltipBackground,
    };

    ColorScheme();  // the built-in colours
    static ColorScheme builtIn() { return ColorScheme(); }
    static ColorScheme dark();

    Color solid(int index) const;
    Color gradient(int number) const;
    void setSolid(int index, Color color);
    void setGradient(int number, Color color);

    // Takes every colour the lists hold (see above).
    void setLists(const DataRow& solidList, const DataRow& gradientList);
    // Fills the lists (resized to 20 and 10 cells) with colour items.
    void toLists(DataRow& solidList, DataRow& gradientList) const;

    QPalette palette() const;
    QString styleSheet() const;
    bool operator==(const ColorScheme& other) const;

    // The scheme the program shows; apply() restyles the running program.
    static ColorScheme& current();
    static void apply(const ColorScheme& scheme);

private:
    std::array<Color, kSolidCount> solid_;
    std::array<Color, kGradientCount> gradient_;
};

}  // namespace VORLIN
