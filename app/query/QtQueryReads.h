// QtQueryReads: the reads query windows run on threads of their own, and
// what becomes of them when a window stops waiting.
//
// start() runs QueryRunner::work for a job on a thread of its own, with the
// connection marked busy (ConnectionBusy) until the read is over; when the
// thread is done, `ended` runs on the UI thread. A window that gives a read
// up (a cancel the back end cannot honour at once, a window closed while
// reading) hands it to giveUp(): the read then ends alone, its connection
// is interrupted again every kReinterruptMs (an interrupt that came before
// the statement had begun is lost), and its answer goes. freeAlone() frees
// a closed window's large result on a thread of its own. finishAll() waits
// for both kinds of thread: the owner of the connections calls it before
// it lets them go.
//
// Ownership: a Read belongs to the window that started it, or, given up, to
// this registry; it is destroyed on the UI thread, after its thread has
// been joined. Threads: every call on the UI thread. Throws nothing but
// std::bad_alloc and what std::thread throws when no thread can be made.
#pragma once

#include <functional>
#include <memory>
#include <thread>

#include "app/query/ConnectionBusy.h"
#include "app/query/QueryRunner.h"

namespace VORLIN {
class DbConnection;
}

class QtQueryReads {
public:
    static constexpr int kReinterruptMs = 250;

    struct Read {
        VORLIN::DbConnection* connection = nullptr;
        std::unique_ptr<QueryRunner::Job> job;
        std::unique_ptr<ConnectionBusy::Hold> hold;
        std::thread worker;
        // Runs on the UI thread when the read is over; cleared when given up.
        std::function<void()> ended;
        // Interrupts a read still going and waits for its thread.
        ~Read();
    };

    // Starts reading `job` on `connection`, which the caller has checked
    // is not busy.
    static std::shared_ptr<Read> start(VORLIN::DbConnection& connection, QueryRunner::Job job,
                                       std::function<void()> ended);
    // The read ends alone; `ended` is not called.
    static void giveUp(std::shared_ptr<Read> read);
    // Frees `runner` and the rows it holds on a thread of its own.
    static void freeAlone(std::unique_ptr<QueryRunner> runner);
    // Waits for the reads given up and the threads freeing results; with
    // `dropLinks`, the links of the reads given up are dropped first
    // (DbConnection::dropLink), for the program's end.
    static void finishAll(bool dropLinks = false);
    // Reads given up and still going.
    static int givenUp();
};
