#include "app/form/InsertForm.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

#include "core/DataItem.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "db/DbConnection.h"
#include "db/mysql/MySqlConnection.h"

namespace VORLIN {

namespace {

std::string upper(const String& s) {
    std::string u = s.toStdString();
    for (char& c : u) c = char(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

bool has(const std::string& text, const char* word) { return text.find(word) != std::string::npos; }

std::string trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool isNumber(const std::string& s) {
    if (s.empty()) return false;
    char* end = nullptr;
    std::strtod(s.c_str(), &end);
    return end && *end == '\0';
}

// A cell of the description by column name, or null.
const DataItem* cellNamed(const DataSet& set, const DataRow& row, const char* name) {
    if (!set.hasColumn(name)) return nullptr;
    return row.cell(set.findNamedColumn(name));
}

}  // namespace

InsertForm::Field InsertForm::describe(const String& name, const String& type,
                                       const String& defaultSql, bool defaultIsNull, bool notNull,
                                       bool key) {
    Field f;
    f.name = name;
    f.type = type;
    f.nullable = !notNull && !key;
    f.key = key;
    const std::string t = upper(type);
    if (has(t, "DATE") || has(t, "TIMESTAMP"))
        f.control = has(t, "TIME") ? Control::DateTime : Control::Date;
    else if (has(t, "BOOL") || has(t, "BIT"))
        f.control = Control::Check;
    if (f.control == Control::Text) {
        if (has(t, "INT"))
            f.filter = Filter::Integer;
        else if (has(t, "DOUBLE") || has(t, "FLOAT") || has(t, "NUMERIC") || has(t, "DECIMAL") ||
                 has(t, "REAL"))
            f.filter = Filter::Decimal;
        if (has(t, "CURRENCY") || has(t, "MONEY")) f.filter = Filter::Money;
    }
    f.label = f.control == Control::Check ? name : name + String(": ");

    // The default, read as SQL text.
    const std::string d = trimmed(defaultSql.toStdString());
    const std::string du = upper(String(d));
    if (defaultIsNull || d.empty() || du == "NULL") {
        f.initial = String();
    } else if (d.size() >= 2 && (d.front() == '\'' || d.front() == '"') && d.back() == d.front()) {
        std::string inner;
        for (size_t i = 1; i + 1 < d.size(); ++i) {
            inner.push_back(d[i]);
            if (d[i] == d.front() && i + 2 < d.size() && d[i + 1] == d.front()) ++i;
        }
        f.initial = String(inner);
    } else if (isNumber(d) || (d.size() > 2 && d.front() == '(' && d.back() == ')' &&
                               isNumber(trimmed(d.substr(1, d.size() - 2))))) {
        f.initial = String(d.front() == '(' ? trimmed(d.substr(1, d.size() - 2)) : d);
    } else if (du == "TRUE" || du == "FALSE") {
        f.initial = String(du == "TRUE" ? "1" : "0");
    } else if (has(du, "(") || du == "CURRENT_TIMESTAMP" || du == "CURRENT_DATE" ||
               du == "CURRENT_TIME" || du == "LOCALTIME" || du == "LOCALTIMESTAMP" ||
               du.rfind("NOW", 0) == 0) {
        f.expression = true;
    } else {
        // A server that gives defaults as plain values (MySQL's DESCRIBE).
        f.initial = String(d);
    }
    if (f.control == Control::Check && !f.initial.isEmpty())
        f.initial = String(f.initial == "0" || upper(f.initial) == "FALSE" ? "0" : "1");
    return f;
}

InsertForm::InsertForm(DbConnection& connection, const String& table)
    : connection_(connection), table_(table) {
    DataSet info;
    if (connection_.getTableInfo(table, &info) != 1 || info.rowCount() == 0) {
        String text;
        text.format(kNoColumns, table.c_str());
        throw GeneralException(text.toStdString());
    }
    for (int i = 0; i < info.rowCount(); ++i) {
        const DataRow* row = info.row(i);
        if (!row) continue;
        const DataItem* name = cellNamed(info, *row, "name");
        const DataItem* type = cellNamed(info, *row, "type");
        const DataItem* dflt = cellNamed(info, *row, "dflt_value");
        const DataItem* notNull = cellNamed(info, *row, "notnull");
        const DataItem* pk = cellNamed(info, *row, "pk");
        if (!name) continue;
        // "pk" is a position (SQLite) or the key text ("PRI", MySQL).
        bool key = false;
        if (pk && !pk->isNull()) {
            const String text = pk->toString();
            key = text == "PRI" || (pk->toInt() > 0);
        }
        fields_.push_back(describe(name->toString(), type ? type->toString() : String(),
                                   dflt ? dflt->toString() : String(), !dflt || dflt->isNull(),
                                   notNull && notNull->toInt() != 0, key));
    }
}

String InsertForm::title() const {
    String t;
    t.format(kTitle, connection_.getAlias().c_str(), table_.c_str());
    return t;
}

const char* InsertForm::allowed(Filter filter) {
    switch (filter) {
        case Filter::Integer:
            return kIntegerChars;
        case Filter::Decimal:
            return kDecimalChars;
        case Filter::Money:
            return kMoneyChars;
        default:
            return "";
    }
}

std::vector<InsertForm::Value> InsertForm::initialValues() const {
    std::vector<Value> values;
    for (const Field& f : fields_) values.push_back({f.initial.isEmpty(), f.initial});
    return values;
}

String InsertForm::insertSql(const std::vector<Value>& values) const {
    std::string columns;
    std::string literals;
    for (size_t i = 0; i < fields_.size(); ++i) {
        const Field& f = fields_[i];
        const Value v = i < values.size() ? values[i] : Value{};
        std::string text = v.empty ? std::string() : v.text.toStdString();
        String literal;
        const bool empty = v.empty || (f.control != Control::Text ? false : text.empty());
        if (empty) {
            if (f.expression || f.key) continue;   // the database's value
            if (f.nullable) {
                literal = "NULL";
            } else if (f.filter == Filter::None && f.control == Control::Text) {
                literal = "''";
            } else {
                continue;  // NOT NULL without a value: the database decides
            }
        } else if (f.control == Control::Check) {
            literal = text == "0" ? "0" : "1";
        } else if (f.filter != Filter::None) {
            if (f.filter == Filter::Money) text.erase(std::remove(text.begin(), text.end(), '$'), text.end());
            text = trimmed(text);
            if (!isNumber(text)) {
                String m;
                m.format(kNotANumber, f.name.c_str(), v.text.c_str());
                throw GeneralException(m.toStdString());
            }
            literal = String(text);
        } else {
            DataItem item;
            item.setString(String(text));
            literal = item.sqlLiteral();
        }
        if (!columns.empty()) {
            columns += ",";
            literals += ",";
        }
        columns += TableDataset::quoteName(f.name).toStdString();
        literals += literal.toStdString();
    }
    std::string sql = "INSERT INTO " + TableDataset::quoteName(table_).toStdString();
    if (columns.empty())
        // Every column left to the database: MySQL spells it its own way.
        sql += dynamic_cast<const MySqlConnection*>(&connection_) ? "() VALUES()" : " DEFAULT VALUES";
    else
        sql += "(" + columns + ") VALUES(" + literals + ")";
    return String(sql);
}

void InsertForm::registerRow(const std::vector<Value>& values) {
    connection_.execute(insertSql(values));
}

}  // namespace VORLIN
