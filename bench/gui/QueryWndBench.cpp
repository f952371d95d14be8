// The query window opening a table of 1,000,000 rows x 5 columns (the
// sample table: INTEGER PRIMARY KEY, TEXT, NUMERIC, INTEGER, DATE) built
// in a temporary folder, on real widgets, against a plain C loop that
// steps the same SELECT and reads every value by its type, measured in the
// same run:
//   - time to first screen: from the window's construction until the
//     grid's viewport has finished a paint with rows in the model;
//   - time to all rows: until the window reads no more (running() false)
//     and the model has announced every row, against the C loop;
//   - scrolling to the end: scrollToBottom() until the next paint;
//   - resident memory per cell: the growth of the process's RSS from
//     before the window to all rows, over rows x columns.
// The clock is checked from a 1 ms timer and after each paint, so a figure
// is late by a few milliseconds at most. A window on a small table is
// opened and closed first, so that what Qt and the editor load once
// (fonts, styles, lexers) is not counted as the table's.
//
// Then the peer: DB Browser for SQLite opening the same file on the same
// table under Xvfb, watched from outside (PeerWindow says how), with its
// resident memory once the rows are shown, beside the same program
// started without a database.
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractItemModel>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>

#include "app/query/QtGridModel.h"
#include "app/query/QueryWnd.h"
#include "app/query/TGDataset.h"
#include "app/query/TableGridWidget.h"
#include "bench/Bench.h"
#include "bench/BenchTable.h"
#include "bench/gui/PeerWindow.h"
#include "bench/gui/XvfbDisplay.h"
#include "core/GeneralException.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "ui/MsgBox.h"

using VORLIN::MsgBox;
using VORLIN::SqliteLocalConnection;
using VORLIN::String;

namespace {

constexpr int kRows = 1'000'000;
constexpr int kColumns = 5;
constexpr double kFirstScreenTarget = 0.2;  // seconds
constexpr double kAllRowsTarget = 2.0;      // times the C loop
constexpr double kLimit = 300.0;            // seconds any one wait may take

const char* verdict(bool met) {
    return met ? "PASS" : "MISS";
}

struct TempFolder {
    TempFolder() {
        char tmpl[] = "/tmp/quelmir-bench-gui-XXXXXX";
        const char* made = ::mkdtemp(tmpl);
        path = made ? made : "";
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

// The references: the same SELECT stepped in C, every value read by its
// type (text with its length), or, as `quelmir-bench sqlite` reads, every
// value as the text a grid shows; summed so that nothing is left unread.
double plainRead(const std::string& path, double& sum, bool asText = false) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    double t0 = bench::now();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM t", -1, &st, nullptr);
    sum = 0;
    const int n = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int i = 0; i < n; ++i) {
            switch (asText ? SQLITE_TEXT : sqlite3_column_type(st, i)) {
                case SQLITE_INTEGER:
                    sum += double(sqlite3_column_int64(st, i));
                    break;
                case SQLITE_FLOAT:
                    sum += sqlite3_column_double(st, i);
                    break;
                case SQLITE_NULL:
                    break;
                default: {
                    const unsigned char* text = sqlite3_column_text(st, i);
                    bench::keep(text);
                    sum += sqlite3_column_bytes(st, i);
                }
            }
        }
    }
    sqlite3_finalize(st);
    double t1 = bench::now();
    sqlite3_close(db);
    return t1 - t0;
}

// Watches one query window: when its grid's viewport has painted rows,
// and when every row is read and announced.
class WindowWatch : public QObject {
public:
    explicit WindowWatch(QueryWnd& window) : window_(window) {
        window_.grid()->viewport()->installEventFilter(this);
        tick_.setInterval(1);
        QObject::connect(&tick_, &QTimer::timeout, this, [this] { check(); });
    }

    // Forgets the paints seen so far; painted() is then the end of the
    // first paint with rows after this call.
    void armPaint() {
        painted_ = 0;
        paintArmed_ = true;
    }
    double painted() const noexcept { return painted_; }
    // The rows in the grid when that paint ended.
    int paintedRows() const noexcept { return paintedRows_; }
    // When every row was first seen read and announced (0 before).
    double allRows() const noexcept { return allRows_; }
    int shownRows() const { return window_.grid()->gridModel().shownRows(); }

    void check() {
        if (allRows_ == 0 && !window_.running() && shownRows() == kRows) allRows_ = bench::now();
        if (loop_ && done_ && done_()) loop_->quit();
    }

    // Runs the event loop until `done`, or until kLimit seconds pass.
    bool runUntil(std::function<bool()> done) {
        check();
        if (done()) return true;
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        limit.start(int(kLimit * 1000));
        loop_ = &loop;
        done_ = std::move(done);
        tick_.start();
        loop.exec();
        tick_.stop();
        loop_ = nullptr;
        const bool met = done_();
        done_ = {};
        return met;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && paintArmed_ && shownRows() > 0) {
            paintArmed_ = false;
            // Queued: runs once this paint (and its flush) is over.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    painted_ = bench::now();
                    paintedRows_ = shownRows();
                    check();
                },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QueryWnd& window_;
    QTimer tick_;
    QEventLoop* loop_ = nullptr;
    std::function<bool()> done_;
    double painted_ = 0;
    int paintedRows_ = 0;
    bool paintArmed_ = false;
    double allRows_ = 0;
};

// Ends with its scope whatever read a window left going, before the
// connection it reads from (declared before it) closes.
struct BackgroundLoads {
    BackgroundLoads() = default;
    BackgroundLoads(const BackgroundLoads&) = delete;
    BackgroundLoads& operator=(const BackgroundLoads&) = delete;
    ~BackgroundLoads() { QueryWnd::finishBackgroundLoads(); }
};

// Opens `table` of `db` in a window, shows it and waits for its rows
// painted; what Qt loads the first time a window shows.
bool warmUp(SqliteLocalConnection& db) {
    BackgroundLoads loads;
    auto window = std::make_unique<QueryWnd>(db, "warm", "t", QueryWnd::Hooks{});
    window->show();
    WindowWatch watch(*window);
    watch.armPaint();
    const bool ok = watch.runUntil([&] { return watch.painted() > 0 && !window->running(); });
    window.reset();
    QApplication::processEvents();
    return ok;
}

// The text of a shown cell, found by its column's title.
QString cellText(TableGrid& grid, int row, const QString& column) {
    QAbstractItemModel* model = grid.model();
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->headerData(c, Qt::Horizontal).toString() == column)
            return model->data(model->index(row, c)).toString();
    return QString();
}

struct OurFigures {
    bool ok = false;
    double firstScreen = 0;
    double allRows = 0;
    double scroll = 0;
    double perCell = 0;
};

OurFigures measureWindow(const std::string& folder, double plain,
                         const std::vector<MsgBox::Shown>& shown) {
    OurFigures f;
    const double cells = double(kRows) * kColumns;
    SqliteLocalConnection db;
    if (!db.connect(String(folder), "", "", false, "big")) {
        bench::failed("cannot open the bench database: " + db.lastError().toStdString());
        return f;
    }
    BackgroundLoads loads;
    const size_t rss0 = bench::residentBytes();
    const double t0 = bench::now();
    auto window = std::make_unique<QueryWnd>(db, "big", "t", QueryWnd::Hooks{});
    const double built = bench::now() - t0;
    WindowWatch watch(*window);
    watch.check();
    const bool synchronous = watch.allRows() > 0;
    const int rowsAtReturn = watch.shownRows();
    watch.armPaint();
    window->show();
    if (!watch.runUntil([&] { return watch.painted() > 0 && watch.allRows() > 0; })) {
        bench::failed("the window did not show all " + std::to_string(kRows) + " rows within " +
                      std::to_string(int(kLimit)) + " s (" + std::to_string(watch.shownRows()) +
                      " shown)");
        return f;
    }
    const size_t rss1 = bench::residentBytes();
    if (!shown.empty()) {
        bench::failed("a message box was shown while opening the table: " +
                      shown.front().text.toStdString());
        return f;
    }
    f.firstScreen = watch.painted() - t0;
    const int firstRows = watch.paintedRows();
    f.allRows = watch.allRows() - t0;
    f.perCell = double(rss1 > rss0 ? rss1 - rss0 : 0) / cells;

    // To the end.
    TableGrid& grid = *window->grid();
    watch.armPaint();
    const double s0 = bench::now();
    grid.scrollToBottom();
    if (!watch.runUntil([&] { return watch.painted() > 0; })) {
        bench::failed("the grid did not paint after scrolling to its end");
        return f;
    }
    f.scroll = watch.painted() - s0;
    QWidget* viewport = grid.viewport();
    const int lastShown = grid.rowAt(viewport->height() - 2);
    const QString lastName = cellText(grid, kRows - 1, QStringLiteral("name"));
    const bool atEnd = grid.verticalScrollBar()->value() == grid.verticalScrollBar()->maximum() &&
                       lastShown >= kRows - 1;
    const bool rightRow = lastName == QString::fromUtf8(bench::kSampleNames[kRows % 5]);

    const double c0 = bench::now();
    window.reset();
    QApplication::processEvents();
    const double closed = bench::now() - c0;
    // A large result is freed on a thread of its own after its window goes.
    QueryWnd::finishBackgroundLoads();
    const double freed = bench::now() - c0;

    std::printf("load: %s\n", synchronous
                                  ? "synchronous (every row read before the window returned)"
                                  : "on a worker thread, rows shown in batches");
    std::printf("window built in %.3f s (%d rows in the grid when it returned)\n", built,
                rowsAtReturn);
    std::printf("first screen:  %.3f s (target %.1f s) %s, %d rows in the grid then\n",
                f.firstScreen, kFirstScreenTarget, verdict(f.firstScreen <= kFirstScreenTarget),
                firstRows);
    std::printf("all rows:      %.3f s, C loop %.3f s, ratio %.2fx (target %.0fx) %s\n", f.allRows,
                plain, f.allRows / plain, kAllRowsTarget,
                verdict(f.allRows <= kAllRowsTarget * plain));
    // In table mode the line below the last row is the one for a new row.
    std::printf("scroll to end: %.3f s (in view at the bottom: row %d of %d%s; its name \"%s\")\n",
                f.scroll, std::min(lastShown + 1, kRows), kRows,
                lastShown == kRows ? " and the new-row line" : "", lastName.toUtf8().constData());
    std::printf("resident memory per cell: %.1f bytes (RSS %.0f MB -> %.0f MB, %d x %d cells)\n",
                f.perCell, double(rss0) / 1e6, double(rss1) / 1e6, kRows, kColumns);
    std::printf("window closed in %.3f s (its rows freed, on a thread of their own, in %.3f s)\n",
                closed, freed);
    if (!atEnd) {
        bench::failed("scrollToBottom did not bring the last row into view");
        return f;
    }
    if (!rightRow) {
        bench::failed("the last row does not hold what the table holds");
        return f;
    }
    f.ok = true;
    return f;
}

// A program that ran but did not show its window is given a second try.
bench::PeerWindow::Result watchTwice(bench::PeerWindow& peer, const std::vector<std::string>& argv,
                                     const std::string& title) {
    bench::PeerWindow::Result r = peer.watch(argv, title);
    if (r.shown || !r.started) return r;
    std::printf("  %s: %s; once more\n", argv.size() > 1 ? "with the table" : "without a database",
                r.error.c_str());
    return peer.watch(argv, title);
}

void measurePeer(const std::string& folder, const std::string& dbPath, const OurFigures& ours) {
    const double cells = double(kRows) * kColumns;
    std::printf("peer: DB Browser for SQLite (sqlitebrowser -R -t t FILE) under Xvfb\n");
    if (!bench::onPath("sqlitebrowser")) {
        std::printf("  skipped: sqlitebrowser is not installed (Debian package sqlitebrowser)\n");
        return;
    }
    bench::XvfbDisplay display;
    if (!display.start(folder + "/xvfb.log")) {
        std::printf("  skipped: %s\n", display.error().c_str());
        return;
    }
    std::printf(
        "  method: the window found with xdotool, the screen (%dx%d) captured with xwd "
        "until the picture has not changed for %.1f s; the time is the end of the "
        "capture that first showed that picture (an upper bound, good to one capture)\n",
        bench::XvfbDisplay::kWidth, bench::XvfbDisplay::kHeight, bench::PeerWindow::kSettleSeconds);
    const std::string title = "DB Browser for SQLite";
    // Without a database first: what the program holds of its own (this also
    // loads it into the page cache, as our own program is).
    std::filesystem::create_directories(folder + "/home-empty");
    bench::PeerWindow empty(display, folder + "/home-empty", folder + "/sqlitebrowser.log");
    const bench::PeerWindow::Result bare = watchTwice(empty, {"sqlitebrowser"}, title);
    std::filesystem::create_directories(folder + "/home-table");
    bench::PeerWindow peer(display, folder + "/home-table", folder + "/sqlitebrowser.log");
    const bench::PeerWindow::Result r =
        watchTwice(peer, {"sqlitebrowser", "-R", "-t", "t", dbPath}, title);
    if (!r.shown) {
        std::printf("  skipped: %s\n", r.error.c_str());
        return;
    }
    std::printf("  window found:  %.3f s\n", r.windowSeconds);
    std::printf(
        "  rows shown:    %.3f s, %.3f s after its window (%d captures, one every %.0f ms, "
        "%d pictures)\n",
        r.shownSeconds, r.shownSeconds - r.windowSeconds, r.captures, r.captureSeconds * 1000,
        r.changes);
    // Its time counts starting the program and reaching the X server; ours
    // the window alone, in a program already running.
    if (ours.ok)
        std::printf(
            "  our first screen against it: %.3f s / %.3f s, ratio %.2fx "
            "(its figure counts its own start, ours does not)\n",
            ours.firstScreen, r.shownSeconds, ours.firstScreen / r.shownSeconds);
    if (bare.shown) {
        const size_t extra =
            r.residentBytes > bare.residentBytes ? r.residentBytes - bare.residentBytes : 0;
        std::printf(
            "  resident: %.0f MB with the table, %.0f MB without a database; "
            "%.1f bytes per cell of the table (ours %.1f)\n",
            double(r.residentBytes) / 1e6, double(bare.residentBytes) / 1e6, double(extra) / cells,
            ours.perCell);
    } else {
        std::printf(
            "  resident: %.0f MB with the table (%.1f bytes per cell of the table); "
            "without a database: %s\n",
            double(r.residentBytes) / 1e6, double(r.residentBytes) / cells, bare.error.c_str());
    }
    std::printf(
        "  note: it reads rows lazily, as the view needs them: it shows the first "
        "screen and does not hold all %d rows, as the query window does\n",
        kRows);
}

}  // namespace

QUELMIR_BENCH(querywnd) {
    TempFolder dir;
    if (dir.path.empty()) {
        bench::failed("cannot make a temporary folder");
        return;
    }
    const std::string dbPath = dir.path + "/big.db";
    const double b0 = bench::now();
    bench::buildSampleTable(dbPath, kRows);
    bench::buildSampleTable(dir.path + "/warm.db", 100);
    std::printf("built %d rows x %d columns in %.2f s (%.0f MB)\n", kRows, kColumns,
                bench::now() - b0, double(std::filesystem::file_size(dbPath)) / 1e6);

    // Warm the page cache, then the reference, best of three.
    double sum = 0;
    plainRead(dbPath, sum);
    double plain = plainRead(dbPath, sum);
    for (int i = 0; i < 2; ++i)
        plain = std::min(plain, plainRead(dbPath, sum));
    std::printf("plain C loop (each value by its type): %.3f s, %.1f ns/cell\n", plain,
                plain * 1e9 / (double(kRows) * kColumns));
    double asText = plainRead(dbPath, sum, true);
    for (int i = 0; i < 2; ++i)
        asText = std::min(asText, plainRead(dbPath, sum, true));
    std::printf("plain C loop (every value as text, as quelmir-bench sqlite reads): %.3f s\n",
                asText);

    std::vector<MsgBox::Shown> shown;
    MsgBox::setResponder([&shown](const MsgBox::Shown& s) {
        shown.push_back(s);
        return 0;
    });
    {
        SqliteLocalConnection warm;
        if (!warm.connect(String(dir.path), "", "", false, "warm") || !warmUp(warm) ||
            !shown.empty()) {
            bench::failed("the warm-up window on a small table did not show its rows");
            MsgBox::setResponder({});
            return;
        }
    }
    // Two windows, one after the other. The first fills memory the process
    // never had (every page of it faulted in); the second reuses what the
    // first gave back, as a person's second large result does.
    OurFigures ours = measureWindow(dir.path, plain, shown);
    if (ours.ok) {
        std::printf("-- a second window, in the memory the first gave back\n");
        const OurFigures second = measureWindow(dir.path, plain, shown);
        auto line = [&](const char* reference, double loop) {
            std::printf("all rows against the C loop %s: first window %.2fx %s, second %.2fx "
                        "%s (target %.0fx)\n",
                        reference, ours.allRows / loop,
                        verdict(ours.allRows <= kAllRowsTarget * loop), second.allRows / loop,
                        verdict(second.allRows <= kAllRowsTarget * loop), kAllRowsTarget);
        };
        if (second.ok) {
            line("by type", plain);
            line("as text", asText);
        }
    }
    MsgBox::setResponder({});
    measurePeer(dir.path, dbPath, ours);
}
