// The sample table the SQLite benchmarks read: t(id INTEGER PRIMARY KEY,
// name TEXT, price NUMERIC, qty INTEGER, day DATE) with `rows` rows of
// repeating names, prices, quantities and days, written straight through
// the SQLite library (no journal, one transaction).
#pragma once

#include <string>

namespace bench {

// The five names the sample rows repeat.
extern const char* const kSampleNames[5];

void buildSampleTable(const std::string& path, int rows);

}  // namespace bench
