// The text import into the real MariaDB server: the import logic and
// quelmir-cli import (in-process), read back through a second connection.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/import/DelimitedTextReader.h"
#include "app/import/TextImport.h"
#include "data/DataSet.h"
#include "db/mysql/MySqlConnection.h"
#include "tests/db/mysql/MariaDbServer.h"
#include "tests/support/TempFolder.h"
#include "tools/cli/CliRunner.h"

using namespace VORLIN;
using quelmir_test::MariaDbServer;
using quelmir_test::server;

namespace {

const char* const kCsv =
    "\xEF\xBB\xBFNombre,Ciudad,Importe,Alta,Codigo\r\n"
    "\"Pérez, Juan\",\"Monterrey\r\nCentro\",12.5,2024-01-31,1\r\n"
    "Ana,null,,null,2\r\n"
    "Luis,Puebla,abc,,3\r\n"
    "Eva,Lima,3,,1\r\n"
    "Rosa,Quito,7,,4";

struct ImportCounter : ImportProgress {
    std::vector<ImportFailure> failures;
    bool rowDone(int, int, int) override { return true; }
    void rowFailed(const ImportFailure& f) override { failures.push_back(f); }
};

class MySqlImport : public ::testing::Test {
protected:
    void SetUp() override {
        if (server().missing()) GTEST_SKIP() << server().error();
        ASSERT_TRUE(db.connect(String(server().hostWithPort()), String(MariaDbServer::kUser),
                               String(MariaDbServer::kPassword), false, String()))
            << db.lastError().c_str();
        db.execute("DROP DATABASE IF EXISTS qt_import");
        db.execute("CREATE DATABASE qt_import");
        ASSERT_TRUE(db.openDatabase("qt_import", false, String(), String()));
        db.execute(
            "CREATE TABLE clientes(id INT AUTO_INCREMENT PRIMARY KEY, nombre VARCHAR(40) NOT "
            "NULL, ciudad VARCHAR(40), importe DECIMAL(10,2), alta DATE, pais VARCHAR(4), "
            "codigo INT UNIQUE) ENGINE=InnoDB");
    }
    void TearDown() override {
        if (!server().missing()) db.execute("DROP DATABASE IF EXISTS qt_import");
    }
    std::string rows() {
        DataSet set;
        db.queryDataset(
            "SELECT CONCAT_WS('|', id, nombre, ciudad, COALESCE(importe,'NULL'), "
            "COALESCE(alta,'NULL'), pais, codigo) FROM clientes ORDER BY id",
            &set, "TEXT", false);
        std::string out;
        for (int i = 0; i < set.rowCount(); ++i)
            out += set.getCellText(i, 0).toStdString() + "\n";
        return out;
    }
    MySqlConnection db;
};

// The key is left to the server (the refused duplicate used up number 3).
TEST_F(MySqlImport, SpreadsheetFileWithConstantAndFailingRows) {
    TextImport import(db);
    DelimitedTextReader reader(',', '"');
    reader.load(kCsv);
    int records = 0, maxFields = 0;
    reader.count(records, maxFields);
    import.setFieldNames(reader.fieldNames(true, maxFields));
    import.setTable("clientes");
    EXPECT_EQ(import.mapByName(), 5);
    import.addConstant("MX", import.findColumn("pais"));
    ImportCounter progress;
    ImportResult r = import.run(reader, true, &progress);
    EXPECT_EQ(r.imported, 3);
    ASSERT_EQ(progress.failures.size(), 2u);
    EXPECT_EQ(progress.failures[0].row, 3);
    EXPECT_EQ(progress.failures[1].row, 4);
    EXPECT_NE(progress.failures[1].message.view().find("Duplicate entry"), std::string::npos)
        << progress.failures[1].message.c_str();

    MySqlConnection other;
    ASSERT_TRUE(other.connect(String(server().hostWithPort()), String(MariaDbServer::kUser),
                              String(MariaDbServer::kPassword), false, String()));
    ASSERT_TRUE(other.openDatabase("qt_import", false, String(), String()));
    EXPECT_EQ(other.queryInt("SELECT COUNT(*) FROM clientes"), 3);
    EXPECT_EQ(rows(),
              "1|Pérez, Juan|Monterrey\r\nCentro|12.50|2024-01-31|MX|1\n"
              "2|Ana||NULL|NULL|MX|2\n"
              "4|Rosa|Quito|7.00|NULL|MX|4\n");
}

TEST_F(MySqlImport, CommandLineImportsTheSameRows) {
    testsupport::TempFolder dir;
    std::ofstream(dir.file("c.csv"), std::ios::binary) << kCsv;
    std::ostringstream out, err;
    CliRunner runner(out, err);
    std::string connection = std::string("mysql:") + MariaDbServer::kUser + ":" +
                             MariaDbServer::kPassword + "@" + server().hostWithPort() +
                             "/qt_import=datos";
    int status = runner.run({"--connect", connection, "import", dir.file("c.csv"), "clientes",
                             "--separator", "comma", "--const", "MX=pais"});
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out.str(), "Filas importadas: 3, con error: 2\n");
    EXPECT_NE(err.str().find("quelmir-cli: fila 4 (línea 6): Duplicate entry"), std::string::npos)
        << err.str();
    EXPECT_EQ(rows(),
              "1|Pérez, Juan|Monterrey\r\nCentro|12.50|2024-01-31|MX|1\n"
              "2|Ana||NULL|NULL|MX|2\n"
              "4|Rosa|Quito|7.00|NULL|MX|4\n");
}

}  // namespace
