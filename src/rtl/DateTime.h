// Dates and times: `TDateTime`, time stamps, encoding and decoding, and their text forms.
//
// A `TDateTime` is a double counting days since 30 December 1899 (day 0); its fraction is
// the time of day (0.5 is noon). For negative values the whole part is the day and the
// absolute value of the fraction is the time, as the platform has it: -1.25 is
// 29 December 1899, 06:00. A `TTimeStamp` is the same instant as (day number,
// milliseconds since midnight) with 1 January of year 1 as day 1, so 30 December 1899 is
// day 693594. Years run from 1 to 9999 in the proleptic Gregorian calendar.
//
// Text forms use the format settings (rtl/FormatSettings.h): the form given, or the
// process-wide current instance. Failures raise `EConvertError` with the platform's texts
// ("Invalid argument to date encode", "'%s' is not a valid date", ...).
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rtl/FormatSettings.h"

namespace pavana {

using TDateTime = double;

struct TTimeStamp {
    std::int32_t Time = 0;  // milliseconds since midnight, 0 .. 86 399 999
    std::int32_t Date = 0;  // day number, 693594 = 30 December 1899
    bool operator==(const TTimeStamp&) const = default;
};

inline constexpr std::int32_t kDateDelta = 693594;  // day number of TDateTime 0
inline constexpr std::int32_t kMSecsPerDay = 86'400'000;

// The stamp conversions are inline: every date a dataset reads goes through two of them.
inline TTimeStamp DateTimeToTimeStamp(TDateTime value) {
    const double whole = std::trunc(value);
    auto msecs = static_cast<std::int64_t>(std::llround(std::fabs(value - whole) * kMSecsPerDay));
    auto day = static_cast<std::int64_t>(whole);
    if (msecs >= kMSecsPerDay) {
        msecs -= kMSecsPerDay;
        day += value < 0 ? -1 : 1;
    }
    return {static_cast<std::int32_t>(msecs), static_cast<std::int32_t>(day + kDateDelta)};
}

inline TDateTime TimeStampToDateTime(const TTimeStamp& stamp) {
    const double days = static_cast<double>(stamp.Date) - kDateDelta;
    const double time = static_cast<double>(stamp.Time) / kMSecsPerDay;
    return days >= 0 ? days + time : days - time;
}

// A time stamp as one number: Date × 86 400 000 + Time.
inline double TimeStampToMSecs(const TTimeStamp& stamp) {
    return static_cast<double>(stamp.Date) * kMSecsPerDay + stamp.Time;
}

inline TTimeStamp MSecsToTimeStamp(double msecs) {
    const auto total = static_cast<std::int64_t>(std::llround(msecs));
    return {static_cast<std::int32_t>(total % kMSecsPerDay), static_cast<std::int32_t>(total / kMSecsPerDay)};
}

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Encode raises EConvertError ("Invalid argument to date encode" / "... time encode") for
// a part out of range; the Try forms return nothing instead.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
std::optional<TDateTime> TryEncodeDate(int year, int month, int day);
std::optional<TDateTime> TryEncodeTime(int hour, int minute, int second, int msec);

struct DateParts {
    int Year = 0, Month = 0, Day = 0;
};
struct TimeParts {
    int Hour = 0, Minute = 0, Second = 0, MSec = 0;
};
DateParts DecodeDate(TDateTime value);
TimeParts DecodeTime(TDateTime value);

// Days from 1970-01-01 of a proleptic Gregorian date, and the date of such a day count
// (Howard Hinnant's algorithms): exact for every year an int64 of days can reach.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day);
DateParts CivilFromDays(std::int64_t days);

// `format` with the pattern letters of FormatSettings.h. An empty format is "c": the short
// date, then the long time when the time of day is not midnight.
std::string FormatDateTime(std::string_view format, TDateTime value,
                           const FormatSettings& settings = FormatSettings::Current());
std::string DateToStr(TDateTime value, const FormatSettings& settings = FormatSettings::Current());
std::string TimeToStr(TDateTime value, const FormatSettings& settings = FormatSettings::Current());
std::string DateTimeToStr(TDateTime value, const FormatSettings& settings = FormatSettings::Current());

// Reading: the date in the order of the short date format (day, month and year found by
// their letters), parts separated by the date separator; a missing year is the current
// year; a two-digit year is taken within 50 years of today. The time is h[:n[:s[.z]]]
// with the time separator and an optional AM/PM text. Surrounding blanks are ignored.
// StrToDateTime accepts a date, a time, or a date followed by a time.
std::optional<TDateTime> TryStrToDate(std::string_view text,
                                      const FormatSettings& settings = FormatSettings::Current());
std::optional<TDateTime> TryStrToTime(std::string_view text,
                                      const FormatSettings& settings = FormatSettings::Current());
std::optional<TDateTime> TryStrToDateTime(std::string_view text,
                                          const FormatSettings& settings = FormatSettings::Current());
TDateTime StrToDate(std::string_view text, const FormatSettings& settings = FormatSettings::Current());
TDateTime StrToTime(std::string_view text, const FormatSettings& settings = FormatSettings::Current());
TDateTime StrToDateTime(std::string_view text, const FormatSettings& settings = FormatSettings::Current());

// The current local date and time.
TDateTime Now();

}  // namespace pavana
