// Reading a result on a thread of its own: the rows read so far can be
// shown while the rest arrives, and a cancel returns at once on every back
// end, leaving the connection usable. Real SQLite files, the real MariaDB
// server and our own server over loopback.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>

#include "app/query/ArrivingRows.h"
#include "app/query/ConnectionBusy.h"
#include "app/query/QtGridModel.h"
#include "app/query/QueryRunner.h"
#include "app/query/QueryWnd.h"
#include "app/query/TGDataset.h"
#include "app/query/TableGridWidget.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "db/mysql/MySqlConnection.h"
#include "remote/SqliteClientConnection.h"
#include "tests/app/query/SheetReader.h"
#include "tests/db/mysql/MariaDbServer.h"
#include "tests/server/ServerProcess.h"
#include "tests/support/SqliteShell.h"
#include "tests/support/TempFolder.h"
#include "ui/CodeEditor.h"
#include "ui/MsgBox.h"

using namespace VORLIN;
using querytest::openSqlite;
using testsupport::sqliteShell;

namespace {

// Rows without end: only a cancel stops them.
constexpr const char* kEndless =
    "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c) SELECT x, 'fila ' || x FROM c";

void pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

template <class Done>
bool pumpUntil(Done&& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

struct Messages {
    std::vector<MsgBox::Shown> shown;
    Messages() {
        MsgBox::setResponder([this](const MsgBox::Shown& s) {
            shown.push_back(s);
            return 0;
        });
    }
    ~Messages() { MsgBox::setResponder({}); }
};

// Runs a job on a worker as the window does; the test thread watches the
// rows arrive, reading them under the arrival's lock, then interrupts.
// Answers how many rows were seen before the interrupt.
int watchThenInterrupt(DbConnection& connection, QueryRunner::Job& job, int wanted) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        QueryRunner::work(connection, job);
        done = true;
    });
    int seen = 0;
    QElapsedTimer t;
    t.start();
    while (!done && t.elapsed() < 20000) {
        {
            auto lock = job.arrival->lock();
            DataSet* rows = job.rows();
            seen = rows->rowCount();
            // Every row read so far is whole and in order.
            if (seen > 0) {
                EXPECT_EQ(rows->row(0)->cell(0)->toInt(), 1);
                EXPECT_EQ(rows->row(seen - 1)->cell(0)->toInt(), seen);
            }
        }
        if (seen >= wanted) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    connection.interrupt();
    worker.join();
    return seen;
}

}  // namespace

TEST(QueryLoad, SqliteRowsArriveInOrderAndAnInterruptStopsTheRead) {
    testsupport::TempFolder dir;
    sqliteShell(dir.file("a.db"),
                "CREATE TABLE t(x INTEGER PRIMARY KEY, y TEXT);"
                "INSERT INTO t VALUES(1,'uno'),(2,'dos');");
    auto db = openSqlite(dir.path, "a.db");
    QueryRunner runner(*db);
    runner.openTable("t");

    QueryRunner::Job job = runner.prepare(kEndless, false);
    ASSERT_TRUE(job.arrival);
    EXPECT_GE(watchThenInterrupt(*db, job, 5000), 5000);
    EXPECT_TRUE(job.failed);
    EXPECT_FALSE(job.error.isEmpty());
    ASSERT_TRUE(job.arrival->hasShape());
    ASSERT_EQ(job.arrival->shape().names.size(), 2u);
    EXPECT_EQ(job.arrival->shape().names[0], "x");
    EXPECT_THROW(runner.adopt(job), GeneralException);
    // The rows of before stay the runner's, and the connection works.
    EXPECT_EQ(runner.mode(), QueryRunner::Mode::Table);
    EXPECT_EQ(runner.dataSet()->rowCount(), 2);
    EXPECT_EQ(db->queryInt("SELECT count(*) FROM t"), 2);

    // A read that ends is adopted whole, read-only, with its names.
    QueryRunner::Job all = runner.prepare("SELECT y, x FROM t ORDER BY x", false);
    QueryRunner::work(*db, all);
    runner.adopt(all);
    ASSERT_EQ(runner.mode(), QueryRunner::Mode::Query);
    EXPECT_EQ(runner.dataSet()->rowCount(), 2);
    EXPECT_EQ(runner.dataSet()->columnName(0), "y");
    EXPECT_TRUE(runner.dataSet()->isReadOnly());
}

TEST(QueryLoad, MariaDbStreamsRowsAndAKillLeavesTheConnectionUsable) {
    static bool started = [] { return quelmir_test::server().start(); }();
    (void)started;
    auto& maria = quelmir_test::server();
    if (maria.missing()) GTEST_SKIP() << maria.error();
    ASSERT_TRUE(maria.error().empty()) << maria.error();
    ASSERT_TRUE(maria.rootQuery("CREATE DATABASE IF NOT EXISTS load_t"));
    MySqlConnection c;
    ASSERT_TRUE(c.connect(String("127.0.0.1:" + std::to_string(maria.port())),
                          quelmir_test::MariaDbServer::kUser,
                          quelmir_test::MariaDbServer::kPassword, false, "load_t"))
        << c.lastError().c_str();
    c.openDatabase("load_t", false, "", "");
    QueryRunner runner(c);

    // Far more rows than anyone waits for, streamed from the server.
    QueryRunner::Job job =
        runner.prepare("SELECT seq, concat('fila ', seq) FROM seq_1_to_1000000000", false);
    EXPECT_GE(watchThenInterrupt(c, job, 20000), 20000);
    EXPECT_TRUE(job.failed);
    EXPECT_THROW(runner.adopt(job), GeneralException);
    EXPECT_EQ(runner.mode(), QueryRunner::Mode::None);

    // The same connection answers the next statements, rows and names right.
    EXPECT_EQ(c.queryInt("SELECT 41+1"), 42);
    QueryRunner::Job next = runner.prepare("SELECT seq AS n FROM seq_1_to_5 ORDER BY seq", false);
    QueryRunner::work(c, next);
    runner.adopt(next);
    ASSERT_EQ(runner.dataSet()->rowCount(), 5);
    EXPECT_EQ(runner.dataSet()->columnName(0), "n");
    EXPECT_EQ(runner.dataSet()->row(4)->cell(0)->toInt(), 5);
    // A failing statement in a streamed read is reported, not taken for an
    // empty result.
    QueryRunner::Job bad = runner.prepare("SELECT * FROM no_such_table", false);
    QueryRunner::work(c, bad);
    EXPECT_TRUE(bad.failed);
    c.disconnect();
}

TEST(QueryLoad, TheWindowShowsRowsAsTheyArriveAndCancelBringsBackTheRowsOfBefore) {
    Messages messages;
    // Counts are written as the program writes numbers, not as the
    // system's locale would.
    const QLocale systemLocale;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    struct LocaleBack {
        QLocale locale;
        ~LocaleBack() { QLocale::setDefault(locale); }
    } localeBack{systemLocale};
    testsupport::TempFolder dir;
    // A table large enough to take a while to read.
    sqliteShell(dir.file("a.db"),
                "CREATE TABLE t(id INTEGER PRIMARY KEY, nombre TEXT, precio REAL);"
                "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<30000) "
                "INSERT INTO t SELECT x, 'n' || x, x/4.0 FROM c;");
    auto db = openSqlite(dir.path, "a.db");
    QueryWnd w(*db, "local", "t", QueryWnd::Hooks{});
    w.show();
    // The table opens on the window's own thread, then is editable whole.
    ASSERT_TRUE(pumpUntil([&] { return !w.running(); }, 30000));
    EXPECT_EQ(w.runner().mode(), QueryRunner::Mode::Table);
    EXPECT_EQ(w.grid()->gridModel().shownRows(), 30000);
    EXPECT_FALSE(w.grid()->rows().isReadOnly());
    EXPECT_FALSE(w.grid()->rows().isArriving());
    EXPECT_TRUE(messages.shown.empty());
    // Between runs the progress line counts the rows of the grid.
    QLabel* line = nullptr;
    for (QLabel* l : w.findChildren<QLabel*>())
        if (l->accessibleName() == QStringLiteral("Progreso")) line = l;
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text(), QStringLiteral("30,000 filas"));

    // Endless rows: the first ones show while the read goes on.
    w.editor()->setText(kEndless);
    w.runText();
    ASSERT_TRUE(w.running());
    ASSERT_TRUE(pumpUntil(
        [&] { return w.grid()->rows().isArriving() && w.grid()->gridModel().shownRows() > 0; },
        20000));
    EXPECT_TRUE(w.running());
    EXPECT_TRUE(w.grid()->rows().isArriving());
    EXPECT_TRUE(w.grid()->rows().isReadOnly());
    EXPECT_TRUE(w.grid()->isEnabled());  // it can be scrolled
    QtGridModel& model = w.grid()->gridModel();
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("x"));
    EXPECT_EQ(model.data(model.index(0, 1)).toString(), QStringLiteral("1"));
    EXPECT_EQ(model.data(model.index(0, 2)).toString(), QStringLiteral("fila 1"));
    EXPECT_FALSE(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
    const int first = model.shownRows();
    ASSERT_TRUE(pumpUntil([&] { return model.shownRows() > first; }, 20000));
    EXPECT_GT(w.rowsRead(), 0);
    const int last = model.shownRows() - 1;
    EXPECT_EQ(model.data(model.index(last, 1)).toString(), QString::number(last + 1));

    w.cancelRun();
    ASSERT_TRUE(pumpUntil([&] { return !w.running(); }, 5000));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Consulta cancelada");
    // The table of before is shown again, editable, and the file is usable.
    EXPECT_EQ(w.runner().mode(), QueryRunner::Mode::Table);
    EXPECT_FALSE(w.grid()->rows().isArriving());
    EXPECT_EQ(w.grid()->gridModel().shownRows(), 30000);
    EXPECT_FALSE(ConnectionBusy::busy(db.get()));
    EXPECT_EQ(QueryWnd::backgroundLoads(), 0);

    // A cancel at once, before the statement has even begun, still stops it.
    for (int i = 0; i < 3; ++i) {
        w.editor()->setText(kEndless);
        w.runText();
        w.cancelRun();
        ASSERT_TRUE(pumpUntil([&] { return !w.running(); }, 5000));
        ASSERT_TRUE(pumpUntil([] { return QueryWnd::backgroundLoads() == 0; }, 5000));
        EXPECT_FALSE(ConnectionBusy::busy(db.get()));
    }
    EXPECT_EQ(messages.shown.size(), 4u);
    messages.shown.resize(1);

    // A finished read keeps the view where it was scrolled while it arrived.
    w.editor()->setText("SELECT id, nombre FROM t WHERE id > 10 ORDER BY id");
    w.runText();
    ASSERT_TRUE(pumpUntil([&] { return !w.running(); }, 30000));
    EXPECT_EQ(w.runner().mode(), QueryRunner::Mode::Query);
    EXPECT_EQ(model.shownRows(), 29990);
    EXPECT_EQ(model.data(model.index(0, 1)).toString(), QStringLiteral("11"));
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(line->text(), QStringLiteral("29,990 filas"));
}

namespace {

// Our server on a folder with datos.db (t: one row, 7), and a connection
// to it.
struct RemoteDatos {
    RemoteDatos() {
        sqliteShell(data.file("datos.db"), "CREATE TABLE t(x INTEGER);INSERT INTO t VALUES(7);");
    }
    bool connected() {
        return server.started() && db.connect(String(server.address()), "", "", false, "datos");
    }
    testing_server::TempDir data;
    testing_server::ServerProcess server{data.path()};
    SqliteClientConnection db;
};

// A statement the server runs to its end, longer the larger `limit` is.
String countTo(long long limit) {
    return String("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<" +
                  std::to_string(limit) + ") SELECT count(*) FROM c");
}

}  // namespace

TEST(QueryLoad, ACancelOnTheRemoteServiceReturnsAtOnceAndTheConnectionStaysUsable) {
    Messages messages;
    RemoteDatos remote;
    ASSERT_TRUE(remote.connected()) << remote.db.lastError().c_str();
    SqliteClientConnection& db = remote.db;
    {
        QueryWnd w(db, "remoto", "", QueryWnd::Hooks{});
        w.show();
        // The server runs this to its end whatever the client does: seconds.
        w.editor()->setText(countTo(5000000));
        w.runText();
        ASSERT_TRUE(w.running());
        pump(100);
        w.cancelRun();
        // Control comes back without waiting for the answer.
        ASSERT_TRUE(pumpUntil([&] { return !w.running(); }, 3 * QueryWnd::kCancelGraceMs));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "Consulta cancelada");
        EXPECT_TRUE(w.button("Ejecutar")->isEnabled());
        EXPECT_EQ(w.runner().mode(), QueryRunner::Mode::None);
        // The answer is still coming: the connection waits for it.
        EXPECT_EQ(QueryWnd::backgroundLoads(), 1);
        EXPECT_TRUE(ConnectionBusy::busy(&db));
        w.editor()->setText("SELECT x FROM t");
        w.runText();
        EXPECT_FALSE(w.running());
        ASSERT_EQ(messages.shown.size(), 2u);
        EXPECT_EQ(messages.shown[1].icon, "ALERT");

        // Once it is in and thrown away, the same connection answers again.
        ASSERT_TRUE(pumpUntil([] { return QueryWnd::backgroundLoads() == 0; }, 120000));
        EXPECT_FALSE(ConnectionBusy::busy(&db));
        w.runText();
        ASSERT_TRUE(pumpUntil([&] { return !w.running(); }, 10000));
        EXPECT_EQ(w.runner().mode(), QueryRunner::Mode::Query);
        ASSERT_EQ(w.grid()->gridModel().shownRows(), 1);
        EXPECT_EQ(w.grid()->gridModel().data(w.grid()->gridModel().index(0, 1)).toString(),
                  QStringLiteral("7"));
        EXPECT_EQ(messages.shown.size(), 2u);

        // A window closed while it reads goes at once; its read ends alone.
        w.editor()->setText(countTo(1000000));
        w.runText();
        ASSERT_TRUE(w.running());
    }
    EXPECT_LE(QueryWnd::backgroundLoads(), 1);
    QueryWnd::finishBackgroundLoads();
    EXPECT_EQ(QueryWnd::backgroundLoads(), 0);
    EXPECT_FALSE(ConnectionBusy::busy(&db));
    EXPECT_EQ(db.queryInt("SELECT x FROM t"), 7);
    db.disconnect();
}

// At the program's end a read given up on our server does not keep it
// waiting for the answer: the link is dropped and the read ends now.
TEST(QueryLoad, AtTheEndAReadGivenUpOnTheServerIsDroppedNotAwaited) {
    Messages messages;
    RemoteDatos remote;
    ASSERT_TRUE(remote.connected()) << remote.db.lastError().c_str();
    SqliteClientConnection& db = remote.db;
    {
        QueryWnd w(db, "remoto", "", QueryWnd::Hooks{});
        // Minutes of work for the server.
        w.editor()->setText(countTo(2000000000));
        w.runText();
        ASSERT_TRUE(w.running());
        pump(100);
    }  // closed while reading: the read is given up
    ASSERT_EQ(QueryWnd::backgroundLoads(), 1);
    QElapsedTimer t;
    t.start();
    QueryWnd::abandonBackgroundLoads();
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_EQ(QueryWnd::backgroundLoads(), 0);
    EXPECT_FALSE(ConnectionBusy::busy(&db));
    EXPECT_FALSE(db.isConnected());
    db.disconnect();
}

TEST(QueryLoad, ATableInTheWindowKeepsNoStoredImagesAndEditsStillFindTheirRows) {
    Messages messages;
    testsupport::TempFolder dir;
    sqliteShell(dir.file("a.db"),
                "CREATE TABLE t(code TEXT PRIMARY KEY, v INTEGER);"
                "INSERT INTO t VALUES('a',1),('b',2);");
    auto db = openSqlite(dir.path, "a.db");
    QueryWnd w(*db, "local", "t", QueryWnd::Hooks{});
    ASSERT_TRUE(pumpUntil([&] { return !w.running(); }, 10000));
    TableDataset* table = w.runner().tableDataset();
    ASSERT_NE(table, nullptr);
    EXPECT_FALSE(table->keepsStoredImages());
    EXPECT_FALSE(table->row(0)->hasStoredImage());
    // The key changes, then another cell of the same row: the second UPDATE
    // finds the row by the key the database holds now.
    TGDataset& rows = w.grid()->rows();
    EXPECT_TRUE(rows.setCellText(0, 0, "z"));
    EXPECT_TRUE(rows.setCellText(0, 1, "10"));
    EXPECT_TRUE(rows.deleteRow(1));
    EXPECT_EQ(sqliteShell(dir.file("a.db"), "SELECT code, v FROM t ORDER BY code;"), "z|10\n");
    EXPECT_TRUE(messages.shown.empty());
}

TEST(QueryLoad, TheGridKeepsItsPlaceWhenTheRowsItShowedArrivingAreAllIn) {
    ArrivingSet<DataSet> rows;
    rows.setColumnNames("n|texto");
    for (int i = 1; i <= 5000; ++i) {
        auto row = std::make_unique<DataRow>(2);
        row->cell(0)->setInt(i);
        row->cell(1)->setString("fila");
        rows.insertRow(std::move(row));
    }
    TableGrid grid;
    grid.resize(400, 300);
    grid.show();
    grid.showArriving(&rows, rows.arrival(), "SELECT n, texto FROM t");
    EXPECT_TRUE(grid.rows().isArriving());
    EXPECT_EQ(grid.gridModel().shownRows(), 5000);
    EXPECT_EQ(grid.gridModel().headerData(2, Qt::Horizontal).toString(), QStringLiteral("texto"));
    grid.horizontalHeader()->resizeSection(1, 150);
    grid.setCurrentIndex(grid.gridModel().index(3000, 1));
    grid.scrollTo(grid.currentIndex());
    pump(50);
    const int scrolled = grid.verticalScrollBar()->value();
    ASSERT_GT(scrolled, 0);

    rows.setReadOnly(true);
    grid.showQuery(&rows, "SELECT n, texto FROM t");
    pump(50);
    EXPECT_FALSE(grid.rows().isArriving());
    EXPECT_EQ(grid.verticalScrollBar()->value(), scrolled);
    EXPECT_EQ(grid.currentIndex().row(), 3000);
    EXPECT_EQ(grid.horizontalHeader()->sectionSize(1), 150);

    // Another set starts at its top.
    DataSet other;
    other.setColumnNames("x");
    other.insertRow(std::make_unique<DataRow>(1));
    grid.showQuery(&other, "SELECT x FROM u");
    EXPECT_EQ(grid.verticalScrollBar()->value(), 0);
}
