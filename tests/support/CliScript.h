// runCliScript: runs a script text through quelmir-cli's runner in-process,
// as `quelmir-cli --connect C1 --connect C2 ... script FILE`, and gives back
// its exit status and both streams. For tests of the back ends that check
// the command line's connection texts against a real server or driver.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/cli/CliRunner.h"

namespace testsupport {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline CliResult runCliScript(const std::vector<std::string>& connections,
                              const std::string& script) {
    char path[] = "/tmp/quelmir-cli-script-XXXXXX.qs";
    int fd = ::mkstemps(path, 3);
    CliResult result;
    if (fd < 0) return result;
    ::close(fd);
    std::ofstream(path, std::ios::binary) << script;
    std::vector<std::string> args;
    for (const std::string& c : connections) {
        args.push_back("--connect");
        args.push_back(c);
    }
    args.push_back("script");
    args.push_back(path);
    std::ostringstream out, err;
    CliRunner runner(out, err);
    result.status = runner.run(args);
    result.out = out.str();
    result.err = err.str();
    ::unlink(path);
    return result;
}

// The script the back-end tests run through the connection named "datos":
// creates a table, fills it, reads it as a grid and as a mapped row.
inline const char* cliBackEndScript() {
    return "FUNCTION main()\r\n"
           "    c = DbConnection(\"datos\")\r\n"
           "    c.execute(\"CREATE TABLE clientes (id INTEGER PRIMARY KEY, nombre "
           "VARCHAR(40))\")\r\n"
           "    c.execute(\"INSERT INTO clientes VALUES (1, 'Ana')\")\r\n"
           "    c.execute(\"INSERT INTO clientes VALUES (2, 'Luis')\")\r\n"
           "    g = Grid()\r\n"
           "    g.queryDataset(\"SELECT nombre FROM clientes ORDER BY id\", c)\r\n"
           "    m = g.getColumnListValues(\"nombre\")\r\n"
           "    printMsg(m, false)\r\n"
           "    f = c.newInstance(\"clientes\", 2)\r\n"
           "    m = \"cliente \" & f.nombre\r\n"
           "    printMsg(m, false)\r\n"
           "ENDFUNCTION\r\n";
}

}  // namespace testsupport
