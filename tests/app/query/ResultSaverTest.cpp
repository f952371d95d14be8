// Running statements as "Ejecutar" runs them on a real SQLite file, and
// saving the rows as text, INSERT statements and workbooks read back by
// an independent reader.
#include <gtest/gtest.h>

#include <sstream>

#include "app/query/QueryRunner.h"
#include "app/query/ResultSaver.h"
#include "core/GeneralException.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "tests/app/query/SheetReader.h"
#include "tests/support/TempFolder.h"

using namespace VORLIN;
using querytest::openSqlite;
using querytest::readAll;
using querytest::readSheet;
using querytest::run;

namespace {

struct Fixture {
    testsupport::TempFolder dir{"quelmir-query"};
    std::string file = dir.file("d.db");
    std::unique_ptr<SqliteLocalConnection> db;
    Fixture() {
        run("sqlite3 '" + file +
            "' \"CREATE TABLE \\\"order items\\\"(id INTEGER PRIMARY KEY, name TEXT, qty INTEGER);"
            "INSERT INTO \\\"order items\\\" VALUES(1,'Ana',3),(2,'O''Brien',7),(3,'Luis',5);\"");
        db = openSqlite(dir.path, "d.db");
    }
    std::string shell(const std::string& sql) {
        return run("sqlite3 '" + file + "' \"" + sql + "\"");
    }
};

std::string text(const DataSet& set) {
    std::ostringstream out;
    ResultSaver::writeText(set, out);
    return out.str();
}

TEST(QueryRunner, RunsEachKindAsEjecutar) {
    Fixture f;
    QueryRunner q(*f.db);
    EXPECT_EQ(q.mode(), QueryRunner::Mode::None);
    EXPECT_EQ(q.dataSet(), nullptr);

    QueryClassifier::Result r =
        q.run(" select * from \"order items\" where qty > 4 order by  name desc; ", false);
    EXPECT_EQ(r.kind, QueryClassifier::Kind::Table);
    ASSERT_EQ(q.mode(), QueryRunner::Mode::Table);
    ASSERT_NE(q.tableDataset(), nullptr);
    EXPECT_EQ(q.source().toStdString(), "order items");
    EXPECT_EQ(text(*q.dataSet()), "id\tname\tqty\n2\tO'Brien\t7\n3\tLuis\t5\n");
    EXPECT_NE(q.sourceText().toStdString().find("CREATE TABLE"), std::string::npos);

    // The table's rows edit the table.
    TableDataset* t = q.tableDataset();
    EXPECT_TRUE(t->updateCell(1, "qty", DataItem(int32_t(9)), f.db.get()));
    EXPECT_EQ(f.shell("SELECT qty FROM \\\"order items\\\" WHERE id=3"), "9\n");

    q.run("SELECT name, qty * 2 AS doble FROM \"order items\" WHERE id < 3 ORDER BY id", false);
    ASSERT_EQ(q.mode(), QueryRunner::Mode::Query);
    EXPECT_EQ(q.tableDataset(), nullptr);
    EXPECT_TRUE(q.dataSet()->isReadOnly());
    EXPECT_EQ(text(*q.dataSet()), "name\tdoble\nAna\t6\nO'Brien\t14\n");
    EXPECT_EQ(q.sourceText().toStdString().substr(0, 11), "SELECT name");

    // A join is no table: read-only rows of the query.
    q.run("SELECT * FROM \"order items\" a JOIN \"order items\" b ON a.id = b.id", false);
    EXPECT_EQ(q.mode(), QueryRunner::Mode::Query);

    EXPECT_STREQ(q.run("CREATE TABLE nueva(a)", false).message(), "Comando completado");
    EXPECT_TRUE(q.run("DROP TABLE nueva", false).changesTables);
    EXPECT_STREQ(q.run("VACUUM", false).message(), "Limpieza terminada");
    // Commands and empty texts keep the rows shown.
    EXPECT_EQ(q.run("  ", false).kind, QueryClassifier::Kind::Empty);
    EXPECT_EQ(q.mode(), QueryRunner::Mode::Query);

    q.openTable("order items");
    EXPECT_EQ(q.mode(), QueryRunner::Mode::Table);
    EXPECT_EQ(q.dataSet()->rowCount(), 3);
}

TEST(QueryRunner, AFailureKeepsWhatWasShownAndRollsBack) {
    Fixture f;
    QueryRunner q(*f.db);
    q.run("SELECT * FROM \"order items\" WHERE id = 1", false);
    DataSet* shown = q.dataSet();
    EXPECT_THROW(q.run("SELECT * FROM missing", false), GeneralException);
    EXPECT_THROW(q.run("SELECT nothing FROM missing", false), GeneralException);
    EXPECT_EQ(q.dataSet(), shown);
    EXPECT_EQ(q.mode(), QueryRunner::Mode::Table);
    EXPECT_EQ(q.dataSet()->rowCount(), 1);

    // In a transaction a failing command leaves no transaction open.
    EXPECT_THROW(q.run("UPDATE \"order items\" SET qty = nope", true), GeneralException);
    EXPECT_STREQ(q.run("DELETE FROM \"order items\" WHERE id = 1", true).message(),
                 "Comando completado");
    EXPECT_EQ(f.shell("SELECT count(*) FROM \\\"order items\\\""), "2\n");
}

TEST(ResultSaver, EachExtensionItsFormat) {
    EXPECT_EQ(ResultSaver::formatOf("a.TXT"), ResultSaver::Format::Text);
    EXPECT_EQ(ResultSaver::formatOf("/x.y/a.Xls"), ResultSaver::Format::Xls);
    EXPECT_EQ(ResultSaver::formatOf("a.xlsx"), ResultSaver::Format::Xlsx);
    EXPECT_EQ(ResultSaver::formatOf("a.sql"), ResultSaver::Format::Sql);
    EXPECT_EQ(ResultSaver::formatOf("a.csv"), ResultSaver::Format::Unknown);
    EXPECT_EQ(ResultSaver::formatOf("/x.sql/a"), ResultSaver::Format::Unknown);

    Fixture f;
    QueryRunner q(*f.db);
    q.run("SELECT * FROM \"order items\" ORDER BY id", false);
    DataSet& rows = *q.dataSet();

    EXPECT_EQ(ResultSaver::save(rows, String(f.dir.file("t.txt"))).toStdString(),
              "Datos guardados");
    EXPECT_EQ(readAll(f.dir.file("t.txt")),
              "id\tname\tqty\r\n1\tAna\t3\r\n2\tO'Brien\t7\r\n3\tLuis\t5\r\n");

    // A table's INSERTs come back as the same rows.
    ResultSaver::save(rows, String(f.dir.file("t.sql")));
    EXPECT_EQ(readAll(f.dir.file("t.sql")),
              "INSERT INTO \"order items\" VALUES(1,'Ana',3);\r\n"
              "INSERT INTO \"order items\" VALUES(2,'O''Brien',7);\r\n"
              "INSERT INTO \"order items\" VALUES(3,'Luis',5);\r\n");
    std::string copy = f.dir.file("copia.db");
    run("sqlite3 '" + copy +
        "' 'CREATE TABLE \"order items\"(id INTEGER PRIMARY KEY, name TEXT, "
        "qty INTEGER)'");
    run("sqlite3 '" + copy + "' <'" + f.dir.file("t.sql") + "'");
    EXPECT_EQ(run("sqlite3 '" + copy + "' 'SELECT * FROM \"order items\"'"),
              f.shell("SELECT * FROM \\\"order items\\\""));

    // A query's INSERTs name the table given, with the columns.
    q.run("SELECT name, qty FROM \"order items\" WHERE id > 1 ORDER BY id", false);
    try {
        ResultSaver::save(*q.dataSet(), String(f.dir.file("q.sql")));
        FAIL();
    } catch (const GeneralException& e) {
        EXPECT_EQ(e.message(), ResultSaver::kNeedTable);
    }
    EXPECT_FALSE(std::filesystem::exists(f.dir.file("q.sql")));
    ResultSaver::save(*q.dataSet(), String(f.dir.file("q.sql")), "copia");
    EXPECT_EQ(readAll(f.dir.file("q.sql")),
              "INSERT INTO copia (name,qty) VALUES('O''Brien',7);\r\n"
              "INSERT INTO copia (name,qty) VALUES('Luis',5);\r\n");

    try {
        ResultSaver::save(rows, String(f.dir.file("t.csv")));
        FAIL();
    } catch (const GeneralException& e) {
        EXPECT_NE(e.message().find(".txt, .xls, .xlsx o .sql"), std::string::npos);
    }
    for (const char* name : {"t.txt", "t.xls", "t.xlsx", "t.sql"}) {
        EXPECT_THROW(ResultSaver::save(rows, String(f.dir.file(std::string("no/") + name))),
                     GeneralException)
            << name;
    }
    EXPECT_EQ(f.dir.files(),
              std::vector<std::string>({"copia.db", "d.db", "q.sql", "t.sql", "t.txt"}));
}

TEST(ResultSaver, WorkbooksHoldTheSameCellsAsTheOldFile) {
    Fixture f;
    QueryRunner q(*f.db);
    q.run(
        "SELECT id, name, qty / 2.0 AS half, NULL AS nada, 'señor ☃' AS u FROM \"order items\" "
        "ORDER BY id",
        false);
    EXPECT_EQ(ResultSaver::save(*q.dataSet(), String(f.dir.file("r.xlsx"))).toStdString(),
              "Datos guardados");
    EXPECT_EQ(readSheet(f.dir.file("r.xlsx")),
              "S:id|S:name|S:half|S:nada|S:u\n"
              "N:1.0|S:Ana|N:1.5|<>|S:señor ☃\n"
              "N:2.0|S:O'Brien|N:3.5|<>|S:señor ☃\n"
              "N:3.0|S:Luis|N:2.5|<>|S:señor ☃\n");
    EXPECT_EQ(ResultSaver::save(*q.dataSet(), String(f.dir.file("r.xls"))).toStdString(),
              "Datos guardados\n3 textos tenían caracteres que el formato no admite, escritos "
              "como \"?\"");
    EXPECT_EQ(readSheet(f.dir.file("r.xls")),
              "S:id|S:name|S:half|S:nada|S:u\n"
              "N:1.0|S:Ana|N:1.5|<>|S:señor ?\n"
              "N:2.0|S:O'Brien|N:3.5|<>|S:señor ?\n"
              "N:3.0|S:Luis|N:2.5|<>|S:señor ?\n");

    // No row limit of the old format: 70000 rows.
    q.run(
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c LIMIT 70000) "
        "SELECT x, 'r' || x AS t FROM c",
        false);
    EXPECT_THROW(ResultSaver::save(*q.dataSet(), String(f.dir.file("big.xls"))), GeneralException);
    ResultSaver::save(*q.dataSet(), String(f.dir.file("big.xlsx")));
    std::string rows = readSheet(f.dir.file("big.xlsx"));
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 70001);
    EXPECT_EQ(rows.substr(rows.size() - 20), "\nN:70000.0|S:r70000\n");
}

}  // namespace
