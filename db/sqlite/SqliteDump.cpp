#include "db/sqlite/SqliteDump.h"

#include <string>
#include <vector>

#include "data/TableDataset.h"

namespace VORLIN {

namespace {

// A text for a '...' literal: inner quotes doubled.
String literal(const String& text) {
    String s(text);
    s.replace("'", "''");
    return s;
}

}  // namespace

void SqliteDump::write(const RowReader& read, String* out, bool withSchema, bool columnsApart) {
    if (!out) return;
    std::string text;
    auto line = [&text](const std::string_view* s, int) { text.append(s[0]).append(";\r\n"); };
    // Tables first, then their rows, then indexes, views and triggers: a
    // trigger created before the rows would fire while they are loaded.
    // SQLite's own tables cannot be created by a script and are left out.
    if (withSchema)
        read(
            "SELECT sql FROM sqlite_master WHERE sql!='' AND type='table' "
            "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid;",
            false, line);
    std::vector<String> tables;
    read("SELECT tbl_name FROM sqlite_master WHERE type='table' ORDER BY rowid;", false,
         [&tables](const std::string_view* name, int) { tables.push_back(String(name[0])); });
    for (const String& name : tables) {
        if (name.left(7).equalsNoCase("sqlite_")) {
            // The AUTOINCREMENT counters: the rows loaded before them have
            // already written some, so they are replaced.
            if (!withSchema || !name.equalsNoCase("sqlite_sequence")) continue;
            text.append("DELETE FROM sqlite_sequence;\r\n");
        }
        const String table = TableDataset::quoteName(name);
        String sql;
        sql.format("SELECT name FROM pragma_table_info('%s');", literal(name).c_str());
        String values;
        read(sql, false, [&values, columnsApart](const std::string_view* column, int) {
            const String name = TableDataset::quoteName(String(column[0]));
            if (columnsApart) {
                if (!values.isEmpty()) values.append(",");
                values.append(name);
            } else {
                if (!values.isEmpty()) values.append("||','||");
                values.append("quote(").append(name).append(')');
            }
        });
        if (values.isEmpty()) continue;
        String prefix("INSERT INTO ");
        prefix.append(table).append(" VALUES(");
        sql.format("SELECT %s FROM %s;", values.c_str(), table.c_str());
        const std::string_view head(prefix.c_str(), prefix.length());
        read(sql, columnsApart, [&](const std::string_view* values, int count) {
            text.append(head);
            for (int i = 0; i < count; ++i) {
                if (i > 0) text.push_back(',');
                text.append(values[i]);
            }
            text.append(");\r\n");
        });
    }
    if (withSchema)
        read("SELECT sql FROM sqlite_master WHERE sql!='' AND type<>'table' ORDER BY rowid;", false,
             line);
    out->append(TextRef(text.data(), text.size()));
}

}  // namespace VORLIN
