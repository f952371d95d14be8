// QueryDesignFile: design files of the query designer ("Guardar" and
// "Abrir"): XML, root "CONSULTA" holding "TIPO" (the type number),
// "COLUMNAS" with one "Columna" per design row (attributes: the grid's
// column titles, values: the cell texts) and "RELACIONES" with one
// "Relacion" per relation (attributes "Tabla1", "Tabla2", "Campo1",
// "Campo2", "Join").
//
// save() writes a temporary file beside the path and renames it into
// place, so a failed save leaves an earlier file whole. load() refuses a
// file without the "CONSULTA" root or whose "TIPO" is missing or not 1, 2
// or 4 (kNotADesign); attributes the type does not have are ignored,
// missing ones are empty; a relation naming a table that no design row
// has is kept and reported in the result's warnings.
//
// Application class (no namespace); static functions; any thread. Throws
// GeneralException: kCannotWrite, kCannotRead, kNotADesign.
#pragma once

#include <vector>

#include "app/designer/QueryDesign.h"
#include "core/String.h"

class QueryDesignFile {
public:
    static constexpr const char* kFilter = "Archivos XML (*.xml)|*.xml";
    static constexpr const char* kSaveTitle = "Guardar diseño de consulta";
    static constexpr const char* kOpenTitle = "Abrir diseño de consulta";
    static constexpr const char* kSaved = "*** Diseño de consulta guardado ****";
    static constexpr const char* kNotADesign =
        "El archivo no contiene información de un diseño de consulta";
    static constexpr const char* kCannotWrite = "No se pudo escribir el archivo %s";
    static constexpr const char* kCannotRead = "No se pudo leer el archivo %s";
    static constexpr const char* kUnknownTable =
        "La relación %s nombra una tabla que no está en el diseño: %s";

    struct Loaded {
        QueryDesign design;
        std::vector<VORLIN::String> warnings;  // one line per doubtful relation
    };

    // The document's text (what save() writes).
    static VORLIN::String toText(const QueryDesign& design);
    static void save(const QueryDesign& design, const VORLIN::String& path);
    static Loaded load(const VORLIN::String& path);
    // Reads a design from a document's text (no header needed).
    static Loaded parse(const VORLIN::String& text);
};
