// The remote SQLite service on loopback, each figure beside a reference
// measured in the same run:
//   - the round trip of queryInt("SELECT 1;") through SqliteClientConnection
//     and quelmir-server (the program next to this one, over loopback TCP)
//     against a MariaDB server's SELECT 1 round trip through its C client
//     over loopback TCP (a server started here in a temporary folder);
//     target: ours no slower. Also shown: a plain TCP echo of the same
//     message sizes (no database answers faster, so it is the floor) and
//     the same request sent as raw frames, without the client;
//   - queryDataset of a 100,000-row table remote against local; target:
//     within 2x.
#include <arpa/inet.h>
#include <fcntl.h>
#include <mysql.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <vector>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "bench/Bench.h"
#include "data/DataSet.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "remote/NetMessage.h"
#include "remote/RemoteCodes.h"
#include "remote/SqliteClientConnection.h"
#include "remote/TcpSocket.h"
#include "server/Server.h"
#include "server/ServerLog.h"
#include "tests/db/mysql/MariaDbServer.h"

using namespace VORLIN;

namespace {

constexpr int kRoundTrips = 20000;
constexpr int kRows = 100'000;

// The quelmir-server program next to this one, or "" when there is none.
std::string serverProgram() {
    char self[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return std::string();
    self[n] = '\0';
    std::string program = std::filesystem::path(self).parent_path() / "quelmir-server";
    return ::access(program.c_str(), X_OK) == 0 ? program : std::string();
}

// A temporary folder with quelmir-server listening on it: the program
// itself when it is next to this one (as it runs for real, in a process of
// its own), else the same server in this process.
class LiveServer {
public:
    LiveServer() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quelmir-bench-XXXXXX");
        folder_ = ::mkdtemp(pattern.data());
        std::string program = serverProgram();
        if (!program.empty() && spawn(program)) {
            std::printf("(server: %s, its own process)\n", program.c_str());
            return;
        }
        std::printf("(server: in this process)\n");
        ServerLog::setSink([](const std::string&) {});
        Server::tuneProcessMemory();
        ServerConfig config;
        config.dataDir = folder_;
        config.port = 0;
        server_ = std::make_unique<Server>(config);
        server_->start();
        port_ = server_->port();
        thread_ = std::thread([this] { server_->run(); });
    }
    ~LiveServer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
            if (drain_.joinable()) drain_.join();
            ::close(log_);
        } else if (server_) {
            server_->requestStop();
            thread_.join();
            server_.reset();
            ServerLog::setSink(nullptr);
        }
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    String address() const { return String("127.0.0.1:" + std::to_string(port_)); }
    int port() const { return port_; }
    const std::string& folder() const { return folder_; }

private:
    // Starts the program on a free port, read from its first log line.
    bool spawn(const std::string& program) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return false;
        std::vector<std::string> args = {program, "--data", folder_, "--port", "0"};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], 2);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        log_ = fds[0];
        std::string line;
        char c;
        while (::read(log_, &c, 1) == 1 && c != '\n')
            line.push_back(c);
        const std::string mark = "listening on 127.0.0.1:";
        size_t at = line.find(mark);
        if (at == std::string::npos) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
            ::close(log_);
            return false;
        }
        port_ = std::atoi(line.c_str() + at + mark.size());
        // The rest of the log is read and dropped, so the program never
        // blocks on a full pipe.
        drain_ = std::thread([this] {
            char buffer[4096];
            while (::read(log_, buffer, sizeof buffer) > 0) {
            }
        });
        return true;
    }

    std::string folder_;
    int port_ = 0;
    pid_t pid_ = -1;
    int log_ = -1;
    std::thread drain_;
    std::unique_ptr<Server> server_;
    std::thread thread_;
};

// A TCP server that reads one frame and writes back a frame of `answerSize`
// bytes, for every frame.
class EchoServer {
public:
    explicit EchoServer(uint32_t answerSize) : answerSize_(answerSize) {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listen_, 1);
        socklen_t n = sizeof a;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &n);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~EchoServer() {
        thread_.join();
        ::close(listen_);
    }
    int port() const { return port_; }

private:
    static bool readAll(int fd, uint8_t* p, size_t n) {
        while (n > 0) {
            ssize_t r = ::recv(fd, p, n, 0);
            if (r <= 0) return false;
            p += r;
            n -= size_t(r);
        }
        return true;
    }
    void serve() {
        int fd = ::accept(listen_, nullptr, nullptr);
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::string answer(answerSize_, '\0');
        answer[0] = char(answerSize_);
        answer[4] = char(RemoteCode::kScalar);
        uint8_t buffer[65536];
        for (;;) {
            if (!readAll(fd, buffer, 4)) break;
            uint32_t n = uint32_t(buffer[0]) | uint32_t(buffer[1]) << 8 |
                         uint32_t(buffer[2]) << 16 | uint32_t(buffer[3]) << 24;
            if (n < 5 || n - 4 > sizeof buffer || !readAll(fd, buffer, n - 4)) break;
            if (::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL) < 0) break;
        }
        ::close(fd);
    }
    uint32_t answerSize_;
    int listen_ = -1;
    int port_ = 0;
    std::thread thread_;
};

}  // namespace

QUELMIR_BENCH(remote_round_trip) {
    TcpSocket::initialize();
    LiveServer live;
    SqliteClientConnection client(false);
    if (!client.connect(live.address(), "", "", false, "bench")) {
        // The database is made on the first open.
        client.connect(live.address(), "", "", false, "-");
        client.openDatabase("bench");
    }
    for (int i = 0; i < 1000; ++i)
        client.queryInt("SELECT 1;");
    double t0 = bench::now();
    for (int i = 0; i < kRoundTrips; ++i)
        client.queryInt("SELECT 1;");
    double ours = (bench::now() - t0) / kRoundTrips;
    client.disconnect();

    // The same request sent as raw frames to the same server, without the
    // client thread: the part of the round trip the server takes.
    double raw;
    {
        TcpSocket direct(live.port(), 128);
        direct.connect("127.0.0.1");
        NetMessage open(RemoteCode::kOpenDatabase);
        open.addString("bench");
        NetMessage reply;
        direct.sendMessage(open, false);
        direct.receive(reply);
        NetMessage select(RemoteCode::kQueryItem);
        select.addString("SELECT 1;").addInt(RemoteCode::kAsInt);
        for (int i = 0; i < 1000; ++i) {
            direct.sendMessage(select, false);
            direct.receive(reply);
        }
        t0 = bench::now();
        for (int i = 0; i < kRoundTrips; ++i) {
            direct.sendMessage(select, false);
            direct.receive(reply);
        }
        raw = (bench::now() - t0) / kRoundTrips;
    }

    // The same request and answer sizes over a bare echo.
    NetMessage request(RemoteCode::kQueryItem);
    request.addString("SELECT 1;").addInt(RemoteCode::kAsInt);
    NetMessage answer(RemoteCode::kScalar);
    answer.addItem(DataItem(int32_t(1)));
    EchoServer echo(answer.body().dataSize());
    TcpSocket socket(echo.port(), 128);
    socket.connect("127.0.0.1");
    NetMessage in;
    for (int i = 0; i < 1000; ++i) {
        socket.sendMessage(request, false);
        socket.receive(in);
    }
    t0 = bench::now();
    for (int i = 0; i < kRoundTrips; ++i) {
        socket.sendMessage(request, false);
        socket.receive(in);
    }
    double reference = (bench::now() - t0) / kRoundTrips;
    std::printf(
        "queryInt(\"SELECT 1;\") round trip  %8.1f us   TCP echo (reference) %8.1f us   "
        "ratio %.2f\n",
        ours * 1e6, reference * 1e6, ours / reference);
    std::printf("  the same request as raw frames (no client thread)  %8.1f us\n", raw * 1e6);

    // The reference the target names: MariaDB's own SELECT 1 round trip.
    quelmir_test::MariaDbServer maria;
    if (!maria.start()) {
        std::printf("  MariaDB reference not measured: %s\n", maria.error().c_str());
        return;
    }
    MYSQL* m = mysql_init(nullptr);
    if (!m || !mysql_real_connect(m, "127.0.0.1", quelmir_test::MariaDbServer::kUser,
                                  quelmir_test::MariaDbServer::kPassword, nullptr,
                                  (unsigned)maria.port(), nullptr, 0)) {
        std::printf("  MariaDB reference not measured: %s\n", m ? mysql_error(m) : "mysql_init");
        if (m) mysql_close(m);
        return;
    }
    auto selectOne = [m] {
        if (mysql_query(m, "SELECT 1") == 0) mysql_free_result(mysql_store_result(m));
    };
    for (int i = 0; i < 1000; ++i)
        selectOne();
    t0 = bench::now();
    for (int i = 0; i < kRoundTrips; ++i)
        selectOne();
    double maria1 = (bench::now() - t0) / kRoundTrips;
    mysql_close(m);
    std::printf("  MariaDB SELECT 1 through its C client (reference)  %8.1f us   ratio %.2f\n",
                maria1 * 1e6, ours / maria1);
}

QUELMIR_BENCH(remote_dataset) {
    TcpSocket::initialize();
    LiveServer live;
    {
        SqliteLocalConnection build;
        build.connect(String(live.folder()), "", "", false, "-");
        build.createDatabase("bench", true);
        build.execute(
            "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, price NUMERIC, "
            "qty INTEGER, day DATE);");
        build.beginTransaction();
        String sql;
        for (int i = 0; i < kRows; ++i) {
            sql.format("INSERT INTO t VALUES(%d,'Cliente numero %d',%d.25,%d,'2024-%02d-%02d');", i,
                       i * 7, i % 1000, i % 50, 1 + i % 12, 1 + i % 28);
            build.execute(sql);
        }
        build.commitTransaction();
    }
    const char* query = "SELECT * FROM t;";

    SqliteLocalConnection local;
    local.connect(String(live.folder()), "", "", false, "bench");
    local.openDatabase("bench", true);
    SqliteClientConnection remote(false);
    remote.connect(live.address(), "", "", false, "bench");

    double bestLocal = 1e9, bestRemote = 1e9;
    int rowsLocal = 0, rowsRemote = 0;
    // Best of ten each, the order switched every round (what ran just
    // before changes the state of the memory allocator).
    auto timeRemote = [&] {
        DataSet set;
        double t0 = bench::now();
        remote.queryDataset(query, &set, "", false);
        bestRemote = std::min(bestRemote, bench::now() - t0);
        rowsRemote = set.rowCount();
    };
    auto timeLocal = [&] {
        DataSet set;
        double t0 = bench::now();
        local.queryDataset(query, &set, "", false);
        bestLocal = std::min(bestLocal, bench::now() - t0);
        rowsLocal = set.rowCount();
    };
    for (int round = 0; round < 10; ++round) {
        if (round % 2) {
            timeLocal();
            timeRemote();
        } else {
            timeRemote();
            timeLocal();
        }
    }
    std::printf(
        "queryDataset %d rows: remote %8.3f s (%d rows)   local (reference) %8.3f s   "
        "ratio %.2f\n",
        kRows, bestRemote, rowsRemote, bestLocal, rowsLocal ? bestRemote / bestLocal : 0.0);
    remote.disconnect();
    local.disconnect();
}
