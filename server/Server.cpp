#include "server/Server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <malloc.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/GeneralException.h"
#include "remote/TcpSocket.h"
#include "server/SafePath.h"
#include "server/ServerLog.h"
#include "server/ServerSession.h"
#include "server/SqliteGuard.h"
#include "server/UserFile.h"

using VORLIN::GeneralException;
using VORLIN::TcpSocket;

namespace {

// Every connected client's socket: a peer that vanished (machine gone,
// cable pulled) is noticed within about a minute and a half, so that its
// session ends and its transaction is rolled back.
void configureClientSocket(int fd) {
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
    int idle = 60, interval = 10, count = 3;
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

std::string peerText(const sockaddr_in& a) {
    char host[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &a.sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(a.sin_port));
}

}  // namespace

Server::Server(ServerConfig config) : config_(std::move(config)) {}

void Server::tuneProcessMemory() {
    // A session builds the rows of an answer and frees them right after;
    // with the default (adaptive) thresholds glibc hands that memory back
    // to the system each time and the next query faults it in again, which
    // costs about a fifth of a large query.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

Server::~Server() {
    for (auto& s : sessions_)
        s->requestStop();
    sessions_.clear();
    if (listenFd_ >= 0) ::close(listenFd_);
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

void Server::start() {
    std::string real = SafePath::realFolder(config_.dataDir);
    struct stat st {};
    if (real.empty() || ::stat(real.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw GeneralException::format("quelmir-server: la carpeta de datos %s no existe",
                                       config_.dataDir.c_str());
    config_.dataDir = real;
    SqliteGuard::allowRoot(real);
    if (!config_.usersFile.empty())
        users_ = std::make_shared<const UserFile>(UserFile::load(config_.usersFile));

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        throw GeneralException::format("quelmir-server: pipe: %s", std::strerror(errno));
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    std::string service = std::to_string(config_.port);
    int rc = ::getaddrinfo(config_.listenAddress.c_str(), service.c_str(), &hints, &found);
    if (rc != 0 || !found)
        throw GeneralException::format("quelmir-server: direccion invalida %s: %s",
                                       config_.listenAddress.c_str(), ::gai_strerror(rc));
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (listenFd_ < 0 || ::bind(listenFd_, found->ai_addr, found->ai_addrlen) != 0 ||
        ::listen(listenFd_, 64) != 0) {
        int e = errno;
        ::freeaddrinfo(found);
        throw GeneralException::format("quelmir-server: no se pudo escuchar en %s:%d\r\n%s",
                                       config_.listenAddress.c_str(), config_.port,
                                       TcpSocket::wsaText(TcpSocket::wsaCodeFor(e)));
    }
    ::freeaddrinfo(found);

    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&bound), &length);
    port_ = ntohs(bound.sin_port);
    char host[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &bound.sin_addr, host, sizeof host);
    started_ = std::chrono::steady_clock::now();
    ServerLog::line("listening on %s:%d (data %s)", host, port_, config_.dataDir.c_str());
    if (users_)
        ServerLog::line("login required: %zu user(s) in %s", users_->size(),
                        config_.usersFile.c_str());
    else if ((ntohl(bound.sin_addr.s_addr) >> 24) != 127)
        ServerLog::line(
            "warning: listening on %s without --users: anyone who reaches this address can read "
            "and change every database; prefer 127.0.0.1 and an SSH tunnel",
            host);
}

void Server::requestStop() noexcept {
    if (wakeWrite_ >= 0) {
        char c = 1;
        // Async-signal-safe; a full pipe already holds a wake-up.
        ssize_t ignored = ::write(wakeWrite_, &c, 1);
        (void)ignored;
    }
}

void Server::reap() {
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        if ((*it)->isFinished()) {
            (*it)->join();
            it = sessions_.erase(it);
            --clients_;
        } else {
            ++it;
        }
    }
}

void Server::accept() {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (fd < 0) {
        // Out of descriptors: the pending connection stays queued and poll
        // would report it at once again; pause instead of spinning.
        if (errno == EMFILE || errno == ENFILE) {
            ServerLog::line("accept: %s", std::strerror(errno));
            ::poll(nullptr, 0, 200);
        }
        return;  // otherwise the client gave up already, or a transient failure
    }
    reap();
    if (clients_ >= config_.maxClients) {
        ServerLog::line("connection from %s refused: %d clients already", peerText(peer).c_str(),
                        clients_.load());
        ::close(fd);
        return;
    }
    configureClientSocket(fd);
    std::unique_ptr<TcpSocket> socket = TcpSocket::adopt(fd, port_);
    socket->setMaxMessage(config_.maxMessage);
    socket->setSendTimeout(config_.sendTimeoutMs);

    RequestHandler::Context context;
    context.dataDir = config_.dataDir;
    context.clientId = nextClientId_++;
    context.busyTimeoutMs = config_.busyTimeoutMs;
    context.maxMessage = config_.maxMessage;
    context.maxAnswer = config_.maxAnswer;
    context.idleTimeoutS = config_.idleTimeoutS;
    context.transactionTimeoutS = config_.transactionTimeoutS;
    context.users = users_;
    context.clientCount = [this] { return clients_.load(); };
    context.started = started_;
    auto session = std::make_unique<ServerSession>(std::move(socket), peerText(peer), context);
    ++clients_;
    session->start();
    sessions_.push_back(std::move(session));
}

void Server::run() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        // The time-out only paces the clean-up of finished sessions.
        int n = ::poll(fds, 2, 500);
        if (n < 0 && errno != EINTR) break;
        if (n > 0 && (fds[1].revents & POLLIN)) break;
        if (n > 0 && (fds[0].revents & POLLIN)) accept();
        reap();
    }
    ServerLog::line("stopping: %d client(s) connected", clients_.load());
    for (auto& s : sessions_)
        s->halt();
    for (auto& s : sessions_)
        s->requestStop();
    // The requests under way end and their answers go out; a client that
    // does not take its answer is cut off after the grace time.
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopGraceMs);
    for (auto& s : sessions_) {
        while (!s->isFinished() && std::chrono::steady_clock::now() < until)
            ::poll(nullptr, 0, 5);
        if (!s->isFinished()) s->forceClose();
    }
    for (auto& s : sessions_)
        s->join();
    sessions_.clear();
    clients_ = 0;
    ::close(listenFd_);
    listenFd_ = -1;
    ServerLog::line("stopped");
}
