// ResultSaver: "Guardar" of the query window and the --out of
// quelmir-cli's query command: writes the rows of a data set to a file in
// the format its extension names (compared without case):
//
//   .txt   tab-separated text: the column names, then each row (the data
//          set's exportText)
//   .xls   the old spreadsheet file (ExcelExport)
//   .xlsx  an Excel workbook (XlsxExport)
//   .sql   INSERT statements: a table's rows through its own toSql; the
//          rows of a query as "INSERT INTO table (columns) VALUES(...);"
//          naming the table the caller gives
//
// Every file is written under a temporary name and renamed over the path
// only when complete: a failure leaves no file and no change. The rows
// written are the set's current list (its filter applies) in link order.
//
// Ownership: the set stays the caller's. Thread use: one call at a time
// per set (exportText and toSql are not const). Throws GeneralException
// with the texts below, ExcelExport's and XlsxExport's.
#pragma once

#include <iosfwd>

#include "app/query/ExcelExport.h"
#include "core/String.h"

namespace VORLIN {
class DataSet;
}

class ResultSaver {
public:
    enum class Format { Unknown, Text, Xls, Xlsx, Sql };

    // The save dialog of "Guardar" (FileDialogs' "description|extension:" list).
    static constexpr const char* kDialogTitle = "Guardar datos de consulta";
    static constexpr const char* kDialogFilter =
        "Texto separado por tabulaciones (*.txt)|txt:Archivo de Exel (*.xls)|xls:"
        "Libro de Excel (*.xlsx)|xlsx:Secuencia sql (*.sql)|sql";
    static constexpr const char* kSaved = "Datos guardados";
    static constexpr const char* kCannotCreate = ExcelExport::kCannotCreate;
    static constexpr const char* kUnknownFormat =
        "No se puede guardar como %s: el archivo debe terminar en .txt, .xls, .xlsx o .sql";
    static constexpr const char* kNeedTable =
        "Para guardar el resultado de una consulta como instrucciones INSERT hace falta el "
        "nombre de una tabla";
    // Added to kSaved when labels did not fit the file as they were.
    static constexpr const char* kCutNote = "%d textos eran demasiado largos y se recortaron";
    static constexpr const char* kReplacedNote =
        "%d textos tenían caracteres que el formato no admite, escritos como \"?\"";

    static Format formatOf(const VORLIN::String& path);

    // Saves `set` to `path` and answers the message to show ("INFO"):
    // kSaved, with a line per note when texts were cut or replaced.
    // `insertTable` names the table of the INSERT statements of a set that
    // is not a TableDataset (.sql only; kNeedTable when empty).
    static VORLIN::String save(VORLIN::DataSet& set, const VORLIN::String& path,
                               const VORLIN::String& insertTable = VORLIN::String());

    // The INSERT statements of .sql, each followed by "\r\n".
    static VORLIN::String insertStatements(VORLIN::DataSet& set, const VORLIN::String& insertTable);
    // The rows as tab-separated text on a stream, names first, one row a
    // line ending in "\n" (quelmir-cli's standard output).
    static void writeText(const VORLIN::DataSet& set, std::ostream& out);
    // kSaved and the notes of a report.
    static VORLIN::String savedMessage(const ExcelExport::Report& report);
};
