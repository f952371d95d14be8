#include "remote/SqliteClient.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "remote/ConnectionNotifier.h"
#include "remote/NetMessage.h"
#include "remote/RemoteCodes.h"
#include "tests/remote/FakeServer.h"

using VORLIN::ConnectionNotifier;
using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::DataSet;
using VORLIN::DbConnection;
using VORLIN::GeneralException;
using VORLIN::NetMessage;
using VORLIN::SqliteClient;
using VORLIN::String;
namespace RC = VORLIN::RemoteCode;

namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// A client connected to `server` with its thread running.
std::unique_ptr<SqliteClient> startClient(const fake::FakeServer& server, int timeoutMs = 5000) {
    auto c = std::make_unique<SqliteClient>();
    c->setRequestTimeout(timeoutMs);
    EXPECT_TRUE(c->connect(String(server.address()), "", ""));
    c->start();
    EXPECT_TRUE(c->startedEvent().waitForEvent(5000));
    return c;
}

std::string requestFailure(SqliteClient& c, NetMessage& m, const SqliteClient::Targets& t = {}) {
    try {
        c.request(m, t);
    } catch (const GeneralException& e) {
        return e.what();
    }
    return "(no exception)";
}

// Subscribes for the duration of a test and counts the notices delivered.
class NoticeCounter {
public:
    NoticeCounter() {
        ConnectionNotifier::dispatchPending();
        id_ = ConnectionNotifier::subscribe([this](DbConnection*) { ++count; });
    }
    ~NoticeCounter() {
        ConnectionNotifier::unsubscribe(id_);
        ConnectionNotifier::dispatchPending();
    }
    // Waits for a queued notice and delivers it here (the "UI thread").
    int deliver(int timeoutMs) {
        ConnectionNotifier::waitPending(timeoutMs);
        ConnectionNotifier::dispatchPending();
        return count.load();
    }
    std::atomic<int> count{0};

private:
    int id_;
};

}  // namespace

TEST(SqliteClient, RequestWithoutConnectionThrowsWithoutASocket) {
    SqliteClient c;
    NetMessage m(RC::kExecute);
    EXPECT_EQ(requestFailure(c, m), "SqliteClient is not connected");
    EXPECT_FALSE(c.hasSocket());
}

TEST(SqliteClient, ConnectTwiceThrows) {
    fake::FakeServer server([](fake::FakePeer& peer) { peer.untilDisconnect(); });
    SqliteClient c;
    ASSERT_TRUE(c.connect(String(server.address()), "", ""));
    try {
        c.connect(String(server.address()), "", "");
        ADD_FAILURE();
    } catch (const GeneralException& e) {
        EXPECT_STREQ(e.what(), "SqliteClient.connect: Already connected...");
    }
}

TEST(SqliteClient, ScalarAnswer) {
    fake::FakeServer server([](fake::FakePeer& peer) {
        NetMessage in;
        ASSERT_TRUE(peer.receive(in));
        EXPECT_EQ(in.code(), RC::kQueryItem);
        EXPECT_EQ(in.readString(), String("SELECT 1;"));
        NetMessage a(RC::kScalar);
        a.addItem(DataItem(int32_t(1)));
        peer.send(a);
        peer.untilDisconnect();
    });
    auto c = startClient(server);
    NetMessage m(RC::kQueryItem);
    m.addString("SELECT 1;");
    EXPECT_EQ(c->request(m, {}).toInt(), 1);
}

TEST(SqliteClient, ServerErrorTextIsThrown) {
    fake::FakeServer server([](fake::FakePeer& peer) {
        ASSERT_TRUE(peer.expect(RC::kExecute));
        NetMessage a(RC::kFailure);
        a.addString("execute no such table: x:\r\nDROP TABLE x");
        peer.send(a);
        peer.untilDisconnect();
    });
    auto c = startClient(server);
    NetMessage m(RC::kExecute);
    m.addString("DROP TABLE x");
    EXPECT_EQ(requestFailure(*c, m), "execute no such table: x:\r\nDROP TABLE x");
    EXPECT_TRUE(c->isConnected());
}

TEST(SqliteClient, AnswersWithoutTargetGiveTheirTexts) {
    fake::FakeServer server([](fake::FakePeer& peer) {
        DataSet empty;
        for (uint8_t code : {RC::kDatabaseList, RC::kRows, RC::kFileList}) {
            NetMessage in;
            ASSERT_TRUE(peer.receive(in));
            NetMessage a(code);
            a.addDataSet(empty);
            peer.send(a);
        }
        for (uint8_t code : {RC::kRow, RC::kModel, RC::kTable, RC::kServerStatus}) {
            NetMessage in;
            ASSERT_TRUE(peer.receive(in));
            NetMessage a(code);
            peer.send(a);
        }
        peer.untilDisconnect();
    });
    auto c = startClient(server);
    const char* texts[] = {"QUERYDBS: invalid pointer.",     "QUERYDSET: invalid pointer.",
                           "QUERYFILES: invalid pointer.",   "QUERYROW: invalid pointer.",
                           "QUERYMODEL: invalid pointer.",   "OPENTABLE: invalid pointer.",
                           "SERVER STATUS: invalid pointer."};
    for (const char* text : texts) {
        NetMessage m(RC::kExecute);
        EXPECT_EQ(requestFailure(*c, m), text);
    }
}

TEST(SqliteClient, RowWidthMismatch) {
    fake::FakeServer server([](fake::FakePeer& peer) {
        ASSERT_TRUE(peer.expect(RC::kQueryRow));
        DataRow three(3);
        NetMessage a(RC::kRow);
        a.addRow(three);
        peer.send(a);
        ASSERT_TRUE(peer.expect(RC::kQueryRow));
        DataRow two(2);
        two.cell(0)->setInt(5);
        two.cell(1)->setString("cinco");
        NetMessage b(RC::kRow);
        b.addRow(two);
        peer.send(b);
        peer.untilDisconnect();
    });
    auto c = startClient(server);
    DataRow row(2);
    row.cell(0)->setInt(1);
    SqliteClient::Targets t;
    t.row = &row;
    NetMessage m(RC::kQueryRow);
    EXPECT_EQ(requestFailure(*c, m, t), "El número de columnas no coinciden");
    EXPECT_EQ(row.cell(0)->toInt(), 1);
    NetMessage m2(RC::kQueryRow);
    EXPECT_TRUE(c->request(m2, t).toBool());
    EXPECT_EQ(row.cell(0)->toInt(), 5);
    EXPECT_EQ(row.cell(1)->text(), String("cinco"));
}

TEST(SqliteClient, SignOfLifeIsAnsweredAtOnce) {
    std::atomic<bool> answered{false};
    fake::FakeServer server([&](fake::FakePeer& peer) {
        peer.sendCode(RC::kSignOfLife);
        answered = peer.expect(RC::kSuccess);
        peer.untilDisconnect();
    });
    auto c = startClient(server);
    for (int i = 0; i < 1000 && !answered; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(answered.load());
    c->stop(500);
}

TEST(SqliteClient, ServerClosingWakesTheWaitingRequestAtOnce) {
    NoticeCounter notices;
    fake::FakeServer server([](fake::FakePeer& peer) {
        ASSERT_TRUE(peer.expect(RC::kQueryItem));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        peer.close();
    });
    auto c = startClient(server, 30000);
    NetMessage m(RC::kQueryItem);
    m.addString("SELECT 1;");
    auto t = Clock::now();
    EXPECT_EQ(requestFailure(*c, m), SqliteClient::kServerClosed);
    EXPECT_LT(msSince(t), 3000);
    EXPECT_TRUE(c->stoppedEvent().waitForEvent(5000));
    EXPECT_FALSE(c->isConnected());
    NetMessage again(RC::kQueryItem);
    EXPECT_EQ(requestFailure(*c, again), "SqliteClient is not connected");
    EXPECT_EQ(notices.deliver(5000), 1);
}

TEST(SqliteClient, SilentServerTimesOutAndIsGivenUp) {
    NoticeCounter notices;
    fake::FakeServer server([](fake::FakePeer& peer) {
        ASSERT_TRUE(peer.expect(RC::kQueryItem));
        peer.untilDisconnect();
    });
    auto c = startClient(server, 300);
    NetMessage m(RC::kQueryItem);
    m.addString("SELECT 1;");
    auto t = Clock::now();
    EXPECT_EQ(requestFailure(*c, m), "SqliteClient: el servidor no respondió en 300 ms");
    EXPECT_GE(msSince(t), 250);
    EXPECT_TRUE(c->stoppedEvent().waitForEvent(5000));
    EXPECT_FALSE(c->isConnected());
    EXPECT_EQ(notices.deliver(5000), 1);
}

TEST(SqliteClient, StopIsBoundedWhenTheServerIgnoresTheDisconnect) {
    NoticeCounter notices;
    std::atomic<bool> sawDisconnect{false};
    fake::FakeServer server([&](fake::FakePeer& peer) {
        sawDisconnect = peer.expect(RC::kDisconnect);
        peer.waitClosed(5000);  // never closes by itself
    });
    auto c = startClient(server);
    auto t = Clock::now();
    c->stop(200);
    EXPECT_LT(msSince(t), 2000);
    EXPECT_FALSE(c->isConnected());
    EXPECT_TRUE(server.waitFinished(5000));
    EXPECT_TRUE(sawDisconnect.load());
    // A disconnect asked for is not news for the user interface.
    EXPECT_EQ(notices.deliver(100), 0);
}

TEST(SqliteClient, BlockAnswerIsKept) {
    fake::FakeServer server([](fake::FakePeer& peer) {
        ASSERT_TRUE(peer.expect(RC::kDownloadFile));
        NetMessage a(RC::kBlock);
        a.addBytes("hola", 4);
        peer.send(a);
        peer.untilDisconnect();
    });
    auto c = startClient(server);
    NetMessage m(RC::kDownloadFile);
    m.addString("a.txt");
    EXPECT_EQ(c->request(m, {}).toInt(), 4);
    uint32_t n = 0;
    auto block = c->takeReceivedBlock(&n);
    ASSERT_EQ(n, 4u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block.get()), n), "hola");
}

TEST(SqliteClient, EndOfConversationTellsTheListener) {
    struct L : SqliteClient::Listener {
        void conversationEnded(int code) override { last = code; }
        std::atomic<int> last{-1};
    } listener;
    fake::FakeServer server([](fake::FakePeer& peer) {
        ASSERT_TRUE(peer.expect(RC::kCommand));
        peer.sendCode(200);
        peer.untilDisconnect();
    });
    auto c = startClient(server);
    c->setListener(&listener);
    NetMessage m(RC::kCommand);
    EXPECT_FALSE(c->request(m, {}).toBool());
    EXPECT_EQ(listener.last.load(), 200);
}
