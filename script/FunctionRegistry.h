// FunctionRegistry: the application-wide sorted registry of the member names
// of every scriptable class.
//
// Each scriptable class registers the list of its member names once, at
// start-up (registerFunctionTable); the call answers the class's number
// (1, 2, ... in registration order), and every entry is keyed "%d%s" with
// that number and the member name, so equal names of different classes
// ("size", "getParent") are different entries. After the last table the
// registry is sorted once; a lookup (findFunctionIndex) is one formatted key
// and one binary search, answering the member's position in its class's
// list, or -1.
//
// Ownership: the registry owns its entries. The process keeps one instance
// (instance()), filled during start-up and unchanged afterwards; reset()
// empties it so that tests can start over. A lookup in a registry that is
// not sorted sorts it first, so a table registered after the sort (which
// start-up never does) costs one more sort rather than wrong answers.
// Nothing here throws. Not synchronised: the UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/String.h"
#include "script/FunctionEntry.h"

namespace VORLIN {

class FunctionRegistry {
public:
    FunctionRegistry() = default;
    FunctionRegistry(const FunctionRegistry&) = delete;
    FunctionRegistry& operator=(const FunctionRegistry&) = delete;

    // The registry of the process.
    static FunctionRegistry& instance();

    // Adds one table: `names` is an array of texts ended by an empty text
    // (a null pointer ends it as well). Answers the new class number.
    int32_t registerFunctionTable(const char* const* names);
    // Sorts all entries by their keys (byte-wise).
    void sort();
    // The member's position in the list of class `classNumber`, or -1.
    int32_t findFunctionIndex(int32_t classNumber, const String& name);

    // Entries and tables registered so far.
    int32_t tableCount() const noexcept { return tables_; }
    size_t size() const noexcept { return entries_.size(); }
    const FunctionEntry& entryAt(size_t i) const { return *entries_[i]; }
    bool isSorted() const noexcept { return sorted_; }

    // Back to the empty registry with the counter at 0.
    void reset();

private:
    std::vector<std::unique_ptr<FunctionEntry>> entries_;
    int32_t tables_ = 0;
    bool sorted_ = true;  // the empty registry is sorted
};

}  // namespace VORLIN
