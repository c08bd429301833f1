#include "engine/dialect/JetDate.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <vector>

#include "rtl/DateTime.h"

namespace pavana::engine::dialect {
namespace {

const std::int64_t kEpoch = DaysFromCivil(1899, 12, 30);

bool ValidDay(int y, int m, int d) {
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    static constexpr std::array<int, 12> kDays{31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d > kDays[static_cast<std::size_t>(m - 1)]) return false;
    if (m == 2 && d == 29) return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return true;
}

int ExpandYear(int year, std::size_t digits) {
    if (digits <= 2) return year < 30 ? 2000 + year : 1900 + year;
    return year;
}

// Words of a date text: numbers, names and the separators between them, viewing the text
// (a run of white space is the separator " ").
struct Piece {
    enum Kind { Number, Word, Sep } kind;
    std::string_view text;
};

constexpr std::string_view kSpace = " ";

// A letter, or a byte of a UTF-8 sequence (the accented letters of month names: "março").
bool IsWordByte(unsigned char c) { return std::isalpha(c) || c >= 0x80; }

std::vector<Piece> Pieces(std::string_view text) {
    std::vector<Piece> pieces;
    pieces.reserve(std::min<std::size_t>(text.size(), 16));
    for (std::size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (std::isspace(c)) {
            ++i;
            if (!pieces.empty() && pieces.back().kind != Piece::Sep) pieces.push_back({Piece::Sep, kSpace});
        } else if (std::isdigit(c)) {
            std::size_t j = i;
            while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
            pieces.push_back({Piece::Number, text.substr(i, j - i)});
            i = j;
        } else if (IsWordByte(c)) {
            std::size_t j = i;
            while (j < text.size() && IsWordByte(static_cast<unsigned char>(text[j]))) ++j;
            pieces.push_back({Piece::Word, text.substr(i, j - i)});
            i = j;
        } else {
            if (!pieces.empty() && pieces.back().kind == Piece::Sep && pieces.back().text == kSpace) pieces.pop_back();
            pieces.push_back({Piece::Sep, text.substr(i, 1)});
            ++i;
        }
    }
    if (!pieces.empty() && pieces.back().kind == Piece::Sep && pieces.back().text == kSpace) pieces.pop_back();
    return pieces;
}

// Whether `word`, upper-cased, is the start of `upper`.
bool UpperPrefix(std::string_view word, std::string_view upper) {
    if (word.size() > upper.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(word[i])) != static_cast<unsigned char>(upper[i])) return false;
    return true;
}

bool UpperEquals(std::string_view word, std::string_view upper) {
    return word.size() == upper.size() && UpperPrefix(word, upper);
}

// The value of a run of digits (at most five of them).
int Digits(std::string_view digits) {
    int value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

// The month `w` names, 0 for none: a name of `names` written out or cut to three letters or
// more, compared without regard to the case of ASCII letters.
template <typename Names>
int MonthIn(std::string_view w, const Names& names) {
    if (w.size() < 3) return 0;
    for (std::size_t m = 0; m < names.size(); ++m) {
        const std::string_view name = names[m];
        if (w.size() > name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; same && i < w.size(); ++i)
            same = std::toupper(static_cast<unsigned char>(w[i])) == std::toupper(static_cast<unsigned char>(name[i]));
        if (same) return static_cast<int>(m + 1);
    }
    return 0;
}

// Month names: English, as the platform always reads them, or those of the settings.
int MonthFromName(std::string_view w, const FormatSettings* settings) {
    static constexpr std::array<std::string_view, 12> kNames{"January",   "February", "March",    "April",
                                                             "May",       "June",     "July",     "August",
                                                             "September", "October",  "November", "December"};
    if (int m = MonthIn(w, kNames)) return m;
    if (!settings) return 0;
    if (int m = MonthIn(w, settings->LongMonthNames)) return m;
    return MonthIn(w, settings->ShortMonthNames);
}

// Parses "h:mm[:ss] [AM|PM]" starting at pieces[i]; advances i.
bool ParseTime(const std::vector<Piece>& p, std::size_t& i, double& fraction) {
    int parts[3] = {0, 0, 0};
    int count = 0;
    while (i < p.size() && count < 3) {
        if (p[i].kind != Piece::Number || p[i].text.size() > 2) return false;
        parts[count++] = Digits(p[i].text);
        ++i;
        if (i < p.size() && p[i].kind == Piece::Sep && p[i].text == ":") {
            ++i;
            continue;
        }
        break;
    }
    if (i < p.size() && p[i].kind == Piece::Sep && p[i].text == " ") ++i;
    bool am = false, pm = false;
    if (i < p.size() && p[i].kind == Piece::Word) {
        if (UpperEquals(p[i].text, "AM") || UpperEquals(p[i].text, "A")) am = true;
        else if (UpperEquals(p[i].text, "PM") || UpperEquals(p[i].text, "P")) pm = true;
        else return false;
        ++i;
    }
    if (count < 2 && !(am || pm)) return false;
    int h = parts[0];
    if (am || pm) {
        if (h < 1 || h > 12) return false;
        if (am && h == 12) h = 0;
        if (pm && h != 12) h += 12;
    }
    if (h > 23 || parts[1] > 59 || parts[2] > 59) return false;
    fraction = (h * 3600 + parts[1] * 60 + parts[2]) / 86400.0;
    return true;
}

// Whether the settings' short date puts the day before the month.
bool DayFirst(const FormatSettings& settings) {
    for (char c : settings.ShortDateFormat) {
        const char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (l == 'd') return true;
        if (l == 'm' || l == 'y') return false;
    }
    return false;
}

// `settings` null: a literal (month first, English names only); otherwise text read under them.
std::optional<double> Parse(std::string_view text, const FormatSettings* settings) {
    const bool names = settings != nullptr;
    const bool dayFirst = names && DayFirst(*settings);
    const std::vector<Piece> p = Pieces(text);
    if (p.empty()) return std::nullopt;
    std::size_t i = 0;
    double day = 0;
    bool haveDate = false;
    auto num = [&](std::size_t k) { return k < p.size() && p[k].kind == Piece::Number; };
    auto sep = [&](std::size_t k, const char* s) { return k < p.size() && p[k].kind == Piece::Sep && p[k].text == s; };
    auto dateSep = [&](std::size_t k) {
        return sep(k, "/") || sep(k, "-") || (names && (sep(k, " ") || sep(k, settings->DateSeparator.c_str())));
    };
    if (num(0) && !sep(1, ":")) {
        // numeric date: a/b[/c]
        if (!(dateSep(1) && (num(2) || (names && 2 < p.size() && p[2].kind == Piece::Word)))) return std::nullopt;
        const std::string_view a = p[0].text;
        int y = 0, m = 0, d = 0;
        std::size_t yearDigits = 4;
        if (p[2].kind == Piece::Word) {
            // d-mmm[-yyyy]
            m = MonthFromName(p[2].text, settings);
            if (m == 0) return std::nullopt;
            d = Digits(a.substr(0, 4));
            i = 3;
            if (dateSep(i) && num(i + 1)) {
                yearDigits = p[i + 1].text.size();
                y = Digits(p[i + 1].text.substr(0, 5));
                i += 2;
            } else {
                return std::nullopt;
            }
        } else if (a.size() == 4 && dateSep(1) && num(2) && dateSep(3) && num(4)) {
            y = Digits(a);
            m = Digits(p[2].text.substr(0, 4));
            d = Digits(p[4].text.substr(0, 4));
            i = 5;
        } else {
            m = Digits(a.substr(0, 4));
            d = Digits(p[2].text.substr(0, 4));
            i = 3;
            if (dateSep(3) && num(4)) {
                yearDigits = p[4].text.size();
                if (yearDigits > 4) return std::nullopt;
                y = Digits(p[4].text);
                i = 5;
            } else {
                return std::nullopt;
            }
            if (dayFirst) std::swap(m, d);
            // An impossible order is read the other way round (13/1 is 13 January).
            if (m > 12 && d <= 12) std::swap(m, d);
        }
        y = ExpandYear(y, yearDigits);
        if (!ValidDay(y, m, d)) return std::nullopt;
        day = static_cast<double>(DayNumber(y, m, d));
        haveDate = true;
    } else if (names && p[0].kind == Piece::Word && MonthFromName(p[0].text, settings) != 0) {
        // mmm d[,] yyyy
        int m = MonthFromName(p[0].text, settings);
        if (!(sep(1, " ") && num(2))) return std::nullopt;
        int d = Digits(p[2].text.substr(0, 4));
        i = 3;
        if (sep(i, ",")) ++i;
        if (sep(i, " ")) ++i;
        if (!num(i)) return std::nullopt;
        int y = ExpandYear(Digits(p[i].text.substr(0, 5)), p[i].text.size());
        ++i;
        if (!ValidDay(y, m, d)) return std::nullopt;
        day = static_cast<double>(DayNumber(y, m, d));
        haveDate = true;
    }
    if (i < p.size()) {
        if (haveDate) {
            if (!sep(i, " ")) return std::nullopt;
            ++i;
        }
        double fraction = 0;
        if (!ParseTime(p, i, fraction) || i != p.size()) return std::nullopt;
        // Before 12/30/1899 the time still counts forwards from midnight.
        return day < 0 ? day - fraction : day + fraction;
    }
    if (!haveDate) return std::nullopt;
    return day;
}

}  // namespace

std::int64_t DayNumber(std::int64_t year, std::int64_t month, std::int64_t day) {
    std::int64_t m0 = month - 1;
    year += m0 >= 0 ? m0 / 12 : -((11 - m0) / 12);
    m0 -= (m0 >= 0 ? m0 / 12 : -((11 - m0) / 12)) * 12;
    return DaysFromCivil(year, static_cast<unsigned>(m0 + 1), 1) - kEpoch + (day - 1);
}

double DateValueOf(const DateParts& parts) {
    const double days = static_cast<double>(DayNumber(parts.year, parts.month, parts.day));
    const double seconds = parts.hour * 3600.0 + parts.minute * 60.0 + parts.second;
    const double extraDays = std::floor(seconds / 86400.0);
    const double fraction = (seconds - extraDays * 86400.0) / 86400.0;
    const double whole = days + extraDays;
    return whole < 0 ? whole - fraction : whole + fraction;
}

DateParts SplitDate(double value) {
    double whole = std::trunc(value);
    double fraction = std::fabs(value - whole);
    std::int64_t seconds = std::llround(fraction * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        whole += value < 0 ? -1 : 1;
    }
    const pavana::DateParts civil = CivilFromDays(static_cast<std::int64_t>(whole) + kEpoch);
    DateParts parts;
    parts.year = civil.Year;
    parts.month = civil.Month;
    parts.day = civil.Day;
    parts.hour = static_cast<int>(seconds / 3600);
    parts.minute = static_cast<int>(seconds / 60 % 60);
    parts.second = static_cast<int>(seconds % 60);
    return parts;
}

int WeekdayOf(std::int64_t day, int firstDay) {
    // Day 1 (12/31/1899) was a Sunday.
    const std::int64_t sundayBased = ((day - 1) % 7 + 7) % 7;
    return static_cast<int>((sundayBased - (firstDay - 1) + 7) % 7) + 1;
}

namespace {

// The first day of week 1 of `year`.
std::int64_t FirstWeekStart(std::int64_t year, int firstDay, int firstWeek) {
    const std::int64_t jan1 = DayNumber(year, 1, 1);
    const std::int64_t weekStart = jan1 - (WeekdayOf(jan1, firstDay) - 1);
    if (firstWeek == 2) return jan1 - weekStart <= 3 ? weekStart : weekStart + 7;
    if (firstWeek == 3) return jan1 == weekStart ? weekStart : weekStart + 7;
    return weekStart;
}

}  // namespace

int WeekOfYear(std::int64_t day, int firstDay, int firstWeek) {
    const int year = CivilFromDays(day + kEpoch).Year;
    if (firstWeek == 2 && day >= FirstWeekStart(year + 1, firstDay, firstWeek)) return 1;
    std::int64_t start = FirstWeekStart(year, firstDay, firstWeek);
    if (day < start) start = FirstWeekStart(year - 1, firstDay, firstWeek);
    // Both are whole days and start <= day: the division needs no flooring.
    return static_cast<int>((day - start) / 7) + 1;
}

bool InDateRange(double value) {
    return value >= static_cast<double>(DayNumber(100, 1, 1)) - 1 &&
           value < static_cast<double>(DayNumber(10000, 1, 1));
}

std::optional<double> ParseDateLiteral(std::string_view text) { return Parse(text, nullptr); }

std::optional<double> ParseDateText(std::string_view text, const FormatSettings& settings) {
    return Parse(text, &settings);
}

}  // namespace pavana::engine::dialect
