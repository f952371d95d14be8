// One million rows of five typed cells (int, text, double, int, date): built,
// sorted on the text column, written to an archive and read back, exported
// as text. Each step prints its time and the resident bytes per cell.
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include "bench/Bench.h"
#include "data/Archive.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/FileStream.h"
#include "data/SortKeys.h"

using namespace VORLIN;

namespace {

void report(const char* step, double seconds, size_t cells, size_t rssBefore) {
    size_t rss = bench::residentBytes();
    std::printf("%-22s %8.3f s  %7.1f ns/cell  resident %6.1f bytes/cell (+%.1f)\n", step, seconds,
                seconds * 1e9 / double(cells), double(rss) / double(cells),
                (double(rss) - double(rssBefore)) / double(cells));
}

}  // namespace

QUELMIR_BENCH(dataset) {
    const int rows = 1'000'000;
    const size_t cells = size_t(rows) * 5;
    const char* first[] = {"Ana", "Luis", "Maria", "Jose", "Carmen", "Pedro", "Lucia", "Jorge"};
    const char* last[] = {"Lopez", "Garcia", "Hernandez", "Martinez", "Perez", "Sanchez"};
    std::mt19937 rng(7);

    size_t rss0 = bench::residentBytes();
    double t0 = bench::now();
    DataSet set;
    set.setDataTypes("int|text|double|int|date");
    set.setColumnNames("id|name|price|qty|day");
    char name[64];
    for (int i = 0; i < rows; ++i) {
        auto row = std::make_unique<DataRow>(5);
        std::snprintf(name, sizeof name, "%s %s %u", first[rng() % 8], last[rng() % 6],
                      unsigned(rng() % 100000));
        row->cell(0)->setInt(i);
        row->cell(1)->setString(name);
        row->cell(2)->setDouble(double(rng() % 1000000) / 100.0);
        row->cell(3)->setInt(int(rng() % 1000));
        row->cell(4)->setDate(
            DateTime(2000 + int(rng() % 25), 1 + int(rng() % 12), 1 + int(rng() % 28)));
        set.insertRow(std::move(row));
    }
    report("build", bench::now() - t0, cells, rss0);

    size_t rss1 = bench::residentBytes();
    t0 = bench::now();
    SortKeys keys(1);
    keys.add(1);
    set.sort(keys);
    report("sort on text", bench::now() - t0, cells, rss1);

    // Positional access stays constant time: the same number of lookups at
    // the start and at the end of the set.
    t0 = bench::now();
    long sum = 0;
    for (int i = 0; i < 100000; ++i)
        sum += set.row(i)->count();
    double early = bench::now() - t0;
    t0 = bench::now();
    for (int i = rows - 100000; i < rows; ++i)
        sum += set.row(i)->count();
    double late = bench::now() - t0;
    bench::keep(&sum);
    std::printf("positional access: %.1f ns/row at the start, %.1f ns/row at the end\n",
                early * 1e9 / 100000, late * 1e9 / 100000);

    size_t rss2 = bench::residentBytes();
    t0 = bench::now();
    Archive out;
    set.serialize(out, true);
    double writeTime = bench::now() - t0;
    report("archive write", writeTime, cells, rss2);
    std::printf("archive size: %.1f MB\n", double(out.dataSize()) / 1e6);

    Archive in(true);
    in.reset(out.dataSize());
    std::memcpy(in.buffer(), out.buffer(), out.dataSize());
    in.setDataSize(out.dataSize());
    size_t rss3 = bench::residentBytes();
    t0 = bench::now();
    {
        DataSet back;
        back.serialize(in, false);
        double readTime = bench::now() - t0;
        report("archive read", readTime, cells, rss3);
        std::printf("ratio read/write: %.2fx\n", readTime / writeTime);
    }

    char path[] = "/tmp/quelmir-bench-XXXXXX";
    int fd = mkstemp(path);
    if (fd >= 0) close(fd);
    size_t rss4 = bench::residentBytes();
    t0 = bench::now();
    {
        FileStream file;
        file.create(path);
        set.exportText(&file);
        file.close();
    }
    report("export text", bench::now() - t0, cells, rss4);
    removeFile(path);
}
