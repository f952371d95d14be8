// quelmir-cli import as a real process into a real SQLite file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "db/sqlite/SqliteLocalConnection.h"
#include "tests/support/TempFolder.h"
#ifdef QUELMIR_SERVER_BIN
#include "tests/server/ServerProcess.h"
#endif

namespace {

struct CliRun {
    int status;
    std::string out, err;
};

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

CliRun runCli(const testsupport::TempFolder& dir, const std::string& args) {
    std::string cmd =
        "cd '" + dir.path + "' && '" + QUELMIR_CLI_BIN + "' " + args + " >out.txt 2>err.txt";
    int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readAll(dir.file("out.txt")),
            readAll(dir.file("err.txt"))};
}

std::string shell(const testsupport::TempFolder& dir, const std::string& sql) {
    std::string cmd = "sqlite3 -separator '|' '" + dir.file("datos.db") + "' \"" + sql + "\" >'" +
                      dir.file("shell.txt") + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return readAll(dir.file("shell.txt"));
}

TEST(CliImport, SpreadsheetFileIntoSqliteWithFailuresAndStatus) {
    testsupport::TempFolder dir;
    ASSERT_EQ(std::system(("sqlite3 '" + dir.file("datos.db") +
                           "' 'CREATE TABLE clientes(id INTEGER PRIMARY KEY, nombre TEXT, '"
                           "'importe NUMERIC, pais TEXT, codigo INTEGER UNIQUE)'")
                              .c_str()),
              0);
    std::ofstream(dir.file("c.csv"), std::ios::binary)
        << "\xEF\xBB\xBF"
           "Nombre;Importe;Codigo\r\n"
           "\"Pérez; Juan\";12.5;1\r\nAna;null;2\r\nEva;3;1\r\n";
    CliRun r = runCli(dir,
                      "--connect sqlite:datos.db import c.csv clientes --separator semicolon "
                      "--const MX=pais");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "Filas importadas: 2, con error: 1\n");
    EXPECT_NE(r.err.find("quelmir-cli: fila 3 (línea 4): execute UNIQUE constraint failed"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Importado 3/3 (1 con error)\n"), std::string::npos) << r.err;
    EXPECT_EQ(shell(dir, "SELECT id,nombre,quote(importe),pais,codigo FROM clientes"),
              "1|Pérez; Juan|12.5|MX|1\n2|Ana|NULL|MX|2\n");

    // Without names, tab-separated, mapped by position: every row goes in.
    std::ofstream(dir.file("t.txt"), std::ios::binary) << "Luis\t7\nRosa\t8";
    r = runCli(dir,
               "--connect sqlite:datos.db import t.txt clientes --no-header --map Campo1=nombre "
               "--map Campo2=codigo");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Filas importadas: 2, con error: 0\n");
    EXPECT_EQ(shell(dir, "SELECT nombre FROM clientes WHERE codigo>6 ORDER BY codigo"),
              "Luis\nRosa\n");

    // Refused before anything is written: no such field, no mapping at all.
    r = runCli(dir, "--connect sqlite:datos.db import t.txt clientes --no-header --map X=nombre");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quelmir-cli: import: el archivo no tiene el campo X\n");
    r = runCli(dir, "--connect sqlite:datos.db import t.txt clientes --no-header");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no hay ninguna relación"), std::string::npos) << r.err;
    EXPECT_EQ(shell(dir, "SELECT COUNT(*) FROM clientes"), "4\n");

    // Arguments it does not understand.
    r = runCli(dir, "--connect sqlite:datos.db import t.txt clientes --separator coma");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "quelmir-cli: import: separador desconocido: coma\n");
    r = runCli(dir, "import t.txt clientes");
    EXPECT_EQ(r.status, 2);
    r = runCli(dir, "--help");
    EXPECT_NE(r.out.find("import ARCHIVO TABLA"), std::string::npos);
}

#ifdef QUELMIR_SERVER_BIN
// The same import through the remote SQLite service (the real server).
TEST(CliImport, IntoTheRemoteService) {
    testsupport::TempFolder dir;
    {
        VORLIN::SqliteLocalConnection local;
        ASSERT_TRUE(local.connect(VORLIN::String(dir.path), "", "", false, "-"));
        ASSERT_TRUE(local.openDatabase("datos", true, VORLIN::String(), VORLIN::String()));
        local.execute("CREATE TABLE t(id INTEGER PRIMARY KEY, a TEXT, n INTEGER UNIQUE)");
        local.disconnect();
    }
    ASSERT_TRUE(std::filesystem::exists(dir.file("datos.db")));
    testing_server::ServerProcess server(dir.path);
    ASSERT_TRUE(server.started());
    std::ofstream(dir.file("r.csv"), std::ios::binary) << "a|n\nuno|1\ndos|1\ntres|3\n";
    CliRun r = runCli(
        dir, "--connect server:" + server.address() + "/datos import r.csv t --separator pipe");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "Filas importadas: 2, con error: 1\n");
    EXPECT_NE(r.err.find("quelmir-cli: fila 2 (línea 3): "), std::string::npos) << r.err;
    EXPECT_EQ(server.stop(), 0);
    EXPECT_EQ(shell(dir, "SELECT id,a,n FROM t ORDER BY id"), "1|uno|1\n2|tres|3\n");
}
#endif

}  // namespace
