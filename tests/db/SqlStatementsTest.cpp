// Splitting SQL files into statements, and the split statements run on a
// real SQLite database (a trigger body keeps its own semicolons).
#include "db/SqlStatements.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/sqlite/SqliteLocalConnection.h"
#include "tests/support/TempFolder.h"

using namespace VORLIN;

namespace {

std::vector<std::string> split(const char* sql) {
    std::vector<std::string> out;
    for (const String& s : SqlStatements::split(sql))
        out.push_back(s.toStdString());
    return out;
}

TEST(SqlStatementsTest, SplitsAtSemicolonsOutsideQuotesAndComments) {
    using V = std::vector<std::string>;
    EXPECT_EQ(split("SELECT 1;SELECT 2"), (V{"SELECT 1", "SELECT 2"}));
    EXPECT_EQ(split("INSERT INTO t VALUES ('a;b', 'it''s;');\n  \n"),
              (V{"INSERT INTO t VALUES ('a;b', 'it''s;')"}));
    EXPECT_EQ(split("SELECT \"x;y\", `z;w`, [v;u] FROM t;"),
              (V{"SELECT \"x;y\", `z;w`, [v;u] FROM t"}));
    EXPECT_EQ(split("-- uno; dos\nSELECT 1; /* tres; */ ;\n# cuatro;\n"),
              (V{"-- uno; dos\nSELECT 1"}));
    EXPECT_EQ(split("INSERT INTO t VALUES ('C:\\');SELECT 2;"),
              (V{"INSERT INTO t VALUES ('C:\\')", "SELECT 2"}));
    EXPECT_EQ(split("SELECT 'sin cerrar; nada"), (V{"SELECT 'sin cerrar; nada"}));
    EXPECT_EQ(split(""), V{});
    EXPECT_EQ(SqlStatements::firstWord("  /* x */ -- y\n create table t"), "CREATE");
    EXPECT_EQ(SqlStatements::firstWord("'texto'"), "");
}

TEST(SqlStatementsTest, ATriggerBodyIsOneStatement) {
    const char* sql =
        "CREATE TABLE t (v INTEGER, n INTEGER);\n"
        "CREATE TEMP TRIGGER tr AFTER INSERT ON t BEGIN\n"
        "  UPDATE t SET n = CASE WHEN new.v > 0 THEN 1 ELSE 0 END WHERE rowid = "
        "new.rowid;\n"
        "  SELECT 1;\n"
        "END;\n"
        "INSERT INTO t (v) VALUES (5);";
    std::vector<String> parts = SqlStatements::split(sql);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[1].left(19), "CREATE TEMP TRIGGER");
    EXPECT_EQ(parts[1].right(3), "END");

    testsupport::TempFolder dir("quelmir-split");
    SqliteLocalConnection db;
    ASSERT_TRUE(db.connect(String(dir.path), "", "", false, String()));
    ASSERT_TRUE(db.openDatabase("t.db", false));
    for (const String& s : parts)
        db.execute(s);
    EXPECT_EQ(db.queryInt("SELECT n FROM t"), 1);
}

}  // namespace
