// The application's start-up and shutdown on the offscreen platform.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <QCoreApplication>
#include <QTimer>

#include "app/main/ConfigStore.h"
#include "app/main/MainWnd.h"
#include "app/main/ZaRavApp.h"
#include "core/GeneralException.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "script/ItemTable.h"
#include "script/ScriptRegisters.h"
#include "script/ScriptTrace.h"
#include "tests/support/SqliteShell.h"
#include "tests/support/TempFolder.h"
#include "ui/MsgBox.h"

using namespace VORLIN;

namespace {

int argc0 = 1;
char arg0[] = "app_tests";
char* argv0[] = {arg0, nullptr};

struct ConfigHome {
    testsupport::TempFolder tmp;
    std::string old;
    ConfigHome() {
        const char* v = std::getenv("XDG_CONFIG_HOME");
        old = v ? v : "";
        ::setenv("XDG_CONFIG_HOME", tmp.path.c_str(), 1);
    }
    ~ConfigHome() { ::setenv("XDG_CONFIG_HOME", old.c_str(), 1); }
    std::string store() const { return tmp.path + "/VORLIN/Quelmir.ini"; }
};

}  // namespace

TEST(ZaRavApp, StartsWithItsStoreWindowAndPortsAndTakesThemAwayAtExit) {
    ConfigHome home;
    std::vector<MsgBox::Shown> shown;
    MsgBox::setResponder([&](const MsgBox::Shown& s) {
        shown.push_back(s);
        return 0;
    });
    {
        ZaRavApp app(argc0, argv0);
        EXPECT_EQ(ZaRavApp::instance(), &app);
        EXPECT_TRUE(app.config().isOpen());
        EXPECT_TRUE(app.storeError().isEmpty());
        ASSERT_NE(app.mainWnd(), nullptr);
        EXPECT_EQ(app.mainWnd()->windowTitle(), QStringLiteral("VORLIN Quelmir"));
        EXPECT_EQ(app.mainWindow(), app.mainWnd());
        EXPECT_EQ(app.version(), "0.8.11.07.22");
        EXPECT_EQ(app.userFolder(), (home.tmp.path + "/VORLIN/").c_str());
        EXPECT_FALSE(app.kindImage(ZaRavApp::MySql).isNull());
        // The trace goes to the work folder while the program runs.
        EXPECT_EQ(ScriptTrace::fileName(), app.workFolder() + String("trace.log"));
        // Scripts reach tConfig as "config".
        DataItem* config = ScriptRegisters::cell(ScriptRegisters::Config);
        ASSERT_NE(config, nullptr);
        EXPECT_EQ(config->getObj(), static_cast<Interfasable*>(&app.config().configTable()));

        // Connections are found by label, then by alias.
        auto local = std::make_unique<SqliteLocalConnection>();
        local->setLabel("ventas");
        DbConnection* added = app.addConnection(std::move(local));
        EXPECT_EQ(app.findConnection("ventas"), added);
        EXPECT_EQ(app.findConnection("otra"), nullptr);
    }
    EXPECT_EQ(ZaRavApp::instance(), nullptr);
    EXPECT_EQ(ScriptTrace::fileName(), "trace.log");
    EXPECT_TRUE(shown.empty());
    MsgBox::setResponder({});
    EXPECT_FALSE(testsupport::fileBytes(home.store()).empty());
}

TEST(ZaRavApp, ASecondStartChangesNothingInTheStore) {
    ConfigHome home;
    { ZaRavApp app(argc0, argv0); }
    const std::string first = testsupport::fileBytes(home.store());
    ASSERT_FALSE(first.empty());
    { ZaRavApp app(argc0, argv0); }
    EXPECT_EQ(testsupport::fileBytes(home.store()), first);
}

TEST(ZaRavApp, ABrokenStoreIsReportedOnceAndTheProgramRunsWithoutIt) {
    ConfigHome home;
    ::system(("mkdir -p '" + home.tmp.path + "/VORLIN'").c_str());
    {
        std::ofstream out(home.store());
        out << "not a database";
    }
    std::vector<MsgBox::Shown> shown;
    MsgBox::setResponder([&](const MsgBox::Shown& s) {
        shown.push_back(s);
        return 0;
    });
    {
        ZaRavApp app(argc0, argv0);
        EXPECT_FALSE(app.config().isOpen());
        EXPECT_FALSE(app.storeError().isEmpty());
        EXPECT_TRUE(ScriptRegisters::cell(ScriptRegisters::Config)->isNull());
        // run() reports it; quit at once.
        QTimer::singleShot(0, [] { QCoreApplication::quit(); });
        app.run();
        QTimer::singleShot(0, [] { QCoreApplication::quit(); });
        app.run();
    }
    MsgBox::setResponder({});
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].icon, "ALERT");
    EXPECT_NE(std::string(shown[0].text.c_str()).find("Quelmir.ini"), std::string::npos);
    EXPECT_EQ(testsupport::fileBytes(home.store()), "not a database");
}
