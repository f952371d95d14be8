// The ODBC data-source window on sources of a test odbc.ini (the real
// unixODBC driver manager and SQLite ODBC driver), opened by
// OdbcConnection::browseDatabase through the installed QtConnectionDialogs.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/connect/OdbcSelDbDlg.h"
#include "app/connect/QtConnectionDialogs.h"
#include "db/odbc/OdbcConnection.h"
#include "tests/app/connect/ConnectTestSupport.h"
#include "tests/support/TempFolder.h"

using namespace VORLIN;
using namespace connecttest;

namespace {

const char* const kSqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

// Two SQLite sources in a folder of their own, unixODBC pointed at it.
// One folder per program: the driver manager keeps the folder of
// ODBCSYSINI once it has read it.
struct OdbcFolder {
    OdbcFolder() {
        std::ofstream(dir.file("odbcinst.ini")) << "[SQLite3]\nDriver=" << kSqliteDriver << "\n";
        std::ofstream(dir.file("odbc.ini"))
            << "[Otra]\nDescription=Otra base\nDriver=SQLite3\nDatabase=" << dir.file("otra.db")
            << "\n\n[Quelmir]\nDescription=Base de pruebas\nDriver=SQLite3\nDatabase="
            << dir.file("quelmir.db") << "\n";
        setenv("ODBCSYSINI", dir.path.c_str(), 1);
        setenv("ODBCINI", dir.file("odbc.ini").c_str(), 1);
    }
    testsupport::TempFolder dir{"quelmir-odbc"};
};

class OdbcDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        if (access(kSqliteDriver, R_OK) != 0)
            GTEST_SKIP() << "SQLite ODBC driver missing (package libsqliteodbc)";
        // Kept loaded, what the driver keeps until exit stays attributable
        // to it (the suppressions name it).
        dlopen(kSqliteDriver, RTLD_NOW | RTLD_NODELETE);
        static OdbcFolder folder;
        dir = folder.dir.path;
        for (const char* db : {"otra.db", "quelmir.db"})
            std::filesystem::remove(file(db));
        ConnectionDialogs::install(&dialogs);
    }
    void TearDown() override { ConnectionDialogs::install(nullptr); }
    std::string file(const char* name) const { return dir + "/" + name; }

    std::string dir;
    QtConnectionDialogs dialogs{nullptr};
    Boxes boxes;
};

TEST_F(OdbcDialogs, BrowseChoosesASourceOnceAndTheConnectionStaysUsable) {
    OdbcConnection connection;
    ModalHand hand;
    std::vector<std::string> sources;
    hand.then([&](QDialog& d) {
        sources = items(d, "sources");
        EXPECT_EQ(child<QLineEdit>(d, "password")->echoMode(), QLineEdit::Password);
        EXPECT_EQ(child<QListWidget>(d, "sources")->accessibleName().toStdString(),
                  "Fuentes de datos registradas");
        // "Nueva" explains where sources are defined, naming this run's files.
        click(d, "new");
        EXPECT_EQ(boxes.lastCaption(), "INFO");
        EXPECT_NE(boxes.last().find(file("odbc.ini")), std::string::npos) << boxes.last();
        EXPECT_NE(boxes.last().find(file("odbcinst.ini")), std::string::npos);
        EXPECT_EQ(items(d, "sources"), sources);
        child<QListWidget>(d, "sources")->clearSelection();
        click(d, "ok");
        EXPECT_EQ(boxes.last(), "Seleccione una base de datos");
        selectItem(d, "sources", "Quelmir");
        setText(d, "user", "nadie");
        click(d, "ok");
    });
    EXPECT_EQ(connection.browseDatabase("", "", ""), "ODBC|Quelmir");
    EXPECT_EQ(hand.titles(), (std::vector<std::string>{"Conexión a fuente de datos ODBC"}));
    EXPECT_EQ(sources, (std::vector<std::string>{"Otra", "Quelmir"}));
    // No second connect: the link the dialog made is the one in use.
    EXPECT_EQ(connection.getAlias(), "Quelmir");
    connection.execute("CREATE TABLE t (a INTEGER)");
    connection.execute("INSERT INTO t VALUES (41)");
    EXPECT_EQ(connection.queryInt("SELECT a + 1 FROM t"), 42);
    EXPECT_EQ(shell(file("quelmir.db"), "SELECT a FROM t;"), "41\n");

    // Another source through the same connection; a cancel leaves it be.
    ModalHand second;
    second.then([&](QDialog& d) {
        selectItem(d, "sources", "Otra");
        click(d, "ok");
    });
    EXPECT_EQ(connection.browseDatabase("", "", ""), "ODBC|Otra");
    EXPECT_EQ(connection.getAlias(), "Otra");
    ModalHand third;
    third.then([&](QDialog& d) { click(d, "cancel"); });
    EXPECT_EQ(connection.browseDatabase("", "", ""), "");
    EXPECT_EQ(connection.getAlias(), "Otra");
    EXPECT_FALSE(connection.tableExist("t"));
}

// A dialog set that only names the source: browseDatabase links it itself.
class NamingDialogs : public ConnectionDialogs {
public:
    bool selectOdbcSource(DbConnection&, String& source, String&, String&) override {
        source = name;
        return true;
    }
    String name;
};

TEST_F(OdbcDialogs, BrowseLinksASourceTheDialogOnlyNamed) {
    NamingDialogs naming;
    ConnectionDialogs::install(&naming);
    OdbcConnection connection;
    naming.name = "Quelmir";
    EXPECT_EQ(connection.browseDatabase("", "", ""), "ODBC|Quelmir");
    EXPECT_TRUE(connection.isConnected());
    connection.execute("CREATE TABLE u (b TEXT)");
    EXPECT_EQ(shell(file("quelmir.db"), ".tables"), "u\n");
    naming.name = "Nadie";
    EXPECT_EQ(connection.browseDatabase("", "", ""), "");
    EXPECT_NE(connection.lastError().find("IM002"), -1) << connection.lastError().c_str();
}

TEST_F(OdbcDialogs, ConfigurationFilesFollowTheEnvironment) {
    OdbcConnection::ConfigFiles files = OdbcConnection::configFiles();
    EXPECT_EQ(files.userSources.toStdString(), file("odbc.ini"));
    EXPECT_EQ(files.systemSources.toStdString(), file("odbc.ini"));
    EXPECT_EQ(files.drivers.toStdString(), file("odbcinst.ini"));
}

}  // namespace
