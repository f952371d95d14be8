// Ten million cells of mixed types built through the DataItem setters,
// beside plain std::strings holding the same texts.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/Bench.h"
#include "core/DataItem.h"

using VORLIN::DataItem;
using VORLIN::DateTime;

QUELMIR_BENCH(cells) {
    const size_t n = 10'000'000;
    const char* names[] = {"Juan Perez", "Maria Lopez Hernandez", "Ana", "Calle Reforma 222, CDMX",
                           "Pedro"};

    size_t heap0 = bench::heapInUse();
    double t0 = bench::now();
    std::unique_ptr<DataItem[]> cells(new DataItem[n]);
    for (size_t i = 0; i < n; ++i) {
        DataItem& c = cells[i];
        switch (i % 5) {
            case 0:
                c.setInt(int32_t(i));
                break;
            case 1:
                c.setDouble(double(i) * 0.25);
                break;
            case 2:
                c.setString(names[i % 4]);
                break;
            case 3:
                c.setDate(DateTime(2000 + int(i % 25), 1 + int(i % 12), 1 + int(i % 28)));
                break;
            default:
                c.setString(names[4 - i % 3]);
                break;
        }
    }
    double t1 = bench::now();
    // Numbers and dates write their texts when first asked: asked here, and
    // counted with the building, so that both sides hold the same texts.
    size_t total = 0;
    for (size_t i = 0; i < n; ++i)
        total += cells[i].text().length();
    bench::keep(&total);
    double t2 = bench::now();
    size_t heap1 = bench::heapInUse();
    bench::keep(cells.get());

    // The reference: the same texts held as std::string, copied from the cells.
    double r0 = bench::now();
    std::vector<std::string> plain;
    plain.reserve(n);
    for (size_t i = 0; i < n; ++i)
        plain.emplace_back(cells[i].text().c_str(), cells[i].text().length());
    double r1 = bench::now();
    size_t heap2 = bench::heapInUse();
    bench::keep(plain.data());

    std::printf("DataItem cells set: %.1f ns/cell, their texts then written: %.1f ns/cell\n",
                (t1 - t0) * 1e9 / double(n), (t2 - t1) * 1e9 / double(n));
    double cellNs = (t2 - t0) * 1e9 / double(n);
    double refNs = (r1 - r0) * 1e9 / double(n);
    double cellBytes = double(heap1 - heap0) / double(n);
    double refBytes = double(heap2 - heap1) / double(n);
    std::printf("DataItem cells: %.1f ns/cell, %.1f bytes/cell (sizeof %zu)\n", cellNs, cellBytes,
                sizeof(DataItem));
    std::printf("std::string:    %.1f ns/cell, %.1f bytes/cell (sizeof %zu)\n", refNs, refBytes,
                sizeof(std::string));
    std::printf("ratio: time %.2fx, memory %.2fx\n", cellNs / refNs, cellBytes / refBytes);
}
