// Reading results back independently: the sqlite3 shell run on a database
// file (its output and error text, as printed), and a file's bytes.
#pragma once

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace testsupport {

// sqlite3 DB "SQL" with its standard output and error.
inline std::string sqliteShell(const std::string& db, const std::string& sql) {
    std::string command = "sqlite3 '" + db + "' \"" + sql + "\" 2>&1";
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0)
            out.append(buffer, n);
        ::pclose(p);
    }
    return out;
}

// sqlite3 -bail DB with `input` on its standard input (dot commands and
// SQL), with its standard output and error.
inline std::string sqliteScript(const std::string& db, const std::string& input) {
    const std::string in = db + ".input";
    std::ofstream(in, std::ios::binary) << input;
    std::string command = "sqlite3 -bail '" + db + "' < '" + in + "' 2>&1";
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0)
            out.append(buffer, n);
        ::pclose(p);
    }
    std::remove(in.c_str());
    return out;
}

// The whole file, or empty when it cannot be read.
inline std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace testsupport
