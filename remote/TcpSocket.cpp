#include "remote/TcpSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "core/GeneralException.h"
#include "remote/NetMessage.h"

namespace VORLIN {

namespace {

struct WsaEntry {
    int code;
    const char* text;
};

// The message part of every socket failure, keyed by Windows Sockets code.
constexpr WsaEntry kWsaTable[] = {
    {10004, "La llamada de bloqueo fue cancelada via WSACancelBlockingCall"},
    {10014, "El parámetro no es una parte válida del espacio de direcciones"},
    {10022, "El socket ya esta ligado a otra dirección."},
    {10024, "No hay mas descriptores para sockets disponibles."},
    {10035, "El socket no es bloqueador y la operación bloquera el subproceso."},
    {10036,
     "Hay una llamada a un Windows Sockets 1.1 con bloqueo, o el proveedor del servicio esta "
     "todavia procesando un callback."},
    {10037, "Una llamada a la conexión está en progreso."},
    {10038, "El descriptor no es un socket."},
    {10040, "El mensaje es muy grande y no cabe en el buffer especificado y se cortó."},
    {10041, "El protocolo especificado tiene el tipo incorrecto para este socket."},
    {10043, "El protocolo especificado no esta disponible."},
    {10044, "El tipo de socket especificado no se soporta en esta familia de direcciones"},
    {10045, "El tipo de socket no soporta la operación."},
    {10047, "La dirección de familia especificada no esta soportada."},
    {10048,
     "Un proceso ya esta ligado a a la misma direccion y el socket no permite reutilización."},
    {10049, "La dirección especificada no es válida para ésta maquina"},
    {10050, "El subsistema de red o el proveedor de servicio asociado ha fallado."},
    {10051, "No se tiene acceso a la red en este momento."},
    {10052,
     "La conexión se rompió debido a la actividad Keep-alive. Se detectó una falla durante una "
     "operación en progreso."},
    {10053,
     "El lazo de comunicación se detuvo por exeder el tiempo permitido o alguna otra falla."},
    {10054, "El extremo remoto cerró la conexión."},
    {10056, "El socket ya está conectado."},
    {10057, "El socket no está conectado"},
    {10058, "El socket se ha apagado; no es posible recibir mas datos."},
    {10060,
     "La conexión se detuvo debido a una falla de red o por que un extremo dejó de responder."},
    {10061, "El intento de conexión fue rechazado."},
    {10093, "Debe llamar a WSAStartup antes de utilizar esta función."},
};

constexpr const char* kUnknownError = "Error desconocido.";

// Windows Sockets code of a connection reset by the peer.
constexpr int kWsaConnReset = 10054;

uint32_t readLength(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void writeLength(uint8_t* p, uint32_t n) {
    p[0] = uint8_t(n);
    p[1] = uint8_t(n >> 8);
    p[2] = uint8_t(n >> 16);
    p[3] = uint8_t(n >> 24);
}

int64_t monotonicMillis() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

// ------------------------------------------------------------- process-wide

void TcpSocket::initialize() {
    // A write to a connection the peer has closed raises SIGPIPE, whose
    // default action ends the process; the client must report it instead.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    if (::sigaction(SIGPIPE, &ignore, nullptr) != 0)
        throw GeneralException("TcpSocket.initialize() error");
}

void TcpSocket::terminate() {
    // Nothing to clean up on this platform; SIGPIPE stays ignored, since
    // sockets may still be closing in other threads.
}

// ---------------------------------------------------------------- lifecycle

TcpSocket::TcpSocket(int port, int second) : port_(port), second_(second) {
    openHandle();
}

TcpSocket::TcpSocket(Handle handle, int port, int second)
    : port_(port), second_(second), handle_(handle) {
    configureConnected();
}

std::unique_ptr<TcpSocket> TcpSocket::adopt(Handle handle, int port, int second) {
    return std::unique_ptr<TcpSocket>(new TcpSocket(handle, port, second));
}

TcpSocket::~TcpSocket() {
    closeHandle();
}

void TcpSocket::openHandle() {
    // Close-on-exec: a program started by the client must not inherit it.
    handle_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (handle_ == kInvalidHandle) throw GeneralException(errorText("TcpSocket()").toStdString());
}

void TcpSocket::closeHandle() noexcept {
    if (handle_ != kInvalidHandle) {
        ::close(handle_);
        handle_ = kInvalidHandle;
    }
}

void TcpSocket::configureConnected() noexcept {
    // Requests and answers are single small writes that wait for each
    // other: Nagle's algorithm would only add delay.
    int one = 1;
    ::setsockopt(handle_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

void TcpSocket::shutdown() noexcept {
    shutDown_ = true;
    if (handle_ != kInvalidHandle) ::shutdown(handle_, SHUT_RDWR);
}

// ------------------------------------------------------------------ errors

int TcpSocket::wsaCodeFor(int e) noexcept {
    switch (e) {
        case EINTR:
            return 10004;
        case EFAULT:
            return 10014;
        case EINVAL:
            return 10022;
        case EMFILE:
        case ENFILE:
            return 10024;
        case EAGAIN:
            return 10035;  // EWOULDBLOCK is the same value here
        case EINPROGRESS:
            return 10036;
        case EALREADY:
            return 10037;
        case ENOTSOCK:
        case EBADF:
            return 10038;
        case EMSGSIZE:
            return 10040;
        case EPROTOTYPE:
            return 10041;
        case EPROTONOSUPPORT:
            return 10043;
        case ESOCKTNOSUPPORT:
            return 10044;
        case EOPNOTSUPP:
            return 10045;
        case EAFNOSUPPORT:
            return 10047;
        case EADDRINUSE:
            return 10048;
        case EADDRNOTAVAIL:
            return 10049;
        case ENETDOWN:
            return 10050;
        case ENETUNREACH:
            return 10051;
        case ENETRESET:
            return 10052;
        case ECONNABORTED:
            return 10053;
        case ECONNRESET:
        case EPIPE:
            return 10054;  // writing to a connection the peer has closed
        case EISCONN:
            return 10056;
        case ENOTCONN:
            return 10057;
        case ESHUTDOWN:
            return 10058;
        case ETIMEDOUT:
            return 10060;
        case ECONNREFUSED:
            return 10061;
        default:
            return 0;
    }
}

const char* TcpSocket::wsaText(int code) noexcept {
    for (const WsaEntry& e : kWsaTable)
        if (e.code == code) return e.text;
    return kUnknownError;
}

String TcpSocket::errorText(const String& context) {
    return errorTextFor(context, errno);
}

String TcpSocket::errorTextFor(const String& context, int errnoValue) {
    int code = wsaCodeFor(errnoValue);
    String text = context + "\r\n" + wsaText(code);
    setLastError(code, text);
    return text;
}

void TcpSocket::setLastError(int code, const String& text) {
    std::lock_guard<std::mutex> lock(errorMutex_);
    lastErrorCode_ = code;
    lastErrorText_ = text;
}

int TcpSocket::lastErrorCode() const {
    std::lock_guard<std::mutex> lock(errorMutex_);
    return lastErrorCode_;
}

String TcpSocket::lastErrorText() const {
    std::lock_guard<std::mutex> lock(errorMutex_);
    return lastErrorText_;
}

// ---------------------------------------------------------------- connecting

bool TcpSocket::connectOne(const void* address, unsigned addressLength, int& error) {
    // A blocking connect to an address that never answers can take minutes:
    // connect without blocking and wait for the outcome up to the time-out.
    int flags = ::fcntl(handle_, F_GETFL, 0);
    ::fcntl(handle_, F_SETFL, flags | O_NONBLOCK);
    int rc = ::connect(handle_, static_cast<const sockaddr*>(address), socklen_t(addressLength));
    if (rc != 0 && errno == EINPROGRESS) {
        int64_t deadline = monotonicMillis() + std::max(connectTimeoutMs_, 1);
        for (;;) {
            pollfd p{handle_, POLLOUT, 0};
            int left = int(std::max<int64_t>(deadline - monotonicMillis(), 0));
            int n = ::poll(&p, 1, left);
            if (n < 0 && errno == EINTR) continue;
            if (n == 0) {
                errno = ETIMEDOUT;
                break;
            }
            if (n < 0) break;
            int soError = 0;
            socklen_t len = sizeof soError;
            ::getsockopt(handle_, SOL_SOCKET, SO_ERROR, &soError, &len);
            rc = soError == 0 ? 0 : -1;
            errno = soError;
            break;
        }
    }
    error = rc == 0 ? 0 : errno;
    ::fcntl(handle_, F_SETFL, flags);
    return rc == 0;
}

bool TcpSocket::connect(const String& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    String service;
    service.appendInt(port_);
    addrinfo* found = nullptr;
    int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0 || !found) {
        String text;
        text.format("TcpSocket.connect\r\nNo se encontró el servidor %s (%s)", host.c_str(),
                    ::gai_strerror(rc));
        setLastError(0, text);
        if (found) ::freeaddrinfo(found);
        return false;
    }
    bool connected = false;
    for (addrinfo* a = found; a && !connected; a = a->ai_next) {
        int error = 0;
        if (connectOne(a->ai_addr, unsigned(a->ai_addrlen), error)) {
            connected = true;
            break;
        }
        errorTextFor("TcpSocket.connect", error);
        // A socket whose connect failed is in an unspecified state: the next
        // address gets a fresh one.
        closeHandle();
        try {
            openHandle();
        } catch (const GeneralException&) {
            break;
        }
    }
    ::freeaddrinfo(found);
    if (connected) configureConnected();
    return connected;
}

void TcpSocket::setBlockingMode(bool blocking) {
    int flags = ::fcntl(handle_, F_GETFL, 0);
    if (flags < 0) throw GeneralException(errorText("TcpSocket.setBlockingMode").toStdString());
    flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    if (::fcntl(handle_, F_SETFL, flags) != 0)
        throw GeneralException(errorText("TcpSocket.setBlockingMode").toStdString());
}

void TcpSocket::setSendTimeout(int ms) {
    sendTimeoutMs_ = std::max(ms, 0);
    timeval tv{};
    tv.tv_sec = sendTimeoutMs_ / 1000;
    tv.tv_usec = (sendTimeoutMs_ % 1000) * 1000;
    ::setsockopt(handle_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

// ------------------------------------------------------------- send/receive

int TcpSocket::sendMessage(NetMessage& message, bool makeNonBlocking) {
    Archive& body = message.body();
    const uint32_t size = body.dataSize();
    // The caller built the complete body behind a placeholder; the length
    // goes in last, so a message is never sent in pieces of two builds.
    if (size < uint32_t(kHeaderSize) + 1 || !body.buffer()) {
        failed_ = true;
        throw GeneralException::format("TcpSocket.sendMessage(%d)\r\n%s", int(message.code()),
                                       wsaText(10040));
    }
    writeLength(body.buffer(), size);
    if (makeNonBlocking) setBlockingMode(false);

    const uint8_t* p = body.buffer();
    size_t left = size;
    ssize_t last = 0;
    while (left > 0) {
        ssize_t n = ::send(handle_, p, left, MSG_NOSIGNAL);
        if (n < 0) {
            int e = errno;
            if (e == EINTR) continue;
            // With a send time-out a blocked send comes back with EAGAIN:
            // the peer has stopped reading.
            if (e == EAGAIN && !makeNonBlocking && sendTimeoutMs_ > 0) e = ETIMEDOUT;
            failed_ = true;
            String context;
            context.format("TcpSocket.sendMessage(%d)", int(message.code()));
            throw GeneralException(errorTextFor(context, e).toStdString());
        }
        p += n;
        left -= size_t(n);
        last = n;
    }
    return int(last);
}

int TcpSocket::receive(NetMessage& message) {
    return receive(message, -1);
}

int TcpSocket::receive(NetMessage& message, int timeoutMs) {
    const int64_t deadline = timeoutMs >= 0 ? monotonicMillis() + timeoutMs : 0;
    // Reads until `n` bytes are in `dst`: 1 when they are, kPeerClosed when
    // the peer closed or reset the connection, kTimedOut past the deadline;
    // other errors throw.
    auto readFully = [&](uint8_t* dst, size_t n, const char* part) -> int {
        size_t got = 0;
        while (got < n) {
            if (timeoutMs >= 0) {
                pollfd p{handle_, POLLIN, 0};
                int left = int(std::max<int64_t>(deadline - monotonicMillis(), 0));
                int ready = ::poll(&p, 1, left);
                if (ready < 0 && errno == EINTR) continue;
                if (ready == 0) return kTimedOut;
            }
            ssize_t r = ::recv(handle_, dst + got, n - got, 0);
            if (r > 0) {
                got += size_t(r);
                continue;
            }
            if (r == 0) return kPeerClosed;
            int e = errno;
            if (e == EINTR) continue;
            String context;
            context.format("TcpSocket.recive (%d - %s)", int(message.code()), part);
            String text = errorTextFor(context, e);
            if (wsaCodeFor(e) == kWsaConnReset || shutDown_) return kPeerClosed;
            throw GeneralException(text.toStdString());
        }
        return 1;
    };

    uint8_t header[kHeaderSize];
    int rc = readFully(header, kHeaderSize, "header");
    if (rc != 1) return rc;
    const int32_t length = int32_t(readLength(header));
    // A length below 5 cannot hold the code byte; one above the limit is not
    // a message this side accepts. Both are refused before any allocation.
    if (length < kHeaderSize + 1 || uint32_t(length) > maxMessage_) {
        String text;
        text.format("TcpSocket.recive (%d - header)\r\nLongitud de mensaje invalida: %d",
                    int(message.code()), int(length));
        setLastError(0, text);
        throw GeneralException(text.toStdString(), kBadFrameCode);
    }
    const uint32_t bodySize = uint32_t(length) - kHeaderSize;

    // The body buffer starts at the configured size and doubles as bytes
    // arrive, so a peer that announces a large message without sending it
    // cannot make this side allocate it.
    Archive& body = message.body();
    const uint32_t first = uint32_t(std::max(second_, 1)) * 1024u;
    uint32_t capacity = std::min(bodySize, std::max(first, 4096u));
    body.reset(capacity);
    uint32_t received = 0;
    while (received < bodySize) {
        if (received == capacity) {
            capacity = uint32_t(std::min<uint64_t>(uint64_t(capacity) * 2, bodySize));
            body.reset(capacity);  // keeps the bytes already in the buffer
        }
        uint32_t chunk = capacity - received;
        rc = readFully(body.buffer() + received, chunk, "body");
        if (rc != 1) return rc;
        received += chunk;
    }
    body.setLoading(true);
    body.setDataSize(bodySize);
    message.setCode(body.readByte());
    return int(bodySize);
}

}  // namespace VORLIN
