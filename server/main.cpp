// quelmir-server: the remote SQLite service of Quelmir.
//
//     quelmir-server --data DIR [--listen ADDRESS] [--port 6540]
//                    [--max-message BYTES] [--max-clients N] [--busy-timeout MS]
//
// Serves the SQLite databases kept as files in DIR to Quelmir clients over
// TCP; see README.md ("quelmir-server"). Logs one line per connection event
// on standard error; SIGINT and SIGTERM stop it cleanly.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/GeneralException.h"
#include "remote/TcpSocket.h"
#include "server/Server.h"

namespace {

Server* gServer = nullptr;

void onSignal(int) {
    if (gServer) gServer->requestStop();
}

void usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: quelmir-server --data DIR [--listen ADDRESS] [--port PORT]\n"
                 "                      [--max-message BYTES] [--max-clients N] "
                 "[--busy-timeout MS]\n"
                 "  --data DIR          folder of the SQLite databases (required)\n"
                 "  --listen ADDRESS    address to listen on (default 127.0.0.1)\n"
                 "  --port PORT         TCP port (default 6540; 0 picks a free one)\n"
                 "  --max-message N     largest message a client may send, in bytes\n"
                 "                      (K, M or G suffix allowed; default 64M)\n"
                 "  --max-clients N     clients served at once (default 64)\n"
                 "  --busy-timeout MS   how long a statement waits for a lock (default 20000)\n");
}

// A whole non-negative number, with an optional K, M or G multiplier.
bool parseSize(const char* text, uint64_t& out) {
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || text[0] == '-') return false;
    uint64_t scale = 1;
    if (*end == 'K' || *end == 'k')
        scale = 1ull << 10, ++end;
    else if (*end == 'M' || *end == 'm')
        scale = 1ull << 20, ++end;
    else if (*end == 'G' || *end == 'g')
        scale = 1ull << 30, ++end;
    if (*end != '\0') return false;
    out = uint64_t(v) * scale;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    ServerConfig config;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "quelmir-server: %s needs a value\n", arg.c_str());
            usage(stderr);
            return 2;
        }
        const char* value = argv[++i];
        uint64_t number = 0;
        if (arg == "--data") {
            config.dataDir = value;
        } else if (arg == "--listen") {
            config.listenAddress = value;
        } else if (arg == "--port" && parseSize(value, number) && number <= 65535) {
            config.port = int(number);
        } else if (arg == "--max-message" && parseSize(value, number) && number >= 5 &&
                   number <= 0x7fffffffu) {
            config.maxMessage = uint32_t(number);
        } else if (arg == "--max-clients" && parseSize(value, number) && number >= 1 &&
                   number <= 100000) {
            config.maxClients = int(number);
        } else if (arg == "--busy-timeout" && parseSize(value, number) && number <= 600000) {
            config.busyTimeoutMs = int(number);
        } else {
            std::fprintf(stderr, "quelmir-server: invalid option %s %s\n", arg.c_str(), value);
            usage(stderr);
            return 2;
        }
    }
    if (config.dataDir.empty()) {
        std::fprintf(stderr, "quelmir-server: --data DIR is required\n");
        usage(stderr);
        return 2;
    }

    try {
        VORLIN::TcpSocket::initialize();
        Server::tuneProcessMemory();
        Server server(config);
        server.start();
        gServer = &server;
        struct sigaction stop {};
        stop.sa_handler = onSignal;
        sigemptyset(&stop.sa_mask);
        ::sigaction(SIGINT, &stop, nullptr);
        ::sigaction(SIGTERM, &stop, nullptr);
        server.run();
        gServer = nullptr;
        VORLIN::TcpSocket::terminate();
    } catch (const VORLIN::GeneralException& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
