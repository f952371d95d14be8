// RequestHandler: the state of one client of quelmir-server (its own
// SqliteLocalConnection on the data folder, the open database, the
// transaction, its label and lock-wait setting) and the answer to each of
// its requests.
//
// handle() takes one received request and answers exactly one message for
// every request that expects an answer (code 3 with a text on any failure:
// undecodable arguments, an unknown code, a name or path outside the data
// folder, an SQLite error), and none for 1 (disconnect: the session then
// closes), 2, 117 (keep-alive) and 119 (notice). Databases are files of the
// data folder named as the local back end names them (name + ".db"; a name
// that already ends in ".db" is the file name). Every name is resolved
// beneath the data folder (SafePath::locate, SafePath::openBeneath): a link
// that leads out of it, or nowhere, is refused as an invalid name or path,
// files are opened without blocking and must be regular files, and the
// listings leave such names out. nextCounter runs in one transaction;
// updateDatabase takes turns per database file, and a handle whose file
// another client's update replaced is opened again before the next request
// (outside a transaction). See README.md for the meaning of 108, 109, 114,
// 115, 118, 119, 160-163 and 165.
//
// Lock contention: the session's database waits for locks held by other
// clients (short sleeps, up to the busy time-out, 20 s by default) instead
// of failing at once; a stop request (the server shutting down) interrupts
// both that wait and a running statement, and from then on no request
// runs ("El servidor se está deteniendo") and no commit happens (it turns
// into a rollback).
//
// Login: with a user file in the context, every request that expects an
// answer fails with "autenticación requerida" until a login request (31:
// user, password) has matched; beats, notices and disconnect stay as they
// are. Without one, a login is accepted as it comes.
//
// Answers are bounded by the context's maxAnswer: rows beyond it are
// refused while they are read ("La respuesta supera el límite ..."), and no
// single SQL value may be longer.
//
// Ownership: owns its connection. Threads: one session thread uses it;
// requestStop() may be called from any thread. handle() never throws
// (failures become answers); endSession() never throws.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/String.h"
#include "data/Archive.h"
#include "data/DataSet.h"
#include "db/sqlite/SqliteLocalConnection.h"

class UserFile;

namespace VORLIN {
class NetMessage;
}  // namespace VORLIN
struct Request;
struct sqlite3;

class RequestHandler {
public:
    static constexpr int kDefaultBusyTimeoutMs = 20000;
    static constexpr int kMaxBusyTimeoutMs = 600000;
    static constexpr int kMaxEchoPauseMs = 30000;
    static constexpr int kProtocolVersion = 1;
    static constexpr uint32_t kSpareLimit = 16u << 20;
    static constexpr uint32_t kDefaultMaxAnswer = 256u << 20;
    static constexpr int kLoginFailureDelayMs = 1000;
    static constexpr const char* kLoginRequired = "autenticación requerida";
    static constexpr const char* kLoginFailed = "Usuario o contraseña incorrectos";
    static constexpr const char* kStopping = "El servidor se está deteniendo";

    // What a session knows about the server it runs in.
    struct Context {
        std::string dataDir;  // absolute, without trailing "/"
        int clientId = 0;
        int busyTimeoutMs = kDefaultBusyTimeoutMs;
        uint32_t maxMessage = 64u << 20;
        uint32_t maxAnswer = kDefaultMaxAnswer;  // the largest answer sent
        int idleTimeoutS = 600;                  // 0: a silent client is never closed
        int transactionTimeoutS = 900;           // 0: an open transaction is never ended
        std::shared_ptr<const UserFile> users;   // null: no login needed
        std::function<int()> clientCount;        // clients connected now
        std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    };

    struct Outcome {
        std::unique_ptr<VORLIN::NetMessage> answer;  // null: nothing to send
        bool close = false;                          // end the session
        // What the answer was built from: destroyed only after the answer
        // is sent, so that freeing many rows does not delay it.
        std::unique_ptr<VORLIN::DataSet> rows;
    };

    explicit RequestHandler(Context context);
    ~RequestHandler();
    RequestHandler(const RequestHandler&) = delete;
    RequestHandler& operator=(const RequestHandler&) = delete;

    Outcome handle(VORLIN::NetMessage& request);
    // Rolls back an open transaction and closes the database; true when a
    // transaction was rolled back.
    bool endSession();
    // Makes waits and running statements give up (any thread).
    void requestStop() noexcept { stop_ = true; }
    bool stopping() const noexcept { return stop_.load(); }
    // Whether the client has a transaction open now.
    bool inTransaction() const noexcept;
    bool authenticated() const noexcept { return authenticated_; }
    // A failure answer with the text (for the session's own refusals).
    static std::unique_ptr<VORLIN::NetMessage> failureAnswer(const VORLIN::String& text);
    // The text of an answer larger than the limit.
    static std::string tooLargeText(uint64_t bytes, uint32_t limit);
    // Hands a sent answer back: its buffer serves the next large answer, so
    // that a session answering many rows again and again does not get (and
    // fault in) fresh memory for each. Buffers above kSpareLimit are freed.
    void recycle(std::unique_ptr<VORLIN::NetMessage> answer);

    const VORLIN::String& label() const noexcept { return label_; }
    int busyTimeoutMs() const noexcept { return busyTimeoutMs_; }
    VORLIN::SqliteLocalConnection& connection() noexcept { return local_; }

private:
    void dispatch(Request& r, Outcome& out);
    // Installs the session's busy and progress handlers on a newly opened
    // database handle.
    void guardHandle();
    bool rollbackOpenTransaction();
    std::string filePath(const VORLIN::String& relative);
    void requireName(const VORLIN::String& name);
    // The database's file checked beneath the data folder: a name that
    // leads out of it is refused as an invalid name, one that is there but
    // not a regular file as "no es un archivo"; answers whether it exists.
    bool checkDatabase(const VORLIN::String& name, bool addExtension);
    // Lists the regular files of a folder beneath the data folder (links
    // only where they lead beneath it), as the answer `code`.
    void answerFileList(const std::string& folder, const VORLIN::String& mask, uint8_t code,
                        Outcome& out);
    int32_t nextCounter(const VORLIN::String& table, const VORLIN::String& where,
                        const VORLIN::String& column);
    void updateDatabase(Request& r);
    void login(Request& r, Outcome& out);
    // Writes (flag 1: appends) a file beneath the data folder.
    void uploadFile(const VORLIN::String& name, int32_t flags, const std::string& bytes);
    // The open database's file was replaced (an update by another client):
    // outside a transaction the handle is opened again on the new file.
    void reopenIfMoved();
    // Opens a file beneath the data folder without blocking or following
    // links out of it; throws unless it is a regular file.
    int openRegular(const VORLIN::String& relative, int flags);

    // An answer for `code` in the recycled buffer (or a new one), with room
    // for `bytes` of arguments.
    std::unique_ptr<VORLIN::NetMessage> largeAnswer(uint8_t code, uint32_t bytes);

    static int busyHandler(void* self, int count);
    static int progressHandler(void* self);
    static int commitHook(void* self);

    Context context_;
    VORLIN::SqliteLocalConnection local_;
    VORLIN::String label_;
    int busyTimeoutMs_;
    sqlite3* guarded_ = nullptr;
    std::chrono::steady_clock::time_point busySince_;
    std::atomic<bool> stop_{false};
    uint32_t uploads_ = 0;
    bool authenticated_ = true;
    std::unique_ptr<VORLIN::NetMessage> spare_;  // a sent answer's buffer
    VORLIN::Archive rowCells_;                   // the cells of streamed rows
};
