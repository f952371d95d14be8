// DateDay: a day of the year (day and month, no year).
//
// Text form "MM-DD". Construction from an invalid pair gives the empty
// value 0/0 (February 29 is valid). Nothing here throws.
#pragma once

#include "core/CoreObject.h"
#include "core/String.h"

namespace VORLIN {

class DateDay : public CoreObject {
public:
    DateDay() = default;
    DateDay(int day, int month);

    static DateDay today();
    // Inverse of dayOfYear for 1..366; anything else gives 0/0.
    static DateDay fromDayOfYear(int n);

    String& toString(String& out) const override;
    using CoreObject::toString;
    // Month up to "-", day from the rest; no validation.
    void fromString(String text) override;
    // Difference of the two day-of-year numbers.
    int compare(const CoreObject& other, int arg1, int arg2) const override;
    using CoreObject::compare;

    // Day number in a 366-day year.
    int dayOfYear() const;
    bool isEmpty() const { return day == 0 || month == 0; }
    bool isValid() const;
    String format(const String& mask) const;
    // Appends what the format code (D, d, M, m, O, o) writes for a day and
    // month; false for any other code. Dates share these codes.
    static bool appendFormatCode(String& out, char code, int day, int month);

    bool operator==(const DateDay& o) const { return day == o.day && month == o.month; }

    int day = 0;
    int month = 0;
};

}  // namespace VORLIN
