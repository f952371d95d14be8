// The real quelmir-server under bad input, concurrency, lost clients and
// lost servers.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/GeneralException.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "remote/ConnectionNotifier.h"
#include "remote/KeepAliveLine.h"
#include "remote/NetMessage.h"
#include "remote/RemoteCodes.h"
#include "remote/SqliteClient.h"
#include "remote/SqliteClientConnection.h"
#include "remote/TcpSocket.h"
#include "tests/server/RawClient.h"
#include "tests/server/ServerProcess.h"

using VORLIN::ConnectionNotifier;
using VORLIN::DbConnection;
using VORLIN::GeneralException;
using VORLIN::NetMessage;
using VORLIN::SqliteClient;
using VORLIN::SqliteClientConnection;
using VORLIN::SqliteLocalConnection;
using VORLIN::String;
using VORLIN::TcpSocket;
namespace RC = VORLIN::RemoteCode;
using testing_server::le32;
using testing_server::RawClient;

namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

class SqliteServerLive : public ::testing::Test {
protected:
    void start(std::vector<std::string> extra = {}) {
        server = std::make_unique<testing_server::ServerProcess>(dir.path(), extra);
        ASSERT_TRUE(server->started());
    }
    std::unique_ptr<SqliteClientConnection> client(const char* database = "datos",
                                                   bool keepAlive = false) {
        auto c = std::make_unique<SqliteClientConnection>(keepAlive);
        c->setRequestTimeout(20000);
        EXPECT_TRUE(c->connect(String(server->address()), "", "", false, "-"))
            << c->lastError().view();
        // Opening a database that does not exist creates it.
        EXPECT_TRUE(c->openDatabase(database)) << c->lastError().view();
        return c;
    }
    testing_server::TempDir dir;
    std::unique_ptr<testing_server::ServerProcess> server;
};

}  // namespace

TEST_F(SqliteServerLive, LengthPrefixInTwoPiecesAndMessageOfLengthFive) {
    start();
    RawClient raw(server->port());
    ASSERT_TRUE(raw.ok());
    NetMessage open(RC::kOpenDatabase);
    open.addString("datos");
    std::string wire(open.wireImage().view());
    raw.sendRaw(wire.substr(0, 2));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    raw.sendRaw(wire.substr(2, 2));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    raw.sendRaw(wire.substr(4));
    NetMessage in;
    EXPECT_EQ(raw.receive(in), RC::kSuccess);
    // Length 5: a code and no arguments.
    raw.sendRaw(le32(5) + std::string(1, char(RC::kBeginTransaction)));
    EXPECT_EQ(raw.receive(in), RC::kSuccess);
    raw.sendRaw(le32(5) + std::string(1, char(RC::kExecute)));
    EXPECT_EQ(raw.receive(in), RC::kFailure);
    EXPECT_NE(std::string(in.readString().view()).find("argumentos invalidos"), std::string::npos);
}

TEST_F(SqliteServerLive, BadInputFromOneClientDisturbsNoOther) {
    start({"--max-message", "1M"});
    auto good = client();
    good->execute("CREATE TABLE t(a);");
    std::atomic<bool> stop{false};
    std::atomic<int> done{0}, failures{0};
    std::thread worker([&] {
        while (!stop) {
            try {
                good->execute("INSERT INTO t VALUES(1);");
                if (good->queryInt("SELECT COUNT(*) FROM t;") > done) ++done;
            } catch (const GeneralException&) {
                ++failures;
            }
        }
    });

    // Frames that cannot be messages: each closes that client only.
    int badFrames = 0;
    for (uint32_t length : {0u, 3u, 4u, 0xffffffffu, 0x7fffffffu, (1u << 20) + 1}) {
        RawClient raw(server->port());
        ASSERT_TRUE(raw.ok());
        raw.sendRaw(le32(length) + "garbage");
        NetMessage in;
        EXPECT_EQ(raw.receive(in), -1) << length;
        ++badFrames;
    }
    // Garbage that frames correctly: answered, connection kept.
    {
        RawClient raw(server->port());
        ASSERT_TRUE(raw.ok());
        NetMessage in;
        raw.sendRaw(le32(9) + std::string("\xfa\x01\x02\x03\x04", 5));
        EXPECT_EQ(raw.receive(in), RC::kFailure);
        EXPECT_EQ(in.readString(), String("Peticion desconocida: codigo 250"));
        NetMessage upd(RC::kUpdateDatabase);
        upd.addString("x").addInt(123456789);
        EXPECT_EQ(raw.ask(upd, in), RC::kFailure);
        for (const char* name : {"../../etc/passwd", "/etc/passwd", "..", "a/b", "C:\\x"}) {
            NetMessage open(RC::kOpenDatabase);
            open.addString(name);
            EXPECT_EQ(raw.ask(open, in), RC::kFailure) << name;
            NetMessage down(RC::kDownloadFile);
            down.addString(name[0] == 'a' ? "../b" : name);
            EXPECT_EQ(raw.ask(down, in), RC::kFailure) << name;
            NetMessage up(RC::kUploadFile);
            up.addString(name[0] == 'a' ? "a\\..\\..\\b" : name).addInt(0).addBytes("x", 1);
            EXPECT_EQ(raw.ask(up, in), RC::kFailure) << name;
        }
        NetMessage ping(RC::kIntQuery);
        ping.addInt(0);
        EXPECT_EQ(raw.ask(ping, in), RC::kScalar);
    }
    auto until = Clock::now() + std::chrono::seconds(10);
    while (done < 20 && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stop = true;
    worker.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_GE(done.load(), 20);
    EXPECT_TRUE(server->waitForLine("closed: bad frame"));
    for (int i = 0; i < 50 && server->countLines("closed: bad frame") < badFrames; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(server->countLines("closed: bad frame"), badFrames);
    EXPECT_TRUE(good->isConnected());
    EXPECT_EQ(::access((dir.path() + "/../passwd").c_str(), F_OK), -1);
}

TEST_F(SqliteServerLive, EightClientsInsertingAtOnceLoseNoRow) {
    start();
    {
        auto setup = client();
        setup->execute("CREATE TABLE t(id INTEGER PRIMARY KEY, who INTEGER, n INTEGER);");
    }
    constexpr int kClients = 8, kRows = 25;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < kClients; ++w) {
        threads.emplace_back([&, w] {
            SqliteClientConnection c(true);
            c.setKeepAliveInterval(5);
            c.setRequestTimeout(20000);
            if (!c.connect(String(server->address()), "", "", false, "datos")) {
                ADD_FAILURE() << c.lastError().view();
                ++failures;
                return;
            }
            try {
                for (int i = 0; i < kRows; ++i) {
                    String sql;
                    sql.format("INSERT INTO t(who, n) VALUES(%d, %d);", w, i);
                    if (i % 5 == 0) {
                        c.beginTransaction();
                        c.executeInsert(sql);
                        c.commitTransaction();
                    } else {
                        c.executeInsert(sql);
                    }
                }
            } catch (const GeneralException& e) {
                ADD_FAILURE() << e.what();
                ++failures;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
    auto check = client();
    EXPECT_EQ(check->queryInt("SELECT COUNT(*) FROM t;"), kClients * kRows);
    EXPECT_EQ(check->queryInt("SELECT COUNT(DISTINCT who*1000+n) FROM t;"), kClients * kRows);
}

TEST_F(SqliteServerLive, AWriterWaitsForTheLockInsteadOfFailing) {
    start();
    auto a = client();
    auto b = client();
    a->execute("CREATE TABLE t(a);");
    a->beginTransaction();
    a->execute("INSERT INTO t VALUES(1);");
    std::thread committer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        a->commitTransaction();
    });
    auto t = Clock::now();
    EXPECT_NO_THROW(b->execute("INSERT INTO t VALUES(2);"));
    EXPECT_GE(msSince(t), 200);
    committer.join();
    EXPECT_EQ(b->queryInt("SELECT COUNT(*) FROM t;"), 2);
}

TEST_F(SqliteServerLive, ALockHeldTooLongFailsAfterTheBusyTimeout) {
    start({"--busy-timeout", "300"});
    auto a = client();
    auto b = client();
    a->execute("CREATE TABLE t(a);");
    a->beginTransaction();
    auto t = Clock::now();
    EXPECT_THROW(b->execute("INSERT INTO t VALUES(2);"), GeneralException);
    EXPECT_LT(msSince(t), 10000);
    EXPECT_TRUE(b->isConnected());
    a->rollbackTransaction();
}

TEST_F(SqliteServerLive, ClientLostInATransactionIsRolledBack) {
    start();
    auto observer = client();
    observer->execute("CREATE TABLE t(a);");
    {
        RawClient raw(server->port());
        NetMessage in;
        NetMessage open(RC::kOpenDatabase);
        open.addString("datos");
        ASSERT_EQ(raw.ask(open, in), RC::kSuccess);
        NetMessage begin(RC::kBeginTransaction);
        ASSERT_EQ(raw.ask(begin, in), RC::kSuccess);
        NetMessage insert(RC::kExecute);
        insert.addString("INSERT INTO t VALUES(1);");
        ASSERT_EQ(raw.ask(insert, in), RC::kSuccess);
        // Gone without a word.
    }
    EXPECT_TRUE(server->waitForLine("open transaction rolled back"));
    EXPECT_EQ(observer->queryInt("SELECT COUNT(*) FROM t;"), 0);
    observer->execute("INSERT INTO t VALUES(2);");  // the lock is free again
}

TEST_F(SqliteServerLive, ServerKilledWhileARequestWaits) {
    start();
    std::atomic<int> notices{0};
    ConnectionNotifier::dispatchPending();
    int id = ConnectionNotifier::subscribe([&](DbConnection*) { ++notices; });
    auto c = client("datos", true);
    std::thread killer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        server->kill();
    });
    auto t = Clock::now();
    try {
        c->remoteIntQuery2(10000);  // the server pauses 10 s before answering
        ADD_FAILURE() << "answered";
    } catch (const GeneralException& e) {
        EXPECT_STREQ(e.what(), SqliteClient::kServerClosed);
    }
    killer.join();
    EXPECT_LT(msSince(t), 5000);
    EXPECT_FALSE(c->isConnected());
    EXPECT_THROW(c->queryInt("SELECT 1;"), GeneralException);
    EXPECT_EQ(c->lastError(), String("SqliteClient is not connected"));
    EXPECT_TRUE(ConnectionNotifier::waitPending(5000));
    ConnectionNotifier::dispatchPending();
    EXPECT_EQ(notices.load(), 1);
    ConnectionNotifier::unsubscribe(id);
    auto d = Clock::now();
    c->disconnect();
    EXPECT_LT(msSince(d), 3000);
}

TEST_F(SqliteServerLive, SilentServerTimesOut) {
    start();
    auto c = client();
    c->setRequestTimeout(300);
    auto t = Clock::now();
    try {
        c->remoteIntQuery2(3000);
        ADD_FAILURE();
    } catch (const GeneralException& e) {
        EXPECT_STREQ(e.what(), "SqliteClient: el servidor no respondió en 300 ms");
    }
    EXPECT_LT(msSince(t), 2500);
    EXPECT_FALSE(c->isConnected());
    ConnectionNotifier::dispatchPending();
}

TEST_F(SqliteServerLive, KeepAliveBeatsAndRequestsShareTheConnection) {
    start();
    auto c = client("datos", false);
    c->disconnect();
    SqliteClientConnection k(true);
    k.setKeepAliveInterval(2);
    ASSERT_TRUE(k.connect(String(server->address()), "", "", false, "datos"));
    for (int i = 0; i < 200; ++i) {
        String sql;
        sql.format("SELECT %d;", i);
        ASSERT_EQ(k.queryInt(sql), i);
        if (i % 50 == 0) {
            EXPECT_EQ(k.remoteIntQuery2(20), 20);
            // Idle for a moment: beats go out.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ASSERT_NE(k.keepAliveLine(), nullptr);
    EXPECT_GT(k.keepAliveLine()->beatsSent(), 0u);
    k.disconnect();
}

TEST_F(SqliteServerLive, SigtermRollsBackAndStopsCleanly) {
    start();
    auto a = client();
    a->execute("CREATE TABLE t(a);");
    a->beginTransaction();
    a->execute("INSERT INTO t VALUES(1);");
    auto b = client();
    std::thread waiter([&] {
        // Waits for the lock when the stop comes: interrupted, not hung.
        try {
            b->execute("INSERT INTO t VALUES(2);");
        } catch (const GeneralException&) {
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto t = Clock::now();
    int status = server->stop(10000);
    waiter.join();
    EXPECT_LT(msSince(t), 5000);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(server->waitForLine("stopped", 1000));
    SqliteLocalConnection local;
    ASSERT_TRUE(local.connect(String(dir.path()), "", "", false, "-"));
    ASSERT_TRUE(local.openDatabase("datos", true));
    // The open transaction was rolled back, and the waiting writer's
    // statement did not run once the lock was free.
    EXPECT_EQ(local.queryInt("SELECT COUNT(*) FROM t;"), 0);
    local.disconnect();
    ConnectionNotifier::dispatchPending();
}

TEST_F(SqliteServerLive, ClientsBeyondTheLimitAreTurnedAway) {
    start({"--max-clients", "1"});
    auto first = client();
    RawClient second(server->port());
    NetMessage in;
    NetMessage ping(RC::kIntQuery);
    ping.addInt(0);
    EXPECT_EQ(second.ask(ping, in), -1);
    EXPECT_TRUE(server->waitForLine("refused"));
    EXPECT_EQ(first->remoteIntQuery(1), 1);
}
