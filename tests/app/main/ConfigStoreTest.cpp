// The configuration store on real files, read back with the sqlite3 shell.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/main/ConfigStore.h"
#include "core/DataItem.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/TableDataset.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "tests/support/SqliteShell.h"
#include "tests/support/TempFolder.h"

using namespace VORLIN;

namespace {

String folderOf(const testsupport::TempFolder& tmp) {
    return String(tmp.path + "/");
}

}  // namespace

TEST(ConfigStore, FirstOpenMakesTheSchemaAndASecondChangesNothing) {
    testsupport::TempFolder tmp;
    const std::string file = tmp.file("Quelmir.ini");
    {
        ConfigStore store;
        ASSERT_TRUE(store.open(folderOf(tmp))) << store.lastError().c_str();
        EXPECT_EQ(store.path(), file.c_str());
    }
    EXPECT_EQ(
        testsupport::sqliteShell(file,
              "SELECT type, name FROM sqlite_master WHERE name NOT LIKE 'sqlite_%' ORDER BY name;"),
        "index|iRecServ\ntable|tConfig\ntable|tQuerys\ntable|tRecentServers\n");
    EXPECT_EQ(testsupport::sqliteShell(file, "SELECT sql FROM sqlite_master WHERE name='tConfig';"),
              "CREATE TABLE tConfig(Id_Config INTEGER PRIMARY KEY,Item TEXT NOT NULL UNIQUE,Value "
              "TEXT)\n");
    testsupport::sqliteShell(file, "INSERT INTO tConfig VALUES(NULL,'tema','oscuro');");
    const std::string before = testsupport::fileBytes(file);
    {
        ConfigStore store;
        ASSERT_TRUE(store.open(folderOf(tmp)));
        ASSERT_EQ(store.configSet().rowCount(), 1);
        EXPECT_EQ(store.configSet().row(0)->cell(2)->toString(), "oscuro");
    }
    EXPECT_EQ(testsupport::fileBytes(file), before);
}

TEST(ConfigStore, RecentServersAreRecordedOncePerKindAndHostAsLiterals) {
    testsupport::TempFolder tmp;
    ConfigStore store;
    ASSERT_TRUE(store.open(folderOf(tmp)));
    EXPECT_TRUE(store.addRecentServer(ConfigStore::kMySqlServer, "zeta", 3306));
    EXPECT_TRUE(store.addRecentServer(ConfigStore::kMySqlServer, "zeta", 3307));
    EXPECT_TRUE(store.addRecentServer(ConfigStore::kRemoteServer, "zeta", 6540));
    EXPECT_TRUE(store.addRecentServer(ConfigStore::kMySqlServer, "alfa", 3306));
    // A quote in a host name is data, not SQL.
    EXPECT_TRUE(
        store.addRecentServer(ConfigStore::kMySqlServer, "o'hara'); DROP TABLE tConfig;--", 3306));
    auto hosts = store.recentServers(ConfigStore::kMySqlServer);
    ASSERT_EQ(hosts.size(), 3u);
    EXPECT_EQ(hosts[0], "alfa");
    EXPECT_EQ(hosts[1], "o'hara'); DROP TABLE tConfig;--");
    EXPECT_EQ(hosts[2], "zeta");
    EXPECT_EQ(store.recentServers(ConfigStore::kRemoteServer).size(), 1u);
    const std::string file = tmp.file("Quelmir.ini");
    EXPECT_EQ(testsupport::sqliteShell(file, "SELECT Tipo, Host, Port FROM tRecentServers ORDER BY Id_Recent;"),
              "2|zeta|3306\n1|zeta|6540\n2|alfa|3306\n2|o'hara'); DROP TABLE tConfig;--|3306\n");
    EXPECT_EQ(testsupport::sqliteShell(file, "SELECT count(*) FROM sqlite_master WHERE name='tConfig';"), "1\n");
}

TEST(ConfigStore, ColourSchemesAreStoredInOneStepAndRowsOutOfRangeIgnored) {
    testsupport::TempFolder tmp;
    const std::string file = tmp.file("Quelmir.ini");
    ConfigStore store;
    ASSERT_TRUE(store.open(folderOf(tmp)));
    DataRow solid;
    DataRow gradient;
    EXPECT_FALSE(store.loadColorScheme(solid, gradient));
    EXPECT_EQ(solid.count(), 20);
    EXPECT_EQ(gradient.count(), 10);

    for (int i = 0; i < 20; ++i)
        solid.cell(i)->setColor(Color::fromRgb(i, 0, 0));
    for (int i = 0; i < 10; ++i)
        gradient.cell(i)->setColor(Color::fromRgb(0, i, 0));
    store.saveColorScheme(solid, gradient);
    EXPECT_EQ(testsupport::sqliteShell(file, "SELECT count(*) FROM tColorSchema;"), "30\n");
    EXPECT_EQ(testsupport::sqliteShell(file, "SELECT Color FROM tColorSchema WHERE Tipo=1 AND Id=7;"), "(7,0,0)\n");
    // Saving again replaces, row for row.
    solid.cell(7)->setColor(Color::fromRgb(70, 70, 70));
    store.saveColorScheme(solid, gradient);
    EXPECT_EQ(testsupport::sqliteShell(file, "SELECT count(*) FROM tColorSchema;"), "30\n");

    // Rows another program left behind: out of range, unreadable.
    testsupport::sqliteShell(file,
          "INSERT INTO tColorSchema VALUES(NULL,1,25,'(1,1,1)');"
          "INSERT INTO tColorSchema VALUES(NULL,1,-1,'(1,1,1)');"
          "INSERT INTO tColorSchema VALUES(NULL,2,10,'(1,1,1)');"
          "UPDATE tColorSchema SET Color='rojo' WHERE Tipo=2 AND Id=3;");
    DataRow solid2;
    DataRow gradient2;
    ASSERT_TRUE(store.loadColorScheme(solid2, gradient2));
    EXPECT_EQ(solid2.count(), 20);
    EXPECT_EQ(gradient2.count(), 10);
    EXPECT_EQ(solid2.cell(7)->toColor().value, Color::fromRgb(70, 70, 70).value);
    EXPECT_EQ(gradient2.cell(9)->toColor().value, Color::fromRgb(0, 9, 0).value);
    EXPECT_TRUE(gradient2.cell(3)->isNull());

    // A failing save leaves every stored colour as it was.
    testsupport::sqliteShell(file,
          "CREATE TRIGGER no_blue BEFORE INSERT ON tColorSchema WHEN NEW.Id=15 "
          "BEGIN SELECT RAISE(ABORT,'nada de azul'); END;");
    solid.cell(0)->setColor(Color::fromRgb(9, 9, 9));
    EXPECT_THROW(store.saveColorScheme(solid, gradient), GeneralException);
    EXPECT_EQ(testsupport::sqliteShell(file, "SELECT Color FROM tColorSchema WHERE Tipo=1 AND Id=0;"), "(0,0,0)\n");
}

TEST(ConfigStore, AStoreThatCannotBeOpenedSaysWhyAndDoesNothing) {
    testsupport::TempFolder tmp;
    {
        std::ofstream out(tmp.file("Quelmir.ini"));
        out << "[settings]\nthis is not a database\n";
    }
    ConfigStore store;
    EXPECT_FALSE(store.open(folderOf(tmp)));
    EXPECT_FALSE(store.isOpen());
    EXPECT_FALSE(store.lastError().isEmpty());
    EXPECT_FALSE(store.addRecentServer(1, "x", 1));
    EXPECT_TRUE(store.recentServers(1).empty());
    DataRow a, b;
    EXPECT_FALSE(store.loadColorScheme(a, b));
    EXPECT_THROW(store.saveColorScheme(a, b), GeneralException);
    // The file is left as it was.
    EXPECT_EQ(testsupport::fileBytes(tmp.file("Quelmir.ini")), "[settings]\nthis is not a database\n");

    if (::geteuid() != 0) {
        testsupport::TempFolder locked;
        ::chmod(locked.path.c_str(), 0500);
        ConfigStore store2;
        EXPECT_FALSE(store2.open(String(locked.path + "/")));
        EXPECT_FALSE(store2.lastError().isEmpty());
    }
    ConfigStore missing;
    EXPECT_FALSE(missing.open(String(tmp.path + "/no/such/folder/")));
}

TEST(ConfigStore, AStoreWhoseMakingWasCutShortIsMadeAgainAForeignOneIsLeftAlone) {
    // A start killed while it made the store: SQLite rolls the unfinished
    // schema back and leaves a database without tables (here: empty files).
    testsupport::TempFolder tmp;
    { std::ofstream touch(tmp.file("Quelmir.ini")); }
    {
        ConfigStore store;
        ASSERT_TRUE(store.open(folderOf(tmp))) << store.lastError().c_str();
        EXPECT_TRUE(store.addRecentServer(1, "db.example", 6540));
    }
    EXPECT_EQ(testsupport::sqliteShell(tmp.file("Quelmir.ini"), "SELECT Host FROM tRecentServers;"),
              "db.example\n");

    // A database of someone else's that happens to have the name.
    testsupport::TempFolder other;
    testsupport::sqliteShell(other.file("Quelmir.ini"), "CREATE TABLE mine(x);");
    ConfigStore store;
    EXPECT_FALSE(store.open(folderOf(other)));
    EXPECT_FALSE(store.lastError().isEmpty());
    EXPECT_EQ(testsupport::sqliteShell(other.file("Quelmir.ini"),
                                       "SELECT group_concat(name) FROM sqlite_master;"),
              "mine\n");
}
