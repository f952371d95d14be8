// SqlFileJob: "Ejecutar archivo sql" without a window. Runs a SQL file on a
// connection as one batch inside one transaction: beginTransaction, the
// connection's file execution (executeFile, which switches on whatever the
// back end needs to run several statements in one call), commitTransaction;
// on any failure after the transaction began it rolls back.
//
// The result is success, or the error text to show: the text of the step
// that failed (a failing beginTransaction is reported as such, and no
// rollback is tried), followed by the rollback's own error when that failed
// too. MySQL commits every CREATE, ALTER, DROP, RENAME and TRUNCATE as it
// runs them, so when a file that holds one of those fails on a MySQL
// connection the error ends with kNotRolledBack.
//
// Ownership: the connection belongs to the caller and must outlive the job.
// Nothing escapes: GeneralException becomes the error text. Application
// class (no namespace, no Qt); the thread that owns the connection.
#pragma once

#include "core/String.h"

namespace VORLIN {
class DbConnection;
}

class SqlFileJob {
public:
    // The line added to the error of a failed file that held DDL on MySQL.
    static constexpr const char* kNotRolledBack =
        "Algunas sentencias no se pudieron deshacer: MySQL confirma cada CREATE, ALTER, DROP, "
        "RENAME y TRUNCATE al ejecutarlo";

    // What the main window shows ("INFO") after a committed file.
    static constexpr const char* kDone = "OK";

    explicit SqlFileJob(VORLIN::DbConnection& connection) : connection_(connection) {}

    // Runs the file at `path`; true when it was committed. On false,
    // error() holds the text to show.
    bool run(const VORLIN::String& path);
    const VORLIN::String& error() const noexcept { return error_; }

    // Whether `sql` holds a statement that MySQL commits implicitly (its
    // first word is CREATE, ALTER, DROP, RENAME or TRUNCATE); quotes,
    // back-quoted names and comments are skipped.
    static bool holdsDdl(const VORLIN::String& sql);

private:
    bool fileHoldsDdl(const VORLIN::String& path) const;

    VORLIN::DbConnection& connection_;
    VORLIN::String error_;
};
