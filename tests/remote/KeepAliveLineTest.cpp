#include "remote/KeepAliveLine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "remote/NetMessage.h"
#include "remote/RemoteCodes.h"
#include "remote/SqliteClient.h"
#include "tests/remote/FakeServer.h"

using VORLIN::DataItem;
using VORLIN::KeepAliveLine;
using VORLIN::NetMessage;
using VORLIN::SqliteClient;
using VORLIN::String;
namespace RC = VORLIN::RemoteCode;

namespace {

using Clock = std::chrono::steady_clock;

std::unique_ptr<SqliteClient> startClient(const fake::FakeServer& server) {
    auto c = std::make_unique<SqliteClient>();
    EXPECT_TRUE(c->connect(String(server.address()), "", ""));
    c->start();
    EXPECT_TRUE(c->startedEvent().waitForEvent(5000));
    return c;
}

}  // namespace

TEST(SqliteClientKeepAlive, BeatsWhileIdle) {
    std::atomic<int> beats{0};
    fake::FakeServer server([&](fake::FakePeer& peer) {
        NetMessage in;
        while (peer.receive(in)) {
            if (in.code() == RC::kKeepAlive) ++beats;
            if (in.code() == RC::kDisconnect) break;
        }
    });
    auto client = startClient(server);
    KeepAliveLine line(client.get(), 30);
    line.start();
    auto until = Clock::now() + std::chrono::seconds(5);
    while (beats < 3 && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(beats.load(), 3);
    EXPECT_TRUE(line.stop());
    line.join();
    EXPECT_GE(line.beatsSent(), 3u);
    client->stop(1000);
}

TEST(SqliteClientKeepAlive, StopEndsTheLineAtOnceAndSaysSo) {
    KeepAliveLine line(nullptr);  // the default one-second interval
    line.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    auto t = Clock::now();
    EXPECT_TRUE(line.stop(1000));
    EXPECT_LT(Clock::now() - t, std::chrono::milliseconds(900));
    EXPECT_TRUE(line.waitFinished(1000));
    EXPECT_EQ(line.client(), nullptr);
    EXPECT_EQ(line.exitCode(), 0);
}

TEST(SqliteClientKeepAlive, StoppingTheEventDirectlyFiresStopped) {
    KeepAliveLine line(nullptr, 50);
    line.start();
    line.stopEvent().fire();
    EXPECT_TRUE(line.stoppedEvent().waitForEvent(1500));
    line.join();
}

TEST(SqliteClientKeepAlive, NoBeatBetweenARequestAndItsAnswer) {
    std::atomic<int> intruders{0};
    std::atomic<int> beatsAfter{0};
    fake::FakeServer server([&](fake::FakePeer& peer) {
        NetMessage in;
        for (int request = 0; request < 3;) {
            if (!peer.receive(in)) return;
            if (in.code() == RC::kKeepAlive) continue;
            ++request;
            // The client is waiting: nothing may arrive until it is answered.
            if (!peer.quietFor(200)) ++intruders;
            NetMessage a(RC::kScalar);
            a.addItem(DataItem(int32_t(request)));
            peer.send(a);
        }
        while (peer.receive(in)) {
            if (in.code() == RC::kKeepAlive) ++beatsAfter;
            if (in.code() == RC::kDisconnect) break;
        }
    });
    auto client = startClient(server);
    KeepAliveLine line(client.get(), 10);
    line.start();
    for (int i = 1; i <= 3; ++i) {
        NetMessage m(RC::kQueryItem);
        m.addString("SELECT 1;");
        EXPECT_EQ(client->request(m, {}).toInt(), i);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    line.stop();
    line.join();
    client->stop(1000);
    EXPECT_EQ(intruders.load(), 0);
    EXPECT_GT(line.beatsSkipped(), 0u);
    EXPECT_GT(line.beatsSent(), 0u);
}
