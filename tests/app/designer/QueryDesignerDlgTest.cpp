// The query designer's windows on the offscreen platform over a real
// SQLite file: the tree, columns added from it (also with Enter), cells set
// in the grid (check boxes, refused characters, the zoom window), a
// relation made in "Relación entre tablas", "Procesar"; and the query
// window's "Diseñador" inside the real application, whose SQL lands in the
// editor and runs on the file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include <QAbstractButton>
#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QValidator>

#include "app/designer/DesignerMemory.h"
#include "app/designer/ExpandColumnDlg.h"
#include "app/designer/QueryDesignerDlg.h"
#include "app/designer/TableJoinDlg.h"
#include "app/designer/TableJoinLogic.h"
#include "app/main/MainWnd.h"
#include "app/main/ZaRavApp.h"
#include "app/query/QueryWnd.h"
#include "app/query/TableGridWidget.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "tests/app/designer/SalesFile.h"
#include "tests/support/SqliteShell.h"
#include "tests/support/TempFolder.h"
#include "ui/CodeEditor.h"
#include "ui/FileDialogs.h"
#include "ui/MsgBox.h"

using testsupport::sqliteShell;
using VORLIN::FileDialogs;
using VORLIN::MsgBox;
using VORLIN::SqliteLocalConnection;
using VORLIN::String;

namespace {

// Runs `act` on the modal window once it shows (a window's exec() is
// running by then); a window that never shows fails the test.
void onModal(std::function<void(QWidget*)> act, int tries = 200) {
    QTimer::singleShot(10, [act, tries] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w && tries > 0) {
            onModal(act, tries - 1);
            return;
        }
        if (!w) {
            ADD_FAILURE() << "no modal window showed";
            return;
        }
        act(w);
    });
}

QPushButton* buttonIn(QWidget* w, const QString& text) {
    for (QPushButton* b : w->findChildren<QPushButton*>())
        if (b->text().remove(QLatin1Char('&')) == text) return b;
    return nullptr;
}

// Collects message boxes instead of showing them.
struct Boxes {
    std::vector<MsgBox::Shown> shown;
    Boxes() {
        MsgBox::setResponder([this](const MsgBox::Shown& s) {
            shown.push_back(s);
            return 0;
        });
    }
    ~Boxes() { MsgBox::setResponder({}); }
};

struct SalesFile : designertest::SalesFile {
    SalesFile()
        : designertest::SalesFile(
              "CREATE TABLE clientes(id INTEGER PRIMARY KEY, nombre TEXT, ciudad TEXT);"
              "INSERT INTO clientes VALUES(1,'Ana','Lima'),(2,'Luis','Quito'),"
              "(3,'Eva','Lima');"
              "CREATE TABLE \\\"mis pedidos\\\"(id INTEGER PRIMARY KEY, cliente INTEGER, "
              "total REAL);"
              "INSERT INTO \\\"mis pedidos\\\" VALUES(10,1,5.5),(11,1,4.5),(12,2,7);") {}
};

int gridColumn(QueryDesignerDlg& d, const char* title) {
    return d.logic().design().columnIndex(title);
}

// Chooses the relation in a shown "Relación entre tablas" by names.
void chooseJoin(TableJoinDlg& j, const char* t1, const char* c1, const char* t2, const char* c2,
                const char* join) {
    j.tableList(0)->setCurrentIndex(j.tableList(0)->findText(QString::fromUtf8(t1)));
    j.fieldList(0)->setCurrentIndex(j.fieldList(0)->findText(QString::fromUtf8(c1)));
    j.tableList(1)->setCurrentIndex(j.tableList(1)->findText(QString::fromUtf8(t2)));
    j.fieldList(1)->setCurrentIndex(j.fieldList(1)->findText(QString::fromUtf8(c2)));
    j.joinList()->setCurrentIndex(j.joinList()->findText(QString::fromUtf8(join)));
}

}  // namespace

TEST(QueryDesignerDlg, TreeColumnsAndTheGridCells) {
    SalesFile f;
    Boxes boxes;
    QueryDesignerDlg d(f.connection, nullptr);
    d.show();
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Diseñador de consultas"));
    EXPECT_EQ(d.tree()->accessibleName(), QStringLiteral("TABLAS"));
    QTreeWidgetItem* database = d.tree()->topLevelItem(0);
    ASSERT_NE(database, nullptr);
    EXPECT_EQ(database->text(0), QStringLiteral("ventas"));
    ASSERT_EQ(database->childCount(), 2);
    EXPECT_EQ(database->child(0)->text(0), QStringLiteral("clientes"));
    EXPECT_EQ(database->child(1)->text(0), QStringLiteral("mis pedidos"));
    // Columns are read when a table opens.
    EXPECT_EQ(database->child(0)->childCount(), 0);
    database->child(0)->setExpanded(true);
    ASSERT_EQ(database->child(0)->childCount(), 4);
    EXPECT_EQ(database->child(0)->child(0)->text(0), QStringLiteral("*"));
    EXPECT_EQ(database->child(0)->child(2)->text(0), QStringLiteral("nombre"));

    EXPECT_EQ(d.typeList()->currentText(), QStringLiteral("SELECT"));
    EXPECT_EQ(d.grid()->columnCount(), 11);
    EXPECT_EQ(d.grid()->horizontalHeaderItem(6)->text(), QStringLiteral("Orden"));
    // Widths follow the design's units: "Campo" (80) is twice "Ver" (40).
    EXPECT_EQ(d.grid()->columnWidth(1), 2 * d.grid()->columnWidth(3));

    // Enter on a column adds it; a double click (chooseItem) too; tables
    // and the database add nothing.
    d.tree()->setCurrentItem(d.columnItem("clientes", "nombre"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(d.tree(), &enter);
    d.chooseItem(d.columnItem("mis pedidos", "total"));
    d.chooseItem(d.tableItem("clientes"));
    d.chooseItem(database);
    d.chooseItem(d.columnItem("clientes", "ciudad"));
    ASSERT_EQ(d.grid()->rowCount(), 3);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.grid()->item(1, 0)->text(), QStringLiteral("mis pedidos"));
    EXPECT_EQ(d.grid()->item(1, 1)->text(), QStringLiteral("total"));
    EXPECT_EQ(d.grid()->item(1, 3)->checkState(), Qt::Checked);

    // Cells typed in the grid reach the design.
    const int alias = gridColumn(d, "Alias");
    const int filtro = gridColumn(d, "Filtro");
    const int ver = gridColumn(d, "Ver");
    d.grid()->item(1, alias)->setText(QStringLiteral("suma"));
    d.grid()->item(2, ver)->setCheckState(Qt::Unchecked);
    d.grid()->item(2, filtro)->setText(QStringLiteral("= 'Lima'"));
    const QueryDesign& design = d.logic().design();
    EXPECT_EQ(design.cell(1, "Alias"), "suma");
    EXPECT_FALSE(design.checked(2, "Ver"));
    // Space on a check cell and a click in it change the check.
    d.grid()->setCurrentCell(2, ver);
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    QApplication::sendEvent(d.grid(), &space);
    EXPECT_TRUE(design.checked(2, "Ver"));
    const QPoint centre = d.grid()->visualItemRect(d.grid()->item(2, ver)).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent click(type, centre, d.grid()->viewport()->mapToGlobal(centre), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(d.grid()->viewport(), &click);
    }
    EXPECT_FALSE(design.checked(2, "Ver"));
    EXPECT_EQ(d.grid()->item(2, ver)->checkState(), Qt::Unchecked);
    EXPECT_EQ(design.cell(2, "Filtro"), "= 'Lima'");
    EXPECT_TRUE(boxes.shown.empty());
    // Refused text: the cell goes back, the reason is shown.
    d.grid()->item(0, alias)->setText(QStringLiteral("dos palabras"));
    EXPECT_EQ(d.grid()->item(0, alias)->text(), QString());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].icon, "ALERT");

    // The editors: a line that refuses characters outside the column's set,
    // a choice list for "Orden".
    QStyleOptionViewItem option;
    QAbstractItemDelegate* delegate = d.grid()->itemDelegate();
    QWidget* editor =
        delegate->createEditor(d.grid()->viewport(), option, d.grid()->model()->index(0, filtro));
    auto* line = qobject_cast<QLineEdit*>(editor);
    ASSERT_NE(line, nullptr);
    ASSERT_NE(line->validator(), nullptr);
    QString typed = QStringLiteral("= 'ñandú' AND x > 2");
    int pos = 0;
    EXPECT_EQ(line->validator()->validate(typed, pos), QValidator::Acceptable);
    typed = QStringLiteral("= 1; DROP");
    EXPECT_EQ(line->validator()->validate(typed, pos), QValidator::Invalid);
    delete editor;
    editor = delegate->createEditor(d.grid()->viewport(), option,
                                    d.grid()->model()->index(0, gridColumn(d, "Orden")));
    auto* list = qobject_cast<QComboBox*>(editor);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->itemText(0), QString());
    EXPECT_EQ(list->itemText(2), QStringLiteral("DESC"));
    list->setCurrentIndex(2);
    delegate->setModelData(list, d.grid()->model(), d.grid()->model()->index(0, 6));
    EXPECT_EQ(design.cell(0, "Orden"), "DESC");
    delete editor;

    // Delete (or "Quitar") takes the selected row out.
    d.grid()->setCurrentCell(1, 0);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(d.grid(), &del);
    EXPECT_EQ(design.rowCount(), 2);
    EXPECT_EQ(design.cell(1, "Campo"), "ciudad");
    d.grid()->setCurrentCell(1, 0);
    d.button("Quitar")->click();
    EXPECT_EQ(design.rowCount(), 1);
    EXPECT_EQ(design.cell(0, "Campo"), "nombre");
    EXPECT_EQ(d.grid()->rowCount(), 1);
}

TEST(QueryDesignerDlg, ACellBeingTypedInIsWrittenBeforeProcesar) {
    SalesFile f;
    Boxes boxes;
    QueryDesignerDlg d(f.connection, nullptr);
    d.show();
    d.activateWindow();
    QApplication::setActiveWindow(&d);
    d.chooseItem(d.columnItem("clientes", "nombre"));
    const int filtro = gridColumn(d, "Filtro");
    d.grid()->setFocus();
    d.grid()->setCurrentCell(0, filtro);
    d.grid()->editItem(d.grid()->item(0, filtro));
    auto* line = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(line, nullptr);
    line->setText(QStringLiteral("= 'Eva'"));
    EXPECT_EQ(d.logic().design().cell(0, "Filtro"), "");
    d.process();
    EXPECT_EQ(d.result(), 1);
    EXPECT_EQ(d.sql().toStdString(),
              "SELECT clientes.nombre\r\nFROM clientes\r\nWHERE clientes.nombre = 'Eva';");
    EXPECT_EQ(f.run(d.sql()), "Eva\n");
}

TEST(QueryDesignerDlg, ZoomWindowEditsACellAndRefusesBadCharacters) {
    SalesFile f;
    Boxes boxes;
    QueryDesignerDlg d(f.connection, nullptr);
    d.show();
    d.chooseItem(d.columnItem("clientes", "nombre"));
    const int filtro = gridColumn(d, "Filtro");
    d.grid()->setCurrentCell(0, filtro);
    bool sawRefusal = false;
    onModal([&](QWidget* w) {
        auto* zoom = dynamic_cast<ExpandColumnDlg*>(w);
        if (!zoom) {
            ADD_FAILURE() << "not the zoom window";
            w->close();
            return;
        }
        EXPECT_EQ(zoom->windowTitle(), QStringLiteral("Zoom de la propiedad"));
        EXPECT_EQ(zoom->editor()->accessibleName(), QStringLiteral("Filtro"));
        zoom->editor()->setText("= 'x';");
        buttonIn(zoom, QStringLiteral("OK"))->click();
        sawRefusal = zoom->isVisible() && boxes.shown.size() == 1;
        zoom->editor()->setText("LIKE 'A%'\nOR 1 = 0");
        buttonIn(zoom, QStringLiteral("OK"))->click();
    });
    d.zoomCell();
    EXPECT_TRUE(sawRefusal);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "La columna Filtro no admite el carácter ';'");
    EXPECT_EQ(d.logic().design().cell(0, "Filtro"), "LIKE 'A%' OR 1 = 0");
    EXPECT_EQ(d.grid()->item(0, filtro)->text(), QStringLiteral("LIKE 'A%' OR 1 = 0"));

    // "Cancelar" leaves the cell; check boxes do not open the window.
    onModal([](QWidget* w) {
        auto* zoom = dynamic_cast<ExpandColumnDlg*>(w);
        if (zoom) zoom->editor()->setText("= 2");
        buttonIn(w, QStringLiteral("Cancelar"))->click();
    });
    d.zoomCell();
    EXPECT_EQ(d.logic().design().cell(0, "Filtro"), "LIKE 'A%' OR 1 = 0");
    d.grid()->setCurrentCell(0, gridColumn(d, "Ver"));
    // (A zoom window would be the modal one, and stay open.)
    d.zoomCell();
    EXPECT_EQ(QApplication::activeModalWidget(), &d);
}

TEST(QueryDesignerDlg, RelationThroughTableJoinDlgAndProcesar) {
    SalesFile f;
    Boxes boxes;
    DesignerMemory memory;
    QueryDesignerDlg d(f.connection, &memory);
    d.show();
    // Nothing chosen: "Procesar" warns and the window stays.
    d.button("Procesar")->click();
    EXPECT_TRUE(d.isVisible());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Seleccione al menos una columna de una tabla");
    EXPECT_EQ(boxes.shown[0].icon, "ALERT");
    // No relation selected: "!" and "-" warn.
    d.button("!")->click();
    d.button("-")->click();
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown[1].text, "Seleccione una relación");
    EXPECT_EQ(boxes.shown[2].text, "Seleccione una relación");
    EXPECT_EQ(d.button("+")->toolTip(), QStringLiteral("Agregar nueva relación"));
    EXPECT_EQ(d.button("!")->toolTip(), QStringLiteral("Editar relación seleccionada"));
    EXPECT_EQ(d.button("-")->toolTip(), QStringLiteral("Eliminar relación seleccionada"));
    EXPECT_EQ(d.button("Abrir")->toolTip(),
              QStringLiteral("Abre un diseño guaraddo para su edición"));

    d.chooseItem(d.columnItem("clientes", "nombre"));
    d.chooseItem(d.columnItem("mis pedidos", "total"));
    d.grid()->item(1, gridColumn(d, "Orden"))->setText(QStringLiteral("DESC"));

    onModal([](QWidget* w) {
        auto* j = dynamic_cast<TableJoinDlg*>(w);
        if (!j) {
            ADD_FAILURE() << "not the relation window";
            w->close();
            return;
        }
        EXPECT_EQ(j->windowTitle(), QStringLiteral("Relación entre tablas"));
        EXPECT_EQ(j->tableList(0)->count(), 2);
        EXPECT_EQ(j->fieldList(0)->count(), 0);
        // OK with nothing chosen warns and stays.
        buttonIn(j, QStringLiteral("OK"))->click();
        EXPECT_TRUE(j->isVisible());
        chooseJoin(*j, "clientes", "id", "mis pedidos", "cliente", "LEFT JOIN");
        EXPECT_EQ(j->fieldList(1)->count(), 3);
        EXPECT_FALSE(j->meaning()->text().isEmpty());
        buttonIn(j, QStringLiteral("OK"))->click();
    });
    d.button("+")->click();
    ASSERT_EQ(boxes.shown.size(), 4u);
    EXPECT_EQ(boxes.shown[3].text, TableJoinLogic::kIncomplete);
    ASSERT_EQ(d.relations()->count(), 1);
    EXPECT_EQ(d.relations()->item(0)->text(), QStringLiteral("clientes.id = mis pedidos.cliente"));

    // "!" on the selected relation: the window starts from it.
    d.relations()->setCurrentRow(0);
    onModal([](QWidget* w) {
        auto* j = dynamic_cast<TableJoinDlg*>(w);
        if (!j) {
            w->close();
            return;
        }
        EXPECT_EQ(j->tableList(1)->currentText(), QStringLiteral("mis pedidos"));
        EXPECT_EQ(j->fieldList(1)->currentText(), QStringLiteral("cliente"));
        EXPECT_EQ(j->joinList()->currentText(), QStringLiteral("LEFT JOIN"));
        j->joinList()->setCurrentIndex(j->joinList()->findText(QStringLiteral("INNER JOIN")));
        buttonIn(j, QStringLiteral("OK"))->click();
    });
    d.button("!")->click();
    EXPECT_EQ(d.logic().design().relations()[0].join, "INNER JOIN");

    d.button("Procesar")->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), 1);
    EXPECT_EQ(d.sql().toStdString(),
              "SELECT clientes.nombre, \"mis pedidos\".total\r\n"
              "FROM clientes INNER JOIN \"mis pedidos\" ON clientes.id = \"mis pedidos\".cliente"
              "\r\nORDER BY \"mis pedidos\".total DESC;");
    EXPECT_EQ(f.run(d.sql()), "Luis|7.0\nAna|5.5\nAna|4.5\n");
    ASSERT_TRUE(memory.hasDesign());
    EXPECT_EQ(memory.design().rowCount(), 2);

    // A new window starts from the remembered design; "Limpiar" empties it,
    // "-" takes a relation out, "Salir" answers 0.
    QueryDesignerDlg again(f.connection, &memory);
    again.show();
    EXPECT_EQ(again.grid()->rowCount(), 2);
    ASSERT_EQ(again.relations()->count(), 1);
    again.relations()->setCurrentRow(0);
    again.button("-")->click();
    EXPECT_EQ(again.relations()->count(), 0);
    again.button("Limpiar")->click();
    EXPECT_EQ(again.grid()->rowCount(), 0);
    again.button("Salir")->click();
    EXPECT_EQ(again.result(), 0);
    EXPECT_EQ(memory.design().rowCount(), 2);
}

TEST(QueryDesignerDlg, TypeListGuardarAbrirAndKeyboardNames) {
    SalesFile f;
    Boxes boxes;
    QueryDesignerDlg d(f.connection, nullptr, String(f.folder.path + "/"));
    d.show();
    d.chooseItem(d.columnItem("clientes", "ciudad"));
    // Changing the type asks first; "Cancelar" keeps the design and the list.
    MsgBox::setResponder([&](const MsgBox::Shown& s) {
        boxes.shown.push_back(s);
        return s.icon == "ASK" ? 1 : 0;
    });
    d.typeList()->setCurrentIndex(1);
    EXPECT_EQ(d.typeList()->currentText(), QStringLiteral("SELECT"));
    EXPECT_EQ(d.grid()->rowCount(), 1);
    MsgBox::setResponder([&](const MsgBox::Shown& s) {
        boxes.shown.push_back(s);
        return 0;
    });
    d.typeList()->setCurrentIndex(1);
    EXPECT_EQ(d.logic().type(), QueryDesign::kUpdate);
    EXPECT_EQ(d.grid()->rowCount(), 0);
    EXPECT_EQ(d.grid()->columnCount(), 5);
    EXPECT_EQ(d.grid()->horizontalHeaderItem(2)->text(), QStringLiteral("Valor"));
    EXPECT_FALSE(d.button("+")->isEnabled());
    d.chooseItem(d.columnItem("clientes", "ciudad"));
    d.grid()->item(0, 2)->setText(QStringLiteral("'Cusco'"));
    d.chooseItem(d.columnItem("clientes", "nombre"));
    d.grid()->item(1, 3)->setText(QStringLiteral("= 'Eva'"));

    // "Guardar" then "Abrir" through the file dialogs.
    std::vector<FileDialogs::Request> asked;
    const String file(f.folder.file("cambio.xml"));
    FileDialogs::setResponder([&](const FileDialogs::Request& r, int&) {
        asked.push_back(r);
        return file;
    });
    boxes.shown.clear();
    d.button("Guardar")->click();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, "Guardar diseño de consulta");
    EXPECT_EQ(asked[0].filter, "Archivos XML (*.xml)|*.xml");
    EXPECT_EQ(asked[0].startFolder, String(f.folder.path + "/"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "*** Diseño de consulta guardado ****");
    EXPECT_EQ(boxes.shown[0].icon, "INFO");
    d.button("Limpiar")->click();
    EXPECT_EQ(d.grid()->rowCount(), 0);
    d.typeList()->setCurrentIndex(0);
    EXPECT_EQ(d.grid()->columnCount(), 11);
    d.button("Abrir")->click();
    FileDialogs::setResponder({});
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].title, "Abrir diseño de consulta");
    EXPECT_EQ(d.typeList()->currentText(), QStringLiteral("UPDATE"));
    ASSERT_EQ(d.grid()->rowCount(), 2);
    EXPECT_EQ(d.grid()->item(0, 2)->text(), QStringLiteral("'Cusco'"));
    d.process();
    EXPECT_EQ(d.result(), 1);
    EXPECT_EQ(d.sql().toStdString(),
              "UPDATE clientes\r\nSET ciudad = 'Cusco'\r\nWHERE nombre = 'Eva';");
    EXPECT_EQ(f.run(d.sql()), "");
    EXPECT_EQ(sqliteShell(f.db, "SELECT ciudad FROM clientes WHERE id=3;"), "Cusco\n");

    // Every control has a name for assistive technology, every button a
    // hint, and no button is pressed by Enter.
    int controls = 0;
    for (QWidget* w : d.findChildren<QWidget*>()) {
        if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QComboBox*>(w) &&
            !qobject_cast<QAbstractItemView*>(w))
            continue;
        // The grid's own parts (headers, corner button) are the grid's.
        if (qobject_cast<QHeaderView*>(w) || qobject_cast<QAbstractItemView*>(w->parentWidget()))
            continue;
        ++controls;
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
        EXPECT_NE(w->focusPolicy(), Qt::NoFocus) << w->accessibleName().toStdString();
    }
    EXPECT_GE(controls, 14);
    for (QPushButton* b : d.findChildren<QPushButton*>()) {
        EXPECT_FALSE(b->toolTip().isEmpty()) << b->text().toStdString();
        EXPECT_FALSE(b->autoDefault()) << b->text().toStdString();
    }
}

namespace {

int argc0 = 1;
char arg0[] = "app_tests";
char* argv0[] = {arg0, nullptr};

// The real application with one local connection open on ventas.db.
struct Session {
    testsupport::TempFolder home;
    SalesFile file;
    std::vector<MsgBox::Shown> shown;
    std::unique_ptr<VORLIN::ZaRavApp> app;
    Session() {
        ::setenv("XDG_CONFIG_HOME", home.path.c_str(), 1);
        MsgBox::setResponder([this](const MsgBox::Shown& s) {
            shown.push_back(s);
            return 0;
        });
        app = std::make_unique<VORLIN::ZaRavApp>(argc0, argv0);
        FileDialogs::setResponder(
            [this](const FileDialogs::Request&, int&) { return String(file.db); });
        wnd().action("Sqlite local")->trigger();
        FileDialogs::setResponder({});
        settle();
    }
    ~Session() {
        app.reset();
        MsgBox::setResponder({});
        FileDialogs::setResponder({});
    }
    VORLIN::MainWnd& wnd() { return *app->mainWnd(); }
    void settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            app->queueEmpty();
        }
    }
    // The window reads the table on its own thread: its commands wait.
    QueryWnd& openTable() {
        QTreeWidgetItem* table = wnd().tree()->topLevelItem(0)->child(0)->child(0);
        emit wnd().tree()->itemActivated(table, 0);
        settle();
        QueryWnd& w = *wnd().queryWindows().back();
        QElapsedTimer t;
        t.start();
        while (w.running() && t.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        settle();
        return w;
    }
};

}  // namespace

TEST(QueryWndDesigner, DisenadorPutsTheSqlIntoTheEditorAndRemembersTheDesign) {
    Session s;
    QueryWnd& w = s.openTable();
    QPushButton* designer = w.button("Diseñador");
    ASSERT_NE(designer, nullptr);
    EXPECT_TRUE(designer->isEnabled());
    EXPECT_FALSE(designer->toolTip().contains(QStringLiteral("todavía")));
    const String before = w.editor()->text();

    // "Salir" leaves the editor as it was.
    onModal([](QWidget* d) { buttonIn(d, QStringLiteral("Salir"))->click(); });
    designer->click();
    EXPECT_EQ(w.editor()->text(), before);

    onModal([](QWidget* w2) {
        auto* d = dynamic_cast<QueryDesignerDlg*>(w2);
        if (!d) {
            ADD_FAILURE() << "not the designer";
            w2->close();
            return;
        }
        d->chooseItem(d->columnItem("clientes", "ciudad"));
        d->chooseItem(d->columnItem("clientes", "*"));
        d->grid()->item(1, gridColumn(*d, "Funcion"))->setText(QStringLiteral("COUNT"));
        d->grid()->item(1, gridColumn(*d, "Alias"))->setText(QStringLiteral("n"));
        d->grid()->item(0, gridColumn(*d, "Grupo"))->setCheckState(Qt::Checked);
        d->grid()->item(0, gridColumn(*d, "Orden"))->setText(QStringLiteral("ASC"));
        d->button("Procesar")->click();
    });
    designer->click();
    const std::string sql = w.editor()->text().toStdString();
    EXPECT_EQ(sql,
              "SELECT clientes.ciudad, COUNT(*) AS n\r\nFROM clientes\r\n"
              "GROUP BY clientes.ciudad\r\nORDER BY clientes.ciudad;");
    EXPECT_TRUE(s.shown.empty());
    // One edit: Ctrl+Z brings the old text back.
    w.editor()->undo();
    EXPECT_EQ(w.editor()->text(), before);
    w.editor()->redo();
    EXPECT_EQ(w.editor()->text().toStdString(), sql);
    // It runs on the file.
    EXPECT_EQ(s.file.run(String(sql)), "Lima|2\nQuito|1\n");

    // The application remembers the design for the next designer, from any
    // query window.
    EXPECT_EQ(s.wnd().designerMemory().design().rowCount(), 2);
    s.wnd().tree()->setCurrentItem(s.wnd().tree()->topLevelItem(0)->child(0));
    s.settle();
    s.wnd().action("Nueva ventana de consulta")->trigger();
    s.settle();
    QueryWnd& other = *s.wnd().queryWindows().back();
    ASSERT_NE(&other, &w);
    int rows = -1;
    onModal([&rows](QWidget* w2) {
        auto* d = dynamic_cast<QueryDesignerDlg*>(w2);
        rows = d ? d->grid()->rowCount() : -2;
        buttonIn(w2, QStringLiteral("Salir"))->click();
    });
    other.button("Diseñador")->click();
    EXPECT_EQ(rows, 2);
}

TEST(QueryWndDesigner, WaitsWhileTheConnectionReads) {
    Session s;
    QueryWnd& w = s.openTable();
    s.wnd().tree()->setCurrentItem(s.wnd().tree()->topLevelItem(0)->child(0));
    s.settle();
    s.wnd().action("Nueva ventana de consulta")->trigger();
    s.settle();
    ASSERT_EQ(s.wnd().queryWindows().size(), 2u);
    QueryWnd& other = *s.wnd().queryWindows().back();

    // A statement that would read for ever.
    w.editor()->setText(
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c) SELECT count(*) FROM c");
    w.button("Ejecutar")->click();
    ASSERT_TRUE(w.running());
    EXPECT_FALSE(w.button("Diseñador")->isEnabled());
    // Another window's designer may not read the busy connection: it says
    // so and does not open (a window that opened anyway is closed here).
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* m = QApplication::activeModalWidget()) {
            ADD_FAILURE() << "the designer opened on a busy connection";
            m->close();
        }
    });
    guard.start(50);
    other.openDesigner();
    guard.stop();
    ASSERT_EQ(s.shown.size(), 1u);
    EXPECT_NE(s.shown[0].text.toStdString().find("ocupada"), std::string::npos);
    EXPECT_EQ(s.shown[0].icon, "ALERT");

    // (The statement must have started reading for "Cancelar" to reach it.)
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    w.button("Cancelar")->click();
    t.start();
    while (w.running() && t.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    s.settle();
    ASSERT_FALSE(w.running());
    EXPECT_TRUE(w.button("Diseñador")->isEnabled());
}
