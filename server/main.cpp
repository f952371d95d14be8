// quelmir-server: the remote SQLite service of Quelmir.
//
//     quelmir-server --data DIR [--listen ADDRESS] [--port 6540]
//                    [--max-message BYTES] [--max-answer BYTES] [--max-clients N]
//                    [--busy-timeout MS] [--idle-timeout S] [--transaction-timeout S]
//                    [--users FILE]
//     quelmir-server --add-user FILE USER
//
// Serves the SQLite databases kept as files in DIR to Quelmir clients over
// TCP; see README.md ("quelmir-server"). Logs one line per connection event
// on standard error; SIGINT and SIGTERM stop it cleanly.
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/GeneralException.h"
#include "remote/TcpSocket.h"
#include "server/Server.h"
#include "server/UserFile.h"

namespace {

Server* gServer = nullptr;

void onSignal(int) {
    if (gServer) gServer->requestStop();
}

void usage(std::FILE* out) {
    std::fprintf(
        out,
        "usage: quelmir-server --data DIR [--listen ADDRESS] [--port PORT]\n"
        "                      [--max-message BYTES] [--max-answer BYTES] [--max-clients N]\n"
        "                      [--busy-timeout MS] [--idle-timeout S] [--transaction-timeout S]\n"
        "                      [--users FILE]\n"
        "       quelmir-server --add-user FILE USER\n"
        "  --data DIR          folder of the SQLite databases (required)\n"
        "  --listen ADDRESS    address to listen on (default 127.0.0.1; to reach the\n"
        "                      server from elsewhere, prefer an SSH tunnel)\n"
        "  --port PORT         TCP port (default 6540; 0 picks a free one)\n"
        "  --max-message N     largest message a client may send, in bytes\n"
        "                      (K, M or G suffix allowed; default 64M)\n"
        "  --max-answer N      largest answer the server sends, in bytes (64K to 2047M;\n"
        "                      default 256M); larger ones fail with a message\n"
        "  --max-clients N     clients served at once (default 64)\n"
        "  --busy-timeout MS   how long a statement waits for a lock (default 20000)\n"
        "  --idle-timeout S    close a client that sends nothing for S seconds\n"
        "                      (default 600; Quelmir's keep-alive beats count; 0 never)\n"
        "  --transaction-timeout S\n"
        "                      roll back a transaction left without a request for S\n"
        "                      seconds and close its client (default 900; 0 never)\n"
        "  --users FILE        require a login: lines user:hash, made with --add-user\n"
        "  --add-user FILE USER\n"
        "                      add USER to FILE (or change the password), reading the\n"
        "                      password from the terminal, or one line of standard input\n");
}

// The password for --add-user: asked twice on a terminal without echo;
// otherwise the first line of standard input.
bool readPassword(std::string& out) {
    auto readLine = [](std::string& line) {
        line.clear();
        int c;
        while ((c = std::getchar()) != EOF && c != '\n')
            line.push_back(char(c));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return c != EOF || !line.empty();
    };
    if (!::isatty(STDIN_FILENO)) return readLine(out);
    termios saved{};
    ::tcgetattr(STDIN_FILENO, &saved);
    termios quiet = saved;
    quiet.c_lflag &= tcflag_t(~ECHO);
    quiet.c_lflag |= ECHONL;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::string again;
    std::fprintf(stderr, "Contraseña: ");
    bool ok = readLine(out);
    std::fprintf(stderr, "Repita la contraseña: ");
    ok = ok && readLine(again);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    if (ok && out != again) {
        std::fprintf(stderr, "quelmir-server: las contraseñas no coinciden\n");
        return false;
    }
    return ok;
}

int addUser(const char* file, const char* user) {
    if (!UserFile::isValidUser(user)) {
        std::fprintf(stderr, "quelmir-server: nombre de usuario invalido: '%s'\n", user);
        return 2;
    }
    std::string password;
    if (!readPassword(password) || password.empty()) {
        std::fprintf(stderr, "quelmir-server: falta la contraseña\n");
        return 2;
    }
    try {
        UserFile::addUser(file, user, password);
    } catch (const VORLIN::GeneralException& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "quelmir-server: usuario %s guardado en %s\n", user, file);
    return 0;
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
        if (arg == "--add-user") {
            if (argc != i + 3) {
                usage(stderr);
                return 2;
            }
            return addUser(argv[i + 1], argv[i + 2]);
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
        } else if (arg == "--max-answer" && parseSize(value, number) && number >= (64u << 10) &&
                   number <= (2047ull << 20)) {
            config.maxAnswer = uint32_t(number);
        } else if (arg == "--idle-timeout" && parseSize(value, number) && number <= 604800) {
            config.idleTimeoutS = int(number);
        } else if (arg == "--transaction-timeout" && parseSize(value, number) && number <= 604800) {
            config.transactionTimeoutS = int(number);
        } else if (arg == "--users") {
            config.usersFile = value;
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
