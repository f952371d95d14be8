// Every connection window reachable by keyboard and named for assistive
// technology: fields with a labelled buddy, mnemonics, named buttons and
// lists, a default button for Enter and Escape to cancel.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>

#include <QKeyEvent>
#include <QLabel>

#include "app/connect/AboutDlg.h"
#include "app/connect/LocalSelDbDlg.h"
#include "app/connect/OdbcSelDbDlg.h"
#include "app/connect/SelMySqlDlg.h"
#include "app/connect/SelServerDlg.h"
#include "app/connect/SqliteServerConnectDlg.h"
#include "app/connect/SqliteServerSelDbDlg.h"
#include "db/mysql/MySqlConnection.h"
#include "db/odbc/OdbcConnection.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "remote/SqliteClientConnection.h"
#include "tests/app/connect/ConnectTestSupport.h"
#include "tests/support/TempFolder.h"

using namespace VORLIN;
using namespace connecttest;

namespace {

void press(QDialog& d, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&d, &event);
}

// The checks every window passes; `defaultName` is the object name of the
// button Enter presses.
void checkKeyboard(QDialog& d, const char* defaultName) {
    SCOPED_TRACE(d.windowTitle().toStdString());
    EXPECT_FALSE(d.accessibleName().isEmpty());
    std::set<QWidget*> labelled;
    std::set<QChar> mnemonics;
    for (QLabel* label : d.findChildren<QLabel*>()) {
        if (!label->buddy()) continue;
        labelled.insert(label->buddy());
        qsizetype amp = label->text().indexOf(QLatin1Char('&'));
        ASSERT_GE(amp, 0) << label->text().toStdString();
        EXPECT_TRUE(mnemonics.insert(label->text().at(amp + 1).toLower()).second)
            << "mnemonic used twice: " << label->text().toStdString();
    }
    for (QPushButton* b : d.findChildren<QPushButton*>()) {
        EXPECT_FALSE(b->accessibleName().isEmpty()) << b->objectName().toStdString();
        qsizetype amp = b->text().indexOf(QLatin1Char('&'));
        ASSERT_GE(amp, 0) << b->text().toStdString();
        EXPECT_TRUE(mnemonics.insert(b->text().at(amp + 1).toLower()).second)
            << "mnemonic used twice: " << b->text().toStdString();
        EXPECT_NE(b->focusPolicy() & Qt::TabFocus, 0);
    }
    for (QWidget* w : d.findChildren<QWidget*>()) {
        bool field = qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
                     qobject_cast<QSpinBox*>(w) || qobject_cast<QListWidget*>(w);
        if (!field || qobject_cast<QLineEdit*>(w->parentWidget()) ||
            qobject_cast<QComboBox*>(w->parentWidget()) ||
            qobject_cast<QSpinBox*>(w->parentWidget()))
            continue;
        EXPECT_TRUE(labelled.count(w)) << "no label: " << w->objectName().toStdString();
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
    }
    QPushButton* def = child<QPushButton>(d, defaultName);
    ASSERT_NE(def, nullptr);
    EXPECT_TRUE(def->isDefault());

    // Escape cancels.
    d.show();
    press(d, Qt::Key_Escape);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Rejected);
    // Enter presses the default button.
    d.show();
    int clicks = 0;
    QObject::connect(def, &QPushButton::clicked, [&] { ++clicks; });
    press(d, Qt::Key_Return);
    EXPECT_EQ(clicks, 1);
    d.hide();
}

}  // namespace

TEST(Keyboard, EveryConnectionWindow) {
    Boxes boxes;
    testsupport::TempFolder dir;
    {
        SqliteClientConnection c;
        SelServerDlg d(c, 6540, "localhost", nullptr);
        checkKeyboard(d, "connect");
    }
    {
        MySqlConnection c;
        SelMySqlDlg d(c, 3306, "localhost", nullptr);
        checkKeyboard(d, "connect");
    }
    {
        OdbcConnection c;
        OdbcSelDbDlg d(c);
        checkKeyboard(d, "ok");
    }
    {
        SqliteLocalConnection c;
        LocalSelDbDlg d(c, String(dir.path), "");
        checkKeyboard(d, "ok");
    }
    {
        SqliteClientConnection c;
        SqliteServerSelDbDlg d(c, "localhost:6540", "");
        checkKeyboard(d, "ok");
    }
    {
        SqliteServerConnectDlg d("localhost", 6540, nullptr);
        checkKeyboard(d, "ok");
    }
    {
        AboutDlg d("1");
        checkKeyboard(d, "ok");
    }
}
