// TcpSocket: the framework's thin wrapper over one IPv4 TCP stream socket,
// carrying NetMessages framed by a 4-byte little-endian length (which counts
// itself) followed by the code byte and the Archive arguments.
//
// Failures are reported with the texts of the Windows Sockets error table:
// each errno is mapped to its Windows Sockets counterpart (ECONNREFUSED to
// 10061, ECONNRESET to 10054, ...) and the text of that code is appended to
// the operation's context, "context\r\ntext". An errno without counterpart
// reads "Error desconocido.".
//
// A peer that closes or resets the connection is not an error for receive():
// it answers kPeerClosed (-99). A frame whose declared length is below 5 or
// above the maximum message size throws a GeneralException whose code() is
// kBadFrameCode, before anything is allocated for it.
//
// Threads: one thread may send while another receives (the remote client
// does so); senders must be serialised by the owner. shutdown() may be
// called from any thread and wakes a receive blocked in another one. The
// error fields are guarded, so any thread may read them.
// Ownership: the socket owns its handle and closes it in the destructor.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "core/String.h"

namespace VORLIN {

class NetMessage;

class TcpSocket {
public:
    using Handle = int;
    static constexpr Handle kInvalidHandle = -1;
    static constexpr int kHeaderSize = 4;
    // What receive() answers when the peer has closed the connection.
    static constexpr int kPeerClosed = -99;
    // What receive() with a time-out answers when it runs out.
    static constexpr int kTimedOut = -98;
    // GeneralException::code() of a frame whose length is out of bounds.
    static constexpr int kBadFrameCode = 4101;
    static constexpr int kDefaultConnectTimeoutMs = 10000;
    static constexpr uint32_t kNoLimit = 0x7fffffffu;

    // Once at program start and end. On this platform they only make sure
    // that writing to a closed connection cannot kill the process (SIGPIPE
    // is ignored; sends also pass MSG_NOSIGNAL). Texts kept for the callers:
    // "TcpSocket.initialize() error", "TcpSocket.terminate() error".
    static void initialize();
    static void terminate();

    // Creates the socket. `second` sets the first allocation, in KiB, of a
    // received message body (the client passes 128); larger bodies grow as
    // their bytes arrive. Throws the error text for context "TcpSocket()".
    TcpSocket(int port, int second);
    // Wraps a connected handle (from accept); the socket owns it.
    static std::unique_ptr<TcpSocket> adopt(Handle handle, int port, int second = 128);
    ~TcpSocket();
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Resolves host with the port and tries each IPv4 address in turn, each
    // attempt bounded by the connect time-out. False when the name does not
    // resolve or no address accepts; the reason is in lastErrorText().
    bool connect(const String& host);
    // Throws the error text for context "TcpSocket.setBlockingMode".
    void setBlockingMode(bool blocking);
    // Patches the length prefix of the message's body and sends the whole
    // body; answers the byte count of the last send call. A failure (or a
    // send that stays blocked longer than the send time-out) marks the
    // socket failed and throws the text for "TcpSocket.sendMessage(<code>)".
    int sendMessage(NetMessage& message, bool makeNonBlocking);
    // Reads one message into `message` (code byte read, arguments from the
    // start) and answers the body size, or kPeerClosed.
    int receive(NetMessage& message);
    // The same, giving up with kTimedOut when the whole message has not
    // arrived within timeoutMs (negative = without limit). The stream is
    // then out of step: the caller gives the connection up.
    int receive(NetMessage& message, int timeoutMs);
    // context + "\r\n" + the text of the current errno's code; kept as the
    // last error.
    String errorText(const String& context);
    String errorTextFor(const String& context, int errnoValue);
    // Ends both directions: a receive blocked in another thread returns
    // kPeerClosed and later sends fail. Safe to call more than once.
    void shutdown() noexcept;

    // --- settings ---
    void setConnectTimeout(int ms) noexcept { connectTimeoutMs_ = ms; }
    // 0 = sends may block without limit.
    void setSendTimeout(int ms);
    // The largest frame length receive() accepts (kNoLimit by default).
    void setMaxMessage(uint32_t bytes) noexcept { maxMessage_ = bytes; }
    uint32_t maxMessage() const noexcept { return maxMessage_; }

    // --- state ---
    bool failed() const noexcept { return failed_.load(); }
    int port() const noexcept { return port_; }
    int second() const noexcept { return second_; }
    int headerSize() const noexcept { return kHeaderSize; }
    int lastErrorCode() const;
    String lastErrorText() const;
    Handle handle() const noexcept { return handle_; }

    // --- the error table ---
    // The Windows Sockets code of an errno value (0 when it has none).
    static int wsaCodeFor(int errnoValue) noexcept;
    // The table text of a Windows Sockets code ("Error desconocido." for
    // codes the table does not list).
    static const char* wsaText(int code) noexcept;

private:
    TcpSocket(Handle handle, int port, int second);
    void openHandle();
    void closeHandle() noexcept;
    void setLastError(int code, const String& text);
    bool connectOne(const void* address, unsigned addressLength, int& error);
    void configureConnected() noexcept;

    std::atomic<bool> failed_{false};
    int port_;
    int second_;
    Handle handle_ = kInvalidHandle;
    int connectTimeoutMs_ = kDefaultConnectTimeoutMs;
    int sendTimeoutMs_ = 0;
    uint32_t maxMessage_ = kNoLimit;
    std::atomic<bool> shutDown_{false};

    mutable std::mutex errorMutex_;
    int lastErrorCode_ = 0;
    String lastErrorText_;
};

}  // namespace VORLIN
