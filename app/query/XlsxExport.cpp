#include "app/query/XlsxExport.h"

#include <xlsxwriter.h>

#include <cmath>
#include <string>

#include "app/query/ReplacingFile.h"
#include "core/GeneralException.h"
#include "data/DataSet.h"

using VORLIN::DataSet;
using VORLIN::GeneralException;
using VORLIN::String;

namespace {

// Valid UTF-8 of at most XlsxExport::kMaxText characters; invalid bytes
// become "?".
std::string cellText(std::string_view s, ExcelExport::Report& report) {
    std::string out;
    out.reserve(s.size());
    bool replaced = false;
    int characters = 0;
    size_t i = 0;
    while (i < s.size()) {
        if (characters == XlsxExport::kMaxText) {
            ++report.cut;
            break;
        }
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t length = c < 0x80             ? 1
                        : (c & 0xE0) == 0xC0 ? 2
                        : (c & 0xF0) == 0xE0 ? 3
                        : (c & 0xF8) == 0xF0 ? 4
                                             : 0;
        bool valid = length > 0 && i + length <= s.size() && !(c >= 0xC0 && c <= 0xC1) && c <= 0xF4;
        for (size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
        if (valid && length == 3) {
            const unsigned char d = static_cast<unsigned char>(s[i + 1]);
            valid = !(c == 0xE0 && d < 0xA0) && !(c == 0xED && d >= 0xA0);  // overlong, surrogates
        }
        if (valid && length == 4) {
            const unsigned char d = static_cast<unsigned char>(s[i + 1]);
            valid = !(c == 0xF0 && d < 0x90) && !(c == 0xF4 && d >= 0x90);
        }
        if (valid) {
            out.append(s.substr(i, length));
            i += length;
        } else {
            out.push_back('?');
            replaced = true;
            ++i;
        }
        ++characters;
    }
    if (replaced) ++report.replaced;
    return out;
}

}  // namespace

ExcelExport::Report XlsxExport::exportFile(const DataSet& set, const String& path) {
    const int columns = set.columnCount();
    const int rows = set.rowCount();
    String message;
    if (rows > kMaxRows) throw GeneralException(message.format(kTooManyRows, rows).toStdString());
    if (columns > kMaxColumns)
        throw GeneralException(message.format(kTooManyColumns, columns).toStdString());

    ReplacingFile out;
    if (!out.create(path, false)) throw GeneralException(ExcelExport::kCannotCreate);
    // Rows go out in order and are not kept: memory stays flat on large sets.
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(out.tempPath().c_str(), &options);
    if (!book) throw GeneralException(ExcelExport::kCannotCreate);
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    bool ok = sheet != nullptr;

    ExcelExport::Report report;
    auto text = [&](lxw_row_t r, lxw_col_t c, std::string_view value) {
        if (value.empty()) return true;
        std::string t = cellText(value, report);
        return worksheet_write_string(sheet, r, c, t.c_str(), nullptr) == LXW_NO_ERROR;
    };
    for (int c = 0; ok && c < columns; ++c)
        ok = text(0, lxw_col_t(c), set.columnName(c).view());
    lxw_row_t r = 1;
    for (const VORLIN::DataRow* row : set.rows()) {
        if (!ok) break;
        for (int c = 0; ok && c < row->count() && c < kMaxColumns; ++c) {
            const VORLIN::DataItem* item = row->cell(c);
            const double value = item->isNumeric() ? item->toDouble() : 0.0;
            if (item->isNumeric() && std::isfinite(value))
                ok = worksheet_write_number(sheet, r, lxw_col_t(c), value, nullptr) == LXW_NO_ERROR;
            else
                ok = text(r, lxw_col_t(c), item->text().view());
        }
        ++r;
    }
    // The workbook is written (and freed) by workbook_close in every case.
    ok = workbook_close(book) == LXW_NO_ERROR && ok;
    if (!ok || !out.commit()) throw GeneralException(ExcelExport::kCannotCreate);
    return report;
}
