#include "core/DateTime.h"

#include <charconv>
#include <cmath>
#include <ctime>

#include "core/DateDay.h"
#include "core/RegionalSettings.h"

namespace VORLIN {

namespace {

constexpr double kSecondsPerDay = 86400.0;

// Past this the year no longer fits the 16-bit field (and the intermediate
// integers of fromJulian would stop being exact), so such numbers give the
// empty record, like numbers at or below zero.
constexpr double kMaxJulian = 1e9;

// Julian day number of midnight at the start of y-m-d, without any check of
// the fields. January and February count as months 13 and 14 of the year
// before, so that the leap day falls at the end of the counted year; the
// "2 - y/100 + y/400" term is the Gregorian correction for the skipped
// century leap days (truncating divisions, as the record's years are >= 0).
double julianDay(int y, int m, int d) {
    if (m <= 2) {
        m += 12;
        y -= 1;
    }
    return std::floor(365.25 * (y + 4716)) + std::floor(30.6001 * (m + 1)) + d + 2 - y / 100 +
           y / 400 - 1524.5;
}

// 0 = Sunday .. 6 = Saturday. Julian days start at noon, so midnight is .5
// and the extra 1.5 both rounds to the civil day and aligns Sunday with 0.
int weekdayOf(double jd) {
    int64_t w = int64_t(std::floor(jd + 1.5)) % 7;
    return int(w < 0 ? w + 7 : w);
}

// The Sunday that opens week 1 of `year`: the last Sunday strictly before
// 4 January, so a 4 January that is itself a Sunday opens week 2.
double firstWeekStart(int year) {
    double jan4 = julianDay(year, 1, 4);
    int w = weekdayOf(jan4);
    return jan4 - (w == 0 ? 7 : w);
}

String twoDigits(int v) {
    String s;
    return s.format("%02d", v);
}

String number(int v) {
    String s;
    return s.appendInt(v);
}

}  // namespace

DateTime::DateTime(int year, int month, int day, int hour, int minute, int second, int milliseconds)
    : year(uint16_t(year)),
      month(uint16_t(month)),
      day(uint16_t(day)),
      hour(uint16_t(hour)),
      minute(uint16_t(minute)),
      second(uint16_t(second)),
      milliseconds(uint16_t(milliseconds)) {}

DateTime DateTime::now() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return DateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                    local.tm_min, local.tm_sec);
}

// ------------------------------------------------------------- CoreObject

String& DateTime::toString(String& out) const {
    if (!isValid()) return out.clear();
    // "%d-%02d-%02d" written by hand: every date cell read back from an
    // archive comes through here.
    char buf[16];
    char* p = std::to_chars(buf, buf + 5, unsigned(year)).ptr;
    *p++ = '-';
    *p++ = char('0' + month / 10);
    *p++ = char('0' + month % 10);
    *p++ = '-';
    *p++ = char('0' + day / 10);
    *p++ = char('0' + day % 10);
    return out.assign(TextRef(buf, size_t(p - buf)));
}

void DateTime::fromString(String text) {
    *this = text.parseDate(true);
}

int DateTime::compare(const CoreObject& other, int, int) const {
    // Anything that is not a date compares as the empty date.
    const auto* o = dynamic_cast<const DateTime*>(&other);
    double otherJulian = o ? o->toJulian() : DateTime().toJulian();
    // Truncation towards zero: moments less than a day apart are equal.
    return int(toJulian() - otherJulian);
}

// ------------------------------------------------------------- validity

bool DateTime::isEmpty() const {
    return year == 0 && month == 0 && day == 0 && hour == 0 && minute == 0 && second == 0 &&
           milliseconds == 0;
}

bool DateTime::isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DateTime::daysInMonth(int year, int month) {
    static constexpr int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    if (month == 2 && isLeapYear(year)) return 29;
    return kLengths[month - 1];
}

bool DateTime::isValid() const {
    return year != 0 && month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth();
}

// ------------------------------------------------------------- time of day

void DateTime::clearTime() {
    hour = minute = second = milliseconds = 0;
}

void DateTime::setTime(String text) {
    // Missing pieces come back as empty tokens and read as 0.
    hour = uint16_t(text.token(":.", true).toInt());
    minute = uint16_t(text.token(":.").toInt());
    second = uint16_t(text.token(":.").toInt());
}

// ------------------------------------------------------------- Julian days

double DateTime::toJulian() const {
    // An invalid record counts as 1 January 2000, written as month 13 of
    // 1999 so that the month shift below is skipped. The time of day is
    // still added; milliseconds never are.
    double jd = isValid() ? julianDay(year, month, day) : julianDay(1999, 13, 1);
    return jd + (hour * 3600 + minute * 60 + second) / kSecondsPerDay;
}

void DateTime::fromJulian(double x) {
    *this = DateTime();
    if (!(x > 0) || x >= kMaxJulian) return;  // also rejects NaN

    // Shift by half a day so that the integer part is the civil day and the
    // fraction the time since midnight.
    double zf = std::floor(x + 0.5);
    double f = x + 0.5 - zf;
    int64_t z = int64_t(zf);

    // Round to the millisecond, then drop the milliseconds. A fraction
    // within half a millisecond of 1 rounds to the next midnight: carry it
    // into the day instead of writing hour 24.
    int64_t s = int64_t(std::floor(std::floor(f * 86400000.0 + 0.5) * 0.001));
    if (s >= 86400) {
        s -= 86400;
        ++z;
    }

    // Gregorian correction applied to every day, also before 1582: the
    // calendar is proleptic Gregorian throughout.
    int64_t alpha = int64_t(std::floor((double(z) - 1867216.25) / 36524.25));
    int64_t b = z + 1 + alpha - alpha / 4 + 1524;
    int64_t c = int64_t(std::floor((double(b) - 122.1) / 365.25));
    int64_t dd = int64_t(std::floor(365.25 * double(c)));
    int64_t e = int64_t(std::floor(double(b - dd) / 30.6001));

    int64_t d = b - dd - int64_t(std::floor(30.6001 * double(e)));
    // Months were counted from March (E = 4 .. 15); bring them back to 1..12
    // and move January and February into the following year.
    int64_t m = e < 14 ? e - 1 : e - 13;
    int64_t y = m > 2 ? c - 4716 : c - 4715;
    if (y < 0) y = 0;
    if (y > 0xFFFF) return;

    year = uint16_t(y);
    month = uint16_t(m);
    day = uint16_t(d);
    hour = uint16_t(s / 3600);
    minute = uint16_t((s % 3600) / 60);
    second = uint16_t(s % 60);
}

void DateTime::addDays(int n) {
    fromJulian(toJulian() + n);
}

int DateTime::dayOfWeek(bool mondayFirst) const {
    int w = weekdayOf(toJulian());
    return mondayFirst ? (w + 6) % 7 : w;
}

// ------------------------------------------------------------- month arithmetic

void DateTime::toFirstDay() {
    day = 1;
}

void DateTime::toLastDay() {
    day = uint16_t(daysInMonth());
}

void DateTime::toQuincena() {
    if (day > 15)
        toLastDay();
    else
        day = 15;
}

void DateTime::toNextQuincena() {
    // Standing on the end of a half-month (the 15th or the last day) means
    // the next end is wanted: step into the next half-month first.
    if (day == 15 || day == daysInMonth()) addDays(1);
    toQuincena();
}

void DateTime::addMonth(int n) {
    if (n == 0) return;
    // 64-bit so that no n can overflow the intermediate month count.
    int64_t y = year, m = month;
    if (n > 0) {
        m += n;
        if (m > 12) {
            // Same result as subtracting 12 (and adding a year) while m > 12.
            int64_t years = (m - 1) / 12;
            y += years;
            m -= 12 * years;
        }
    } else {
        int64_t back = -int64_t(n);
        if (m - back > 0) {
            m -= back;
        } else {
            // Crossing into earlier years: (back - m) months remain after
            // reaching December of the year before.
            y -= (back - m) / 12 + 1;
            m = 12 - (back - m) % 12;
        }
    }
    year = uint16_t(y);
    month = uint16_t(m);
    // 31 January + 1 month is the last day of February, not 3 March.
    int len = daysInMonth();
    if (day > len) day = uint16_t(len);
}

void DateTime::addYear(int n) {
    year = uint16_t(year + n);
    if (month == 2 && day == 29 && !isLeapYear(year)) day = 28;
}

int DateTime::weekNumber() const {
    double jd = toJulian();
    // From 29 December on, the day may already belong to week 1 of the next
    // year; if that year's first week has not started yet, it belongs to
    // the year before instead.
    int y = (month == 12 && day >= 29) ? year + 1 : year;
    double start = firstWeekStart(y);
    if (start > jd) start = firstWeekStart(y - 1);
    return int(std::floor((jd - start) / 7)) + 1;
}

// ------------------------------------------------------------- text forms

String DateTime::format(const String& mask) const {
    if (!isValid()) return String();
    if (mask.isEmpty()) return toString();

    const RegionalSettings& rs = RegionalSettings::current();
    std::string_view m = mask.view();
    String out;
    for (size_t i = 0; i < m.size(); ++i) {
        // A "%" in the last position has no code after it and stays as is.
        if (m[i] != '%' || i + 1 == m.size()) {
            out.append(m[i]);
            continue;
        }
        char code = m[++i];
        if (DateDay::appendFormatCode(out, code, day, month)) continue;
        switch (code) {
            case 'Y':
                out.appendInt(year);
                break;
            case 'y':
                out.append(twoDigits(year < 2000 ? year - 1900 : year - 2000));
                break;
            case 'H':
                out.append(twoDigits(hour));
                break;
            case 'h':
                out.appendInt(hour > 12 ? hour - 12 : hour);
                break;
            case 'N':
                out.append(twoDigits(minute));
                break;
            case 'S':
                out.append(twoDigits(second));
                break;
            case 'P':
                out.append(hour > 12 ? "PM" : "AM");
                break;
            case 'W':
                out.append(rs.longDays[size_t(dayOfWeek(false))]);
                break;
            case 'I':
                out.append(twoDigits(weekNumber()));
                break;
            case 'i':
                out.appendInt(weekNumber());
                break;
            case 'Z': {
                // The year the week belongs to: the last days of December can
                // be week 1 of the next year, the first days of January the
                // last week (52 or 53) of the year before.
                int week = weekNumber();
                int y = year - 2000;
                if (month == 1 && week > 50) --y;
                if (month == 12 && week == 1) ++y;
                String s;
                out.append(s.format("%02d-%02d", week, y));
                break;
            }
            default:
                out.append(code);  // "%%" gives "%"
                break;
        }
    }
    return out;
}

String DateTime::displayText(bool dayMonthYear, bool withTime, bool shortMonth) const {
    String out;
    if (dayMonthYear) {
        if (year == 0) return String("--/--/--");
        out = twoDigits(day) + "/" + RegionalSettings::current().monthName(month, shortMonth) +
              "/" + number(year);
        if (withTime) out.append(" ").append(twoDigits(hour)).append(":").append(twoDigits(minute));
        return out;
    }
    if (withTime)
        return out.format("%d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
    return out.format("%d-%02d-%02d", year, month, day);
}

}  // namespace VORLIN
