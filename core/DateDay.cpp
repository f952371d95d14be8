#include "core/DateDay.h"

#include <algorithm>
#include <ctime>

#include "core/RegionalSettings.h"

namespace VORLIN {

namespace {

// Month lengths of a leap year: a DateDay has no year, so February 29 is
// always a valid day and every day has a fixed number in a 366-day year.
constexpr int kLengths[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

String twoDigits(int v) {
    String s;
    return s.format("%02d", v);
}

}  // namespace

DateDay::DateDay(int day, int month) : day(day), month(month) {
    if (!isValid()) this->day = this->month = 0;
}

DateDay DateDay::today() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return DateDay(local.tm_mday, local.tm_mon + 1);
}

DateDay DateDay::fromDayOfYear(int n) {
    if (n < 1 || n > 366) return DateDay();
    int month = 1;
    while (n > kLengths[month - 1])
        n -= kLengths[month++ - 1];
    return DateDay(n, month);
}

String& DateDay::toString(String& out) const {
    return out.format("%02d-%02d", month, day);
}

void DateDay::fromString(String text) {
    int dash = text.findChar('-');
    if (dash < 0) {
        month = text.toInt();
        day = 0;
        return;
    }
    month = text.left(uint32_t(dash)).toInt();
    day = text.mid(uint32_t(dash) + 1).toInt();
}

int DateDay::compare(const CoreObject& other, int, int) const {
    // Anything that is not a DateDay compares as the empty day.
    const auto* o = dynamic_cast<const DateDay*>(&other);
    return dayOfYear() - (o ? o->dayOfYear() : DateDay().dayOfYear());
}

int DateDay::dayOfYear() const {
    // Months past December cannot index the table: count the whole year.
    int before = std::clamp(month - 1, 0, 12);
    int n = day;
    for (int i = 0; i < before; ++i)
        n += kLengths[i];
    return n;
}

bool DateDay::isValid() const {
    return month >= 1 && month <= 12 && day >= 1 && day <= kLengths[month - 1];
}

bool DateDay::appendFormatCode(String& out, char code, int day, int month) {
    switch (code) {
        case 'D':
            out.append(twoDigits(day));
            return true;
        case 'd':
            out.appendInt(day);
            return true;
        case 'M':
            out.append(twoDigits(month));
            return true;
        case 'm':
            out.appendInt(month);
            return true;
        case 'O':
            out.append(RegionalSettings::current().monthName(month, false));
            return true;
        case 'o':
            out.append(RegionalSettings::current().monthName(month, true));
            return true;
        default:
            return false;
    }
}

String DateDay::format(const String& mask) const {
    if (!isValid()) return String("__/__");
    std::string_view m = mask.view();
    String out;
    for (size_t i = 0; i < m.size(); ++i) {
        if (m[i] != '%' || i + 1 == m.size()) {
            out.append(m[i]);
            continue;
        }
        char code = m[++i];
        if (!appendFormatCode(out, code, day, month)) out.append(code);
    }
    return out;
}

}  // namespace VORLIN
