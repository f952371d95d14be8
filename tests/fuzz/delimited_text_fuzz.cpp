// Fuzz target for the delimited-text reader of the import.
//
// The first input byte picks the separator (tab, comma, semicolon, pipe)
// and the delimiter (none, double quote, single quote); the rest is the
// file. Checks:
//  - the text read is valid UTF-8, whatever the bytes were;
//  - lines never go backwards, a record has at least one field, and the
//    field names are as many as asked, none empty;
//  - writing the records back with every field delimited and reading them
//    again gives the same records.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/import/DelimitedTextReader.h"

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "delimited_text_fuzz: %s\n", what);
        std::abort();
    }
}

using Records = std::vector<std::vector<std::string>>;

Records readAll(DelimitedTextReader& reader) {
    Records records;
    int line = 0;
    reader.rewind();
    while (reader.next()) {
        check(reader.fieldCount() >= 1, "record without fields");
        check(reader.line() >= line, "line went backwards");
        line = reader.line();
        std::vector<std::string> fields;
        for (int i = 0; i < reader.fieldCount(); ++i)
            fields.emplace_back(reader.field(i));
        records.push_back(std::move(fields));
    }
    return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const char kSeparators[] = {'\t', ',', ';', '|'};
    static const char kDelimiters[] = {0, '"', '\''};
    char separator = kSeparators[data[0] & 3];
    char delimiter = kDelimiters[(data[0] >> 2) % 3];
    DelimitedTextReader reader(separator, delimiter);
    reader.load(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    check(DelimitedTextReader::isUtf8(reader.text()), "text is not UTF-8");

    Records records = readAll(reader);
    int count = 0, maxFields = 0;
    reader.count(count, maxFields);
    check(size_t(count) == records.size(), "count differs from the records read");
    std::vector<VORLIN::String> names = reader.fieldNames(true, maxFields);
    check(names.size() >= size_t(maxFields), "too few field names");
    for (const VORLIN::String& n : names)
        check(!n.isEmpty(), "empty field name");

    // Every field delimited: the records must come back unchanged.
    const char q = delimiter ? delimiter : '"';
    std::string written;
    for (const auto& fields : records) {
        for (size_t i = 0; i < fields.size(); ++i) {
            if (i > 0) written.push_back(separator);
            written.push_back(q);
            for (char c : fields[i]) {
                if (c == q) written.push_back(q);
                written.push_back(c);
            }
            written.push_back(q);
        }
        written.append("\r\n");
    }
    DelimitedTextReader again(separator, q);
    again.load(written);
    check(again.encoding() == DelimitedTextReader::Encoding::Utf8, "written text is not UTF-8");
    check(readAll(again) == records, "records changed when written back");
    return 0;
}
