#include "rtl/DateTime.h"

#include <cctype>
#include <chrono>
#include <cmath>
#include <ctime>

#include "rtl/Exceptions.h"

namespace pavana {
namespace {

// Day number (1 January of year 1 = day 1) of a date.
std::int64_t DayNumber(int year, int month, int day) {
    static const std::int64_t kDayOne = DaysFromCivil(1, 1, 1);
    return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kDayOne + 1;
}

DateParts FromDayNumber(std::int64_t dayNumber) {
    static const std::int64_t kDayOne = DaysFromCivil(1, 1, 1);
    return CivilFromDays(dayNumber - 1 + kDayOne);
}

std::string Digits(int value, int width) {
    std::string s = std::to_string(value);
    while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
    return s;
}

bool StartsWithNoCase(std::string_view text, std::size_t pos, std::string_view word) {
    if (word.empty() || text.size() - pos < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[pos + i])) !=
            std::tolower(static_cast<unsigned char>(word[i])))
            return false;
    return true;
}

bool HasAmPm(std::string_view format) {
    for (std::size_t i = 0; i < format.size(); ++i)
        if (StartsWithNoCase(format, i, "am/pm") || StartsWithNoCase(format, i, "a/p") ||
            StartsWithNoCase(format, i, "ampm"))
            return true;
    return false;
}

class DateFormatter {
public:
    DateFormatter(TDateTime value, const FormatSettings& s) : value_(value), s_(s) {
        date_ = DecodeDate(value);
        time_ = DecodeTime(value);
    }

    std::string Run(std::string_view format, int depth = 0) {
        if (format.empty()) format = "c";
        const bool twelveHour = HasAmPm(format);
        std::string out;
        bool lastWasHour = false;
        std::size_t i = 0;
        while (i < format.size()) {
            char c = format[i];
            char lc = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            std::size_t n = 1;
            while (i + n < format.size() && std::tolower(static_cast<unsigned char>(format[i + n])) == lc) ++n;
            switch (lc) {
                case '\'':
                case '"': {
                    std::size_t end = format.find(c, i + 1);
                    if (end == std::string_view::npos) end = format.size();
                    out.append(format.substr(i + 1, end - i - 1));
                    i = end + 1;
                    continue;
                }
                case 'c':
                    if (depth > 0) break;
                    out += Run(s_.ShortDateFormat, depth + 1);
                    if (time_.Hour != 0 || time_.Minute != 0 || time_.Second != 0 || time_.MSec != 0)
                        out += " " + Run(s_.LongTimeFormat, depth + 1);
                    i += 1;
                    continue;
                case 'd':
                    if (n == 1) out += std::to_string(date_.Day);
                    else if (n == 2) out += Digits(date_.Day, 2);
                    else if (n == 3) out += s_.ShortDayNames[DayOfWeek()];
                    else if (n == 4) out += s_.LongDayNames[DayOfWeek()];
                    else if (depth == 0) out += Run(s_.ShortDateFormat, depth + 1);
                    i += n;
                    lastWasHour = false;
                    continue;
                case 'm':
                    if (lastWasHour && n <= 2) {
                        out += n == 1 ? std::to_string(time_.Minute) : Digits(time_.Minute, 2);
                    } else if (n == 1) {
                        out += std::to_string(date_.Month);
                    } else if (n == 2) {
                        out += Digits(date_.Month, 2);
                    } else if (n == 3) {
                        out += s_.ShortMonthNames[date_.Month - 1];
                    } else {
                        out += s_.LongMonthNames[date_.Month - 1];
                    }
                    i += n;
                    lastWasHour = false;
                    continue;
                case 'y':
                    out += n <= 2 ? Digits(date_.Year % 100, 2) : Digits(date_.Year, 4);
                    i += n;
                    continue;
                case 'h': {
                    int hour = time_.Hour;
                    if (twelveHour) hour = hour % 12 == 0 ? 12 : hour % 12;
                    out += n == 1 ? std::to_string(hour) : Digits(hour, 2);
                    i += n;
                    lastWasHour = true;
                    continue;
                }
                case 'n':
                    out += n == 1 ? std::to_string(time_.Minute) : Digits(time_.Minute, 2);
                    i += n;
                    lastWasHour = false;
                    continue;
                case 's':
                    out += n == 1 ? std::to_string(time_.Second) : Digits(time_.Second, 2);
                    i += n;
                    lastWasHour = false;
                    continue;
                case 'z':
                    out += n < 3 ? std::to_string(time_.MSec) : Digits(time_.MSec, 3);
                    i += n;
                    continue;
                case 't':
                    if (depth == 0) out += Run(n == 1 ? s_.ShortTimeFormat : s_.LongTimeFormat, depth + 1);
                    i += n;
                    continue;
                case 'a':
                    if (StartsWithNoCase(format, i, "am/pm")) {
                        // "am/pm" is written in the letter case of the pattern.
                        bool upper = format[i] == 'A';
                        out += time_.Hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
                        i += 5;
                        continue;
                    }
                    if (StartsWithNoCase(format, i, "ampm")) {
                        out += time_.Hour < 12 ? s_.TimeAMString : s_.TimePMString;
                        i += 4;
                        continue;
                    }
                    if (StartsWithNoCase(format, i, "a/p")) {
                        bool upper = format[i] == 'A';
                        out += time_.Hour < 12 ? (upper ? "A" : "a") : (upper ? "P" : "p");
                        i += 3;
                        continue;
                    }
                    break;
                case '/':
                    out += s_.DateSeparator;
                    i += 1;
                    continue;
                case ':':
                    out += s_.TimeSeparator;
                    i += 1;
                    continue;
                default: break;
            }
            out += c;
            i += 1;
        }
        return out;
    }

private:
    int DayOfWeek() const {
        std::int64_t day = DateTimeToTimeStamp(value_).Date;
        return static_cast<int>(day % 7);  // day 1 (1 January of year 1) was a Monday
    }

    TDateTime value_;
    const FormatSettings& s_;
    DateParts date_;
    TimeParts time_;
};

// Reads text one token at a time for the date and time parsers.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    void SkipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    }
    bool AtEnd() {
        SkipBlanks();
        return pos_ >= text_.size();
    }
    // A run of digits; `length` receives how many were read.
    bool Number(int& value, int& length) {
        SkipBlanks();
        std::size_t start = pos_;
        long long v = 0;
        while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_])) && pos_ - start < 9)
            v = v * 10 + (text_[pos_++] - '0');
        length = static_cast<int>(pos_ - start);
        value = static_cast<int>(v);
        return length > 0;
    }
    bool Literal(std::string_view word) {
        SkipBlanks();
        if (!StartsWithNoCase(text_, pos_, word)) return false;
        pos_ += word.size();
        return true;
    }
    std::size_t Position() const { return pos_; }
    void Reset(std::size_t pos) { pos_ = pos; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

enum class DateOrder { MDY, DMY, YMD };

DateOrder OrderOf(const std::string& format) {
    for (char c : format) {
        char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (l == 'd') return DateOrder::DMY;
        if (l == 'm') return DateOrder::MDY;
        if (l == 'y') return DateOrder::YMD;
    }
    return DateOrder::MDY;
}

int CurrentYear() { return DecodeDate(Now()).Year; }

bool ScanDate(Scanner& sc, const FormatSettings& s, TDateTime& out) {
    int n[3] = {0, 0, 0};
    int len[3] = {0, 0, 0};
    int count = 0;
    if (!sc.Number(n[0], len[0])) return false;
    count = 1;
    while (count < 3) {
        std::size_t before = sc.Position();
        if (!sc.Literal(s.DateSeparator)) break;
        if (!sc.Number(n[count], len[count])) {
            sc.Reset(before);
            break;
        }
        ++count;
    }
    if (count < 2) return false;
    // A trailing date separator ("31/12/") is allowed.
    std::size_t before = sc.Position();
    if (!sc.Literal(s.DateSeparator)) sc.Reset(before);

    int year = 0, month = 0, day = 0, yearLength = 4;
    DateOrder order = OrderOf(s.ShortDateFormat);
    if (count == 2) {
        year = CurrentYear();
        if (order == DateOrder::DMY) {
            day = n[0];
            month = n[1];
        } else {
            month = n[0];
            day = n[1];
        }
    } else {
        switch (order) {
            case DateOrder::MDY:
                month = n[0];
                day = n[1];
                year = n[2];
                yearLength = len[2];
                break;
            case DateOrder::DMY:
                day = n[0];
                month = n[1];
                year = n[2];
                yearLength = len[2];
                break;
            case DateOrder::YMD:
                year = n[0];
                yearLength = len[0];
                month = n[1];
                day = n[2];
                break;
        }
        if (year <= 99 && yearLength <= 2) {
            int window = CurrentYear() - 50;
            year += window / 100 * 100;
            if (year < window) year += 100;
        }
    }
    auto date = TryEncodeDate(year, month, day);
    if (!date) return false;
    out = *date;
    return true;
}

bool ScanAmPm(Scanner& sc, const FormatSettings& s, int& half) {
    if (sc.Literal(s.TimeAMString) || sc.Literal("AM") || sc.Literal("A")) {
        half = 1;
        return true;
    }
    if (sc.Literal(s.TimePMString) || sc.Literal("PM") || sc.Literal("P")) {
        half = 2;
        return true;
    }
    return false;
}

bool ScanTime(Scanner& sc, const FormatSettings& s, TDateTime& out) {
    int half = 0;
    ScanAmPm(sc, s, half);
    int hour = 0, minute = 0, second = 0, msec = 0, length = 0;
    if (!sc.Number(hour, length)) return false;
    bool hasMinutes = false;
    if (sc.Literal(s.TimeSeparator)) {
        if (!sc.Number(minute, length)) return false;
        hasMinutes = true;
        if (sc.Literal(s.TimeSeparator)) {
            if (!sc.Number(second, length)) return false;
            if (sc.Literal(s.DecimalSeparator) || sc.Literal(".")) {
                if (!sc.Number(msec, length)) return false;
                while (length > 3) {
                    msec /= 10;
                    --length;
                }
                while (length < 3) {
                    msec *= 10;
                    ++length;
                }
            }
        }
    }
    if (half == 0) ScanAmPm(sc, s, half);
    if (!hasMinutes && half == 0) return false;  // a lone number is not a time
    if (half != 0) {
        if (hour == 0 || hour > 12) return false;
        if (half == 1 && hour == 12) hour = 0;
        if (half == 2 && hour < 12) hour += 12;
    }
    auto time = TryEncodeTime(hour, minute, second, msec);
    if (!time) return false;
    out = *time;
    return true;
}

[[noreturn]] void NotValid(std::string_view text, const char* what) {
    throw EConvertError("'" + std::string(text) + "' is not a valid " + what);
}

}  // namespace

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

DateParts CivilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

std::optional<TDateTime> TryEncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return std::nullopt;
    return static_cast<double>(DayNumber(year, month, day) - kDateDelta);
}

std::optional<TDateTime> TryEncodeTime(int hour, int minute, int second, int msec) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999)
        return std::nullopt;
    return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + msec) / kMSecsPerDay;
}

TDateTime EncodeDate(int year, int month, int day) {
    auto v = TryEncodeDate(year, month, day);
    if (!v) throw EConvertError("Invalid argument to date encode");
    return *v;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    auto v = TryEncodeTime(hour, minute, second, msec);
    if (!v) throw EConvertError("Invalid argument to time encode");
    return *v;
}

DateParts DecodeDate(TDateTime value) {
    TTimeStamp stamp = DateTimeToTimeStamp(value);
    if (stamp.Date <= 0) return {};
    return FromDayNumber(stamp.Date);
}

TimeParts DecodeTime(TDateTime value) {
    std::int32_t ms = DateTimeToTimeStamp(value).Time;
    return {ms / 3'600'000, ms / 60'000 % 60, ms / 1000 % 60, ms % 1000};
}

std::string FormatDateTime(std::string_view format, TDateTime value, const FormatSettings& settings) {
    return DateFormatter(value, settings).Run(format);
}

std::string DateToStr(TDateTime value, const FormatSettings& settings) {
    return FormatDateTime("ddddd", value, settings);
}

std::string TimeToStr(TDateTime value, const FormatSettings& settings) { return FormatDateTime("tt", value, settings); }

std::string DateTimeToStr(TDateTime value, const FormatSettings& settings) {
    return FormatDateTime("c", value, settings);
}

std::optional<TDateTime> TryStrToDate(std::string_view text, const FormatSettings& settings) {
    Scanner sc(text);
    TDateTime date = 0;
    if (!ScanDate(sc, settings, date) || !sc.AtEnd()) return std::nullopt;
    return date;
}

std::optional<TDateTime> TryStrToTime(std::string_view text, const FormatSettings& settings) {
    Scanner sc(text);
    TDateTime time = 0;
    if (!ScanTime(sc, settings, time) || !sc.AtEnd()) return std::nullopt;
    return time;
}

std::optional<TDateTime> TryStrToDateTime(std::string_view text, const FormatSettings& settings) {
    Scanner sc(text);
    TDateTime date = 0;
    if (ScanDate(sc, settings, date)) {
        if (sc.AtEnd()) return date;
        TDateTime time = 0;
        if (!ScanTime(sc, settings, time) || !sc.AtEnd()) return std::nullopt;
        return date >= 0 ? date + time : date - time;
    }
    return TryStrToTime(text, settings);
}

TDateTime StrToDate(std::string_view text, const FormatSettings& settings) {
    auto v = TryStrToDate(text, settings);
    if (!v) NotValid(text, "date");
    return *v;
}

TDateTime StrToTime(std::string_view text, const FormatSettings& settings) {
    auto v = TryStrToTime(text, settings);
    if (!v) NotValid(text, "time");
    return *v;
}

TDateTime StrToDateTime(std::string_view text, const FormatSettings& settings) {
    auto v = TryStrToDateTime(text, settings);
    if (!v) NotValid(text, "date and time");
    return *v;
}

TDateTime Now() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t seconds = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    auto ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
           EncodeTime(local.tm_hour, local.tm_min, local.tm_sec, ms);
}

}  // namespace pavana
