// The main window on the offscreen platform, inside the real application.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <Qsci/qsciabstractapis.h>
#include <Qsci/qscilexer.h>
#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QToolBar>
#include <QTreeWidget>

#include "app/main/MainWnd.h"
#include "app/main/ZaRavApp.h"
#include "db/DbConnection.h"
#include "tests/server/ServerProcess.h"
#include "tests/support/TempFolder.h"
#include "ui/CodeEditor.h"
#include "ui/FileDialogs.h"
#include "ui/InputBox.h"
#include "ui/MsgBox.h"

using namespace VORLIN;

namespace {

int argc0 = 1;
char arg0[] = "app_tests";
char* argv0[] = {arg0, nullptr};

void shell(const std::string& db, const std::string& sql) {
    std::string command = "sqlite3 '" + db + "' \"" + sql + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
}

// The application with its own settings folder and no person to answer.
struct App {
    testsupport::TempFolder home;
    std::vector<MsgBox::Shown> shown;
    std::unique_ptr<ZaRavApp> app;
    App() {
        ::setenv("XDG_CONFIG_HOME", home.path.c_str(), 1);
        MsgBox::setResponder([this](const MsgBox::Shown& s) {
            shown.push_back(s);
            return 0;
        });
        app = std::make_unique<ZaRavApp>(argc0, argv0);
        app->mainWnd()->show();
        settle();
    }
    ~App() {
        app.reset();
        MsgBox::setResponder({});
        FileDialogs::setResponder({});
        InputBox::setResponder({});
    }
    MainWnd& wnd() { return *app->mainWnd(); }
    // Delivers what is queued and runs the idle pass, as the loop does.
    void settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            app->queueEmpty();
        }
    }
    bool enabled(const char* text) { return wnd().action(text)->isEnabled(); }
    void select(int connection, int table = -1) {
        QTreeWidgetItem* root = wnd().tree()->topLevelItem(0);
        QTreeWidgetItem* item = connection < 0 ? root : root->child(connection);
        if (table >= 0) item = item->child(table);
        wnd().tree()->setCurrentItem(item);
        settle();
    }
};

}  // namespace

TEST(MainWnd, MenusToolBarAndNamesAreThere) {
    App a;
    EXPECT_EQ(a.wnd().windowTitle(), QStringLiteral("VORLIN Quelmir"));
    QStringList menus;
    for (QAction* m : a.wnd().menuBar()->actions())
        menus << m->text().remove('&');
    EXPECT_EQ(menus, QStringList({"Archivo", "Base de datos", "Script", "Ayuda"}));
    for (const char* entry : {"Esquema de color",
                              "Salir",
                              "Sqlite local",
                              "Sqlite server",
                              "mySql",
                              "ODBC",
                              "Cerrar base de datos",
                              "Nueva ventana de consulta",
                              "Insertar registros",
                              "Establecer alias",
                              "Ejecutar archivo sql",
                              "Importar desde texto",
                              "Dump database",
                              "Nuevo script",
                              "Abrir script",
                              "Guardar script",
                              "Guardar como...",
                              "Ejecutar script",
                              "Explain script",
                              "Acerca de..."})
        EXPECT_NE(a.wnd().action(entry), nullptr) << entry;
    QStringList tips;
    for (QToolBar* bar : a.wnd().findChildren<QToolBar*>())
        for (QAction* b : bar->actions())
            if (!b->isSeparator()) tips << b->toolTip();
    EXPECT_TRUE(tips.contains("Abrir sqlite"));
    EXPECT_TRUE(tips.contains("Abrir ODBC"));
    EXPECT_TRUE(tips.contains("Cerrar"));
    EXPECT_TRUE(tips.contains("Alias"));
    EXPECT_EQ(a.wnd().tree()->accessibleName(), QStringLiteral("CONEXIONES"));
    EXPECT_EQ(a.wnd().tree()->topLevelItem(0)->text(0), QStringLiteral("Conexiones abiertas"));
    EXPECT_EQ(a.wnd().output()->accessibleName(), QStringLiteral("Salida"));
    EXPECT_FALSE(a.wnd().tree()->topLevelItem(0)->icon(0).isNull());
}

TEST(MainWnd, OpenAliasAndCloseThroughTheMenusWithStatesFollowingTheSelection) {
    App a;
    testsupport::TempFolder tmp;
    shell(tmp.file("ventas.db"), "CREATE TABLE clientes(id INTEGER PRIMARY KEY);");
    FileDialogs::setResponder([&](const FileDialogs::Request& r, int&) {
        EXPECT_EQ(r.title, "Abrir base de datos de Sqlite");
        return String(tmp.file("ventas.db"));
    });
    // The root node: nothing that needs a connection.
    a.select(-1);
    EXPECT_FALSE(a.enabled("Cerrar base de datos"));
    EXPECT_FALSE(a.enabled("Establecer alias"));

    a.wnd().action("Sqlite local")->trigger();
    a.settle();
    QTreeWidgetItem* root = a.wnd().tree()->topLevelItem(0);
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("ventas.db"));
    ASSERT_EQ(root->child(0)->childCount(), 1);
    EXPECT_EQ(root->child(0)->child(0)->text(0), QStringLiteral("clientes"));
    EXPECT_EQ(a.app->connections().size(), 1u);
    EXPECT_EQ(a.app->workFolder(), (tmp.path + "/").c_str());

    a.select(0);
    EXPECT_TRUE(a.enabled("Cerrar base de datos"));
    EXPECT_TRUE(a.enabled("Establecer alias"));
    a.select(0, 0);
    EXPECT_FALSE(a.enabled("Establecer alias"));
    // The script editor completes the selected connection's names.
    QStringList words;
    a.wnd().editor()->lexer()->apis()->updateAutoCompletionList(QStringList{"cl"}, words);
    EXPECT_TRUE(words.contains("clientes")) << words.join(",").toStdString();
    words.clear();
    a.wnd().editor()->lexer()->apis()->updateAutoCompletionList(QStringList{"i"}, words);
    EXPECT_TRUE(words.contains("id")) << words.join(",").toStdString();

    a.select(0);
    InputBox::setResponder([](const String& title, const String& prompt, String& value) {
        EXPECT_EQ(title, "Establecer Alias");
        EXPECT_EQ(prompt, "Alias: ");
        EXPECT_EQ(value, "ventas.db");
        value = "Ventas 2026";
        return true;
    });
    a.wnd().action("Establecer alias")->trigger();
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("Ventas 2026"));
    EXPECT_EQ(a.app->findConnection("Ventas 2026"), a.app->connections()[0].get());

    a.select(0);
    a.wnd().action("Cerrar base de datos")->trigger();
    a.settle();
    EXPECT_EQ(root->childCount(), 0);
    EXPECT_FALSE(a.app->connections()[0]->isConnected());
    EXPECT_FALSE(a.enabled("Cerrar base de datos"));
    EXPECT_TRUE(a.shown.empty());
}

TEST(MainWnd, AServerThatGoesAwayMarksItsNode) {
    App a;
    testing_server::TempDir data;
    shell(data.file("tienda.db"), "CREATE TABLE productos(id INTEGER PRIMARY KEY);");
    auto server = std::make_unique<testing_server::ServerProcess>(data.path());
    ASSERT_TRUE(server->started());
    const std::string address = server->address();
    MainWnd::Dialogs dialogs;
    dialogs.server = [&](int kind, DbConnection& c, String& host, int& port, String& database,
                         QWidget*) {
        EXPECT_EQ(kind, MainWndLogic::Server);
        EXPECT_EQ(port, 6540);
        if (!c.connect(String(address), "", "", false, "-")) return false;
        host = "127.0.0.1";
        port = server->port();
        database = "tienda";
        return true;
    };
    a.wnd().setDialogs(dialogs);
    a.wnd().action("Sqlite server")->trigger();
    a.settle();
    QTreeWidgetItem* root = a.wnd().tree()->topLevelItem(0);
    ASSERT_EQ(root->childCount(), 1) << (a.shown.empty() ? "" : a.shown[0].text.c_str());
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("tienda"));

    server.reset();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 15000 && root->child(0)->text(0) == QStringLiteral("tienda")) {
        a.settle();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("tienda (desconectada)"));
}

TEST(MainWnd, SqlFilesAndDumpsFromTheMenuOnTheSelectedConnection) {
    App a;
    testsupport::TempFolder tmp;
    shell(tmp.file("v.db"),
          "CREATE TABLE clientes(id INTEGER PRIMARY KEY, n TEXT);"
          "INSERT INTO clientes VALUES(1,'Ana'),(2,'Luis');");
    {
        std::ofstream(tmp.file("ok.sql"))
            << "CREATE TABLE nueva(x);\nINSERT INTO nueva VALUES(1);\n";
        std::ofstream(tmp.file("mal.sql"))
            << "INSERT INTO clientes VALUES(3,'Eva');\nINSERT INTO nada VALUES(1);\n";
    }
    std::string answer = tmp.file("v.db");
    FileDialogs::setResponder([&](const FileDialogs::Request&, int&) { return String(answer); });
    a.wnd().action("Sqlite local")->trigger();
    a.select(-1);
    EXPECT_FALSE(a.enabled("Ejecutar archivo sql"));
    EXPECT_FALSE(a.enabled("Dump database"));
    a.select(0, 0);
    EXPECT_TRUE(a.enabled("Ejecutar archivo sql"));
    EXPECT_TRUE(a.enabled("Insertar registros"));
    a.select(0);
    EXPECT_FALSE(a.enabled("Insertar registros"));

    answer = tmp.file("ok.sql");
    a.wnd().action("Ejecutar archivo sql")->trigger();
    ASSERT_EQ(a.shown.size(), 1u);
    EXPECT_EQ(a.shown[0].text, "OK");
    EXPECT_EQ(a.wnd().tree()->topLevelItem(0)->child(0)->childCount(), 2);  // "nueva" shows

    answer = tmp.file("mal.sql");
    a.wnd().action("Ejecutar archivo sql")->trigger();
    ASSERT_EQ(a.shown.size(), 2u);
    EXPECT_EQ(a.shown[1].icon, "ERROR");
    // Rolled back: Eva is not there.
    std::string out;
    if (FILE* p = ::popen(
            ("sqlite3 '" + tmp.file("v.db") + "' 'SELECT count(*) FROM clientes;'").c_str(), "r")) {
        char b[64];
        size_t n = std::fread(b, 1, sizeof b, p);
        out.assign(b, n);
        ::pclose(p);
    }
    EXPECT_EQ(out, "2\n");

    answer = tmp.file("copia.sql");
    a.wnd().action("Dump database")->trigger();
    ASSERT_EQ(a.shown.size(), 3u);
    EXPECT_EQ(a.shown[2].icon, "INFO");
    EXPECT_EQ(std::string(a.shown[2].text.c_str()).rfind("OK (", 0), 0u);
    shell(tmp.file("copia.db"), ".read " + tmp.file("copia.sql"));
    if (FILE* p = ::popen(
            ("sqlite3 '" + tmp.file("copia.db") + "' 'SELECT id, n FROM clientes ORDER BY id;'")
                .c_str(),
            "r")) {
        char b[256];
        size_t n = std::fread(b, 1, sizeof b, p);
        out.assign(b, n);
        ::pclose(p);
    }
    EXPECT_EQ(out, "1|Ana\n2|Luis\n");
}
