// The text import on a one-million-row, five-column CSV file (a header
// line, quoted names holding commas, numbers, dates, an empty note every
// seventh row) into a SQLite table, beside the sqlite3 shell's own
// ".import --skip 1" of the same file, measured in the same run:
//   - through the import logic (TextImport), without and with a progress
//     that counts every row (what the wizard and quelmir-cli are told);
//   - through `quelmir-cli import` as a process (progress on its standard
//     error).
// The machine may be shared: every figure is the best of two runs.
// The machine is shared: every figure is the best of two runs.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/import/DelimitedTextReader.h"
#include "app/import/TextImport.h"
#include "bench/Bench.h"
#include "db/sqlite/SqliteLocalConnection.h"

using VORLIN::SqliteLocalConnection;
using VORLIN::String;

namespace {

constexpr int kRows = 1'000'000;
constexpr const char* kShell = "/usr/bin/sqlite3";
constexpr const char* kCreate =
    "CREATE TABLE t(nombre TEXT, importe NUMERIC, cantidad INTEGER, alta DATE, nota TEXT)";

struct Folder {
    Folder() {
        char tmpl[] = "/tmp/quelmir-bench-XXXXXX";
        const char* made = ::mkdtemp(tmpl);
        path = made ? made : "/tmp";
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

void writeCsv(const std::string& path) {
    static const char* const names[] = {"\"Perez, Juan\"", "Maria Lopez", "Ana",
                                        "\"Calle Reforma 222, CDMX\"", "Pedro"};
    std::ofstream out(path, std::ios::binary);
    out << "nombre,importe,cantidad,alta,nota\r\n";
    char line[160];
    for (int i = 1; i <= kRows; ++i) {
        std::snprintf(line, sizeof line, "%s,%d.%02d,%d,%04d-%02d-%02d,%s\r\n", names[i % 5],
                      i % 10000, i % 100, i % 977, 2000 + i % 25, 1 + i % 12, 1 + i % 28,
                      i % 7 == 0 ? "" : "nota de la fila");
        out << line;
    }
}

void createTable(const std::string& db) {
    std::system((std::string(kShell) + " '" + db + "' '" + kCreate + "'").c_str());
}

long long countRows(const std::string& db) {
    std::string cmd = std::string(kShell) + " '" + db + "' 'SELECT COUNT(*) FROM t'";
    FILE* p = popen(cmd.c_str(), "r");
    long long n = -1;
    if (p) {
        if (std::fscanf(p, "%lld", &n) != 1) n = -1;
        pclose(p);
    }
    return n;
}

struct Counting : ImportProgress {
    long long seen = 0;
    bool rowDone(int n, int total, int) override {
        seen = n;
        if ((n & 1023) == 0 || n == total) bench::keep(&seen);
        return true;
    }
    void rowFailed(const ImportFailure&) override {}
};

double importWithLogic(const std::string& folder, const std::string& name, const std::string& csv,
                       ImportProgress* progress, int& imported) {
    createTable(folder + "/" + name);
    double t0 = bench::now();
    SqliteLocalConnection db;
    db.connect(String(folder + "/"), "", "", false, "-");
    db.openDatabase(String(name), false, String(), String());
    DelimitedTextReader reader(',', '"');
    reader.loadFile(String(csv));
    int records = 0, maxFields = 0;
    reader.count(records, maxFields);
    TextImport import(db);
    import.setFieldNames(reader.fieldNames(true, maxFields));
    import.setTable("t");
    import.mapByName();
    ImportResult r = import.run(reader, true, progress);
    db.disconnect();
    imported = r.imported;
    return bench::now() - t0;
}

}  // namespace

QUELMIR_BENCH(import) {
    Folder dir;
    const std::string csv = dir.path + "/datos.csv";
    double b0 = bench::now();
    writeCsv(csv);
    std::printf("wrote %d rows x 5 columns in %.2f s (%.0f MB)\n", kRows, bench::now() - b0,
                double(std::filesystem::file_size(csv)) / 1e6);

    auto best = [](double a, double b) { return a < b ? a : b; };
    double shell = 1e9;
    std::string shellDb;
    for (int run = 0; run < 2; ++run) {
        shellDb = dir.path + "/shell" + std::to_string(run) + ".db";
        createTable(shellDb);
        double t0 = bench::now();
        std::system(
            (std::string(kShell) + " -csv '" + shellDb + "' \".import --skip 1 '" + csv + "' t\"")
                .c_str());
        shell = best(shell, bench::now() - t0);
    }
    std::printf("sqlite3 .import:           %.3f s (%lld rows)\n", shell, countRows(shellDb));

    int imported = 0;
    double plain = 1e9, withProgress = 1e9;
    Counting counting;
    for (int run = 0; run < 2; ++run) {
        std::string n = std::to_string(run);
        plain = best(plain, importWithLogic(dir.path, "logic" + n + ".db", csv, nullptr, imported));
        withProgress = best(withProgress, importWithLogic(dir.path, "progress" + n + ".db", csv,
                                                          &counting, imported));
    }
    std::printf("TextImport:                %.3f s, ratio %.2fx (target 2x), %d rows\n", plain,
                plain / shell, imported);
    std::printf("TextImport with progress:  %.3f s, ratio %.2fx, progress costs %+.1f%%\n",
                withProgress, withProgress / shell, 100.0 * (withProgress - plain) / plain);

    double cli = 1e9;
    std::string cliDb;
    for (int run = 0; run < 2; ++run) {
        cliDb = dir.path + "/cli" + std::to_string(run) + ".db";
        createTable(cliDb);
        double t0 = bench::now();
        std::system((std::string("'") + QUELMIR_CLI_BIN + "' --connect 'sqlite:" + cliDb +
                     "' import '" + csv + "' t --separator comma >/dev/null 2>&1")
                        .c_str());
        cli = best(cli, bench::now() - t0);
    }
    std::printf("quelmir-cli import:        %.3f s, ratio %.2fx (target 2x), %lld rows\n", cli,
                cli / shell, countRows(cliDb));
}
