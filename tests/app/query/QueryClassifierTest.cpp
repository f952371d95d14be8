// What "Ejecutar" makes of a statement text, and the reading of a plain
// table statement: the cases of the query window and the token rules
// (literals, quoted names, whole words, first word only).
#include <gtest/gtest.h>

#include "app/query/QueryClassifier.h"

using Kind = QueryClassifier::Kind;
using VORLIN::String;

namespace {

QueryClassifier::Result classify(const char* text) {
    return QueryClassifier::classify(String(text));
}

void expectTable(const char* text, const char* table, const char* where, const char* order) {
    QueryClassifier::Result r = classify(text);
    ASSERT_EQ(r.kind, Kind::Table) << text;
    EXPECT_EQ(r.select.table.toStdString(), table) << text;
    EXPECT_EQ(r.select.where.toStdString(), where) << text;
    EXPECT_EQ(r.select.orderBy.toStdString(), order) << text;
    EXPECT_STREQ(r.message(), "") << text;
}

TEST(QueryClassifier, KindsAndMessagesOfEjecutar) {
    EXPECT_EQ(classify("   \r\n ").kind, Kind::Empty);
    expectTable("select * from t where a=1 order by b;", "t", "a=1", "b");

    for (const char* q : {"SELECT a FROM t", "  \n PRAGMA table_info(t)", "INSERT INTO t VALUES(1)",
                          "WITH x AS (SELECT 1) SELECT * FROM x", "ALTER TABLE t ADD c"}) {
        QueryClassifier::Result r = classify(q);
        EXPECT_EQ(r.kind, Kind::Query) << q;
        EXPECT_STREQ(r.message(), "") << q;
    }
    EXPECT_EQ(classify("  PRAGMA user_version").text.toStdString(), "PRAGMA user_version");

    QueryClassifier::Result vacuum = classify("vacuum");
    EXPECT_EQ(vacuum.kind, Kind::Vacuum);
    EXPECT_STREQ(vacuum.message(), "Limpieza terminada");

    for (const char* c : {"CREATE TABLE n(a)", "drop table n"}) {
        QueryClassifier::Result r = classify(c);
        EXPECT_EQ(r.kind, Kind::Command) << c;
        EXPECT_TRUE(r.changesTables) << c;
        EXPECT_STREQ(r.message(), "Comando completado");
    }
    for (const char* c : {"DELETE FROM t", "update t set a=1", "REPLACE INTO t VALUES(1)"}) {
        QueryClassifier::Result r = classify(c);
        EXPECT_EQ(r.kind, Kind::Command) << c;
        EXPECT_FALSE(r.changesTables) << c;
    }
}

TEST(QueryClassifier, WordsCountOnlyAsWholeTokensOutsideLiterals) {
    // VACUUM only as the first word: elsewhere it is data or a name.
    EXPECT_EQ(classify("INSERT INTO log VALUES('vacuum')").kind, Kind::Query);
    EXPECT_EQ(classify("UPDATE t SET note='VACUUM'").kind, Kind::Command);
    EXPECT_EQ(classify("DELETE FROM vacuum_log").kind, Kind::Command);
    // A first word is a whole word.
    EXPECT_EQ(classify("SELECTED").kind, Kind::Query);
    EXPECT_EQ(classify("CREATED_AT").kind, Kind::Query);
    EXPECT_EQ(classify("-- purge\nDELETE FROM t").kind, Kind::Command);

    // "nowhere" is a column, not WHERE; ';' and ORDER BY in a literal do not
    // end the condition.
    expectTable("SELECT * FROM t WHERE nowhere = 1", "t", "nowhere = 1", "");
    expectTable("SELECT * FROM t WHERE a = 'x;y' AND b = 'order by c'", "t",
                "a = 'x;y' AND b = 'order by c'", "");
    expectTable("SELECT * FROM t WHERE \"limit\" = 'LIMIT 3' ORDER BY \"group\"", "t",
                "\"limit\" = 'LIMIT 3'", "\"group\"");
    expectTable("SELECT * FROM t WHERE a IN (1, 2) ;;", "t", "a IN (1, 2)", "");
    expectTable("select\n*\nfrom\tt\norder   by  a ,   b   desc", "t", "", "a , b desc");
    expectTable("SELECT * FROM t ORDER BY 'a  b'", "t", "", "'a  b'");
    expectTable("SELECT * FROM orders", "orders", "", "");
}

TEST(QueryClassifier, QuotedTableNamesLoseTheirQuotes) {
    expectTable("SELECT * FROM \"order items\" WHERE qty > 2;", "order items", "qty > 2", "");
    expectTable("SELECT * FROM `order items`", "order items", "", "");
    expectTable("SELECT * FROM [order items] ORDER BY id", "order items", "", "id");
    expectTable("SELECT * FROM \"say \"\"hi\"\"\"", "say \"hi\"", "", "");
}

TEST(QueryClassifier, AnythingMoreThanOneTableIsAReadOnlyQuery) {
    for (const char* q : {
             "SELECT * FROM a JOIN b ON a.id = b.id",
             "SELECT * FROM a, b",
             "SELECT * FROM a NATURAL JOIN b",
             "SELECT * FROM a WHERE x = 1 LIMIT 10",
             "SELECT * FROM a ORDER BY x LIMIT 10 OFFSET 5",
             "SELECT * FROM a GROUP BY x",
             "SELECT * FROM a WHERE x = 1 GROUP BY x HAVING count(*) > 1",
             "SELECT * FROM a WHERE id IN (SELECT id FROM b)",
             "SELECT * FROM (SELECT 1)",
             "SELECT * FROM a UNION SELECT * FROM b",
             "SELECT * FROM a x",
             "SELECT * FROM main.a",
             "SELECT * FROM a; DELETE FROM a",
             "SELECT * FROM a WHERE",
             "SELECT * FROM a ORDER BY",
             "SELECT * FROM a ORDER x",
             "SELECT * FROM a WHERE b = 1 -- a note",
             "SELECT * FROM 'a'",
             "SELECT * FROM \"unclosed",
             "SELECT * FROM a WHERE (b = 1",
             "SELECT *, rowid FROM a",
             "SELECT * FROM WHERE",
         }) {
        EXPECT_EQ(classify(q).kind, Kind::Query) << q;
        QueryClassifier::TableSelect s;
        EXPECT_FALSE(QueryClassifier::parseTableSelect(String(q), s)) << q;
    }
}

}  // namespace
