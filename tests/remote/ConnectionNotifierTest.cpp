#include "remote/ConnectionNotifier.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using VORLIN::ConnectionNotifier;
using VORLIN::DbConnection;

TEST(SqliteClientNotifier, QueuedUntilDispatchedOnTheCallingThread) {
    ConnectionNotifier::dispatchPending();
    std::vector<DbConnection*> seen;
    std::thread::id where;
    int id = ConnectionNotifier::subscribe([&](DbConnection* c) {
        seen.push_back(c);
        where = std::this_thread::get_id();
    });
    auto* source = reinterpret_cast<DbConnection*>(0x1234);
    std::thread raiser([&] { ConnectionNotifier::raiseServerClosed(source); });
    raiser.join();
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(ConnectionNotifier::waitPending(1000));
    EXPECT_EQ(ConnectionNotifier::dispatchPending(), 1);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], source);
    EXPECT_EQ(where, std::this_thread::get_id());
    ConnectionNotifier::unsubscribe(id);
}

TEST(SqliteClientNotifier, DroppedWithoutSubscribers) {
    ConnectionNotifier::dispatchPending();
    ConnectionNotifier::raiseServerClosed(nullptr);
    EXPECT_EQ(ConnectionNotifier::pendingCount(), 0);
}

TEST(SqliteClientNotifier, PosterCarriesTheNotice) {
    std::vector<ConnectionNotifier::Task> posted;
    ConnectionNotifier::setPoster([&](ConnectionNotifier::Task t) { posted.push_back(t); });
    int calls = 0;
    int id = ConnectionNotifier::subscribe([&](DbConnection*) { ++calls; });
    ConnectionNotifier::raiseServerClosed(nullptr);
    EXPECT_EQ(calls, 0);
    ASSERT_EQ(posted.size(), 1u);
    posted[0]();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ConnectionNotifier::kServerClosedMessage, 1124);
    ConnectionNotifier::setPoster(nullptr);
    ConnectionNotifier::unsubscribe(id);
}
