#include "core/DateTime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

using VORLIN::DateTime;
using VORLIN::String;

namespace {

DateTime date(int y, int m, int d, int h = 0, int n = 0, int s = 0) {
    return DateTime(y, m, d, h, n, s);
}

std::string fmt(const DateTime& dt, const char* mask) {
    return dt.format(mask).toStdString();
}

}  // namespace

TEST(DateTimeTest, JulianNumbersOfKnownDays) {
    EXPECT_DOUBLE_EQ(date(2000, 1, 1).toJulian(), 2451544.5);
    EXPECT_EQ(date(2000, 1, 1).dayOfWeek(false), 6);  // Saturday
    EXPECT_EQ(date(2000, 1, 1).dayOfWeek(true), 5);
    EXPECT_DOUBLE_EQ(date(1970, 1, 1).toJulian(), 2440587.5);
    EXPECT_EQ(date(1970, 1, 1).dayOfWeek(false), 4);  // Thursday
    EXPECT_EQ(date(2009, 7, 5).dayOfWeek(true), 6);   // Sunday last
    EXPECT_EQ(DateTime(2451545.0), date(2000, 1, 1, 12, 0, 0));
}

TEST(DateTimeTest, JulianAgreesWithTheProlepticGregorianCalendar) {
    using namespace std::chrono;
    for (sys_days d = sys_days(year{1600} / 1 / 1); d < sys_days(year{2400} / 1 / 1);
         d += days{1}) {
        year_month_day ymd(d);
        DateTime dt(int(ymd.year()), int(unsigned(ymd.month())), int(unsigned(ymd.day())));
        double expected = double(d.time_since_epoch().count()) + 2440587.5;
        ASSERT_DOUBLE_EQ(dt.toJulian(), expected) << dt.toString().c_str();
        ASSERT_EQ(DateTime(expected), dt) << dt.toString().c_str();
        ASSERT_EQ(dt.dayOfWeek(false), int(weekday(d).c_encoding()));
    }
}

TEST(DateTimeTest, TimeOfDaySurvivesDayArithmetic) {
    DateTime dt(2008, 2, 28, 23, 59, 59, 500);
    dt.addDays(1);
    EXPECT_EQ(dt, DateTime(2008, 2, 29, 23, 59, 59, 0));
    dt.subtractDays(366);
    EXPECT_EQ(dt, DateTime(2007, 2, 28, 23, 59, 59, 0));
    // Half a millisecond before midnight rounds into the next day, not to hour 24.
    EXPECT_EQ(DateTime(2451545.5 - 1e-9), date(2000, 1, 2));
}

TEST(DateTimeTest, InvalidAndEmptyRecords) {
    DateTime leap = date(2009, 2, 29);
    EXPECT_FALSE(leap.isValid());
    EXPECT_TRUE(date(2008, 2, 29).isValid());
    EXPECT_FALSE(date(1900, 2, 29).isValid());
    EXPECT_TRUE(date(2000, 2, 29).isValid());
    EXPECT_EQ(leap.toString(), "");
    EXPECT_EQ(leap.format("%Y"), "");
    EXPECT_DOUBLE_EQ(leap.toJulian(), 2451544.5);
    EXPECT_TRUE(DateTime().isEmpty());
    EXPECT_TRUE(DateTime(0.0).isEmpty());
    EXPECT_TRUE(DateTime(std::nan("")).isEmpty());
    EXPECT_TRUE(DateTime(1e300).isEmpty());
}

TEST(DateTimeTest, CompareCountsWholeDays) {
    EXPECT_EQ(date(2009, 5, 1, 10).compare(date(2009, 5, 1, 18)), 0);
    EXPECT_EQ(date(2009, 5, 3).compare(date(2009, 5, 1)), 2);
    EXPECT_EQ(date(2009, 4, 30).compare(date(2009, 5, 1)), -1);
}

TEST(DateTimeTest, TextFormsAndParsing) {
    DateTime dt;
    dt.fromString("2009-05-01 10:20:30");
    EXPECT_EQ(dt, date(2009, 5, 1, 10, 20, 30));
    EXPECT_EQ(dt.toString(), "2009-05-01");
    dt.fromString("no es fecha");
    EXPECT_TRUE(dt.isEmpty());
    dt = date(2009, 5, 1);
    dt.setTime("10.20:30");
    EXPECT_EQ(dt, date(2009, 5, 1, 10, 20, 30));
    dt.clearTime();
    EXPECT_EQ(dt, date(2009, 5, 1));
}

TEST(DateTimeTest, AddMonthClampsTheDay) {
    DateTime dt = date(2008, 3, 31);
    dt.addMonth(-1);
    EXPECT_EQ(dt, date(2008, 2, 29));
    dt = date(2009, 3, 31);
    dt.addMonth(-1);
    EXPECT_EQ(dt, date(2009, 2, 28));
    dt = date(2009, 1, 15);
    dt.addMonth(-13);
    EXPECT_EQ(dt, date(2007, 12, 15));
    dt = date(2009, 11, 30);
    dt.addMonth(14);
    EXPECT_EQ(dt, date(2011, 1, 30));
    dt = date(2009, 1, 31);
    dt.addMonth(1);
    EXPECT_EQ(dt, date(2009, 2, 28));
}

TEST(DateTimeTest, AddYearMovesLeapDay) {
    DateTime dt = date(2008, 2, 29);
    dt.addYear(1);
    EXPECT_EQ(dt, date(2009, 2, 28));
    dt = date(2008, 2, 29);
    dt.addYear(4);
    EXPECT_EQ(dt, date(2012, 2, 29));
}

TEST(DateTimeTest, Quincenas) {
    auto next = [](DateTime dt) {
        dt.toNextQuincena();
        return dt;
    };
    EXPECT_EQ(next(date(2009, 5, 10)), date(2009, 5, 15));
    EXPECT_EQ(next(date(2009, 5, 15)), date(2009, 5, 31));
    EXPECT_EQ(next(date(2009, 5, 31)), date(2009, 6, 15));
    EXPECT_EQ(next(date(2009, 12, 31)), date(2010, 1, 15));
    DateTime dt = date(2009, 2, 16);
    dt.toQuincena();
    EXPECT_EQ(dt, date(2009, 2, 28));
}

TEST(DateTimeTest, WeekNumbersAroundYearBoundaries) {
    // 4 January 2009 is a Sunday: week 1 of 2009 starts on 28 December 2008.
    EXPECT_EQ(date(2009, 1, 1).weekNumber(), 1);
    EXPECT_EQ(date(2008, 12, 31).weekNumber(), 1);
    EXPECT_EQ(date(2008, 12, 27).weekNumber(), 52);
    EXPECT_EQ(date(2009, 7, 5).weekNumber(), 28);
    // 4 January 2010 is a Monday: 1-2 January still belong to week 53 of 2009.
    EXPECT_EQ(date(2010, 1, 2).weekNumber(), 53);
    EXPECT_EQ(date(2010, 1, 3).weekNumber(), 1);
    EXPECT_EQ(fmt(date(2010, 1, 2), "%Z"), "53-09");
    EXPECT_EQ(fmt(date(2008, 12, 31), "%Z"), "01-09");
    EXPECT_EQ(fmt(date(2010, 1, 3), "%I|%i|%Z"), "01|1|01-10");
}

TEST(DateTimeTest, FormatMasks) {
    EXPECT_EQ(fmt(date(2009, 7, 5), "%d/%m/%y"), "5/7/09");
    EXPECT_EQ(fmt(date(1999, 7, 5), "%y"), "99");
    EXPECT_EQ(fmt(date(2009, 7, 5, 12, 30), "%h:%N %P"), "12:30 AM");
    EXPECT_EQ(fmt(date(2009, 7, 5, 13, 30), "%h:%N %P"), "1:30 PM");
    EXPECT_EQ(fmt(date(2009, 7, 5, 0, 5), "%h:%N %P"), "0:05 AM");
    EXPECT_EQ(fmt(date(2009, 7, 5, 8, 5, 9), "%D de %O de %Y, %W %H:%N:%S"),
              "05 de Julio de 2009, Domingo 08:05:09");
    EXPECT_EQ(fmt(date(2009, 1, 5), "%D/%o/%M 100%% %"), "05/Ene/01 100% %");
    EXPECT_EQ(fmt(date(2009, 7, 5, 8), ""), "2009-07-05");
}

TEST(DateTimeTest, DisplayTextForms) {
    DateTime dt = date(2009, 7, 5, 8, 5, 9);
    EXPECT_EQ(dt.displayText(true, false, true), "05/Jul/2009");
    EXPECT_EQ(dt.displayText(true, true, false), "05/Julio/2009 08:05");
    EXPECT_EQ(dt.displayText(false, true, false), "2009-07-05 08:05:09");
    EXPECT_EQ(DateTime().displayText(true, true, true), "--/--/--");
}

TEST(DateTimeTest, NowReadsTheLocalClock) {
    DateTime now = DateTime::now();
    EXPECT_TRUE(now.isValid());
    EXPECT_GE(now.year, 2020);
    EXPECT_EQ(now.milliseconds, 0);
    EXPECT_EQ(now.dayOfWeekField, 0);
}
