#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/GeneralException.h"
#include "remote/Evento.h"
#include "remote/Runnable.h"
#include "remote/Semaforo.h"

using VORLIN::Evento;
using VORLIN::GeneralException;
using VORLIN::Runnable;
using VORLIN::Semaforo;

namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

template <typename F>
std::string failureOf(F f) {
    try {
        f();
    } catch (const GeneralException& e) {
        return e.what();
    }
    return "(no exception)";
}

}  // namespace

TEST(SqliteClientSync, SemaforoLockUnlockAndTry) {
    Semaforo s("SENDMSG");
    EXPECT_FALSE(s.isLocked());
    s.lock();
    EXPECT_TRUE(s.isLocked());
    EXPECT_FALSE(s.lock(0));
    auto t = Clock::now();
    EXPECT_FALSE(s.lock(50));
    EXPECT_GE(msSince(t), 40);
    s.unlock();
    EXPECT_TRUE(s.lock(0));
    s.unlock();
}

TEST(SqliteClientSync, SemaforoReleasedByAnotherThread) {
    Semaforo s("SENDMSG");
    s.lock();
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        s.unlock();
    });
    EXPECT_TRUE(s.lock(5000));
    other.join();
    s.unlock();
}

TEST(SqliteClientSync, SemaforoFailureTexts) {
    Semaforo never;
    EXPECT_EQ(failureOf([&] { never.lock(); }), "Couldn't lock semaphore ");
    Semaforo s("SENDMSG");
    EXPECT_EQ(failureOf([&] { s.unlock(); }), "Couldn't unlock semaphore SENDMSG");
}

TEST(SqliteClientSync, SemaforoObjectsOfTheSameNameAreDistinct) {
    Semaforo a("SENDMSG"), b("SENDMSG");
    a.lock();
    EXPECT_TRUE(b.lock(0));
    b.unlock();
    a.unlock();
}

TEST(SqliteClientSync, EventoNotSignalledAnswersAtOnce) {
    Evento e("RESPONCE", true);
    auto t = Clock::now();
    EXPECT_FALSE(e.isEventFired(0));
    EXPECT_LT(msSince(t), 50);
}

TEST(SqliteClientSync, EventoAutoResetLetsOneWaitThrough) {
    Evento e("RESPONCE", true);
    e.fire();
    EXPECT_TRUE(e.isEventFired(0));
    EXPECT_FALSE(e.isEventFired(0));
}

TEST(SqliteClientSync, EventoManualResetStaysUntilReset) {
    Evento e("X", false);
    e.fire();
    EXPECT_TRUE(e.waitForEvent(0));
    EXPECT_TRUE(e.isEventFired(0));
    e.reset();
    EXPECT_FALSE(e.isEventFired(0));
}

TEST(SqliteClientSync, EventoWaitTimesOutOrWakesOnFire) {
    Evento e("RESPONCE", true);
    auto t = Clock::now();
    EXPECT_FALSE(e.waitForEvent(60));
    EXPECT_GE(msSince(t), 50);
    std::thread firer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        e.fire();
    });
    EXPECT_TRUE(e.waitForEvent(-1));
    firer.join();
}

TEST(SqliteClientSync, EventoFailureTexts) {
    Evento e;
    EXPECT_EQ(failureOf([&] { e.fire(); }), "Couldn't fire event ");
    EXPECT_EQ(failureOf([&] { e.reset(); }), "Couldn't reset event ");
    EXPECT_EQ(failureOf([&] { e.isEventFired(0); }), "Evento.isEventFired error ()");
    EXPECT_EQ(failureOf([&] { e.waitForEvent(0); }), "Evento.waitForEvent error ()");
    e.create("STOPCLIENT", true);
    EXPECT_NO_THROW(e.fire());
}

namespace {

class Counter : public Runnable {
public:
    ~Counter() override { join(); }
    int run() override {
        ++runs;
        return 7;
    }
    std::atomic<int> runs{0};
};

}  // namespace

TEST(SqliteClientSync, RunnableRunsOnceWithItsExitCode) {
    Counter c;
    EXPECT_FALSE(c.isStarted());
    c.start();
    c.start();  // started already: nothing
    EXPECT_TRUE(c.waitFinished(5000));
    c.join();
    EXPECT_EQ(c.runs.load(), 1);
    EXPECT_EQ(c.exitCode(), 7);
    EXPECT_NE(c.threadId(), 0u);
}

TEST(SqliteClientSync, RunnableBaseRunAnswersZero) {
    Runnable r;
    r.start();
    EXPECT_TRUE(r.waitFinished(5000));
    r.join();
    EXPECT_EQ(r.exitCode(), 0);
}
