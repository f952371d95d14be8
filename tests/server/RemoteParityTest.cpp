// Every DbConnection operation through the real client and the real
// quelmir-server, against the same data seen through a local connection on
// the server's folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "remote/SqliteClientConnection.h"
#include "tests/server/ServerProcess.h"

using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::DataSet;
using VORLIN::DbConnection;
using VORLIN::GeneralException;
using VORLIN::SqliteClientConnection;
using VORLIN::SqliteLocalConnection;
using VORLIN::String;
using VORLIN::TableDataset;

namespace {

const char* kSchema =
    "CREATE TABLE clientes(id INTEGER PRIMARY KEY, nombre TEXT, saldo NUMERIC, alta DATE, "
    "dia DAY, activo BOOL, foto IMAGE, monto CURRENCY);"
    "CREATE INDEX ix_nombre ON clientes(nombre);"
    "CREATE TABLE notas(texto TEXT, valor);"
    "CREATE TABLE contador(clave TEXT PRIMARY KEY, valor INTEGER);"
    "INSERT INTO clientes VALUES(1,'Ana',10.5,'2024-03-01 10:20:30','15/03',1,'abc',12.25);"
    "INSERT INTO clientes VALUES(2,'Luis',NULL,'2023-12-31',NULL,0,NULL,0);"
    "INSERT INTO clientes VALUES(3,'Marta O''Hara',-3,NULL,'01/01',1,'',99.99);"
    "INSERT INTO notas VALUES('uno',1);"
    "INSERT INTO notas VALUES('dos',2.5);"
    "INSERT INTO notas VALUES('tres','007');"
    "INSERT INTO contador VALUES('factura',41);";

// A cell as "type:text".
std::string cellText(const DataItem& c) {
    return std::string(DataItem::typeName(c.type())) + ":" + std::string(c.text().view());
}

std::string dumpRow(const DataRow& r) {
    std::string out;
    for (int i = 0; i < r.count(); ++i)
        out += cellText(*r.cell(i)) + "|";
    return out;
}

// Names, header types and every cell of a set.
std::string dump(const DataSet& s) {
    std::ostringstream out;
    int n = s.header() ? s.header()->count() : 0;
    out << "columns " << n << ":";
    for (int i = 0; i < n; ++i)
        out << " " << s.columnName(i).view() << "/" << DataItem::typeName(s.header()->typeOf(i));
    out << "\n";
    for (int r = 0; r < s.rowCount(); ++r)
        out << dumpRow(*s.row(r)) << "\n";
    return out.str();
}

std::string dumpTable(const TableDataset& t) {
    std::ostringstream out;
    out << dump(t) << "table " << t.tableName().view() << " key " << t.keyColumn() << " "
        << t.keyColumnName().view() << " counter " << t.counterColumn() << " rowid "
        << t.rowIdMode() << " tracks " << t.tracksChanges();
    return out.str();
}

template <typename F>
std::string failureOf(F f) {
    try {
        f();
    } catch (const GeneralException& e) {
        return e.what();
    }
    return "(no exception)";
}

class SqliteServerParity : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(local.connect(String(dir.path()), "", "", false, "-"));
        local.createDatabase("datos", true);
        local.execute(kSchema);
        server = std::make_unique<testing_server::ServerProcess>(dir.path());
        ASSERT_TRUE(server->started());
        remote.setRequestTimeout(20000);
        ASSERT_TRUE(remote.connect(String(server->address()), "", "", false, "datos"))
            << remote.lastError().view();
    }
    void TearDown() override {
        remote.disconnect();
        local.disconnect();
        if (server) {
            EXPECT_EQ(server->stop(), 0);
        }
    }

    // Runs `f` on both connections and expects the same text.
    template <typename F>
    void same(F f, const char* what) {
        EXPECT_EQ(f(static_cast<DbConnection&>(local)), f(static_cast<DbConnection&>(remote)))
            << what;
    }

    testing_server::TempDir dir;
    SqliteLocalConnection local;
    SqliteClientConnection remote{false};
    std::unique_ptr<testing_server::ServerProcess> server;
};

}  // namespace

TEST_F(SqliteServerParity, HostAndAlias) {
    EXPECT_EQ(remote.getHost(), String(server->address()));
    EXPECT_EQ(remote.getAlias(), String("datos"));
    EXPECT_TRUE(remote.isConnected());
}

TEST_F(SqliteServerParity, ScalarQueries) {
    const char* sqls[] = {"SELECT saldo FROM clientes WHERE id=1;",
                          "SELECT nombre FROM clientes WHERE id=3;",
                          "SELECT alta FROM clientes WHERE id=1;",
                          "SELECT dia FROM clientes WHERE id=1;",
                          "SELECT activo FROM clientes WHERE id=1;",
                          "SELECT COUNT(*) FROM clientes;",
                          "SELECT 12.5;",
                          "SELECT saldo FROM clientes WHERE id=99;",
                          "SELECT NULL;"};
    for (const char* sql : sqls) {
        same([&](DbConnection& c) { return c.queryInt(sql); }, sql);
        same([&](DbConnection& c) { return std::string(c.queryString(sql).view()); }, sql);
        same([&](DbConnection& c) { return c.queryDouble(sql); }, sql);
        same([&](DbConnection& c) { return cellText(c.queryItem(sql)); }, sql);
    }
    same(
        [](DbConnection& c) {
            return std::string(
                c.queryDateTime("SELECT alta FROM clientes WHERE id=1;").toString().view());
        },
        "queryDateTime");
    same(
        [](DbConnection& c) {
            return std::string(
                c.queryDateTime("SELECT alta FROM clientes WHERE id=2;").toString().view());
        },
        "queryDateTime date only");
    same(
        [](DbConnection& c) {
            return std::string(
                c.queryDate("SELECT dia FROM clientes WHERE id=1;").toString().view());
        },
        "queryDate");
}

TEST_F(SqliteServerParity, Rows) {
    const char* sql = "SELECT * FROM clientes WHERE id=1;";
    same(
        [&](DbConnection& c) {
            std::unique_ptr<DataRow> r(c.queryNewDataRow(sql));
            return r ? dumpRow(*r) : std::string("null");
        },
        "queryNewDataRow");
    same(
        [&](DbConnection& c) {
            std::unique_ptr<DataRow> r(c.queryNewDataRow("SELECT * FROM clientes WHERE id=99;"));
            return r ? dumpRow(*r) : std::string("null");
        },
        "queryNewDataRow without row");
    same(
        [&](DbConnection& c) {
            DataRow r(8);
            c.queryDataRow(sql, &r);
            return dumpRow(r);
        },
        "queryDataRow");
    same(
        [&](DbConnection& c) {
            DataRow r(2);
            r.cell(0)->setString("queda");
            c.queryDataRow("SELECT id, nombre FROM clientes WHERE id=99;", &r);
            return dumpRow(r);
        },
        "queryDataRow without row");
}

TEST_F(SqliteServerParity, RowWidthMismatchFailsOnBoth) {
    DataRow r(2);
    EXPECT_NE(failureOf([&] { local.queryDataRow("SELECT * FROM clientes;", &r); }),
              "(no exception)");
    EXPECT_EQ(failureOf([&] { remote.queryDataRow("SELECT * FROM clientes;", &r); }),
              "El número de columnas no coinciden");
}

TEST_F(SqliteServerParity, Datasets) {
    const char* sqls[] = {"SELECT * FROM clientes ORDER BY id;", "SELECT * FROM notas;",
                          "SELECT id, saldo*2, nombre FROM clientes ORDER BY id;",
                          "SELECT * FROM clientes WHERE 0;"};
    for (const char* sql : sqls) {
        same(
            [&](DbConnection& c) {
                DataSet s;
                c.queryDataset(sql, &s, "", false);
                return dump(s);
            },
            sql);
        same(
            [&](DbConnection& c) {
                DataSet s;
                c.queryDataset(sql, &s, "", false);
                c.queryDataset(sql, &s, "", true);
                return dump(s);
            },
            sql);
    }
    same(
        [](DbConnection& c) {
            DataSet s;
            c.queryDataset("SELECT id, nombre, saldo, alta FROM clientes ORDER BY id;", &s,
                           "INTEGER|TEXT|CURRENCY|DATE", false);
            return dump(s);
        },
        "typed");
}

TEST_F(SqliteServerParity, Catalogue) {
    same(
        [](DbConnection& c) {
            DataSet s;
            c.listTables(&s);
            return dump(s);
        },
        "listTables");
    same(
        [](DbConnection& c) {
            DataSet s;
            int r = c.getTableInfo("clientes", &s);
            return std::to_string(r) + dump(s);
        },
        "getTableInfo");
    same([](DbConnection& c) { return c.tableExist("notas"); }, "tableExist");
    same([](DbConnection& c) { return c.tableExist("nada"); }, "tableExist missing");
    same([](DbConnection& c) { return std::string(c.getCreateTable("clientes").view()); },
         "getCreateTable");
    same([](DbConnection& c) { return c.databaseExists("datos", true); }, "databaseExists");
    same([](DbConnection& c) { return c.databaseExists("otra", true); }, "databaseExists missing");
    same(
        [](DbConnection& c) {
            DataSet s;
            c.listDatabases(&s, "");
            std::string names;
            for (int i = 0; i < s.rowCount(); ++i)
                names += std::string(s.getCellText(i, 0).view()) + ",";
            return names;
        },
        "listDatabases");
}

TEST_F(SqliteServerParity, ModelsAndTables) {
    same(
        [](DbConnection& c) {
            TableDataset t;
            c.queryModel("clientes", &t);
            return dumpTable(t);
        },
        "queryModel");
    same(
        [](DbConnection& c) {
            DataSet s;
            c.queryColumns("SELECT id, nombre FROM clientes;", &s);
            return dump(s);
        },
        "queryColumns");
    for (const char* table : {"clientes", "notas", "contador"}) {
        same(
            [&](DbConnection& c) {
                TableDataset t;
                c.openTable(&t, table, "", "");
                return dumpTable(t);
            },
            table);
        same(
            [&](DbConnection& c) {
                TableDataset t;
                c.openTable(&t, table, "", "");
                // The two-argument form reloads the table already named.
                c.openTable(&t, "1=1", "");
                return dumpTable(t);
            },
            table);
    }
    same(
        [](DbConnection& c) {
            TableDataset t;
            c.openTable(&t, "clientes", "saldo>0", "nombre DESC");
            return dumpTable(t);
        },
        "where and order");
}

TEST_F(SqliteServerParity, TableEditsGoThroughTheConnection) {
    TableDataset t;
    remote.openTable(&t, "clientes", "", "id");
    ASSERT_EQ(t.rowCount(), 3);
    EXPECT_TRUE(t.updateCell(1, "nombre", DataItem("Luisa"), &remote));
    t.deleteRow(2);               // Marta goes
    DataRow* fresh = t.newRow();  // put first
    fresh->cell(1)->setString("Nuevo");
    t.saveChanges(remote);
    EXPECT_EQ(local.queryString("SELECT nombre FROM clientes WHERE id=2;"), String("Luisa"));
    EXPECT_EQ(local.queryInt("SELECT COUNT(*) FROM clientes WHERE nombre='Nuevo';"), 1);
    EXPECT_EQ(local.queryInt("SELECT COUNT(*) FROM clientes WHERE id=3;"), 0);

    TableDataset notes;
    remote.openTable(&notes, "notas", "", "");
    ASSERT_TRUE(notes.rowIdMode());
    EXPECT_TRUE(notes.updateCell(0, "texto", DataItem("UNO"), &remote));
    EXPECT_EQ(local.queryString("SELECT texto FROM notas WHERE valor=1;"), String("UNO"));

    // A row another user deleted: the edit is not reported as saved; a key
    // edited to a new value is.
    std::vector<std::string> shown;
    TableDataset::setMessageHook(
        [&shown](const String&, const String& text) { shown.push_back(text.toStdString()); });
    const auto rowOf = [&t](const char* id) {
        for (int i = 0; i < t.rowCount(); ++i)
            if (t.getCellText(i, 0) == id) return i;
        return -1;
    };
    ASSERT_GE(rowOf("1"), 0);
    ASSERT_GE(rowOf("2"), 0);
    local.execute("DELETE FROM clientes WHERE id=1;");
    EXPECT_FALSE(t.updateCell(rowOf("1"), "nombre", DataItem("Otra"), &remote));
    EXPECT_TRUE(t.updateCell(rowOf("2"), "id", DataItem(int32_t(20)), &remote));
    TableDataset::setMessageHook(nullptr);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "No se guardó el cambio: ninguna fila de clientes tiene id=1");
    EXPECT_EQ(local.queryInt("SELECT COUNT(*) FROM clientes WHERE id=20;"), 1);
}

TEST_F(SqliteServerParity, StatementsAndTransactions) {
    remote.execute("CREATE TABLE t(a INTEGER PRIMARY KEY, b TEXT);");
    EXPECT_EQ(remote.executeInsert("INSERT INTO t(b) VALUES('x');"), 1);
    EXPECT_EQ(remote.executeInsert("INSERT INTO t(b) VALUES('y');"), 2);
    remote.beginTransaction();
    remote.execute("INSERT INTO t(b) VALUES('z');");
    remote.rollbackTransaction();
    EXPECT_EQ(local.queryInt("SELECT COUNT(*) FROM t;"), 2);
    remote.beginTransaction();
    remote.execute("INSERT INTO t(b) VALUES('z');");
    remote.commitTransaction();
    EXPECT_EQ(local.queryInt("SELECT COUNT(*) FROM t;"), 3);
    same([](DbConnection& c) { return failureOf([&] { c.commitTransaction(); }); }, "commit");
    same([](DbConnection& c) { return failureOf([&] { c.rollbackTransaction(); }); }, "rollback");
    same([](DbConnection& c) { return failureOf([&] { c.execute("SELECT * FROM nada;"); }); },
         "execute error");
    same([](DbConnection& c) { return failureOf([&] { c.queryInt("SELEC 1;"); }); },
         "prepare error");
    EXPECT_EQ(remote.lastError(), local.lastError());
}

TEST_F(SqliteServerParity, ExecuteFile) {
    std::string path = dir.file("script.sql.txt");
    std::ofstream(path) << "CREATE TABLE f(a); INSERT INTO f VALUES(7);";
    remote.executeFile(String(path));
    EXPECT_EQ(local.queryInt("SELECT a FROM f;"), 7);
    same(
        [&](DbConnection& c) {
            return failureOf([&] { c.executeFile(String(dir.file("no-existe.sql"))); });
        },
        "missing file");
}

TEST_F(SqliteServerParity, CountersBackupAndUpdate) {
    EXPECT_EQ(remote.nextCounter("contador", "clave='factura'", "valor"), 42);
    EXPECT_EQ(local.nextCounter("contador", "clave='factura'", "valor"), 43);
    remote.backupDatabase("copia", false, 0);
    EXPECT_TRUE(local.databaseExists("copia", true));
    same([](DbConnection& c) { return failureOf([&] { c.backupDatabase("copia", false, 0); }); },
         "backup exists");

    String schema =
        "CREATE TABLE clientes(id INTEGER PRIMARY KEY, nombre TEXT, extra TEXT);"
        "CREATE TABLE nueva(x INTEGER);";
    DataSet defaults;
    defaults.setColumnNames("sql");
    defaults.setDataTypes("string");
    auto row = std::make_unique<DataRow>(1);
    row->cell(0)->setString("INSERT INTO nueva VALUES(5);");
    defaults.insertRow(std::move(row));
    EXPECT_TRUE(remote.updateDatabase(&schema, &defaults, nullptr));
    EXPECT_EQ(remote.queryInt("SELECT x FROM nueva;"), 5);
    EXPECT_EQ(remote.queryString("SELECT nombre FROM clientes WHERE id=1;"), String("Ana"));
    EXPECT_FALSE(remote.tableExist("notas"));
}

TEST_F(SqliteServerParity, DatabasesOpenAndCreate) {
    remote.createDatabase("segunda", true);
    EXPECT_TRUE(local.databaseExists("segunda", true));
    EXPECT_EQ(remote.getAlias(), String("segunda"));
    same([](DbConnection& c) { return failureOf([&] { c.createDatabase("segunda", true); }); },
         "create existing");
    EXPECT_TRUE(remote.openDatabase("datos"));
    EXPECT_EQ(remote.queryInt("SELECT COUNT(*) FROM clientes;"), 3);
    // A name that does not exist is created, as locally.
    EXPECT_TRUE(remote.openDatabase("tercera"));
    EXPECT_TRUE(local.databaseExists("tercera", true));
    // Closing.
    EXPECT_TRUE(remote.openDatabase(""));
    EXPECT_EQ(failureOf([&] { remote.queryInt("SELECT 1;"); }),
              "No se ha abierto ninguna base de datos");
    // Not a database: refused by the result.
    std::ofstream(dir.file("texto.db")) << "esto no es una base de datos SQLite";
    EXPECT_FALSE(remote.openDatabase("texto"));
    EXPECT_EQ(remote.lastError(), String("El archivo no es una base de Sqlite3"));
}

TEST_F(SqliteServerParity, RemoteOnlyOperations) {
    EXPECT_EQ(remote.remoteTextQuery("UPDATE clientes SET saldo=0;"), 3);
    remote.remoteIntCommand(5000);
    EXPECT_EQ(remote.remoteIntQuery(5), 5000);
    EXPECT_EQ(remote.remoteIntQuery(0), 1);
    EXPECT_EQ(remote.remoteIntQuery(1), 1);
    EXPECT_EQ(remote.remoteIntQuery2(7), 7);
    remote.remoteNotify();
    EXPECT_TRUE(server->waitForLine("notice"));

    std::string data = "linea 1\nlinea 2\n";
    remote.uploadFile("leeme.txt", 0, data.data(), uint32_t(data.size()), "docs");
    uint32_t n = 0;
    const uint8_t* back = remote.downloadFile("leeme.txt", &n, "docs");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(back), n), data);
    EXPECT_EQ(remote.remoteFileText("leeme.txt", "docs"), String(data));
    DataSet files;
    remote.listFiles(&files, "docs", "*.txt");
    ASSERT_EQ(files.rowCount(), 1);
    EXPECT_EQ(files.getCellText(0, 0), String("leeme.txt"));
    DataSet top;
    remote.listFiles(&top);
    EXPECT_EQ(top.rowCount(), 1);  // datos.db
    EXPECT_NE(failureOf([&] { remote.downloadFile("passwd", &n, "../../etc"); }), "(no exception)");

    remote.beginTransaction();
    EXPECT_EQ(remote.remoteIntQuery(3), 1);
    remote.remoteCommand();  // rolls back and closes
    EXPECT_EQ(remote.remoteIntQuery(3), 0);
    EXPECT_EQ(local.queryInt("SELECT COUNT(*) FROM clientes WHERE saldo=0;"), 3);
}

TEST_F(SqliteServerParity, LabelIsSent) {
    remote.setLabel("Sucursal Norte");
    EXPECT_TRUE(server->waitForLine("label 'Sucursal Norte'"));
}

// A remote dump is the same text as a local dump of the same file, names
// that need quotes and mixed classes included.
TEST_F(SqliteServerParity, DumpsAreTheSameText) {
    local.execute(
        "CREATE TABLE \"order items\"(\"item id\" INTEGER PRIMARY KEY, v);"
        "INSERT INTO \"order items\" VALUES(1, 5), (2, 'abc'), (3, 2.5), (4, X'00FF'), (5, NULL),"
        "(6, 0.1);"
        "CREATE TRIGGER tr AFTER INSERT ON notas BEGIN SELECT 1; END;");
    for (bool withSchema : {true, false}) {
        same(
            [&](DbConnection& c) {
                String dump;
                c.exportSql(&dump, withSchema);
                return std::string(dump.view());
            },
            withSchema ? "exportSql with schema" : "exportSql");
    }
    String dump;
    remote.exportSql(&dump, true);
    EXPECT_NE(dump.find("INSERT INTO \"order items\" VALUES(2,'abc');\r\n"), -1) << dump.c_str();
    EXPECT_NE(dump.find("INSERT INTO \"order items\" VALUES(4,X'00FF');\r\n"), -1);
    EXPECT_NE(dump.find("INSERT INTO \"order items\" VALUES(6,0.1);\r\n"), -1);
}

// Edits made through the remote connection address rows by their stored
// key; the local connection on the server's file reads the result.
TEST_F(SqliteServerParity, RemoteEditsUseTheStoredKey) {
    TableDataset t;
    remote.openTable(&t, "contador", "", "");
    ASSERT_EQ(t.rowCount(), 1);
    EXPECT_FALSE(t.keyTakesRowId());
    t.setCell(0, 0, DataItem("pedido"));
    DataRow* typed = t.newRow();
    typed->cell(0)->setString("X9");
    typed->cell(1)->setInt(1);
    t.saveChanges(remote);
    EXPECT_EQ(typed->cell(0)->text().toStdString(), "X9");
    EXPECT_EQ(local.queryString("SELECT group_concat(clave||'='||valor) FROM "
                                "(SELECT * FROM contador ORDER BY clave)"),
              "X9=1,pedido=41");

    TableDataset clientes;
    remote.openTable(&clientes, "clientes", "", "id");
    EXPECT_TRUE(clientes.keyTakesRowId());
    DataRow* fresh = clientes.newRow();
    fresh->cell(1)->setString("Nuevo");
    clientes.saveChanges(remote);
    EXPECT_EQ(fresh->cell(0)->toInt(), 4);
    EXPECT_EQ(local.queryString("SELECT nombre FROM clientes WHERE id=4"), "Nuevo");

    // The untyped column keeps its mixed values; editing texto leaves them.
    TableDataset notas;
    remote.openTable(&notas, "notas", "", "");
    for (int r = 0; r < notas.rowCount(); ++r)
        notas.setCellText(r, 1, "editado");
    notas.saveChanges(remote);
    EXPECT_EQ(local.queryString("SELECT group_concat(quote(valor)) FROM notas"), "1,2.5,'007'");
}
