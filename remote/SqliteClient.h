// SqliteClient: the receiving side of one remote SQLite connection. It owns
// the TcpSocket and runs a thread (Runnable) that watches the connection,
// reads every message the server sends while no request is waiting (a
// sign-of-life question, code 1, is answered at once with code 2), applies
// it (the answer table) and fires "RESPONCE" after each; it notices the
// server closing the connection.
//
// The sending rule (request()): one request at a time. The requester takes
// the "SENDMSG" lock, registers the targets the answer will fill, takes the
// reading turn from the client thread, sends, then reads the next message
// itself and applies it exactly as the client thread would: whatever its
// code, that message is the answer. (Reading it here instead of waking the
// client thread to read it and then being woken in turn saves a thread
// hand-off per request.) The keep-alive line (KeepAliveLine) takes
// "SENDMSG" only if it is free, so a beat never goes out while a request
// waits. Bytes written to the socket are serialised separately, so the
// client thread can answer the server's sign-of-life question at once.
//
// No wait is without bound: a request that gets no answer within the
// request time-out fails and gives the connection up (the answer could
// still arrive and would be taken for the next request's); when the server
// closes the connection a waiting request wakes at once and fails with
// kServerClosed. In both cases the connection then reports not connected
// and ConnectionNotifier tells the user interface. stop() is bounded too.
//
// Ownership: owns the socket, its events and semaphore, and the last
// received byte block; the targets stay the requester's and are never
// touched after request() returns. Threads: request, post, stop and the
// queries from the owner's thread; cutLink from any thread; sendBeat from
// the keep-alive thread;
// run on the client thread. Throws GeneralException (texts below, the
// server's error texts, and the socket's texts).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "core/DataItem.h"
#include "core/String.h"
#include "remote/Evento.h"
#include "remote/NetMessage.h"
#include "remote/Runnable.h"
#include "remote/Semaforo.h"

namespace VORLIN {

class DataRow;
class DataSet;
class DbConnection;
class TableDataset;
class TcpSocket;

class SqliteClient : public Runnable {
public:
    static constexpr const char* kNotConnected = "SqliteClient is not connected";
    static constexpr const char* kAlreadyConnected = "SqliteClient.connect: Already connected...";
    static constexpr const char* kServerClosed = "SqliteClient: el servidor cerró la conexión";
    // printf pattern with the time-out in milliseconds.
    static constexpr const char* kNoAnswer = "SqliteClient: el servidor no respondió en %d ms";
    static constexpr int kDefaultRequestTimeoutMs = 60000;
    static constexpr int kDefaultConnectTimeoutMs = 10000;
    static constexpr int kDefaultStopTimeoutMs = 2000;
    // The second socket integer: first allocation of a received body, in KiB.
    static constexpr int kSocketSecond = 128;

    // Where the next answer goes. Only one of row, set and table is used
    // by an answer; append makes a rows answer keep the set's rows.
    struct Targets {
        DataRow* row = nullptr;
        DataSet* set = nullptr;
        TableDataset* table = nullptr;
        bool append = false;
    };

    // Told about end-of-conversation answers (codes 0, 200, 201).
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void conversationEnded(int code) = 0;
    };

    SqliteClient();
    // Stops the thread (bounded) and closes the socket.
    ~SqliteClient() override;

    // address: "server:port". Creates the socket and connects it (user and
    // password are not sent). False when the connection cannot be made,
    // with the reason in lastError(). Throws kAlreadyConnected when a
    // socket exists.
    bool connect(const String& address, const String& user, const String& password);
    // The client thread.
    int run() override;

    // Sends a request and waits for its answer (the sending rule); answers
    // the result item. Throws kNotConnected without touching the socket
    // when not connected, the server's text after an error answer,
    // kServerClosed or kNoAnswer.
    DataItem request(NetMessage& message, const Targets& targets);
    // Sends a message for which no answer comes.
    void post(NetMessage& message);
    // The keep-alive beat: sent only when connected and no request is in
    // progress; true when it went out.
    bool sendBeat(NetMessage& beat);
    // Closes the socket at once, from any thread: a request waiting for its
    // answer fails now with kServerClosed and the connection reports not
    // connected. For a program that ends while a request it gave up still
    // waits; stop() still ends the thread.
    void cutLink() noexcept { abandon(); }
    // Ends the conversation: fires "STOPCLIENT", sends the disconnect
    // request (code 1), waits up to timeoutMs for "CLISTOPPED", then closes
    // the socket if the thread has not ended, and joins the thread.
    void stop(int timeoutMs);

    bool isConnected() const noexcept { return connected_.load(); }
    bool isBusy() const noexcept { return busy_.load(); }
    bool hasSocket() const noexcept { return socket_ != nullptr; }
    String server() const { return server_; }
    int port() const noexcept { return port_; }
    String lastError() const;

    // The block of the last byte-block answer, handed to the caller.
    std::unique_ptr<uint8_t[]> takeReceivedBlock(uint32_t* length);

    void setOwner(DbConnection* owner) noexcept { owner_ = owner; }
    void setListener(Listener* listener);
    void setRequestTimeout(int ms) noexcept { requestTimeoutMs_ = ms; }
    int requestTimeout() const noexcept { return requestTimeoutMs_; }
    void setConnectTimeout(int ms) noexcept { connectTimeoutMs_ = ms; }

    Evento& startedEvent() noexcept { return started_; }
    Evento& stopEvent() noexcept { return stopClient_; }
    Evento& stoppedEvent() noexcept { return stopped_; }
    Evento& responseEvent() noexcept { return response_; }
    Semaforo& sendLock() noexcept { return sendLock_; }
    // The socket (null before connect); for the owner and tests.
    TcpSocket* socket() noexcept { return socket_.get(); }

private:
    // Applies one received message (the answer table); under stateMutex_.
    void apply(NetMessage& message);
    void applyModel(NetMessage& message, bool withRows);
    void setError(const String& text);
    // Writes one message on the socket; serialised with every other writer.
    void sendRaw(NetMessage& message);
    // Gives the connection up: the client thread ends and reports it.
    void abandon() noexcept;

    std::unique_ptr<TcpSocket> socket_;
    String server_;
    int port_ = 0;
    DbConnection* owner_ = nullptr;
    int requestTimeoutMs_ = kDefaultRequestTimeoutMs;
    int connectTimeoutMs_ = kDefaultConnectTimeoutMs;

    std::atomic<bool> connected_{false};
    std::atomic<bool> busy_{false};
    std::atomic<bool> stopRequested_{false};

    // The answer state, shared by the requester and the client thread.
    mutable std::mutex stateMutex_;
    DataItem result_;
    bool errorFlag_ = false;
    Targets targets_;
    std::unique_ptr<uint8_t[]> block_;
    uint32_t blockLength_ = 0;
    Listener* listener_ = nullptr;
    String lastError_;

    std::mutex writeMutex_;  // one writer on the socket at a time

    // Who reads the socket: the client thread while the connection is idle,
    // the requester from its request until its answer is in.
    std::mutex readMutex_;
    std::condition_variable readTurn_;
    bool threadReading_ = false;     // under readMutex_
    bool requesterReading_ = false;  // under readMutex_
    NetMessage reply_;               // the requester's answer

    Evento started_{"CLISTARTED", true};
    Evento stopClient_{"STOPCLIENT", true};
    Evento stopped_{"CLISTOPPED", true};
    Evento response_{"RESPONCE", true};
    Semaforo sendLock_{"SENDMSG"};
};

}  // namespace VORLIN
