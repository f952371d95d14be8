#include "server/ServerSession.h"

#include <malloc.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

#include "core/GeneralException.h"
#include "remote/NetMessage.h"
#include "remote/RemoteCodes.h"
#include "remote/TcpSocket.h"
#include "server/RequestDecoder.h"
#include "server/ServerLog.h"

using VORLIN::GeneralException;
using VORLIN::NetMessage;
using VORLIN::TcpSocket;

ServerSession::ServerSession(std::unique_ptr<TcpSocket> socket, std::string peer,
                             RequestHandler::Context context)
    : id_(context.clientId),
      maxAnswer_(context.maxAnswer),
      idleTimeoutS_(context.idleTimeoutS),
      transactionTimeoutS_(context.transactionTimeoutS),
      peer_(std::move(peer)),
      socket_(std::move(socket)),
      handler_(std::move(context)) {}

ServerSession::~ServerSession() {
    requestStop();
    join();
}

void ServerSession::start() {
    thread_ = std::thread(&ServerSession::run, this);
}

void ServerSession::halt() noexcept {
    stop_ = true;
    handler_.requestStop();
}

void ServerSession::requestStop() noexcept {
    halt();
    // Wakes the receive; the answer being built can still be sent.
    ::shutdown(socket_->handle(), SHUT_RD);
}

void ServerSession::forceClose() noexcept {
    socket_->shutdown();
}

int ServerSession::waitForRequest() {
    // Any message (a keep-alive beat too) keeps a client from idling out;
    // a transaction is kept only by requests, so a client whose keep-alive
    // line goes on beating cannot hold one for ever. 0 means no limit.
    using namespace std::chrono;
    const bool transaction = handler_.inTransaction() && transactionTimeoutS_ > 0;
    if (!transaction && idleTimeoutS_ <= 0) return 1;
    auto now = steady_clock::now();
    long long left = idleTimeoutS_ > 0 ? idleTimeoutS_ * 1000LL : LLONG_MAX;
    if (transaction)
        left = std::min<long long>(
            left, duration_cast<milliseconds>(lastRequest_ + seconds(transactionTimeoutS_) - now)
                      .count());
    if (left <= 0) return 0;
    pollfd p{socket_->handle(), POLLIN, 0};
    for (;;) {
        int ready = ::poll(&p, 1, int(std::min<long long>(left, INT_MAX)));
        if (ready < 0 && errno == EINTR) continue;
        return ready;
    }
}

void ServerSession::join() {
    if (thread_.joinable()) thread_.join();
}

void ServerSession::run() {
    ServerLog::line("client %d connected from %s", id_, peer_.c_str());
    NetMessage in;
    const char* why = "disconnected";
    std::string detail;
    for (;;) {
        if (waitForRequest() == 0) {
            if (handler_.inTransaction()) {
                why = "closed: transaction left open without a request";
                detail = std::to_string(transactionTimeoutS_) + " s";
            } else {
                why = "closed: idle";
                detail = std::to_string(idleTimeoutS_) + " s";
            }
            break;
        }
        int rc;
        try {
            // The rest of a message that has begun must follow within the
            // idle time-out too: a client cannot hold its session by
            // sending half a frame.
            rc = socket_->receive(in, idleTimeoutS_ > 0 ? idleTimeoutS_ * 1000 : -1);
        } catch (const GeneralException& e) {
            why = e.code() == TcpSocket::kBadFrameCode ? "closed: bad frame"
                                                       : "closed: receive error";
            detail = e.what();
            break;
        }
        if (rc == TcpSocket::kTimedOut) {
            why = "closed: idle in the middle of a message";
            detail = std::to_string(idleTimeoutS_) + " s";
            break;
        }
        if (rc == TcpSocket::kPeerClosed) {
            why = stop_ ? "disconnected (server stopping)" : "disconnected";
            break;
        }
        if (stop_) {
            // A request that came in after the stop: refused, not run.
            if (RequestDecoder::expectsAnswer(in.code()) || !RequestDecoder::isKnown(in.code())) {
                try {
                    auto refusal = RequestHandler::failureAnswer(RequestHandler::kStopping);
                    socket_->sendMessage(*refusal, false);
                } catch (const GeneralException&) {
                    // The client is gone already.
                }
            }
            why = "disconnected (server stopping)";
            break;
        }
        const bool beat = in.code() == VORLIN::RemoteCode::kKeepAlive ||
                          in.code() == VORLIN::RemoteCode::kSuccess;
        RequestHandler::Outcome outcome = handler_.handle(in);
        if (!beat) lastRequest_ = std::chrono::steady_clock::now();
        // The length field is a signed 32-bit number, and the server holds
        // no answer larger than it is configured to send.
        if (outcome.answer && outcome.answer->body().dataSize() > maxAnswer_) {
            uint64_t size = outcome.answer->body().dataSize();
            outcome.answer =
                RequestHandler::failureAnswer(RequestHandler::tooLargeText(size, maxAnswer_));
        }
        // A large answer, or a failure (which may have been a large answer
        // refused half way), leaves memory behind to give back.
        const bool large =
            outcome.answer && (outcome.answer->body().capacity() > RequestHandler::kSpareLimit ||
                               outcome.answer->code() == VORLIN::RemoteCode::kFailure);
        if (outcome.answer) {
            try {
                socket_->sendMessage(*outcome.answer, false);
            } catch (const GeneralException& e) {
                why = "closed: send error";
                detail = e.what();
                break;
            }
        }
        outcome.rows.reset();  // after the answer is out
        handler_.recycle(std::move(outcome.answer));
        // What a large answer took goes back to the system now, not when
        // the heap's top happens to be free.
        if (large) ::malloc_trim(0);
        if (outcome.close) {
            why = "disconnected (request 1)";
            break;
        }
    }
    if (detail.empty())
        ServerLog::line("client %d %s", id_, why);
    else
        ServerLog::line("client %d %s: %s", id_, why, detail.c_str());
    if (handler_.endSession()) ServerLog::line("client %d: open transaction rolled back", id_);
    socket_->shutdown();
    finished_ = true;
}
