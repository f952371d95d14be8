#include "app/main/SqlFileJob.h"

#include <cstdio>
#include <string>

#include "core/GeneralException.h"
#include "db/DbConnection.h"
#include "db/SqlStatements.h"
#include "db/mysql/MySqlConnection.h"

using VORLIN::DbConnection;
using VORLIN::GeneralException;
using VORLIN::String;

namespace {

// Said by a back end whose transaction already ended by itself (SQLite
// rolls back on some errors): nothing left to undo, nothing to report.
constexpr const char* kNoTransaction = "No se ha iniciado una transacción";

bool isDdlWord(const String& word) {
    for (const char* w : {"CREATE", "ALTER", "DROP", "RENAME", "TRUNCATE"})
        if (word == w) return true;
    return false;
}

}  // namespace

bool SqlFileJob::holdsDdl(const String& sql) {
    for (const String& statement : VORLIN::SqlStatements::split(sql))
        if (isDdlWord(VORLIN::SqlStatements::firstWord(statement))) return true;
    return false;
}

bool SqlFileJob::fileHoldsDdl(const String& path) const {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::string text;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    std::fclose(f);
    return holdsDdl(String(text));
}

bool SqlFileJob::run(const String& path) {
    error_ = String();
    try {
        connection_.beginTransaction();
    } catch (const GeneralException& e) {
        // Nothing began: there is nothing to roll back, and a rollback's
        // own complaint would hide why the file did not run.
        error_ = String(e.message());
        return false;
    }
    try {
        connection_.executeFile(path);
        connection_.commitTransaction();
        return true;
    } catch (const GeneralException& e) {
        error_ = String(e.message());
    }
    try {
        connection_.rollbackTransaction();
    } catch (const GeneralException& e) {
        if (e.message() != kNoTransaction) {
            error_.append("\r\n");
            error_.append(e.message());
        }
    }
    if (dynamic_cast<VORLIN::MySqlConnection*>(&connection_) && fileHoldsDdl(path)) {
        error_.append("\r\n");
        error_.append(kNotRolledBack);
    }
    return false;
}
