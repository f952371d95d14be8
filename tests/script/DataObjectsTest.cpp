// The script data objects called directly: the reference and list grammar,
// grids (sums, sorting, merging, exporting), rows, and the mapped rows and
// their collections over a real SQLite database.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ScriptTestSupport.h"
#include "data/DataSet.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "script/AdmObjExpanded.h"
#include "script/AdmObjInstance.h"
#include "script/ConxObj.h"
#include "script/HeadlessHost.h"
#include "script/ItemGrid.h"
#include "script/ItemRow.h"
#include "script/ItemTable.h"
#include "script/MemberTables.h"
#include "script/ScriptSession.h"
#include "script/TableDef.h"

namespace {

namespace fs = std::filesystem;
using namespace scripttest;
using VORLIN::AdmObjExpanded;
using VORLIN::AdmObjInstance;
using VORLIN::ConxObj;
using VORLIN::ItemGrid;
using VORLIN::ItemRow;
using VORLIN::ItemTable;
using VORLIN::MemberTables;
using VORLIN::RefDescription;
using VORLIN::SqliteLocalConnection;

// An argument row of plain values.
std::unique_ptr<DataRow> args(std::initializer_list<DataItem> values) {
    auto row = std::make_unique<DataRow>(int(values.size()));
    int i = 0;
    for (const DataItem& v : values)
        row->cell(i++)->copyFrom(v);
    return row;
}

DataItem ref(Interfasable* o) {
    DataItem d;
    d.setObj(o, false);
    return d;
}

class DataObjects : public ::testing::Test {
protected:
    void SetUp() override { MemberTables::registerAll(); }
};

TEST(DataObjectsGrammar, ReferenceAndListSpecifications) {
    RefDescription d;
    ASSERT_TRUE(RefDescription::parse("cliente: clientes", false, "facturas", d));
    EXPECT_EQ(d.texts[0], "cliente");
    EXPECT_EQ(d.texts[1], "clientes");
    ASSERT_TRUE(RefDescription::parse("cliente", false, "facturas", d));
    EXPECT_EQ(d.texts[1], "cliente");  // the table defaults to the column's name

    RefDescription l;
    ASSERT_TRUE(RefDescription::parse("lineas: detalle factura_id, id DESC, n: cantidad > 0: x",
                                      true, "facturas", l));
    EXPECT_EQ(l.texts[0], "lineas");
    EXPECT_EQ(l.texts[1], "detalle");
    EXPECT_EQ(l.texts[2], "factura_id");
    EXPECT_EQ(l.texts[3], "id DESC, n");
    EXPECT_EQ(l.texts[4], "cantidad > 0: x");
    RefDescription m;
    ASSERT_TRUE(RefDescription::parse("lineas. lineas", true, "facturas", m));
    EXPECT_EQ(m.texts[1], "lineas");
    EXPECT_EQ(m.texts[2], "facturas");  // the foreign key defaults to the parent's name
    EXPECT_EQ(m.texts[3], "");
    EXPECT_FALSE(RefDescription::parse(": x", true, "t", m));
}

TEST_F(DataObjects, GridMembers) {
    ItemGrid g("nombre|edad|activo", "string|int|bool");
    for (auto [n, e, a] : {std::tuple{"Luis", 25, true}, {"Ana", 30, false}, {"Ana", 20, true}}) {
        DataItem r = g.execute("addNewRow", nullptr);
        DataRow* row = dynamic_cast<DataRow*>(r.getObj());
        ASSERT_NE(row, nullptr);
        row->cell(0)->setString(n);
        row->cell(1)->setInt(e);
        row->cell(2)->setBool(a);
    }
    EXPECT_EQ(g.execute("size", nullptr).toInt(), 3);
    EXPECT_EQ(g.execute("getColumnListValues", args({DataItem("edad")}).get()).text(), "25,30,20");
    EXPECT_EQ(g.execute("getColumnListValues", args({DataItem("nada")}).get()).text(), "");
    EXPECT_EQ(g.execute("sumaDe", args({DataItem("edad")}).get()).toDouble(), 75.0);
    EXPECT_EQ(g.execute("sumaDe", args({DataItem("edad"), DataItem("activo")}).get()).toDouble(),
              45.0);
    EXPECT_EQ(
        g.execute("sumaProducto", args({DataItem("edad"), DataItem("edad")}).get()).toDouble(),
        625.0 + 900 + 400);
    g.execute("multiSort", args({DataItem("nombre"), DataItem("edad -")}).get());
    EXPECT_EQ(g.execute("getColumnListValues", args({DataItem("edad")}).get()).text(), "30,20,25");
    EXPECT_EQ(messageOf([&] { g.execute("nada", nullptr); }),
              "DataSet: No existe la función: nada");

    ItemGrid other("edad|nombre", "int|string");
    other.execute("merge", args({ref(&g)}).get());
    EXPECT_EQ(other.execute("getColumnListValues", args({DataItem("nombre")}).get()).text(),
              "Ana,Ana,Luis");
    ItemGrid empty;
    empty.execute("merge", args({ref(&g)}).get());
    EXPECT_EQ(empty.execute("size", nullptr).toInt(), 3);

    fs::path file = fs::temp_directory_path() / ("quelmir-export-" + std::to_string(::getpid()));
    g.execute("export", args({DataItem(file.string().c_str())}).get());
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str().substr(0, 20), "nombre\tedad\tactivo\r\n");
    EXPECT_NE(s.str().find("Ana\t30\t"), std::string::npos);
    fs::remove(file);

    g.execute("deleteWhere", args({DataItem("nombre"), DataItem("Ana")}).get());
    EXPECT_EQ(g.execute("size", nullptr).toInt(), 1);
}

TEST_F(DataObjects, GridHeadOnEmptySetGivesNull) {
    ItemGrid g;
    VariableList vars;
    Variable* element = vars.add("fila");
    element->value().setInt(5);
    DataRow a(1);
    *a.cell(0) = Variable::makeReference(element);
    g.execute("head", &a);
    EXPECT_TRUE(element->value().isNull());
}

TEST_F(DataObjects, RowForwardsToItsDataRow) {
    ItemRow r(2);
    EXPECT_TRUE(r.hasMember("queryDataRow"));
    EXPECT_TRUE(r.hasMember("size"));
    EXPECT_EQ(r.execute("size", nullptr).toInt(), 2);
    EXPECT_EQ(messageOf([&] { r.execute("queryDataRow", args({DataItem("SELECT 1")}).get()); }),
              "DataRow.queryDataRow: no se especificó la conexion");
    ItemRow none(0);
    EXPECT_EQ(none.row(), nullptr);
}

class DataObjectsMapping : public DataObjects {
protected:
    fs::path dir;
    SqliteLocalConnection db;
    void SetUp() override {
        DataObjects::SetUp();
        dir = fs::temp_directory_path() / ("quelmir-mapping-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        ASSERT_TRUE(db.connect(String(dir.string() + "/"), "", "", false, "-"));
        ASSERT_TRUE(db.openDatabase("m", true));
        db.execute("CREATE TABLE padres (id INTEGER PRIMARY KEY, nombre TEXT, jefe INTEGER)");
        db.execute("CREATE TABLE hijos (id INTEGER PRIMARY KEY, padre INTEGER, n INTEGER)");
        db.execute("INSERT INTO padres VALUES (1, 'uno', 2)");
        db.execute("INSERT INTO padres VALUES (2, 'dos', 1)");
        db.execute("INSERT INTO hijos VALUES (10, 1, 5)");
        db.execute("INSERT INTO hijos VALUES (11, 1, 6)");
    }
    void TearDown() override {
        db.disconnect();
        fs::remove_all(dir);
    }
};

TEST_F(DataObjectsMapping, InstancesByKeySubObjectsAndCycles) {
    ConxObj c(&db, "m");
    EXPECT_EQ(c.tableCount(), 2);
    // A table that refers to itself, with a cycle in the data.
    c.execute("addReference", args({DataItem("padres.jefe: padres"), DataItem(int32_t(0))}).get());
    DataItem p = c.execute("newInstance", args({DataItem("padres"), DataItem(int32_t(1))}).get());
    auto* one = dynamic_cast<AdmObjInstance*>(p.getObj());
    ASSERT_NE(one, nullptr);
    EXPECT_TRUE(p.ownsObject());
    EXPECT_EQ(one->key(), 1);
    EXPECT_EQ(one->getMemberItem("nombre")->text(), "uno");
    EXPECT_EQ(one->getMemberItem("jefe.nombre")->text(), "dos");
    EXPECT_EQ(one->getMemberItem("jefe.jefe.jefe.nombre")->text(), "dos");
    EXPECT_EQ(one->getMemberItem("nada"), nullptr);
    one->execute("setInstance", args({DataItem(int32_t(99))}).get());
    EXPECT_EQ(one->key(), 0);
    EXPECT_TRUE(one->getMemberItem("nombre")->isNull());
    EXPECT_EQ(messageOf([&] { one->execute("zzz", nullptr); }), "Not such function: zzz.padres");
    EXPECT_EQ(messageOf([&] {
                  c.execute("newInstance", args({DataItem("x"), DataItem(int32_t(1))}).get());
              }),
              "La tabla x no existe en la conexión m");
    EXPECT_EQ(messageOf([&] { c.execute("setPrimaryKey", args({DataItem("padres.nada")}).get()); }),
              "No se puede definir padres.nada como PrimaryKey en la conexión m");
}

TEST_F(DataObjectsMapping, CollectionsLoadSaveAndDelete) {
    ConxObj c(&db, "m");
    c.execute("addListReference", args({DataItem("padres.hijos: hijos padre, n DESC")}).get());
    DataItem p = c.execute("newInstance", args({DataItem("padres"), DataItem(int32_t(1))}).get());
    auto* one = dynamic_cast<AdmObjInstance*>(p.getObj());
    AdmObjExpanded* kids = one->collection("hijos");
    ASSERT_NE(kids, nullptr);
    EXPECT_EQ(kids->size(), 2);
    EXPECT_EQ(kids->execute("getColumnListValues", args({DataItem("n")}).get()).text(), "6,5");
    EXPECT_EQ(one->getMemberItem("hijos[1].n")->toInt(), 5);
    kids->execute("deleteAt", args({DataItem(int32_t(0))}).get());
    DataItem added = kids->execute("addNewInstance", nullptr);
    dynamic_cast<AdmObjInstance*>(added.getObj())->getMemberItem("n")->setInt(7);
    EXPECT_EQ(one->execute("serialize", nullptr).toInt(), 1);
    EXPECT_EQ(db.queryString("SELECT group_concat(n || '/' || padre) FROM hijos ORDER BY id"),
              "5/1,7/1");

    // A new parent: the collection gets the new key on saving.
    DataItem q = c.execute("newInstance", args({DataItem("padres"), DataItem(int32_t(0))}).get());
    auto* fresh = dynamic_cast<AdmObjInstance*>(q.getObj());
    AdmObjExpanded* none = fresh->collection("hijos");
    EXPECT_EQ(none->size(), 0);  // parent key 0: no query
    DataItem k = none->execute("addNewInstance", nullptr);
    dynamic_cast<AdmObjInstance*>(k.getObj())->getMemberItem("n")->setInt(9);
    fresh->getMemberItem("nombre")->setString("tres");
    int32_t key = fresh->execute("serialize", nullptr).toInt();
    EXPECT_EQ(key, 3);
    EXPECT_EQ(db.queryInt("SELECT padre FROM hijos WHERE n = 9"), 3);
    EXPECT_EQ(messageOf([&] { none->execute("getColumnListValues", nullptr); }),
              "AdmObjExpanded.getColumnListValues: bad arguments");
    EXPECT_EQ(messageOf([&] { none->execute("nada", nullptr); }),
              "AdmObjExpanded: No existe la función: nada");
}

TEST_F(DataObjectsMapping, CopiesFromAnotherTableMatchColumnsByName) {
    // The same columns in another order, and one more.
    db.execute(
        "CREATE TABLE copias (nombre TEXT, extra TEXT, id INTEGER PRIMARY KEY, jefe INTEGER)");
    db.execute("INSERT INTO copias VALUES ('siete', 'x', 7, 2)");
    ConxObj c(&db, "m");
    c.execute("addListReference", args({DataItem("padres.hijos: hijos padre")}).get());
    DataItem p = c.execute("newInstance", args({DataItem("padres"), DataItem(int32_t(1))}).get());
    DataItem o = c.execute("newInstance", args({DataItem("copias"), DataItem(int32_t(7))}).get());
    auto* one = dynamic_cast<AdmObjInstance*>(p.getObj());
    one->execute("from", args({o}).get());
    EXPECT_EQ(one->key(), 1);
    EXPECT_EQ(one->getMemberItem("id")->toInt(), 1);
    EXPECT_EQ(one->getMemberItem("nombre")->text(), "siete");
    EXPECT_EQ(one->getMemberItem("jefe")->toInt(), 2);
    one->execute("serialize", nullptr);
    EXPECT_EQ(db.queryString("SELECT nombre || '/' || jefe FROM padres WHERE id = 1"), "siete/2");
    // With the key: the copied key cell is this row's key from then on.
    DataItem q = c.execute("newInstance", args({DataItem("padres"), DataItem(int32_t(0))}).get());
    auto* fresh = dynamic_cast<AdmObjInstance*>(q.getObj());
    fresh->execute("from", args({o, DataItem(true)}).get());
    EXPECT_EQ(fresh->key(), 7);

    // A row of another table added to a collection is copied the same way.
    db.execute("CREATE TABLE sueltos (n INTEGER, id INTEGER PRIMARY KEY, padre INTEGER)");
    db.execute("INSERT INTO sueltos VALUES (42, 5, 9)");
    ConxObj d(&db, "m");
    d.execute("addListReference", args({DataItem("padres.hijos: hijos padre")}).get());
    DataItem r = d.execute("newInstance", args({DataItem("padres"), DataItem(int32_t(2))}).get());
    DataItem s = d.execute("newInstance", args({DataItem("sueltos"), DataItem(int32_t(5))}).get());
    AdmObjExpanded* kids = dynamic_cast<AdmObjInstance*>(r.getObj())->collection("hijos");
    ASSERT_NE(kids, nullptr);
    kids->execute("add", args({s}).get());
    r.getObj()->execute("serialize", nullptr);
    EXPECT_EQ(db.queryString("SELECT n || '/' || padre FROM hijos WHERE padre = 2"), "42/2");
}

TEST_F(DataObjectsMapping, ParentAndUnknownColumnsGiveEmptyValues) {
    ConxObj c(&db, "m");
    c.execute("addListReference", args({DataItem("padres.hijos: hijos padre")}).get());
    DataItem p = c.execute("newInstance", args({DataItem("padres"), DataItem(int32_t(1))}).get());
    auto* one = dynamic_cast<AdmObjInstance*>(p.getObj());
    EXPECT_TRUE(one->execute("getParent", nullptr).isNull());
    ItemGrid g;
    one->execute("setParent", args({ref(&g)}).get());
    EXPECT_EQ(one->execute("getParent", nullptr).getObj(), &g);
    // Anything but an object leaves no parent.
    one->execute("setParent", args({DataItem(int32_t(5))}).get());
    EXPECT_TRUE(one->execute("getParent", nullptr).isNull());
    EXPECT_TRUE(one->getParent().isNull());

    AdmObjExpanded* kids = one->collection("hijos");
    ASSERT_EQ(kids->size(), 2);
    EXPECT_EQ(kids->execute("getColumnListValues", args({DataItem("n")}).get()).text(), "5,6");
    EXPECT_EQ(kids->execute("getColumnListValues", args({DataItem("nada")}).get()).text(), "");
}

TEST_F(DataObjectsMapping, SqlRowIntoGridWithoutColumnsTakesTheResultsNames) {
    ConxObj c(&db, "m");
    ItemGrid g;
    g.execute("insertSqlRow",
              args({DataItem("SELECT id, nombre FROM padres WHERE id = 1"), ref(&c)}).get());
    g.execute("insertSqlRow",
              args({DataItem("SELECT id, nombre FROM padres WHERE id = 2"), ref(&c)}).get());
    g.execute("insertSqlRow",
              args({DataItem("SELECT id FROM padres WHERE id = 9"), ref(&c)}).get());
    EXPECT_EQ(g.execute("size", nullptr).toInt(), 2);
    EXPECT_EQ(g.execute("getColumnListValues", args({DataItem("nombre")}).get()).text(), "uno,dos");
    DataItem last = g.execute("getLastRow", nullptr);
    EXPECT_EQ(last.getObj()->getMemberItem("id")->toInt(), 2);
    // A grid with columns keeps its own names.
    ItemGrid named("a|b", "int|string");
    named.execute("insertSqlRow",
                  args({DataItem("SELECT id, nombre FROM padres WHERE id = 1"), ref(&c)}).get());
    EXPECT_EQ(named.execute("getColumnListValues", args({DataItem("b")}).get()).text(), "uno");
    EXPECT_EQ(messageOf([&] { g.execute("insertSqlRow", args({DataItem("SELECT 1")}).get()); }),
              "Dataset.insertSqlRow: no se pudo abrir la conexión");
}

TEST_F(DataObjectsMapping, TableSetOpensAndCopies) {
    ConxObj c(&db, "m");
    ItemTable t("hijos");
    t.execute("open", args({ref(&c)}).get());
    EXPECT_EQ(t.execute("size", nullptr).toInt(), 2);
    EXPECT_EQ(t.execute("getColumnListValues", args({DataItem("n")}).get()).text(), "5,6");
    EXPECT_EQ(messageOf([&] { t.execute("getColumnListValues", nullptr); }),
              "Grid.getColumnListValues: bad arguments");
    EXPECT_EQ(messageOf([&] { c.execute("zzz", nullptr); }), "DBConnection m.zzz no está definido");
    ConxObj unconnected(nullptr, "x");
    EXPECT_EQ(messageOf([&] { unconnected.execute("execute", nullptr); }),
              "DbConnection: No se ha conectado a ninguna base de datos");
}

}  // namespace
