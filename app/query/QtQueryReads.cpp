#include "app/query/QtQueryReads.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <vector>

#include "app/main/HeapPrefault.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "db/DbConnection.h"

using ReadPtr = std::shared_ptr<QtQueryReads::Read>;

namespace {

std::vector<ReadPtr>& givenUpReads() {
    static std::vector<ReadPtr> reads;
    return reads;
}

// A thread freeing the rows of a closed window: a million rows take a good
// part of a second to free, which the window's close should not wait for.
struct Disposer {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
};

// Joined at the latest when the program ends.
struct Disposers {
    std::vector<Disposer> threads;
    ~Disposers() {
        for (Disposer& d : threads)
            if (d.thread.joinable()) d.thread.join();
    }
};

std::vector<Disposer>& disposers() {
    static Disposers all;
    return all.threads;
}

// Back on the UI thread once a read's thread is done.
void readEnded(const std::weak_ptr<QtQueryReads::Read>& weak) {
    ReadPtr read = weak.lock();
    if (!read) return;  // already finished and waited for
    if (read->worker.joinable()) read->worker.join();
    auto& reads = givenUpReads();
    auto at = std::find(reads.begin(), reads.end(), read);
    if (at != reads.end()) {
        // A read its window gave up: its answer goes, the connection is free.
        reads.erase(at);
        return;
    }
    if (read->ended) read->ended();
}

}  // namespace

QtQueryReads::Read::~Read() {
    if (worker.joinable()) {
        connection->interrupt();
        worker.join();
    }
}

ReadPtr QtQueryReads::start(VORLIN::DbConnection& connection, QueryRunner::Job job,
                            std::function<void()> ended) {
    auto read = std::make_shared<Read>();
    read->connection = &connection;
    read->job = std::make_unique<QueryRunner::Job>(std::move(job));
    read->hold = std::make_unique<ConnectionBusy::Hold>(&connection);
    read->ended = std::move(ended);
    QueryRunner::Job* raw = read->job.get();
    std::weak_ptr<Read> weak = read;
    read->worker = std::thread([raw, c = &connection, weak] {
        {
            // The pages the rows will fill are mapped in on the other core.
            VORLIN::HeapPrefault prefault;
            QueryRunner::work(*c, *raw);
        }
        // Back on the UI thread, whoever holds the read by then.
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app, [weak] { readEnded(weak); }, Qt::QueuedConnection);
    });
    return read;
}

void QtQueryReads::giveUp(ReadPtr read) {
    if (!read) return;
    read->ended = nullptr;
    read->connection->interrupt();
    givenUpReads().push_back(std::move(read));
    static QPointer<QTimer> ticker;
    if (!ticker && QCoreApplication::instance()) {
        ticker = new QTimer(QCoreApplication::instance());
        ticker->setInterval(kReinterruptMs);
        QObject::connect(ticker, &QTimer::timeout, [] {
            if (givenUpReads().empty()) {
                ticker->stop();
                return;
            }
            for (const ReadPtr& left : givenUpReads())
                left->connection->interrupt();
        });
    }
    if (ticker && !ticker->isActive()) ticker->start();
}

void QtQueryReads::freeAlone(std::unique_ptr<QueryRunner> runner) {
    auto& threads = disposers();
    for (auto it = threads.begin(); it != threads.end();) {
        if (*it->done) {
            it->thread.join();
            it = threads.erase(it);
        } else {
            ++it;
        }
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    threads.push_back(Disposer{std::thread([r = runner.release(), done] {
                                   delete r;
                                   *done = true;
                               }),
                               done});
}

void QtQueryReads::finishAll(bool dropLinks) {
    std::vector<ReadPtr> reads;
    reads.swap(givenUpReads());
    if (dropLinks)
        for (const ReadPtr& read : reads)
            read->connection->dropLink();
    reads.clear();  // each interrupts its statement and waits for its thread
    std::vector<Disposer> threads;
    threads.swap(disposers());
    for (Disposer& d : threads)
        d.thread.join();
}

int QtQueryReads::givenUp() {
    return int(givenUpReads().size());
}
