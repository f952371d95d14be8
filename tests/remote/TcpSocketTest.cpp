#include "remote/TcpSocket.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <thread>

#include "core/GeneralException.h"
#include "remote/NetMessage.h"
#include "tests/remote/FakeServer.h"

using VORLIN::GeneralException;
using VORLIN::NetMessage;
using VORLIN::String;
using VORLIN::TcpSocket;

namespace {

std::string le32(uint32_t n) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[size_t(i)] = char((n >> (8 * i)) & 0xff);
    return s;
}

std::unique_ptr<TcpSocket> connectTo(const fake::FakeServer& server) {
    auto socket = std::make_unique<TcpSocket>(server.port(), 128);
    EXPECT_TRUE(socket->connect("127.0.0.1"));
    return socket;
}

// A port nobody listens on: bound, never listened, then released.
int closedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    ::close(fd);
    return ntohs(a.sin_port);
}

}  // namespace

TEST(TcpSocketErrors, EveryTableRowHasItsErrno) {
    struct Case {
        int e;
        int code;
    } cases[] = {{EINTR, 10004},         {EFAULT, 10014},          {EINVAL, 10022},
                 {EMFILE, 10024},        {EAGAIN, 10035},          {EINPROGRESS, 10036},
                 {EALREADY, 10037},      {ENOTSOCK, 10038},        {EMSGSIZE, 10040},
                 {EPROTOTYPE, 10041},    {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
                 {EOPNOTSUPP, 10045},    {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},
                 {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},        {ENETUNREACH, 10051},
                 {ENETRESET, 10052},     {ECONNABORTED, 10053},    {ECONNRESET, 10054},
                 {EPIPE, 10054},         {EISCONN, 10056},         {ENOTCONN, 10057},
                 {ESHUTDOWN, 10058},     {ETIMEDOUT, 10060},       {ECONNREFUSED, 10061}};
    for (const Case& c : cases) {
        EXPECT_EQ(TcpSocket::wsaCodeFor(c.e), c.code) << c.e;
        EXPECT_STRNE(TcpSocket::wsaText(c.code), "Error desconocido.") << c.code;
    }
    EXPECT_STREQ(TcpSocket::wsaText(10061), "El intento de conexión fue rechazado.");
    EXPECT_STREQ(TcpSocket::wsaText(10054), "El extremo remoto cerró la conexión.");
    EXPECT_STREQ(TcpSocket::wsaText(10093),
                 "Debe llamar a WSAStartup antes de utilizar esta función.");
}

TEST(TcpSocketErrors, UnlistedCodesAreUnknown) {
    EXPECT_EQ(TcpSocket::wsaCodeFor(ENOENT), 0);
    EXPECT_STREQ(TcpSocket::wsaText(0), "Error desconocido.");
    EXPECT_STREQ(TcpSocket::wsaText(11001), "Error desconocido.");
    TcpSocket s(1, 128);
    EXPECT_EQ(s.errorTextFor("Ctx", ENOENT), String("Ctx\r\nError desconocido."));
    EXPECT_EQ(s.lastErrorText(), String("Ctx\r\nError desconocido."));
}

TEST(TcpSocketErrors, ErrorTextIsContextBreakAndText) {
    TcpSocket s(1, 128);
    EXPECT_EQ(s.errorTextFor("TcpSocket.connect", ETIMEDOUT),
              String("TcpSocket.connect\r\nLa conexión se detuvo debido a una falla de red o por "
                     "que un extremo dejó de responder."));
    EXPECT_EQ(s.lastErrorCode(), 10060);
}

TEST(TcpSocketConnect, RefusedPortAnswersFalseWithTheReason) {
    TcpSocket s(closedPort(), 128);
    EXPECT_FALSE(s.connect("127.0.0.1"));
    EXPECT_EQ(s.lastErrorText(),
              String("TcpSocket.connect\r\nEl intento de conexión fue rechazado."));
    EXPECT_EQ(s.lastErrorCode(), 10061);
}

TEST(TcpSocketConnect, UnknownHostAnswersFalse) {
    TcpSocket s(6540, 128);
    EXPECT_FALSE(s.connect("no-such-host.invalid"));
    EXPECT_NE(s.lastErrorText().find("TcpSocket.connect"), -1);
}

TEST(TcpSocketFraming, SendPatchesTheLengthAndSendsItWhole) {
    std::string got;
    fake::FakeServer server([&](fake::FakePeer& peer) {
        NetMessage m;
        ASSERT_TRUE(peer.receive(m));
        EXPECT_EQ(m.code(), 13);
        EXPECT_EQ(m.readString(), String("SELECT 1;"));
        EXPECT_EQ(m.remaining(), 0u);
        got = "ok";
    });
    auto socket = connectTo(server);
    NetMessage m(13);
    m.addString("SELECT 1;");
    EXPECT_EQ(m.wireImage().length(), 4u + 1 + 4 + 9);
    socket->sendMessage(m, false);
    ASSERT_TRUE(server.waitFinished(5000));
    EXPECT_EQ(got, "ok");
    // The prefix counts itself.
    EXPECT_EQ(uint8_t(m.body().buffer()[0]), 18);
}

TEST(TcpSocketFraming, LengthPrefixInTwoPieces) {
    fake::FakeServer server([](fake::FakePeer& peer) {
        NetMessage m(14);
        m.addInt(42);
        std::string wire(m.wireImage().view());
        peer.sendRaw(wire.substr(0, 2));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        peer.sendRaw(wire.substr(2, 2));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        peer.sendRaw(wire.substr(4));
        peer.waitClosed(5000);
    });
    auto socket = connectTo(server);
    NetMessage in;
    EXPECT_EQ(socket->receive(in), 5);
    EXPECT_EQ(in.code(), 14);
    EXPECT_EQ(in.readInt(), 42);
}

TEST(TcpSocketFraming, MessageOfLengthFiveHasACodeAndNoArguments) {
    fake::FakeServer server([](fake::FakePeer& peer) {
        peer.sendRaw(le32(5) + std::string(1, char(2)));
        peer.waitClosed(5000);
    });
    auto socket = connectTo(server);
    NetMessage in;
    EXPECT_EQ(socket->receive(in), 1);
    EXPECT_EQ(in.code(), 2);
    EXPECT_EQ(in.remaining(), 0u);
    EXPECT_THROW(in.readInt(), GeneralException);
}

TEST(TcpSocketFraming, PeerClosingBeforeAndDuringTheBodyGivesMinus99) {
    {
        fake::FakeServer server([](fake::FakePeer& peer) { peer.sendRaw(le32(100) + "abc"); });
        auto socket = connectTo(server);
        NetMessage in;
        EXPECT_EQ(socket->receive(in), TcpSocket::kPeerClosed);
    }
    {
        fake::FakeServer server(
            [](fake::FakePeer& peer) { peer.sendRaw(std::string("\x09\x00", 2)); });
        auto socket = connectTo(server);
        NetMessage in;
        EXPECT_EQ(socket->receive(in), TcpSocket::kPeerClosed);
    }
}

TEST(TcpSocketFraming, LengthsOutOfBoundsThrowBeforeReading) {
    for (uint32_t bad : {0u, 4u, 0x80000000u, 1000u}) {
        fake::FakeServer server([bad](fake::FakePeer& peer) {
            peer.sendRaw(le32(bad) + "x");
            peer.waitClosed(5000);
        });
        auto socket = connectTo(server);
        socket->setMaxMessage(999);
        NetMessage in;
        try {
            socket->receive(in);
            ADD_FAILURE() << "length " << bad << " accepted";
        } catch (const GeneralException& e) {
            EXPECT_EQ(e.code(), TcpSocket::kBadFrameCode);
            EXPECT_NE(std::string(e.what()).find("TcpSocket.recive (0 - header)"),
                      std::string::npos);
        }
    }
}

TEST(TcpSocketFraming, LargeBodyGrowsAsItArrives) {
    std::string payload(3 << 20, 'q');
    fake::FakeServer server([&](fake::FakePeer& peer) {
        NetMessage m(29);
        m.addBytes(payload.data(), uint32_t(payload.size()));
        peer.send(m);
        peer.waitClosed(5000);
    });
    TcpSocket socket(server.port(), 1);  // 1 KiB first, then doubling
    ASSERT_TRUE(socket.connect("127.0.0.1"));
    NetMessage in;
    EXPECT_EQ(socket.receive(in), int(1 + 4 + payload.size()));
    uint32_t n = 0;
    auto bytes = in.readBytes(&n);
    ASSERT_EQ(n, payload.size());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes.get()), n), payload);
}

TEST(TcpSocketFraming, ShutdownWakesABlockedReceive) {
    fake::FakeServer server([](fake::FakePeer& peer) { peer.waitClosed(5000); });
    auto socket = connectTo(server);
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        socket->shutdown();
    });
    NetMessage in;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(socket->receive(in), TcpSocket::kPeerClosed);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST(TcpSocketFraming, SendingToAClosedPeerThrowsAndMarksFailed) {
    TcpSocket::initialize();
    fake::FakeServer server([](fake::FakePeer&) {});
    auto socket = connectTo(server);
    ASSERT_TRUE(server.waitFinished(5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    NetMessage m(8);
    m.addString(String(std::string(1 << 16, 'x')));
    bool threw = false;
    for (int i = 0; i < 50 && !threw; ++i) {
        try {
            socket->sendMessage(m, false);
        } catch (const GeneralException& e) {
            threw = true;
            EXPECT_EQ(std::string(e.what()).rfind("TcpSocket.sendMessage(8)\r\n", 0), 0u);
        }
    }
    EXPECT_TRUE(threw);
    EXPECT_TRUE(socket->failed());
}

TEST(TcpSocketFraming, ReceiveWithATimeOutGivesUp) {
    fake::FakeServer server([](fake::FakePeer& peer) {
        peer.sendRaw(le32(20) + "abc");  // a message that never ends
        peer.waitClosed(5000);
    });
    auto socket = connectTo(server);
    NetMessage in;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(socket->receive(in, 150), TcpSocket::kTimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(140));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}
