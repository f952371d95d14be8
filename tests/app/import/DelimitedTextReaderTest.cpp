// The delimited-text reader on the files spreadsheet programs and editors
// write.
#include "app/import/DelimitedTextReader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/GeneralException.h"
#include "tests/support/TempFolder.h"

using VORLIN::String;

namespace {

using Records = std::vector<std::vector<std::string>>;

Records read(const std::string& bytes, char separator = ',', char delimiter = '"') {
    DelimitedTextReader reader(separator, delimiter);
    reader.load(bytes);
    Records out;
    while (reader.next()) {
        std::vector<std::string> fields;
        for (int i = 0; i < reader.fieldCount(); ++i)
            fields.emplace_back(reader.field(i));
        out.push_back(fields);
    }
    return out;
}

std::vector<std::string> names(DelimitedTextReader& reader, bool header) {
    int records = 0, maxFields = 0;
    reader.count(records, maxFields);
    std::vector<std::string> out;
    for (const String& n : reader.fieldNames(header, maxFields))
        out.push_back(n.toStdString());
    return out;
}

TEST(DelimitedTextReader, QuotedSeparatorsDoubledQuotesAndLineBreaks) {
    EXPECT_EQ(read("a,\"b,c\",d\n"), (Records{{"a", "b,c", "d"}}));
    EXPECT_EQ(read("\"dice \"\"hola\"\"\",x"), (Records{{"dice \"hola\"", "x"}}));
    EXPECT_EQ(read("\"dos\r\nlíneas\",2\r\n3,4\r\n"),
              (Records{{"dos\r\nlíneas", "2"}, {"3", "4"}}));
    // A single delimiter inside a delimited field is dropped; outside one
    // (a field not beginning with it) the delimiter is an ordinary character.
    EXPECT_EQ(read("\"ab\"c,5\" pantalla,\"\""), (Records{{"abc", "5\" pantalla", ""}}));
    // Single quote and tab; no delimiter at all.
    EXPECT_EQ(read("'it''s'\t'a\tb'", '\t', '\''), (Records{{"it's", "a\tb"}}));
    EXPECT_EQ(read("\"a;b\";c", ';', 0), (Records{{"\"a", "b\"", "c"}}));
    // A delimited text left open runs to the end of the file.
    EXPECT_EQ(read("a|\"b\nc", '|'), (Records{{"a", "b\nc"}}));
}

TEST(DelimitedTextReader, BlankLinesNullAndTheLastLine) {
    EXPECT_EQ(read("a,b\n\n\r\n\r\nc,d\n\n"), (Records{{"a", "b"}, {"c", "d"}}));
    EXPECT_EQ(read("a,b\nc,d"), (Records{{"a", "b"}, {"c", "d"}}));
    EXPECT_EQ(read(""), Records{});
    EXPECT_EQ(read("\r\n\n"), Records{});
    // An empty field, a separator at the end, null written bare or quoted.
    EXPECT_EQ(read("null,,\"null\",NULL,\n"), (Records{{"", "", "null", "NULL", ""}}));
    // Line numbers count every line break, also inside delimited text.
    DelimitedTextReader reader(',', '"');
    reader.load("a\n\n\"b\nc\"\r\nd\re");
    std::vector<int> lines;
    while (reader.next())
        lines.push_back(reader.line());
    EXPECT_EQ(lines, (std::vector<int>{1, 3, 5, 6}));
}

TEST(DelimitedTextReader, ByteOrderMarkAndWindows1252) {
    DelimitedTextReader reader(',', '"');
    reader.load("\xEF\xBB\xBFNombre,Importe\nJosé,1\n");
    EXPECT_EQ(reader.encoding(), DelimitedTextReader::Encoding::Utf8);
    EXPECT_EQ(names(reader, true), (std::vector<std::string>{"Nombre", "Importe"}));
    ASSERT_TRUE(reader.next());
    ASSERT_TRUE(reader.next());
    EXPECT_EQ(reader.field(0), "José");

    // Latin-1 letters and the euro sign of Windows-1252, converted.
    reader.load(
        "Nombre,Precio\nJos\xE9 Pe\xF1"
        "a,\x80 5\n");
    EXPECT_EQ(reader.encoding(), DelimitedTextReader::Encoding::Windows1252);
    EXPECT_STREQ(DelimitedTextReader::encodingName(reader.encoding()), "Windows-1252");
    EXPECT_EQ(read(reader.text()), (Records{{"Nombre", "Precio"}, {"José Peña", "€ 5"}}));
    // A file with one bad byte is converted whole (its valid UTF-8 becomes
    // the Windows-1252 reading of those bytes).
    EXPECT_FALSE(DelimitedTextReader::isUtf8("\xC3"));
    EXPECT_FALSE(DelimitedTextReader::isUtf8("\xC0\xAF"));
    EXPECT_FALSE(DelimitedTextReader::isUtf8("\xED\xA0\x80"));
    EXPECT_TRUE(DelimitedTextReader::isUtf8("añ€😀"));

    // "Unicode text" (UTF-16 with its mark), both byte orders.
    reader.load(std::string("\xFF\xFEN\0\xF1\0\t\0=\xD8\0\xDE\n\0", 14));
    EXPECT_EQ(reader.encoding(), DelimitedTextReader::Encoding::Utf16);
    EXPECT_EQ(read(reader.text(), '\t'), (Records{{"Nñ", "😀"}}));
    reader.load(std::string("\xFE\xFF\0a\x20\xAC\xD8\x00", 8));
    EXPECT_EQ(reader.text(), "a€\xEF\xBF\xBD");
}

TEST(DelimitedTextReader, FieldNamesOnePerField) {
    DelimitedTextReader reader(',', '"');
    // An empty name keeps its place, a "|" stays inside its name, and a
    // record longer than the header gets names for its extra fields.
    reader.load("a,,c|d\n1,2,3,4\n");
    EXPECT_EQ(names(reader, true), (std::vector<std::string>{"a", "Campo2", "c|d", "Campo4"}));
    EXPECT_EQ(names(reader, false),
              (std::vector<std::string>{"Campo1", "Campo2", "Campo3", "Campo4"}));
    reader.load("");
    EXPECT_TRUE(names(reader, true).empty());
}

TEST(DelimitedTextReader, UpperCaseAndFiles) {
    DelimitedTextReader reader(',', '"');
    reader.setUpperCase(true);
    reader.load("abc,\"déf\"");
    ASSERT_TRUE(reader.next());
    EXPECT_EQ(reader.field(0), "ABC");
    EXPECT_EQ(reader.field(1), "DéF");

    testsupport::TempFolder dir;
    std::ofstream(dir.file("x.csv"), std::ios::binary) << "\xEF\xBB\xBFuno\r\n";
    DelimitedTextReader file(',', '"');
    file.loadFile(String(dir.file("x.csv")));
    ASSERT_TRUE(file.next());
    EXPECT_EQ(file.field(0), "uno");
    try {
        file.loadFile(String(dir.file("missing.csv")));
        FAIL();
    } catch (const VORLIN::GeneralException& e) {
        EXPECT_EQ(e.message(), "DelimitedTextReader.loadFile: no se pudo leer el archivo " +
                                   dir.file("missing.csv"));
    }
    // The file that was loaded before stays.
    file.rewind();
    ASSERT_TRUE(file.next());
    EXPECT_EQ(file.field(0), "uno");
}

}  // namespace
