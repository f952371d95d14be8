// MariaDbServer: a private MariaDB server for one test program. It creates a
// data folder under /tmp, starts mariadbd on loopback (a free TCP port) and
// on a socket in that folder, as the user the machine runs as, creates the
// test user and stops the server (SIGTERM, then waits) when destroyed.
// Header-only so that the MySQL and ODBC test programs can both use it.
// When mariadbd is missing, start() leaves a reason in error() and the
// tests skip with it; any other failure also lands in error().
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <mysql.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace quelmir_test {

class MariaDbServer {
public:
    static constexpr const char* kUser = "quelmir";
    static constexpr const char* kPassword = "clave'\\x";

    ~MariaDbServer() { stop(); }

    static std::string findProgram(const char* name) {
        for (const char* dir : {"/usr/sbin/", "/usr/bin/", "/usr/local/sbin/", "/usr/local/bin/"}) {
            std::string p = std::string(dir) + name;
            if (access(p.c_str(), X_OK) == 0) return p;
        }
        return std::string();
    }

    bool start() {
        std::string daemon = findProgram("mariadbd");
        std::string install = findProgram("mariadb-install-db");
        if (daemon.empty() || install.empty()) {
            missing_ = true;
            error_ =
                "mariadbd or mariadb-install-db is not installed (package mariadb-server; "
                "scripts/install-deps.sh installs it): MySQL tests SKIPPED";
            return false;
        }
        char tmpl[] = "/tmp/quelmir-mariadb-XXXXXX";
        if (!mkdtemp(tmpl)) return failWith("mkdtemp failed");
        dir_ = tmpl;
        port_ = freePort();
        std::string cmd = install + " --no-defaults --user=root --datadir=" + dir_ +
                          "/data --auth-root-authentication-method=normal --skip-test-db "
                          "--skip-name-resolve > " +
                          dir_ + "/install.log 2>&1";
        // Two test programs installing at once have been seen to fail:
        // installs take turns (a lock file) and a failed one is tried again.
        int lock = open("/tmp/quelmir-mariadb-install.lock", O_CREAT | O_RDWR, 0666);
        if (lock >= 0) flock(lock, LOCK_EX);
        bool installed = false;
        for (int attempt = 0; attempt < 2 && !installed; ++attempt) {
            std::error_code ec;
            std::filesystem::remove_all(dir_ + "/data", ec);
            installed = std::system(cmd.c_str()) == 0;
        }
        if (lock >= 0) close(lock);
        if (!installed) return failWith("mariadb-install-db failed: " + cmd);
        std::vector<std::string> args = {daemon,
                                         "--no-defaults",
                                         "--user=root",
                                         "--datadir=" + dir_ + "/data",
                                         "--socket=" + socketPath(),
                                         "--port=" + std::to_string(port_),
                                         "--bind-address=127.0.0.1",
                                         "--pid-file=" + dir_ + "/pid",
                                         "--log-error=" + dir_ + "/error.log",
                                         "--innodb-buffer-pool-size=16M",
                                         "--innodb-log-file-size=8M",
                                         "--skip-log-bin",
                                         "--skip-name-resolve"};
        pid_ = fork();
        if (pid_ < 0) return failWith("fork failed");
        if (pid_ == 0) {
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        // The client library reads the default port at its first use: a
        // connection without a port then reaches this server.
        setenv("MYSQL_TCP_PORT", std::to_string(port_).c_str(), 1);
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!rootQuery("SELECT 1")) {
            int status;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return failWith("mariadbd exited at start-up; see " + dir_ + "/error.log");
            }
            if (std::chrono::steady_clock::now() > until)
                return failWith("mariadbd did not accept connections within 30 s");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        std::string user = std::string("'") + kUser + "'@'127.0.0.1'";
        std::string local = std::string("'") + kUser + "'@'localhost'";
        for (const std::string& u : {user, local}) {
            if (!rootQuery("CREATE USER " + u + " IDENTIFIED BY 'clave''\\\\x'") ||
                !rootQuery("GRANT ALL ON *.* TO " + u))
                return failWith("could not create the test user");
        }
        return true;
    }

    // Runs one statement as root over the socket; false on any failure.
    bool rootQuery(const std::string& sql) {
        MYSQL* m = mysql_init(nullptr);
        if (!m) return false;
        bool ok =
            mysql_real_connect(m, "localhost", "root", "", nullptr, 0, socketPath().c_str(), 0) &&
            mysql_query(m, sql.c_str()) == 0;
        if (ok) mysql_free_result(mysql_store_result(m));
        mysql_close(m);
        return ok;
    }

    void stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status;
            // Bounded: a server that does not stop within 20 s is killed.
            for (int i = 0; i < 400 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (waitpid(pid_, &status, WNOHANG) == 0) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
            }
            pid_ = -1;
        }
        if (!dir_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(dir_, ec);
            dir_.clear();
        }
    }

    int port() const { return port_; }
    std::string hostWithPort() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string socketPath() const { return dir_ + "/sock"; }
    const std::string& dir() const { return dir_; }
    const std::string& error() const { return error_; }
    bool missing() const { return missing_; }

private:
    bool failWith(const std::string& text) {
        error_ = text;
        return false;
    }

    static int freePort() {
        int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        socklen_t len = sizeof a;
        int port = 0;
        if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        close(s);
        return port;
    }

    std::string dir_;
    std::string error_;
    int port_ = 0;
    pid_t pid_ = -1;
    bool missing_ = false;
};

// The one server of a test program, started by a GoogleTest environment.
inline MariaDbServer& server() {
    static MariaDbServer s;
    return s;
}

}  // namespace quelmir_test
