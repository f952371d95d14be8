#include "app/import/TextImport.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/import/DelimitedTextReader.h"
#include "core/DataItem.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/TableDataset.h"
#include "db/DbConnection.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "remote/SqliteClientConnection.h"

using VORLIN::DataItem;
using VORLIN::DbConnection;
using VORLIN::GeneralException;
using VORLIN::String;
using VORLIN::TableDataset;

namespace {

bool isTextKind(int kind) {
    return kind == DataItem::TNull || kind == DataItem::TString || kind == DataItem::TChar;
}

bool isNumberKind(int kind) {
    return DataItem::isNumericTag(kind);
}

// A decimal number with "." as the decimal point, spaces around allowed.
bool isNumberText(std::string_view text) {
    char buffer[64];
    std::string longer;
    const char* start = buffer;
    if (text.size() < sizeof buffer) {
        std::memcpy(buffer, text.data(), text.size());
        buffer[text.size()] = 0;
    } else {
        longer.assign(text);
        start = longer.c_str();
    }
    char* end = nullptr;
    errno = 0;
    double d = std::strtod(start, &end);
    if (end == start) return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0' || !std::isfinite(d)) return false;
    // strtod also reads hexadecimal numbers, "inf" and "nan".
    for (char c : text)
        if (c == 'x' || c == 'X' || c == 'n' || c == 'N' || c == 'i' || c == 'I') return false;
    return true;
}

void appendQuoted(std::string& out, std::string_view text) {
    out.push_back('\'');
    size_t from = 0;
    for (;;) {
        size_t q = text.find('\'', from);
        if (q == std::string_view::npos) {
            out.append(text.substr(from));
            break;
        }
        out.append(text.substr(from, q - from + 1)).push_back('\'');
        from = q + 1;
    }
    out.push_back('\'');
}

}  // namespace

TextImport::TextImport(DbConnection& connection)
    : connection_(connection), model_(std::make_unique<TableDataset>()) {}

TextImport::~TextImport() = default;

void TextImport::setTable(const String& table) {
    relations_.clear();
    auto model = std::make_unique<TableDataset>();
    if (!table.isEmpty()) {
        connection_.queryModel(table, model.get());
        if (model->header() == nullptr || model->columnCount() == 0 ||
            model->columnName(0).isEmpty()) {
            String message;
            message.format(kUnknownTable, table.c_str());
            throw GeneralException(message.toStdString());
        }
        model->setTableName(table);
    }
    model_ = std::move(model);
    table_ = table;
}

std::vector<String> TextImport::columnNames() const {
    std::vector<String> names;
    if (table_.isEmpty()) return names;
    // In row-id mode the first column is the database's own row number,
    // which is not one of the table's columns.
    for (int i = model_->rowIdMode() ? 1 : 0; i < model_->columnCount(); ++i)
        names.push_back(model_->columnName(i));
    return names;
}

int TextImport::findColumn(const String& name) const {
    std::vector<String> names = columnNames();
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return int(i);
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i].equalsNoCase(name)) return int(i);
    return -1;
}

int TextImport::findField(const String& name) const {
    for (size_t i = 0; i < fieldNames_.size(); ++i)
        if (fieldNames_[i] == name) return int(i);
    return -1;
}

void TextImport::checkColumn(int column) const {
    if (column < 0 || size_t(column) >= columnNames().size()) throw GeneralException(kBadRelation);
}

void TextImport::addField(int field, int column) {
    checkColumn(column);
    if (field < 0) throw GeneralException(kBadRelation);
    relations_.push_back({field, column, String()});
}

void TextImport::addConstant(const String& text, int column) {
    checkColumn(column);
    relations_.push_back({-1, column, text});
}

void TextImport::removeRelation(int index) {
    if (index < 0 || size_t(index) >= relations_.size()) return;
    relations_.erase(relations_.begin() + index);
}

String TextImport::relationText(int index) const {
    const ImportRelation& r = relations_.at(size_t(index));
    std::vector<String> columns = columnNames();
    String from;
    if (r.field < 0) {
        from = kConstantLabel;
        from.append(r.constant);
    } else if (size_t(r.field) < fieldNames_.size()) {
        from = fieldNames_[size_t(r.field)];
    } else {
        from = DelimitedTextReader::kFieldPrefix;
        from.appendInt(r.field + 1);
    }
    String to = size_t(r.column) < columns.size() ? columns[size_t(r.column)] : String();
    String text;
    text.format(kRelationText, from.c_str(), to.c_str());
    return text;
}

int TextImport::mapByName() {
    int added = 0;
    for (size_t i = 0; i < fieldNames_.size(); ++i) {
        int column = findColumn(fieldNames_[i]);
        if (column < 0) continue;
        addField(int(i), column);
        ++added;
    }
    return added;
}

bool TextImport::literal(std::string_view text, int column, std::string& out, String& error) const {
    int modelColumn = column + (model_->rowIdMode() ? 1 : 0);
    const DataItem* kindCell = model_->header() ? model_->header()->cell(modelColumn) : nullptr;
    int kind = kindCell ? kindCell->type() : DataItem::TString;
    if (isTextKind(kind)) {
        appendQuoted(out, text);
        return true;
    }
    if (text.empty()) {
        out.append("NULL");
        return true;
    }
    if (isNumberKind(kind) && !isNumberText(text)) {
        error.format(kNotNumber, std::string(text).c_str(),
                     model_->columnName(modelColumn).c_str());
        return false;
    }
    DataItem value;
    value.setType(kind);
    value.fromString(String(text));
    out.append(value.sqlLiteral().view());
    return true;
}

ImportResult TextImport::run(DelimitedTextReader& reader, bool header, ImportProgress* progress) {
    if (table_.isEmpty()) throw GeneralException(kNoTable);
    if (relations_.empty()) throw GeneralException(kNoRelations);

    // Each column once, in table order; the last relation for a column wins.
    std::vector<String> columns = columnNames();
    std::vector<int> relationOf(columns.size(), -1);
    for (size_t i = 0; i < relations_.size(); ++i)
        relationOf[size_t(relations_[i].column)] = int(i);
    // The statement of each row is built in a std::string (it keeps its
    // capacity from row to row) and handed over once.
    std::string prefix("INSERT INTO ");
    prefix.append(TableDataset::quoteName(table_).view()).push_back('(');
    std::vector<int> order;  // relation index per written column
    for (size_t c = 0; c < columns.size(); ++c) {
        if (relationOf[c] < 0) continue;
        if (!order.empty()) prefix.push_back(',');
        prefix.append(TableDataset::quoteName(columns[c]).view());
        order.push_back(relationOf[c]);
    }
    prefix.append(") VALUES(");

    int records = 0, maxFields = 0;
    reader.count(records, maxFields);
    ImportResult result;
    result.total = header && records > 0 ? records - 1 : records;

    // A local SQLite database takes each row through one prepared statement
    // (insertLiterals). Our server's SQLite undoes a failing statement whole,
    // so rows go there in batches of one multi-row INSERT each (one request
    // per batch): a batch that fails is run again row by row to find and
    // report the rows that fail. Other back ends (MyISAM keeps the rows
    // before a failing one) get one INSERT per row.
    const bool local = dynamic_cast<VORLIN::SqliteLocalConnection*>(&connection_) != nullptr;
    const bool batches = dynamic_cast<VORLIN::SqliteClientConnection*>(&connection_) != nullptr;
    const size_t batchSize = batches ? kBatchRows : 1;

    struct Pending {
        int row;
        int line;
        std::vector<std::string> literals;
        String error;  // a row that could not be written as SQL
    };
    // The rows waiting for their INSERT; their texts keep their room from
    // batch to batch.
    std::vector<Pending> pending(batchSize);
    size_t used = 0;
    std::string sql;
    auto appendValues = [&sql](const Pending& p) {
        for (size_t i = 0; i < p.literals.size(); ++i) {
            if (i > 0) sql.push_back(',');
            sql.append(p.literals[i]);
        }
    };
    const String prefixText(prefix);

    // Runs the pending rows; false when the person cancelled.
    auto flush = [&]() -> bool {
        size_t good = 0;
        for (size_t i = 0; i < used; ++i)
            if (pending[i].error.isEmpty()) ++good;
        bool batchDone = false;
        if (good > 1) {
            sql.assign(prefix);
            bool first = true;
            for (size_t i = 0; i < used; ++i) {
                const Pending& p = pending[i];
                if (!p.error.isEmpty()) continue;
                if (!first) sql.append("),(");
                appendValues(p);
                first = false;
            }
            sql.append(");");
            try {
                connection_.execute(String(sql));
                batchDone = true;
            } catch (const GeneralException&) {
                // Row by row below, to tell which rows fail.
            }
        }
        bool go = true;
        for (size_t i = 0; i < used; ++i) {
            Pending& p = pending[i];
            if (p.error.isEmpty() && !batchDone) {
                try {
                    if (local) {
                        connection_.insertLiterals(prefixText, p.literals);
                    } else {
                        sql.assign(prefix);
                        appendValues(p);
                        sql.append(");");
                        connection_.execute(String(sql));
                    }
                } catch (const GeneralException& e) {
                    p.error = String(e.message());
                }
            }
            if (p.error.isEmpty()) {
                ++result.imported;
            } else {
                ++result.failed;
                if (progress) progress->rowFailed({p.row, p.line, p.error});
            }
            if (go && progress && !progress->rowDone(p.row, result.total, result.failed))
                go = false;
        }
        used = 0;
        return go;
    };

    connection_.beginTransaction();
    int n = 0;
    try {
        reader.rewind();
        if (header) reader.next();
        String error;
        while (reader.next()) {
            ++n;
            Pending& p = pending[used];
            p.row = n;
            p.line = reader.line();
            p.literals.resize(order.size());
            if (!error.isEmpty()) error.clear();
            bool ok = true;
            for (size_t k = 0; k < order.size() && ok; ++k) {
                const ImportRelation& r = relations_[size_t(order[k])];
                std::string& value = p.literals[k];
                value.clear();
                if (r.field < 0) {
                    ok = literal(r.constant.view(), r.column, value, error);
                } else if (r.field >= reader.fieldCount()) {
                    error = kMissingField;
                    ok = false;
                } else {
                    ok = literal(reader.field(r.field), r.column, value, error);
                }
            }
            if (ok) {
                if (!p.error.isEmpty()) p.error.clear();
            } else {
                p.error = error;
            }
            if (++used >= batchSize && !flush()) {
                result.cancelled = true;
                break;
            }
        }
        if (!result.cancelled && used > 0 && !flush()) result.cancelled = true;
    } catch (...) {
        try {
            connection_.rollbackTransaction();
        } catch (const GeneralException&) {
        }
        throw;
    }
    if (result.cancelled) {
        result.imported = 0;
        try {
            connection_.rollbackTransaction();
        } catch (const GeneralException& e) {
            result.error = String(e.message());
        }
        return result;
    }
    try {
        connection_.commitTransaction();
    } catch (const GeneralException& e) {
        try {
            connection_.rollbackTransaction();
        } catch (const GeneralException&) {
        }
        result.imported = 0;
        result.error.format(kCommitFailed, e.message().c_str());
    }
    return result;
}
