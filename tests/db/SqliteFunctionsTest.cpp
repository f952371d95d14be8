#include "db/sqlite/SqliteFunctions.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>
#include <string>

using VORLIN::SqliteFunctions;

namespace {

// An in-memory database with the functions registered; eval runs one
// SELECT and answers its first value as text ("<null>" for NULL).
class SqlFunctions : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
        ASSERT_EQ(SqliteFunctions::registerAll(db_), SQLITE_OK);
    }
    void TearDown() override { sqlite3_close(db_); }

    std::string eval(const std::string& expr) {
        sqlite3_stmt* st = nullptr;
        std::string sql = "SELECT " + expr + ";";
        EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql;
        std::string out = "<no row>";
        if (sqlite3_step(st) == SQLITE_ROW) {
            const unsigned char* t = sqlite3_column_text(st, 0);
            out = t ? reinterpret_cast<const char*>(t) : "<null>";
        }
        sqlite3_finalize(st);
        return out;
    }

    sqlite3* db_ = nullptr;
};

}  // namespace

TEST_F(SqlFunctions, ZeroPaddingAndTokens) {
    EXPECT_EQ(eval("MaskZeros(42, 5)"), "00042");
    EXPECT_EQ(eval("MaskZeros('42', 4)"), "0042");
    EXPECT_EQ(eval("MaskZeros(123456, 3)"), "123456");
    EXPECT_EQ(eval("MaskZeros(NULL, 3)"), "<null>");
    EXPECT_EQ(eval("length(MaskZeros(1, 2000000000))"), "1000");  // bounded
    EXPECT_EQ(eval("formatSerFol('A-', 7, 4)"), "A-0007");
    EXPECT_EQ(eval("firstToken('uno,dos,tres', ',')"), "uno");
    EXPECT_EQ(eval("firstToken(',,dos', ',')"), "dos");
}

TEST_F(SqlFunctions, DatesAsTextAndJulianNumbers) {
    EXPECT_EQ(eval("HumanDate('2009-07-05')"), "05-Julio-2009");
    EXPECT_EQ(eval("HumanDate(2451544.5)"), "01-Enero-2000");
    EXPECT_EQ(eval("difDate('2009-03-01', '2009-02-01')"), "28");
    EXPECT_EQ(eval("difDate('2009-02-01', '2009-03-01')"), "-28");
    EXPECT_EQ(eval("restaDias('2009-03-01', 1)"), "2009-02-28");
    EXPECT_EQ(eval("restaDias('2009-03-01 10:30:00', 31)"), "2009-01-29 10:30:00");
    EXPECT_EQ(eval("restaDias('garbage', 1)"), "<null>");
    EXPECT_EQ(eval("formatDate('2009-07-05', '%d/%m/%y')"), "5/7/09");
}

TEST_F(SqlFunctions, IsoWeeks) {
    EXPECT_EQ(eval("isoWeek('2009-07-05')"), "27");
    EXPECT_EQ(eval("isoWeek('2010-01-03')"), "53");  // belongs to 2009's last week
    EXPECT_EQ(eval("isoWeek('2008-12-29')"), "1");   // belongs to 2009's first week
    EXPECT_EQ(eval("isoWeekYear('2010-01-03')"), "53-09");
    EXPECT_EQ(eval("isoWeekYear('2008-12-29')"), "01-09");
    EXPECT_EQ(eval("isoWeekYear('2009-07-05')"), "27-09");
}

TEST_F(SqlFunctions, RandomChoicesStayInRange) {
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        std::string v = eval("randomStr('a|b|c', '|')");
        EXPECT_TRUE(v == "a" || v == "b" || v == "c") << v;
        seen.insert(v);
        int n = std::stoi(eval("randomInt(5, 7)"));
        EXPECT_GE(n, 5);
        EXPECT_LE(n, 7);
    }
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(eval("randomInt(9, 3)"), "9");  // an empty range answers its lower end
    EXPECT_EQ(eval("randomStr('', '|')"), "");
}
