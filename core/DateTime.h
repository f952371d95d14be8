// DateTime: a calendar record (year, month, day of week, day, hour, minute,
// second, milliseconds; eight 16-bit fields) with Julian-day arithmetic.
//
// The all-zero record is the empty date. Nothing here throws: invalid
// records format as the empty text and convert to the Julian number of
// 1 January 2000; texts that are not dates parse to zero fields.
// Month and day names come from RegionalSettings.
#pragma once

#include <cstdint>

#include "core/CoreObject.h"
#include "core/String.h"

namespace VORLIN {

class DateTime : public CoreObject {
public:
    DateTime() = default;
    DateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
             int milliseconds = 0);
    explicit DateTime(double julian) { fromJulian(julian); }

    // The local date and time (milliseconds dropped, day of week 0).
    static DateTime now();

    // "%d-%02d-%02d" for a valid record (date only), "" otherwise.
    String& toString(String& out) const override;
    using CoreObject::toString;
    void fromString(String text) override;
    // Whole days between the two moments, truncated towards zero.
    int compare(const CoreObject& other, int arg1, int arg2) const override;
    using CoreObject::compare;

    bool isEmpty() const;
    bool isValid() const;
    static bool isLeapYear(int year);
    // 31, 30 or 28/29; 0 for a month outside 1..12.
    static int daysInMonth(int year, int month);
    int daysInMonth() const { return daysInMonth(year, month); }

    void clearTime();
    // Hour, minute and second from "hh:mm:ss" (":" or "." between pieces).
    void setTime(String text);

    double toJulian() const;
    void fromJulian(double x);
    void addDays(int n);
    void subtractDays(int n) { addDays(-n); }
    // 0 = Sunday .. 6 = Saturday, or Monday = 0 .. Sunday = 6 with mondayFirst.
    int dayOfWeek(bool mondayFirst = false) const;

    void toFirstDay();
    void toLastDay();
    void toQuincena();
    void toNextQuincena();
    void addMonth(int n);
    void addYear(int n);
    int weekNumber() const;

    String format(const String& mask) const;
    String displayText(bool dayMonthYear, bool withTime, bool shortMonth) const;

    bool operator==(const DateTime& o) const {
        return year == o.year && month == o.month && dayOfWeekField == o.dayOfWeekField &&
               day == o.day && hour == o.hour && minute == o.minute && second == o.second &&
               milliseconds == o.milliseconds;
    }

    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t dayOfWeekField = 0;  // not maintained by the calculations
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;
};

static_assert(sizeof(uint16_t) * 8 == 16);

}  // namespace VORLIN
