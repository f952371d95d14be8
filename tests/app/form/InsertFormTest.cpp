// The insert form: controls and filters by declared type, defaults, and rows
// entered into a real SQLite file and the real MariaDB server.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <QCheckBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

#include "app/form/InsertDataDlg.h"
#include "app/form/InsertForm.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "db/mysql/MySqlConnection.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "tests/db/mysql/MariaDbServer.h"
#include "tests/support/SqliteShell.h"
#include "tests/support/TempFolder.h"
#include "ui/MsgBox.h"

using namespace VORLIN;
using Control = InsertForm::Control;
using Filter = InsertForm::Filter;

namespace {

InsertForm::Field describe(const char* type, const char* dflt = nullptr, bool notNull = false) {
    return InsertForm::describe("c", type, dflt ? dflt : "", dflt == nullptr, notNull, false);
}

}  // namespace

TEST(InsertForm, ControlsAndFiltersFollowTheDeclaredType) {
    EXPECT_EQ(describe("INTEGER").filter, Filter::Integer);
    EXPECT_EQ(describe("NUMERIC(10,2)").filter, Filter::Decimal);
    EXPECT_EQ(describe("double precision").filter, Filter::Decimal);
    EXPECT_EQ(describe("DECIMAL CURRENCY").filter, Filter::Money);
    EXPECT_EQ(describe("CURRENCY").filter, Filter::Money);
    EXPECT_EQ(describe("TEXT").filter, Filter::None);
    EXPECT_EQ(describe("COUNTER").filter, Filter::None);
    EXPECT_EQ(describe("DATE").control, Control::Date);
    EXPECT_EQ(describe("DATETIME").control, Control::DateTime);
    EXPECT_EQ(describe("TIMESTAMP").control, Control::DateTime);
    EXPECT_EQ(describe("BOOL").control, Control::Check);
    EXPECT_EQ(describe("bit(1)").control, Control::Check);
    EXPECT_EQ(describe("TEXT").control, Control::Text);
    EXPECT_EQ(describe("BOOL").label, "c");
    EXPECT_EQ(describe("TEXT").label, "c: ");
    EXPECT_STREQ(InsertForm::allowed(Filter::Money), "0123456789-.$");
}

TEST(InsertForm, DefaultsAreReadAsSqlText) {
    EXPECT_EQ(describe("TEXT").initial, "");
    EXPECT_EQ(describe("TEXT", "NULL").initial, "");
    EXPECT_EQ(describe("TEXT", "'abc'").initial, "abc");
    EXPECT_EQ(describe("TEXT", "'it''s'").initial, "it's");
    EXPECT_EQ(describe("INTEGER", "0").initial, "0");
    EXPECT_EQ(describe("REAL", "(-2.5)").initial, "-2.5");
    InsertForm::Field stamp = describe("DATETIME", "CURRENT_TIMESTAMP");
    EXPECT_TRUE(stamp.expression);
    EXPECT_EQ(stamp.initial, "");
    EXPECT_TRUE(describe("TEXT", "lower('X')").expression);
    EXPECT_TRUE(describe("DATETIME", "current_timestamp()").expression);  // MariaDB's form
    EXPECT_EQ(describe("BOOL", "1").initial, "1");
    EXPECT_EQ(describe("VARCHAR(5)", "abc").initial, "abc");  // MySQL gives plain values
}

TEST(InsertForm, TwoRegistersInARowInsertTwoRowsAndEmptyFieldsMeanWhatTheColumnAllows) {
    testsupport::TempFolder tmp;
    const std::string db = tmp.file("t.db");
    testsupport::sqliteShell(db,
          "CREATE TABLE t(id INTEGER PRIMARY KEY, nombre TEXT NOT NULL, nota TEXT,"
          " precio NUMERIC(10,2), alta DATETIME DEFAULT CURRENT_TIMESTAMP,"
          " estado TEXT DEFAULT 'nuevo', activo BOOL, dia DATE);");
    SqliteLocalConnection c;
    ASSERT_TRUE(c.connect(String(tmp.path + "/"), "", "", false, ""));
    ASSERT_TRUE(c.openDatabase("t", true, "", ""));
    InsertForm form(c, "t");
    ASSERT_EQ(form.fields().size(), 8u);
    EXPECT_TRUE(form.fields()[0].key);
    EXPECT_FALSE(form.fields()[1].nullable);
    auto values = form.initialValues();
    EXPECT_EQ(values[5].text, "nuevo");
    values[1] = {false, "Ana"};
    values[3] = {false, "12.50"};
    form.registerRow(values);
    form.registerRow(values);
    EXPECT_EQ(testsupport::sqliteShell(db,
                    "SELECT id, nombre, quote(nota), precio, alta IS NOT NULL, estado, "
                    "quote(activo), quote(dia) FROM t;"),
              "1|Ana|NULL|12.5|1|nuevo|NULL|NULL\n2|Ana|NULL|12.5|1|nuevo|NULL|NULL\n");
    // A NOT NULL text left empty is the empty text, not NULL.
    values[1] = {true, ""};
    form.registerRow(values);
    EXPECT_EQ(testsupport::sqliteShell(db, "SELECT quote(nombre) FROM t WHERE id=3;"), "''\n");
    // A number that is not one is refused before anything is sent.
    values[3] = {false, "12,5"};
    EXPECT_THROW(form.registerRow(values), GeneralException);
    EXPECT_EQ(testsupport::sqliteShell(db, "SELECT count(*) FROM t;"), "3\n");
    EXPECT_THROW(InsertForm(c, "missing"), GeneralException);
}

TEST(InsertForm, TheWindowBuildsOneControlPerColumnAndResetsAfterRegistrar) {
    testsupport::TempFolder tmp;
    const std::string db = tmp.file("t.db");
    testsupport::sqliteShell(db,
          "CREATE TABLE t(id INTEGER PRIMARY KEY, n INTEGER, m CURRENCY, d DATE, "
          "s DATETIME, b BIT, x TEXT DEFAULT 'abc');");
    SqliteLocalConnection c;
    ASSERT_TRUE(c.connect(String(tmp.path + "/"), "", "", false, ""));
    ASSERT_TRUE(c.openDatabase("t", true, "", ""));
    std::vector<MsgBox::Shown> shown;
    MsgBox::setResponder([&](const MsgBox::Shown& s) {
        shown.push_back(s);
        return 0;
    });
    InsertDataDlg dialog(c, "t");
    EXPECT_TRUE(dialog.windowTitle().startsWith(QStringLiteral("Insertar datos - ")));
    EXPECT_TRUE(dialog.windowTitle().endsWith(QStringLiteral(".t")));
    auto* n = qobject_cast<QLineEdit*>(dialog.control(1));
    auto* m = qobject_cast<QLineEdit*>(dialog.control(2));
    ASSERT_NE(n, nullptr);
    ASSERT_NE(m, nullptr);
    EXPECT_NE(qobject_cast<QDateEdit*>(dialog.control(3)), nullptr);
    EXPECT_NE(qobject_cast<QDateTimeEdit*>(dialog.control(4)), nullptr);
    auto* b = qobject_cast<QCheckBox*>(dialog.control(5));
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->isTristate());
    auto* x = qobject_cast<QLineEdit*>(dialog.control(6));
    EXPECT_EQ(x->text(), QStringLiteral("abc"));
    EXPECT_EQ(n->accessibleName(), QStringLiteral("n"));
    // The filters as validators.
    QString bad = QStringLiteral("12a"), money = QStringLiteral("$12.5");
    int pos = 0;
    EXPECT_EQ(n->validator()->validate(bad, pos), QValidator::Invalid);
    EXPECT_EQ(m->validator()->validate(money, pos), QValidator::Acceptable);

    n->setText(QStringLiteral("7"));
    m->setText(QStringLiteral("$3.25"));
    b->setCheckState(Qt::Checked);
    qobject_cast<QDateTimeEdit*>(dialog.control(4))
        ->setDateTime(QDateTime(QDate(2026, 12, 8), QTime(13, 45, 10)));
    dialog.findChild<QPushButton*>(QStringLiteral("Registrar"))->click();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Registro ingresado correctamente");
    EXPECT_EQ(shown[0].icon, "INFO");
    EXPECT_EQ(n->text(), QString());  // back to the starting value
    EXPECT_EQ(b->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(testsupport::sqliteShell(db, "SELECT n, m, quote(d), s, b, x FROM t;"),
              "7|3.25|NULL|2026-12-08 13:45:10|1|abc\n");

    // A failure keeps what was entered.
    c.execute(
        "CREATE TRIGGER no7 BEFORE INSERT ON t WHEN NEW.n=7 BEGIN SELECT RAISE(ABORT,'no'); END;");
    n->setText(QStringLiteral("7"));
    dialog.findChild<QPushButton*>(QStringLiteral("Registrar"))->click();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].icon, "ERROR");
    EXPECT_EQ(n->text(), QStringLiteral("7"));
    MsgBox::setResponder({});
}

TEST(InsertForm, TwoRegistersIntoTheRealMariaDbServer) {
    static bool started = [] { return quelmir_test::server().start(); }();
    (void)started;
    auto& maria = quelmir_test::server();
    if (maria.missing()) GTEST_SKIP() << maria.error();
    ASSERT_TRUE(maria.error().empty()) << maria.error();
    ASSERT_TRUE(maria.rootQuery("DROP DATABASE IF EXISTS form_t"));
    ASSERT_TRUE(maria.rootQuery("CREATE DATABASE form_t"));
    ASSERT_TRUE(maria.rootQuery(
        "CREATE TABLE form_t.t(id INT AUTO_INCREMENT PRIMARY KEY, nombre VARCHAR(20) NOT NULL, "
        "precio DECIMAL(10,2), alta TIMESTAMP DEFAULT CURRENT_TIMESTAMP, estado VARCHAR(9) "
        "DEFAULT 'nuevo', dia DATE)"));
    MySqlConnection c;
    ASSERT_TRUE(c.connect(String("127.0.0.1:" + std::to_string(maria.port())),
                          quelmir_test::MariaDbServer::kUser,
                          quelmir_test::MariaDbServer::kPassword, false, "form_t"))
        << c.lastError().c_str();
    c.openDatabase("form_t", false, "", "");
    InsertForm form(c, "t");
    auto values = form.initialValues();
    EXPECT_EQ(values[4].text, "nuevo");
    EXPECT_TRUE(form.fields()[3].expression);
    values[1] = {false, "Ñandú"};
    values[2] = {false, "9.99"};
    form.registerRow(values);
    form.registerRow(values);
    DataSet rows;
    c.queryDataset(
        "SELECT id, nombre, precio, alta IS NOT NULL, estado, dia IS NULL FROM t ORDER BY id",
        &rows, "", false);
    ASSERT_EQ(rows.rowCount(), 2);
    EXPECT_EQ(rows.row(1)->cell(0)->toInt(), 2);
    EXPECT_EQ(rows.row(1)->cell(1)->toString(), "Ñandú");
    EXPECT_EQ(rows.row(1)->cell(2)->toDouble(), 9.99);
    EXPECT_EQ(rows.row(1)->cell(3)->toInt(), 1);
    EXPECT_EQ(rows.row(1)->cell(4)->toString(), "nuevo");
    EXPECT_EQ(rows.row(1)->cell(5)->toInt(), 1);
}
