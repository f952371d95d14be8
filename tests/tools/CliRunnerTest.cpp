// quelmir-cli: the command-line parsing, the connection options and
// the commands run in-process through CliRunner, and the real program run
// on fixture scripts.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "db/DbConnection.h"
#include "tools/cli/CliRunner.h"
#include "tools/cli/ConnectionOption.h"

namespace {

namespace fs = std::filesystem;

struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() /
               ("quelmir-cli-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(path / name, std::ios::binary) << text;
        return (path / name).string();
    }
};

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result runCli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    CliRunner runner(out, err);
    int status = runner.run(args);
    return {status, out.str(), err.str()};
}

TEST(ConnectionOptionTest, SplitsKindBodyAndLabel) {
    ConnectionOption s;
    std::string error;
    ASSERT_TRUE(ConnectionOption::parse("sqlite:/tmp/a.db=ventas", s, error));
    EXPECT_EQ(s.kind, "sqlite");
    EXPECT_EQ(s.body, "/tmp/a.db");
    EXPECT_EQ(s.label, "ventas");
    ASSERT_TRUE(ConnectionOption::parse("mysql:u:p@h:3306/db", s, error));
    EXPECT_EQ(s.kind, "mysql");
    EXPECT_EQ(s.body, "u:p@h:3306/db");
    EXPECT_EQ(s.label, "");
    // The name follows the last "=": a password holding one keeps it.
    ASSERT_TRUE(ConnectionOption::parse("odbc:dsn:u:pa=ss=datos", s, error));
    EXPECT_EQ(s.body, "dsn:u:pa=ss");
    EXPECT_EQ(s.label, "datos");
    EXPECT_FALSE(ConnectionOption::parse("sinTipo", s, error));
    EXPECT_EQ(error, "conexión sin tipo (TIPO:...): sinTipo");
    EXPECT_FALSE(ConnectionOption::parse("sqlite:a.db=", s, error));
}

TEST(ConnectionOptionTest, MalformedAndUnknownKindsFailClearly) {
    for (const char* text :
         {"mysql:u@h:3306/db", "mysql:u:p@h:3306", "mysql:u:p", "odbc:", "odbc:dsn:u"}) {
        ConnectionOption o;
        std::string error;
        ASSERT_TRUE(ConnectionOption::parse(text, o, error));
        EXPECT_EQ(o.open(error), nullptr) << text;
        EXPECT_EQ(error.rfind("se esperaba ", 0), 0u) << text << ": " << error;
    }
    ConnectionOption o;
    std::string error;
    ASSERT_TRUE(ConnectionOption::parse("oracle:x", o, error));
    EXPECT_EQ(o.open(error), nullptr);
    EXPECT_EQ(error.rfind("tipo de conexión desconocido: oracle", 0), 0u) << error;
    EXPECT_EQ(ConnectionOption::availableKinds(), "sqlite, server, mysql, odbc");
}

TEST(CliRunnerTest, HelpDocumentsEverything) {
    Result r = runCli({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* word : {"--connect", "--yes", "--max-steps", "script", "explain",
                             "sqlite:", "server:", "mysql:", "odbc:", "Ejemplo"})
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
}

TEST(CliRunnerTest, BadCommandLinesAreUsageErrors) {
    EXPECT_EQ(runCli({}).status, 2);
    EXPECT_EQ(runCli({"correr", "x"}).status, 2);
    EXPECT_EQ(runCli({"script"}).status, 2);
    EXPECT_EQ(runCli({"--connect"}).status, 2);
    for (const char* count : {"0", "-5", "diez", "1e3", "9999999999999999999"})
        EXPECT_EQ(runCli({"--max-steps", count, "script", "a.qs"}).status, 2) << count;
    Result r = runCli({"script", "a", "b"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("argumento de más: b"), std::string::npos);
}

TEST(CliRunnerTest, ScriptPrintsAndExitsZero) {
    TempDir dir;
    std::string file = dir.write("a.qs",
                                 "FUNCTION main()\r\n  printMsg(\"hola\", false)\r\n"
                                 "  showMessage(\"aviso\", \"ALERT\")\r\nENDFUNCTION\r\n");
    Result r = runCli({"script", file});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "hola\n");
    EXPECT_EQ(r.err, "ALERT: aviso\n");
}

TEST(CliRunnerTest, ErrorsExitOne) {
    TempDir dir;
    Result r = runCli({"script", (dir.path / "no-existe.qs").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no se pudo leer"), std::string::npos);
    r = runCli({"script", dir.write("b.qs", "FUNCTION otra()\r\nENDFUNCTION\r\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR: No se encontró la función main\n");
    r = runCli({"script", dir.write("c.qs", "basura\r\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR: Object function - Unkown command:\r\nbasura\n");
    r = runCli({"script", dir.write("d.qs", "FUNCTION main()\r\nTHROW \"mal\"\r\nENDFUNCTION")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR: Metodo: main\r\nmal\n");
}

// A script that never ends is stopped by --max-steps, even inside a TRY
// block (the CATCH section does not run), and the limit applies to each run
// of the command, not to what ran before.
TEST(CliRunnerTest, MaxStepsStopsARunawayScript) {
    TempDir dir;
    std::string file = dir.write("loop.qs",
                                 "FUNCTION vuelta()\r\n  RETURN 1\r\nENDFUNCTION\r\n"
                                 "FUNCTION main()\r\n"
                                 "  printMsg(\"antes\", false)\r\n"
                                 "  TRY\r\n"
                                 "    WHILE (1)\r\n"
                                 "      x = this.vuelta()\r\n"
                                 "    ENDWHILE\r\n"
                                 "  CATCH\r\n"
                                 "    printMsg(\"capturado\", false)\r\n"
                                 "  ENDTRY\r\n"
                                 "  printMsg(\"después\", false)\r\n"
                                 "ENDFUNCTION\r\n");
    Result r = runCli({"--max-steps", "5000", "script", file});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "antes\n");
    EXPECT_NE(r.err.find("Ejecución detenida: más de 5000 instrucciones"), std::string::npos)
        << r.err;
    std::string quick =
        dir.write("quick.qs", "FUNCTION main()\r\n  printMsg(\"ok\", false)\r\nENDFUNCTION\r\n");
    r = runCli({"--max-steps", "5", "script", quick});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ok\n");
}

TEST(CliRunnerTest, ConfirmIsYesOnlyUnderYes) {
    TempDir dir;
    std::string file = dir.write("q.qs",
                                 "FUNCTION main()\r\n  r = app.confirm(\"¿seguro?\")\r\n"
                                 "  IF (r)\r\n    printMsg(\"si\", false)\r\n  ELSE\r\n"
                                 "    printMsg(\"no\", false)\r\n  ENDIF\r\nENDFUNCTION\r\n");
    Result no = runCli({"script", file});
    EXPECT_EQ(no.out, "no\n");
    EXPECT_EQ(no.err, "ASK: ¿seguro?\n");
    Result yes = runCli({"--yes", "script", file});
    EXPECT_EQ(yes.out, "si\n");
    EXPECT_EQ(yes.status, 0);
}

TEST(CliRunnerTest, SqliteConnectionByLabelAndAlias) {
    TempDir dir;
    std::string db = (dir.path / "ventas.db").string();
    std::string file =
        dir.write("s.qs",
                  "FUNCTION main()\r\n"
                  "  c = DbConnection(\"tienda\")\r\n"
                  "  c.execute(\"CREATE TABLE t (id INTEGER PRIMARY KEY, n TEXT)\")\r\n"
                  "  k = c.insert(\"INSERT INTO t (n) VALUES ('x')\")\r\n"
                  "  printMsg(k, false)\r\n"
                  "  d = DbConnection(\"ventas\")\r\n"
                  "  a = d.getAlias()\r\n"
                  "  printMsg(a, false)\r\n"
                  "ENDFUNCTION\r\n");
    Result r = runCli({"--connect", "sqlite:" + db + "=tienda", "script", file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\nventas\n");
    // Without a label, the alias is the name.
    std::string file2 = dir.write("s2.qs",
                                  "FUNCTION main()\r\n  c = DbConnection(\"ventas\")\r\n"
                                  "  n = c.queryInt(\"SELECT count(*) FROM t\")\r\n"
                                  "  printMsg(n, false)\r\nENDFUNCTION\r\n");
    r = runCli({"--connect=sqlite:" + db, "script", file2});
    EXPECT_EQ(r.out, "1\n");
}

TEST(CliRunnerTest, ConnectionFailuresExitOne) {
    TempDir dir;
    std::string file =
        dir.write("x.qs", "FUNCTION main()\r\n  printMsg(\"no\", false)\r\nENDFUNCTION");
    // Nothing listens on port 1: the back end's own text is reported.
    Result r = runCli({"--connect", "mysql:u:p@127.0.0.1:1/db", "script", file});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("quelmir-cli: mysql:u:p@127.0.0.1:1/db: Can't connect", 0), 0u) << r.err;
    r = runCli({"--connect", "odbc:quelmir_no_existe", "script", file});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("quelmir-cli: odbc:quelmir_no_existe: IM002", 0), 0u) << r.err;
    r = runCli(
        {"--connect", "sqlite:" + (dir.path / "no/hay/carpeta.db").string(), "script", file});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("quelmir-cli: sqlite:", 0), 0u) << r.err;
}

TEST(CliRunnerTest, UnreachableServerExitsOne) {
    TempDir dir;
    std::string file =
        dir.write("x.qs", "FUNCTION main()\r\n  printMsg(\"no\", false)\r\nENDFUNCTION");
    // Port 1 of the local host refuses (or the back end is not built): either
    // way the script does not run.
    Result r = runCli({"--connect", "server:127.0.0.1:1/base", "script", file});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("quelmir-cli: server:127.0.0.1:1/base: ", 0), 0u) << r.err;
}

TEST(CliRunnerTest, ExplainPrintsTheListing) {
    TempDir dir;
    std::string file = dir.write("e.qs", "FUNCTION main()\r\n  x = 1\r\n  RETURN x\r\nENDFUNCTION");
    Result r = runCli({"explain", file});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(
        r.out,
        "METODO: main\r\nARGUMENTOS: \r\n\r\n0      SET x = 1\r\n0X1      SET _RETURN_ = x\r\n"
        "0X2      RETURN\r\n");
    r = runCli({"explain", dir.write("f.qs", "FUNCTION main()\r\nIF (1)\r\nENDFUNCTION")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
}

// The real program on the fixture scripts of the engine tests.
std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

Result runProgram(const std::string& args, const fs::path& dir) {
    std::string cmd =
        "cd '" + dir.string() + "' && '" + QUELMIR_CLI_BIN + "' " + args + " >out.txt 2>err.txt";
    int raw = std::system(cmd.c_str());
    int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return {status, readAll(dir / "out.txt"), readAll(dir / "err.txt")};
}

std::string unixLines(const std::string& t) {
    std::string out;
    for (size_t i = 0; i < t.size(); ++i)
        if (!(t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n')) out += t[i];
    return out;
}

TEST(CliProgramTest, RunsFixtureScripts) {
    TempDir dir;
    const fs::path fixtures(QUELMIR_FIXTURE_DIR);
    for (const char* name :
         {"blocks", "concat", "foreach_grid", "mapping", "objects", "try_throw"}) {
        fs::remove(dir.path / "fixture.db");
        Result r = runProgram("--connect sqlite:fixture.db script '" +
                                  (fixtures / (std::string(name) + ".qs")).string() + "'",
                              dir.path);
        std::string actual = unixLines(r.out);
        if (!r.err.empty()) actual += "== stderr ==\n" + unixLines(r.err);
        EXPECT_EQ(actual, readAll(fixtures / (std::string(name) + ".out"))) << name;
        EXPECT_EQ(r.status, r.err.find("ERROR:") == std::string::npos ? 0 : 1) << name;
    }
}

TEST(CliProgramTest, ExplainAndTraceFile) {
    TempDir dir;
    const fs::path fixtures(QUELMIR_FIXTURE_DIR);
    Result r = runProgram("explain '" + (fixtures / "listing.qs").string() + "'", dir.path);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(unixLines(r.out), readAll(fixtures / "listing.out"));
    r = runProgram("script '" + (fixtures / "trace.qs").string() + "'", dir.path);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(unixLines(readAll(dir.path / "trace.log")), readAll(fixtures / "trace.trace"));
}

}  // namespace
