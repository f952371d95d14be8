// ExcelExport: writes a data set as a one-sheet spreadsheet file of the
// oldest kind (.xls, BIFF2 records, see BIFFRecord).
//
// Row 0 holds the column names; each row of the set (the current list, in
// link order, as the text export) follows, numeric values as number cells
// and every other value as a label with its text form. All number records
// come before all label records; empty cells write nothing.
//
// The format numbers rows with 16 bits and knows 256 columns: a set with
// more than kMaxRows rows or kMaxColumns columns is refused before anything
// is written (kTooManyRows, kTooManyColumns: the .xlsx workbook has no such
// limits). Labels are UTF-8 in the set and Windows-1252 in the file:
// characters the code page lacks become "?" and texts are cut at 255 bytes;
// the report counts the labels so changed.
//
// The file is written under a temporary name and renamed into place when
// complete (ReplacingFile): a failure leaves no file and no change.
//
// Ownership: the set stays the caller's. Thread use: any, one call at a
// time per set. Throws GeneralException: kTooManyRows, kTooManyColumns,
// kCannotCreate (the file cannot be created or written).
#pragma once

#include <vector>

#include "app/query/BIFFRecord.h"
#include "core/String.h"

namespace VORLIN {
class DataSet;
class FileStream;
}  // namespace VORLIN

class ExcelExport {
public:
    static constexpr int kMaxRows = 65535;  // data rows, after the row of names
    static constexpr int kMaxColumns = 256;
    static constexpr const char* kTooManyRows =
        "El formato .xls admite como mucho 65535 filas y el resultado tiene %d: guárdelo como "
        "Libro de Excel (*.xlsx)";
    static constexpr const char* kTooManyColumns =
        "El formato .xls admite como mucho 256 columnas y el resultado tiene %d: guárdelo como "
        "Libro de Excel (*.xlsx)";
    static constexpr const char* kCannotCreate = "No se pudo crear el archivo";

    // How many labels did not fit the format as they were.
    struct Report {
        int cut = 0;       // longer than 255 bytes
        int replaced = 0;  // held characters Windows-1252 lacks (now "?")
    };

    // Rows of cells; cellAt grows the table up to the position asked for.
    using CellTable = std::vector<std::vector<ExcelCell>>;
    static ExcelCell& cellAt(CellTable& table, int row, int column);

    // The cell table of a set, labels already converted and cut. Refuses
    // sets that do not fit (kTooManyRows, kTooManyColumns).
    static CellTable buildCells(const VORLIN::DataSet& set, Report& report);
    // BOF, the number records, the label records, EOF.
    static void write(CellTable& table, VORLIN::FileStream& file);
    // Builds the cells and writes them to `path` through a temporary file.
    static Report exportFile(const VORLIN::DataSet& set, const VORLIN::String& path);

    // UTF-8 text in Windows-1252: characters it lacks (and bytes that are
    // no UTF-8) become "?", setting `replaced`; then at most 255 bytes,
    // setting `cut` when more were there.
    static VORLIN::String toLabelText(VORLIN::TextRef utf8, bool& replaced, bool& cut);
};
