#include "db/mysql/MySqlConnection.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/FileText.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "db/mysql/SelMySqlLogic.h"
#include "tests/db/mysql/MariaDbServer.h"
#include "tests/support/CliScript.h"

using namespace VORLIN;
using quelmir_test::MariaDbServer;
using quelmir_test::server;

namespace {

class ServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!server().start())
            std::fprintf(stderr, "\n*** MariaDB test server not available: %s ***\n\n",
                         server().error().c_str());
    }
    void TearDown() override { server().stop(); }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

class MySqlTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (server().missing()) GTEST_SKIP() << server().error();
        ASSERT_TRUE(server().error().empty()) << server().error();
        ASSERT_TRUE(db.connect(String(server().hostWithPort()), String(MariaDbServer::kUser),
                               String(MariaDbServer::kPassword), false, String()))
            << db.lastError().c_str();
        // One fresh database per test keeps the tests independent.
        name = "qt_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
        db.execute(String("DROP DATABASE IF EXISTS " + name));
        db.execute(String("CREATE DATABASE " + name));
        ASSERT_TRUE(db.openDatabase(String(name), false, String(), String()));
    }

    MySqlConnection db;
    std::string name;
};

TEST_F(MySqlTest, ConnectsWithPortAndStoresTheServerAsHost) {
    EXPECT_TRUE(db.isConnected());
    EXPECT_EQ(db.getHost(), "127.0.0.1");
    EXPECT_EQ(db.getAlias(), String(name));
}

TEST_F(MySqlTest, ConnectsWithoutPortThroughTheLibraryDefault) {
    // No colon: port 0, which the library turns into its default (here the
    // test server's port, announced through MYSQL_TCP_PORT).
    MySqlConnection other;
    ASSERT_TRUE(
        other.connect("127.0.0.1", MariaDbServer::kUser, MariaDbServer::kPassword, false, String()))
        << other.lastError().c_str();
    EXPECT_EQ(other.queryInt("SELECT 41+1"), 42);
}

TEST_F(MySqlTest, RefusedConnectAnswersFalseWithTheServerText) {
    MySqlConnection other;
    EXPECT_FALSE(other.connect(String(server().hostWithPort()), MariaDbServer::kUser, "wrong",
                               false, String()));
    EXPECT_NE(other.lastError().find("Access denied"), -1) << other.lastError().c_str();
    EXPECT_FALSE(other.isConnected());
}

TEST(MySqlNoHandle, OperationsThrowTheFixedText) {
    MySqlConnection db;
    try {
        db.execute("SELECT 1");
        FAIL() << "no exception";
    } catch (const GeneralException& e) {
        EXPECT_EQ(e.message(), MySqlConnection::kNotConnected);
    }
    EXPECT_EQ(db.lastError(), MySqlConnection::kNotConnected);
    EXPECT_FALSE(db.tableExist("t"));
    EXPECT_FALSE(db.isConnected());
    db.beginTransaction();
    db.disconnect();
}

TEST_F(MySqlTest, ListsDatabasesAndFindsThemExactly) {
    DataSet list;
    db.listDatabases(&list, String());
    bool found = false;
    for (const DataRow* r : list.rows())
        found = found || r->get(0).text() == String(name);
    EXPECT_TRUE(found);
    EXPECT_TRUE(db.databaseExists(String(name), false));
    EXPECT_FALSE(db.databaseExists(String(name + "x"), false));
    EXPECT_FALSE(db.openDatabase("no_such_database", false, String(), String()));
    EXPECT_NE(db.lastError().find("no_such_database"), -1);
}

TEST_F(MySqlTest, ListsTablesAndTestsNamesExactly) {
    db.execute("CREATE TABLE t_1 (a INT)");
    db.execute("CREATE TABLE tx1 (a INT)");
    DataSet list;
    db.listTables(&list);
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.columnName(0), "name");
    EXPECT_TRUE(db.tableExist("t_1"));
    EXPECT_TRUE(db.tableExist("tx1"));
    // "_" is a wildcard to the server; "t_2" must not find tx1 or t_1.
    EXPECT_FALSE(db.tableExist("t_2"));
    EXPECT_FALSE(db.tableExist("tz1"));
}

TEST_F(MySqlTest, TableInfoAndModelFollowDescribe) {
    db.execute(
        "CREATE TABLE m (id INT(11) UNSIGNED NOT NULL PRIMARY KEY, name VARCHAR(40) DEFAULT 'x', "
        "price DECIMAL(10,2), ratio DOUBLE, flag BIT(1), born DATE, big BIGINT NOT NULL)");
    DataSet info;
    EXPECT_EQ(db.getTableInfo("m", &info), 1);
    ASSERT_EQ(info.rowCount(), 7);
    EXPECT_EQ(info.columnName(3), "notnull");
    EXPECT_EQ(info.getCell(0, 0).toInt(), 1);
    EXPECT_EQ(info.getCellText(0, 1), "id");
    EXPECT_EQ(info.getCell(0, 3).toInt(), 1);
    EXPECT_EQ(info.getCellText(0, 5), "PRI");
    EXPECT_EQ(info.getCell(1, 3).toInt(), 0);
    EXPECT_EQ(info.getCellText(1, 4), "x");
    EXPECT_EQ(info.getCell(6, 3).toInt(), 1);

    TableDataset model;
    db.queryModel("m", &model);
    EXPECT_EQ(model.tableName(), "m");
    EXPECT_EQ(model.counterColumn(), -1);
    ASSERT_EQ(model.columnCount(), 7);
    const int expected[] = {DataItem::TInt,    DataItem::TString, DataItem::TCurrency,
                            DataItem::TDouble, DataItem::TBool,   DataItem::TDate,
                            DataItem::TInt};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(model.header()->typeOf(i), expected[i]) << i;
    EXPECT_EQ(MySqlConnection::typeOfDeclared("int(11) unsigned"), "INT");
    EXPECT_EQ(MySqlConnection::typeOfDeclared("varchar(40)"), "TEXT");
    EXPECT_EQ(MySqlConnection::typeOfDeclared("datetime"), "DATE");
    EXPECT_EQ(MySqlConnection::typeOfField(246), "CURRENCY");
    EXPECT_EQ(MySqlConnection::typeOfField(253), "TEXT");
}

TEST_F(MySqlTest, KeyColumnRule) {
    db.execute("CREATE TABLE p (a INT, b INT PRIMARY KEY, c INT NOT NULL UNIQUE)");
    db.execute("CREATE TABLE u (a INT UNIQUE, b INT, c INT NOT NULL UNIQUE)");
    db.execute("CREATE TABLE n (a INT UNIQUE, b INT)");
    String keyName;
    EXPECT_EQ(db.findKeyColumn("p", &keyName), 1);
    EXPECT_EQ(keyName, "b");
    EXPECT_EQ(db.findKeyColumn("u", &keyName), 2);
    EXPECT_EQ(keyName, "c");
    EXPECT_EQ(db.findKeyColumn("n"), -1);
}

TEST_F(MySqlTest, ScalarQueriesAndTheirDefaults) {
    EXPECT_EQ(db.queryInt("SELECT 7"), 7);
    EXPECT_DOUBLE_EQ(db.queryDouble("SELECT 2.5"), 2.5);
    EXPECT_EQ(db.queryString("SELECT 'hola'"), "hola");
    DateTime when = db.queryDateTime("SELECT CAST('2024-03-05 10:20:30' AS DATETIME)");
    EXPECT_EQ(when.year, 2024);
    EXPECT_EQ(when.month, 3);
    EXPECT_EQ(when.hour, 10);
    DataItem item = db.queryItem("SELECT 12");
    EXPECT_EQ(item.type(), DataItem::TInt);
    EXPECT_EQ(item.toInt(), 12);
    EXPECT_EQ(db.queryItem("SELECT CAST(3.25 AS DECIMAL(6,2))").type(), DataItem::TCurrency);
    EXPECT_TRUE(db.queryItem("SELECT NULL").isNull());

    db.execute("CREATE TABLE e (a INT)");
    EXPECT_EQ(db.queryInt("SELECT a FROM e"), 0);
    EXPECT_EQ(db.queryString("SELECT a FROM e"), "");
    EXPECT_DOUBLE_EQ(db.queryDouble("SELECT a FROM e"), 0.0);
    EXPECT_TRUE(db.queryItem("SELECT a FROM e").isNull());
    try {
        db.queryInt("SELECT nope FROM e");
        FAIL() << "no exception";
    } catch (const GeneralException& e) {
        EXPECT_NE(std::string(e.message()).find("nope"), std::string::npos);
        EXPECT_EQ(db.lastError(), String(e.message()));
    }
}

TEST_F(MySqlTest, DataRowsFromTheFirstResultRow) {
    db.execute("CREATE TABLE r (id INT PRIMARY KEY, name VARCHAR(10), big BIGINT)");
    db.execute("INSERT INTO r VALUES (1,'uno',9000000000),(2,NULL,2)");
    DataRow row;
    db.queryDataRow("SELECT * FROM r ORDER BY id", &row);
    ASSERT_EQ(row.count(), 3);
    EXPECT_EQ(row.get(0).toInt(), 1);
    EXPECT_EQ(row.get(1).text(), "uno");
    // Beyond 32 bits the digits are kept, so writing back gives the same value.
    EXPECT_EQ(row.get(2).text(), "9000000000");
    std::unique_ptr<DataRow> second(db.queryNewDataRow("SELECT * FROM r WHERE id=2"));
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->get(1).isNull());
}

TEST_F(MySqlTest, ExecuteInsertReturnsTheNewIds) {
    db.execute("CREATE TABLE a (id INT AUTO_INCREMENT PRIMARY KEY, v INT)");
    EXPECT_EQ(db.executeInsert("INSERT INTO a (v) VALUES (10)"), 1);
    EXPECT_EQ(db.executeInsert("INSERT INTO a (v) VALUES (20)"), 2);
    db.execute("INSERT INTO a VALUES (100, 1)");
    EXPECT_EQ(db.executeInsert("INSERT INTO a (v) VALUES (30)"), 101);
}

TEST_F(MySqlTest, TransactionsRollBackCommitAndEndInAutocommit) {
    db.execute("CREATE TABLE t (v INT) ENGINE=InnoDB");
    db.beginTransaction();
    EXPECT_TRUE(db.inTransaction());
    db.execute("INSERT INTO t VALUES (1)");
    db.rollbackTransaction();
    EXPECT_FALSE(db.inTransaction());
    EXPECT_EQ(db.queryInt("SELECT COUNT(*) FROM t"), 0);

    db.beginTransaction();
    db.execute("INSERT INTO t VALUES (2)");
    db.commitTransaction();
    // After the transaction every statement commits by itself again: a
    // second session sees the next insert at once.
    db.execute("INSERT INTO t VALUES (3)");
    MySqlConnection other;
    ASSERT_TRUE(other.connect(String(server().hostWithPort()), MariaDbServer::kUser,
                              MariaDbServer::kPassword, false, String()));
    ASSERT_TRUE(other.openDatabase(String(name), false, String(), String()));
    EXPECT_EQ(other.queryInt("SELECT SUM(v) FROM t"), 5);
    // Without a transaction commit and rollback do nothing.
    db.commitTransaction();
    db.rollbackTransaction();
}

TEST_F(MySqlTest, EditsThroughTableDatasetWithPrimaryKey) {
    db.execute("CREATE TABLE c (id INT AUTO_INCREMENT PRIMARY KEY, name VARCHAR(20), n INT)");
    db.execute("INSERT INTO c (name, n) VALUES ('Ana', 1), ('Luis', 2)");
    TableDataset set;
    db.openTable(&set, "c", String(), "id");
    ASSERT_EQ(set.rowCount(), 2);
    EXPECT_FALSE(set.rowIdMode());
    EXPECT_EQ(set.keyColumn(), 0);
    EXPECT_EQ(set.keyColumnName(), "id");
    EXPECT_TRUE(set.tracksChanges());
    EXPECT_EQ(set.getCellText(1, 1), "Luis");

    EXPECT_TRUE(set.updateCell(1, "name", DataItem("Luisa"), &db));
    EXPECT_EQ(db.queryString("SELECT name FROM c WHERE id=2"), "Luisa");

    set.setCell(0, 2, DataItem(int32_t(10)));
    set.deleteRow(1);
    // A new row goes first in the set.
    DataRow* fresh = set.newRow();
    fresh->cell(1)->setString("Eva");
    fresh->cell(2)->setInt(3);
    set.saveChanges(db);
    EXPECT_EQ(db.queryInt("SELECT COUNT(*) FROM c"), 2);
    EXPECT_EQ(db.queryInt("SELECT id FROM c WHERE name='Eva'"), 3);
    EXPECT_EQ(db.queryInt("SELECT n FROM c WHERE name='Ana'"), 10);
    EXPECT_EQ(db.queryInt("SELECT COUNT(*) FROM c WHERE name='Luisa'"), 0);
}

// A cell edit whose row is gone is no saved edit; setting a cell to the
// value it has is one (the server's affected rows would say 0).
TEST_F(MySqlTest, ACellEditMatchingNoRowFailsAndTheSameValueSucceeds) {
    db.execute("CREATE TABLE c (id INT PRIMARY KEY, name VARCHAR(20))");
    db.execute("INSERT INTO c VALUES (1, 'Ana'), (2, 'Luis'), (3, 'Eva')");
    EXPECT_EQ(db.executeMatched("UPDATE c SET name='Ana' WHERE id=1"), 1);
    EXPECT_EQ(db.executeMatched("UPDATE c SET name='x' WHERE id=9"), 0);
    EXPECT_EQ(db.executeMatched("UPDATE c SET name=name WHERE id>=2"), 2);
    EXPECT_EQ(db.executeMatched("DELETE FROM c WHERE id=9"), 0);
    TableDataset set;
    db.openTable(&set, "c", String(), "id");
    ASSERT_EQ(set.rowCount(), 3);
    std::vector<std::string> shown;
    TableDataset::setMessageHook(
        [&shown](const String&, const String& text) { shown.push_back(text.toStdString()); });
    EXPECT_TRUE(set.updateCell(0, "name", DataItem("Ana"), &db));
    // Someone else deletes the second row.
    MySqlConnection other;
    ASSERT_TRUE(other.connect(String(server().hostWithPort()), String(MariaDbServer::kUser),
                              String(MariaDbServer::kPassword), false, String()));
    ASSERT_TRUE(other.openDatabase(String(name), false, String(), String()));
    other.execute("DELETE FROM c WHERE id=2");
    EXPECT_FALSE(set.updateCell(1, "name", DataItem("Luisa"), &db));
    TableDataset::setMessageHook(nullptr);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "No se guardó el cambio: ninguna fila de c tiene id=2");
    EXPECT_EQ(set.getCellText(1, 1), "Luis");
    EXPECT_EQ(db.queryInt("SELECT COUNT(*) FROM c WHERE name='Luisa'"), 0);
}

TEST_F(MySqlTest, UniqueNotNullColumnServesAsKey) {
    db.execute("CREATE TABLE u (note VARCHAR(10), code VARCHAR(5) NOT NULL UNIQUE)");
    db.execute("INSERT INTO u VALUES ('a','0012'),('b','12')");
    TableDataset set;
    db.openTable(&set, "u", String(), "code");
    ASSERT_EQ(set.rowCount(), 2);
    EXPECT_EQ(set.keyColumn(), 1);
    EXPECT_FALSE(set.isReadOnly());
    // The text key '0012' must not hit the row '12'.
    EXPECT_TRUE(set.updateCell(0, "note", DataItem("z"), &db));
    EXPECT_EQ(db.queryString("SELECT note FROM u WHERE code='0012'"), "z");
    EXPECT_EQ(db.queryString("SELECT note FROM u WHERE code='12'"), "b");
}

TEST_F(MySqlTest, KeylessTableShowsItsOwnColumnsAndRefusesEdits) {
    db.execute("CREATE TABLE k (a INT, b VARCHAR(10))");
    db.execute("INSERT INTO k VALUES (1,'x'),(1,'x'),(2,'y')");
    TableDataset set;
    db.openTable(&set, "k", String(), "a");
    EXPECT_FALSE(set.rowIdMode());
    EXPECT_EQ(set.keyColumn(), -1);
    ASSERT_EQ(set.columnCount(), 2);
    EXPECT_EQ(set.columnName(0), "a");
    EXPECT_EQ(set.columnName(1), "b");
    ASSERT_EQ(set.rowCount(), 3);
    // Every value in its own column.
    EXPECT_EQ(set.getCell(2, 0).toInt(), 2);
    EXPECT_EQ(set.getCellText(2, 1), "y");

    String shown;
    TableDataset::setMessageHook([&](const String&, const String& text) { shown = text; });
    EXPECT_FALSE(set.updateCell(0, "b", DataItem("changed"), &db));
    TableDataset::setMessageHook(nullptr);
    EXPECT_EQ(shown, MySqlConnection::kNoKeyEdit);
    EXPECT_EQ(set.getCellText(0, 1), "x");
    EXPECT_EQ(db.queryInt("SELECT COUNT(*) FROM k WHERE b='x'"), 2);
    EXPECT_TRUE(set.isReadOnly());
    EXPECT_THROW(set.deleteRow(0), GeneralException);
    set.setCell(0, 1, DataItem("changed"));
    EXPECT_THROW(set.saveChanges(db), GeneralException);
    EXPECT_EQ(db.queryInt("SELECT COUNT(*) FROM k WHERE b='changed'"), 0);
}

TEST_F(MySqlTest, TextsRoundTripQuotesBackslashesAndAccents) {
    db.execute("CREATE TABLE s (id INT PRIMARY KEY, v VARCHAR(50))");
    const char* texts[] = {"C:\\nuevo", "O'Brien \"x\"", "año \xc3\xb1o\xc3\xb3 \xe2\x82\xac",
                           "a\\'b\\\\"};
    int id = 0;
    for (const char* t : texts) {
        ++id;
        String sql;
        sql.format("INSERT INTO s VALUES (%d, %s)", id, DataItem(t).sqlLiteral().c_str());
        db.execute(sql);
        String back = db.queryString(String("SELECT v FROM s WHERE id=") + std::to_string(id));
        EXPECT_EQ(std::string(back.c_str()), std::string(t));
    }
    EXPECT_EQ(db.queryInt("SELECT CHAR_LENGTH(v) FROM s WHERE id=1"), 8);
    // And through a grid edit.
    TableDataset set;
    db.openTable(&set, "s", String(), "id");
    ASSERT_TRUE(set.updateCell(0, "v", DataItem("D:\\tmp\\x 'q' é"), &db));
    EXPECT_EQ(db.queryString("SELECT v FROM s WHERE id=1"), "D:\\tmp\\x 'q' é");
}

TEST_F(MySqlTest, OddNamesAreQuotedAsNames) {
    // A keyword as key column: with double quotes read as text, "key"=0
    // would compare a text with 0 and delete every row.
    db.execute("CREATE TABLE \"order items\" (\"key\" INT PRIMARY KEY, \"group\" VARCHAR(5))");
    db.execute("INSERT INTO `order items` VALUES (0,'a'),(1,'b')");
    TableDataset set;
    db.openTable(&set, "order items", String(), "\"key\"");
    ASSERT_EQ(set.rowCount(), 2);
    EXPECT_TRUE(set.updateCell(1, "group", DataItem("z"), &db));
    set.deleteRow(0);
    set.saveChanges(db);
    EXPECT_EQ(db.queryInt("SELECT COUNT(*) FROM `order items`"), 1);
    EXPECT_EQ(db.queryString("SELECT `group` FROM `order items`"), "z");
}

TEST_F(MySqlTest, QueryDatasetServesTheQueryWindow) {
    db.execute("CREATE TABLE q (id INT PRIMARY KEY, name VARCHAR(10), price DECIMAL(8,2))");
    db.execute("INSERT INTO q VALUES (1,'a',1.50),(2,'b',NULL)");
    DataSet out;
    db.queryDataset("SELECT id, name, price FROM q ORDER BY id", &out, String(), false);
    ASSERT_EQ(out.rowCount(), 2);
    EXPECT_EQ(out.columnName(1), "name");
    EXPECT_EQ(out.header()->typeOf(0), DataItem::TInt);
    EXPECT_EQ(out.header()->typeOf(2), DataItem::TCurrency);
    EXPECT_EQ(out.getCellText(1, 1), "b");
    EXPECT_TRUE(out.getCell(1, 2).isNull());

    db.queryDataset("SELECT id, name FROM q", &out, "TEXT|TEXT", true);
    EXPECT_EQ(out.rowCount(), 4);
    EXPECT_EQ(out.header()->typeOf(0), DataItem::TString);
    db.queryDataset("SELECT id FROM q WHERE id=1", &out, String(), false);
    EXPECT_EQ(out.rowCount(), 1);

    DataSet cols;
    db.queryColumns("SELECT name, id FROM q", &cols);
    EXPECT_EQ(cols.rowCount(), 0);
    EXPECT_EQ(cols.columnName(0), "name");
    EXPECT_EQ(cols.header()->typeOf(1), DataItem::TInt);
}

TEST_F(MySqlTest, CreateTableExportAndCounter) {
    db.execute("CREATE TABLE g (id INT PRIMARY KEY, v VARCHAR(5))");
    db.execute("INSERT INTO g VALUES (1,'it''s')");
    String create = db.getCreateTable("g");
    EXPECT_EQ(create.find("CREATE TABLE"), 0);
    EXPECT_NE(create.find(",\r\n"), -1);
    EXPECT_EQ(create.right(2), "\r\n");

    String dump;
    db.exportSql(&dump, false);
    // The rows, after the SQL mode they are written in.
    EXPECT_EQ(dump,
              "SET SESSION sql_mode=CONCAT_WS(',',NULLIF(@@sql_mode,''),'ANSI_QUOTES',"
              "'NO_BACKSLASH_ESCAPES');\r\nINSERT INTO g VALUES(1,'it''s');\r\n");

    db.execute("CREATE TABLE cnt (k INT PRIMARY KEY, n INT)");
    db.execute("INSERT INTO cnt VALUES (1, 41)");
    EXPECT_EQ(db.nextCounter("cnt", "k=1", "n"), 42);
    EXPECT_EQ(db.nextCounter("cnt", "k=1", "n"), 43);
}

TEST_F(MySqlTest, ExecuteFileRunsEveryStatement) {
    std::string path = server().dir() + "/script.sql";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fputs("CREATE TABLE f (v INT);\nINSERT INTO f VALUES (1);\nINSERT INTO f VALUES (2);\n",
               f);
    std::fclose(f);
    db.executeFile(String(path));
    EXPECT_EQ(db.queryInt("SELECT SUM(v) FROM f"), 3);
    EXPECT_THROW(db.executeFile(String(path + ".missing")), GeneralException);
    EXPECT_EQ(db.lastError(), MySqlConnection::kNoFile);
}

TEST_F(MySqlTest, SelectionLogicConnectsListsAndAccepts) {
    MySqlConnection target;
    std::string caption, text;
    SelMySqlLogic logic(target, [&](const String& c, const String& t) {
        caption = c.c_str();
        text = t.c_str();
    });
    logic.server = "127.0.0.1";
    logic.port = String(std::to_string(server().port()));
    logic.user = MariaDbServer::kUser;
    logic.password = "wrong";
    EXPECT_FALSE(logic.connectPressed());
    EXPECT_EQ(caption, "ERROR");

    logic.password = MariaDbServer::kPassword;
    ASSERT_TRUE(logic.connectPressed());
    EXPECT_FALSE(logic.accept(-1));
    EXPECT_EQ(caption, "ALERT");
    EXPECT_EQ(text, SelMySqlLogic::kChooseDatabase);
    int index = -1;
    for (size_t i = 0; i < logic.databases().size(); ++i)
        if (logic.databases()[i] == String(name)) index = int(i);
    ASSERT_GE(index, 0);
    EXPECT_TRUE(logic.accept(index));
    EXPECT_EQ(target.getAlias(), String(name));
    EXPECT_EQ(target.getHost(), "127.0.0.1");
}

}  // namespace

namespace {

// quelmir-cli's "mysql:USER:PASSWORD@HOST:PORT/DATABASE" against the real
// server, with a password that holds a quote and a backslash.
TEST(MySqlCli, ScriptRunsThroughTheConnectOption) {
    if (server().missing()) GTEST_SKIP() << server().error();
    MySqlConnection admin;
    ASSERT_TRUE(admin.connect(String(server().hostWithPort()), String(MariaDbServer::kUser),
                              String(MariaDbServer::kPassword), false, String()));
    admin.execute("DROP DATABASE IF EXISTS qt_cli");
    admin.execute("CREATE DATABASE qt_cli");
    std::string option = std::string("mysql:") + MariaDbServer::kUser + ":" +
                         MariaDbServer::kPassword + "@" + server().hostWithPort() + "/qt_cli=datos";
    testsupport::CliResult r = testsupport::runCliScript({option}, testsupport::cliBackEndScript());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Ana,Luis\ncliente Luis\n");
    EXPECT_EQ(admin.queryInt("SELECT COUNT(*) FROM qt_cli.clientes"), 2);

    // A wrong password: the server's own text, exit 1, nothing run.
    r = testsupport::runCliScript({std::string("mysql:") + MariaDbServer::kUser + ":mala@" +
                                   server().hostWithPort() + "/qt_cli"},
                                  testsupport::cliBackEndScript());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Access denied"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    admin.execute("DROP DATABASE qt_cli");
}

}  // namespace

// A dump with the schema, loaded into an empty database by the server
// itself, gives every table and value back; the file appears only whole.
TEST_F(MySqlTest, DumpWithSchemaReloadsTheSameValues) {
    db.execute(
        "CREATE TABLE \"order items\" (id INT AUTO_INCREMENT PRIMARY KEY, txt VARCHAR(40), "
        "amount DECIMAL(12,4), ratio DOUBLE, day DATE, bytes VARBINARY(8), flag BIT(1))");
    db.execute(
        "INSERT INTO \"order items\" (txt, amount, ratio, day, bytes, flag) VALUES "
        "('it''s a \\ path', 12.3456, 0.1, '2024-02-29', X'00FF27', b'1'),"
        "(NULL, NULL, NULL, NULL, NULL, NULL)");
    db.execute("CREATE VIEW v AS SELECT id, txt FROM \"order items\"");
    const char* rows =
        "SELECT id, txt, amount, ratio, day, HEX(bytes), flag+0 FROM \"order items\" ORDER BY id";
    auto contents = [&](MySqlConnection& c) {
        DataSet set;
        c.queryDataset(rows, &set, "TEXT|TEXT|TEXT|TEXT|TEXT|TEXT|TEXT", false);
        std::string text;
        for (const DataRow* r : set.rows()) {
            for (int i = 0; i < r->count(); ++i)
                text += (r->cell(i)->isNull() ? std::string("<null>")
                                              : r->cell(i)->text().toStdString()) +
                        "|";
            text += "\n";
        }
        return text;
    };
    const std::string before = contents(db);
    ASSERT_NE(before.find("it's a \\ path"), std::string::npos) << before;

    std::string path = std::string(::testing::TempDir()) + "/" + name + ".sql";
    db.exportSqlToFile(String(path), true);
    String text;
    ASSERT_TRUE(FileText::read(String(path), text));
    EXPECT_EQ(text.find("CREATE TABLE \"order items\""), text.find("CREATE TABLE"));
    EXPECT_NE(text.find("X'00FF27'"), -1) << text.c_str();
    EXPECT_LT(text.find("INSERT INTO \"order items\""), text.find("CREATE ALGORITHM"));

    std::string copyName = name + "_copia";
    db.execute(String("DROP DATABASE IF EXISTS " + copyName));
    db.execute(String("CREATE DATABASE " + copyName));
    MySqlConnection copy;
    ASSERT_TRUE(copy.connect(String(server().hostWithPort()), String(MariaDbServer::kUser),
                             String(MariaDbServer::kPassword), false, String()));
    ASSERT_TRUE(copy.openDatabase(String(copyName), false, String(), String()));
    copy.executeFile(String(path));
    EXPECT_EQ(contents(copy), before);
    EXPECT_EQ(copy.queryInt("SELECT count(*) FROM v"), 2);

    // A dump that cannot be produced leaves the file as it was.
    db.disconnect();
    EXPECT_THROW(db.exportSqlToFile(String(path), true), GeneralException);
    String again;
    ASSERT_TRUE(FileText::read(String(path), again));
    EXPECT_EQ(again, text);
    std::remove(path.c_str());
}

// Edits address rows by the key they were loaded with; an AUTO_INCREMENT
// key takes the new row's number, a typed key stays.
TEST_F(MySqlTest, TableEditsUseTheStoredKey) {
    db.execute("CREATE TABLE codes (code VARCHAR(5) PRIMARY KEY, name VARCHAR(20), n INT)");
    db.execute("INSERT INTO codes VALUES ('A','ana',1),('B','beto',2)");
    db.execute("CREATE TABLE seq (id INT AUTO_INCREMENT PRIMARY KEY, name VARCHAR(20))");
    TableDataset codes;
    db.openTable(&codes, "codes", "", "code");
    ASSERT_EQ(codes.rowCount(), 2);
    EXPECT_FALSE(codes.keyTakesRowId());
    // Renaming A to B is refused by the server; B keeps its data.
    codes.setCell(0, 0, DataItem("B"));
    EXPECT_THROW(codes.saveChanges(db), GeneralException);
    EXPECT_EQ(db.queryString("SELECT name FROM codes WHERE code='B'"), "beto");
    // Renaming A to C renames the row; only the key is written.
    codes.setCell(0, 0, DataItem("C"));
    db.execute("UPDATE codes SET n=10 WHERE code='A'");  // another user's change
    codes.saveChanges(db);
    EXPECT_EQ(db.queryString("SELECT name FROM codes WHERE code='C'"), "ana");
    EXPECT_EQ(db.queryInt("SELECT n FROM codes WHERE code='C'"), 10);
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM codes"), 2);

    TableDataset seq;
    db.openTable(&seq, "seq", "", "");
    EXPECT_TRUE(seq.keyTakesRowId());
    DataRow* fresh = seq.newRow();
    fresh->cell(1)->setString("uno");
    seq.saveChanges(db);
    EXPECT_EQ(fresh->cell(0)->toInt(), db.queryInt("SELECT id FROM seq WHERE name='uno'"));
    fresh->cell(1)->setString("one");
    fresh->setModified(true);
    seq.saveChanges(db);
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM seq WHERE name='one'"), 1);
}

// Another thread stops a running statement (KILL QUERY).
TEST_F(MySqlTest, InterruptEndsARunningStatement) {
    std::thread cancel([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        db.interrupt();
    });
    auto t0 = std::chrono::steady_clock::now();
    try {
        db.execute("SELECT SLEEP(20)");
    } catch (const GeneralException&) {
    }
    cancel.join();
    // SLEEP answers 1 when killed instead of failing; either way it ends now.
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 5.0);
    EXPECT_EQ(db.queryInt("SELECT 41+1"), 42);
    MySqlConnection idle;
    idle.interrupt();
}
