// Lock contention: a second handle on the same file holds a lock. A lock
// released after a while is waited for and the statement succeeds; a lock
// never released makes the statement fail within the configured bound,
// with the usual texts and SQLite's error.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "db/sqlite/SqliteCursor.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "tests/support/TempFolder.h"

using namespace VORLIN;

namespace {

using testsupport::TempFolder;

double secondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

template <typename Fn>
std::string failure(Fn&& fn) {
    try {
        fn();
    } catch (const GeneralException& e) {
        return e.message();
    }
    return "";
}

// The database "shared.db" with a table t(a) holding one row, a connection
// on it and a raw handle of "another program" on the same file.
class Contention : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(db.connect(String(dir.path), "", "", false, "-"));
        ASSERT_TRUE(db.openDatabase("shared", true));
        db.execute("CREATE TABLE t(a INTEGER); INSERT INTO t VALUES(1);");
        ASSERT_EQ(sqlite3_open((dir.path + "/shared.db").c_str(), &other), SQLITE_OK);
    }
    void TearDown() override {
        if (releaser.joinable()) releaser.join();
        sqlite3_close(other);
    }

    // The other program takes the lock now (BEGIN IMMEDIATE: writers wait;
    // BEGIN EXCLUSIVE: readers too).
    void lock(const char* begin) {
        ASSERT_EQ(sqlite3_exec(other, begin, nullptr, nullptr, nullptr), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "INSERT INTO t VALUES(100)", nullptr, nullptr, nullptr),
                  SQLITE_OK);
    }
    // ... and commits from another thread after `millis`.
    void releaseAfter(int millis) {
        releaser = std::thread([this, millis] {
            std::this_thread::sleep_for(std::chrono::milliseconds(millis));
            EXPECT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
        });
    }

    TempFolder dir;
    SqliteLocalConnection db;
    sqlite3* other = nullptr;
    std::thread releaser;
};

}  // namespace

TEST_F(Contention, AWriteWaitsForAReleasedLockAndSucceeds) {
    // SQLite's busy handler gives up after 100 ms; the retry loop goes on.
    db.setBusyLimits(100, 3000);
    lock("BEGIN IMMEDIATE");
    releaseAfter(300);
    auto t0 = std::chrono::steady_clock::now();
    db.execute("INSERT INTO t VALUES(2); INSERT INTO t VALUES(3);");
    EXPECT_GE(secondsSince(t0), 0.25);
    EXPECT_LT(secondsSince(t0), 2.0);
    // Each statement ran once, the other program's row is there too.
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM t"), 4);
    EXPECT_EQ(db.queryInt("SELECT sum(a) FROM t"), 106);
}

TEST_F(Contention, TheBusyHandlerAloneWaitsOutAShortLock) {
    db.setBusyLimits(2000, 0);
    lock("BEGIN IMMEDIATE");
    releaseAfter(300);
    db.beginTransaction();
    db.execute("INSERT INTO t VALUES(2)");
    db.commitTransaction();
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM t"), 3);
}

TEST_F(Contention, AWriteFailsWithinTheBoundWhenTheLockStays) {
    db.setBusyLimits(20, 150);
    lock("BEGIN IMMEDIATE");
    auto t0 = std::chrono::steady_clock::now();
    std::string e = failure([&] { db.execute("INSERT INTO t VALUES(2)"); });
    double waited = secondsSince(t0);
    EXPECT_EQ(e, "execute database is locked:\r\nINSERT INTO t VALUES(2)");
    EXPECT_EQ(db.lastError().toStdString(), e);
    EXPECT_GE(waited, 0.15);
    EXPECT_LT(waited, 1.0);

    EXPECT_EQ(failure([&] { db.executeInsert("INSERT INTO t VALUES(3)"); }),
              "execute insert database is locked:\r\nINSERT INTO t VALUES(3)");
    EXPECT_EQ(failure([&] { db.beginTransaction(); }),
              "execute database is locked:\r\nBEGIN IMMEDIATE TRANSACTION");
    EXPECT_FALSE(db.inTransaction());
    // Reading is still possible under the other program's write lock.
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM t"), 1);

    // Once the lock is gone the connection works as before.
    ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    db.execute("INSERT INTO t VALUES(2)");
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM t"), 2);
}

TEST_F(Contention, ReadsWaitForAnExclusiveLock) {
    db.setBusyLimits(50, 3000);
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM t"), 1);  // the schema is known
    lock("BEGIN EXCLUSIVE");
    releaseAfter(300);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM t"), 2);
    EXPECT_GE(secondsSince(t0), 0.25);
}

TEST_F(Contention, ReadsFailWithinTheBoundUnderAnExclusiveLock) {
    db.setBusyLimits(20, 120);
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM t"), 1);
    lock("BEGIN EXCLUSIVE");
    // Stepping is what waits for a connection that knows the schema...
    EXPECT_EQ(failure([&] { db.queryInt("SELECT count(*) FROM t"); }),
              "query database is locked:\r\nSELECT count(*) FROM t");
    DataSet set;
    EXPECT_EQ(failure([&] { db.queryDataset("SELECT a FROM t", &set, "", false); }),
              "query database is locked:\r\nSELECT a FROM t");
    SqliteCursor cursor;
    EXPECT_EQ(failure([&] { db.createCursor("SELECT a FROM t", &cursor); }),
              "query database is locked:\r\nSELECT a FROM t");
    EXPECT_FALSE(cursor.hasRow());

    // ... preparing for one that must read the schema first.
    SqliteLocalConnection fresh;
    fresh.setBusyLimits(20, 120);
    ASSERT_TRUE(fresh.connect(String(dir.path), "", "", false, "shared"));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(failure([&] { fresh.queryInt("SELECT count(*) FROM t"); }),
              "prepare database is locked:\r\nSELECT count(*) FROM t");
    EXPECT_LT(secondsSince(t0), 1.0);
}

TEST_F(Contention, ACursorWaitsForItsFirstRow) {
    db.setBusyLimits(50, 3000);
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM t"), 1);
    lock("BEGIN EXCLUSIVE");
    releaseAfter(300);
    SqliteCursor cursor;
    db.createCursor("SELECT a FROM t ORDER BY a", &cursor);
    DataRow row(1);
    int rows = 0;
    while (cursor.hasRow()) {
        cursor.fetch(&row);
        ++rows;
    }
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(row.cell(0)->toInt(), 100);
}

TEST_F(Contention, BackupWaitsForTheSource) {
    db.setBusyLimits(50, 3000);
    lock("BEGIN EXCLUSIVE");
    releaseAfter(300);
    db.backupDatabase("copia", false, 0);
    SqliteLocalConnection copy;
    ASSERT_TRUE(copy.connect(String(dir.path), "", "", false, "copia"));
    EXPECT_EQ(copy.queryInt("SELECT count(*) FROM t"), 2);
}

// The two limits bound the whole wait of a statement together: the retry
// loops do not start the busy handler's wait over again.
TEST_F(Contention, AStatementWaitsNoLongerThanBothLimitsTogether) {
    db.setBusyLimits(500, 500);
    lock("BEGIN EXCLUSIVE");
    for (auto statement :
         {+[](SqliteLocalConnection& c) { c.execute("INSERT INTO t VALUES(2)"); },
          +[](SqliteLocalConnection& c) { c.queryInt("SELECT count(*) FROM t"); }}) {
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_NE(failure([&] { statement(db); }).find("database is locked"), std::string::npos);
        double waited = secondsSince(t0);
        EXPECT_GE(waited, 0.95);
        EXPECT_LT(waited, 1.5);
    }
    ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
}

// Another thread (the query window's cancel button) stops a statement that
// waits for a lock, and one that runs, long before the limits.
TEST_F(Contention, InterruptStopsAWaitingOrRunningStatement) {
    lock("BEGIN EXCLUSIVE");  // default limits: over a minute
    std::thread cancel([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        db.interrupt();
    });
    auto t0 = std::chrono::steady_clock::now();
    std::string e = failure([&] { db.execute("INSERT INTO t VALUES(2)"); });
    cancel.join();
    EXPECT_FALSE(e.empty());
    EXPECT_LT(secondsSince(t0), 2.0);
    ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);

    // A statement that runs for ever (a recursive count without end).
    std::thread cancelRun([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        db.interrupt();
    });
    t0 = std::chrono::steady_clock::now();
    e = failure([&] {
        db.queryInt(
            "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c) "
            "SELECT count(*) FROM c");
    });
    cancelRun.join();
    EXPECT_NE(e.find("interrupted"), std::string::npos) << e;
    EXPECT_LT(secondsSince(t0), 2.0);
    // The next statement runs as usual, and an idle connection ignores it.
    db.interrupt();
    db.execute("INSERT INTO t VALUES(2)");
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM t"), 2);
    SqliteLocalConnection closed;
    closed.interrupt();
}
