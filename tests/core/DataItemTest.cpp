#include "core/DataItem.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/GeneralException.h"

using VORLIN::Color;
using VORLIN::Currency;
using VORLIN::DataItem;
using VORLIN::DateDay;
using VORLIN::DateTime;
using VORLIN::Font;
using VORLIN::GeneralException;
using VORLIN::Interfasable;
using VORLIN::Point;
using VORLIN::Rect;
using VORLIN::String;

namespace {

DataItem typed(int tag, const char* text) {
    DataItem d;
    d.setType(tag);
    d.fromString(text);
    return d;
}

struct Probe : Interfasable {
    explicit Probe(int* deaths) : deaths(deaths) {}
    ~Probe() override { ++*deaths; }
    int* deaths;
};

}  // namespace

TEST(DataItemLayout, FitsInACacheLine) {
    EXPECT_LE(sizeof(DataItem), 64u);
}

TEST(DataItemSetters, GiveTheTextForm) {
    DataItem d;
    d.setInt(-12);
    EXPECT_EQ(d.text(), "-12");
    d.setUInt(4294967295u);
    EXPECT_EQ(d.text(), "4294967295");
    d.setDouble(1.5);
    EXPECT_EQ(d.text(), "1.500000");
    d.setBool(true);
    EXPECT_EQ(d.text(), "T");
    d.setChar('x');
    EXPECT_EQ(d.text(), "x");
    d.setDate(DateTime(2009, 5, 1));
    EXPECT_EQ(d.text(), "2009-05-01");
    d.setDate(DateTime(2009, 5, 1, 10, 0, 7));
    EXPECT_EQ(d.text(), "2009-05-01 10:00:07");
    d.setCurrency(Currency(1234.5));
    EXPECT_EQ(d.text(), "$1,234.50");
    d.setColor(Color::fromRgb(255, 0, 0));
    EXPECT_EQ(d.text(), "(255,0,0)");
    d.setPoint(Point(3, 4));
    EXPECT_EQ(d.text(), "(3, 4)");
    d.setRect(Rect(1, 2, 30, 40));
    EXPECT_EQ(d.text(), "(1, 2)-[30, 40]");
    d.setDay(DateDay(5, 7));
    EXPECT_EQ(d.text(), "07-05");
    d.setFont(Font("Arial", 12, Font::Bold, 0));
    EXPECT_EQ(d.text(), "Arial|12|1|0");
    EXPECT_EQ(d.type(), DataItem::TFont);
    d.setBin("raw");
    EXPECT_EQ(d.type(), DataItem::TBin);
    EXPECT_EQ(d.text(), "raw");
    d.setRef(&d);
    EXPECT_EQ(d.text().left(5), "*Ref*");
    EXPECT_EQ(d.text().mid(5).toLong(), int64_t(reinterpret_cast<intptr_t>(&d)));
    EXPECT_EQ(d.getRef(), &d);
}

// Integers, doubles and dates write their text only when it is asked for:
// every way an item is copied, moved, compared or converted gives the text
// of the value it holds now, never one of before.
TEST(DataItemSetters, TextsLeftToBeWrittenAreThoseOfTheValueHeldNow) {
    DataItem a;
    a.setString("a long text that lives on the heap");
    a.setInt(42);  // the old text is stale, not shown
    DataItem copy(a);
    DataItem assigned;
    assigned.setString("before");
    assigned = a;
    DataItem viaCopyFrom;
    viaCopyFrom.setDouble(9.0);
    viaCopyFrom.copyFrom(a);
    EXPECT_EQ(copy.text(), "42");
    EXPECT_EQ(assigned.text(), "42");
    EXPECT_EQ(viaCopyFrom.text(), "42");
    DataItem moved(std::move(a));
    EXPECT_EQ(moved.text(), "42");
    EXPECT_TRUE(a.isNull());  // NOLINT(bugprone-use-after-move): moved-from is null
    EXPECT_EQ(a.text(), "");

    DataItem x, y;
    x.setDouble(2.25);
    y.setString("2.250000");
    EXPECT_EQ(x.compare(y), 0);
    String out;
    EXPECT_EQ(x.toString(out), "2.250000");
    EXPECT_EQ(x.sqlLiteral(), "2.250000");
    x.setInt(7);
    EXPECT_EQ(x.toInt(), 7);
    EXPECT_EQ(x.text(), "7");
    x.setString("texto");  // a text set after a number is the text
    EXPECT_EQ(x.text(), "texto");

    DataItem d;
    d.setDate(DateTime(2024, 2, 29, 23, 59, 58));
    DataItem dateCopy = d;
    d.setInt(1);
    EXPECT_EQ(dateCopy.text(), "2024-02-29 23:59:58");
    EXPECT_EQ(d.text(), "1");
    DataItem nowNull;
    nowNull.setDouble(3.5);
    nowNull.setNull();
    EXPECT_EQ(nowNull.text(), "");
}

TEST(DataItemSetters, SetTypeGivesTheEmptyValue) {
    const char* expected[DataItem::kTypeCount] = {"",
                                                  "",
                                                  "",
                                                  "0",
                                                  "0",
                                                  "0",
                                                  "0",
                                                  "0.000000",
                                                  "0-00-00",
                                                  "F",
                                                  "null",
                                                  "(0, 0)",
                                                  "(0, 0)-[0, 0]",
                                                  "$0.00",
                                                  "*Ref*",
                                                  "*Obj*",
                                                  "",
                                                  "00-00",
                                                  "",
                                                  "ERROR"};
    for (int tag = 0; tag < DataItem::kTypeCount; ++tag) {
        DataItem d;
        d.setString("previous");
        d.setType(tag);
        EXPECT_EQ(d.type(), tag) << tag;
        EXPECT_EQ(d.text(), expected[tag]) << tag;
    }
    DataItem d(7);
    d.setType(20);  // ignored
    EXPECT_EQ(d.type(), DataItem::TInt);
    EXPECT_EQ(d.text(), "7");
}

TEST(DataItemSetters, ClearValueKeepsTagAndSpecialCases) {
    DataItem n(42);
    n.setAuxNumber(9);
    n.clearValue();
    EXPECT_EQ(n.type(), DataItem::TInt);
    EXPECT_EQ(n.text(), "0");
    EXPECT_EQ(n.auxNumber(), 0);

    DataItem r;
    r.setRef(&n);
    String before = r.text();
    r.clearValue();
    EXPECT_EQ(r.getRef(), nullptr);
    EXPECT_EQ(r.text(), before);  // only the pointer goes

    DataItem f;
    f.setFont(Font("Courier", 10));
    f.clearValue();
    EXPECT_EQ(f.text(), "Courier|10|0|0");
}

TEST(DataItemParse, IntegersFollowTheAtofRoutes) {
    EXPECT_EQ(typed(DataItem::TUInt, "4294967295").toUInt(), 4294967295u);
    EXPECT_EQ(typed(DataItem::TInt, "3.9").toInt(), 3);
    EXPECT_EQ(typed(DataItem::TInt, "-3.9").toInt(), -3);
    EXPECT_EQ(typed(DataItem::TInt, "abc").toInt(), 0);
    EXPECT_EQ(typed(DataItem::TInt, "1e30").toInt(), 2147483647);  // saturates, no UB
    DataItem ul = typed(DataItem::TULong, "3000000000");
    EXPECT_EQ(ul.toULong(), 3000000000u);
    EXPECT_EQ(ul.text(), "3000000000");
    EXPECT_EQ(typed(DataItem::TDouble, "$1,234.5").toDouble(), 1234.5);
    EXPECT_DOUBLE_EQ(typed(DataItem::TCurrency, "-$2,000.25").toCurrency().amount, -2000.25);
    EXPECT_EQ(typed(DataItem::TChar, "xyz").toChar(), 'x');
    EXPECT_EQ(typed(DataItem::TChar, "").toChar(), 0);
}

TEST(DataItemParse, BooleansDatesAndDays) {
    EXPECT_TRUE(typed(DataItem::TBool, "TRUE").toBool());
    EXPECT_TRUE(typed(DataItem::TBool, "t").toBool());
    EXPECT_FALSE(typed(DataItem::TBool, "yes").toBool());
    EXPECT_TRUE(typed(DataItem::TBool, "2").toBool());
    EXPECT_FALSE(typed(DataItem::TBool, "0").toBool());

    DataItem d = typed(DataItem::TDate, "2009-07-05 13:30:00");
    EXPECT_EQ(d.text(), "2009-07-05 13:30:00");
    DataItem j = typed(DataItem::TDate, "2451544.5");  // a Julian day number
    EXPECT_EQ(j.text(), "2000-01-01");
    DataItem hoy = typed(DataItem::TDate, "HOY");
    DateTime now = DateTime::now();
    DateTime got = hoy.toDateTime();
    EXPECT_EQ(got.year, now.year);
    EXPECT_EQ(got.month, now.month);
    if (got.hour || got.minute || got.second) {
        EXPECT_GT(hoy.text().length(), 10u);  // the time shows unless midnight
    }

    DataItem day = typed(DataItem::TDay, "02-29");
    EXPECT_EQ(day.toDateDay().day, 29);
    EXPECT_EQ(day.toDateDay().month, 2);
    EXPECT_DOUBLE_EQ(day.toDouble(), 60.0);
}

TEST(DataItemParse, UntypedBecomesStringAndSpecialTagsStay) {
    DataItem n;
    n.fromString("hello");
    EXPECT_EQ(n.type(), DataItem::TString);
    DataItem e;
    e.setError();
    e.fromString("x");
    EXPECT_EQ(e.text(), "ERROR");
    DataItem b;
    b.setBin("");
    b.fromString("bytes");
    EXPECT_EQ(b.type(), DataItem::TBin);
    EXPECT_EQ(b.text(), "bytes");
}

TEST(DataItemGetters, ConvertAcrossTags) {
    DataItem b;
    b.setBool(true);
    EXPECT_EQ(b.toInt(), 1);
    EXPECT_EQ(b.toChar(), 1);
    EXPECT_DOUBLE_EQ(b.toDouble(), 1.0);
    DataItem ul;
    ul.setULong(3000000000u);
    EXPECT_EQ(ul.toULong(), 3000000000u);
    DataItem s("true");
    EXPECT_TRUE(s.toBool());
    EXPECT_TRUE(DataItem("1").toBool());
    EXPECT_FALSE(DataItem("2").toBool());  // a string is true only for t, true or 1
    DataItem date(DateTime(2000, 1, 1));
    EXPECT_DOUBLE_EQ(date.toDouble(), 2451544.5);
    DataItem txt("(1, 2)-[3, 4]");
    EXPECT_EQ(txt.toRect(), Rect(1, 2, 3, 4));
    EXPECT_EQ(DataItem("(5, 6)").toPoint(), Point(5, 6));
    EXPECT_EQ(DataItem("(1,2,3)").toColor().value, 0x030201u);
    EXPECT_EQ(DataItem(65).toChar(), 'A');
}

TEST(DataItemGetters, ReferenceAndObjectAccessThrowOnOtherTags) {
    DataItem n(5);
    try {
        n.getRef();
        FAIL();
    } catch (const GeneralException& e) {
        EXPECT_STREQ(e.what(), "DataItem.operator >> : DataItem is not a reference");
    }
    try {
        n.getObj();
        FAIL();
    } catch (const GeneralException& e) {
        EXPECT_STREQ(e.what(),
                     "DataItem.operator >> : DataItem is not an Interfase object\r\nData: 5");
    }
}

TEST(DataItemPredicates, EmptinessByTag) {
    EXPECT_TRUE(DataItem().isEmpty());
    EXPECT_TRUE(DataItem(0).isEmpty());
    EXPECT_FALSE(DataItem(1).isEmpty());
    EXPECT_TRUE(DataItem(0.0).isEmpty());
    EXPECT_TRUE(DataItem("").isEmpty());
    EXPECT_FALSE(DataItem(" ").isEmpty());
    DataItem c;
    c.setColor(Color());
    EXPECT_TRUE(c.isEmpty());
    DataItem r;
    r.setRect(Rect(1, 1, 0, 5));
    EXPECT_TRUE(r.isEmpty());
    DataItem f;
    f.setFont(Font());
    EXPECT_FALSE(f.isEmpty());  // a font is never empty
    DataItem d(DateTime(0, 0, 0, 0, 0, 1));
    EXPECT_FALSE(d.isEmpty());

    EXPECT_TRUE(DataItem().isNullOrEmpty());
    EXPECT_FALSE(DataItem(0).isNullOrEmpty());
    DataItem ref;
    ref.setRef(nullptr);
    EXPECT_TRUE(ref.isNullOrEmpty());
    EXPECT_TRUE(DataItem(7).equalsInt(7));
    EXPECT_FALSE(DataItem("7").equalsInt(7));  // only numeric items
    EXPECT_TRUE(DataItem(7.9).equalsInt(7));
    EXPECT_TRUE(DataItem("abc").equalsText("abc"));
    EXPECT_FALSE(DataItem("abc").equalsText("ABC"));
}

TEST(DataItemCompare, TypedRules) {
    EXPECT_EQ(DataItem("10").compare(DataItem(9)), 1);     // numeric
    EXPECT_EQ(DataItem("10").compare(DataItem("9")), -1);  // byte-wise
    EXPECT_EQ(DataItem().compare(DataItem()), 0);
    EXPECT_EQ(DataItem().compare(DataItem(1)), 1);
    EXPECT_EQ(DataItem(1).compare(DataItem()), 1);
    EXPECT_EQ(DataItem(2).compare(DataItem(2.5)), -1);
    EXPECT_EQ(DataItem(2.5).compare(DataItem("2.5")), 0);

    DataItem t, f;
    t.setBool(true);
    f.setBool(false);
    EXPECT_EQ(t.compare(f), 1);
    EXPECT_EQ(f.compare(t), -1);
    EXPECT_EQ(DataItem("true").compare(t), 0);

    DataItem morning(DateTime(2009, 5, 1, 10, 0, 0));
    DataItem evening(DateTime(2009, 5, 1, 18, 0, 0));
    EXPECT_EQ(morning.compare(evening), 0);  // less than a day apart
    EXPECT_EQ(morning.compare(DataItem("2009-05-03")), -1);
    EXPECT_EQ(morning.compare(DataItem(2454952.5)), 0);  // Julian number of 2009-05-01
    DataItem may1;
    may1.setDay(DateDay(1, 5));
    EXPECT_EQ(morning.compare(may1), 0);
    EXPECT_EQ(may1.compare(DataItem(122)), 0);  // day 122 of a 366-day year is May 1
    EXPECT_EQ(may1.compare(morning), 0);

    DataItem a, b;
    a.setCurrency(Currency(5));
    b.setCurrency(Currency(7));
    EXPECT_EQ(a.compare(b), -1);
    DataItem p1, p2;
    p1.setPoint(Point(5, 1));
    p2.setPoint(Point(1, 2));
    EXPECT_EQ(p1.compare(p2), -1);
}

TEST(DataItemCompare, NoCaseAndReferences) {
    EXPECT_EQ(DataItem("ABC").compareNoCase(DataItem("abc")), 0);
    EXPECT_EQ(DataItem("abc").compareNoCase(DataItem("ABD")), -1);
    EXPECT_EQ(DataItem("x").compareNoCase(DataItem()), 1);
    EXPECT_EQ(DataItem(10).compareNoCase(DataItem("9")), 1);

    DataItem x, r1, r2;
    r1.setRef(&x);
    r2.setRef(&x);
    EXPECT_EQ(r1.compare(r2), 0);
    r2.setRef(&r1);
    EXPECT_EQ(r1.compare(r2), 1);
}

TEST(DataItemSql, LiteralsByTag) {
    EXPECT_EQ(DataItem("O'Brien").sqlLiteral(), "'O''Brien'");
    DataItem bin;
    bin.setBin("it's'); DROP TABLE t; --");
    EXPECT_EQ(bin.sqlLiteral(), "'it''s''); DROP TABLE t; --'");  // quotes doubled
    EXPECT_EQ(DataItem().sqlLiteral(), "NULL");
    DataItem err;
    err.setError();
    EXPECT_EQ(err.sqlLiteral(), "NULL");
    EXPECT_EQ(DataItem(-5).sqlLiteral(), "-5");
    EXPECT_EQ(DataItem(2.5).sqlLiteral(), "2.500000");
    // A literal never rounds the stored value: statements rewrite whole rows.
    EXPECT_EQ(DataItem(0.1234567891).sqlLiteral(), "0.1234567891");
    EXPECT_EQ(DataItem(1e-7).sqlLiteral(), "1e-07");
    EXPECT_EQ(DataItem(0.1).sqlLiteral(), "0.100000");  // reads back as the same double
    EXPECT_EQ(DataItem(Currency(0.125)).sqlLiteral(), "0.125000");
    EXPECT_EQ(DataItem(Currency(1.0 / 3)).sqlLiteral(), "0.3333333333333333");
    EXPECT_EQ(DataItem(std::nan("")).sqlLiteral(), "NULL");
    DataItem t;
    t.setBool(true);
    EXPECT_EQ(t.sqlLiteral(), "1");
    EXPECT_EQ(DataItem(Currency(1234.5)).sqlLiteral(), "1234.500000");
    EXPECT_EQ(DataItem(DateTime(2009, 5, 1)).sqlLiteral(), "'2009-05-01'");
    DataItem ref;
    ref.setRef(nullptr);
    EXPECT_EQ(ref.sqlLiteral(), "Ref: 0");
}

TEST(DataItemTypes, NamesRoundTrip) {
    EXPECT_STREQ(DataItem::typeName(DataItem::TCurrency), "currency");
    EXPECT_STREQ(DataItem::typeName(19), "error");
    EXPECT_EQ(DataItem::typeFromName("INTEGER"), DataItem::TInt);
    EXPECT_EQ(DataItem::typeFromName("varchar"), DataItem::TString);
    EXPECT_EQ(DataItem::typeFromName("image"), DataItem::TBin);
    EXPECT_EQ(DataItem::typeFromName("expands"), DataItem::TRef);
    EXPECT_EQ(DataItem::typeFromName("varchar(20)"), DataItem::TNull);  // whole-text match
    EXPECT_EQ(DataItem::typeFromName("uint"), DataItem::TNull);
}

TEST(DataItemAssign, KeepsTypeOrCopies) {
    DataItem n(5);
    n.assign(nullptr);
    EXPECT_EQ(n.type(), DataItem::TInt);
    EXPECT_EQ(n.text(), "0");

    DataItem i(1);
    DataItem s("42.7");
    s.setAuxText("note");
    i.assign(&s);
    EXPECT_EQ(i.type(), DataItem::TInt);
    EXPECT_EQ(i.toInt(), 42);
    EXPECT_EQ(i.auxText(), "note");

    DataItem empty;
    empty.assign(&s);
    EXPECT_EQ(empty.type(), DataItem::TString);
    EXPECT_EQ(empty.text(), "42.7");

    DataItem keep(3), drop(3), null;
    keep.assign(&null);
    EXPECT_EQ(keep.type(), DataItem::TInt);
    drop.assignNullable(&null);
    EXPECT_EQ(drop.type(), DataItem::TNull);
}

TEST(DataItemOwnership, OnlyTheOwnerDestroysTheObject) {
    int deaths = 0;
    {
        DataItem owner;
        owner.setObj(new Probe(&deaths), true);
        DataItem copy(owner);
        EXPECT_FALSE(copy.ownsObject());
        EXPECT_EQ(copy.getObj(), owner.getObj());
        DataItem moved(std::move(owner));
        EXPECT_TRUE(moved.ownsObject());
        EXPECT_FALSE(owner.ownsObject());
        copy.release();
        EXPECT_EQ(deaths, 0);
        EXPECT_TRUE(copy.isNull());
    }
    EXPECT_EQ(deaths, 1);

    Probe notOwned(&deaths);
    {
        DataItem viewer;
        viewer.setObj(&notOwned);
    }
    EXPECT_EQ(deaths, 1);
}

TEST(DataItemCopy, CarriesAuxiliaryFields) {
    DataItem a("x");
    a.setAuxText("aux");
    a.setAuxNumber(3);
    DataItem b(a);
    EXPECT_EQ(b.auxText(), "aux");
    EXPECT_EQ(b.auxNumber(), 3);
    DataItem c(1);
    c.copyFrom(a);
    EXPECT_EQ(c.type(), DataItem::TString);
    EXPECT_EQ(c.auxText(), "aux");
    c.copyFrom(c);
    EXPECT_EQ(c.text(), "x");
}
