// ColorSchemaLogic: what the colour-scheme window does, without its
// window: the two colour lists it edits (20 solid colours, 10 gradient
// positions) with their labels, the ".csh" files it exports and imports,
// and whether the scheme was applied (and so must be stored when the
// window closes).
//
// ".csh": XML, root "COLORSCHEMA", "FIXED" with 20 and "GRADIENT" with 10
// "Element"s carrying "Id" (the index) and "Color" ("(r,g,b)"). Importing
// sets each listed colour by its Id; an Element whose Id is not a number
// within its list, or whose colour cannot be read, is skipped and reported;
// a file with no usable Element changes nothing.
//
// Ownership: value type. Threads: any. exportFile throws GeneralException
// when the file cannot be written (written through a temporary file, so an
// earlier file stays whole); importFile reports through its result.
#pragma once

#include <vector>

#include "core/Color.h"
#include "core/String.h"
#include "data/DataRow.h"

namespace VORLIN {

class ColorSchemaLogic {
public:
    static constexpr int kSolid = 20;
    static constexpr int kGradient = 10;
    static constexpr const char* kTitle = "PERSONALIZAR ESQUEMA DE COLOR";
    static constexpr const char* kSolidList = "Colores sólidos de los elementos de la interfase";
    static constexpr const char* kGradientList = "Colores usados para degradados";
    static constexpr const char* kFilter = "Esquemas de color (*.csh)|*.csh";
    static constexpr const char* kExportTitle = "Guardar esquema de color";
    static constexpr const char* kImportTitle = "Abrir esquema de color";
    static constexpr const char* kApply = "Aplicar";
    static constexpr const char* kRestore = "Restaurar";
    static constexpr const char* kExport = "Exportar";
    static constexpr const char* kImport = "Importar";
    static constexpr const char* kExit = "Salir";
    static constexpr const char* kNothingImported =
        "El archivo %s no contiene un esquema de color: no se cambió nada";
    static constexpr const char* kSkipped = "Se omitieron elementos del archivo %s:";
    static constexpr const char* kBadId = "Id inválido: %s";
    static constexpr const char* kBadColor = "Color inválido en el Id %s: %s";
    static constexpr const char* kCannotWrite = "No se pudo escribir el archivo %s";
    static const char* const kSolidLabels[kSolid];
    static const char* const kGradientLabels[kGradient];

    struct ImportResult {
        int applied = 0;
        std::vector<String> skipped;  // one line per skipped Element
        String error;                 // unreadable file / no usable Element
    };

    // Starts from these lists (the scheme the program shows).
    ColorSchemaLogic(const DataRow& solid, const DataRow& gradient);

    const DataRow& solid() const noexcept { return solid_; }
    const DataRow& gradient() const noexcept { return gradient_; }
    Color color(bool gradientList, int index) const;
    void setColor(bool gradientList, int index, Color color);
    // Both lists at once (Restaurar, a preset).
    void setLists(const DataRow& solid, const DataRow& gradient);

    // "Aplicar" marks the scheme to be stored when the window closes.
    void markApplied() noexcept { applied_ = true; }
    bool applied() const noexcept { return applied_; }

    void exportFile(const String& path) const;
    ImportResult importFile(const String& path);

private:
    DataRow solid_;
    DataRow gradient_;
    bool applied_ = false;
};

}  // namespace VORLIN
