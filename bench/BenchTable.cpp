#include "bench/BenchTable.h"

#include <sqlite3.h>

#include <cstdio>

namespace bench {

const char* const kSampleNames[5] = {"Juan Perez", "Maria Lopez Hernandez", "Ana",
                                     "Calle Reforma 222, Col. Juarez, CDMX", "Pedro"};

void buildSampleTable(const std::string& path, int rows) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                 "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, price NUMERIC, qty INTEGER, "
                 "day DATE);"
                 "BEGIN;",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?,?,?,?,?)", -1, &st, nullptr);
    char day[16];
    for (int i = 1; i <= rows; ++i) {
        std::snprintf(day, sizeof day, "%04d-%02d-%02d", 2000 + i % 25, 1 + i % 12, 1 + i % 28);
        sqlite3_bind_int(st, 1, i);
        sqlite3_bind_text(st, 2, kSampleNames[i % 5], -1, SQLITE_STATIC);
        sqlite3_bind_double(st, 3, (i % 10000) * 0.25);
        sqlite3_bind_int(st, 4, i % 977);
        sqlite3_bind_text(st, 5, day, -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

}  // namespace bench
