// SqliteDump: the SQL text of a whole SQLite database, as the local back end
// and the remote client both write it: the CREATE TABLE statements, the rows
// of every table as INSERT statements, then indexes, views and triggers.
// Every value is written by its stored class with SQLite's own quote()
// (integers as digits, reals with every digit, texts quoted, blobs as
// X'..', NULL), so the text loaded by the sqlite3 shell gives back the same
// values, mixed classes included. Statements end with ";" and "\r\n".
//
// The dump only reads, through a row reader the connection supplies, so a
// remote database is dumped with ordinary queries over the protocol.
//
// Ownership: nothing is kept. Threads: the connection's.
// Throws what the row reader throws; `out` is then left as it was.
#pragma once

#include <functional>
#include <string_view>

#include "core/String.h"

namespace VORLIN {

class SqliteDump {
public:
    // Runs `sql` and calls `row` with the texts of the columns of every
    // result row, in order (NULL as the empty text). The texts are valid
    // during the call only.
    using Row = std::function<void(const std::string_view* texts, int count)>;
    // With `literals`, each text is the SQL literal of the value, written as
    // SQLite's quote() writes it (the reader of a local database does that
    // itself, faster than asking quote() for every value).
    using RowReader = std::function<void(const String& sql, bool literals, const Row& row)>;

    // `columnsApart`: the reader gives every column of a row, as literals
    // when asked (a local database); otherwise each row's values come
    // quoted by SQLite and joined in one column, as a reader that keeps only
    // the first column needs.
    static void write(const RowReader& read, String* out, bool withSchema,
                      bool columnsApart = false);
};

}  // namespace VORLIN
