#include "app/import/ImportarTextoLogic.h"

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "db/DbConnection.h"

using VORLIN::DataSet;
using VORLIN::DbConnection;
using VORLIN::GeneralException;
using VORLIN::String;

const std::vector<const char*>& ImportarTextoLogic::separatorChoices() {
    static const std::vector<const char*> choices = {"Tab", ",", ";", "|"};
    return choices;
}

const std::vector<const char*>& ImportarTextoLogic::delimiterChoices() {
    static const std::vector<const char*> choices = {"", "\"", "'"};
    return choices;
}

char ImportarTextoLogic::separatorChar(int choice) {
    static const char chars[] = {'\t', ',', ';', '|'};
    return choice >= 0 && choice < 4 ? chars[choice] : '\t';
}

char ImportarTextoLogic::delimiterChar(int choice) {
    static const char chars[] = {0, '"', '\''};
    return choice >= 0 && choice < 3 ? chars[choice] : '"';
}

ImportarTextoLogic::ImportarTextoLogic(DbConnection& connection)
    : connection_(connection), import_(connection) {}

void ImportarTextoLogic::setSeparator(int choice) {
    separator_ = choice;
    reread();
}

void ImportarTextoLogic::setDelimiter(int choice) {
    delimiter_ = choice;
    reread();
}

void ImportarTextoLogic::setHeaders(bool on) {
    headers_ = on;
    reread();
}

void ImportarTextoLogic::setSettings(int separator, int delimiter, bool headers) {
    separator_ = separator;
    delimiter_ = delimiter;
    headers_ = headers;
    reread();
}

void ImportarTextoLogic::readFile(const String& path) {
    DelimitedTextReader fresh(separatorChar(separator_), delimiterChar(delimiter_));
    fresh.loadFile(path);
    reader_ = std::move(fresh);
    file_ = path;
    reread();
}

void ImportarTextoLogic::reread() {
    reader_.setSeparator(separatorChar(separator_));
    reader_.setDelimiter(delimiterChar(delimiter_));
    int records = 0, maxFields = 0;
    reader_.count(records, maxFields);
    rows_ = headers_ && records > 0 ? records - 1 : records;
    names_ = hasFile() ? reader_.fieldNames(headers_, maxFields) : std::vector<String>();
    import_.setFieldNames(names_);
}

String ImportarTextoLogic::encodingText() const {
    String text;
    if (!hasFile()) return text;
    const char* name = DelimitedTextReader::encodingName(reader_.encoding());
    if (reader_.encoding() == DelimitedTextReader::Encoding::Utf8)
        text.format(kEncoding, name);
    else
        text.format(kEncodingConverted, name);
    return text;
}

std::vector<String> ImportarTextoLogic::tables() {
    DataSet set;
    connection_.listTables(&set);
    std::vector<String> names;
    for (int i = 0; i < set.rowCount(); ++i)
        names.push_back(set.getCellText(i, 0));
    return names;
}

void ImportarTextoLogic::chooseTable(const String& table) {
    import_.setTable(table);
}

void ImportarTextoLogic::enterMapping() {
    import_.setFieldNames(names_);
    import_.clearRelations();
}

ImportResult ImportarTextoLogic::run(ImportProgress* progress) {
    if (!hasFile()) throw GeneralException(kNoFile);
    ImportResult result = import_.run(reader_, headers_, progress);
    result_ = result;
    ran_ = true;
    return result;
}

String ImportarTextoLogic::resultLine1() const {
    if (result_.cancelled) return String(TextImport::kCancelled);
    if (!result_.error.isEmpty()) return result_.error;
    return String(kDone);
}

String ImportarTextoLogic::resultLine2() const {
    String text;
    // "Importado n/n" only when every row went in.
    if (result_.error.isEmpty() && !result_.cancelled && result_.failed == 0)
        text.format(kProgress, result_.imported, result_.total);
    else
        text.format(kSummary, result_.imported, result_.failed);
    return text;
}
