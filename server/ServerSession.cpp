#include "server/ServerSession.h"

#include "core/GeneralException.h"
#include "remote/NetMessage.h"
#include "remote/TcpSocket.h"
#include "server/ServerLog.h"

using VORLIN::GeneralException;
using VORLIN::NetMessage;
using VORLIN::TcpSocket;

ServerSession::ServerSession(std::unique_ptr<TcpSocket> socket, std::string peer,
                             RequestHandler::Context context)
    : id_(context.clientId),
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

void ServerSession::requestStop() noexcept {
    stop_ = true;
    handler_.requestStop();
    // Wakes the receive; a send in progress fails.
    socket_->shutdown();
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
        int rc;
        try {
            rc = socket_->receive(in);
        } catch (const GeneralException& e) {
            why = e.code() == TcpSocket::kBadFrameCode ? "closed: bad frame"
                                                       : "closed: receive error";
            detail = e.what();
            break;
        }
        if (rc == TcpSocket::kPeerClosed) {
            why = stop_ ? "disconnected (server stopping)" : "disconnected";
            break;
        }
        if (stop_) {
            why = "disconnected (server stopping)";
            break;
        }
        RequestHandler::Outcome outcome = handler_.handle(in);
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
