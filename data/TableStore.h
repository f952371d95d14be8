// TableStore: what a TableDataset needs of a database to write its changes
// and read a row back: run a statement, run an INSERT and learn the new
// row's number, read one row. DbConnection implements it; the data layer
// knows nothing else of the connections.
//
// Ownership: the store stays its owner's; a TableDataset only borrows it
// for the duration of a call. Threads: as the implementation.
// Throws: an implementation reports a failing statement as a
// GeneralException carrying its error text.
#pragma once

#include <cstdint>

#include "core/String.h"

namespace VORLIN {

class DataRow;

class TableStore {
public:
    virtual ~TableStore() = default;

    // Runs statements that return no rows.
    virtual void execute(const String& sql) = 0;
    // Runs one INSERT and answers the number the database gave the new row
    // (its row id, or what the back end documents as such).
    virtual int32_t executeInsert(const String& sql) = 0;
    // Runs one UPDATE or DELETE and answers how many rows its WHERE matched
    // (rows set to the value they had count), or -1 when the back end cannot
    // tell; this default runs execute() and answers -1.
    virtual int64_t executeMatched(const String& sql) {
        execute(sql);
        return -1;
    }
    // Fills `row` from the first result row (same number of cells); no
    // result row leaves it untouched.
    virtual void queryDataRow(const String& sql, DataRow* row) = 0;
};

}  // namespace VORLIN
