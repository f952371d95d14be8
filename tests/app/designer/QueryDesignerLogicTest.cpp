// The query designer window's logic without a window: the tree of a real
// SQLite file (and of the real MariaDB server), columns chosen into the
// design, the type change, relations, "Procesar" and the designer memory,
// design files through the window's commands; the SQL it gives is run on
// the file with the sqlite3 shell, on our own server and on MariaDB.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/designer/DesignerMemory.h"
#include "app/designer/QueryDesignFile.h"
#include "app/designer/QueryDesignerLogic.h"
#include "app/designer/QuerySqlBuilder.h"
#include "app/designer/TableJoinLogic.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "db/mysql/MySqlConnection.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "remote/SqliteClientConnection.h"
#include "tests/app/designer/SalesFile.h"
#include "tests/db/mysql/MariaDbServer.h"
#include "tests/server/ServerProcess.h"
#include "tests/support/SqliteShell.h"
#include "tests/support/TempFolder.h"

using testsupport::sqliteShell;
using VORLIN::DataSet;
using VORLIN::MySqlConnection;
using VORLIN::SqliteLocalConnection;
using VORLIN::String;

namespace {

struct Shown {
    std::string text;
    std::string icon;
};

// What the window would show and answer.
struct FakeUi : QueryDesignerLogic::Ui {
    std::vector<Shown> shown;
    std::vector<std::string> titles;  // of the file dialogs
    std::string path;                 // the file "chosen"
    bool answer = true;               // of confirm()
    int confirms = 0;
    int joins = 0;
    // Plays the relation window: false is "Cancelar".
    std::function<bool(TableJoinLogic&)> join;

    void message(const String& text, const char* icon) override {
        shown.push_back({text.toStdString(), icon});
    }
    String saveFile(const String& title, const String& filter) override {
        titles.push_back(title.toStdString() + "|" + filter.toStdString());
        return String(path);
    }
    String openFile(const String& title, const String& filter) override {
        titles.push_back(title.toStdString() + "|" + filter.toStdString());
        return String(path);
    }
    bool askRelation(TableJoinLogic& logic) override {
        ++joins;
        return join ? join(logic) : false;
    }
    bool confirm(const String&) override {
        ++confirms;
        return answer;
    }
};

std::vector<std::string> strings(const std::vector<String>& list) {
    std::vector<std::string> out;
    for (const String& s : list)
        out.push_back(s.toStdString());
    return out;
}

// ventas.db: two related tables and one whose names need quotes.
struct SalesFile : designertest::SalesFile {
    SalesFile()
        : designertest::SalesFile(
              "CREATE TABLE clientes(id INTEGER PRIMARY KEY, nombre TEXT, ciudad TEXT);"
              "INSERT INTO clientes VALUES(1,'Ana','Lima'),(2,'Luis','Quito'),"
              "(3,'Eva','Lima');"
              "CREATE TABLE pedidos(id INTEGER PRIMARY KEY, cliente INTEGER, total REAL);"
              "INSERT INTO pedidos VALUES(10,1,5.5),(11,1,4.5),(12,2,7),(13,9,1);"
              "CREATE TABLE \\\"mis datos\\\"(\\\"el valor\\\" INTEGER, \\\"order\\\" TEXT);"
              "INSERT INTO \\\"mis datos\\\" VALUES(1,'uno'),(2,'dos');") {}
};

// Plays the relation window: tables and columns by name, and a join.
std::function<bool(TableJoinLogic&)> choose(const char* t1, const char* c1, const char* t2,
                                            const char* c2, const char* join = "INNER JOIN") {
    return [=](TableJoinLogic& j) {
        auto at = [](const std::vector<String>& list, const char* name) {
            for (size_t i = 0; i < list.size(); ++i)
                if (list[i] == name) return int(i);
            return -1;
        };
        j.chooseTable(0, at(j.tables(), t1));
        j.chooseColumn(0, at(j.columns(0), c1));
        j.chooseTable(1, at(j.tables(), t2));
        j.chooseColumn(1, at(j.columns(1), c2));
        j.chooseJoin(at(j.joins(), join));
        return true;
    };
}

}  // namespace

TEST(QueryDesignerLogic, TreeOfARealFileAndConnectionErrors) {
    SalesFile f;
    FakeUi ui;
    QueryDesignerLogic logic(f.connection, ui, nullptr);
    EXPECT_EQ(logic.databaseName(), "ventas");
    ASSERT_TRUE(logic.fillTree());
    EXPECT_EQ(strings(logic.tables()),
              (std::vector<std::string>{"clientes", "mis datos", "pedidos"}));
    EXPECT_FALSE(logic.columnsRead("clientes"));
    EXPECT_EQ(strings(logic.columnsOf("clientes")),
              (std::vector<std::string>{"*", "id", "nombre", "ciudad"}));
    EXPECT_TRUE(logic.columnsRead("clientes"));
    EXPECT_EQ(strings(logic.columnsOf("mis datos")),
              (std::vector<std::string>{"*", "el valor", "order"}));
    EXPECT_TRUE(ui.shown.empty());

    // A table that went away since: its error once, and only "*".
    EXPECT_EQ(strings(logic.columnsOf("borrada")), std::vector<std::string>{"*"});
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].icon, "ERROR");
    EXPECT_NE(ui.shown[0].text.find("borrada"), std::string::npos) << ui.shown[0].text;
    logic.columnsOf("borrada");
    EXPECT_EQ(ui.shown.size(), 1u);

    // A connection without an open database: its own text, with "ERROR".
    SqliteLocalConnection closed;
    ASSERT_TRUE(closed.connect(String(f.folder.path + "/"), "", "", false, ""));
    FakeUi ui2;
    QueryDesignerLogic none(closed, ui2, nullptr);
    EXPECT_FALSE(none.fillTree());
    EXPECT_TRUE(none.tables().empty());
    ASSERT_EQ(ui2.shown.size(), 1u);
    EXPECT_EQ(ui2.shown[0].icon, "ERROR");
    EXPECT_EQ(ui2.shown[0].text, "No se ha abierto ninguna base de datos");
}

TEST(QueryDesignerLogic, ChosenColumnsCellsAndTheTypeChange) {
    SalesFile f;
    FakeUi ui;
    QueryDesignerLogic logic(f.connection, ui, nullptr);
    EXPECT_EQ(logic.type(), QueryDesign::kSelect);
    EXPECT_EQ(logic.chooseColumn("clientes", "nombre"), 0);
    EXPECT_EQ(logic.chooseColumn("mis datos", "el valor"), 1);
    const QueryDesign& d = logic.design();
    EXPECT_EQ(d.cell(1, "Tabla"), "mis datos");
    EXPECT_EQ(d.cell(1, "Campo"), "el valor");
    EXPECT_TRUE(d.checked(0, "Ver"));

    const int alias = d.columnIndex("Alias");
    const int filtro = d.columnIndex("Filtro");
    const int ver = d.columnIndex("Ver");
    EXPECT_TRUE(logic.setCell(0, alias, "nombreÑ_1"));
    EXPECT_EQ(d.cell(0, "Alias"), "nombreÑ_1");
    // Refused: the cell keeps its text and the reason is shown.
    EXPECT_FALSE(logic.setCell(0, alias, "mal nombre"));
    EXPECT_EQ(d.cell(0, "Alias"), "nombreÑ_1");
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].icon, "ALERT");
    EXPECT_EQ(ui.shown[0].text, "La columna Alias no admite el carácter ' '");
    EXPECT_EQ(logic.cellProblem(filtro, "= 1;").toStdString(),
              "La columna Filtro no admite el carácter ';'");
    // Line breaks typed in the zoom window are spaces in a filter.
    EXPECT_TRUE(logic.setCell(0, filtro, "LIKE 'A%'\r\nOR 1=1"));
    EXPECT_EQ(d.cell(0, "Filtro"), "LIKE 'A%' OR 1=1");
    EXPECT_TRUE(logic.setCell(0, ver, "0"));
    EXPECT_FALSE(d.checked(0, "Ver"));
    logic.removeRow(0);
    EXPECT_EQ(d.rowCount(), 1);
    EXPECT_EQ(d.cell(0, "Tabla"), "mis datos");

    // The type: kept when the person says no, emptied when yes.
    ui.answer = false;
    EXPECT_FALSE(logic.changeType(QueryDesign::kUpdate));
    EXPECT_EQ(ui.confirms, 1);
    EXPECT_EQ(logic.type(), QueryDesign::kSelect);
    EXPECT_EQ(d.rowCount(), 1);
    ui.answer = true;
    EXPECT_TRUE(logic.changeType(QueryDesign::kUpdate));
    EXPECT_EQ(ui.confirms, 2);
    EXPECT_EQ(logic.type(), QueryDesign::kUpdate);
    EXPECT_TRUE(d.isEmpty());
    EXPECT_EQ(d.columnIndex("Valor"), 2);
    EXPECT_EQ(d.columnIndex("Ver"), -1);
    // An empty design changes without a question.
    EXPECT_TRUE(logic.changeType(QueryDesign::kDelete));
    EXPECT_EQ(ui.confirms, 2);
    EXPECT_FALSE(logic.changeType(QueryDesign::kDelete));
}

TEST(QueryDesignerLogic, RelationsAddEditRemoveAndTheirAlerts) {
    SalesFile f;
    FakeUi ui;
    QueryDesignerLogic logic(f.connection, ui, nullptr);
    logic.fillTree();
    logic.chooseColumn("clientes", "nombre");
    // One table: nothing to relate.
    EXPECT_FALSE(logic.addRelation());
    EXPECT_EQ(ui.joins, 0);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text, QueryDesignerLogic::kTwoTables);
    EXPECT_EQ(ui.shown[0].icon, "ALERT");

    logic.chooseColumn("pedidos", "total");
    logic.chooseColumn("clientes", "ciudad");
    // The window offers the design's tables, in row order, and the tree's
    // columns of each (without "*").
    ui.join = [](TableJoinLogic& j) {
        EXPECT_EQ(strings(j.tables()), (std::vector<std::string>{"clientes", "pedidos"}));
        j.chooseTable(1, 1);
        EXPECT_EQ(strings(j.columns(1)), (std::vector<std::string>{"id", "cliente", "total"}));
        return false;
    };
    EXPECT_FALSE(logic.addRelation());
    EXPECT_TRUE(logic.design().relations().empty());

    ui.join = choose("clientes", "id", "pedidos", "cliente");
    ASSERT_TRUE(logic.addRelation());
    EXPECT_EQ(strings(logic.relationTexts()),
              std::vector<std::string>{"clientes.id = pedidos.cliente"});
    EXPECT_EQ(logic.design().relations()[0].join, "INNER JOIN");

    // "!" and "-" need a selected entry.
    ui.shown.clear();
    EXPECT_FALSE(logic.editRelation(-1));
    EXPECT_FALSE(logic.removeRelation(-1));
    EXPECT_FALSE(logic.removeRelation(3));
    ASSERT_EQ(ui.shown.size(), 3u);
    for (const Shown& s : ui.shown) {
        EXPECT_EQ(s.text, "Seleccione una relación");
        EXPECT_EQ(s.icon, "ALERT");
    }

    // "!" starts from the relation as it is.
    ui.join = [](TableJoinLogic& j) {
        EXPECT_EQ(j.tableName(0), "clientes");
        EXPECT_EQ(j.columnName(0), "id");
        EXPECT_EQ(j.tableName(1), "pedidos");
        EXPECT_EQ(j.columnName(1), "cliente");
        EXPECT_EQ(j.joins()[size_t(j.join())], "INNER JOIN");
        j.chooseJoin(1);
        return true;
    };
    ASSERT_TRUE(logic.editRelation(0));
    EXPECT_EQ(logic.design().relations()[0].join, "LEFT JOIN");
    EXPECT_EQ(strings(logic.relationTexts()),
              std::vector<std::string>{"clientes.id = pedidos.cliente"});

    ASSERT_TRUE(logic.removeRelation(0));
    EXPECT_TRUE(logic.design().relations().empty());

    // Relations are for SELECT only.
    logic.changeType(QueryDesign::kUpdate);
    logic.chooseColumn("clientes", "nombre");
    logic.chooseColumn("pedidos", "total");
    const int joins = ui.joins;
    EXPECT_FALSE(logic.canRelate());
    EXPECT_FALSE(logic.addRelation());
    EXPECT_EQ(ui.joins, joins);
}

TEST(QueryDesignerLogic, TableJoinLogicChoicesAndChecks) {
    std::vector<std::string> asked;
    auto columns = [&asked](const String& t) {
        asked.push_back(t.toStdString());
        return t == "a" ? std::vector<String>{"*", "x", "y"} : std::vector<String>{"*", "z"};
    };
    TableJoinLogic j({"a", "b"}, columns);
    EXPECT_EQ(j.table(0), -1);
    EXPECT_TRUE(j.columns(0).empty());
    EXPECT_EQ(j.problem(), TableJoinLogic::kIncomplete);
    j.chooseTable(0, 0);
    EXPECT_EQ(strings(j.columns(0)), (std::vector<std::string>{"x", "y"}));
    j.chooseColumn(0, 1);
    // Another table empties the column.
    j.chooseTable(0, 1);
    EXPECT_EQ(strings(j.columns(0)), std::vector<std::string>{"z"});
    EXPECT_EQ(j.column(0), -1);
    j.chooseColumn(0, 0);
    j.chooseTable(1, 1);
    j.chooseColumn(1, 0);
    EXPECT_EQ(j.problem(), TableJoinLogic::kSameTable);
    EXPECT_THROW(j.relation(), VORLIN::GeneralException);
    j.chooseTable(1, 0);
    j.chooseColumn(1, 0);
    EXPECT_EQ(j.problem(), "");
    EXPECT_EQ(asked, (std::vector<std::string>{"a", "b", "b", "a"}));
    EXPECT_EQ(strings(j.joins()),
              (std::vector<std::string>{"INNER JOIN", "LEFT JOIN", "OUTER JOIN", "CROSS JOIN"}));
    j.chooseJoin(2);
    EXPECT_NE(j.meaning().toStdString().find("FULL OUTER JOIN"), std::string::npos);
    const TableRelation r = j.relation();
    EXPECT_EQ(r.condition(), "b.z = a.x");
    EXPECT_EQ(r.join, "OUTER JOIN");
    EXPECT_THROW(j.chooseTable(0, 2), VORLIN::GeneralException);
    EXPECT_THROW(j.chooseColumn(2, 0), VORLIN::GeneralException);

    // A join typed into a design file stays what it was when edited.
    TableRelation typed{"a", "c", "x", "w", "RIGHT JOIN"};
    TableJoinLogic k({"a", "b"}, columns, &typed);
    EXPECT_EQ(strings(k.tables()), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(k.columnName(0), "x");
    EXPECT_EQ(k.tableName(1), "c");
    EXPECT_EQ(k.joins().back(), "RIGHT JOIN");
    EXPECT_EQ(k.joins()[size_t(k.join())], "RIGHT JOIN");
    k.chooseColumn(1, 0);
    EXPECT_EQ(k.relation().join, "RIGHT JOIN");
    EXPECT_EQ(k.relation().campo2, "z");
}

TEST(QueryDesignerLogic, ProcesarEmptyThenTheSqlRunsAndTheMemoryKeepsIt) {
    SalesFile f;
    FakeUi ui;
    DesignerMemory memory;
    QueryDesignerLogic logic(f.connection, ui, &memory);
    EXPECT_FALSE(logic.process());
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text, "Seleccione al menos una columna de una tabla");
    EXPECT_EQ(ui.shown[0].icon, "ALERT");
    EXPECT_FALSE(memory.hasDesign());
    EXPECT_TRUE(logic.sql().isEmpty());

    const QueryDesign& d = logic.design();
    int r = logic.chooseColumn("clientes", "nombre");
    logic.setCell(r, d.columnIndex("Orden"), "ASC");
    r = logic.chooseColumn("pedidos", "total");
    logic.setCell(r, d.columnIndex("Funcion"), "SUM");
    logic.setCell(r, d.columnIndex("Alias"), "suma");
    r = logic.chooseColumn("clientes", "ciudad");
    logic.setCell(r, d.columnIndex("Ver"), "0");
    logic.setCell(r, d.columnIndex("Filtro"), "= 'Lima'");
    logic.setCell(r, d.columnIndex("O"), "= 'Quito'");
    logic.setCell(0, d.columnIndex("Grupo"), "1");
    ui.join = choose("clientes", "id", "pedidos", "cliente");
    ASSERT_TRUE(logic.addRelation());
    ASSERT_TRUE(logic.process());
    EXPECT_EQ(logic.sql().toStdString(),
              "SELECT clientes.nombre, SUM(pedidos.total) AS suma\r\n"
              "FROM clientes INNER JOIN pedidos ON clientes.id = pedidos.cliente\r\n"
              "WHERE (clientes.ciudad = 'Lima' OR clientes.ciudad = 'Quito')\r\n"
              "GROUP BY clientes.nombre\r\n"
              "ORDER BY clientes.nombre;");
    EXPECT_EQ(f.run(logic.sql()), "Ana|10.0\nLuis|7.0\n");
    ASSERT_TRUE(memory.hasDesign());
    EXPECT_EQ(memory.design(), d);

    // A new designer starts from it; changing it there leaves the memory
    // as it was until that one's "Procesar".
    FakeUi ui2;
    QueryDesignerLogic again(f.connection, ui2, &memory);
    EXPECT_EQ(again.design(), d);
    again.clear();
    EXPECT_TRUE(again.design().isEmpty());
    EXPECT_EQ(memory.design().rowCount(), 3);
    EXPECT_FALSE(again.process());
    EXPECT_EQ(memory.design().rowCount(), 3);
}

TEST(QueryDesignerLogic, FullOuterJoinAndQuotedNamesRunOnTheFile) {
    SalesFile f;
    EXPECT_EQ(QueryDesignerLogic::hasFullOuterJoin(f.connection),
              QuerySqlBuilder::sqliteHasFullOuterJoin());
    if (!QuerySqlBuilder::sqliteHasFullOuterJoin())
        GTEST_SKIP() << "this SQLite library has no FULL OUTER JOIN";
    FakeUi ui;
    QueryDesignerLogic logic(f.connection, ui, nullptr);
    const QueryDesign& d = logic.design();
    logic.chooseColumn("clientes", "nombre");
    int r = logic.chooseColumn("pedidos", "id");
    logic.setCell(r, d.columnIndex("Orden"), "ASC");
    ui.join = choose("clientes", "id", "pedidos", "cliente", "OUTER JOIN");
    ASSERT_TRUE(logic.addRelation());
    ASSERT_TRUE(logic.process()) << (ui.shown.empty() ? "" : ui.shown[0].text);
    EXPECT_NE(logic.sql().toStdString().find("FULL OUTER JOIN pedidos"), std::string::npos);
    // Eva has no order, order 13 no client: both are there.
    EXPECT_EQ(f.run(logic.sql()), "Eva|\nAna|10\nAna|11\nLuis|12\n|13\n");

    // Names that need quotes, in a SELECT and a DELETE.
    logic.clear();
    r = logic.chooseColumn("mis datos", "order");
    logic.setCell(r, d.columnIndex("Alias"), "orden");
    r = logic.chooseColumn("mis datos", "el valor");
    logic.setCell(r, d.columnIndex("Ver"), "0");
    logic.setCell(r, d.columnIndex("Filtro"), "> 1");
    ASSERT_TRUE(logic.process());
    EXPECT_EQ(logic.sql().toStdString(),
              "SELECT \"mis datos\".\"order\" AS orden\r\nFROM \"mis datos\"\r\n"
              "WHERE \"mis datos\".\"el valor\" > 1;");
    EXPECT_EQ(f.run(logic.sql()), "dos\n");
    ASSERT_TRUE(logic.changeType(QueryDesign::kDelete));
    logic.chooseColumn("mis datos", "*");
    r = logic.chooseColumn("mis datos", "el valor");
    logic.setCell(r, d.columnIndex("Filtro"), "= 1");
    ASSERT_TRUE(logic.process());
    EXPECT_EQ(logic.sql().toStdString(), "DELETE FROM \"mis datos\"\r\nWHERE \"el valor\" = 1;");
    EXPECT_EQ(f.run(logic.sql()), "");
    EXPECT_EQ(sqliteShell(f.db, "SELECT count(*) FROM \\\"mis datos\\\";"), "1\n");
}

TEST(QueryDesignerLogic, GuardarAndAbrirThroughTheWindowLogic) {
    SalesFile f;
    FakeUi ui;
    QueryDesignerLogic logic(f.connection, ui, nullptr);
    const QueryDesign& d = logic.design();
    int r = logic.chooseColumn("clientes", "nombre");
    logic.setCell(r, d.columnIndex("Filtro"), "LIKE 'A%'");
    logic.chooseColumn("pedidos", "total");
    ui.join = choose("clientes", "id", "pedidos", "cliente", "LEFT JOIN");
    ASSERT_TRUE(logic.addRelation());
    const QueryDesign saved = d;

    // Cancelled: nothing written, nothing said.
    ui.path.clear();
    EXPECT_FALSE(logic.save());
    EXPECT_TRUE(ui.shown.empty());
    ui.path = f.folder.file("consulta.xml");
    ASSERT_TRUE(logic.save());
    EXPECT_EQ(ui.titles.back(), "Guardar diseño de consulta|Archivos XML (*.xml)|*.xml");
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text, "*** Diseño de consulta guardado ****");
    EXPECT_EQ(ui.shown[0].icon, "INFO");
    const std::string xml = testsupport::fileBytes(ui.path);
    EXPECT_NE(xml.find("<CONSULTA>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("Join=\"LEFT JOIN\""), std::string::npos) << xml;

    logic.clear();
    EXPECT_TRUE(d.isEmpty());
    ASSERT_TRUE(logic.open());
    EXPECT_EQ(ui.titles.back(), "Abrir diseño de consulta|Archivos XML (*.xml)|*.xml");
    EXPECT_EQ(d, saved);
    EXPECT_EQ(strings(logic.relationTexts()),
              std::vector<std::string>{"clientes.id = pedidos.cliente"});
    EXPECT_EQ(ui.shown.size(), 1u);

    // A file of another kind: the error, and the design stays.
    ui.path = f.folder.file("otro.xml");
    std::ofstream(ui.path) << "<?xml version=\"1.0\"?>\n<COLORSCHEMA><A>1</A></COLORSCHEMA>\n";
    EXPECT_FALSE(logic.open());
    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_EQ(ui.shown[1].text, "El archivo no contiene información de un diseño de consulta");
    EXPECT_EQ(ui.shown[1].icon, "ERROR");
    EXPECT_EQ(d, saved);

    // A design whose relation names a table no row has: read, and said.
    ui.path = f.folder.file("raro.xml");
    std::ofstream(ui.path) << "<CONSULTA><TIPO>1</TIPO><COLUMNAS><Columna Tabla=\"clientes\" "
                              "Campo=\"id\" Ver=\"1\"/></COLUMNAS><RELACIONES><Relacion "
                              "Tabla1=\"clientes\" Tabla2=\"otra\" Campo1=\"id\" Campo2=\"x\" "
                              "Join=\"INNER JOIN\"/></RELACIONES></CONSULTA>";
    ASSERT_TRUE(logic.open());
    EXPECT_EQ(d.rowCount(), 1);
    ASSERT_EQ(ui.shown.size(), 3u);
    EXPECT_EQ(ui.shown[2].icon, "ALERT");
    EXPECT_NE(ui.shown[2].text.find("otra"), std::string::npos);

    // A file that cannot be written: the error, and the design stays.
    ui.path = f.folder.file("no/existe/consulta.xml");
    EXPECT_FALSE(logic.save());
    ASSERT_EQ(ui.shown.size(), 4u);
    EXPECT_EQ(ui.shown[3].icon, "ERROR");
    EXPECT_EQ(d.rowCount(), 1);
}

TEST(QueryDesignerLogic, TheRealMariaDbServerTreeAndJoins) {
    static bool started = [] { return quelmir_test::server().start(); }();
    (void)started;
    auto& maria = quelmir_test::server();
    if (maria.missing()) GTEST_SKIP() << maria.error();
    ASSERT_TRUE(maria.error().empty()) << maria.error();
    ASSERT_TRUE(maria.rootQuery("DROP DATABASE IF EXISTS design_t"));
    ASSERT_TRUE(maria.rootQuery("CREATE DATABASE design_t"));
    ASSERT_TRUE(
        maria.rootQuery("CREATE TABLE design_t.clientes(id INT PRIMARY KEY, nombre VARCHAR(20))"));
    ASSERT_TRUE(maria.rootQuery(
        "CREATE TABLE design_t.`mis pedidos`(id INT PRIMARY KEY, cliente INT, `order` INT)"));
    ASSERT_TRUE(
        maria.rootQuery("INSERT INTO design_t.clientes VALUES(1,'Ana'),(2,'Luis'),(3,'Eva')"));
    ASSERT_TRUE(maria.rootQuery("INSERT INTO design_t.`mis pedidos` VALUES(10,1,7),(11,2,8)"));
    MySqlConnection c;
    ASSERT_TRUE(c.connect(String(maria.hostWithPort()), quelmir_test::MariaDbServer::kUser,
                          quelmir_test::MariaDbServer::kPassword, false, "design_t"))
        << c.lastError().c_str();
    c.openDatabase("design_t", false, "", "");
    EXPECT_FALSE(QueryDesignerLogic::hasFullOuterJoin(c));

    FakeUi ui;
    QueryDesignerLogic logic(c, ui, nullptr);
    EXPECT_EQ(logic.databaseName(), "design_t");
    ASSERT_TRUE(logic.fillTree());
    EXPECT_EQ(strings(logic.tables()), (std::vector<std::string>{"clientes", "mis pedidos"}));
    EXPECT_EQ(strings(logic.columnsOf("mis pedidos")),
              (std::vector<std::string>{"*", "id", "cliente", "order"}));

    const QueryDesign& d = logic.design();
    logic.chooseColumn("clientes", "nombre");
    const int r = logic.chooseColumn("mis pedidos", "order");
    logic.setCell(r, d.columnIndex("Orden"), "DESC");
    ui.join = choose("clientes", "id", "mis pedidos", "cliente", "OUTER JOIN");
    ASSERT_TRUE(logic.addRelation());
    // No FULL OUTER JOIN in MySQL: refused before it reaches the server.
    EXPECT_FALSE(logic.process());
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text, QuerySqlBuilder::kNoFullOuterJoin);
    EXPECT_EQ(ui.shown[0].icon, "ALERT");

    ui.join = choose("clientes", "id", "mis pedidos", "cliente", "LEFT JOIN");
    ASSERT_TRUE(logic.editRelation(0));
    ASSERT_TRUE(logic.process());
    DataSet rows;
    c.queryDataset(logic.sql(), &rows, "", false);
    ASSERT_EQ(rows.rowCount(), 3);
    EXPECT_EQ(rows.row(0)->cell(0)->toString(), "Luis");
    EXPECT_EQ(rows.row(0)->cell(1)->toInt(), 8);
    EXPECT_EQ(rows.row(1)->cell(0)->toString(), "Ana");
    EXPECT_EQ(rows.row(2)->cell(0)->toString(), "Eva");
    EXPECT_TRUE(rows.row(2)->cell(1)->isNull());
}

TEST(QueryDesignerLogic, TheRemoteServiceTellsItsOwnSqliteVersion) {
    testing_server::TempDir data;
    sqliteShell(data.file("ventas.db"),
                "CREATE TABLE a(id INTEGER PRIMARY KEY, t TEXT);"
                "CREATE TABLE b(id INTEGER PRIMARY KEY, a INTEGER);"
                "INSERT INTO a VALUES(1,'uno'),(2,'dos');INSERT INTO b VALUES(7,2),(8,5);");
    testing_server::ServerProcess server(data.path());
    ASSERT_TRUE(server.started());
    VORLIN::SqliteClientConnection c(false);
    ASSERT_TRUE(c.connect(String(server.address()), "", "", false, "-")) << c.lastError().c_str();
    ASSERT_TRUE(c.openDatabase("ventas")) << c.lastError().c_str();
    const String version = c.queryString("SELECT sqlite_version();");
    int major = 0, minor = 0;
    ASSERT_EQ(std::sscanf(version.c_str(), "%d.%d", &major, &minor), 2) << version.c_str();
    const bool full = major > 3 || (major == 3 && minor >= 39);
    EXPECT_EQ(QueryDesignerLogic::hasFullOuterJoin(c), full);

    FakeUi ui;
    QueryDesignerLogic logic(c, ui, nullptr);
    ASSERT_TRUE(logic.fillTree());
    EXPECT_EQ(strings(logic.tables()), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(strings(logic.columnsOf("b")), (std::vector<std::string>{"*", "id", "a"}));
    const QueryDesign& d = logic.design();
    int r = logic.chooseColumn("a", "t");
    logic.setCell(r, d.columnIndex("Orden"), "ASC");
    logic.chooseColumn("b", "id");
    ui.join = choose("a", "id", "b", "a", "OUTER JOIN");
    ASSERT_TRUE(logic.addRelation());
    if (!full) {
        EXPECT_FALSE(logic.process());
        return;
    }
    ASSERT_TRUE(logic.process());
    DataSet rows;
    c.queryDataset(logic.sql(), &rows, "", false);
    ASSERT_EQ(rows.rowCount(), 3);
    EXPECT_TRUE(rows.row(0)->cell(0)->isNull());
    EXPECT_EQ(rows.row(0)->cell(1)->toInt(), 8);
    EXPECT_EQ(rows.row(1)->cell(0)->toString(), "dos");
    EXPECT_EQ(rows.row(2)->cell(0)->toString(), "uno");
    EXPECT_TRUE(rows.row(2)->cell(1)->isNull());
    c.disconnect();
}
