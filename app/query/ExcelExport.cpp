#include "app/query/ExcelExport.h"

#include <cstdint>

#include "app/query/ReplacingFile.h"
#include "core/GeneralException.h"
#include "data/DataSet.h"
#include "data/FileStream.h"

using VORLIN::DataSet;
using VORLIN::GeneralException;
using VORLIN::String;

namespace {

// The characters of Windows-1252 at 0x80..0x9F (0 where it has none).
const uint16_t kHighCodes[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                 0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The Windows-1252 byte of a code point, or 0 when it has none.
unsigned char windows1252(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
    for (int i = 0; i < 32; ++i) {
        if (kHighCodes[i] != 0 && kHighCodes[i] == cp) return static_cast<unsigned char>(0x80 + i);
    }
    return 0;
}

// Decodes one UTF-8 sequence at s[i]; false (and one byte consumed) when
// the bytes there are no valid sequence.
bool decodeUtf8(std::string_view s, size_t& i, uint32_t& cp) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int extra;
    uint32_t min;
    if (c < 0x80) {
        cp = c;
        ++i;
        return true;
    } else if ((c & 0xE0) == 0xC0) {
        extra = 1, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3, cp = c & 0x07, min = 0x10000;
    } else {
        ++i;
        return false;
    }
    if (i + size_t(extra) >= s.size()) {
        ++i;
        return false;
    }
    for (int k = 1; k <= extra; ++k) {
        const unsigned char d = static_cast<unsigned char>(s[i + size_t(k)]);
        if ((d & 0xC0) != 0x80) {
            ++i;
            return false;
        }
        cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return false;
    }
    i += size_t(extra) + 1;
    return true;
}

}  // namespace

String ExcelExport::toLabelText(VORLIN::TextRef utf8, bool& replaced, bool& cut) {
    const std::string_view s = utf8.view();
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        uint32_t cp = 0;
        unsigned char b = decodeUtf8(s, i, cp) ? windows1252(cp) : 0;
        if (b == 0 && cp != 0) {
            b = '?';
            replaced = true;
        } else if (b == 0) {
            // A NUL byte is kept as it is; an invalid sequence is replaced.
            if (s[i - 1] != '\0') {
                b = '?';
                replaced = true;
            }
        }
        out.push_back(char(b));
    }
    if (out.size() > 255) {
        out.resize(255);
        cut = true;
    }
    return String(out);
}

ExcelCell& ExcelExport::cellAt(CellTable& table, int row, int column) {
    if (table.size() <= size_t(row)) table.resize(size_t(row) + 1);
    std::vector<ExcelCell>& cells = table[size_t(row)];
    if (cells.size() <= size_t(column)) cells.resize(size_t(column) + 1);
    return cells[size_t(column)];
}

ExcelExport::CellTable ExcelExport::buildCells(const DataSet& set, Report& report) {
    const int columns = set.columnCount();
    const int rows = set.rowCount();
    String message;
    if (rows > kMaxRows) throw GeneralException(message.format(kTooManyRows, rows).toStdString());
    if (columns > kMaxColumns)
        throw GeneralException(message.format(kTooManyColumns, columns).toStdString());

    CellTable table;
    table.reserve(size_t(rows) + 1);
    auto label = [&report](ExcelCell& cell, const String& text) {
        bool replaced = false, cut = false;
        cell.kind = ExcelCell::Label;
        cell.text = toLabelText(text, replaced, cut);
        report.replaced += replaced ? 1 : 0;
        report.cut += cut ? 1 : 0;
    };
    for (int c = 0; c < columns; ++c)
        label(cellAt(table, 0, c), set.columnName(c));
    int r = 1;
    for (const VORLIN::DataRow* row : set.rows()) {
        // Every data row has its place, also when all its cells are empty.
        cellAt(table, r, 0);
        for (int c = 0; c < row->count() && c < kMaxColumns; ++c) {
            const VORLIN::DataItem* item = row->cell(c);
            ExcelCell& cell = cellAt(table, r, c);
            if (item->isNumeric()) {
                cell.kind = ExcelCell::Number;
                cell.value = item->toDouble();
            } else {
                label(cell, item->text());
            }
        }
        ++r;
    }
    return table;
}

void ExcelExport::write(CellTable& table, VORLIN::FileStream& file) {
    excelBOF().write(file);
    for (int pass = ExcelCell::Number; pass <= ExcelCell::Label; ++pass) {
        for (size_t i = 0; i < table.size(); ++i) {
            for (size_t j = 0; j < table[i].size(); ++j) {
                ExcelCell& cell = table[i][j];
                if (cell.kind != pass) continue;
                cell.row = uint16_t(i);
                cell.column = uint16_t(j);
                if (pass == ExcelCell::Number)
                    excelNUMBER(cell).write(file);
                else
                    excelLABEL(cell).write(file);
            }
        }
    }
    excelEOF().write(file);
}

ExcelExport::Report ExcelExport::exportFile(const DataSet& set, const String& path) {
    Report report;
    CellTable table = buildCells(set, report);
    ReplacingFile out;
    if (!out.create(path)) throw GeneralException(kCannotCreate);
    try {
        write(table, out.stream());
    } catch (const GeneralException&) {
        throw GeneralException(kCannotCreate);
    }
    if (!out.commit()) throw GeneralException(kCannotCreate);
    return report;
}
