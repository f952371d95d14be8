// The query window's grid on a real SQLite file: edits, new rows, deletions
// and NULLs read back with the sqlite3 shell, through the adapter and
// through the keys of the grid itself; query results stay read-only; a
// million rows cost the model nothing per row.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QKeyEvent>
#include <QLineEdit>

#include "app/main/UiPorts.h"
#include "app/query/QtGridDelegate.h"
#include "app/query/QtGridModel.h"
#include "app/query/QueryRunner.h"
#include "app/query/TGDataset.h"
#include "app/query/TableGridWidget.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "tests/app/query/SheetReader.h"
#include "tests/support/TempFolder.h"
#include "ui/MsgBox.h"

using namespace VORLIN;
using querytest::openSqlite;
using querytest::run;

namespace {

// A SQLite file with a text key, an integer key, a table without key, a
// view and a checked column; the message boxes are answered and recorded.
struct GridFixture : ::testing::Test {
    testsupport::TempFolder dir{"quelmir-grid"};
    std::string file = dir.file("g.db");
    std::unique_ptr<SqliteLocalConnection> db;
    std::unique_ptr<QueryRunner> runner;
    UiPorts ports;
    std::vector<MsgBox::Shown> boxes;
    int answer = 0;

    void SetUp() override {
        shell(
            "CREATE TABLE gente(code TEXT PRIMARY KEY, name TEXT, born DATE, active BOOL);"
            "INSERT INTO gente VALUES('a','Ana','1990-05-01',1),('b','Luis',NULL,0),"
            "('c','Eva','2001-12-24',1);"
            "CREATE TABLE nums(id INTEGER PRIMARY KEY, v INTEGER CHECK(v >= 0), t TEXT);"
            "INSERT INTO nums VALUES(1,10,'x'),(2,20,'y'),(3,30,'z');"
            "CREATE TABLE sueltos(a TEXT, b INTEGER);"
            "INSERT INTO sueltos VALUES('p',1),('q',2);"
            "CREATE VIEW vista AS SELECT name, length(name) AS largo FROM gente;");
        db = openSqlite(dir.path, "g.db");
        runner = std::make_unique<QueryRunner>(*db);
        ports.install(UiPorts::Settings{});
        MsgBox::setResponder([this](const MsgBox::Shown& s) {
            boxes.push_back(s);
            return answer;
        });
    }
    void TearDown() override {
        MsgBox::setResponder({});
        ports.uninstall();
    }
    std::string shell(const std::string& sql) {
        return run("sqlite3 '" + file + "' \"" + sql + "\" 2>&1");
    }
    TableDataset* open(const char* text) {
        runner->run(String(text), false);
        EXPECT_EQ(runner->mode(), QueryRunner::Mode::Table);
        return runner->tableDataset();
    }
    std::string lastBox() const {
        return boxes.empty() ? std::string() : boxes.back().text.toStdString();
    }
};

std::string cellText(const TGDataset& g, int row, int column) {
    const DataItem* c = g.cell(row, column);
    if (!c) return "<none>";
    return c->isNull() ? "NULL" : c->text().toStdString();
}

// A key pressed and released on `w`, as the window system delivers it.
void press(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier,
           const QString& text = QString()) {
    QKeyEvent down(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(w, &down);
    QKeyEvent up(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(w, &up);
}

std::string shown(const QAbstractItemModel& m, int row, int column) {
    return m.data(m.index(row, column)).toString().toStdString();
}

TEST_F(GridFixture, TextKeyEditsNewRowAndDelete) {
    TGDataset g;
    g.bindTable(open("SELECT * FROM gente ORDER BY code;"), db.get());
    EXPECT_EQ(g.mode(), TGDataset::Mode::Table);
    EXPECT_FALSE(g.isReadOnly());
    ASSERT_EQ(g.columnCount(), 4);
    EXPECT_EQ(g.columnName(0).toStdString(), "code");
    EXPECT_EQ(g.columnType(2), DataItem::TDate);
    EXPECT_EQ(g.columnType(3), DataItem::TBool);

    // A plain cell, then the key itself: the row is renamed, not another one.
    EXPECT_TRUE(g.setCellText(1, 1, "Luisa"));
    EXPECT_TRUE(g.setCellText(1, 0, "bb"));
    EXPECT_TRUE(g.setCellText(1, 1, "Luisa María"));
    EXPECT_EQ(shell("SELECT code, name FROM gente ORDER BY code;"),
              "a|Ana\nbb|Luisa María\nc|Eva\n");

    // The pending row with a typed key keeps that key (no row id in it).
    EXPECT_TRUE(g.isPendingRow(3));
    EXPECT_FALSE(g.commitPending());  // nothing typed: nothing written
    EXPECT_TRUE(g.setCellText(3, 0, "d"));
    EXPECT_TRUE(g.setCellText(3, 1, "O'Neil"));
    EXPECT_TRUE(g.setCellText(3, 3, "1"));
    EXPECT_TRUE(g.commitPending());
    EXPECT_EQ(g.rowCount(), 4);
    EXPECT_EQ(cellText(g, 3, 0), "d");
    EXPECT_EQ(cellText(g, 4, 1), "NULL");  // the pending row starts empty again
    EXPECT_EQ(shell("SELECT code, name, active FROM gente WHERE code='d';"), "d|O'Neil|1\n");
    // The new row edits by its key like the loaded ones.
    EXPECT_TRUE(g.setCellText(3, 1, "Dora"));
    EXPECT_EQ(shell("SELECT name FROM gente WHERE code='d';"), "Dora\n");

    // Deleting runs the DELETE at once and leaves nothing to delete again.
    EXPECT_TRUE(g.deleteRow(0));
    EXPECT_EQ(shell("SELECT code FROM gente ORDER BY code;"), "bb\nc\nd\n");
    EXPECT_EQ(g.rowCount(), 3);
    EXPECT_EQ(g.tableDataset()->deletedRows().count(), 0);
    g.tableDataset()->saveChanges(*db);
    EXPECT_EQ(shell("SELECT count(*) FROM gente;"), "3\n");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(GridFixture, IntegerKeyFailingEditAndNull) {
    TGDataset g;
    g.bindTable(open("select * from nums;"), db.get());
    QtGridModel m(g);
    // A failing UPDATE keeps the old value and shows the database's text.
    EXPECT_FALSE(g.setCellText(0, 1, "-5"));
    EXPECT_EQ(cellText(g, 0, 1), "10");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon.toStdString(), "ERROR");
    EXPECT_NE(lastBox().find("CHECK constraint failed"), std::string::npos) << lastBox();
    EXPECT_EQ(shell("SELECT v FROM nums WHERE id=1;"), "10\n");

    // NULL reaches the database and the cell.
    EXPECT_TRUE(g.setCellNull(1, 2));
    EXPECT_EQ(cellText(g, 1, 2), "NULL");
    EXPECT_EQ(shell("SELECT t IS NULL FROM nums WHERE id=2;"), "1\n");

    // An empty integer key takes the row id the database gave.
    EXPECT_TRUE(g.setCellText(3, 1, "40"));
    EXPECT_TRUE(g.commitPending());
    EXPECT_EQ(cellText(g, 3, 0), "4");
    // A row the view was not told of yet does not take the pending row's place.
    EXPECT_EQ(m.rowCount(), 4);
    EXPECT_EQ(shown(m, 3, 0), "*");
    EXPECT_EQ(shown(m, 3, 1), "");
    m.rowsAppended(g.rowCount());
    EXPECT_EQ(m.rowCount(), 5);
    EXPECT_EQ(shown(m, 3, 1), "4");
    EXPECT_EQ(shell("SELECT id, v, t IS NULL FROM nums WHERE id=4;"), "4|40|1\n");

    // A failing INSERT throws, keeps the pending row and adds nothing.
    EXPECT_TRUE(g.setCellText(4, 1, "-1"));
    EXPECT_THROW(g.commitPending(), GeneralException);
    EXPECT_EQ(g.rowCount(), 4);
    EXPECT_TRUE(g.pendingChanged());
    EXPECT_EQ(cellText(g, 4, 1), "-1");
    g.clearPending();
    EXPECT_EQ(shell("SELECT count(*) FROM nums;"), "4\n");
}

TEST_F(GridFixture, TablesWithoutKey) {
    // A table without key column is edited by its row id, which is not shown.
    TGDataset g;
    TableDataset* t = open("SELECT * FROM sueltos;");
    ASSERT_TRUE(t->rowIdMode());
    g.bindTable(t, db.get());
    ASSERT_EQ(g.columnCount(), 2);
    EXPECT_EQ(g.columnName(0).toStdString(), "a");
    EXPECT_EQ(cellText(g, 1, 0), "q");
    EXPECT_TRUE(g.setCellText(1, 1, "7"));
    EXPECT_TRUE(g.setCellText(2, 0, "r"));
    EXPECT_TRUE(g.commitPending());
    EXPECT_TRUE(g.deleteRow(0));
    EXPECT_EQ(shell("SELECT rowid, a, b FROM sueltos;"), "2|q|7\n3|r|\n");

    // A view has neither: read-only, and a change is refused in our words.
    TableDataset* v = open("SELECT * FROM vista;");
    ASSERT_FALSE(v->rowIdMode());
    g.bindTable(v, db.get());
    EXPECT_TRUE(g.isReadOnly());
    EXPECT_FALSE(g.allowsNewRows());
    try {
        g.setCellText(0, 1, "X");
        FAIL() << "no refusal";
    } catch (const GeneralException& e) {
        EXPECT_EQ(std::string(e.message()),
                  "TGDataset: la tabla vista no tiene columna clave, sus filas no se pueden "
                  "modificar");
    }
    EXPECT_THROW(g.deleteRow(0), GeneralException);
    QtGridModel m(g);
    EXPECT_EQ(m.rowCount(), 3);  // no pending row
    EXPECT_FALSE(m.flags(m.index(0, 1)) & Qt::ItemIsEditable);
    EXPECT_FALSE(m.setData(m.index(0, 1), QStringLiteral("X")));
    EXPECT_EQ(lastBox(),
              "TGDataset: la tabla vista no tiene columna clave, sus filas no se pueden "
              "modificar");
    // The grid's keys say so too, without asking first.
    TableGrid grid;
    grid.showTable(v, db.get(), String("vista"));
    grid.setCurrentIndex(grid.gridModel().index(0, 1));
    boxes.clear();
    press(&grid, Qt::Key_Delete);
    press(&grid, Qt::Key_0, Qt::ControlModifier);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].icon.toStdString(), "ERROR");
    EXPECT_EQ(boxes[1].text.toStdString(), boxes[0].text.toStdString());
    EXPECT_EQ(shell("SELECT name FROM gente WHERE code='a';"), "Ana\n");
}

TEST_F(GridFixture, FilterAndIndexOrder) {
    TGDataset g;
    TableDataset* t = open("SELECT * FROM nums ORDER BY v DESC;");
    g.bindTable(t, db.get());
    QtGridModel m(g);
    EXPECT_EQ(m.headerData(0, Qt::Horizontal).toString().toStdString(), "#ROW#");
    EXPECT_EQ(m.headerData(2, Qt::Horizontal).toString().toStdString(), "v");
    EXPECT_EQ(shown(m, 0, 1) + shown(m, 1, 1) + shown(m, 2, 1), "321");
    EXPECT_EQ(shown(m, 0, 0), "1");
    EXPECT_EQ(shown(m, 3, 0), "*");

    // Sorting the index reorders what is shown; the link order stays.
    SortKeys byText(1);
    byText.add(2);
    t->sort(byText);
    m.reset();
    EXPECT_EQ(shown(m, 0, 3) + shown(m, 1, 3) + shown(m, 2, 3), "xyz");

    // A filter shows its selection, and its rows edit the right rows.
    t->filter(2, DataItem("y"), false);
    m.reset();
    EXPECT_EQ(m.rowCount(), 2);  // the selected row and the pending row
    EXPECT_EQ(shown(m, 0, 1), "2");
    EXPECT_TRUE(m.setData(m.index(0, 3), QStringLiteral("yy")));
    EXPECT_EQ(shell("SELECT id, t FROM nums ORDER BY id;"), "1|x\n2|yy\n3|z\n");
    EXPECT_TRUE(m.removeDataRow(0));
    EXPECT_EQ(m.rowCount(), 1);
    t->clearFilter();
    m.reset();
    EXPECT_EQ(m.rowCount(), 3);
    EXPECT_EQ(shell("SELECT id FROM nums ORDER BY id;"), "1\n3\n");
}

TEST_F(GridFixture, QueryModeIsReadOnly) {
    runner->run("SELECT code, name FROM gente ORDER BY code DESC", false);
    ASSERT_EQ(runner->mode(), QueryRunner::Mode::Query);
    TableGrid grid;
    grid.showQuery(runner->dataSet(), String("SELECT code, name FROM gente ORDER BY code DESC"));
    TGDataset& g = grid.rows();
    EXPECT_EQ(g.mode(), TGDataset::Mode::Query);
    EXPECT_TRUE(g.isReadOnly());
    QtGridModel& m = grid.gridModel();
    EXPECT_EQ(m.rowCount(), 3);
    EXPECT_EQ(m.columnCount(), 3);
    EXPECT_EQ(shown(m, 0, 1), "c");
    EXPECT_FALSE(m.flags(m.index(0, 2)) & Qt::ItemIsEditable);
    EXPECT_THROW(g.setCellText(0, 1, "X"), GeneralException);
    EXPECT_THROW(g.deleteRow(0), GeneralException);

    grid.show();
    grid.setFocus();
    grid.setCurrentIndex(m.index(0, 2));
    press(&grid, Qt::Key_Delete);
    press(&grid, Qt::Key_0, Qt::ControlModifier);
    press(&grid, Qt::Key_Return);
    EXPECT_FALSE(grid.isEditing());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(shell("SELECT count(*), count(name) FROM gente;"), "3|3\n");
    EXPECT_EQ(grid.title().toStdString(), "SELECT code, name FROM gente ORDER BY code DESC");
    grid.clear();
    EXPECT_EQ(grid.title().toStdString(), "--");
    EXPECT_EQ(m.columnCount(), 0);
    EXPECT_EQ(grid.accessibleName().toStdString(), "Datos");
}

// The person's side: keys of the grid, its editors and its pending row.
TEST_F(GridFixture, GridKeysEditorsAndPendingRow) {
    TableGrid grid;
    grid.showTable(open("SELECT * FROM gente ORDER BY code;"), db.get(), String("gente"));
    grid.resize(600, 300);
    grid.show();
    QApplication::processEvents();
    grid.setFocus();
    QtGridModel& m = grid.gridModel();
    EXPECT_EQ(m.rowCount(), 4);

    // Enter opens the editor; the typed text is written with Enter.
    grid.setCurrentIndex(m.index(0, 2));
    press(&grid, Qt::Key_Return);
    ASSERT_TRUE(grid.isEditing());
    auto* line = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(line, nullptr);
    line->selectAll();
    for (QChar c : QStringLiteral("Anabel"))
        press(line, c.toUpper().unicode(), Qt::NoModifier, QString(c));
    press(line, Qt::Key_Return);
    QApplication::processEvents();  // the editor closes through a queued call
    EXPECT_FALSE(grid.isEditing());
    EXPECT_EQ(shell("SELECT name FROM gente WHERE code='a';"), "Anabel\n");

    // Ctrl+0 sets NULL, shown greyed as "NULL".
    grid.setCurrentIndex(m.index(2, 2));
    press(&grid, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(shell("SELECT name IS NULL FROM gente WHERE code='c';"), "1\n");
    EXPECT_EQ(shown(m, 2, 2), "NULL");
    EXPECT_TRUE(m.data(m.index(2, 2), QtGridModel::kNullRole).toBool());
    EXPECT_TRUE(m.data(m.index(2, 2), Qt::FontRole).value<QFont>().italic());

    // The date and bool columns get their own editors.
    QStyleOptionViewItem option;
    QtGridDelegate* delegate = qobject_cast<QtGridDelegate*>(grid.itemDelegate());
    ASSERT_NE(delegate, nullptr);
    std::unique_ptr<QWidget> dateEditor(delegate->createEditor(&grid, option, m.index(0, 3)));
    auto* date = qobject_cast<QDateEdit*>(dateEditor.get());
    ASSERT_NE(date, nullptr);
    delegate->setEditorData(date, m.index(0, 3));
    EXPECT_EQ(date->date(), QDate(1990, 5, 1));
    date->setDate(QDate(1991, 6, 2));
    delegate->setModelData(date, &m, m.index(0, 3));
    std::unique_ptr<QWidget> boolEditor(delegate->createEditor(&grid, option, m.index(1, 4)));
    auto* check = qobject_cast<QCheckBox*>(boolEditor.get());
    ASSERT_NE(check, nullptr);
    delegate->setEditorData(check, m.index(1, 4));
    EXPECT_FALSE(check->isChecked());
    EXPECT_EQ(m.data(m.index(1, 4), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    check->setChecked(true);
    delegate->setModelData(check, &m, m.index(1, 4));
    EXPECT_EQ(shell("SELECT code, born, active FROM gente WHERE code IN ('a','b') ORDER BY code;"),
              "a|1991-06-02|1\nb||1\n");
    EXPECT_EQ(m.data(m.index(1, 4), Qt::CheckStateRole).toInt(), int(Qt::Checked));

    // The pending row is written when the cursor leaves it.
    grid.setCurrentIndex(m.index(3, 1));
    EXPECT_TRUE(m.setData(m.index(3, 1), QStringLiteral("e")));
    EXPECT_TRUE(m.setData(m.index(3, 2), QStringLiteral("Elena")));
    EXPECT_EQ(shown(m, 3, 0), "*");
    press(&grid, Qt::Key_Up);
    EXPECT_EQ(m.rowCount(), 5);
    EXPECT_EQ(shown(m, 3, 0), "4");
    EXPECT_EQ(shell("SELECT code, name FROM gente WHERE code='e';"), "e|Elena\n");

    // Delete asks first: "NO" keeps the row, "OK" deletes it.
    grid.setCurrentIndex(m.index(1, 1));
    answer = 1;
    press(&grid, Qt::Key_Delete);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(lastBox(), "¿Borrar la fila seleccionada?");
    EXPECT_EQ(boxes.back().icon.toStdString(), "ASK");
    EXPECT_EQ(shell("SELECT count(*) FROM gente;"), "4\n");
    answer = 0;
    press(&grid, Qt::Key_Delete);
    EXPECT_EQ(shell("SELECT code FROM gente ORDER BY code;"), "a\nc\ne\n");
    EXPECT_EQ(m.rowCount(), 4);
    EXPECT_EQ(shown(m, 1, 1), "c");
    for (const MsgBox::Shown& s : boxes)
        EXPECT_NE(s.icon.toStdString(), "ERROR") << s.text.c_str();
}

// RSS of this process in bytes.
long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096;
}

TEST(GridModel, MillionRowsCostNothingPerRow) {
    // One row object stands for every row but the last: the list holds a
    // million entries while the test stays small.
    const int n = 1000000;
    DataRow same(2), last(2);
    DataSet set;
    set.setDataTypes("int|string");
    set.setColumnNames("n|t");
    set.setRowsNotOwned(true);
    same.set(0, DataItem(int32_t(7)));
    same.set(1, DataItem("igual"));
    last.set(0, DataItem(int32_t(n)));
    last.set(1, DataItem("última"));
    for (int i = 0; i < n - 1; ++i)
        set.insertRow(&same);

    // The model alone: data() of the last row reads the cell in place.
    {
        TGDataset rows;
        const long before = residentBytes();
        rows.bindQuery(&set);
        QtGridModel m(rows);
        EXPECT_EQ(m.rowCount(), n - 1);
        EXPECT_EQ(shown(m, n - 2, 2), "igual");
        EXPECT_LT(residentBytes() - before, 1L * 1024 * 1024);
    }

    TableGrid grid;
    grid.resize(500, 400);
    grid.show();
    QApplication::processEvents();
    const long before = residentBytes();

    // Rows arrive while the grid shows them: the last one in a second batch.
    grid.showQuery(&set, String("SELECT * FROM muchos"));
    QtGridModel& m = grid.gridModel();
    EXPECT_EQ(m.rowCount(), n - 1);
    int announced = 0;
    QObject::connect(
        &m, &QAbstractItemModel::rowsInserted,
        [&](const QModelIndex&, int first, int lastRow) { announced += lastRow - first + 1; });
    set.insertRow(&last);
    grid.rowsAppended(set.rowCount());
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(m.rowCount(), n);
    grid.scrollToBottom();
    grid.setCurrentIndex(m.index(n - 1, 2));
    QApplication::processEvents();
    EXPECT_EQ(shown(m, n - 1, 0), "1000000");
    EXPECT_EQ(shown(m, n - 1, 1), "1000000");
    EXPECT_EQ(shown(m, n - 1, 2), "última");
    EXPECT_EQ(shown(m, 500000, 2), "igual");

    // Qt's row header keeps one 8-byte section entry per row; anything kept
    // per row besides (an item, a text) would add 32 MB or more.
    const long grown = residentBytes() - before;
    EXPECT_LT(grown, 16L * 1024 * 1024) << grown;
    grid.clear();
    set.clearRows();
}

}  // namespace
