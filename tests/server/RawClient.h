// A client of the real server that speaks raw frames, for the tests that
// play a hostile or careless client. Every read has a time-out (5 s).
#pragma once

#include <sys/socket.h>
#include <sys/time.h>

#include <cstdint>
#include <string>

#include "core/GeneralException.h"
#include "remote/NetMessage.h"
#include "remote/TcpSocket.h"

namespace testing_server {

inline std::string le32(uint32_t n) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[size_t(i)] = char((n >> (8 * i)) & 0xff);
    return s;
}

// A client that speaks raw frames.
class RawClient {
public:
    explicit RawClient(int port) : socket_(port, 128) {
        ok_ = socket_.connect("127.0.0.1");
        timeval tv{5, 0};
        ::setsockopt(socket_.handle(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    bool ok() const { return ok_; }
    // How long receive() waits for an answer (5 s unless changed).
    void setReceiveTimeout(int seconds) {
        timeval tv{seconds, 0};
        ::setsockopt(socket_.handle(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    void sendRaw(const std::string& bytes) {
        ::send(socket_.handle(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    void send(VORLIN::NetMessage& m) { socket_.sendMessage(m, false); }
    // The next answer's code, or -1 when the connection closed (or nothing came).
    int receive(VORLIN::NetMessage& in) {
        try {
            return socket_.receive(in) > 0 ? in.code() : -1;
        } catch (const VORLIN::GeneralException&) {
            return -1;
        }
    }
    int ask(VORLIN::NetMessage& m, VORLIN::NetMessage& in) {
        send(m);
        return receive(in);
    }
    // Sends a request of `code` with one text argument; answers the code.
    int askText(uint8_t code, const std::string& text, VORLIN::NetMessage& in) {
        VORLIN::NetMessage m(code);
        m.addString(VORLIN::String(text));
        return ask(m, in);
    }
    VORLIN::TcpSocket& socket() { return socket_; }

private:
    VORLIN::TcpSocket socket_;
    bool ok_ = false;
};

}  // namespace testing_server
