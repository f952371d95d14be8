#include "core/DateDay.h"

#include <gtest/gtest.h>

#include "core/DateTime.h"

using VORLIN::DateDay;
using VORLIN::DateTime;
using VORLIN::String;

TEST(DateDayTest, LeapDayIsValidAndNumberedSixty) {
    DateDay leap(29, 2);
    EXPECT_TRUE(leap.isValid());
    EXPECT_EQ(leap.dayOfYear(), 60);
    EXPECT_EQ(DateDay::fromDayOfYear(60), leap);
    EXPECT_EQ(DateDay(1, 3).dayOfYear(), 61);
    EXPECT_EQ(DateDay(31, 12).dayOfYear(), 366);
}

TEST(DateDayTest, DayOfYearRoundTripsOverTheWholeYear) {
    for (int n = 1; n <= 366; ++n) {
        DateDay d = DateDay::fromDayOfYear(n);
        ASSERT_TRUE(d.isValid()) << n;
        EXPECT_EQ(d.dayOfYear(), n);
    }
    EXPECT_TRUE(DateDay::fromDayOfYear(0).isEmpty());
    EXPECT_TRUE(DateDay::fromDayOfYear(367).isEmpty());
}

TEST(DateDayTest, InvalidPairsBecomeEmpty) {
    EXPECT_EQ(DateDay(30, 2), DateDay());
    EXPECT_EQ(DateDay(31, 4), DateDay());
    EXPECT_EQ(DateDay(1, 13), DateDay());
    EXPECT_EQ(DateDay(30, 2).format("%D/%M"), "__/__");
}

TEST(DateDayTest, TextIsMonthThenDay) {
    EXPECT_EQ(DateDay(5, 12).toString(), "12-05");
    DateDay d;
    d.fromString("02-29");
    EXPECT_EQ(d, DateDay(29, 2));
    d.fromString("7");
    EXPECT_EQ(d.month, 7);
    EXPECT_EQ(d.day, 0);
}

TEST(DateDayTest, ComparesByDayOfYear) {
    EXPECT_EQ(DateDay(1, 3).compare(DateDay(29, 2)), 1);
    EXPECT_EQ(DateDay(1, 1).compare(DateDay(1, 2)), -31);
    EXPECT_EQ(DateDay(9, 9).compare(DateDay(9, 9)), 0);
}

TEST(DateDayTest, FormatsWithRegionalNames) {
    DateDay d(29, 2);
    EXPECT_EQ(d.format("%D de %O"), "29 de Febrero");
    EXPECT_EQ(d.format("%d-%o (%m/%M) %%"), "29-Feb (2/02) %");
    EXPECT_EQ(DateDay(3, 7).format("%D/%M"), "03/07");
}

TEST(DateDayTest, TodayMatchesTheLocalClock) {
    DateDay before = DateDay::today();
    DateTime now = DateTime::now();
    DateDay after = DateDay::today();
    EXPECT_TRUE(after.isValid());
    // The clock may pass midnight between the reads: either side is fine.
    DateDay fromNow(now.day, now.month);
    EXPECT_TRUE(fromNow == before || fromNow == after);
}
