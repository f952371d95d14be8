#include "app/designer/QueryDesign.h"

#include "core/GeneralException.h"

using VORLIN::GeneralException;
using VORLIN::String;
using VORLIN::TextRef;

String TableRelation::condition() const {
    String text;
    text.append(tabla1).append('.').append(campo1).append(" = ");
    text.append(tabla2).append('.').append(campo2);
    return text;
}

const char* QueryDesign::typeName(int type) noexcept {
    switch (type) {
        case kSelect:
            return "SELECT";
        case kUpdate:
            return "UPDATE";
        case kDelete:
            return "DELETE";
        default:
            return "";
    }
}

const std::vector<DesignColumn>& QueryDesign::columnsFor(int type) {
    using K = DesignColumn::Kind;
    static const std::vector<DesignColumn> select = {
        {"Tabla", 70, K::Text, "", ""},
        {"Campo", 80, K::Text, "", ""},
        {"Alias", 70, K::Text, "", kAliasChars},
        {"Ver", 40, K::Check, "", ""},
        {"Filtro", 80, K::Text, "", kFilterChars},
        {"O", 80, K::Text, "", kFilterChars},
        {"Orden", 70, K::Choice, " ,ASC,DESC", ""},
        {"Funcion", 70, K::Choice, " ,SUM,AVG,COUNT,MIN,MAX", ""},
        {"Grupo", 40, K::Check, "", ""},
        {"Having", 80, K::Text, "", kFilterChars},
        {"OHav", 80, K::Text, "", kFilterChars},
    };
    static const std::vector<DesignColumn> update = {
        {"Tabla", 70, K::Text, "", ""},       {"Campo", 80, K::Text, "", ""},
        {"Valor", 80, K::Text, "", ""},       {"Filtro", 80, K::Text, "", kFilterChars},
        {"O", 80, K::Text, "", kFilterChars},
    };
    static const std::vector<DesignColumn> remove = {
        {"Tabla", 70, K::Text, "", ""},
        {"Campo", 80, K::Text, "", ""},
        {"Filtro", 80, K::Text, "", kFilterChars},
        {"O", 80, K::Text, "", kFilterChars},
    };
    switch (type) {
        case kSelect:
            return select;
        case kUpdate:
            return update;
        case kDelete:
            return remove;
        default:
            throw GeneralException::format(kBadType, type);
    }
}

bool QueryDesign::isSet(const String& text) {
    String t(text);
    t.trim();
    return !t.isEmpty() && t != "0" && !t.equalsNoCase("false") && !t.equalsNoCase("no");
}

bool QueryDesign::accepts(const DesignColumn& column, TextRef text) {
    std::string_view allowed(column.allowed);
    if (allowed.empty()) return true;
    std::string_view v = text.view();
    for (size_t i = 0; i < v.size();) {
        unsigned char lead = static_cast<unsigned char>(v[i]);
        size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (i + n > v.size() || allowed.find(v.substr(i, n)) == std::string_view::npos)
            return false;
        i += n;
    }
    return true;
}

QueryDesign::QueryDesign(int type) {
    setType(type);
}

void QueryDesign::setType(int type) {
    if (!isValidType(type)) throw GeneralException::format(kBadType, type);
    type_ = type;
    clear();
}

int QueryDesign::columnIndex(TextRef title) const {
    const std::vector<DesignColumn>& cols = columns();
    for (size_t i = 0; i < cols.size(); ++i)
        if (title.view() == cols[i].title) return int(i);
    return -1;
}

int QueryDesign::addEmptyRow() {
    std::vector<String> cells;
    for (const DesignColumn& c : columns())
        cells.emplace_back(c.kind == DesignColumn::Check ? "0" : "");
    rows_.push_back(std::move(cells));
    return rowCount() - 1;
}

int QueryDesign::addRow(const String& table, const String& column) {
    int r = addEmptyRow();
    setCell(r, "Tabla", table);
    setCell(r, "Campo", column);
    if (type_ == kSelect) setChecked(r, "Ver", true);
    return r;
}

void QueryDesign::checkRow(int row) const {
    if (row < 0 || row >= rowCount()) throw GeneralException::format(kBadRow, row);
}

void QueryDesign::removeRow(int row) {
    checkRow(row);
    rows_.erase(rows_.begin() + row);
}

const std::vector<String>& QueryDesign::row(int row) const {
    checkRow(row);
    return rows_[size_t(row)];
}

String QueryDesign::cell(int row, TextRef title) const {
    checkRow(row);
    int c = columnIndex(title);
    return c < 0 ? String() : rows_[size_t(row)][size_t(c)];
}

void QueryDesign::setCell(int row, TextRef title, TextRef text) {
    checkRow(row);
    int c = columnIndex(title);
    if (c < 0) throw GeneralException::format(kBadColumn, std::string(title.view()).c_str());
    rows_[size_t(row)][size_t(c)] = String(text);
}

void QueryDesign::setRelation(int index, const TableRelation& relation) {
    if (index < 0 || index >= int(relations_.size()))
        throw GeneralException::format(kBadRow, index);
    relations_[size_t(index)] = relation;
}

void QueryDesign::removeRelation(int index) {
    if (index < 0 || index >= int(relations_.size()))
        throw GeneralException::format(kBadRow, index);
    relations_.erase(relations_.begin() + index);
}

std::vector<String> QueryDesign::tables() const {
    std::vector<String> list;
    int c = columnIndex("Tabla");
    for (const auto& r : rows_) {
        const String& t = r[size_t(c)];
        if (t.isEmpty()) continue;
        bool seen = false;
        for (const String& s : list)
            seen = seen || s == t;
        if (!seen) list.push_back(t);
    }
    return list;
}

void QueryDesign::clear() noexcept {
    rows_.clear();
    relations_.clear();
}
