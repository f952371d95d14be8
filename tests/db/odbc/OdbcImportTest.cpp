// quelmir-cli import (in-process) through the SQLite ODBC driver, read back
// through a second ODBC connection. The data source "Quelmir" is the one the
// program's environment configures (OdbcConnectionTest.cpp).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "db/odbc/OdbcConnection.h"
#include "tests/support/TempFolder.h"
#include "tools/cli/CliRunner.h"

using namespace VORLIN;

namespace {

TEST(OdbcImport, CommandLineThroughTheSqliteDriver) {
    OdbcConnection db;
    if (!db.connect(String(), String(), String(), false, "Quelmir"))
        GTEST_SKIP() << "no SQLite ODBC source: " << db.lastError().c_str();
    db.execute("DROP TABLE IF EXISTS importada");
    db.execute("CREATE TABLE importada(id INTEGER PRIMARY KEY, nombre TEXT, n INTEGER UNIQUE)");
    db.disconnect();

    testsupport::TempFolder dir;
    std::ofstream(dir.file("i.csv"), std::ios::binary)
        << "\xEF\xBB\xBFnombre,n\r\n\"Pérez, Juan\",1\r\nAna,1\r\nLuis,2";
    std::ostringstream out, err;
    CliRunner runner(out, err);
    int status = runner.run({"--connect", "odbc:Quelmir", "import", dir.file("i.csv"), "importada",
                             "--separator", "comma"});
    EXPECT_EQ(status, 1) << err.str();
    EXPECT_EQ(out.str(), "Filas importadas: 2, con error: 1\n");
    EXPECT_NE(err.str().find("quelmir-cli: fila 2 (línea 3): "), std::string::npos) << err.str();

    OdbcConnection other;
    ASSERT_TRUE(other.connect(String(), String(), String(), false, "Quelmir"));
    EXPECT_EQ(other.queryInt("SELECT COUNT(*) FROM importada"), 2);
    EXPECT_EQ(other.queryString("SELECT nombre FROM importada WHERE n=1"), "Pérez, Juan");
    EXPECT_EQ(other.queryString("SELECT nombre FROM importada WHERE n=2"), "Luis");
}

}  // namespace
