// The format settings: how numbers, dates and times are written as text and read back.
//
// One `FormatSettings` value describes the separators, the date/time formats and names and
// the currency form. The process-wide current instance is what the variant conversions, the
// date-time text routines, the engine's parameter conversion and the dialect's functions use,
// so a value written as text by one layer is read back to the same value by another. It
// starts as the settings of the process locale (the environment's LC_NUMERIC, LC_MONETARY
// and LC_TIME, read without calling setlocale) and is read once: conversions only look at
// it. Tests replace it with `SetCurrent`.
//
// A glibc locale is mapped onto the settings the platform shows for that region
// (docs/locale.md): what glibc describes differently (pt_BR's weekday names, its long date)
// is taken from the platform's regional defaults, and en_US keeps the platform's own
// United States forms.
//
// Date and time formats use the framework's pattern letters: d dd (day), m mm (month),
// yy yyyy (year), h hh (hour), n nn (minute), s ss (second), z zzz (milliseconds),
// "am/pm" (12-hour clock, "am"/"pm" in the letter case written), "ampm" (12-hour clock with
// the AM/PM texts), "/" (the date separator), ":" (the time separator); text between quotes
// is copied as it stands.
#pragma once

#include <array>
#include <string>

namespace pavana {

struct FormatSettings {
    std::string DecimalSeparator = ".";
    std::string ThousandSeparator = ",";
    std::string DateSeparator = "/";
    std::string TimeSeparator = ":";
    std::string ShortDateFormat = "m/d/yyyy";
    std::string ShortTimeFormat = "h:nn AM/PM";
    std::string LongTimeFormat = "h:nn:ss AM/PM";
    std::string LongDateFormat = "dddd, mmmm d, yyyy";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> LongMonthNames{"January", "February", "March",     "April",   "May",      "June",
                                               "July",    "August",   "September", "October", "November", "December"};
    std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
    // The currency: its symbol, the digits after the decimal separator, where the symbol
    // stands on a positive amount (0 "$1", 1 "1$", 2 "$ 1", 3 "1 $") and the form of a
    // negative amount (0 "($1)", 1 "-$1", 2 "$-1", 3 "$1-", 4 "(1$)", 5 "-1$", 6 "1-$",
    // 7 "1$-", 8 "-1 $", 9 "-$ 1", 10 "1 $-", 11 "$ 1-", 12 "$ -1", 13 "1- $", 14 "($ 1)",
    // 15 "(1 $)").
    std::string CurrencyString = "$";
    int CurrencyDecimals = 2;
    int CurrencyFormat = 0;
    int NegCurrFormat = 0;

    // The settings written above: United States English, the platform's own defaults.
    static const FormatSettings& Invariant();
    // The settings of the locales the environment names for LC_NUMERIC, LC_MONETARY and
    // LC_TIME (LC_ALL, then the category, then LANG). A locale that cannot be loaded, C and
    // POSIX give `Invariant()`. A two-digit year in the locale's date format becomes four
    // digits, so that dates written as text keep their century.
    static FormatSettings FromEnvironment();
    // Settings for a named locale ("pt_BR.UTF-8"); `Invariant()` when it cannot be loaded.
    static FormatSettings FromLocale(const std::string& localeName);

    // The process-wide instance (initialised by `FromEnvironment` on first use). Every
    // conversion asks for it, so after the first call it costs a load and a test.
    static const FormatSettings& Current() { return current_ != nullptr ? *current_ : FirstCurrent(); }
    static void SetCurrent(FormatSettings settings);

private:
    static const FormatSettings& FirstCurrent();
    static inline const FormatSettings* current_ = nullptr;
};

}  // namespace pavana
