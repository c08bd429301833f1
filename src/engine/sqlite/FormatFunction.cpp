// Format(value [, format]): the named formats and the custom number, date and text formats,
// written under the format settings: the . and , of a number format stand for the settings'
// decimal and thousands separators, the / and : of a date format for their date and time
// separators; names of months and days, the short and long date and the long time are theirs.
//
// Number formats: 0 # . , % E+ E- e+ e-, literals ("...", \x and the others), up to four
// sections (positive;negative;zero;Null). Date formats: d dd ddd dddd ddddd dddddd w ww m mm
// mmm mmmm q y yy yyyy h hh n nn s ss ttttt c AM/PM am/pm A/P a/p AMPM, / and :. Text
// formats: @ & < > !.
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "engine/dialect/JetDate.h"
#include "engine/sqlite/FunctionSupport.h"

namespace pavana::engine::sqlite::support {

using namespace dialect;
namespace {

std::string Lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Splits a format into its sections at ';' outside quotes and escapes.
std::vector<std::string> Sections(const std::string& f) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (std::size_t i = 0; i < f.size(); ++i) {
        const char c = f[i];
        if (c == '"') quoted = !quoted;
        if (!quoted && c == '\\' && i + 1 < f.size()) {
            out.back() += c;
            out.back() += f[++i];
            continue;
        }
        if (!quoted && c == ';') {
            out.emplace_back();
            continue;
        }
        out.back() += c;
    }
    return out;
}

// What a format is for, judged by its unquoted characters.
enum class FormatKind { Number, Date, Text };

FormatKind KindOf(const std::string& f) {
    bool digits = false, date = false, text = false;
    bool quoted = false;
    for (std::size_t i = 0; i < f.size(); ++i) {
        const char c = f[i];
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (quoted) continue;
        if (c == '\\') {
            ++i;
            continue;
        }
        const char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (c == '0' || c == '#') digits = true;
        else if (l == 'd' || l == 'm' || l == 'y' || l == 'h' || l == 'n' || l == 's' || l == 'q' || l == 'w' ||
                 l == 'c' || l == 't' ||
                 (l == 'a' && i + 1 < f.size() && (f[i + 1] == '/' || f[i + 1] == 'm' || f[i + 1] == 'M')))
            date = true;
        else if (c == '@' || c == '&' || c == '<' || c == '>' || c == '!') text = true;
    }
    if (digits) return FormatKind::Number;
    if (date) return FormatKind::Date;
    if (text) return FormatKind::Text;
    return FormatKind::Number;
}

// ---- numbers ----------------------------------------------------------------------------

// `value` (>= 0) rounded half away from zero to `decimals` places, as digit strings.
void Digits(double value, int decimals, std::string& integer, std::string& fraction) {
    char buffer[720];
    // Print with extra places, then round the decimal string itself (half away from zero).
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, std::min(decimals + 3, 340));
    std::string s(buffer, written.ptr);
    const std::size_t point = s.find('.');
    std::string whole = point == std::string::npos ? s : s.substr(0, point);
    std::string frac = point == std::string::npos ? "" : s.substr(point + 1);
    const bool up = frac.size() > static_cast<std::size_t>(decimals) && frac[static_cast<std::size_t>(decimals)] >= '5';
    frac = frac.substr(0, static_cast<std::size_t>(decimals));
    std::string all = whole + frac;
    if (up) {
        int i = static_cast<int>(all.size()) - 1;
        while (i >= 0 && all[static_cast<std::size_t>(i)] == '9') all[static_cast<std::size_t>(i--)] = '0';
        if (i < 0) all.insert(all.begin(), '1');
        else ++all[static_cast<std::size_t>(i)];
    }
    integer = all.substr(0, all.size() - static_cast<std::size_t>(decimals));
    fraction = all.substr(all.size() - static_cast<std::size_t>(decimals));
    while (integer.size() > 1 && integer[0] == '0') integer.erase(0, 1);
}

std::string Group(const std::string& digits, const std::string& separator) {
    std::string out;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[i];
        const std::size_t left = n - i - 1;
        if (left > 0 && left % 3 == 0) out += separator;
    }
    return out;
}

struct NumberItem {
    enum Kind { Zero, Hash, Point, Literal, Exponent } kind;
    std::string text;  // Literal; Exponent: "E+" etc.
};

// Formats |value| with one section; `negative` adds the sign when the section has none.
std::string FormatNumberSection(double value, const std::string& section, bool sign, const FormatSettings& settings) {
    std::vector<NumberItem> items;
    bool grouping = false;
    int scale = 0;
    int percent = 0;
    bool seenPoint = false, seenDigit = false;
    for (std::size_t i = 0; i < section.size(); ++i) {
        const char c = section[i];
        if (c == '"') {
            std::size_t close = section.find('"', i + 1);
            if (close == std::string::npos) close = section.size();
            items.push_back({NumberItem::Literal, section.substr(i + 1, close - i - 1)});
            i = close;
        } else if (c == '\\' && i + 1 < section.size()) {
            items.push_back({NumberItem::Literal, std::string(1, section[++i])});
        } else if (c == '0' || c == '#') {
            items.push_back({c == '0' ? NumberItem::Zero : NumberItem::Hash, ""});
            seenDigit = true;
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
            items.push_back({NumberItem::Point, ""});
        } else if (c == ',') {
            // A comma between digit placeholders groups thousands; commas right before the
            // decimal point (or the end of the digits) divide by 1000 each.
            std::size_t j = i;
            while (j < section.size() && section[j] == ',') ++j;
            const bool digitFollows = j < section.size() && (section[j] == '0' || section[j] == '#');
            if (!seenPoint && seenDigit && digitFollows) grouping = true;
            else if (!seenPoint && seenDigit) scale += static_cast<int>(j - i);
            i = j - 1;
        } else if (c == '%') {
            ++percent;
            items.push_back({NumberItem::Literal, "%"});
        } else if ((c == 'E' || c == 'e') && i + 1 < section.size() &&
                   (section[i + 1] == '+' || section[i + 1] == '-')) {
            items.push_back({NumberItem::Exponent, section.substr(i, 2)});
            ++i;
        } else {
            items.push_back({NumberItem::Literal, std::string(1, c)});
        }
    }
    for (int i = 0; i < percent; ++i) value *= 100;
    for (int i = 0; i < scale; ++i) value /= 1000;

    // Placeholders of the integer part, the fraction and the exponent.
    std::size_t exponentAt = items.size();
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].kind == NumberItem::Exponent) {
            exponentAt = i;
            break;
        }
    int intPlaces = 0, intZeros = 0, fracPlaces = 0, fracZeros = 0, expZeros = 0;
    bool afterPoint = false;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto k = items[i].kind;
        if (k == NumberItem::Point) afterPoint = true;
        if (k != NumberItem::Zero && k != NumberItem::Hash) continue;
        if (i > exponentAt) {
            if (k == NumberItem::Zero) ++expZeros;
        } else if (afterPoint) {
            ++fracPlaces;
            if (k == NumberItem::Zero) fracZeros = fracPlaces;
        } else {
            ++intPlaces;
            if (k == NumberItem::Zero || intZeros > 0) ++intZeros;
        }
    }
    int exponent = 0;
    if (exponentAt < items.size() && value != 0) {
        const int lead = std::max(1, intPlaces);
        exponent = static_cast<int>(std::floor(std::log10(value))) - (lead - 1);
        value /= std::pow(10.0, exponent);
        std::string i0, f0;
        Digits(value, fracPlaces, i0, f0);
        if (static_cast<int>(i0.size()) > lead) {
            value /= 10;
            ++exponent;
        }
    }
    std::string integer, fraction;
    Digits(value, fracPlaces, integer, fraction);
    while (static_cast<int>(fraction.size()) > fracZeros && !fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    if (integer == "0" && intZeros == 0) integer.clear();
    while (static_cast<int>(integer.size()) < intZeros) integer.insert(integer.begin(), '0');
    const bool allZero =
        integer.find_first_not_of('0') == std::string::npos && fraction.find_first_not_of('0') == std::string::npos;

    std::string out;
    if (sign && !allZero) out += '-';
    // Integer digits are right-aligned on the placeholders; extra digits go to the first.
    int placeIndex = 0;
    const int extra = static_cast<int>(integer.size()) - intPlaces;
    std::size_t next = 0;
    afterPoint = false;
    int fracIndex = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const NumberItem& item = items[i];
        if (item.kind == NumberItem::Exponent) {
            out += item.text[0];
            if (exponent < 0) out += '-';
            else if (item.text[1] == '+') out += '+';
            std::string e = std::to_string(std::abs(exponent));
            while (static_cast<int>(e.size()) < expZeros) e.insert(e.begin(), '0');
            out += e;
            // the exponent's own placeholders are consumed
            while (i + 1 < items.size() &&
                   (items[i + 1].kind == NumberItem::Zero || items[i + 1].kind == NumberItem::Hash))
                ++i;
            continue;
        }
        if (item.kind == NumberItem::Point) {
            // With no placeholder before the point, the whole part still shows in front of it.
            if (intPlaces == 0 && !afterPoint) out += grouping ? Group(integer, settings.ThousandSeparator) : integer;
            afterPoint = true;
            out += settings.DecimalSeparator;
            continue;
        }
        if (item.kind == NumberItem::Literal) {
            out += item.text;
            continue;
        }
        if (afterPoint) {
            if (fracIndex < static_cast<int>(fraction.size())) out += fraction[static_cast<std::size_t>(fracIndex)];
            ++fracIndex;
            continue;
        }
        if (grouping) {
            if (placeIndex == 0) out += Group(integer, settings.ThousandSeparator);
            ++placeIndex;
            continue;
        }
        // Which digits of `integer` belong to this placeholder.
        const int slot = placeIndex + extra;  // index in integer of this placeholder's digit
        if (placeIndex == 0 && extra > 0) {
            out += integer.substr(0, static_cast<std::size_t>(extra) + 1);
            next = static_cast<std::size_t>(extra) + 1;
        } else if (slot >= 0 && static_cast<std::size_t>(slot) < integer.size()) {
            out += integer[static_cast<std::size_t>(slot)];
            next = static_cast<std::size_t>(slot) + 1;
        }
        ++placeIndex;
    }
    (void)next;
    // A trailing point with no decimals shown stays, as the platform writes "5." for "0.".
    return out;
}

std::string FormatNumber(double value, const std::string& format, const FormatSettings& settings) {
    if (!std::isfinite(value)) throw FunctionError{kOverflow};
    const std::vector<std::string> sections = Sections(format);
    if (value < 0 && sections.size() > 1 && !sections[1].empty())
        return FormatNumberSection(-value, sections[1], false, settings);
    if (value == 0 && sections.size() > 2 && !sections[2].empty())
        return FormatNumberSection(0, sections[2], false, settings);
    return FormatNumberSection(std::fabs(value), sections[0], value < 0, settings);
}

// The named format Currency: the settings' symbol where they put it, their decimals, grouped
// thousands, and a negative amount in their negative form ("R$ 1.234,50", "-R$ 1.234,50").
std::string CurrencyPattern(const FormatSettings& settings) {
    static constexpr const char* kPositive[] = {"$1", "1$", "$ 1", "1 $"};
    static constexpr const char* kNegative[] = {"($1)", "-$1",  "$-1",  "$1-",  "(1$)", "-1$",  "1-$",   "1$-",
                                                "-1 $", "-$ 1", "1 $-", "$ 1-", "$ -1", "1- $", "($ 1)", "(1 $)"};
    std::string number = "#,##0";
    if (settings.CurrencyDecimals > 0)
        number += "." + std::string(static_cast<std::size_t>(settings.CurrencyDecimals), '0');
    const std::string symbol = "\"" + settings.CurrencyString + "\"";
    auto expand = [&](std::string_view form) {
        std::string out;
        for (char c : form) out += c == '$' ? symbol : c == '1' ? number : std::string(1, c);
        return out;
    };
    const int positive = settings.CurrencyFormat >= 0 && settings.CurrencyFormat < 4 ? settings.CurrencyFormat : 0;
    const int negative = settings.NegCurrFormat >= 0 && settings.NegCurrFormat < 16 ? settings.NegCurrFormat : 0;
    return expand(kPositive[positive]) + ";" + expand(kNegative[negative]);
}

// ---- dates ------------------------------------------------------------------------------

std::string Two(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

// The week rule of the w and ww symbols: Format's third and fourth arguments.
struct WeekRule {
    int firstDay = 1;
    int firstWeek = 1;
};

std::string FormatDate(double date, const std::string& f, const FormatSettings& s, WeekRule week = {});

std::string ShortDate(double date, const FormatSettings& s) { return FormatDate(date, s.ShortDateFormat, s); }
std::string LongDate(double date, const FormatSettings& s) { return FormatDate(date, s.LongDateFormat, s); }
std::string LongTime(double date, const FormatSettings& s) { return FormatDate(date, s.LongTimeFormat, s); }

// The general date: the short date, followed by the long time when the value has a time of
// day; a time on day 0 alone.
std::string GeneralDate(double date, const FormatSettings& s) {
    const double linear = DateToLinear(date);
    const double day = std::floor(linear);
    const bool hasTime = std::llround((linear - day) * 86400.0) % 86400 != 0;
    if (!hasTime) return ShortDate(date, s);
    if (day == 0) return LongTime(date, s);
    return ShortDate(date, s) + " " + LongTime(date, s);
}

std::string FormatDate(double date, const std::string& f, const FormatSettings& s, WeekRule week) {
    const DateParts p = SplitDate(date);
    const double linear = DateToLinear(date);
    const std::int64_t day = static_cast<std::int64_t>(std::floor(linear));
    const int weekday = static_cast<int>(((day - 1) % 7 + 7) % 7);  // 0 = Sunday
    const bool twelveHour = [&] {
        const std::string l = Lower(f);
        return l.find("am/pm") != std::string::npos || l.find("a/p") != std::string::npos ||
               l.find("ampm") != std::string::npos;
    }();
    std::string out;
    bool lastWasHour = false;
    for (std::size_t i = 0; i < f.size();) {
        const char c = f[i];
        const char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        auto run = [&](char ch) {
            std::size_t j = i;
            while (j < f.size() && std::tolower(static_cast<unsigned char>(f[j])) == ch) ++j;
            return j - i;
        };
        if (c == '"') {
            std::size_t close = f.find('"', i + 1);
            if (close == std::string::npos) close = f.size();
            out += f.substr(i + 1, close - i - 1);
            i = close + 1;
            continue;
        }
        if (c == '\\' && i + 1 < f.size()) {
            out += f[i + 1];
            i += 2;
            continue;
        }
        const std::string rest = Lower(f.substr(i, 5));
        if (rest.rfind("am/pm", 0) == 0) {
            const bool upper = f[i] == 'A';
            out += p.hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
            i += 5;
            continue;
        }
        if (rest.rfind("a/p", 0) == 0) {
            const bool upper = f[i] == 'A';
            out += p.hour < 12 ? (upper ? "A" : "a") : (upper ? "P" : "p");
            i += 3;
            continue;
        }
        if (rest.rfind("ampm", 0) == 0) {
            out += p.hour < 12 ? s.TimeAMString : s.TimePMString;
            i += 4;
            continue;
        }
        std::size_t n = 0;
        switch (l) {
            case 'd':
                n = run('d');
                if (n == 1) out += std::to_string(p.day);
                else if (n == 2) out += Two(p.day);
                else if (n == 3) out += s.ShortDayNames[static_cast<std::size_t>(weekday)];
                else if (n == 4) out += s.LongDayNames[static_cast<std::size_t>(weekday)];
                else if (n == 5) out += ShortDate(date, s);
                else out += LongDate(date, s);
                i += n;
                lastWasHour = false;
                continue;
            case 'm': {
                n = run('m');
                if (lastWasHour && n <= 2) {
                    out += n == 1 ? std::to_string(p.minute) : Two(p.minute);
                } else if (n == 1) out += std::to_string(p.month);
                else if (n == 2) out += Two(p.month);
                else if (n == 3) out += s.ShortMonthNames[static_cast<std::size_t>(p.month - 1)];
                else out += s.LongMonthNames[static_cast<std::size_t>(p.month - 1)];
                i += n;
                lastWasHour = false;
                continue;
            }
            case 'y':
                n = run('y');
                if (n >= 3) out += std::to_string(p.year), n = n >= 4 ? 4 : 3;
                else if (n == 2) out += Two(p.year % 100);
                else out += std::to_string(day - DayNumber(p.year, 1, 1) + 1);
                i += n;
                lastWasHour = false;
                continue;
            case 'h': {
                n = std::min<std::size_t>(run('h'), 2);
                int h = p.hour;
                if (twelveHour) h = h % 12 == 0 ? 12 : h % 12;
                out += n == 1 ? std::to_string(h) : Two(h);
                i += n;
                lastWasHour = true;
                continue;
            }
            case 'n':
                n = std::min<std::size_t>(run('n'), 2);
                out += n == 1 ? std::to_string(p.minute) : Two(p.minute);
                i += n;
                continue;
            case 's':
                n = std::min<std::size_t>(run('s'), 2);
                out += n == 1 ? std::to_string(p.second) : Two(p.second);
                i += n;
                lastWasHour = false;
                continue;
            case 'q':
                out += std::to_string((p.month - 1) / 3 + 1);
                ++i;
                continue;
            case 'w':
                n = std::min<std::size_t>(run('w'), 2);
                out += std::to_string(n == 1 ? WeekdayOf(day, week.firstDay)
                                             : WeekOfYear(day, week.firstDay, week.firstWeek));
                i += n;
                continue;
            case 'c':
                out += GeneralDate(date, s);
                ++i;
                continue;
            case 't':
                n = run('t');
                if (n == 5) {
                    out += LongTime(date, s);
                    i += 5;
                    continue;
                }
                break;
            default: break;
        }
        if (c != ':') lastWasHour = lastWasHour && (c == ' ');
        if (c == '/') out += s.DateSeparator;
        else if (c == ':') out += s.TimeSeparator;
        else out += c;
        ++i;
    }
    return out;
}

// ---- text -------------------------------------------------------------------------------

std::string FormatText(const std::string& text, const std::string& f) {
    std::u32string s = Decode(text);
    bool leftToRight = false;
    int placeholders = 0;
    for (char c : f) {
        if (c == '!') leftToRight = true;
        if (c == '@' || c == '&') ++placeholders;
    }
    for (char c : f) {
        if (c == '<')
            for (auto& ch : s) ch = FoldCase(ch);
        if (c == '>')
            for (auto& ch : s) ch = UpperCase(ch);
    }
    std::u32string out;
    if (placeholders == 0) {
        out = s;
        for (char c : f)
            if (c != '<' && c != '>' && c != '!') out += static_cast<char32_t>(static_cast<unsigned char>(c));
        return Encode(out);
    }
    // Characters fill the placeholders from the right (from the left with !); characters
    // beyond the placeholders go in front (or at the end).
    const int n = static_cast<int>(s.size());
    int index = leftToRight ? 0 : n - placeholders;
    if (!leftToRight && index > 0) out += s.substr(0, static_cast<std::size_t>(index));
    for (std::size_t i = 0; i < f.size(); ++i) {
        const char c = f[i];
        if (c == '<' || c == '>' || c == '!') continue;
        if (c == '\\' && i + 1 < f.size()) {
            out += static_cast<char32_t>(static_cast<unsigned char>(f[++i]));
            continue;
        }
        if (c == '@' || c == '&') {
            if (index >= 0 && index < n) out += s[static_cast<std::size_t>(index)];
            else if (c == '@') out += U' ';
            ++index;
            continue;
        }
        out += static_cast<char32_t>(static_cast<unsigned char>(c));
    }
    if (leftToRight && index < n) out += s.substr(static_cast<std::size_t>(index));
    return Encode(out);
}

// ---- named formats ----------------------------------------------------------------------

bool Named(const std::string& format, double number, const FormatSettings& s, std::string& out) {
    const std::string f = Lower(format);
    if (f == "general number") {
        out = NumberText(number, s);
    } else if (f == "currency") {
        out = FormatNumber(number, CurrencyPattern(s), s);
    } else if (f == "fixed") {
        out = FormatNumber(number, "0.00", s);
    } else if (f == "standard") {
        out = FormatNumber(number, "#,##0.00", s);
    } else if (f == "percent") {
        out = FormatNumber(number, "0.00%", s);
    } else if (f == "scientific") {
        out = FormatNumber(number, "0.00E+00", s);
    } else if (f == "yes/no") {
        out = number != 0 ? "Yes" : "No";
    } else if (f == "true/false") {
        out = number != 0 ? "True" : "False";
    } else if (f == "on/off") {
        out = number != 0 ? "On" : "Off";
    } else if (f == "general date") {
        out = GeneralDate(number, s);
    } else if (f == "long date") {
        out = LongDate(number, s);
    } else if (f == "medium date") {
        out = FormatDate(number, "dd-mmm-yy", s);
    } else if (f == "short date") {
        out = ShortDate(number, s);
    } else if (f == "long time") {
        out = LongTime(number, s);
    } else if (f == "medium time") {
        out = FormatDate(number, "hh:nn AM/PM", s);
    } else if (f == "short time") {
        out = FormatDate(number, "hh:nn", s);
    } else {
        return false;
    }
    return true;
}

void Format(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const FormatSettings& s = Settings();
    const std::string format = argc > 1 && !IsNull(argv[1]) ? ToText(argv[1], s) : "";
    if (IsNull(argv[0])) {
        const std::vector<std::string> sections = Sections(format);
        if (sections.size() > 3 && KindOf(format) == FormatKind::Number)
            return ResultText(ctx, FormatNumberSection(0, sections[3], false, s));
        return sqlite3_result_null(ctx);
    }
    const bool isText = sqlite3_value_type(argv[0]) == SQLITE_TEXT;
    const std::string text = ToText(argv[0], s);
    if (format.empty()) return ResultText(ctx, text);
    std::optional<double> number;
    if (!isText) number = ToNumber(argv[0]);
    else if (auto n = ParseNumber(text, s)) number = *n;
    const FormatKind kind = KindOf(format);
    if (kind == FormatKind::Text) return ResultText(ctx, FormatText(text, format));
    std::optional<double> date = number;
    if (isText && !date) date = ParseDateText(text, s);
    std::string out;
    if (date && Named(format, *date, s, out)) return ResultText(ctx, out);
    if (kind == FormatKind::Date) {
        if (!date) return ResultText(ctx, text);
        if (!InDateRange(*date)) throw FunctionError{kInvalidCall};
        const WeekRule week{FirstDayArgument(argc, argv, 2), FirstWeekArgument(argc, argv, 3)};
        return ResultText(ctx, FormatDate(*date, format, s, week));
    }
    if (!number) return ResultText(ctx, text);
    ResultText(ctx, FormatNumber(*number, format, s));
}

}  // namespace

void RegisterFormatFunction(sqlite3* db) { Define(db, "JetFormat", -1, Format); }

std::string DateText(double date, const FormatSettings& settings) { return GeneralDate(date, settings); }

}  // namespace pavana::engine::sqlite::support
