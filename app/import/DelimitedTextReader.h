// DelimitedTextReader: reads a delimited text file (the separated values a
// spreadsheet program exports) record by record.
//
// Records and fields:
//   - A record ends at a carriage return or line feed outside delimited
//     text; a run of them is one break, so blank lines give no record. The
//     text after the last break is the last record.
//   - A field begins with the delimiter (the text quote) or not. One that
//     does is delimited text: separators and line breaks inside it are
//     text, a doubled delimiter stands for one, and every single delimiter
//     is dropped (`"a"b` reads as `ab`). In a field that does not begin
//     with the delimiter, the delimiter is an ordinary character.
//   - A record has as many fields as separators outside delimited text,
//     plus one; an empty record has one field.
//   - A field written null (not delimited) reads as empty text.
//
// Encoding: a UTF-8 byte-order mark is dropped. A file that begins with a
// UTF-16 byte-order mark (the "Unicode text" of spreadsheet programs) is
// converted from UTF-16. Any other file that is not valid UTF-8 is read as
// Windows-1252 and converted; encoding() says which was used. Fields are
// always UTF-8.
//
// Ownership: holds the whole file in memory. The fields returned by
// field() stay valid until the next call to next() or rewind().
// Threads: one thread at a time. Throws: loadFile throws
// GeneralException kCannotOpen when the file cannot be read; nothing else
// throws (any bytes read as some records).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/String.h"

class DelimitedTextReader {
public:
    enum class Encoding { Utf8, Windows1252, Utf16 };

    static constexpr const char* kCannotOpen =
        "DelimitedTextReader.loadFile: no se pudo leer el archivo %s";
    static constexpr const char* kFieldPrefix = "Campo";

    explicit DelimitedTextReader(char separator = '\t', char delimiter = '"')
        : separator_(separator), delimiter_(delimiter) {}

    char separator() const noexcept { return separator_; }
    void setSeparator(char c) noexcept { separator_ = c; }
    // 0: no delimiter.
    char delimiter() const noexcept { return delimiter_; }
    void setDelimiter(char c) noexcept { delimiter_ = c; }
    // Every field read in upper case (ASCII letters).
    void setUpperCase(bool on) noexcept { upper_ = on; }

    // Takes the file's bytes (BOM dropped, converted when not UTF-8) and
    // goes to the first record.
    void load(std::string bytes);
    void loadFile(const VORLIN::String& path);

    Encoding encoding() const noexcept { return encoding_; }
    // "UTF-8", "Windows-1252" or "UTF-16".
    static const char* encodingName(Encoding e) noexcept;
    const std::string& text() const noexcept { return text_; }

    // Back to the first record.
    void rewind() noexcept;
    // Reads the next record; false at the end of the text.
    bool next();
    int fieldCount() const noexcept { return int(ends_.size()); }
    std::string_view field(int i) const noexcept;
    // 1-based line of the file where the current record begins.
    int line() const noexcept { return recordLine_; }

    // Records in the whole text and the most fields any of them has
    // (rewinds before and after).
    void count(int& records, int& maxFields);

    // The names of the file's fields: the first record's fields when
    // `header` (an empty name becomes "CampoN"), padded with "CampoN" up
    // to `fieldCount` names; "Campo1".."CampoN" without header. Rewinds.
    std::vector<VORLIN::String> fieldNames(bool header, int fieldCount);

    // Whether `bytes` are valid UTF-8 (no overlong forms, surrogates or
    // code points above U+10FFFF).
    static bool isUtf8(std::string_view bytes) noexcept;
    static std::string windows1252ToUtf8(std::string_view bytes);
    // Bytes of UTF-16 (without the mark), little- or big-endian; an unpaired
    // surrogate becomes U+FFFD.
    static std::string utf16ToUtf8(std::string_view bytes, bool bigEndian);

private:
    void endField(size_t start, bool delimited);

    char separator_;
    char delimiter_;
    bool upper_ = false;
    Encoding encoding_ = Encoding::Utf8;
    std::string text_;
    size_t pos_ = 0;
    int nextLine_ = 1;
    int recordLine_ = 0;
    std::string fields_;        // the current record's fields, one after another
    std::vector<size_t> ends_;  // where each field ends in fields_
};
