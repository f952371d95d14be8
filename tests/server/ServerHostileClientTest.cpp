// The real quelmir-server against a hostile client: SQL that reaches into
// the process, names that lead out of the data folder, special files,
// counters under contention, a stop while requests wait, answers larger
// than allowed, simultaneous updates, forgotten clients and the login.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/GeneralException.h"
#include "data/DataSet.h"
#include "remote/ConnectionNotifier.h"
#include "remote/NetMessage.h"
#include "remote/RemoteCodes.h"
#include "remote/SqliteClientConnection.h"
#include "server/Server.h"
#include "server/ServerLog.h"
#include "tests/server/RawClient.h"
#include "tests/server/ServerProcess.h"

using testing_server::RawClient;
using VORLIN::ConnectionNotifier;
using VORLIN::DataSet;
using VORLIN::GeneralException;
using VORLIN::NetMessage;
using VORLIN::SqliteClientConnection;
using VORLIN::String;
namespace RC = VORLIN::RemoteCode;

namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// An SQLite database file made directly, with the statements run on it.
void makeDatabase(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

class SqliteServerHostile : public ::testing::Test {
protected:
    void start(std::vector<std::string> extra = {}) {
        server = std::make_unique<testing_server::ServerProcess>(dir.path(), extra);
        ASSERT_TRUE(server->started());
    }
    // A raw client with the database open.
    std::unique_ptr<RawClient> raw(const char* database = "datos") {
        auto c = std::make_unique<RawClient>(server->port());
        EXPECT_TRUE(c->ok());
        NetMessage in;
        EXPECT_EQ(c->askText(RC::kOpenDatabase, database, in), RC::kSuccess);
        return c;
    }
    // Runs SQL; answers the answer's code, the failure text in `text`.
    int exec(RawClient& c, const std::string& sql, std::string* text = nullptr) {
        NetMessage in;
        int code = c.askText(RC::kExecute, sql, in);
        if (code == RC::kFailure && text) *text = in.readString().toStdString();
        return code;
    }
    int queryInt(RawClient& c, const std::string& sql) {
        NetMessage m(RC::kQueryItem), in;
        m.addString(String(sql)).addInt(RC::kAsInt);
        if (c.ask(m, in) != RC::kScalar) return -1;
        return in.readItem().toInt();
    }
    bool alive(RawClient& c) {
        NetMessage m(RC::kIntQuery), in;
        m.addInt(0);
        return c.ask(m, in) == RC::kScalar;
    }
    std::unique_ptr<SqliteClientConnection> client(const char* user = "",
                                                   const char* password = "") {
        auto c = std::make_unique<SqliteClientConnection>(false);
        c->setRequestTimeout(20000);
        EXPECT_TRUE(c->connect(String(server->address()), user, password, false, "-"))
            << c->lastError().view();
        return c;
    }
    testing_server::TempDir dir;
    std::unique_ptr<testing_server::ServerProcess> server;
};

}  // namespace

// The FTS3 tokenizer function would hand out code addresses and let a
// client plant one; extensions and schema tricks are off too.
TEST_F(SqliteServerHostile, SqlCannotReachIntoTheProcess) {
    start();
    auto c = raw();
    std::string text;
    EXPECT_EQ(exec(*c, "SELECT fts3_tokenizer('simple');", &text), RC::kFailure);
    EXPECT_NE(text.find("not authorized"), std::string::npos) << text;
    EXPECT_EQ(exec(*c, "SELECT fts3_tokenizer('evil', x'4141414141414141');"), RC::kFailure);
    EXPECT_EQ(exec(*c, "CREATE VIRTUAL TABLE f USING fts3(x, tokenize=evil);"), RC::kFailure);
    EXPECT_EQ(exec(*c, "SELECT load_extension('/lib/x86_64-linux-gnu/libc.so.6');"), RC::kFailure);
    // The schema cannot be written behind SQLite's back.
    EXPECT_EQ(exec(*c, "CREATE TABLE t(a);"), RC::kSuccess);
    EXPECT_EQ(exec(*c, "PRAGMA writable_schema=ON; UPDATE sqlite_master SET sql='x';"),
              RC::kFailure);
    // What clients use is still there: full-text tables with the built-in
    // tokenizers.
    EXPECT_EQ(exec(*c,
                   "CREATE VIRTUAL TABLE g USING fts4(x, tokenize=porter);"
                   "INSERT INTO g VALUES('corriendo');"),
              RC::kSuccess);
    EXPECT_EQ(queryInt(*c, "SELECT COUNT(*) FROM g WHERE g MATCH 'corriendo';"), 1);
    // The program's own SQL functions still serve views and defaults.
    EXPECT_EQ(exec(*c,
                   "CREATE TABLE d(f, s DEFAULT (MaskZeros(7, 3)));"
                   "CREATE VIEW v AS SELECT MaskZeros(f, 4) AS m FROM d;"
                   "INSERT INTO d(f) VALUES(42);"),
              RC::kSuccess);
    NetMessage q(RC::kQueryItem), in;
    q.addString("SELECT m || '/' || (SELECT s FROM d) FROM v;").addInt(RC::kAsString);
    ASSERT_EQ(c->ask(q, in), RC::kScalar);
    EXPECT_EQ(in.readItem().text(), String("0042/007"));
    ASSERT_TRUE(alive(*c));
    EXPECT_EQ(::kill(server->pid(), 0), 0);
}

// Pragmas whose effect reaches the whole process (or outlives the
// client's transactions) are refused; the client's own ones still work.
TEST_F(SqliteServerHostile, ProcessWidePragmasAreRefused) {
    start();
    auto a = raw();
    auto b = raw();
    EXPECT_EQ(exec(*b, "CREATE TABLE t(a); INSERT INTO t VALUES(1);"), RC::kSuccess);
    for (const char* sql : {"PRAGMA hard_heap_limit=300000;", "PRAGMA soft_heap_limit=1;",
                            "PRAGMA hard_heap_limit=1;", "PRAGMA temp_store_directory='/tmp';",
                            "PRAGMA locking_mode=EXCLUSIVE;", "PRAGMA mmap_size=1000000000;",
                            "PRAGMA cache_size=-10000000;", "PRAGMA cache_size=100000000;"})
        EXPECT_EQ(exec(*a, sql), RC::kFailure) << sql;
    for (const char* sql :
         {"PRAGMA cache_size=-2000;", "PRAGMA cache_size=2000;", "PRAGMA locking_mode=NORMAL;",
          "PRAGMA foreign_keys=ON;", "PRAGMA soft_heap_limit;", "PRAGMA table_info(t);"})
        EXPECT_EQ(exec(*a, sql), RC::kSuccess) << sql;
    // The other client, and a database opened afterwards, work as before.
    EXPECT_EQ(queryInt(*b, "SELECT COUNT(*) FROM t;"), 1);
    auto c = raw("otra");
    EXPECT_EQ(exec(*c, "CREATE TABLE u(a);"), RC::kSuccess);
    EXPECT_EQ(exec(*a, "BEGIN; INSERT INTO t VALUES(2); COMMIT;"), RC::kSuccess);
    EXPECT_EQ(exec(*b, "INSERT INTO t VALUES(3);"), RC::kSuccess);
}

// Links in the data folder that lead out of it are not followed by
// any request, existing or dangling; links that stay inside still work.
TEST_F(SqliteServerHostile, LinksLeavingTheDataFolderAreNotFollowed) {
    testing_server::TempDir outside;
    makeDatabase(outside.file("secreto.db"), "CREATE TABLE s(a); INSERT INTO s VALUES(42);");
    writeFile(outside.file("secreto.txt"), "secreto");
    makeDatabase(dir.file("real.db"), "CREATE TABLE r(a); INSERT INTO r VALUES(7);");
    ASSERT_EQ(::symlink(outside.file("secreto.db").c_str(), dir.file("link.db").c_str()), 0);
    ASSERT_EQ(::symlink(outside.file("nuevo.db").c_str(), dir.file("dangling.db").c_str()), 0);
    ASSERT_EQ(::symlink(outside.file("secreto.txt").c_str(), dir.file("file.txt").c_str()), 0);
    ASSERT_EQ(::symlink(outside.file("nuevo.txt").c_str(), dir.file("new.txt").c_str()), 0);
    ASSERT_EQ(::symlink(outside.path().c_str(), dir.file("carpeta").c_str()), 0);
    ASSERT_EQ(::symlink("real.db", dir.file("inside.db").c_str()), 0);
    start();
    RawClient c(server->port());
    NetMessage in;
    for (const char* name : {"link", "link.db", "dangling", "dangling.db"}) {
        EXPECT_EQ(c.askText(RC::kOpenDatabase, name, in), RC::kFailure) << name;
        EXPECT_EQ(c.askText(RC::kCreateDatabase, name, in), RC::kFailure) << name;
        NetMessage ask(RC::kDatabaseExists), answer;
        ask.addString(name).addInt(0);
        ASSERT_EQ(c.ask(ask, answer), RC::kScalar);
        EXPECT_FALSE(answer.readItem().toBool()) << name;
    }
    // A link inside the folder leads where it points.
    ASSERT_EQ(c.askText(RC::kOpenDatabase, "inside", in), RC::kSuccess);
    EXPECT_EQ(queryInt(c, "SELECT a FROM r;"), 7);
    NetMessage backup(RC::kBackupDatabase);
    backup.addString("dangling").addInt(1);
    EXPECT_EQ(c.ask(backup, in), RC::kFailure);
    std::string text;
    for (const std::string& target :
         {dir.file("dangling.db"), dir.file("carpeta/x.db"), dir.path() + "/sub/../../x.db"}) {
        EXPECT_EQ(exec(c, "ATTACH DATABASE '" + target + "' AS x;", &text), RC::kFailure) << target;
        EXPECT_EQ(exec(c, "VACUUM INTO '" + target + "';"), RC::kFailure) << target;
    }
    EXPECT_EQ(exec(c, "ATTACH DATABASE '" + dir.file("adjunta.db") + "' AS x; DETACH x;"),
              RC::kSuccess);
    // Files: no download, no append, no write through a folder link.
    for (const char* name : {"file.txt", "new.txt", "carpeta\\secreto.txt"}) {
        EXPECT_EQ(c.askText(RC::kDownloadFile, name, in), RC::kFailure) << name;
        NetMessage up(RC::kUploadFile);
        up.addString(name).addInt(1).addBytes("x", 1);
        EXPECT_EQ(c.ask(up, in), RC::kFailure) << name;
    }
    NetMessage up(RC::kUploadFile);
    up.addString("carpeta\\otro.txt").addInt(0).addBytes("x", 1);
    EXPECT_EQ(c.ask(up, in), RC::kFailure);
    // The listings name no file outside (nor its size or date).
    for (uint8_t code : {RC::kListFiles, RC::kListDatabases}) {
        NetMessage list(code);
        if (code == RC::kListDatabases) list.addString("*");
        ASSERT_EQ(c.ask(list, in), code == RC::kListFiles ? RC::kFileList : RC::kDatabaseList);
        DataSet set;
        in.readRows(set, true);
        std::set<std::string> names;
        for (int i = 0; i < set.rowCount(); ++i)
            names.insert(set.getCellText(i, 0).toStdString());
        EXPECT_EQ(names.count("link.db") + names.count("dangling.db") + names.count("file.txt") +
                      names.count("new.txt"),
                  0u);
        EXPECT_EQ(names.count("inside.db"), 1u);
        EXPECT_EQ(names.count("real.db"), 1u);
    }
    NetMessage listIn(RC::kListFilesIn);
    listIn.addString("carpeta").addString("");
    EXPECT_EQ(c.ask(listIn, in), RC::kFailure);
    // Nothing was made, changed or read outside.
    EXPECT_FALSE(exists(outside.file("nuevo.db")));
    EXPECT_FALSE(exists(outside.file("nuevo.txt")));
    EXPECT_FALSE(exists(outside.file("x.db")));
    EXPECT_FALSE(exists(outside.file("otro.txt")));
    EXPECT_FALSE(exists(dir.path() + "/../x.db"));
    EXPECT_EQ(readFile(outside.file("secreto.txt")), "secreto");
}

// A FIFO in the data folder is refused at once, by every request
// that could open it, and the server still stops on SIGTERM.
TEST_F(SqliteServerHostile, SpecialFilesAreRefusedWithoutBlocking) {
    ASSERT_EQ(::mkfifo(dir.file("tubo").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(dir.file("tubo.db").c_str(), 0600), 0);
    start();
    auto c = raw();
    NetMessage in;
    auto t = Clock::now();
    EXPECT_EQ(c->askText(RC::kDownloadFile, "tubo", in), RC::kFailure);
    EXPECT_EQ(in.readString(), String("tubo no es un archivo"));
    EXPECT_EQ(c->askText(RC::kFileText, "tubo", in), RC::kFailure);
    NetMessage up(RC::kUploadFile);
    up.addString("tubo").addInt(1).addBytes("x", 1);
    EXPECT_EQ(c->ask(up, in), RC::kFailure);
    EXPECT_EQ(exec(*c, "ATTACH DATABASE '" + dir.file("tubo.db") + "' AS x;"), RC::kFailure);
    RawClient other(server->port());
    EXPECT_EQ(other.askText(RC::kOpenDatabase, "tubo", in), RC::kFailure);
    EXPECT_LT(msSince(t), 3000);
    ASSERT_TRUE(alive(*c));
    int status = server->stop(5000);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// nextCounter is one step, so concurrent clients never get the
// same number.
TEST_F(SqliteServerHostile, CountersAreNeverHandedOutTwice) {
    start();
    {
        auto setup = raw();
        ASSERT_EQ(exec(*setup, "CREATE TABLE folios(id, n); INSERT INTO folios VALUES(1, 0);"),
                  RC::kSuccess);
    }
    constexpr int kClients = 12, kCalls = 60;
    std::vector<std::vector<int>> got(kClients);
    std::vector<std::thread> threads;
    std::atomic<int> locked{0};
    for (int i = 0; i < kClients; ++i) {
        threads.emplace_back([&, i] {
            auto c = raw();
            // A client may wait its turn for the write lock a while.
            c->setReceiveTimeout(60);
            for (int k = 0; k < kCalls; ++k) {
                NetMessage m(RC::kNextCounter), in;
                m.addString("folios").addString("id=1").addString("n");
                int code = c->ask(m, in);
                std::string text = code == RC::kFailure ? in.readString().toStdString() : "";
                // On a loaded machine a client may wait out the busy
                // time-out; that call then counts nothing.
                if (text.find("database is locked") != std::string::npos) {
                    ++locked;
                    continue;
                }
                ASSERT_EQ(code, RC::kScalar) << text;
                got[size_t(i)].push_back(in.readItem().toInt());
            }
        });
    }
    for (auto& t : threads)
        t.join();
    // Every number handed out once, none skipped, none lost.
    std::set<int> seen;
    size_t handed = 0;
    for (const auto& list : got) {
        seen.insert(list.begin(), list.end());
        handed += list.size();
    }
    EXPECT_LE(locked.load(), kClients * kCalls / 20);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.size(), handed);
    EXPECT_EQ(*seen.begin(), 1);
    EXPECT_EQ(size_t(*seen.rbegin()), handed);
    const int total = int(handed);
    // Inside a client's own transaction it counts as well (and rolls back).
    auto c = raw();
    ASSERT_EQ(exec(*c, "BEGIN;"), RC::kSuccess);
    NetMessage m(RC::kNextCounter), in;
    m.addString("folios").addString("id=1").addString("n");
    ASSERT_EQ(c->ask(m, in), RC::kScalar);
    EXPECT_EQ(in.readItem().toInt(), total + 1);
    ASSERT_EQ(exec(*c, "ROLLBACK;"), RC::kSuccess);
    EXPECT_EQ(queryInt(*c, "SELECT n FROM folios;"), total);
}

// After SIGTERM a statement waiting for a lock neither runs nor
// commits, and its client gets code 3.
TEST_F(SqliteServerHostile, AStopCommitsNothingAndAnswersTheWaitingRequests) {
    start();
    auto holder = raw();
    ASSERT_EQ(exec(*holder, "CREATE TABLE t(a);"), RC::kSuccess);
    ASSERT_EQ(exec(*holder, "BEGIN IMMEDIATE; INSERT INTO t VALUES(1);"), RC::kSuccess);
    std::vector<std::unique_ptr<RawClient>> waiting;
    for (int i = 0; i < 3; ++i) {
        waiting.push_back(raw());
        NetMessage m(RC::kExecute);
        m.addString(String("INSERT INTO t VALUES(" + std::to_string(i + 2) + ");"));
        waiting.back()->send(m);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(::kill(server->pid(), SIGTERM), 0);
    for (auto& w : waiting) {
        NetMessage in;
        ASSERT_EQ(w->receive(in), RC::kFailure);
        EXPECT_FALSE(in.readString().isEmpty());
    }
    int status = server->stop(10000);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dir.file("datos.db").c_str(), &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM t;", -1, &st, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(st, 0), 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
}

// An answer larger than --max-answer fails with code 3 and says
// why; so do a value and a file larger than that. The client goes on.
TEST_F(SqliteServerHostile, AnswersLargerThanTheLimitFailClearly) {
    start({"--max-answer", "64K"});
    auto c = raw();
    ASSERT_EQ(exec(*c,
                   "CREATE TABLE t(a);"
                   "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<2000)"
                   " INSERT INTO t SELECT printf('%0100d', i) FROM n;"),
              RC::kSuccess);
    NetMessage in;
    NetMessage q(RC::kQueryDataset);
    q.addString("SELECT a FROM t;").addString("");
    ASSERT_EQ(c->ask(q, in), RC::kFailure);
    std::string text = in.readString().toStdString();
    EXPECT_NE(text.find("supera el límite de 65536 bytes"), std::string::npos) << text;
    NetMessage table(RC::kOpenTable);
    table.addString("t").addString("").addString("");
    EXPECT_EQ(c->ask(table, in), RC::kFailure);
    // Within the limit: answered.
    NetMessage small(RC::kQueryDataset);
    small.addString("SELECT a FROM t LIMIT 100;").addString("");
    ASSERT_EQ(c->ask(small, in), RC::kRows);
    DataSet set;
    in.readRows(set, true);
    EXPECT_EQ(set.rowCount(), 100);
    // No single value beyond the limit is even built.
    EXPECT_EQ(queryInt(*c, "SELECT length(zeroblob(100000));"), -1);
    writeFile(dir.file("grande.bin"), std::string(100000, 'x'));
    EXPECT_EQ(c->askText(RC::kDownloadFile, "grande.bin", in), RC::kFailure);
    EXPECT_TRUE(alive(*c));
}

// Simultaneous updates of one database all succeed, and a client
// that had it open goes on writing to the new file.
TEST_F(SqliteServerHostile, SimultaneousUpdatesOfOneDatabase) {
    start();
    auto bystander = client();
    ASSERT_TRUE(bystander->openDatabase("datos"));
    bystander->execute("CREATE TABLE t(a);");
    bystander->execute("INSERT INTO t VALUES(1);");
    for (int round = 0; round < 4; ++round) {
        std::atomic<int> failures{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < 2; ++i) {
            threads.emplace_back([&, i] {
                auto c = client();
                try {
                    c->openDatabase("datos");
                    String schema(std::string("CREATE TABLE t(a, b DEFAULT ") +
                                  std::to_string(round * 2 + i) + ");");
                    DataSet defaults;
                    if (!c->updateDatabase(&schema, &defaults, nullptr)) ++failures;
                } catch (const GeneralException& e) {
                    ADD_FAILURE() << e.what();
                    ++failures;
                }
                c->disconnect();
            });
        }
        for (auto& t : threads)
            t.join();
        EXPECT_EQ(failures.load(), 0) << "round " << round;
        // The bystander writes to the database as it is now.
        bystander->execute("INSERT INTO t(a) VALUES(2);");
    }
    EXPECT_EQ(bystander->queryInt("SELECT COUNT(*) FROM t;"), 5);
    EXPECT_EQ(bystander->queryInt("SELECT COUNT(*) FROM pragma_table_info('t');"), 2);
    // No update left a file of its own behind.
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_NE(e.path().filename().string().rfind("_TMP_", 0), 0u) << e.path();
    bystander->disconnect();
    ConnectionNotifier::dispatchPending();
}

// A client that sends nothing, or leaves a transaction open, is closed;
// beats keep a connection alive.
TEST_F(SqliteServerHostile, IdleClientsAndForgottenTransactionsAreClosed) {
    start({"--idle-timeout", "1", "--transaction-timeout", "2"});
    auto beating = raw();
    auto idle = raw();
    auto forgetful = raw();
    auto halfway = raw();
    halfway->sendRaw(testing_server::le32(64) + std::string(1, char(RC::kExecute)));
    ASSERT_EQ(exec(*forgetful, "CREATE TABLE t(a); BEGIN IMMEDIATE; INSERT INTO t VALUES(1);"),
              RC::kSuccess);
    auto t = Clock::now();
    for (int i = 0; i < 10; ++i) {
        NetMessage beat(RC::kKeepAlive), beat2(RC::kKeepAlive);
        beating->send(beat);
        // Beats keep a connection, not a transaction.
        try {
            forgetful->send(beat2);
        } catch (const GeneralException&) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    NetMessage in;
    // Silent for over a second: closed.
    EXPECT_EQ(idle->receive(in), -1);
    // Half a message is no more than silence.
    EXPECT_EQ(halfway->receive(in), -1);
    // The transaction lasted past its time-out: rolled back, client closed.
    EXPECT_EQ(forgetful->receive(in), -1);
    EXPECT_GE(msSince(t), 2000);
    EXPECT_TRUE(alive(*beating));
    EXPECT_EQ(exec(*beating, "INSERT INTO t VALUES(2);"), RC::kSuccess);
    EXPECT_EQ(queryInt(*beating, "SELECT COUNT(*) FROM t;"), 1);
    EXPECT_TRUE(server->waitForLine("closed: idle"));
    EXPECT_TRUE(server->waitForLine("closed: idle in the middle of a message"));
    EXPECT_TRUE(server->waitForLine("closed: transaction left open without a request"));
    EXPECT_TRUE(server->waitForLine("open transaction rolled back"));
}

// The login: users made with --add-user; nothing but the login (and beats)
// is served before it; the client sends it when given a user.
TEST_F(SqliteServerHostile, LoginRequiredWithAUserFile) {
    testing_server::TempDir etc;
    std::string users = etc.file("usuarios");
    std::string command = std::string(QUELMIR_SERVER_BIN) + " --add-user " + users + " ana";
    FILE* add = ::popen(command.c_str(), "w");
    ASSERT_NE(add, nullptr);
    std::fputs("clave de ana\n", add);
    ASSERT_EQ(::pclose(add), 0);
    std::string line = readFile(users);
    EXPECT_EQ(line.compare(0, 18, "ana:pbkdf2-sha256$"), 0) << line;
    EXPECT_EQ(line.find("clave"), std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat(users.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    start({"--users", users});
    RawClient c(server->port());
    NetMessage in;
    EXPECT_EQ(c.askText(RC::kOpenDatabase, "datos", in), RC::kFailure);
    EXPECT_EQ(in.readString(), String("autenticación requerida"));
    NetMessage beat(RC::kKeepAlive);
    c.send(beat);
    NetMessage info(RC::kIntQuery);
    info.addInt(0);
    EXPECT_EQ(c.ask(info, in), RC::kFailure);
    EXPECT_EQ(in.readString(), String("autenticación requerida"));
    NetMessage wrong(RC::kLogin);
    wrong.addString("ana").addString("otra clave");
    EXPECT_EQ(c.ask(wrong, in), RC::kFailure);
    EXPECT_EQ(in.readString(), String("Usuario o contraseña incorrectos"));
    NetMessage nobody(RC::kLogin);
    nobody.addString("pedro").addString("clave de ana");
    EXPECT_EQ(c.ask(nobody, in), RC::kFailure);
    EXPECT_EQ(c.askText(RC::kOpenDatabase, "datos", in), RC::kFailure);
    NetMessage right(RC::kLogin);
    right.addString("ana").addString("clave de ana");
    EXPECT_EQ(c.ask(right, in), RC::kSuccess);
    EXPECT_EQ(c.askText(RC::kOpenDatabase, "datos", in), RC::kSuccess);
    EXPECT_TRUE(server->waitForLine("user 'ana'"));
    EXPECT_TRUE(server->waitForLine("login refused for 'pedro'"));

    // The connection sends the login it is given.
    auto good = client("ana", "clave de ana");
    EXPECT_TRUE(good->openDatabase("datos"));
    good->disconnect();
    SqliteClientConnection bad(false);
    EXPECT_FALSE(bad.connect(String(server->address()), "ana", "mala", false, "-"));
    EXPECT_NE(bad.lastError().view().find("Usuario o contraseña incorrectos"), std::string::npos);
    auto anonymous = client();
    EXPECT_FALSE(anonymous->openDatabase("datos"));
    EXPECT_THROW(anonymous->queryInt("SELECT 1;"), GeneralException);
    anonymous->disconnect();
    ConnectionNotifier::dispatchPending();
}

// Listening beyond this machine without a user file is written to the log
// as a warning; on loopback it is not.
TEST(SqliteServerListen, WarnsWhenReachableFromElsewhereWithoutUsers) {
    testing_server::TempDir dir;
    std::mutex mutex;
    std::vector<std::string> lines;
    ServerLog::setSink([&](const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(line);
    });
    for (const char* address : {"0.0.0.0", "127.0.0.1"}) {
        ServerConfig config;
        config.dataDir = dir.path();
        config.listenAddress = address;
        config.port = 0;
        Server server(config);
        server.start();
    }
    ServerLog::setSink({});
    int warnings = 0;
    for (const std::string& line : lines)
        if (line.find("warning") != std::string::npos) {
            ++warnings;
            EXPECT_NE(line.find("0.0.0.0 without --users"), std::string::npos) << line;
            EXPECT_NE(line.find("SSH tunnel"), std::string::npos) << line;
        }
    EXPECT_EQ(warnings, 1);
}
