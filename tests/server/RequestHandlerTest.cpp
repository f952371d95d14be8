#include "server/RequestHandler.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "data/DataRow.h"
#include "data/DataSet.h"
#include "remote/NetMessage.h"
#include "remote/RemoteCodes.h"
#include "server/SafePath.h"
#include "server/ServerLog.h"
#include "server/SqliteGuard.h"
#include "tests/server/ServerProcess.h"

using VORLIN::DataItem;
using VORLIN::DataSet;
using VORLIN::NetMessage;
using VORLIN::String;
namespace RC = VORLIN::RemoteCode;

namespace {

// The received form of a built message.
std::unique_ptr<NetMessage> received(NetMessage& built) {
    auto in = std::make_unique<NetMessage>();
    String wire = built.wireImage();
    uint32_t n = wire.length() - 4;
    in->body().reset(n);
    std::memcpy(in->body().buffer(), wire.c_str() + 4, n);
    in->body().setLoading(true);
    in->body().setDataSize(n);
    in->setCode(in->body().readByte());
    return in;
}

class SqliteServerHandler : public ::testing::Test {
protected:
    void SetUp() override {
        ServerLog::setSink([this](const std::string& line) { log.push_back(line); });
        root = SafePath::realFolder(dir.path());
        SqliteGuard::allowRoot(root);
        RequestHandler::Context c;
        c.dataDir = root;
        c.clientId = 3;
        c.maxMessage = 1 << 20;
        c.clientCount = [] { return 2; };
        handler = std::make_unique<RequestHandler>(c);
    }
    void TearDown() override {
        handler.reset();
        ServerLog::setSink(nullptr);
    }

    // Sends a request; answers the received form of the answer (null when none).
    std::unique_ptr<NetMessage> ask(NetMessage& request) {
        auto in = received(request);
        RequestHandler::Outcome o = handler->handle(*in);
        closed = o.close;
        return o.answer ? received(*o.answer) : nullptr;
    }
    std::unique_ptr<NetMessage> ask(uint8_t code, const char* text = nullptr) {
        NetMessage m(code);
        if (text) m.addString(text);
        return ask(m);
    }
    // The failure text of an answer ("" when it is not a failure).
    static std::string failureOf(NetMessage* a) {
        if (!a || a->code() != RC::kFailure) return "";
        return std::string(a->readString().view());
    }
    void open(const char* name) {
        auto a = ask(RC::kOpenDatabase, name);
        ASSERT_EQ(a->code(), RC::kSuccess) << failureOf(a.get());
    }
    void exec(const char* sql) {
        auto a = ask(RC::kExecute, sql);
        ASSERT_EQ(a->code(), RC::kSuccess) << failureOf(a.get());
    }

    testing_server::TempDir dir;
    std::string root;
    std::unique_ptr<RequestHandler> handler;
    std::vector<std::string> log;
    bool closed = false;
};

}  // namespace

TEST_F(SqliteServerHandler, UnknownCodeIsNamedInTheAnswer) {
    auto a = ask(77);
    EXPECT_EQ(failureOf(a.get()), "Peticion desconocida: codigo 77");
}

TEST_F(SqliteServerHandler, UndecodableArgumentsGiveAFailure) {
    auto a = ask(RC::kExecute);
    EXPECT_EQ(failureOf(a.get()),
              "Peticion 8 (execute): argumentos invalidos: Archive: end of file");
}

TEST_F(SqliteServerHandler, AnswerlessRequests) {
    EXPECT_EQ(ask(RC::kKeepAlive), nullptr);
    EXPECT_EQ(ask(RC::kSuccess), nullptr);
    EXPECT_EQ(ask(RC::kNotify), nullptr);
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("client 3 (): notice"), std::string::npos);
    EXPECT_FALSE(closed);
    EXPECT_EQ(ask(RC::kDisconnect), nullptr);
    EXPECT_TRUE(closed);
}

TEST_F(SqliteServerHandler, DatabasesAreFilesOfTheFolder) {
    open("ventas");
    EXPECT_EQ(::access(dir.file("ventas.db").c_str(), F_OK), 0);
    open("ventas.db");  // the same file
    exec("CREATE TABLE t(a INTEGER);");
    NetMessage e(RC::kDatabaseExists);
    e.addString("ventas").addInt(1);
    auto a = ask(e);
    ASSERT_EQ(a->code(), RC::kScalar);
    EXPECT_TRUE(a->readItem().toBool());
    auto list = ask(RC::kListDatabases, "");
    ASSERT_EQ(list->code(), RC::kDatabaseList);
    DataSet set;
    list->readRows(set, true);
    ASSERT_EQ(set.rowCount(), 1);
    EXPECT_EQ(set.getCellText(0, 0), String("ventas.db"));
}

TEST_F(SqliteServerHandler, NamesCannotLeaveTheFolder) {
    for (const char* bad : {"../fuera", "/tmp/x", "a/b", "..", "C:\\x", ".oculto", ""}) {
        if (!*bad) continue;  // an empty name closes the database
        for (uint8_t code : {RC::kOpenDatabase, RC::kCreateDatabase}) {
            auto a = ask(code, bad);
            EXPECT_EQ(failureOf(a.get()).rfind("Nombre de base de datos invalido", 0), 0u) << bad;
        }
        NetMessage b(RC::kBackupDatabase);
        b.addString(bad).addInt(1);
        EXPECT_EQ(failureOf(ask(b).get()).rfind("Nombre de base de datos invalido", 0), 0u);
    }
    // File paths may name subfolders, never leave the folder.
    for (const char* bad : {"../fuera", "/tmp/x", "a/../../b", "..", "C:\\x", ".oculto", "", "a//b",
                            "docs\\..\\..\\x"}) {
        for (uint8_t code : {RC::kDownloadFile, RC::kFileText}) {
            auto a = ask(code, bad);
            EXPECT_EQ(failureOf(a.get()).rfind("Ruta de archivo invalida", 0), 0u) << bad;
        }
        NetMessage u(RC::kUploadFile);
        u.addString(bad).addInt(0).addBytes("x", 1);
        EXPECT_EQ(failureOf(ask(u).get()).rfind("Ruta de archivo invalida", 0), 0u) << bad;
    }
    EXPECT_NE(::access((root + "/../fuera.db").c_str(), F_OK), 0);
    EXPECT_NE(::access((root + "/../fuera").c_str(), F_OK), 0);
}

TEST_F(SqliteServerHandler, SqlCannotAttachFilesOutside) {
    open("a");
    testing_server::TempDir outside;
    std::string attach = "ATTACH DATABASE '" + outside.file("x.db") + "' AS x;";
    EXPECT_NE(failureOf(ask(RC::kExecute, attach.c_str()).get()).find("not authorized"),
              std::string::npos);
    std::string vacuum = "VACUUM INTO '" + outside.file("copia.db") + "';";
    EXPECT_NE(failureOf(ask(RC::kExecute, vacuum.c_str()).get()), "");
    EXPECT_NE(::access(outside.file("x.db").c_str(), F_OK), 0);
    EXPECT_NE(::access(outside.file("copia.db").c_str(), F_OK), 0);
    EXPECT_NE(failureOf(ask(RC::kExecute, "PRAGMA temp_store_directory='/tmp';").get()), "");
    // Inside the folder it is allowed.
    std::string inside = "ATTACH DATABASE '" + root + "/b.db' AS b; DETACH DATABASE b;";
    exec(inside.c_str());
}

TEST_F(SqliteServerHandler, UpdateDatabaseSchemaCannotAttachOutside) {
    open("a");
    exec("CREATE TABLE t(a);");
    testing_server::TempDir outside;
    std::string schema = "CREATE TABLE t(a); ATTACH DATABASE '" + outside.file("x.db") +
                         "' AS x; CREATE TABLE x.y(b);";
    NetMessage m(RC::kUpdateDatabase);
    DataSet none;
    m.addString(String(schema)).addDataSet(none);
    EXPECT_NE(failureOf(ask(m).get()), "");
    EXPECT_NE(::access(outside.file("x.db").c_str(), F_OK), 0);
}

TEST_F(SqliteServerHandler, ChangesCountsTheRowsOfAText) {
    open("a");
    exec("CREATE TABLE t(a); INSERT INTO t VALUES(1); INSERT INTO t VALUES(2);");
    auto a = ask(RC::kTextToInt, "UPDATE t SET a=a+1; DELETE FROM t WHERE a=3;");
    ASSERT_EQ(a->code(), RC::kScalar) << failureOf(a.get());
    EXPECT_EQ(a->readItem().toInt(), 3);
}

TEST_F(SqliteServerHandler, BusyTimeoutAndServerInfo) {
    NetMessage set(RC::kIntCommand);
    set.addInt(1234);
    EXPECT_EQ(ask(set)->code(), RC::kSuccess);
    EXPECT_EQ(handler->busyTimeoutMs(), 1234);
    auto info = [&](int what) {
        NetMessage m(RC::kIntQuery);
        m.addInt(what);
        auto a = ask(m);
        return a->code() == RC::kScalar ? a->readItem().toInt() : -999;
    };
    EXPECT_EQ(info(0), RequestHandler::kProtocolVersion);
    EXPECT_EQ(info(1), 2);
    EXPECT_EQ(info(2), 3);
    EXPECT_EQ(info(3), 0);
    open("a");
    EXPECT_EQ(ask(RC::kBeginTransaction)->code(), RC::kSuccess);
    EXPECT_EQ(info(3), 1);
    EXPECT_EQ(info(5), 1234);
    EXPECT_EQ(info(99), -999);
}

TEST_F(SqliteServerHandler, EchoAnswersItsValue) {
    NetMessage m(RC::kIntQuery2);
    m.addInt(20);
    auto a = ask(m);
    ASSERT_EQ(a->code(), RC::kScalar);
    EXPECT_EQ(a->readItem().toInt(), 20);
}

TEST_F(SqliteServerHandler, ResetSessionRollsBackAndCloses) {
    open("a");
    exec("CREATE TABLE t(a);");
    EXPECT_EQ(ask(RC::kBeginTransaction)->code(), RC::kSuccess);
    exec("INSERT INTO t VALUES(1);");
    EXPECT_EQ(ask(RC::kCommand)->code(), RC::kSuccess);
    EXPECT_EQ(failureOf(ask(RC::kQueryItem, "SELECT 1;").get()),
              "No se ha abierto ninguna base de datos");
    open("a");
    auto a = ask(RC::kQueryItem, "SELECT COUNT(*) FROM t;");
    EXPECT_EQ(a->readItem().toInt(), 0);
}

TEST_F(SqliteServerHandler, EndSessionRollsBackAnOpenTransaction) {
    open("a");
    exec("CREATE TABLE t(a);");
    exec("BEGIN; INSERT INTO t VALUES(1);");  // begun by SQL, not by request
    EXPECT_TRUE(handler->endSession());
    EXPECT_FALSE(handler->endSession());
    // The next client sees no trace of it.
    TearDown();
    SetUp();
    open("a");
    EXPECT_EQ(ask(RC::kQueryItem, "SELECT COUNT(*) FROM t;")->readItem().toInt(), 0);
}

TEST_F(SqliteServerHandler, FilesUpDownAndListed) {
    NetMessage up(RC::kUploadFile);
    up.addString("docs\\notas.txt").addInt(0).addBytes("hola", 4);
    ASSERT_EQ(ask(up)->code(), RC::kSuccess);
    NetMessage more(RC::kUploadFile);
    more.addString("docs/notas.txt").addInt(1).addBytes(" mundo", 6);
    ASSERT_EQ(ask(more)->code(), RC::kSuccess);
    auto text = ask(RC::kFileText, "docs\\notas.txt");
    ASSERT_EQ(text->code(), RC::kScalar);
    EXPECT_EQ(text->readItem().text(), String("hola mundo"));
    auto down = ask(RC::kDownloadFile, "docs\\notas.txt");
    ASSERT_EQ(down->code(), RC::kBlock);
    uint32_t n = 0;
    auto bytes = down->readBytes(&n);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes.get()), n), "hola mundo");

    NetMessage replace(RC::kUploadFile);
    replace.addString("docs\\notas.txt").addInt(0).addBytes("x", 1);
    ASSERT_EQ(ask(replace)->code(), RC::kSuccess);
    EXPECT_EQ(ask(RC::kFileText, "docs\\notas.txt")->readItem().text(), String("x"));

    NetMessage top(RC::kUploadFile);
    top.addString("raiz.txt").addInt(0).addBytes("r", 1);
    ASSERT_EQ(ask(top)->code(), RC::kSuccess);
    auto all = ask(RC::kListFiles);
    ASSERT_EQ(all->code(), RC::kFileList);
    DataSet files;
    all->readRows(files, true);
    ASSERT_EQ(files.rowCount(), 1);  // folders and hidden files are not listed
    EXPECT_EQ(files.getCellText(0, 0), String("raiz.txt"));
    EXPECT_EQ(files.getCell(0, 1).toInt(), 1);

    NetMessage in(RC::kListFilesIn);
    in.addString("docs").addString("*.txt");
    auto listed = ask(in);
    ASSERT_EQ(listed->code(), RC::kFileList) << failureOf(listed.get());
    DataSet docs;
    listed->readRows(docs, true);
    ASSERT_EQ(docs.rowCount(), 1);
    EXPECT_EQ(docs.getCellText(0, 0), String("notas.txt"));

    NetMessage escape(RC::kListFilesIn);
    escape.addString("..").addString("*");
    EXPECT_NE(failureOf(ask(escape).get()), "");
}

TEST_F(SqliteServerHandler, EmptyDownloadAndMissingFile) {
    NetMessage up(RC::kUploadFile);
    up.addString("vacio.txt").addInt(0).addBytes(nullptr, 0);
    ASSERT_EQ(ask(up)->code(), RC::kSuccess);
    auto down = ask(RC::kDownloadFile, "vacio.txt");
    ASSERT_EQ(down->code(), RC::kBlock);
    uint32_t n = 9;
    EXPECT_EQ(down->readBytes(&n), nullptr);
    EXPECT_EQ(n, 0u);
    EXPECT_NE(failureOf(ask(RC::kDownloadFile, "nada.txt").get()).find("No se pudo abrir"),
              std::string::npos);
}

TEST_F(SqliteServerHandler, QueryRowWithoutRowAnswersAnEmptyItem) {
    open("a");
    exec("CREATE TABLE t(a);");
    auto a = ask(RC::kQueryRow, "SELECT * FROM t;");
    ASSERT_EQ(a->code(), RC::kScalar);
    EXPECT_TRUE(a->readItem().isNull());
    exec("INSERT INTO t VALUES(5);");
    auto b = ask(RC::kQueryRow, "SELECT * FROM t;");
    ASSERT_EQ(b->code(), RC::kRow);
}
