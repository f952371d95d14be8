// The local SQLite connection on a table of 1,000,000 rows x 5 columns
// (INTEGER PRIMARY KEY, TEXT, NUMERIC, INTEGER, DATE) built in a temporary
// folder, each figure beside a reference measured in the same run:
//   - openTable and queryDataset of the whole table against a plain C loop
//     that steps the same SELECT and reads every column as text;
//   - the memory the loaded table holds per cell;
//   - exportSql with schema against "sqlite3 DB .dump" of the same file;
//   - executeFile of a 100,000-row INSERT script in one transaction against
//     the sqlite3 shell reading the same file.
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/Bench.h"
#include "bench/BenchTable.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "db/sqlite/SqliteLocalConnection.h"

using VORLIN::DataSet;
using VORLIN::SqliteLocalConnection;
using VORLIN::String;
using VORLIN::TableDataset;

namespace {

constexpr int kRows = 1'000'000;
constexpr int kScriptRows = 100'000;
constexpr const char* kShell = "/usr/bin/sqlite3";

void buildTable(const std::string& path) {
    bench::buildSampleTable(path, kRows);
}

// The reference reader: the same SELECT stepped in C, every column read as text.
double plainRead(const std::string& path, size_t& bytes) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    double t0 = bench::now();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM t;", -1, &st, nullptr);
    bytes = 0;
    int n = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int i = 0; i < n; ++i) {
            const unsigned char* t = sqlite3_column_text(st, i);
            bench::keep(t);
            bytes += size_t(sqlite3_column_bytes(st, i));
        }
    }
    sqlite3_finalize(st);
    double t1 = bench::now();
    sqlite3_close(db);
    return t1 - t0;
}

// Runs a shell command and reads all it writes; the seconds it took.
double timeCommand(const std::string& cmd, size_t& bytes) {
    double t0 = bench::now();
    FILE* p = popen(cmd.c_str(), "r");
    bytes = 0;
    if (p) {
        static char buf[1 << 16];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            bytes += n;
        pclose(p);
    }
    return bench::now() - t0;
}

struct TempFolder {
    TempFolder() {
        char tmpl[] = "/tmp/quelmir-bench-XXXXXX";
        const char* made = ::mkdtemp(tmpl);
        path = made ? made : "/tmp";
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

}  // namespace

QUELMIR_BENCH(sqlite) {
    TempFolder dir;
    const std::string dbPath = dir.path + "/big.db";
    double b0 = bench::now();
    buildTable(dbPath);
    std::printf("built %d rows x 5 columns in %.2f s (%.0f MB)\n", kRows, bench::now() - b0,
                double(std::filesystem::file_size(dbPath)) / 1e6);
    const double cells = double(kRows) * 5;

    // Warm the page cache, then the reference.
    size_t textBytes = 0;
    plainRead(dbPath, textBytes);
    double plain = plainRead(dbPath, textBytes);
    std::printf("plain C loop (every column as text): %.3f s, %.1f ns/cell\n", plain,
                plain * 1e9 / cells);

    SqliteLocalConnection db;
    db.connect(String(dir.path), "", "", false, "big");
    {
        size_t heap0 = bench::heapInUse();
        size_t rss0 = bench::residentBytes();
        TableDataset table;
        double t0 = bench::now();
        db.openTable(&table, "t", "", "");
        double t = bench::now() - t0;
        size_t heap1 = bench::heapInUse();
        size_t rss1 = bench::residentBytes();
        std::printf("openTable:     %.3f s, %.1f ns/cell, ratio %.2fx (target 2x), %d rows\n", t,
                    t * 1e9 / cells, t / plain, table.rowCount());
        std::printf(
            "memory per loaded cell: heap %.1f bytes, resident %.1f bytes "
            "(text of a cell: %.1f bytes, sizeof DataItem %zu)\n",
            double(heap1 - heap0) / cells, double(rss1 > rss0 ? rss1 - rss0 : 0) / cells,
            double(textBytes) / cells, sizeof(VORLIN::DataItem));
    }
    {
        DataSet set;
        double t0 = bench::now();
        db.queryDataset("SELECT * FROM t;", &set, "", false);
        double t = bench::now() - t0;
        std::printf("queryDataset:  %.3f s, %.1f ns/cell, ratio %.2fx (target 2x)\n", t,
                    t * 1e9 / cells, t / plain);
    }

    // The dump, against the shell's .dump of the same file.
    {
        size_t shellBytes = 0;
        double shell = timeCommand(std::string(kShell) + " '" + dbPath + "' .dump", shellBytes);
        String dump;
        double t0 = bench::now();
        db.exportSql(&dump, true);
        double t = bench::now() - t0;
        std::printf("sqlite3 .dump: %.3f s, %.1f MB\n", shell, double(shellBytes) / 1e6);
        std::printf("exportSql:     %.3f s, %.1f MB, ratio %.2fx (target 1.5x)\n", t,
                    double(dump.length()) / 1e6, t / shell);
    }
    db.disconnect();

    // A script of INSERTs in one transaction, run by executeFile and by the shell.
    {
        const std::string script = dir.path + "/script.sql";
        FILE* f = std::fopen(script.c_str(), "wb");
        std::fputs("BEGIN TRANSACTION;\r\n", f);
        for (int i = 1; i <= kScriptRows; ++i)
            std::fprintf(f, "INSERT INTO s VALUES(%d,'%s',%d.250000,%d,'2009-%02d-%02d');\r\n", i,
                         bench::kSampleNames[i % 5], i % 1000, i % 977, 1 + i % 12, 1 + i % 28);
        std::fputs("COMMIT TRANSACTION;\r\n", f);
        std::fclose(f);
        const char* create =
            "CREATE TABLE s(id INTEGER PRIMARY KEY, name TEXT, price NUMERIC, qty INTEGER, "
            "day DATE);";

        std::string shellDb = dir.path + "/shell.db";
        std::system((std::string(kShell) + " '" + shellDb + "' '" + create + "'").c_str());
        size_t ignored = 0;
        double shell =
            timeCommand(std::string(kShell) + " '" + shellDb + "' < '" + script + "'", ignored);

        SqliteLocalConnection target;
        target.connect(String(dir.path), "", "", false, "-");
        target.openDatabase("file", true);
        target.execute(create);
        double t0 = bench::now();
        target.executeFile(String(script));
        double t = bench::now() - t0;
        std::printf("sqlite3 < script (%d INSERTs): %.3f s\n", kScriptRows, shell);
        std::printf("executeFile:                  %.3f s, ratio %.2fx, %d rows\n", t, t / shell,
                    target.queryInt("SELECT count(*) FROM s"));
    }
}
