// FakeServer: a scripted peer for the client tests. It listens on an
// ephemeral loopback port, accepts one connection and runs the test's
// script on it in a thread of its own; the script talks through a
// FakePeer (whole messages through the real TcpSocket, or raw bytes).
// Every read has a time-out, so a test that goes wrong fails instead of
// hanging.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "remote/NetMessage.h"
#include "remote/TcpSocket.h"

namespace fake {

constexpr int kReadTimeoutMs = 5000;

class FakePeer {
public:
    explicit FakePeer(int fd) : socket_(VORLIN::TcpSocket::adopt(fd, 0)) {
        timeval tv{kReadTimeoutMs / 1000, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }

    // The next message, or false when the client closed the connection
    // (or nothing came within the time-out).
    bool receive(VORLIN::NetMessage& message) {
        try {
            return socket_->receive(message) > 0;
        } catch (const std::exception&) {
            return false;
        }
    }
    // Receives and answers false unless the code is `code`.
    bool expect(uint8_t code) {
        VORLIN::NetMessage m;
        return receive(m) && m.code() == code;
    }
    void send(VORLIN::NetMessage& message) { socket_->sendMessage(message, false); }
    void sendCode(uint8_t code) {
        VORLIN::NetMessage m(code);
        send(m);
    }
    void sendRaw(const std::string& bytes) {
        ::send(socket_->handle(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    // Whether the client closed its side within timeoutMs.
    bool waitClosed(int timeoutMs) {
        pollfd p{socket_->handle(), POLLIN, 0};
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < until) {
            if (::poll(&p, 1, 50) > 0) {
                char c;
                ssize_t n = ::recv(socket_->handle(), &c, 1, MSG_DONTWAIT);
                if (n == 0) return true;
            }
        }
        return false;
    }
    // Reads (and drops) messages until the client asks to disconnect
    // (code 1) or closes the connection.
    void untilDisconnect() {
        VORLIN::NetMessage m;
        while (receive(m))
            if (m.code() == 1) return;
    }
    // Whether nothing arrives for `ms` milliseconds.
    bool quietFor(int ms) {
        pollfd p{socket_->handle(), POLLIN, 0};
        return ::poll(&p, 1, ms) == 0;
    }
    void close() { socket_->shutdown(); }
    VORLIN::TcpSocket& socket() { return *socket_; }

private:
    std::unique_ptr<VORLIN::TcpSocket> socket_;
};

class FakeServer {
public:
    using Script = std::function<void(FakePeer& peer)>;

    explicit FakeServer(Script script) : script_(std::move(script)) {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listen_, 4);
        socklen_t n = sizeof a;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &n);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        ::close(listen_);
    }
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    // Whether the script ran to its end.
    bool finished() const { return finished_; }
    // Waits up to timeoutMs for the script to end.
    bool waitFinished(int timeoutMs) const {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!finished_ && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return finished_;
    }

private:
    void serve() {
        pollfd p{listen_, POLLIN, 0};
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
        while (!stop_ && std::chrono::steady_clock::now() < until) {
            if (::poll(&p, 1, 20) <= 0) continue;
            int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            FakePeer peer(fd);
            script_(peer);
            finished_ = true;
            return;
        }
    }

    Script script_;
    int listen_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
};

}  // namespace fake
