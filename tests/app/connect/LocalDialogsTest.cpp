// The local connection windows on a temporary folder: the selection logic
// headless, then the real windows driven through their widgets, opened by
// a SqliteLocalConnection through the installed QtConnectionDialogs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <QLabel>

#include "app/connect/AboutDlg.h"
#include "app/connect/LocalSelDbDlg.h"
#include "app/connect/QtConnectionDialogs.h"
#include "app/connect/SelDbLogic.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "tests/app/connect/ConnectTestSupport.h"
#include "tests/support/TempFolder.h"
#include "ui/FileDialogs.h"

using namespace VORLIN;
using namespace connecttest;

namespace {

void makeDatabase(const std::string& folder, const char* name) {
    SqliteLocalConnection c;
    ASSERT_TRUE(c.connect(String(folder), "", "", false, "-"));
    c.createDatabase(name, true);
}

struct Installed {
    explicit Installed(ConnectionDialogs* d) { ConnectionDialogs::install(d); }
    ~Installed() {
        ConnectionDialogs::install(nullptr);
        FileDialogs::setResponder({});
    }
};

}  // namespace

TEST(LocalSelDbLogic, ListsCreatesAndChoosesInTheFolderShown) {
    testsupport::TempFolder dir, other;
    makeDatabase(dir.path, "a");
    makeDatabase(dir.path, "b");
    std::ofstream(dir.file("notas.txt")) << "no";
    SqliteLocalConnection c;
    ASSERT_TRUE(c.connect(String(other.path), "", "", false, "-"));

    std::string caption, text;
    std::string answer;
    SelDbLogic logic(
        SelDbLogic::Kind::Local, c, String(dir.path), "b",
        [&](const String& cap, const String& t) {
            caption = cap.c_str();
            text = t.c_str();
        },
        [&](const String& title, const String& prompt, String& value) {
            EXPECT_EQ(title, "Crear nueva base");
            EXPECT_EQ(prompt, "Nombre: ");
            value = String(answer);
            return true;
        });
    logic.fill();
    EXPECT_EQ(c.getHost().toStdString(), dir.path + "/");
    ASSERT_EQ(logic.databases().size(), 2u);
    EXPECT_EQ(logic.databases()[1], "b.db");
    EXPECT_EQ(logic.selected(), 1);

    // "Nueva": a name without ".db" gets it, one with ".db" keeps it.
    answer = "nueva";
    ASSERT_TRUE(logic.newPressed());
    EXPECT_EQ(shell(dir.file("nueva.db"), "PRAGMA integrity_check;"), "ok\n");
    EXPECT_EQ(logic.databases()[size_t(logic.selected())], "nueva.db");
    answer = "x.db";
    ASSERT_TRUE(logic.newPressed());
    EXPECT_TRUE(std::filesystem::exists(dir.file("x.db")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.db.db")));

    // A name that leaves the folder, an existing one, an empty one.
    answer = "../fuera";
    EXPECT_FALSE(logic.newPressed());
    EXPECT_EQ(caption, "ALERT");
    EXPECT_EQ(text, SelDbLogic::kBadName);
    EXPECT_FALSE(std::filesystem::exists(dir.path + "/../fuera.db"));
    answer = "a";
    EXPECT_FALSE(logic.newPressed());
    EXPECT_EQ(caption, "ERROR");
    caption.clear();
    answer = "  ";
    EXPECT_FALSE(logic.newPressed());
    EXPECT_EQ(caption, "");
    EXPECT_EQ(dir.files(),
              (std::vector<std::string>{"a.db", "b.db", "notas.txt", "nueva.db", "x.db"}));

    EXPECT_FALSE(logic.accept(-1));
    EXPECT_EQ(caption, "ALERT");
    EXPECT_EQ(text, "Seleccione una base de datos");
    ASSERT_TRUE(logic.accept(0));
    EXPECT_EQ(logic.chosen(), "a.db");

    // Cancelled: the connection goes back to its own folder.
    logic.restore();
    EXPECT_EQ(c.getHost().toStdString(), other.path + "/");
}

TEST(LocalSelDbDlg, TheConnectionAsksForFolderAndDatabaseThroughTheWindows) {
    testsupport::TempFolder dir;
    makeDatabase(dir.path, "vieja");
    Boxes boxes;
    Questions questions;
    QtConnectionDialogs dialogs(nullptr);
    Installed installed(&dialogs);
    std::string titleSeen;
    FileDialogs::setResponder([&](const FileDialogs::Request& r, int&) {
        titleSeen = r.title.c_str();
        EXPECT_EQ(r.kind, FileDialogs::Kind::Folder);
        return String(dir.path);
    });

    // No host: the folder dialog.
    SqliteLocalConnection c;
    ASSERT_TRUE(c.connect("", "", "", true, ""));
    EXPECT_EQ(titleSeen, "Seleccione una carpeta con bases de datos");
    EXPECT_EQ(c.getHost().toStdString(), dir.path + "/");

    // A database that is not there: the selection window, whose "Nueva"
    // makes one that OK then opens.
    ModalHand hand;
    std::vector<std::string> before, after;
    hand.then([&](QDialog& d) {
        before = items(d, "databases");
        auto* host = child<QLineEdit>(d, "host");
        EXPECT_EQ(host->text().toStdString(), dir.path + "/");
        // Every field is named for a screen reader.
        EXPECT_EQ(host->accessibleName().toStdString(), "Host");
        EXPECT_EQ(child<QListWidget>(d, "databases")->accessibleName().toStdString(),
                  "Bases de datos");
        questions.answer = "nueva";
        click(d, "new");
        after = items(d, "databases");
        click(d, "ok");
    });
    ASSERT_TRUE(c.connect(String(dir.path), "", "", true, "ausente"));
    EXPECT_EQ(hand.titles(), (std::vector<std::string>{"Conexión a base de datos local"}));
    EXPECT_EQ(before, (std::vector<std::string>{"vieja.db"}));
    EXPECT_EQ(after, (std::vector<std::string>{"nueva.db", "vieja.db"}));
    EXPECT_EQ(questions.asked, (std::vector<std::string>{"Crear nueva base|Nombre: "}));
    EXPECT_EQ(c.database(), "nueva.db");
    c.execute("CREATE TABLE t(a); INSERT INTO t VALUES(7);");
    EXPECT_EQ(shell(dir.file("nueva.db"), "SELECT a FROM t;"), "7\n");
    EXPECT_TRUE(boxes.shown.empty()) << boxes.last();

    // browseDatabase: OK without a database warns and stays, Escape-like
    // cancel answers "".
    ModalHand second;
    second.then([&](QDialog& d) {
        child<QListWidget>(d, "databases")->clearSelection();
        click(d, "ok");
        EXPECT_TRUE(d.isVisible());
        click(d, "cancel");
    });
    EXPECT_EQ(c.browseDatabase("", "", "").toStdString(), "");
    EXPECT_EQ(boxes.lastCaption(), "ALERT");
    EXPECT_EQ(boxes.last(), "Seleccione una base de datos");

    ModalHand third;
    third.then([&](QDialog& d) {
        selectItem(d, "databases", "vieja.db");
        click(d, "ok");
    });
    EXPECT_EQ(c.browseDatabase("", "", "").toStdString(), dir.path + "/|vieja.db");
}

TEST(LocalSelDbDlg, WithoutAFolderTheDefaultFolderIsShownOrNothing) {
    testsupport::TempFolder dir;
    makeDatabase(dir.path, "vieja");
    Boxes boxes;
    Questions questions;
    questions.answer = "nueva";
    QtConnectionDialogs dialogs(nullptr);
    Installed installed(&dialogs);

    // A database but no folder: the connection's default folder is listed.
    SqliteLocalConnection c;
    c.setDefaultFolder(String(dir.path + "/"));
    ModalHand hand;
    std::vector<std::string> listed;
    hand.then([&](QDialog& d) {
        listed = items(d, "databases");
        selectItem(d, "databases", "vieja.db");
        click(d, "ok");
    });
    ASSERT_TRUE(c.connect("", "", "", true, "otra")) << c.lastError().c_str();
    EXPECT_EQ(listed, (std::vector<std::string>{"vieja.db"}));
    EXPECT_EQ(c.database(), "vieja.db");

    // Nothing at all: an empty list, and "Nueva" asks for a folder first.
    SqliteLocalConnection bare;
    ModalHand second;
    second.then([&](QDialog& d) {
        listed = items(d, "databases");
        click(d, "new");
        click(d, "cancel");
    });
    EXPECT_FALSE(bare.connect("", "", "", true, "otra"));
    EXPECT_EQ(second.handled(), 1);
    EXPECT_TRUE(listed.empty());
    EXPECT_TRUE(questions.asked.empty());
    EXPECT_EQ(boxes.last(), "Seleccione una carpeta con bases de datos");
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"vieja.db"}));
}

TEST(AboutDlg, ShowsNameAndVersionAndClosesWithItsButton) {
    AboutDlg about("1.2.3");
    EXPECT_EQ(about.windowTitle().toStdString(), "Acerca de Quelmir");
    EXPECT_EQ(child<QLabel>(about, "name")->text().toStdString(), "Quelmir");
    EXPECT_EQ(child<QLabel>(about, "version")->text().toStdString(), "Quelmir Versión 1.2.3");
    QPushButton* ok = child<QPushButton>(about, "ok");
    EXPECT_TRUE(ok->isDefault());
    about.show();
    ok->click();
    EXPECT_EQ(about.result(), QDialog::Accepted);
    EXPECT_FALSE(about.isVisible());
}
