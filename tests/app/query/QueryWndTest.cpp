// The query window inside the real application, on the offscreen platform,
// over a real SQLite file read back with the sqlite3 shell.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "app/main/MainWnd.h"
#include "app/main/ZaRavApp.h"
#include "app/query/QFilterDlg.h"
#include "app/query/QueryRunner.h"
#include "app/query/QueryWnd.h"
#include "app/query/TGDataset.h"
#include "app/query/TableGridWidget.h"
#include "tests/support/SqliteShell.h"
#include "tests/support/TempFolder.h"
#include "ui/CodeEditor.h"
#include "ui/FileDialogs.h"
#include "ui/InputBox.h"
#include "ui/MsgBox.h"

using namespace VORLIN;
using testsupport::fileBytes;
using testsupport::sqliteShell;

namespace {

int argc0 = 1;
char arg0[] = "app_tests";
char* argv0[] = {arg0, nullptr};

struct Session {
    testsupport::TempFolder home;
    testsupport::TempFolder data;
    std::vector<MsgBox::Shown> shown;
    std::unique_ptr<ZaRavApp> app;
    std::string db;
    Session() {
        ::setenv("XDG_CONFIG_HOME", home.path.c_str(), 1);
        db = data.file("ventas.db");
        sqliteShell(
            db,
            "CREATE TABLE clientes(id INTEGER PRIMARY KEY, nombre TEXT, ciudad TEXT);"
            "INSERT INTO clientes VALUES(1,'Ana','Lima'),(2,'Luis','Quito'),(3,'Eva','Lima');");
        MsgBox::setResponder([this](const MsgBox::Shown& s) {
            shown.push_back(s);
            return 0;
        });
        app = std::make_unique<ZaRavApp>(argc0, argv0);
        FileDialogs::setResponder([this](const FileDialogs::Request&, int&) { return String(db); });
        wnd().action("Sqlite local")->trigger();
        FileDialogs::setResponder({});
        settle();
    }
    ~Session() {
        app.reset();
        MsgBox::setResponder({});
        FileDialogs::setResponder({});
        InputBox::setResponder({});
    }
    MainWnd& wnd() { return *app->mainWnd(); }
    void settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            app->queueEmpty();
        }
    }
    // Lets a run started by "Ejecutar" finish (it reads on its own thread).
    void waitRun(QueryWnd& w) {
        QElapsedTimer t;
        t.start();
        while (w.running() && t.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        settle();
    }
    void run(QueryWnd& w, const char* sql) {
        w.editor()->setText(sql);
        w.button("Ejecutar")->click();
        waitRun(w);
    }
    QTreeWidgetItem* connectionNode() { return wnd().tree()->topLevelItem(0)->child(0); }
    QueryWnd& openTable() {
        QTreeWidgetItem* table = connectionNode()->child(0);
        emit wnd().tree()->itemActivated(table, 0);
        settle();
        QueryWnd& w = *wnd().queryWindows().back();
        waitRun(w);
        return w;
    }
};

}  // namespace

TEST(QueryWnd, ATableNodeOpensItEditableAndEditsReachTheFile) {
    Session s;
    QueryWnd& w = s.openTable();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Ventana de datos"));
    EXPECT_EQ(w.editor()->text(), "SELECT * FROM clientes;");
    EXPECT_EQ(w.tables()->currentText(), QStringLiteral("clientes"));
    EXPECT_EQ(w.runner().mode(), QueryRunner::Mode::Table);
    EXPECT_EQ(w.grid()->rows().rowCount(), 3);
    EXPECT_FALSE(w.grid()->rows().isReadOnly());
    EXPECT_TRUE(w.button("Diseñador")->isEnabled());
    // A cell edit goes to the database.
    int nombre = -1;
    for (int c = 0; c < w.grid()->rows().columnCount(); ++c)
        if (w.grid()->rows().columnName(c) == "nombre") nombre = c;
    ASSERT_GE(nombre, 0);
    EXPECT_TRUE(w.grid()->rows().setCellText(1, nombre, "Luisa"));
    EXPECT_EQ(sqliteShell(s.db, "SELECT nombre FROM clientes WHERE id=2;"), "Luisa\n");
    EXPECT_TRUE(s.shown.empty());
}

// Another program deletes a row the grid shows: an edit of it says so and
// the cell keeps its value.
TEST(QueryWnd, AnEditOfARowDeletedElsewhereSaysSoAndKeepsTheOldValue) {
    Session s;
    QueryWnd& w = s.openTable();
    int nombre = -1;
    for (int c = 0; c < w.grid()->rows().columnCount(); ++c)
        if (w.grid()->rows().columnName(c) == "nombre") nombre = c;
    ASSERT_GE(nombre, 0);
    QAbstractItemModel* model = w.grid()->model();
    // An edit that reaches the file first.
    EXPECT_TRUE(
        model->setData(model->index(0, nombre + 1), QStringLiteral("Ana María"), Qt::EditRole));
    sqliteShell(s.db, "DELETE FROM clientes WHERE id=2;");
    const QModelIndex cell = model->index(1, nombre + 1);  // after "#ROW#"
    const QString before = model->data(cell).toString();
    EXPECT_FALSE(model->setData(cell, QStringLiteral("Luisa"), Qt::EditRole));
    ASSERT_EQ(s.shown.size(), 1u);
    EXPECT_EQ(s.shown[0].text, "No se guardó el cambio: ninguna fila de clientes tiene id=2");
    EXPECT_EQ(model->data(cell).toString(), before);
    EXPECT_EQ(sqliteShell(s.db, "SELECT COUNT(*) FROM clientes WHERE nombre='Luisa';"), "0\n");
}

TEST(QueryWnd, EjecutarRunsEachKindAndCreateShowsTheNewTableInTheTree) {
    Session s;
    s.wnd().tree()->setCurrentItem(s.connectionNode());
    s.settle();
    ASSERT_TRUE(s.wnd().action("Nueva ventana de consulta")->isEnabled());
    s.wnd().action("Nueva ventana de consulta")->trigger();
    s.settle();
    ASSERT_EQ(s.wnd().queryWindows().size(), 1u);
    QueryWnd& w = *s.wnd().queryWindows().back();
    EXPECT_EQ(w.editor()->text(), "");

    s.run(w, "select nombre from clientes where ciudad='Lima'");
    EXPECT_EQ(w.runner().mode(), QueryRunner::Mode::Query);
    EXPECT_TRUE(w.grid()->rows().isReadOnly());
    EXPECT_EQ(w.grid()->rows().rowCount(), 2);

    s.run(w, "CREATE TABLE pedidos(id INTEGER PRIMARY KEY, total REAL)");
    ASSERT_EQ(s.shown.size(), 1u);
    EXPECT_EQ(s.shown[0].text, "Comando completado");
    EXPECT_EQ(s.connectionNode()->childCount(), 2);
    EXPECT_NE(w.tables()->findText(QStringLiteral("pedidos")), -1);

    // A failing command in a transaction is rolled back and reported.
    w.transaction()->setChecked(true);
    s.run(w, "DELETE FROM nada");
    ASSERT_EQ(s.shown.size(), 2u);
    EXPECT_EQ(s.shown[1].icon, "ERROR");
    EXPECT_EQ(w.runner().mode(), QueryRunner::Mode::Query);  // the rows shown stay

    // The tables list opens a table without touching the editor.
    w.tables()->setCurrentIndex(w.tables()->findText(QStringLiteral("clientes")));
    w.openListedTable(w.tables()->currentIndex());
    s.waitRun(w);
    EXPECT_EQ(w.runner().mode(), QueryRunner::Mode::Table);
    EXPECT_EQ(w.editor()->text(), "DELETE FROM nada");
}

TEST(QueryWnd, SaveFilterAndClose) {
    Session s;
    QueryWnd& w = s.openTable();
    testsupport::TempFolder out;
    std::string target = out.file("clientes.txt");
    FileDialogs::setResponder([&](const FileDialogs::Request& r, int&) {
        EXPECT_EQ(r.title, "Guardar datos de consulta");
        return String(target);
    });
    w.save();
    ASSERT_EQ(s.shown.size(), 1u);
    EXPECT_EQ(s.shown[0].text, "Datos guardados");
    EXPECT_NE(fileBytes(target).find("Luis"), std::string::npos);

    // A query saved as INSERT statements asks which table they name.
    s.run(w, "SELECT nombre, ciudad FROM clientes ORDER BY id");
    target = out.file("copia.sql");
    InputBox::setResponder([](const String&, const String&, String& value) {
        value = "copia";
        return true;
    });
    w.save();
    sqliteShell(out.file("copia.db"), "CREATE TABLE copia(nombre TEXT, ciudad TEXT);");
    sqliteShell(out.file("copia.db"), ".read " + target);
    EXPECT_EQ(sqliteShell(out.file("copia.db"), "SELECT count(*) FROM copia;"), "3\n");

    // Filter: only Lima, then everything again.
    QTimer::singleShot(0, [] {
        auto* d = dynamic_cast<QFilterDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->set(1, "Lima", true);
        d->accept();
    });
    w.filter();
    EXPECT_EQ(w.grid()->rows().rowCount(), 2);
    QTimer::singleShot(0, [] {
        auto* d = dynamic_cast<QFilterDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->set(1, "", false);
        d->accept();
    });
    w.filter();
    EXPECT_EQ(w.grid()->rows().rowCount(), 3);

    // Closing: the window goes at the next idle pass.
    w.close();
    s.settle();
    EXPECT_TRUE(s.wnd().queryWindows().empty());
}

TEST(QueryWnd, ALongReadKeepsTheWindowAliveAndCancelStopsIt) {
    Session s;
    QueryWnd& w = s.openTable();
    // A statement that would read for ever.
    w.editor()->setText(
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c) SELECT count(*) FROM c");
    w.button("Ejecutar")->click();
    ASSERT_TRUE(w.running());
    EXPECT_TRUE(w.button("Cancelar")->isVisible());
    EXPECT_FALSE(w.button("Guardar")->isEnabled());
    // The window keeps answering, and nothing else may use the connection.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(w.running());
    s.wnd().tree()->setCurrentItem(s.connectionNode());
    s.settle();
    s.wnd().action("Nueva ventana de consulta")->trigger();
    ASSERT_EQ(s.shown.size(), 1u);
    EXPECT_NE(std::string(s.shown[0].text.c_str()).find("ocupada"), std::string::npos);
    EXPECT_EQ(s.wnd().queryWindows().size(), 1u);

    w.button("Cancelar")->click();
    s.waitRun(w);
    ASSERT_FALSE(w.running());
    ASSERT_EQ(s.shown.size(), 2u);
    EXPECT_EQ(s.shown[1].text, "Consulta cancelada");
    // The table shown before is still there, and the connection is free.
    EXPECT_EQ(w.runner().mode(), QueryRunner::Mode::Table);
    EXPECT_EQ(w.grid()->rows().rowCount(), 3);
    s.run(w, "SELECT count(*) FROM clientes");
    EXPECT_EQ(w.runner().mode(), QueryRunner::Mode::Query);
    EXPECT_EQ(s.shown.size(), 2u);
}
