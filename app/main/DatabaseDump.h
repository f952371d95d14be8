// DatabaseDump: "Dump database" without a window. Asks the connection for
// the database as SQL (exportSql with the schema first) and writes it to a
// file: into a temporary file beside the target, flushed to disk and then
// renamed over the target, so that a failed dump leaves any earlier file of
// that name as it was and never leaves half a dump under the target's name.
// The target "-" is the standard-output stream given at construction (for
// quelmir-cli).
//
// The result is success with the number of bytes written, or the error
// text to show (the back end's own text, or which file could not be
// written and why).
//
// Ownership: the connection and the stream belong to the caller and must
// outlive the job. Nothing escapes: GeneralException becomes the error
// text. Application class (no namespace, no Qt); the thread that owns the
// connection.
#pragma once

#include <cstdint>
#include <iosfwd>

#include "core/String.h"

namespace VORLIN {
class DbConnection;
}

class DatabaseDump {
public:
    // The target that means the standard-output stream.
    static constexpr const char* kStandardOutput = "-";
    // The confirmation of a written dump, with its size in bytes.
    static constexpr const char* kDoneFormat = "OK (%llu bytes)";

    DatabaseDump(VORLIN::DbConnection& connection, std::ostream& standardOutput);

    // Dumps the database to `target`; true when the whole dump was written.
    // On false, error() holds the text to show.
    bool run(const VORLIN::String& target);

    const VORLIN::String& error() const noexcept { return error_; }
    // Bytes written by the last successful run.
    uint64_t size() const noexcept { return size_; }
    // "OK (N bytes)" after a successful run.
    VORLIN::String doneText() const;

private:
    void writeFile(const VORLIN::String& target, const VORLIN::String& text);

    VORLIN::DbConnection& connection_;
    std::ostream& standardOutput_;
    VORLIN::String error_;
    uint64_t size_ = 0;
};
