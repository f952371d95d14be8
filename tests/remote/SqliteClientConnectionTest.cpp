#include "remote/SqliteClientConnection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "db/ConnectionDialogs.h"
#include "remote/NetMessage.h"
#include "remote/RemoteCodes.h"
#include "tests/remote/FakeServer.h"

using VORLIN::ConnectionDialogs;
using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::DbConnection;
using VORLIN::GeneralException;
using VORLIN::NetMessage;
using VORLIN::SqliteClientConnection;
using VORLIN::String;
namespace RC = VORLIN::RemoteCode;

namespace {

using Clock = std::chrono::steady_clock;

// Scripted dialogs, installed for one test.
class TestDialogs : public ConnectionDialogs {
public:
    TestDialogs() { install(this); }
    ~TestDialogs() override { install(nullptr); }

    bool chooseRemoteServer(String& server, int& port) override {
        ++serverAsked;
        shownServer = server;
        shownPort = port;
        if (serverAnswers.empty()) return false;
        auto [s, p] = serverAnswers.front();
        serverAnswers.erase(serverAnswers.begin());
        server = String(s);
        port = p;
        return true;
    }
    bool selectRemoteDatabase(DbConnection& connection, const String& host, const String& database,
                              DatabaseChoice& choice) override {
        ++databaseAsked;
        shownHost = host;
        shownDatabase = database;
        connected = connection.isConnected();
        if (chosenDatabase.empty()) return false;
        choice.folder = host;
        choice.database = String(chosenDatabase);
        return true;
    }

    std::vector<std::pair<std::string, int>> serverAnswers;
    std::string chosenDatabase;
    int serverAsked = 0, databaseAsked = 0, shownPort = 0;
    String shownServer, shownHost, shownDatabase;
    bool connected = false;
};

// Answers each request with the answer `reply` gives for it, until the
// client disconnects; records the codes seen.
struct Responder {
    std::function<void(NetMessage& in, fake::FakePeer& peer)> reply;
    std::vector<int> codes;
    void operator()(fake::FakePeer& peer) {
        NetMessage in;
        while (peer.receive(in)) {
            if (in.code() == RC::kKeepAlive) continue;
            codes.push_back(in.code());
            if (in.code() == RC::kDisconnect) return;
            reply(in, peer);
        }
    }
};

void answerScalar(fake::FakePeer& peer, const DataItem& item) {
    NetMessage a(RC::kScalar);
    a.addItem(item);
    peer.send(a);
}

DataItem boolItem(bool b) {
    DataItem i;
    i.setBool(b);
    return i;
}

}  // namespace

TEST(SqliteClientConnection, AddressForms) {
    EXPECT_TRUE(SqliteClientConnection::isCompleteAddress("LocalHost:6540"));
    EXPECT_FALSE(SqliteClientConnection::isCompleteAddress("LocalHost"));
    EXPECT_FALSE(SqliteClientConnection::isCompleteAddress("LocalHost:"));
    EXPECT_FALSE(SqliteClientConnection::isCompleteAddress("LocalHost:65x"));
    EXPECT_FALSE(SqliteClientConnection::isCompleteAddress(""));
    EXPECT_EQ(SqliteClientConnection::remotePath("a.txt", "docs"), String("docs\\a.txt"));
    EXPECT_EQ(SqliteClientConnection::remotePath("a.txt", ""), String("a.txt"));
}

TEST(SqliteClientConnection, RequestsWithoutConnectionThrow) {
    SqliteClientConnection c(false);
    EXPECT_FALSE(c.isConnected());
    try {
        c.execute("SELECT 1;");
        ADD_FAILURE();
    } catch (const GeneralException& e) {
        EXPECT_STREQ(e.what(), "SqliteClient is not connected");
    }
    EXPECT_EQ(c.lastError(), String("SqliteClient is not connected"));
    EXPECT_THROW(c.queryInt("SELECT 1;"), GeneralException);
    EXPECT_THROW(c.openDatabase("x"), GeneralException);
    EXPECT_NO_THROW(c.disconnect());
    // The label is kept even without a connection.
    c.setLabel("Ventas");
    EXPECT_EQ(c.getLabel(), String("Ventas"));
}

TEST(SqliteClientConnection, ConnectOnlyWithDash) {
    Responder r{[](NetMessage&, fake::FakePeer&) {}, {}};
    fake::FakeServer server(std::ref(r));
    SqliteClientConnection c(false);
    ASSERT_TRUE(c.connect(String(server.address()), "", "", false, "-"));
    EXPECT_TRUE(c.isConnected());
    EXPECT_EQ(c.getHost(), String(server.address()));
    c.disconnect();
    EXPECT_FALSE(c.isConnected());
    ASSERT_TRUE(server.waitFinished(5000));
    EXPECT_EQ(r.codes, std::vector<int>({RC::kDisconnect}));
}

TEST(SqliteClientConnection, ConnectWithoutDatabaseSendsTheLabel) {
    String label;
    Responder r{[&](NetMessage& in, fake::FakePeer& peer) {
                    if (in.code() == RC::kSetLabel) label = in.readString();
                    peer.sendCode(RC::kSuccess);
                },
                {}};
    fake::FakeServer server(std::ref(r));
    SqliteClientConnection c(false);
    c.setLabel("Caja");
    ASSERT_TRUE(c.connect(String(server.address()), "", "", false, ""));
    c.disconnect();
    ASSERT_TRUE(server.waitFinished(5000));
    EXPECT_EQ(label, String("Caja"));
    EXPECT_EQ(r.codes, std::vector<int>({RC::kSetLabel, RC::kDisconnect}));
}

TEST(SqliteClientConnection, ConnectOpensAnExistingDatabase) {
    Responder r{[](NetMessage& in, fake::FakePeer& peer) {
                    if (in.code() == RC::kDatabaseExists) {
                        EXPECT_EQ(in.readString(), String("ventas"));
                        EXPECT_EQ(in.readInt(), 1);
                        answerScalar(peer, boolItem(true));
                    } else {
                        peer.sendCode(RC::kSuccess);
                    }
                },
                {}};
    fake::FakeServer server(std::ref(r));
    SqliteClientConnection c(false);
    ASSERT_TRUE(c.connect(String(server.address()), "", "", false, "ventas"));
    EXPECT_EQ(c.getAlias(), String("ventas"));
    c.disconnect();
    ASSERT_TRUE(server.waitFinished(5000));
    EXPECT_EQ(r.codes, std::vector<int>({RC::kSetLabel, RC::kDatabaseExists, RC::kOpenDatabase,
                                         RC::kDisconnect}));
}

TEST(SqliteClientConnection, MissingDatabaseGoesToTheDialog) {
    String opened;
    Responder r{[&](NetMessage& in, fake::FakePeer& peer) {
                    if (in.code() == RC::kDatabaseExists) {
                        answerScalar(peer, boolItem(false));
                        return;
                    }
                    if (in.code() == RC::kOpenDatabase) opened = in.readString();
                    peer.sendCode(RC::kSuccess);
                },
                {}};
    fake::FakeServer server(std::ref(r));
    {
        TestDialogs dialogs;
        dialogs.chosenDatabase = "otra";
        SqliteClientConnection c(false);
        ASSERT_TRUE(c.connect(String(server.address()), "", "", true, "ventas"));
        EXPECT_EQ(dialogs.databaseAsked, 1);
        EXPECT_TRUE(dialogs.connected);
        EXPECT_EQ(dialogs.shownDatabase, String("ventas"));
        EXPECT_EQ(c.getAlias(), String("otra"));
    }
    ASSERT_TRUE(server.waitFinished(5000));
    EXPECT_EQ(opened, String("otra"));
}

TEST(SqliteClientConnection, IncompleteAddressWithoutDialogsIsCancelled) {
    SqliteClientConnection c(false);
    EXPECT_FALSE(c.connect("127.0.0.1", "", "", true, ""));
    EXPECT_FALSE(c.isConnected());
    EXPECT_FALSE(c.lastError().isEmpty());
}

TEST(SqliteClientConnection, IncompleteAddressAsksForTheServer) {
    Responder r{[](NetMessage&, fake::FakePeer& peer) { peer.sendCode(RC::kSuccess); }, {}};
    fake::FakeServer server(std::ref(r));
    TestDialogs dialogs;
    dialogs.serverAnswers.push_back({"127.0.0.1", server.port()});
    SqliteClientConnection c(false);
    ASSERT_TRUE(c.connect("", "", "", true, ""));
    EXPECT_EQ(dialogs.shownServer, String("LocalHost"));
    EXPECT_EQ(dialogs.shownPort, 6540);
    EXPECT_EQ(c.getHost(), String(server.address()));
}

TEST(SqliteClientConnection, RefusedServerAsksAgainUntilCancelled) {
    int port;
    {
        // A port that was open a moment ago and is closed now.
        fake::FakeServer gone([](fake::FakePeer&) {});
        port = gone.port();
    }
    TestDialogs dialogs;
    SqliteClientConnection c(false);
    EXPECT_FALSE(c.connect(String("127.0.0.1:" + std::to_string(port)), "", "", true, ""));
    EXPECT_EQ(dialogs.serverAsked, 1);
    EXPECT_EQ(c.lastError(), String("TcpSocket.connect\r\nEl intento de conexión fue rechazado."));
    // Not interactive: no dialog.
    EXPECT_FALSE(c.connect(String("127.0.0.1:" + std::to_string(port)), "", "", false, ""));
    EXPECT_EQ(dialogs.serverAsked, 1);
}

TEST(SqliteClientConnection, OpenDatabaseReportsRefusalByItsResult) {
    Responder r{[](NetMessage& in, fake::FakePeer& peer) {
                    if (in.code() == RC::kOpenDatabase) {
                        NetMessage a(RC::kFailure);
                        a.addString("El archivo no es una base de Sqlite3");
                        peer.send(a);
                        return;
                    }
                    peer.sendCode(RC::kSuccess);
                },
                {}};
    fake::FakeServer server(std::ref(r));
    SqliteClientConnection c(false);
    ASSERT_TRUE(c.connect(String(server.address()), "", "", false, "-"));
    EXPECT_FALSE(c.openDatabase("texto"));
    EXPECT_EQ(c.lastError(), String("El archivo no es una base de Sqlite3"));
    EXPECT_TRUE(c.isConnected());
}

TEST(SqliteClientConnection, NoRowAnswers) {
    Responder r{[](NetMessage&, fake::FakePeer& peer) { answerScalar(peer, DataItem()); }, {}};
    fake::FakeServer server(std::ref(r));
    SqliteClientConnection c(false);
    ASSERT_TRUE(c.connect(String(server.address()), "", "", false, "-"));
    EXPECT_EQ(c.queryNewDataRow("SELECT * FROM t WHERE 0;"), nullptr);
    DataRow row(1);
    row.cell(0)->setString("antes");
    c.queryDataRow("SELECT * FROM t WHERE 0;", &row);
    EXPECT_EQ(row.cell(0)->text(), String("antes"));
    EXPECT_EQ(c.queryInt("SELECT x FROM t WHERE 0;"), 0);
    EXPECT_EQ(c.queryString("SELECT x FROM t WHERE 0;"), String(""));
}

TEST(SqliteClientConnection, NotifyIsSentWithoutWaiting) {
    Responder r{[](NetMessage&, fake::FakePeer&) {}, {}};
    fake::FakeServer server(std::ref(r));
    SqliteClientConnection c(false);
    c.setRequestTimeout(300);
    ASSERT_TRUE(c.connect(String(server.address()), "", "", false, "-"));
    auto t = Clock::now();
    c.remoteNotify();
    EXPECT_LT(Clock::now() - t, std::chrono::milliseconds(250));
    EXPECT_TRUE(c.isConnected());
    c.disconnect();
    ASSERT_TRUE(server.waitFinished(5000));
    EXPECT_EQ(r.codes, std::vector<int>({RC::kNotify, RC::kDisconnect}));
}

TEST(SqliteClientConnection, KeepAliveRunsWhileConnected) {
    std::atomic<int> beats{0};
    fake::FakeServer server([&](fake::FakePeer& peer) {
        NetMessage in;
        while (peer.receive(in)) {
            if (in.code() == RC::kKeepAlive) ++beats;
            if (in.code() == RC::kDisconnect) return;
        }
    });
    SqliteClientConnection c(true);
    c.setKeepAliveInterval(20);
    ASSERT_TRUE(c.connect(String(server.address()), "", "", false, "-"));
    ASSERT_NE(c.keepAliveLine(), nullptr);
    auto until = Clock::now() + std::chrono::seconds(5);
    while (beats < 2 && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(beats.load(), 2);
    auto t = Clock::now();
    c.disconnect();
    EXPECT_LT(Clock::now() - t, std::chrono::milliseconds(1500));
    EXPECT_EQ(c.keepAliveLine(), nullptr);
}

TEST(SqliteClientConnection, AUserNameSendsTheLoginFirstAndARefusalEndsTheConnection) {
    String user, password;
    Responder r{[&](NetMessage& in, fake::FakePeer& peer) {
                    if (in.code() == RC::kLogin) {
                        user = in.readString();
                        password = in.readString();
                    }
                    peer.sendCode(RC::kSuccess);
                },
                {}};
    fake::FakeServer server(std::ref(r));
    SqliteClientConnection c(false);
    ASSERT_TRUE(c.connect(String(server.address()), "ana", "clave secreta", false, ""));
    c.disconnect();
    ASSERT_TRUE(server.waitFinished(5000));
    EXPECT_EQ(user, String("ana"));
    EXPECT_EQ(password, String("clave secreta"));
    EXPECT_EQ(r.codes, std::vector<int>({RC::kLogin, RC::kSetLabel, RC::kDisconnect}));

    // Refused: connect answers false with the server's text, and the
    // connection is given up.
    fake::FakeServer refusing([](fake::FakePeer& peer) {
        if (!peer.expect(RC::kLogin)) return;
        NetMessage no(RC::kFailure);
        no.addString("Usuario o contraseña incorrectos");
        peer.send(no);
        peer.waitClosed(3000);
    });
    SqliteClientConnection d(false);
    EXPECT_FALSE(d.connect(String(refusing.address()), "ana", "mala", false, "-"));
    EXPECT_NE(d.lastError().view().find("Usuario o contraseña incorrectos"), std::string::npos)
        << d.lastError().view();
    EXPECT_FALSE(d.isConnected());
    EXPECT_TRUE(refusing.waitFinished(5000));
}

TEST(SqliteClientConnection, AServerWithoutLoginIsReachedWithAUserName) {
    // A server from before the login answers it as an unknown request.
    std::vector<int> codes;
    fake::FakeServer old([&](fake::FakePeer& peer) {
        NetMessage in;
        while (peer.receive(in)) {
            if (in.code() == RC::kKeepAlive) continue;
            codes.push_back(in.code());
            if (in.code() == RC::kDisconnect) return;
            if (in.code() == RC::kLogin) {
                NetMessage no(RC::kFailure);
                no.addString("Peticion desconocida: codigo 31");
                peer.send(no);
            } else {
                peer.sendCode(RC::kSuccess);
            }
        }
    });
    SqliteClientConnection c(false);
    ASSERT_TRUE(c.connect(String(old.address()), "ana", "clave", false, ""))
        << c.lastError().view();
    EXPECT_TRUE(c.isConnected());
    c.disconnect();
    ASSERT_TRUE(old.waitFinished(5000));
    EXPECT_EQ(codes, std::vector<int>({RC::kLogin, RC::kSetLabel, RC::kDisconnect}));
}
