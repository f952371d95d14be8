// A real SQLite file for the designer's tests, open on a local connection,
// and a way to run the designer's statements on it with the sqlite3 shell.
#pragma once

#include <string>

#include "core/String.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "tests/support/SqliteShell.h"
#include "tests/support/TempFolder.h"

namespace designertest {

struct SalesFile {
    testsupport::TempFolder folder;
    std::string db = folder.file("ventas.db");
    VORLIN::SqliteLocalConnection connection;
    // `script`: the tables and rows, as the sqlite3 shell takes them.
    explicit SalesFile(const std::string& script) {
        testsupport::sqliteShell(db, script);
        EXPECT_TRUE(connection.connect(VORLIN::String(folder.path + "/"), "", "", false, ""));
        EXPECT_TRUE(connection.openDatabase("ventas", true, "", ""));
    }
    // The statement's rows as the sqlite3 shell prints them.
    std::string run(const VORLIN::String& sql) const {
        std::string text;
        for (char c : sql.view())
            if (c != '\r') text += c == '"' ? std::string("\\\"") : std::string(1, c);
        return testsupport::sqliteShell(db, text);
    }
};

}  // namespace designertest
