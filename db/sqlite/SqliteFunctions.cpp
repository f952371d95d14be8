#include "db/sqlite/SqliteFunctions.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "core/DateTime.h"
#include "core/String.h"

namespace VORLIN {

namespace {

// Zero padding wider than this is refused (the result would only be padding).
constexpr int kMaxWidth = 1000;

String textArg(sqlite3_value* v) {
    const unsigned char* t = sqlite3_value_text(v);
    return t ? String(reinterpret_cast<const char*>(t)) : String();
}

DateTime dateArg(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_FLOAT) return DateTime(sqlite3_value_double(v));
    return textArg(v).parseDate(true);
}

void resultText(sqlite3_context* ctx, const String& s) {
    sqlite3_result_text(ctx, s.c_str(), int(s.length()), SQLITE_TRANSIENT);
}

bool isNull(sqlite3_value* v) {
    return sqlite3_value_type(v) == SQLITE_NULL;
}

// The number written in decimal and left-padded with zeros to `width`.
String zeroPadded(int64_t number, int width) {
    String s;
    s.appendInt(number);
    if (width > kMaxWidth) width = kMaxWidth;
    if (width > 0) s.padLeft(uint32_t(width), '0');
    return s;
}

// A date and time written as the value's text form: the time only when it
// is not midnight.
String dateText(const DateTime& d) {
    bool withTime = d.hour || d.minute || d.second;
    return d.displayText(false, withTime, false);
}

// ISO 8601 week: weeks start on Monday and belong to the year that holds
// their Thursday.
void isoWeekOf(const DateTime& date, int& week, int& isoYear) {
    DateTime day(date.year, date.month, date.day);
    double jd = day.toJulian();
    int fromMonday = day.dayOfWeek(true);
    DateTime thursday(jd + (3 - fromMonday) + 0.5);
    isoYear = thursday.year;
    double jan1 = DateTime(isoYear, 1, 1).toJulian();
    int dayIndex = int(std::floor(thursday.toJulian() - jan1 + 0.5));
    week = dayIndex / 7 + 1;
}

void maskZeros(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    // A text value is read as a number first.
    int64_t v = sqlite3_value_type(argv[0]) == SQLITE_INTEGER
                    ? sqlite3_value_int64(argv[0])
                    : int64_t(textArg(argv[0]).toDouble());
    resultText(ctx, zeroPadded(v, sqlite3_value_int(argv[1])));
}

void humanDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    resultText(ctx, dateArg(argv[0]).format("%D-%O-%Y"));
}

void difDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]) || isNull(argv[1])) return sqlite3_result_null(ctx);
    DateTime a = dateArg(argv[0]), b = dateArg(argv[1]);
    sqlite3_result_int64(ctx, int64_t(a.toJulian() - b.toJulian()));
}

void formatSerFol(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    String s = textArg(argv[0]);
    s.append(zeroPadded(sqlite3_value_int64(argv[1]), sqlite3_value_int(argv[2])));
    resultText(ctx, s);
}

void restaDias(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    DateTime d = dateArg(argv[0]);
    if (!d.isValid()) return sqlite3_result_null(ctx);
    d.subtractDays(sqlite3_value_int(argv[1]));
    resultText(ctx, dateText(d));
}

void firstToken(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    String s = textArg(argv[0]);
    resultText(ctx, s.token(textArg(argv[1]), true));
}

void isoWeek(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    DateTime d = dateArg(argv[0]);
    if (!d.isValid()) return sqlite3_result_null(ctx);
    int week, year;
    isoWeekOf(d, week, year);
    sqlite3_result_int(ctx, week);
}

void isoWeekYear(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    DateTime d = dateArg(argv[0]);
    if (!d.isValid()) return sqlite3_result_null(ctx);
    int week, isoYear;
    isoWeekOf(d, week, isoYear);
    // The year as written: the calendar year minus 2000, one less when a
    // week of the previous year reaches into January, one more when week 1
    // starts in December.
    int y = d.year - 2000;
    if (week >= 51 && d.month == 1) y -= 1;
    if (week == 1 && d.month == 12) y += 1;
    String s;
    s.format("%02d-%02d", week, y);
    resultText(ctx, s);
}

void formatDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    resultText(ctx, dateArg(argv[0]).format(textArg(argv[1])));
}

void randomStr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0])) return sqlite3_result_null(ctx);
    String text = textArg(argv[0]);
    String sep = textArg(argv[1]);
    int count = text.tokenCount(sep);
    if (count <= 0) return resultText(ctx, String());
    int pick = std::rand() % count;
    String token = text.token(sep, true);
    for (int i = 0; i < pick; ++i)
        token = text.token(sep);
    resultText(ctx, token);
}

void randomInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int64_t low = sqlite3_value_int64(argv[0]);
    int64_t high = sqlite3_value_int64(argv[1]);
    // An empty range has nothing to choose from: answer its lower end
    // rather than dividing by zero.
    int64_t span = high - low + 1;
    if (span <= 0) return sqlite3_result_int64(ctx, low);
    sqlite3_result_int64(ctx, low + int64_t(std::rand()) % span);
}

struct Function {
    const char* name;
    int args;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    bool deterministic;
};

const Function kFunctions[] = {
    {"MaskZeros", 2, maskZeros, true},   {"HumanDate", 1, humanDate, true},
    {"difDate", 2, difDate, true},       {"formatSerFol", 3, formatSerFol, true},
    {"restaDias", 2, restaDias, true},   {"firstToken", 2, firstToken, true},
    {"isoWeek", 1, isoWeek, true},       {"isoWeekYear", 1, isoWeekYear, true},
    {"formatDate", 2, formatDate, true}, {"randomStr", 2, randomStr, false},
    {"randomInt", 2, randomInt, false},
};

}  // namespace

int SqliteFunctions::registerAll(sqlite3* db) {
    for (const Function& f : kFunctions) {
        // Innocuous (no side effects, bounded work): usable in views,
        // triggers and defaults also where the schema is not trusted, as
        // quelmir-server runs its databases.
        int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
        int rc =
            sqlite3_create_function(db, f.name, f.args, flags, nullptr, f.fn, nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
}

}  // namespace VORLIN
