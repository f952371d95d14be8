// Server: quelmir-server's listener. It holds SQLite databases as files in
// one data folder and serves each connected client in a ServerSession of
// its own, so clients run beside each other, each with its own open
// database and transaction.
//
// start() checks the data folder, loads the user file when one is
// configured, binds the listening socket (127.0.0.1 and port 6540 unless
// configured otherwise; port 0 picks a free port, see port()) and writes the
// first log line, "listening on ADDRESS:PORT (data DIR)"; listening on an
// address other than loopback without a user file adds a warning line.
// run() accepts clients until requestStop(); then every session is stopped
// (running statements interrupted or rolled back and answered with code 3,
// open transactions rolled back, databases closed) and joined; a client that
// does not read its last answer within kStopGraceMs is cut off. Clients
// beyond the configured maximum are turned away with a log line.
//
// Ownership: owns its sessions and sockets. Threads: start and run on one
// thread; requestStop() from any thread or from a signal handler (it only
// writes one byte to a pipe). Throws GeneralException from start() when the
// folder is missing or the address cannot be bound.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>

class ServerSession;
class UserFile;

struct ServerConfig {
    std::string dataDir;
    std::string listenAddress = "127.0.0.1";
    int port = 6540;
    uint32_t maxMessage = 64u << 20;  // the largest frame a client may send
    int maxClients = 64;
    int busyTimeoutMs = 20000;        // how long a client's statement waits for a lock
    int sendTimeoutMs = 60000;        // how long an answer may wait for a client that does not read
    uint32_t maxAnswer = 256u << 20;  // the largest answer sent
    int idleTimeoutS = 600;           // a client that sends nothing (no beat either) is closed
    int transactionTimeoutS = 900;    // a transaction left without a request is rolled back
    std::string usersFile;            // empty: no login
};

class Server {
public:
    static constexpr int kStopGraceMs = 3000;

    explicit Server(ServerConfig config);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    void start();
    void run();
    void requestStop() noexcept;

    // Process-wide memory settings for a server (the program sets them at
    // start): memory freed after one large answer is kept for the next
    // instead of being returned to the system and faulted in again.
    static void tuneProcessMemory();

    // The port listened on (the chosen one when configured with 0).
    int port() const noexcept { return port_; }
    int clientCount() const noexcept { return clients_.load(); }
    const ServerConfig& config() const noexcept { return config_; }

private:
    void accept();
    void reap();

    ServerConfig config_;
    int listenFd_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    int port_ = 0;
    int nextClientId_ = 1;
    std::atomic<int> clients_{0};
    std::chrono::steady_clock::time_point started_;
    std::list<std::unique_ptr<ServerSession>> sessions_;
    std::shared_ptr<const UserFile> users_;
};
