// ColorSchemaDlg: the window "PERSONALIZAR ESQUEMA DE COLOR": one colour
// button per entry of the two lists, labelled, each opening a colour
// picker; "Aplicar" restyles the running program with the lists and marks
// them to be stored when the window closes; "Restaurar" brings back the
// built-in colours; "Oscuro" loads the built-in dark scheme into the lists
// (applied like any other change, with "Aplicar"); "Exportar" and
// "Importar" write and read ".csh" files; "Salir" closes.
//
// Ownership: owns its logic. Threads: the UI thread.
#pragma once

#include <memory>
#include <vector>

#include <QDialog>

#include "app/colors/ColorSchemaLogic.h"

class QPushButton;

namespace VORLIN {

class ColorScheme;

class ColorSchemaDlg : public QDialog {
public:
    explicit ColorSchemaDlg(QWidget* parent = nullptr);
    ~ColorSchemaDlg() override;

    ColorSchemaLogic& logic() noexcept { return *logic_; }
    // The colour button of an entry.
    QPushButton* swatch(bool gradientList, int index) const;

    void applyScheme();
    void restore();
    void loadDark();
    void exportScheme();
    void importScheme();

private:
    void loadFrom(const ColorScheme& scheme);
    void pick(bool gradientList, int index);
    void refresh();

    std::unique_ptr<ColorSchemaLogic> logic_;
    std::vector<QPushButton*> solid_;
    std::vector<QPushButton*> gradient_;
};

}  // namespace VORLIN
