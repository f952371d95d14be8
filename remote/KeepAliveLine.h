// KeepAliveLine: the keep-alive thread of a remote connection. While the
// connection is idle it sends the server a beat (a message of code 117,
// for which no answer comes) every interval, one second by default.
//
// A beat goes out only when the client is connected and no request is in
// progress: the line never waits for the socket, it skips the beat (see
// SqliteClient::sendBeat), so a beat never comes between a request and its
// answer.
//
// Stopping (stop(), also done by the destructor): the client pointer is
// cleared, "STOPIMALIVE" fired, and the thread, which waits on that event
// between beats instead of sleeping, fires "IMALIVESTOPPED" and ends at
// once. Ownership: the client is not owned. Threads: constructed, started,
// stopped and destroyed by the connection's thread; run on its own.
// Throws only what Runnable::start throws.
#pragma once

#include <atomic>
#include <cstdint>

#include "remote/Evento.h"
#include "remote/Runnable.h"

namespace VORLIN {

class SqliteClient;

class KeepAliveLine : public Runnable {
public:
    static constexpr int kDefaultIntervalMs = 1000;
    static constexpr int kStopWaitMs = 1000;

    explicit KeepAliveLine(SqliteClient* client, int intervalMs = kDefaultIntervalMs);
    ~KeepAliveLine() override;

    int run() override;

    SqliteClient* client() const noexcept { return client_.load(); }
    void setClient(SqliteClient* client) noexcept { client_ = client; }
    // Clears the client, fires "STOPIMALIVE" and waits up to timeoutMs for
    // "IMALIVESTOPPED"; true when the thread said it stopped (or never ran).
    bool stop(int timeoutMs = kStopWaitMs);

    Evento& stopEvent() noexcept { return stop_; }
    Evento& stoppedEvent() noexcept { return stopped_; }
    uint64_t beatsSent() const noexcept { return sent_.load(); }
    uint64_t beatsSkipped() const noexcept { return skipped_.load(); }

private:
    std::atomic<SqliteClient*> client_;
    int intervalMs_;
    std::atomic<uint64_t> sent_{0};
    std::atomic<uint64_t> skipped_{0};
    Evento stop_{"STOPIMALIVE", true};
    Evento stopped_{"IMALIVESTOPPED", true};
};

}  // namespace VORLIN
