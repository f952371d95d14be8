// XlsxExport: writes a data set as an Excel workbook (.xlsx) with
// libxlsxwriter: the same cells as the .xls file (row 0 the column names,
// then the rows of the set, current list in link order), numbers as
// numbers, texts as UTF-8 strings, empty texts as blank cells.
//
// Only the workbook's own limits apply: more than kMaxRows rows or
// kMaxColumns columns is refused before anything is written. Texts longer
// than a cell holds (32767 characters) are cut, bytes that are no UTF-8
// become "?"; the report counts the texts so changed. The workbook goes to
// a temporary file renamed into place when complete.
//
// Ownership: the set stays the caller's. Thread use: any, one call at a
// time per set. Throws GeneralException: kTooManyRows, kTooManyColumns,
// ExcelExport::kCannotCreate.
#pragma once

#include "app/query/ExcelExport.h"
#include "core/String.h"

namespace VORLIN {
class DataSet;
}

class XlsxExport {
public:
    static constexpr int kMaxRows = 1048575;  // data rows, after the row of names
    static constexpr int kMaxColumns = 16384;
    static constexpr int kMaxText = 32767;  // characters of one cell
    static constexpr const char* kTooManyRows =
        "Un libro de Excel admite como mucho 1048575 filas y el resultado tiene %d";
    static constexpr const char* kTooManyColumns =
        "Un libro de Excel admite como mucho 16384 columnas y el resultado tiene %d";

    // Counts as ExcelExport's: cut = texts cut, replaced = texts with bytes
    // that were no UTF-8.
    static ExcelExport::Report exportFile(const VORLIN::DataSet& set, const VORLIN::String& path);
};
