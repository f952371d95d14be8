#include "app/designer/QuerySqlBuilder.h"

#include <sqlite3.h>

#include "core/GeneralException.h"
#include "data/TableDataset.h"

using VORLIN::GeneralException;
using VORLIN::String;

namespace {

String trimmed(const String& text) {
    String t(text);
    t.trim();
    return t;
}

bool endsWith(const String& text, std::string_view tail) {
    std::string_view v = text.view();
    return v.size() >= tail.size() && v.substr(v.size() - tail.size()) == tail;
}

void dropTrailingComma(String& text) {
    if (endsWith(text, ", ")) text = String(text.view().substr(0, text.length() - 2));
}

// A condition pair: "Filtro"/"O" or "Having"/"OHav", on `keyword`
// ("WHERE", "HAVING") which `target` still equals when nothing was added.
void addConditions(String& target, const char* keyword, const String& ref, const String& first,
                   const String& second) {
    String f = trimmed(first);
    String o = trimmed(second);
    bool fresh = target == keyword;
    if (!f.isEmpty() && !o.isEmpty()) {
        if (!fresh) target.append(" AND");
        target.append(" (").append(ref).append(' ').append(f).append(" OR ");
        target.append(ref).append(' ').append(o).append(')');
    } else if (!f.isEmpty()) {
        if (!fresh) target.append(" AND");
        target.append(' ').append(ref).append(' ').append(f);
    } else if (!o.isEmpty()) {
        if (!fresh) target.append(" OR");
        target.append(' ').append(ref).append(' ').append(o);
    }
}

void addLine(String& sql, const String& part, const char* keyword) {
    if (part.length() > std::string_view(keyword).size()) sql.append("\r\n").append(part);
}

}  // namespace

const std::vector<QuerySqlBuilder::JoinChoice>& QuerySqlBuilder::joinChoices() {
    static const std::vector<JoinChoice> choices = {
        {"INNER JOIN", "Solo las filas de las dos tablas que cumplen la relación"},
        {"LEFT JOIN",
         "Todas las filas de la tabla 1; de la tabla 2, las que cumplen la relación (las "
         "demás, vacías)"},
        {"OUTER JOIN",
         "Todas las filas de las dos tablas, cumplan o no la relación (FULL OUTER JOIN: "
         "SQLite 3.39 o posterior; MySQL no lo tiene)"},
        {"CROSS JOIN",
         "Las filas de las dos tablas que cumplen la relación, como INNER JOIN, en el orden "
         "de las tablas"},
    };
    return choices;
}

bool QuerySqlBuilder::sqliteHasFullOuterJoin() {
    return sqlite3_libversion_number() >= 3039000;
}

String QuerySqlBuilder::name(const String& text) {
    std::string_view v = text.view();
    if (v.empty() || v == "*" || v.front() == '"' || v.front() == '`' || v.front() == '[')
        return text;
    return VORLIN::TableDataset::quoteName(text);
}

String QuerySqlBuilder::conditionText(const TableRelation& r) {
    String text;
    text.append(name(r.tabla1)).append('.').append(name(r.campo1)).append(" = ");
    text.append(name(r.tabla2)).append('.').append(name(r.campo2));
    return text;
}

String QuerySqlBuilder::joinText(const String& join) const {
    String j = trimmed(join);
    if (!j.equalsNoCase(kOuterJoin)) return j;
    if (!fullOuterJoin_) throw GeneralException(kNoFullOuterJoin);
    return String(kFullOuterJoin);
}

String QuerySqlBuilder::build(const QueryDesign& design) const {
    if (design.isEmpty()) throw GeneralException(kNoColumns);
    switch (design.type()) {
        case QueryDesign::kUpdate:
            return updateText(design);
        case QueryDesign::kDelete:
            return deleteText(design);
        default:
            return selectText(design);
    }
}

String QuerySqlBuilder::selectText(const QueryDesign& d) const {
    String sql("SELECT ");
    String where("WHERE");
    String order("ORDER BY");
    String group("GROUP BY");
    String having("HAVING");
    std::vector<String> tables;
    const bool related = !d.relations().empty();
    for (int i = 0; i < d.rowCount(); ++i) {
        const String table = d.cell(i, "Tabla");
        const String column = d.cell(i, "Campo");
        String ref;
        if (!table.isEmpty()) ref.append(name(table)).append('.');
        ref.append(name(column));
        if (!related && !table.isEmpty()) {
            bool seen = false;
            for (const String& t : tables)
                seen = seen || t == table;
            if (!seen) tables.push_back(table);
        }
        // The aggregate of the row, as shown; a group condition tests it.
        String shown = ref;
        String function = trimmed(d.cell(i, "Funcion"));
        if (!function.isEmpty()) {
            shown = function;
            shown.append('(').append(column == "*" ? String("*") : ref).append(')');
        }
        if (d.checked(i, "Ver")) {
            sql.append(shown);
            String alias = trimmed(d.cell(i, "Alias"));
            if (!alias.isEmpty()) sql.append(" AS ").append(name(alias));
            if (i + 1 < d.rowCount()) sql.append(", ");
        }
        addConditions(where, "WHERE", ref, d.cell(i, "Filtro"), d.cell(i, "O"));
        String sort = trimmed(d.cell(i, "Orden"));
        if (sort.equalsNoCase("ASC") || sort.equalsNoCase("DESC")) {
            if (order != "ORDER BY") order.append(',');
            order.append(' ').append(ref);
            if (sort.equalsNoCase("DESC")) order.append(" DESC");
        }
        if (d.checked(i, "Grupo")) {
            if (group != "GROUP BY") group.append(", ");
            group.append(' ').append(ref);
        }
        addConditions(having, "HAVING", shown, d.cell(i, "Having"), d.cell(i, "OHav"));
    }
    dropTrailingComma(sql);
    sql.append("\r\nFROM ");
    if (related) {
        sql.append(name(d.relations().front().tabla1)).append(' ');
        bool first = true;
        for (const TableRelation& r : d.relations()) {
            if (!first) sql.append("\r\n");
            first = false;
            sql.append(joinText(r.join)).append(' ').append(name(r.tabla2)).append(" ON ");
            sql.append(conditionText(r));
        }
    } else {
        for (size_t t = 0; t < tables.size(); ++t) {
            if (t > 0) sql.append(", ");
            sql.append(name(tables[t]));
        }
    }
    addLine(sql, where, "WHERE");
    addLine(sql, group, "GROUP BY");
    addLine(sql, having, "HAVING");
    addLine(sql, order, "ORDER BY");
    sql.append(';');
    return sql;
}

String QuerySqlBuilder::updateText(const QueryDesign& d) const {
    String sql("UPDATE ");
    sql.append(d.rowCount() > 0 ? name(d.cell(0, "Tabla")) : String()).append("\r\nSET ");
    String where("WHERE");
    for (int i = 0; i < d.rowCount(); ++i) {
        const String column = name(d.cell(i, "Campo"));
        const String value = d.cell(i, "Valor");
        if (!value.isEmpty()) sql.append(column).append(" = ").append(value).append(", ");
        addConditions(where, "WHERE", column, d.cell(i, "Filtro"), d.cell(i, "O"));
    }
    dropTrailingComma(sql);
    addLine(sql, where, "WHERE");
    sql.append(';');
    return sql;
}

String QuerySqlBuilder::deleteText(const QueryDesign& d) const {
    String sql("DELETE FROM ");
    sql.append(d.rowCount() > 0 ? name(d.cell(0, "Tabla")) : String());
    String where("WHERE");
    for (int i = 0; i < d.rowCount(); ++i) {
        const String column = d.cell(i, "Campo");
        if (column == "*") continue;
        addConditions(where, "WHERE", name(column), d.cell(i, "Filtro"), d.cell(i, "O"));
    }
    addLine(sql, where, "WHERE");
    sql.append(';');
    return sql;
}
