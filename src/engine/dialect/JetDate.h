// Dates as the engine keeps them: a day number (a double) counting days since 1899-12-30,
// whose fraction is the time of day (0.5 = noon). Before that day the integer part is
// negative and the fraction still counts forwards from midnight (-1.25 = 1899-12-29 06:00).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "rtl/FormatSettings.h"

namespace pavana::engine::dialect {

struct DateParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
};

// The day number of a calendar day; month and day outside their ranges roll over
// (month 13 is January of the next year, day 0 the last day of the previous month).
std::int64_t DayNumber(std::int64_t year, std::int64_t month, std::int64_t day);

// A day number with a time of day (hours, minutes and seconds may roll over too).
double DateValueOf(const DateParts& parts);

// The calendar parts of a day number, the time rounded to the second.
DateParts SplitDate(double value);

// The weekday of a day number, 1 for `firstDay` (1 = Sunday ... 7 = Saturday).
int WeekdayOf(std::int64_t day, int firstDay);

// The week of the year of a day number: week 1 holds 1 January (`firstWeek` 1), or is the
// first week with four days of the year (2) or the first full week (3). With 2 and 3 the
// first days of January may belong to the last week of the year before, and with 2 the last
// days of December to week 1 of the next year.
int WeekOfYear(std::int64_t day, int firstDay, int firstWeek);

// Whether a year lies in the range the engine accepts (100..9999).
bool InDateRange(double value);

// Parses the text between `#` of a date literal: US month/day/year (two-digit years 00-29
// are 20xx, 30-99 19xx), ISO year-month-day, either with an optional time, or a time alone
// (h:mm[:ss] with optional AM/PM). nullopt when the text is no date.
std::optional<double> ParseDateLiteral(std::string_view text);

// Parses a date or time written in text the way DateValue and CDate read it under `settings`:
// the literal forms above, with day and month in the order of the settings' short date
// ("15/03/2024" under pt_BR's), its date separator, and month names in English or the settings'
// language ("5 January 2024", "Jan 5, 2024", "15-mar-2024", "15 março 2024").
std::optional<double> ParseDateText(std::string_view text, const FormatSettings& settings);

}  // namespace pavana::engine::dialect
