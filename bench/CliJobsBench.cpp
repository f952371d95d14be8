// quelmir-cli's headless jobs as real processes, each beside the sqlite3
// shell doing the same work in the same run:
//   - "quelmir-cli --connect sqlite:DB dump -" of a 1,000,000-row, 5-column
//     table against "sqlite3 DB .dump" (target 1.5x);
//   - "quelmir-cli --connect sqlite:DB exec FILE" of 100,000 INSERTs against
//     "sqlite3 DB < FILE" (target 1.2x). exec runs the file in a transaction
//     of its own, so its file holds only the INSERTs; the shell's copy of the
//     file has them between BEGIN and COMMIT, so that both do the same work
//     (without them the shell would commit every INSERT by itself).
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/Bench.h"
#include "bench/BenchTable.h"

namespace {

constexpr int kRows = 1'000'000;
constexpr int kInserts = 100'000;
constexpr const char* kShell = "/usr/bin/sqlite3";

void buildTable(const std::string& path) {
    bench::buildSampleTable(path, kRows);
}

// Runs a shell command, reading all it writes; the seconds it took, and
// its exit status in `status`.
double timeCommand(const std::string& cmd, size_t& bytes, int& status) {
    double t0 = bench::now();
    FILE* p = popen(cmd.c_str(), "r");
    bytes = 0;
    status = -1;
    if (p) {
        static char buf[1 << 16];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            bytes += n;
        status = pclose(p);
    }
    return bench::now() - t0;
}

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

struct Folder {
    Folder() {
        char tmpl[] = "/tmp/quelmir-bench-cli-XXXXXX";
        const char* made = ::mkdtemp(tmpl);
        path = made ? made : "/tmp";
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

// The better of two runs of `cmd`.
double best(const std::string& cmd, size_t& bytes, int& status) {
    double a = timeCommand(cmd, bytes, status);
    double b = timeCommand(cmd, bytes, status);
    return a < b ? a : b;
}

}  // namespace

QUELMIR_BENCH(cli_jobs) {
    Folder dir;
    const std::string cli = QUELMIR_CLI_BIN;

    const std::string dbPath = dir.path + "/big.db";
    buildTable(dbPath);
    size_t shellBytes = 0, cliBytes = 0;
    int status = 0;
    double shell = best(std::string(kShell) + " " + quoted(dbPath) + " .dump", shellBytes, status);
    std::printf("sqlite3 DB .dump (%d rows x 5 columns): %.3f s, %.1f MB\n", kRows, shell,
                double(shellBytes) / 1e6);
    double dump =
        best(quoted(cli) + " --connect sqlite:" + quoted(dbPath) + " dump -", cliBytes, status);
    std::printf(
        "quelmir-cli dump -:                      %.3f s, %.1f MB, ratio %.2fx (target "
        "1.5x)%s\n",
        dump, double(cliBytes) / 1e6, dump / shell, status == 0 ? "" : " FAILED");
    double toFile = best(quoted(cli) + " --connect sqlite:" + quoted(dbPath) + " dump " +
                             quoted(dir.path + "/big.sql"),
                         cliBytes, status);
    std::printf("quelmir-cli dump FILE:                   %.3f s, ratio %.2fx%s\n", toFile,
                toFile / shell, status == 0 ? "" : " FAILED");

    // The INSERT file, and the shell's copy of it inside BEGIN ... COMMIT.
    const std::string inserts = dir.path + "/inserts.sql";
    const std::string wrapped = dir.path + "/inserts-tx.sql";
    {
        FILE* f = std::fopen(inserts.c_str(), "wb");
        FILE* w = std::fopen(wrapped.c_str(), "wb");
        std::fputs("BEGIN TRANSACTION;\r\n", w);
        char line[256];
        for (int i = 1; i <= kInserts; ++i) {
            std::snprintf(line, sizeof line,
                          "INSERT INTO s VALUES(%d,'%s',%d.250000,%d,'2009-%02d-%02d');\r\n", i,
                          bench::kSampleNames[i % 5], i % 1000, i % 977, 1 + i % 12, 1 + i % 28);
            std::fputs(line, f);
            std::fputs(line, w);
        }
        std::fputs("COMMIT TRANSACTION;\r\n", w);
        std::fclose(f);
        std::fclose(w);
    }
    const char* create =
        "CREATE TABLE s(id INTEGER PRIMARY KEY, name TEXT, price NUMERIC, qty INTEGER, day DATE);";
    double shellExec = 0, cliExec = 0;
    for (int round = 0; round < 2; ++round) {
        const std::string a = dir.path + "/shell" + std::to_string(round) + ".db";
        const std::string b = dir.path + "/cli" + std::to_string(round) + ".db";
        std::system((std::string(kShell) + " " + quoted(a) + " '" + create + "'").c_str());
        std::system((std::string(kShell) + " " + quoted(b) + " '" + create + "'").c_str());
        size_t ignored = 0;
        double s = timeCommand(std::string(kShell) + " " + quoted(a) + " < " + quoted(wrapped),
                               ignored, status);
        double c =
            timeCommand(quoted(cli) + " --connect sqlite:" + quoted(b) + " exec " + quoted(inserts),
                        ignored, status);
        if (status != 0) std::printf("quelmir-cli exec FAILED\n");
        if (round == 0 || s < shellExec) shellExec = s;
        if (round == 0 || c < cliExec) cliExec = c;
    }
    std::printf("sqlite3 DB < FILE (%d INSERTs):         %.3f s\n", kInserts, shellExec);
    std::printf("quelmir-cli exec FILE:                   %.3f s, ratio %.2fx (target 1.2x)\n",
                cliExec, cliExec / shellExec);
}
