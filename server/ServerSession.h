// ServerSession: one connected client of quelmir-server, served by a thread
// of its own: it receives each request, lets its RequestHandler answer it
// and sends the answer, until the client disconnects (request 1 or closing
// the connection), sends a frame that cannot be a message (length below 5
// or above the limit: that client is closed, with a log line, and no other
// is disturbed), sends nothing for the idle time-out, leaves a transaction
// open without a request (keep-alive beats do not count) for the
// transaction time-out, or the server stops.
// At the end an open transaction is rolled back and the database closed.
//
// A stop lets the request under way end (it fails or is rolled back, see
// RequestHandler) and sends its answer; requests that arrive afterwards are
// answered with code 3. An answer larger than the context's maxAnswer is
// replaced by a code 3 saying so. After an answer of more than
// RequestHandler::kSpareLimit the memory it took is given back to the system.
//
// Ownership: owns its socket and handler. Threads: constructed, stopped and
// joined by the server's thread; run on its own. requestStop() may be
// called from any thread. Nothing throws out of the thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "server/RequestHandler.h"

namespace VORLIN {
class TcpSocket;
}

class ServerSession {
public:
    ServerSession(std::unique_ptr<VORLIN::TcpSocket> socket, std::string peer,
                  RequestHandler::Context context);
    // Stops and joins the thread.
    ~ServerSession();
    ServerSession(const ServerSession&) = delete;
    ServerSession& operator=(const ServerSession&) = delete;

    void start();
    // Ends the session soon: interrupts a running statement or lock wait
    // and stops reading; the answer under way still goes out.
    void requestStop() noexcept;
    // The first half of requestStop: no statement starts or commits from
    // now on. The server halts every session before it stops any, so that
    // a lock one of them gives up is taken by no other.
    void halt() noexcept;
    // Closes the connection in both directions (an answer that a client
    // does not read is given up).
    void forceClose() noexcept;
    void join();
    bool isFinished() const noexcept { return finished_.load(); }
    int id() const noexcept { return id_; }

private:
    void run();
    // Waits for the next request's first bytes: 0 when the time-out for
    // the client's state ran out, otherwise positive.
    int waitForRequest();

    int id_;
    uint32_t maxAnswer_;
    int idleTimeoutS_;
    int transactionTimeoutS_;
    // When the last request other than a beat was answered.
    std::chrono::steady_clock::time_point lastRequest_ = std::chrono::steady_clock::now();
    std::string peer_;
    std::unique_ptr<VORLIN::TcpSocket> socket_;
    RequestHandler handler_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
};
