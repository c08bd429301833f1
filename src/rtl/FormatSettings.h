// The format settings: how numbers, dates and times are written as text and read back.
//
// One `FormatSettings` value describes the separators and the date/time formats. The
// process-wide current instance is what the variant conversions, the date-time text
// routines and the engine's parameter conversion use, so a value written as text by one
// layer is read back to the same value by another. It starts as the settings of the
// process locale (the environment's LC_NUMERIC and LC_TIME, read without calling
// setlocale); tests replace it with `SetCurrent`.
//
// Date and time formats use the framework's pattern letters: d dd (day), m mm (month),
// yy yyyy (year), h hh (hour), n nn (minute), s ss (second), z zzz (milliseconds),
// "am/pm" (12-hour clock, "am"/"pm" in the letter case written), "ampm" (12-hour clock with
// the AM/PM texts), "/" (the date separator), ":" (the time separator); text between quotes
// is copied as it stands.
#pragma once

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
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";

    // The settings written above: United States English, the platform's own defaults.
    static FormatSettings Invariant();
    // The settings of the locale the environment names for LC_NUMERIC and LC_TIME
    // (LC_ALL, then the category, then LANG). A locale that cannot be loaded gives
    // `Invariant()`. A two-digit year in the locale's date format becomes four digits,
    // so that dates written as text keep their century.
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
