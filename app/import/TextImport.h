// TextImport: puts the records of a delimited text file into one table of
// a connection, through the connection interface only, so it works on every
// back end. Used by the import wizard and by quelmir-cli.
//
// The mapping is a list of relations, each giving one table column either
// a file field (by position) or a constant text. A later relation for the
// same column replaces an earlier one. Only the mapped columns are written
// (INSERT INTO t(columns) VALUES(...)): every other column, the key
// included, gets what the database gives it (its default, its own row
// number).
//
// Values: in a text column the field's text goes in as it is (a field
// written null arrives empty from the reader, so it gives empty text); in
// any other column an empty field gives NULL, and a numeric column refuses
// a text that is not a number (the row fails) instead of storing 0.
//
// run() imports in one transaction: a row that fails (the database refuses
// it, a field is missing, a number is not one) is reported and skipped and
// the others go on; the rows that went in are committed together at the
// end. A failing commit is rolled back and reported; a cancelled run is
// rolled back. Nothing is written when there is no table or no relation
// (GeneralException kNoTable / kNoRelations).
//
// Ownership: the connection stays the caller's and must outlive the
// object. Threads: the thread that uses the connection. Throws:
// GeneralException from setTable (the connection's, or kNoTable for an
// unknown table), from the mapping operations (kBadRelation) and from run
// (kNoTable, kNoRelations, the connection's failure to begin).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/String.h"

namespace VORLIN {
class DbConnection;
class TableDataset;
}  // namespace VORLIN

class DelimitedTextReader;

struct ImportRelation {
    int field = -1;  // file field position, -1 for a constant
    int column = 0;  // table column position
    VORLIN::String constant;
};

struct ImportFailure {
    int row = 0;   // data row, from 1 (the header row is not counted)
    int line = 0;  // line of the file where the record begins
    VORLIN::String message;
};

struct ImportResult {
    int total = 0;
    int imported = 0;  // rows committed
    int failed = 0;
    bool cancelled = false;
    // Set when the commit failed (and everything was rolled back).
    VORLIN::String error;
};

// Told about the run as it goes; the caller decides how often to show it.
class ImportProgress {
public:
    virtual ~ImportProgress() = default;
    // After each row (n from 1 to total); false cancels the import.
    virtual bool rowDone(int n, int total, int failed) = 0;
    virtual void rowFailed(const ImportFailure& failure) = 0;
};

class TextImport {
public:
    // Rows per INSERT request on our server (whose SQLite undoes a failing
    // statement whole).
    static constexpr size_t kBatchRows = 200;
    static constexpr const char* kNoTable = "ImportarTexto: no se ha elegido la tabla de destino";
    static constexpr const char* kUnknownTable = "ImportarTexto: no existe la tabla %s";
    static constexpr const char* kNoRelations =
        "ImportarTexto: no hay ninguna relación entre los campos del archivo y las columnas de "
        "la tabla";
    static constexpr const char* kBadRelation = "ImportarTexto: relación no válida";
    static constexpr const char* kMissingField = "DataRow[]: indice fuera de rango";
    static constexpr const char* kNotNumber = "ImportarTexto: \"%s\" no es un número (columna %s)";
    static constexpr const char* kCommitFailed =
        "ImportarTexto: no se pudo confirmar la importación; no se ha importado ninguna fila: %s";
    static constexpr const char* kCancelled =
        "Importación cancelada: no se ha importado ninguna fila";
    static constexpr const char* kRelationText = "%s <-> %s";
    static constexpr const char* kConstantLabel = "Constante: ";

    explicit TextImport(VORLIN::DbConnection& connection);
    ~TextImport();
    TextImport(const TextImport&) = delete;
    TextImport& operator=(const TextImport&) = delete;

    // Describes the table (queryModel) and clears the relations; an empty
    // name forgets the table.
    void setTable(const VORLIN::String& table);
    const VORLIN::String& table() const noexcept { return table_; }
    const VORLIN::TableDataset& model() const noexcept { return *model_; }
    std::vector<VORLIN::String> columnNames() const;
    int findColumn(const VORLIN::String& name) const;

    void setFieldNames(std::vector<VORLIN::String> names) { fieldNames_ = std::move(names); }
    const std::vector<VORLIN::String>& fieldNames() const noexcept { return fieldNames_; }
    int findField(const VORLIN::String& name) const;

    void addField(int field, int column);
    void addConstant(const VORLIN::String& text, int column);
    void removeRelation(int index);
    void clearRelations() { relations_.clear(); }
    const std::vector<ImportRelation>& relations() const noexcept { return relations_; }
    // "field <-> column" ("Constante: text <-> column" for a constant).
    VORLIN::String relationText(int index) const;
    // A relation for every file field that names a table column; how many.
    int mapByName();

    // Imports every record of `reader` (the first is skipped when it holds
    // the names).
    ImportResult run(DelimitedTextReader& reader, bool header, ImportProgress* progress);

private:
    void checkColumn(int column) const;
    // The SQL literal of `text` for `column`; false with `error` set when
    // the text does not fit.
    bool literal(std::string_view text, int column, std::string& out, VORLIN::String& error) const;

    VORLIN::DbConnection& connection_;
    VORLIN::String table_;
    std::unique_ptr<VORLIN::TableDataset> model_;
    std::vector<VORLIN::String> fieldNames_;
    std::vector<ImportRelation> relations_;
};
