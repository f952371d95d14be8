// quelmir-cli against the remote SQLite service: the real server started
// on a free loopback port over a temporary data folder, and the real
// program run on a script through a "server:" connection.
#ifdef QUELMIR_SERVER_BIN

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "core/String.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "tests/server/ServerProcess.h"

namespace {

using VORLIN::SqliteLocalConnection;
using VORLIN::String;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(CliServerTest, RunsScriptOverServerConnection) {
    testing_server::TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    {
        // The server serves the databases of its folder: "ventas" must exist.
        SqliteLocalConnection local;
        ASSERT_TRUE(local.connect(String(dir.path()), "", "", false, "-"));
        local.createDatabase("ventas", true);
        local.disconnect();
    }
    testing_server::ServerProcess server(dir.path());
    ASSERT_TRUE(server.started());

    std::ofstream(dir.file("cuenta.qs"), std::ios::binary)
        << "FUNCTION main()\r\n"
           "    c = DbConnection(\"remota\")\r\n"
           "    c.execute(\"CREATE TABLE clientes (id INTEGER PRIMARY KEY, nombre TEXT)\")\r\n"
           "    c.execute(\"INSERT INTO clientes VALUES (1, 'Ana')\")\r\n"
           "    c.execute(\"INSERT INTO clientes VALUES (2, 'Luis')\")\r\n"
           "    n = c.queryInt(\"SELECT COUNT(*) FROM clientes\")\r\n"
           "    m = \"clientes: \" & n\r\n"
           "    printMsg(m, false)\r\n"
           "ENDFUNCTION\r\n";
    std::string cmd = "'" + std::string(QUELMIR_CLI_BIN) +
                      "' --connect server:" + server.address() + "/ventas=remota script '" +
                      dir.file("cuenta.qs") + "' >'" + dir.file("out.txt") + "' 2>'" +
                      dir.file("err.txt") + "'";
    int raw = std::system(cmd.c_str());
    int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::string out = readAll(dir.file("out.txt"));
    std::string err = readAll(dir.file("err.txt"));
    EXPECT_EQ(status, 0) << out << err;
    EXPECT_NE(out.find("clientes: 2"), std::string::npos) << out << err;
    EXPECT_EQ(err.find("ERROR"), std::string::npos) << err;
    EXPECT_EQ(server.stop(), 0);
}

}  // namespace

#endif  // QUELMIR_SERVER_BIN
