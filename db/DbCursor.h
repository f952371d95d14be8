// DbCursor: reads a query result one row at a time. A back end binds the
// cursor to a prepared statement (DbConnection::createCursor); the cursor
// then owns that statement and releases it when destroyed.
//
// hasRow tells whether a current row exists; fetch copies it out and steps
// to the next. The base class has no result: hasRow is false and fetch does
// nothing. Failures of a back end's fetch are GeneralExceptions.
// Threads: used by one thread at a time.
#pragma once

#include "data/DataRow.h"

namespace VORLIN {

class DbCursor {
public:
    DbCursor() = default;
    virtual ~DbCursor() = default;
    DbCursor(const DbCursor&) = delete;
    DbCursor& operator=(const DbCursor&) = delete;

    virtual bool hasRow();
    // Copies the current row into `out`, then steps to the next one.
    virtual void fetch(DataRow* out);

protected:
    DataRow current_;
};

}  // namespace VORLIN
