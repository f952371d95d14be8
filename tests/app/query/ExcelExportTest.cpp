// The .xls file: exact record bytes, cells read back by xlrd, the row and
// column limits, Windows-1252 labels and files that are never half written.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "app/query/BIFFRecord.h"
#include "app/query/ExcelExport.h"
#include "core/GeneralException.h"
#include "data/DataSet.h"
#include "tests/app/query/SheetReader.h"
#include "tests/support/TempFolder.h"

using namespace VORLIN;
using querytest::openSqlite;
using querytest::readAll;
using querytest::readSheet;

namespace {

const std::string kBOF("\x09\x00\x04\x00\x02\x00\x10\x00", 8);
const std::string kEOF("\x0A\x00\x00\x00", 4);

std::string label(uint16_t row, uint16_t col, const std::string& text) {
    std::string r("\x04\x00", 2);
    r += char(8 + text.size());
    r += '\0';
    r += char(row & 0xFF);
    r += char(row >> 8);
    r += char(col & 0xFF);
    r += char(col >> 8);
    r += std::string(3, '\0');
    r += char(text.size());
    return r + text;
}

struct Sheet {
    testsupport::TempFolder dir{"quelmir-xls"};
    std::unique_ptr<SqliteLocalConnection> db = openSqlite(dir.path, "d.db");
    DataSet set;
    void query(const char* sql) { db->queryDataset(String(sql), &set, String(), false); }
    ExcelExport::Report save(const char* name) {
        return ExcelExport::exportFile(set, String(dir.file(name)));
    }
};

TEST(ExcelExport, RecordBytesAreThoseOfTheFormat) {
    Sheet s;
    s.query("SELECT 'hola' AS nombre");
    s.save("texto.xls");
    EXPECT_EQ(readAll(s.dir.file("texto.xls")),
              kBOF + label(0, 0, "nombre") + label(1, 0, "hola") + kEOF);

    ExcelCell empty;
    empty.kind = ExcelCell::Label;
    empty.row = 0x0102;
    empty.column = 3;
    EXPECT_EQ(excelLABEL(empty).bytes(),
              std::string("\x01\x00\x08\x00\x02\x01\x03\x00\x00\x00\x00\x00", 12));

    s.query("SELECT 1.5 AS n");
    s.save("numero.xls");
    double half = 1.5;
    std::string bits(8, '\0');
    std::memcpy(bits.data(), &half, 8);  // the test machine is little-endian
    EXPECT_EQ(readAll(s.dir.file("numero.xls")),
              kBOF + std::string("\x03\x00\x0F\x00\x01\x00\x00\x00\x00\x00\x00", 11) + bits +
                  label(0, 0, "n") + kEOF);
    EXPECT_EQ(excelBOF().bytes(), kBOF);
    EXPECT_EQ(excelEOF().bytes(), kEOF);
}

TEST(ExcelExport, XlrdReadsTheSameCells) {
    Sheet s;
    s.query(
        "SELECT 1 AS id, 'Ana' AS nombre, 10.5 AS precio, NULL AS nota UNION ALL "
        "SELECT 2, '', -3, 'café' UNION ALL SELECT 3, 'x', 0, '' ORDER BY 1");
    ExcelExport::Report r = s.save("tabla.xls");
    EXPECT_EQ(r.cut, 0);
    EXPECT_EQ(r.replaced, 0);
    EXPECT_EQ(readSheet(s.dir.file("tabla.xls")),
              "S:id|S:nombre|S:precio|S:nota\n"
              "N:1.0|S:Ana|N:10.5|<>\n"
              "N:2.0|<>|N:-3.0|S:café\n"
              "N:3.0|S:x|N:0.0|<>\n");
}

TEST(ExcelExport, LabelsInWindows1252CutAt255AndCounted) {
    bool replaced = false, cut = false;
    EXPECT_EQ(ExcelExport::toLabelText("Señor €uro – “sí”", replaced, cut).toStdString(),
              "Se\xF1or \x80uro \x96 \x93s\xED\x94");
    EXPECT_FALSE(replaced);
    EXPECT_FALSE(cut);
    EXPECT_EQ(ExcelExport::toLabelText("雪 ☃ \xC3", replaced, cut).toStdString(), "? ? ?");
    EXPECT_TRUE(replaced);
    EXPECT_FALSE(cut);

    Sheet s;
    s.query(
        "SELECT replace(hex(zeroblob(150)), '0', 'a') || 'é' AS largo, 'ñ☃' AS raro UNION ALL "
        "SELECT 'b', 'ok'");
    ExcelExport::Report r = s.save("largo.xls");
    EXPECT_EQ(r.cut, 1);
    EXPECT_EQ(r.replaced, 1);
    EXPECT_EQ(readSheet(s.dir.file("largo.xls")),
              "S:largo|S:raro\nS:" + std::string(255, 'a') + "|S:ñ?\nS:b|S:ok\n");
}

TEST(ExcelExport, MoreRowsThanTheFormatNumbersAreRefusedAndNothingIsTouched) {
    Sheet s;
    const std::string path = s.dir.file("grande.xls");
    std::ofstream(path) << "anterior";
    s.query(
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c LIMIT 65536) "
        "SELECT x FROM c");
    try {
        s.save("grande.xls");
        FAIL() << "65536 rows were written";
    } catch (const GeneralException& e) {
        EXPECT_EQ(e.message(),
                  "El formato .xls admite como mucho 65535 filas y el resultado tiene 65536: "
                  "guárdelo como Libro de Excel (*.xlsx)");
    }
    EXPECT_EQ(readAll(path), "anterior");
    EXPECT_EQ(s.dir.files(), std::vector<std::string>({"d.db", "grande.xls"}));

    // The last row that fits keeps its number (row 0xFFFF, after the names).
    s.query(
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c LIMIT 65535) "
        "SELECT x FROM c");
    s.save("grande.xls");
    std::string bytes = readAll(path);
    ASSERT_EQ(bytes.size(), 8 + 65535 * 19 + label(0, 0, "x").size() + 4);
    double last = 65535;
    std::string bits(8, '\0');
    std::memcpy(bits.data(), &last, 8);
    EXPECT_EQ(bytes.substr(bytes.size() - 4 - label(0, 0, "x").size() - 19),
              std::string("\x03\x00\x0F\x00\xFF\xFF\x00\x00\x00\x00\x00", 11) + bits +
                  label(0, 0, "x") + kEOF);

    // xlrd keeps to the 16384 rows of the programs of that time.
    s.query(
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c LIMIT 16383) "
        "SELECT x, 'f' || x AS t FROM c");
    s.save("grande.xls");
    std::string rows = readSheet(path);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 16384);
    EXPECT_EQ(rows.substr(rows.size() - 38), "N:16382.0|S:f16382\nN:16383.0|S:f16383\n");
}

TEST(ExcelExport, AFileThatCannotBeCreatedLeavesNothing) {
    Sheet s;
    s.query("SELECT 1 AS a");
    try {
        s.save("no/existe.xls");
        FAIL();
    } catch (const GeneralException& e) {
        EXPECT_EQ(e.message(), "No se pudo crear el archivo");
    }
    EXPECT_EQ(s.dir.files(), std::vector<std::string>({"d.db"}));
}

}  // namespace
