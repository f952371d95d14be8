// The query designer's logic: the SQL texts built from design rows, the
// quoting of awkward names, the joins (FULL OUTER JOIN run on a real SQLite
// file), design files written and read back, broken design files and the
// designer memory.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <string>

#include "app/designer/DesignerMemory.h"
#include "app/designer/QueryDesign.h"
#include "app/designer/QueryDesignFile.h"
#include "app/designer/QuerySqlBuilder.h"
#include "core/GeneralException.h"
#include "tests/app/query/SheetReader.h"
#include "tests/support/TempFolder.h"

using VORLIN::GeneralException;
using VORLIN::String;

namespace {

std::string text(const QueryDesign& d, bool fullOuterJoin = true) {
    return QuerySqlBuilder(fullOuterJoin).build(d).toStdString();
}

// A SELECT row: table, column, shown, then any cells by title.
int addSelect(QueryDesign& d, const char* table, const char* column, bool shown,
              std::initializer_list<std::pair<const char*, const char*>> cells = {}) {
    int r = d.addRow(table, column);
    d.setChecked(r, "Ver", shown);
    for (const auto& [title, value] : cells)
        d.setCell(r, title, value);
    return r;
}

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const GeneralException& e) {
        return e.message();
    }
    return "(no error)";
}

std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

}  // namespace

TEST(QueryDesignSql, SelectEdgeCases) {
    QueryDesign d;
    addSelect(d, "t", "a", true);
    addSelect(d, "t", "b", false, {{"Orden", "DESC"}});
    EXPECT_EQ(text(d), "SELECT t.a\r\nFROM t\r\nORDER BY t.b DESC;");

    d.clear();
    addSelect(d, "t", "*", true, {{"Funcion", "COUNT"}, {"Alias", "n"}});
    EXPECT_EQ(text(d), "SELECT COUNT(*) AS n\r\nFROM t;");

    d.clear();
    addSelect(d, "t", "a", true, {{"Filtro", "= 1"}, {"O", "> 5"}});
    addSelect(d, "t", "b", true, {{"Filtro", "LIKE 'x%'"}});
    addSelect(d, "t", "c", false, {{"O", "IS NULL"}});
    EXPECT_EQ(text(d),
              "SELECT t.a, t.b\r\nFROM t\r\nWHERE (t.a = 1 OR t.a > 5) AND t.b LIKE 'x%' OR "
              "t.c IS NULL;");

    d.clear();
    addSelect(d, "t1", "a", true);
    addSelect(d, "t2", "b", true);
    d.addRelation({"t1", "t2", "a", "b", "INNER JOIN"});
    EXPECT_EQ(d.relations()[0].condition(), "t1.a = t2.b");
    EXPECT_EQ(text(d), "SELECT t1.a, t2.b\r\nFROM t1 INNER JOIN t2 ON t1.a = t2.b;");

    // Everything at once: two relations, the shown list ending on a hidden
    // row, grouping, a group condition, and two orders.
    d.clear();
    addSelect(d, "c", "pais", true, {{"Grupo", "1"}, {"Orden", "ASC"}});
    addSelect(d, "c", "ciudad", true, {{"Grupo", "1"}});
    addSelect(d, "v", "total", true,
              {{"Funcion", " SUM"}, {"Alias", "suma"}, {"Having", "> 10"}, {"OHav", "< 0"}});
    addSelect(d, "v", "fecha", false, {{"Filtro", ">= '2024-01-01'"}, {"Orden", "DESC"}});
    d.addRelation({"c", "v", "id", "cliente", "LEFT JOIN"});
    d.addRelation({"v", "p", "producto", "id", "INNER JOIN"});
    EXPECT_EQ(text(d),
              "SELECT c.pais, c.ciudad, SUM(v.total) AS suma\r\n"
              "FROM c LEFT JOIN v ON c.id = v.cliente\r\nINNER JOIN p ON v.producto = p.id\r\n"
              "WHERE v.fecha >= '2024-01-01'\r\nGROUP BY c.pais,  c.ciudad\r\n"
              "HAVING (SUM(v.total) > 10 OR SUM(v.total) < 0)\r\nORDER BY c.pais, v.fecha DESC;");

    // No table: the bare column; several tables without relations.
    d.clear();
    addSelect(d, "", "1 + 1", true, {{"Alias", "dos"}});
    EXPECT_EQ(text(d), "SELECT \"1 + 1\" AS dos\r\nFROM ;");
    d.clear();
    addSelect(d, "a", "x", true);
    addSelect(d, "b", "y", true);
    addSelect(d, "a", "z", true);
    EXPECT_EQ(text(d), "SELECT a.x, b.y, a.z\r\nFROM a, b;");
}

TEST(QueryDesignSql, UpdateAndDelete) {
    QueryDesign d(QueryDesign::kUpdate);
    int r = d.addRow("t", "a");
    d.setCell(r, "Valor", "1");
    r = d.addRow("t", "b");
    d.setCell(r, "Valor", "'x'");
    d.setCell(r, "Filtro", "= 2");
    EXPECT_EQ(text(d), "UPDATE t\r\nSET a = 1, b = 'x'\r\nWHERE b = 2;");

    d.setCell(0, "Valor", "");
    d.setCell(1, "Valor", "");
    EXPECT_EQ(text(d), "UPDATE t\r\nSET \r\nWHERE b = 2;");
    d.setCell(1, "Filtro", "");
    EXPECT_EQ(text(d), "UPDATE t\r\nSET ;");

    d.setType(QueryDesign::kDelete);
    EXPECT_TRUE(d.isEmpty());
    d.addRow("t", "*");
    r = d.addRow("t", "a");
    d.setCell(r, "Filtro", "< 3");
    d.setCell(r, "O", "IS NULL");
    EXPECT_EQ(text(d), "DELETE FROM t\r\nWHERE (a < 3 OR a IS NULL);");
    d.removeRow(1);
    EXPECT_EQ(text(d), "DELETE FROM t;");

    // No rows: the designer's warning; a bad type or column is refused.
    d.clear();
    EXPECT_EQ(errorOf([&] { text(d); }), QuerySqlBuilder::kNoColumns);
    EXPECT_EQ(errorOf([] { QueryDesign bad(3); }), "QueryDesign: tipo de consulta inválido (3)");
    d.addRow("t", "a");
    EXPECT_EQ(errorOf([&] { d.setCell(0, "Alias", "x"); }),
              "QueryDesign: columna desconocida (Alias)");
}

TEST(QueryDesignSql, AwkwardNamesAreQuoted) {
    QueryDesign d;
    addSelect(d, "order items", "select", true, {{"Alias", "order"}, {"Filtro", "> 0"}});
    addSelect(d, "clientes", "nombre completo", true, {{"Orden", "ASC"}});
    addSelect(d, "\"ya citada\"", "*", true);
    d.addRelation({"order items", "clientes", "cliente id", "id", "INNER JOIN"});
    EXPECT_EQ(text(d),
              "SELECT \"order items\".\"select\" AS \"order\", clientes.\"nombre completo\", "
              "\"ya citada\".*\r\n"
              "FROM \"order items\" INNER JOIN clientes ON \"order items\".\"cliente id\" = "
              "clientes.id\r\nWHERE \"order items\".\"select\" > 0\r\n"
              "ORDER BY clientes.\"nombre completo\";");

    QueryDesign u(QueryDesign::kUpdate);
    int r = u.addRow("order items", "group");
    u.setCell(r, "Valor", "2");
    u.setCell(r, "Filtro", "= 1");
    EXPECT_EQ(text(u), "UPDATE \"order items\"\r\nSET \"group\" = 2\r\nWHERE \"group\" = 1;");
    u.setType(QueryDesign::kDelete);
    r = u.addRow("order items", "my col");
    u.setCell(r, "O", "= 'a\"b'");
    EXPECT_EQ(text(u), "DELETE FROM \"order items\"\r\nWHERE \"my col\" = 'a\"b';");
}

// The generated texts run on a real SQLite file (the sqlite3 shell), names
// with spaces and keywords included, and OUTER JOIN as a full outer join.
TEST(QueryDesignSql, GeneratedTextsRunOnSqlite) {
    testsupport::TempFolder dir("quelmir-designsql");
    const std::string db = dir.file("d.db");
    auto shell = [&](const std::string& sql) {
        return querytest::run("sqlite3 " + shellQuote(db) + " " + shellQuote(sql) + " 2>&1");
    };
    EXPECT_EQ(shell("CREATE TABLE \"order items\"(id INTEGER PRIMARY KEY, cliente INT, "
                    "\"group\" TEXT, total NUMERIC);"
                    "CREATE TABLE clientes(id INTEGER PRIMARY KEY, nombre TEXT);"
                    "INSERT INTO clientes VALUES(1,'Ana'),(2,'Luis'),(3,'Sin ventas');"
                    "INSERT INTO \"order items\" VALUES(1,1,'a',10),(2,1,'b',5),(3,2,'a',7),"
                    "(4,9,'c',1);"),
              "");

    QueryDesign d;
    addSelect(d, "clientes", "nombre", true, {{"Grupo", "1"}, {"Orden", "ASC"}});
    addSelect(d, "order items", "total", true,
              {{"Funcion", "SUM"}, {"Alias", "order"}, {"Having", "> 6"}});
    addSelect(d, "order items", "group", false, {{"Filtro", "<> 'z'"}});
    d.addRelation({"clientes", "order items", "id", "cliente", "INNER JOIN"});
    EXPECT_EQ(shell(text(d)), "Ana|15\nLuis|7\n");

    // Every row of both tables: the unmatched client and the unmatched sale.
    d.setRelation(0, {"clientes", "order items", "id", "cliente", "OUTER JOIN"});
    d.setCell(1, "Having", "");
    d.setCell(2, "Filtro", "");
    const std::string full = text(d, QuerySqlBuilder::sqliteHasFullOuterJoin());
    if (sqlite3_libversion_number() >= 3039000) {
        EXPECT_NE(full.find("FROM clientes FULL OUTER JOIN \"order items\" ON"), std::string::npos);
        EXPECT_EQ(shell(full), "|1\nAna|15\nLuis|7\nSin ventas|\n");
    }
    EXPECT_EQ(errorOf([&] { text(d, false); }), QuerySqlBuilder::kNoFullOuterJoin);

    QueryDesign u(QueryDesign::kUpdate);
    int r = u.addRow("order items", "group");
    u.setCell(r, "Valor", "'x'");
    u.setCell(r, "Filtro", "= 'a'");
    EXPECT_EQ(shell(text(u)), "");
    u.setType(QueryDesign::kDelete);
    r = u.addRow("order items", "total");
    u.setCell(r, "Filtro", "< 6");
    EXPECT_EQ(shell(text(u)), "");
    EXPECT_EQ(shell("SELECT id, \"group\" FROM \"order items\" ORDER BY id;"), "1|x\n3|x\n");
}

TEST(QueryDesignSql, JoinChoicesSayWhatTheyMean) {
    const auto& choices = QuerySqlBuilder::joinChoices();
    ASSERT_EQ(choices.size(), 4u);
    const char* joins[] = {"INNER JOIN", "LEFT JOIN", "OUTER JOIN", "CROSS JOIN"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_STREQ(choices[i].join, joins[i]);
        EXPECT_GT(std::string(choices[i].meaning).size(), 20u);
    }
    QuerySqlBuilder with(true), without(false);
    EXPECT_EQ(with.joinText("outer join"), "FULL OUTER JOIN");
    EXPECT_EQ(without.joinText("LEFT JOIN"), "LEFT JOIN");
    EXPECT_EQ(with.joinText("CROSS JOIN"), "CROSS JOIN");
}

TEST(QueryDesignModel, GridColumnsAndAllowedCharacters) {
    auto titles = [](int type) {
        std::string t;
        for (const DesignColumn& c : QueryDesign::columnsFor(type))
            t += std::string(c.title) + ":" + std::to_string(c.width) + " ";
        return t;
    };
    EXPECT_EQ(titles(QueryDesign::kSelect),
              "Tabla:70 Campo:80 Alias:70 Ver:40 Filtro:80 O:80 Orden:70 Funcion:70 Grupo:40 "
              "Having:80 OHav:80 ");
    EXPECT_EQ(titles(QueryDesign::kUpdate), "Tabla:70 Campo:80 Valor:80 Filtro:80 O:80 ");
    EXPECT_EQ(titles(QueryDesign::kDelete), "Tabla:70 Campo:80 Filtro:80 O:80 ");

    QueryDesign d;
    const auto& cols = d.columns();
    const DesignColumn& alias = cols[size_t(d.columnIndex("Alias"))];
    const DesignColumn& filter = cols[size_t(d.columnIndex("Filtro"))];
    EXPECT_STREQ(cols[size_t(d.columnIndex("Funcion"))].choices, " ,SUM,AVG,COUNT,MIN,MAX");
    EXPECT_EQ(cols[size_t(d.columnIndex("Grupo"))].kind, DesignColumn::Check);
    EXPECT_TRUE(QueryDesign::accepts(alias, "año_Total2ú"));
    EXPECT_FALSE(QueryDesign::accepts(alias, "a b"));
    EXPECT_FALSE(QueryDesign::accepts(alias, "x€"));
    EXPECT_TRUE(QueryDesign::accepts(filter, "LIKE 'Ñu%' OR = (1+2)/3"));
    EXPECT_FALSE(QueryDesign::accepts(filter, "= 1; DROP"));
    EXPECT_FALSE(QueryDesign::accepts(filter, "= \"x\""));
    EXPECT_TRUE(QueryDesign::accepts(cols[0], "any; thing \""));
    EXPECT_EQ(d.columnIndex("Valor"), -1);

    // A new row from the tree is shown; the tables "+" offers, in row order.
    d.addRow("b", "x");
    d.addRow("a", "y");
    d.addRow("b", "z");
    d.addRow("", "1");
    EXPECT_TRUE(d.checked(0, "Ver"));
    EXPECT_EQ(d.tables(), (std::vector<String>{"b", "a"}));
}

TEST(QueryDesignFileTest, WrittenAndReadBackToTheSameTexts) {
    testsupport::TempFolder dir("quelmir-designfile");
    QueryDesign d;
    addSelect(d, "order items", "total", true,
              {{"Funcion", "SUM"}, {"Alias", "suma"}, {"Having", "> 6"}, {"OHav", "< 0"}});
    addSelect(d, "clientes", "nombre", true,
              {{"Grupo", "1"}, {"Orden", "ASC"}, {"Filtro", "LIKE 'A%' & \"<b>\""}});
    addSelect(d, "clientes", "año", false, {{"Orden", "DESC"}, {"O", "= 'ñú'"}});
    d.addRelation({"clientes", "order items", "id", "cliente", "LEFT JOIN"});
    const std::string path = dir.file("consulta.xml");
    QueryDesignFile::save(d, path);
    EXPECT_EQ(dir.files(), std::vector<std::string>{"consulta.xml"});

    const std::string xml = querytest::readAll(path);
    EXPECT_NE(xml.find("<CONSULTA>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<TIPO>1</TIPO>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<Columna Tabla=\"order items\" Campo=\"total\" Alias=\"suma\" Ver=\"1\" "
                       "Filtro=\"\" O=\"\" Orden=\"\" Funcion=\"SUM\" Grupo=\"0\" Having=\"&gt; "
                       "6\" OHav=\"&lt; 0\""),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<Relacion Tabla1=\"clientes\" Tabla2=\"order items\" Campo1=\"id\" "
                       "Campo2=\"cliente\" Join=\"LEFT JOIN\""),
              std::string::npos)
        << xml;

    QueryDesignFile::Loaded back = QueryDesignFile::load(path);
    EXPECT_TRUE(back.warnings.empty());
    EXPECT_TRUE(back.design == d);
    EXPECT_EQ(text(back.design), text(d));

    for (int type : {QueryDesign::kUpdate, QueryDesign::kDelete}) {
        QueryDesign u(type);
        int r = u.addRow("t", "a b");
        if (type == QueryDesign::kUpdate) u.setCell(r, "Valor", "'<x>'");
        u.setCell(r, "Filtro", "IN (1, 2)");
        QueryDesignFile::save(u, path);
        back = QueryDesignFile::load(path);
        EXPECT_EQ(back.design.type(), type);
        EXPECT_EQ(text(back.design), text(u));
    }

    // A folder that is not there: refused, nothing left behind.
    EXPECT_EQ(errorOf([&] { QueryDesignFile::save(d, dir.file("no/x.xml")); }),
              "No se pudo escribir el archivo " + dir.file("no/x.xml"));
    EXPECT_EQ(dir.files(), std::vector<std::string>{"consulta.xml"});
}

TEST(QueryDesignFileTest, BrokenAndDoubtfulFiles) {
    const std::string refused = QueryDesignFile::kNotADesign;
    auto parseError = [](const char* xml) {
        return errorOf([xml] { QueryDesignFile::parse(xml); });
    };
    EXPECT_EQ(parseError("<COLORSCHEMA><TIPO>1</TIPO></COLORSCHEMA>"), refused);
    EXPECT_EQ(parseError("<CONSULTA><COLUMNAS></COLUMNAS></CONSULTA>"), refused);
    EXPECT_EQ(parseError("<CONSULTA><TIPO>3</TIPO></CONSULTA>"), refused);
    EXPECT_EQ(parseError("<CONSULTA><TIPO>uno</TIPO></CONSULTA>"), refused);
    EXPECT_EQ(parseError("<CONSULTA><TIPO>1</TIPO><COLUMNAS>"), refused);
    EXPECT_EQ(parseError("texto sin etiquetas"), refused);
    EXPECT_EQ(errorOf([] { QueryDesignFile::load("/nonexistent/q.xml"); }),
              "No se pudo leer el archivo /nonexistent/q.xml");

    // Unknown attributes and elements are ignored, missing ones are empty;
    // a relation naming a table that is not in the design is kept and
    // reported; a relation without "Join" is an INNER JOIN.
    QueryDesignFile::Loaded l = QueryDesignFile::parse(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<CONSULTA><TIPO> 1 </TIPO>"
        "<COLUMNAS><Columna Tabla=\"t\" Campo=\"a\" Ver=\"1\" Color=\"rojo\" Valor=\"9\"/>"
        "<Otra Tabla=\"x\"/><Columna Tabla=\"t\" Campo=\"b\" Orden=\"DESC\"/></COLUMNAS>"
        "<RELACIONES><Relacion Tabla1=\"t\" Tabla2=\"u\" Campo1=\"a\" Campo2=\"c\"/>"
        "</RELACIONES></CONSULTA>");
    EXPECT_EQ(l.design.rowCount(), 2);
    EXPECT_EQ(l.design.cell(0, "Valor"), "");
    EXPECT_FALSE(l.design.checked(1, "Ver"));
    ASSERT_EQ(l.design.relations().size(), 1u);
    EXPECT_EQ(l.design.relations()[0].join, "INNER JOIN");
    ASSERT_EQ(l.warnings.size(), 1u);
    EXPECT_EQ(l.warnings[0], "La relación t.a = u.c nombra una tabla que no está en el diseño: u");
    EXPECT_EQ(text(l.design),
              "SELECT t.a\r\nFROM t INNER JOIN u ON t.a = u.c\r\nORDER BY t.b DESC;");
}

TEST(DesignerMemoryTest, KeepsACopyOfTheLastDesign) {
    DesignerMemory memory;
    EXPECT_FALSE(memory.hasDesign());
    EXPECT_EQ(memory.startDesign().type(), QueryDesign::kSelect);
    EXPECT_TRUE(memory.startDesign().isEmpty());

    QueryDesign d(QueryDesign::kUpdate);
    d.setCell(d.addRow("t", "a"), "Valor", "1");
    memory.remember(d);
    d.clear();
    QueryDesign start = memory.startDesign();
    EXPECT_TRUE(memory.hasDesign());
    EXPECT_EQ(start.type(), QueryDesign::kUpdate);
    EXPECT_EQ(text(start), "UPDATE t\r\nSET a = 1;");
    start.setType(QueryDesign::kSelect);
    EXPECT_EQ(memory.design().rowCount(), 1);

    memory.forget();
    EXPECT_FALSE(memory.hasDesign());
    EXPECT_TRUE(memory.design().isEmpty());
}
