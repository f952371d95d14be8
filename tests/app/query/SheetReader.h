// Helpers of the query tests: a real SQLite file opened as the window
// opens it, and saved spreadsheet files read back by independent readers
// (xlrd for .xls, openpyxl for .xlsx, the Debian packages under
// /usr/bin/python3), one line per row, cells "N:<float>", "S:<text>" or
// "<>" (empty) separated by "|".
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "db/sqlite/SqliteLocalConnection.h"

namespace querytest {

inline std::unique_ptr<VORLIN::SqliteLocalConnection> openSqlite(const std::string& folder,
                                                                 const std::string& name) {
    auto db = std::make_unique<VORLIN::SqliteLocalConnection>();
    EXPECT_TRUE(db->connect(VORLIN::String(folder + "/"), "", "", false, "-"));
    EXPECT_TRUE(db->openDatabase(VORLIN::String(name), false, VORLIN::String(), VORLIN::String()));
    return db;
}

inline std::string run(const std::string& command) {
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

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::string readSheet(const std::string& path) {
    static const char* script =
        "import sys\n"
        "p = sys.argv[1]\n"
        "def fmt(v):\n"
        "    if v is None or v == '': return '<>'\n"
        "    if isinstance(v, (int, float)) and not isinstance(v, bool): return 'N:' + "
        "repr(float(v))\n"
        "    return 'S:' + str(v)\n"
        "if p.endswith('.xls'):\n"
        "    import xlrd\n"
        "    s = xlrd.open_workbook(p, encoding_override='cp1252').sheet_by_index(0)\n"
        "    rows = [s.row_values(i) for i in range(s.nrows)]\n"
        "else:\n"
        "    import openpyxl\n"
        "    ws = openpyxl.load_workbook(p, read_only=True).active\n"
        "    rows = [list(r) for r in ws.iter_rows(values_only=True)]\n"
        "for r in rows:\n"
        "    sys.stdout.buffer.write(('|'.join(fmt(v) for v in r) + '\\n').encode('utf-8'))\n";
    std::string scriptPath = path + ".read.py";
    std::ofstream(scriptPath) << script;
    std::string out = run("/usr/bin/python3 '" + scriptPath + "' '" + path + "' 2>&1");
    std::remove(scriptPath.c_str());
    return out;
}

}  // namespace querytest
