// ImportarTextoLogic: the state and actions of the text import wizard
// ("Importar datos desde un archivo de texto"), without Qt. The pages
// (Paso1, Paso2, Paso3 in ImportarTexto) only show what it holds and
// forward what the person does.
//
//   Paso1: the settings (separator, delimiter, names in the first line) and
//          the file read with them; the file fields' names and the encoding.
//   Paso2: the target table and the relations (TextImport).
//   Paso3: the import, run once: entering the page again shows the result
//          of the run instead of importing the rows a second time, until
//          allowRunAgain() is called (the person's explicit choice).
//
// Ownership: the connection is the caller's and must outlive the object.
// Threads: the UI thread. Throws: GeneralException from readFile (file
// that cannot be read), chooseTable and run (see TextImport).
#pragma once

#include <vector>

#include "app/import/DelimitedTextReader.h"
#include "app/import/TextImport.h"
#include "core/String.h"

namespace VORLIN {
class DbConnection;
}

class ImportarTextoLogic {
public:
    static constexpr const char* kTitle = "Importar datos desde un archivo de texto";
    static constexpr const char* kBack = "Anterior";
    static constexpr const char* kNext = "Siguiente";
    static constexpr const char* kCancel = "Cancelar";
    static constexpr const char* kFinish = "Finalizar";
    static constexpr const char* kSeparatorLabel = "Separador de campo: ";
    static constexpr const char* kDelimiterLabel = "Delimitador de texto: ";
    static constexpr const char* kHeadersLabel =
        "La primera línea contiene el nombre de los campos";
    static constexpr const char* kFileLabel = "Archivo: ";
    static constexpr const char* kPreview = "Datos del archivo";
    static constexpr const char* kRowColumn = "#ROW#";
    static constexpr const char* kOpenTitle = "Importar CVS";
    static constexpr const char* kOpenFilter =
        "Archivos de texto (*.txt)|*.txt:Todos los archivos|*.*";
    static constexpr const char* kEncoding = "Codificación: %s";
    static constexpr const char* kEncodingConverted = "Codificación: %s (convertido a UTF-8)";
    static constexpr const char* kPreviewShown = "%d filas; se muestran las primeras %d";
    static constexpr const char* kImportTo = "Importar a: ";
    static constexpr const char* kFileFields = "Campos del archivo";
    static constexpr const char* kTableFields = "Campos de la tabla";
    static constexpr const char* kConstant = "Constante: ";
    static constexpr const char* kRelations = "Relaciones";
    static constexpr const char* kAddField = "Relacionar campo";
    static constexpr const char* kAddConstant = "Relacionar constante";
    static constexpr const char* kDelete = "Borrar";
    static constexpr const char* kImporting = "IMPORTANDO DATOS";
    static constexpr const char* kStarting = "Importando.....";
    static constexpr const char* kProgress = "Importado %d/%d";
    static constexpr const char* kDone = "Importación terminada";
    static constexpr const char* kSummary = "Filas importadas: %d, con error: %d";
    static constexpr const char* kFailure = "Fila %d (línea %d): %s";
    static constexpr const char* kFailures = "Filas con error";
    static constexpr const char* kRunAgain = "Importar de nuevo";
    static constexpr const char* kNoFile = "ImportarTexto: no se ha leído ningún archivo";

    // Separator choices "Tab", ",", ";", "|" and delimiter choices (none,
    // double quote, single quote), by position.
    static const std::vector<const char*>& separatorChoices();
    static const std::vector<const char*>& delimiterChoices();
    static char separatorChar(int choice);
    static char delimiterChar(int choice);

    explicit ImportarTextoLogic(VORLIN::DbConnection& connection);

    // --- Paso1 ---
    int separator() const noexcept { return separator_; }
    int delimiter() const noexcept { return delimiter_; }
    bool headers() const noexcept { return headers_; }
    const VORLIN::String& file() const noexcept { return file_; }
    // A change reads the file again with the new settings (when one was read).
    void setSeparator(int choice);
    void setDelimiter(int choice);
    void setHeaders(bool on);
    // The three at once (one reading of the file).
    void setSettings(int separator, int delimiter, bool headers);
    // Reads the whole file; on failure the previous file stays.
    void readFile(const VORLIN::String& path);
    bool hasFile() const noexcept { return !file_.isEmpty(); }
    DelimitedTextReader& reader() noexcept { return reader_; }
    // Data rows (the names row not counted) and the file field names.
    int rowCount() const noexcept { return rows_; }
    const std::vector<VORLIN::String>& fieldNames() const noexcept { return names_; }
    VORLIN::String encodingText() const;

    // --- Paso2 ---
    std::vector<VORLIN::String> tables();
    void chooseTable(const VORLIN::String& table);
    TextImport& import() noexcept { return import_; }
    // Entering Paso2: the mapping starts again from the file's fields.
    void enterMapping();

    // --- Paso3 ---
    bool hasRun() const noexcept { return ran_; }
    bool shouldRun() const noexcept { return !ran_; }
    void allowRunAgain() noexcept { ran_ = false; }
    // Runs the import (refused before writing: no file, table or relation).
    ImportResult run(ImportProgress* progress);
    const ImportResult& lastResult() const noexcept { return result_; }
    // The two progress lines at the end of a run.
    VORLIN::String resultLine1() const;
    VORLIN::String resultLine2() const;

private:
    void reread();

    VORLIN::DbConnection& connection_;
    int separator_ = 0;
    int delimiter_ = 1;
    bool headers_ = true;
    VORLIN::String file_;
    DelimitedTextReader reader_;
    int rows_ = 0;
    std::vector<VORLIN::String> names_;
    TextImport import_;
    bool ran_ = false;
    ImportResult result_;
};
