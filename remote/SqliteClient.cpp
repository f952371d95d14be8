#include "remote/SqliteClient.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <vector>

#include "core/DateTime.h"
#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "remote/ConnectionNotifier.h"
#include "remote/NetMessage.h"
#include "remote/RemoteCodes.h"
#include "remote/TcpSocket.h"

namespace VORLIN {

namespace RC = RemoteCode;

namespace {

// Releases the request lock and the busy flag however the request ends.
class SendTurn {
public:
    SendTurn(Semaforo& lock, std::atomic<bool>& busy) : lock_(lock), busy_(busy) { busy_ = true; }
    ~SendTurn() {
        busy_ = false;
        lock_.unlock();
    }
    SendTurn(const SendTurn&) = delete;
    SendTurn& operator=(const SendTurn&) = delete;

private:
    Semaforo& lock_;
    std::atomic<bool>& busy_;
};

// The archive gives a date item its date alone as text, while a local
// connection writes the time of day too when there is one. Setting the item
// from its own value writes the local text back; the value is untouched.
void restoreDateText(DataItem& item) {
    if (item.type() != DataItem::TDate) return;
    // The hour, minute and second fields of the stored record (16 bits each
    // from byte 8): only a date with a time of day needs its text again.
    const uint8_t* st = item.storage();
    if ((st[8] | st[9] | st[10] | st[11] | st[12] | st[13]) == 0) return;
    item.setDate(item.toDateTime());
}

void restoreDateTexts(DataRow& row) {
    for (int i = 0; i < row.count(); ++i)
        restoreDateText(*row.cell(i));
}

// Only the date columns of the set (by its header) are visited.
void restoreDateTexts(DataSet& set) {
    const DataRow* header = set.header();
    if (!header) return;
    std::vector<int> dates;
    for (int c = 0; c < header->count(); ++c)
        if (header->typeOf(c) == DataItem::TDate) dates.push_back(c);
    if (dates.empty()) return;
    for (DataRow* row : set.rows())
        for (int c : dates)
            if (DataItem* cell = row->cell(c)) restoreDateText(*cell);
}

}  // namespace

SqliteClient::SqliteClient() = default;

SqliteClient::~SqliteClient() {
    stop(kDefaultStopTimeoutMs);
    join();
}

String SqliteClient::lastError() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return lastError_;
}

void SqliteClient::setListener(Listener* listener) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    listener_ = listener;
}

std::unique_ptr<uint8_t[]> SqliteClient::takeReceivedBlock(uint32_t* length) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    if (length) *length = blockLength_;
    blockLength_ = 0;
    return std::move(block_);
}

// ---------------------------------------------------------------- connecting

bool SqliteClient::connect(const String& address, const String& /*user*/,
                           const String& /*password*/) {
    if (socket_) throw GeneralException(kAlreadyConnected);
    String host = address;
    int colon = host.findChar(':');
    server_ = colon >= 0 ? host.left(uint32_t(colon)) : host;
    port_ = colon >= 0 ? host.mid(uint32_t(colon + 1)).toInt() : RC::kDefaultPort;
    try {
        socket_ = std::make_unique<TcpSocket>(port_, kSocketSecond);
        socket_->setConnectTimeout(connectTimeoutMs_);
        if (!socket_->connect(server_)) {
            std::lock_guard<std::mutex> lock(stateMutex_);
            lastError_ = socket_->lastErrorText();
            socket_.reset();
            return false;
        }
        // A server that stops reading must not hold a sender for ever.
        socket_->setSendTimeout(requestTimeoutMs_);
    } catch (const GeneralException& e) {
        std::lock_guard<std::mutex> lock(stateMutex_);
        lastError_ = e.what();
        socket_.reset();
        return false;
    }
    stopRequested_ = false;
    connected_ = true;
    return true;
}

// ----------------------------------------------------------- client thread

int SqliteClient::run() {
    if (!socket_) return -1;
    busy_ = false;
    try {
        socket_->setBlockingMode(true);
    } catch (const GeneralException&) {
        // Reported by the first receive.
    }
    started_.fire();

    NetMessage in;
    String failure;
    for (;;) {
        // Wait for something to read. (An answer to a request wakes this
        // thread too; it then waits for the requester to finish with it.)
        pollfd ready{socket_->handle(), POLLIN, 0};
        if (::poll(&ready, 1, -1) < 0 && errno != EINTR) break;
        {
            std::unique_lock<std::mutex> lock(readMutex_);
            readTurn_.wait(lock, [this] { return !requesterReading_; });
            // The bytes that woke this thread may have been the answer the
            // requester has read meanwhile: only what is still there counts.
            pollfd still{socket_->handle(), POLLIN, 0};
            if (::poll(&still, 1, 0) <= 0) continue;
            threadReading_ = true;
        }
        int rc;
        try {
            rc = socket_->receive(in);
        } catch (const GeneralException& e) {
            failure = e.what();
            rc = 0;
        }
        {
            std::lock_guard<std::mutex> lock(readMutex_);
            threadReading_ = false;
        }
        readTurn_.notify_all();
        if (rc <= 0) break;
        {
            std::lock_guard<std::mutex> lock(stateMutex_);
            apply(in);
        }
        if (stopClient_.isEventFired(0)) break;
        response_.fire();
    }

    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        connected_ = false;
    }
    // Wakes a requester reading or a sender blocked on a server that stopped
    // reading; the socket object itself stays until the owner deletes the
    // client, so a concurrent call never meets a closed (and perhaps reused)
    // handle.
    socket_->shutdown();
    response_.fire();
    if (!stopRequested_) ConnectionNotifier::raiseServerClosed(owner_);
    stopped_.fire();
    return 0;
}

void SqliteClient::setError(const String& text) {
    errorFlag_ = true;
    result_.setString(text);
}

void SqliteClient::apply(NetMessage& m) {
    errorFlag_ = false;
    try {
        switch (m.code()) {
            case RC::kEndOfConversation:
            case RC::kEndOfConversation2:
            case RC::kEndOfConversation3:
                if (listener_) listener_->conversationEnded(m.code());
                result_.setBool(false);
                break;
            case RC::kSignOfLife: {
                NetMessage alive(RC::kSuccess);
                try {
                    sendRaw(alive);
                } catch (const GeneralException&) {
                    // The next receive sees the broken connection.
                }
                break;
            }
            case RC::kSuccess:
                result_.setBool(true);
                break;
            case RC::kFailure:
                setError(m.readString());
                break;
            case RC::kDatabaseList:
                if (!targets_.set) {
                    setError("QUERYDBS: invalid pointer.");
                    break;
                }
                m.readRows(*targets_.set, false);
                restoreDateTexts(*targets_.set);
                result_.setBool(true);
                break;
            case RC::kScalar:
                m.readItem(result_);
                restoreDateText(result_);
                break;
            case RC::kRow: {
                DataRow* row = targets_.row;
                if (!row) {
                    setError("QUERYROW: invalid pointer.");
                    break;
                }
                if (row->count() == 0) {
                    m.readRow(*row);
                    restoreDateTexts(*row);
                } else {
                    DataRow read;
                    m.readRow(read);
                    restoreDateTexts(read);
                    if (read.count() != row->count()) {
                        setError("El número de columnas no coinciden");
                        break;
                    }
                    // Cell by cell: the row keeps its own column names.
                    for (int i = 0; i < read.count(); ++i)
                        row->set(i, *read.cell(i));
                }
                result_.setBool(true);
                break;
            }
            case RC::kRows:
                if (!targets_.set) {
                    setError("QUERYDSET: invalid pointer.");
                    break;
                }
                m.readRows(*targets_.set, !targets_.append);
                restoreDateTexts(*targets_.set);
                result_.setBool(true);
                break;
            case RC::kModel:
                applyModel(m, false);
                break;
            case RC::kTable:
                applyModel(m, true);
                break;
            case RC::kBlock: {
                block_.reset();
                blockLength_ = 0;
                block_ = m.readBytes(&blockLength_);
                result_.setInt(int32_t(blockLength_));
                break;
            }
            case RC::kServerStatus:
                // This system never registers a status target.
                setError("SERVER STATUS: invalid pointer.");
                break;
            case RC::kFileList:
                if (!targets_.set) {
                    setError("QUERYFILES: invalid pointer.");
                    break;
                }
                m.readRows(*targets_.set, false);
                restoreDateTexts(*targets_.set);
                result_.setBool(true);
                break;
            default:
                break;
        }
    } catch (const GeneralException& e) {
        // A malformed answer fails its request with the archive's text.
        setError(e.what());
    } catch (const std::bad_alloc&) {
        setError("SqliteClient: no hay memoria suficiente para la respuesta");
    }
}

void SqliteClient::applyModel(NetMessage& m, bool withRows) {
    TableDataset* table = targets_.table;
    DataSet* set = table ? static_cast<DataSet*>(table) : targets_.set;
    if (!set || (withRows && !table)) {
        setError(withRows ? "OPENTABLE: invalid pointer." : "QUERYMODEL: invalid pointer.");
        return;
    }
    set->clearRows();
    String names = m.readString();
    DataRow model;
    m.readRow(model);
    set->setColumnNames(names);
    set->setHeader(&model);
    if (table) {
        int32_t key = m.readInt();
        int32_t counter = m.readInt();
        table->setKeyColumn(key);
        table->setCounterColumn(counter);
        if (withRows) {
            // A table without a primary key comes with the database's row
            // id as its first column and key; the set then works in row-id
            // mode, as it would on a local connection.
            table->setRowIdMode(key == 0 && set->columnName(0).equalsNoCase("rowid"));
            m.readRows(*table, true);
            restoreDateTexts(*table);
        }
    }
    result_.setBool(true);
}

// ----------------------------------------------------------------- sending

void SqliteClient::sendRaw(NetMessage& message) {
    std::lock_guard<std::mutex> lock(writeMutex_);
    socket_->sendMessage(message, false);
}

void SqliteClient::abandon() noexcept {
    // Not connected from now on, even before the client thread has seen
    // the closed socket and ended.
    connected_ = false;
    if (socket_) socket_->shutdown();
}

DataItem SqliteClient::request(NetMessage& message, const Targets& targets) {
    if (!connected_ || !socket_) throw GeneralException(kNotConnected);
    // The lock is free at once unless a keep-alive beat is going out.
    if (!sendLock_.lock(requestTimeoutMs_))
        throw GeneralException::format(kNoAnswer, requestTimeoutMs_);
    SendTurn turn(sendLock_, busy_);

    // The reading turn: the client thread finishes a message it is reading
    // (a message nobody asked for is short) and then leaves the socket to
    // this thread until the answer is in.
    {
        std::unique_lock<std::mutex> lock(readMutex_);
        if (!readTurn_.wait_for(lock, std::chrono::milliseconds(requestTimeoutMs_),
                                [this] { return !threadReading_; })) {
            abandon();
            throw GeneralException::format(kNoAnswer, requestTimeoutMs_);
        }
        requesterReading_ = true;
    }
    struct GiveTurnBack {
        SqliteClient& c;
        ~GiveTurnBack() {
            {
                std::lock_guard<std::mutex> lock(c.readMutex_);
                c.requesterReading_ = false;
            }
            c.readTurn_.notify_all();
        }
    } giveBack{*this};
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        if (!connected_) throw GeneralException(kNotConnected);
        targets_ = targets;
        errorFlag_ = false;
        result_.setNull();
    }
    auto clearTargets = [this] {
        std::lock_guard<std::mutex> lock(stateMutex_);
        targets_ = Targets();
    };

    try {
        sendRaw(message);
    } catch (const GeneralException&) {
        clearTargets();
        bool gone = !connected_;
        abandon();
        if (gone) throw GeneralException(kServerClosed);
        throw;
    }

    int rc;
    String failure;
    try {
        rc = socket_->receive(reply_, requestTimeoutMs_);
    } catch (const GeneralException& e) {
        rc = 0;
        failure = e.what();
    }
    if (rc <= 0) {
        clearTargets();
        // No answer, or not a whole one: the conversation cannot go on (a
        // late answer would be taken for the next request's).
        abandon();
        if (rc == TcpSocket::kTimedOut)
            throw GeneralException::format(kNoAnswer, requestTimeoutMs_);
        throw GeneralException(failure.isEmpty() ? std::string(kServerClosed)
                                                 : failure.toStdString());
    }
    std::lock_guard<std::mutex> lock(stateMutex_);
    apply(reply_);
    targets_ = Targets();
    if (errorFlag_) throw GeneralException(result_.text().toStdString());
    return result_;
}

void SqliteClient::post(NetMessage& message) {
    if (!connected_ || !socket_) throw GeneralException(kNotConnected);
    if (!sendLock_.lock(requestTimeoutMs_))
        throw GeneralException::format(kNoAnswer, requestTimeoutMs_);
    SendTurn turn(sendLock_, busy_);
    try {
        sendRaw(message);
    } catch (const GeneralException&) {
        abandon();
        throw;
    }
}

bool SqliteClient::sendBeat(NetMessage& beat) {
    if (!connected_ || busy_ || !socket_) return false;
    // Never waits: a request in progress owns the socket.
    if (!sendLock_.lock(0)) return false;
    SendTurn turn(sendLock_, busy_);
    try {
        sendRaw(beat);
    } catch (const GeneralException&) {
        abandon();
        return false;
    }
    return true;
}

void SqliteClient::stop(int timeoutMs) {
    stopRequested_ = true;
    if (isStarted() && !isFinished()) {
        stopClient_.fire();
        if (connected_ && socket_ && sendLock_.lock(timeoutMs)) {
            SendTurn turn(sendLock_, busy_);
            NetMessage bye(RC::kDisconnect);
            try {
                sendRaw(bye);
            } catch (const GeneralException&) {
                // The thread ends on the closed socket anyway.
            }
        }
        // The server closes the connection after the disconnect request;
        // one that does not is cut off.
        if (!stopped_.waitForEvent(timeoutMs)) abandon();
    }
    join();
    abandon();
    connected_ = false;
}

}  // namespace VORLIN
