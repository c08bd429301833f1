// The date built-ins. Dates arrive as day numbers (or text that reads as a date) and leave as
// day numbers (REAL). Intervals are the dialect's: yyyy q m y d w ww h n s.
#include <cmath>
#include <ctime>
#include <string>

#include "engine/dialect/JetDate.h"
#include "engine/sqlite/FunctionSupport.h"
#include "engine/sqlite/JetFunctions.h"

namespace pavana::engine::sqlite::support {

using namespace dialect;
namespace {

double SystemNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    DateParts parts{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
    return DateValueOf(parts);
}

double Now(sqlite3_context* ctx) {
    const auto* clock = static_cast<const LocalClock*>(UserData(ctx));
    return clock && *clock ? (*clock)() : SystemNow();
}

void NowFn(sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_double(ctx, Now(ctx)); }
void DateFn(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_double(ctx, std::floor(DateToLinear(Now(ctx))));
}
void TimeFn(sqlite3_context* ctx, int, sqlite3_value**) {
    const double linear = DateToLinear(Now(ctx));
    sqlite3_result_double(ctx, linear - std::floor(linear));
}

void ResultDate(sqlite3_context* ctx, double date) {
    if (!InDateRange(date)) throw FunctionError{kInvalidCall};
    sqlite3_result_double(ctx, date);
}

enum class Part { Year, Month, Day, Hour, Minute, Second };

template <Part P>
void DatePartFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    const DateParts d = SplitDate(ToDate(argv[0]));
    const int values[] = {d.year, d.month, d.day, d.hour, d.minute, d.second};
    sqlite3_result_int(ctx, values[static_cast<int>(P)]);
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

std::int64_t DayOf(double date) { return static_cast<std::int64_t>(std::floor(DateToLinear(date))); }

void Weekday(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const int firstDay = FirstDayArgument(argc, argv, 1);
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, WeekdayOf(DayOf(ToDate(argv[0])), firstDay));
}

bool Abbreviate(int argc, sqlite3_value** argv, int index) {
    return argc > index && !IsNull(argv[index]) && ToNumber(argv[index]) != 0;
}

// MonthName and WeekdayName give the names of the format settings' language.
void MonthName(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const std::int64_t m = ToInteger(argv[0]);
    if (m < 1 || m > 12) throw FunctionError{kInvalidCall};
    const FormatSettings& s = Settings();
    const auto index = static_cast<std::size_t>(m - 1);
    ResultText(ctx, Abbreviate(argc, argv, 1) ? s.ShortMonthNames[index] : s.LongMonthNames[index]);
}

void WeekdayName(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const std::int64_t w = ToInteger(argv[0]);
    if (w < 1 || w > 7) throw FunctionError{kInvalidCall};
    const int firstDay = FirstDayArgument(argc, argv, 2);
    const FormatSettings& s = Settings();
    const auto index = static_cast<std::size_t>((w - 1 + firstDay - 1) % 7);
    ResultText(ctx, Abbreviate(argc, argv, 1) ? s.ShortDayNames[index] : s.LongDayNames[index]);
}

std::int64_t Part32(sqlite3_value* v) {
    if (IsNull(v)) throw FunctionError{kInvalidNull};
    const std::int64_t n = ToInteger(v);
    if (n < -32768 || n > 32767) throw FunctionError{kOverflow};
    return n;
}

// DateSerial(y, m, d): months and days out of range roll over; years 0-29 are 2000-2029,
// 30-99 are 1930-1999.
void DateSerial(sqlite3_context* ctx, int, sqlite3_value** argv) {
    std::int64_t y = Part32(argv[0]);
    const std::int64_t m = Part32(argv[1]), d = Part32(argv[2]);
    if (y >= 0 && y < 30) y += 2000;
    else if (y >= 30 && y < 100) y += 1900;
    ResultDate(ctx, static_cast<double>(DayNumber(y, m, d)));
}

void TimeSerial(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::int64_t seconds = Part32(argv[0]) * 3600 + Part32(argv[1]) * 60 + Part32(argv[2]);
    ResultDate(ctx, LinearToDate(static_cast<double>(seconds) / 86400.0));
}

void DateValue(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    sqlite3_result_double(ctx, static_cast<double>(DayOf(ToDate(argv[0]))));
}

void TimeValue(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return sqlite3_result_null(ctx);
    const double linear = DateToLinear(ToDate(argv[0]));
    sqlite3_result_double(ctx, linear - std::floor(linear));
}

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

Interval ParseInterval(sqlite3_value* v) {
    if (IsNull(v)) throw FunctionError{kInvalidNull};
    std::string s = ToText(v);
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (s == "yyyy") return Interval::Year;
    if (s == "q") return Interval::Quarter;
    if (s == "m") return Interval::Month;
    if (s == "y") return Interval::DayOfYear;
    if (s == "d") return Interval::Day;
    if (s == "w") return Interval::Weekday;
    if (s == "ww") return Interval::Week;
    if (s == "h") return Interval::Hour;
    if (s == "n") return Interval::Minute;
    if (s == "s") return Interval::Second;
    throw FunctionError{kInvalidCall};
}

// Adds months keeping the time of day; a day past the end of the month becomes its last day.
double AddMonths(double date, std::int64_t months) {
    DateParts p = SplitDate(date);
    std::int64_t total = static_cast<std::int64_t>(p.year) * 12 + (p.month - 1) + months;
    const std::int64_t year = FloorDiv(total, 12);
    const int month = static_cast<int>(total - year * 12) + 1;
    if (year < 100 || year > 9999) throw FunctionError{kInvalidCall};
    int day = p.day;
    const std::int64_t last = DayNumber(year, month + 1, 1) - DayNumber(year, month, 1);
    if (day > last) day = static_cast<int>(last);
    const double linear = DateToLinear(date);
    const double time = linear - std::floor(linear);
    return LinearToDate(static_cast<double>(DayNumber(year, month, day)) + time);
}

void DateAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const Interval interval = ParseInterval(argv[0]);
    if (IsNull(argv[1]) || IsNull(argv[2])) return sqlite3_result_null(ctx);
    const std::int64_t n = ToInteger(argv[1]);
    const double date = ToDate(argv[2]);
    if (n > 4000000 || n < -4000000) throw FunctionError{kInvalidCall};
    double result = 0;
    auto addSeconds = [&](std::int64_t seconds) {
        const double linear = DateToLinear(date);
        const std::int64_t at = std::llround(linear * 86400.0) + seconds;
        return LinearToDate(static_cast<double>(at) / 86400.0);
    };
    switch (interval) {
        case Interval::Year: result = AddMonths(date, n * 12); break;
        case Interval::Quarter: result = AddMonths(date, n * 3); break;
        case Interval::Month: result = AddMonths(date, n); break;
        case Interval::DayOfYear:
        case Interval::Day:
        case Interval::Weekday: result = addSeconds(n * 86400); break;
        case Interval::Week: result = addSeconds(n * 7 * 86400); break;
        case Interval::Hour: result = addSeconds(n * 3600); break;
        case Interval::Minute: result = addSeconds(n * 60); break;
        case Interval::Second: result = addSeconds(n); break;
    }
    ResultDate(ctx, result);
}

// The number of the week (counted from an arbitrary origin) that holds `day`.
std::int64_t WeekIndex(std::int64_t day, int firstDay) {
    // Day 1 was a Sunday, so day firstDay begins a week.
    return FloorDiv(day - firstDay, 7);
}

// DateDiff counts the boundaries of the interval crossed between the two dates.
void DateDiff(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const Interval interval = ParseInterval(argv[0]);
    const int firstDay = FirstDayArgument(argc, argv, 3);
    if (IsNull(argv[1]) || IsNull(argv[2])) return sqlite3_result_null(ctx);
    const double d1 = ToDate(argv[1]), d2 = ToDate(argv[2]);
    const DateParts a = SplitDate(d1), b = SplitDate(d2);
    const std::int64_t s1 = std::llround(DateToLinear(d1) * 86400.0);
    const std::int64_t s2 = std::llround(DateToLinear(d2) * 86400.0);
    const std::int64_t day1 = FloorDiv(s1, 86400), day2 = FloorDiv(s2, 86400);
    std::int64_t r = 0;
    switch (interval) {
        case Interval::Year: r = b.year - a.year; break;
        case Interval::Quarter: r = (b.year * 4 + (b.month - 1) / 3) - (a.year * 4 + (a.month - 1) / 3); break;
        case Interval::Month: r = (b.year * 12 + b.month) - (a.year * 12 + a.month); break;
        case Interval::DayOfYear:
        case Interval::Day: r = day2 - day1; break;
        case Interval::Weekday: r = (day2 - day1) / 7; break;
        case Interval::Week: r = WeekIndex(day2, firstDay) - WeekIndex(day1, firstDay); break;
        case Interval::Hour: r = FloorDiv(s2, 3600) - FloorDiv(s1, 3600); break;
        case Interval::Minute: r = FloorDiv(s2, 60) - FloorDiv(s1, 60); break;
        case Interval::Second: r = s2 - s1; break;
    }
    sqlite3_result_int64(ctx, r);
}

void DatePart(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const Interval interval = ParseInterval(argv[0]);
    const int firstDay = FirstDayArgument(argc, argv, 2);
    const int firstWeek = FirstWeekArgument(argc, argv, 3);
    if (IsNull(argv[1])) return sqlite3_result_null(ctx);
    const double date = ToDate(argv[1]);
    const DateParts p = SplitDate(date);
    const std::int64_t day = DayOf(date);
    std::int64_t r = 0;
    switch (interval) {
        case Interval::Year: r = p.year; break;
        case Interval::Quarter: r = (p.month - 1) / 3 + 1; break;
        case Interval::Month: r = p.month; break;
        case Interval::DayOfYear: r = day - DayNumber(p.year, 1, 1) + 1; break;
        case Interval::Day: r = p.day; break;
        case Interval::Weekday: r = WeekdayOf(day, firstDay); break;
        case Interval::Week: r = WeekOfYear(day, firstDay, firstWeek); break;
        case Interval::Hour: r = p.hour; break;
        case Interval::Minute: r = p.minute; break;
        case Interval::Second: r = p.second; break;
    }
    sqlite3_result_int64(ctx, r);
}

}  // namespace

void RegisterDateFunctions(sqlite3* db, std::shared_ptr<void> clock) {
    Define(db, "JetNow", 0, NowFn, false, clock);
    Define(db, "JetDate", 0, DateFn, false, clock);
    Define(db, "JetTime", 0, TimeFn, false, clock);
    Define(db, "JetYear", 1, DatePartFn<Part::Year>);
    Define(db, "JetMonth", 1, DatePartFn<Part::Month>);
    Define(db, "JetDay", 1, DatePartFn<Part::Day>);
    Define(db, "JetHour", 1, DatePartFn<Part::Hour>);
    Define(db, "JetMinute", 1, DatePartFn<Part::Minute>);
    Define(db, "JetSecond", 1, DatePartFn<Part::Second>);
    Define(db, "JetWeekday", -1, Weekday);
    Define(db, "JetMonthName", -1, MonthName);
    Define(db, "JetWeekdayName", -1, WeekdayName);
    Define(db, "JetDateSerial", 3, DateSerial);
    Define(db, "JetTimeSerial", 3, TimeSerial);
    Define(db, "JetDateValue", 1, DateValue);
    Define(db, "JetTimeValue", 1, TimeValue);
    Define(db, "JetDateAdd", 3, DateAdd);
    Define(db, "JetDateDiff", -1, DateDiff);
    Define(db, "JetDatePart", -1, DatePart);
}

}  // namespace pavana::engine::sqlite::support
