#include "rtl/FormatSettings.h"

#include <langinfo.h>
#include <locale.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <optional>

namespace pavana {
namespace {

// A locale_t with its own lifetime.
struct LocaleDeleter {
    void operator()(void* loc) const { freelocale(static_cast<locale_t>(loc)); }
};
using LocaleHandle = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter>;

struct TimeFormats {
    std::string longTime;
    std::string shortTime;
};

// strftime's date format ("%d/%m/%Y") as a pattern ("dd/mm/yyyy"); the first literal
// character is the date separator, written as "/" in the pattern.
std::string DatePattern(const std::string& fmt, std::string& separator) {
    std::string out;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        char c = fmt[i];
        if (c == '%' && i + 1 < fmt.size()) {
            char d = fmt[++i];
            while ((d == 'E' || d == 'O' || d == '-' || d == '_' || d == '0') && i + 1 < fmt.size()) d = fmt[++i];
            switch (d) {
                case 'd': out += "dd"; break;
                case 'e': out += "d"; break;
                case 'm': out += "mm"; break;
                case 'y':
                case 'Y':
                case 'C': out += "yyyy"; break;
                case 'D':
                    out += "mm/dd/yyyy";
                    if (separator.empty()) separator = "/";
                    break;
                case 'F':
                    out += "yyyy/mm/dd";
                    if (separator.empty()) separator = "-";
                    break;
                default: break;
            }
            continue;
        }
        if (c == ' ' || c == '\t') continue;
        if (separator.empty()) separator = std::string(1, c);
        out += std::string(1, c) == separator ? std::string("/") : std::string(1, c);
    }
    return out;
}

TimeFormats TimePatterns(const std::string& fmt, std::string& separator) {
    std::string longTime;
    bool twelveHour = false;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        char c = fmt[i];
        if (c == '%' && i + 1 < fmt.size()) {
            char d = fmt[++i];
            while ((d == 'E' || d == 'O' || d == '-' || d == '_' || d == '0') && i + 1 < fmt.size()) d = fmt[++i];
            switch (d) {
                case 'H': longTime += "hh"; break;
                case 'k': longTime += "h"; break;
                case 'I':
                    longTime += "hh";
                    twelveHour = true;
                    break;
                case 'l':
                    longTime += "h";
                    twelveHour = true;
                    break;
                case 'M': longTime += "nn"; break;
                case 'S': longTime += "ss"; break;
                case 'T':
                    longTime += "hh:nn:ss";
                    if (separator.empty()) separator = ":";
                    break;
                case 'R':
                    longTime += "hh:nn";
                    if (separator.empty()) separator = ":";
                    break;
                case 'p':
                case 'P': twelveHour = true; break;
                default: break;
            }
            continue;
        }
        if (c == ' ' || c == '\t') continue;
        if (separator.empty()) separator = std::string(1, c);
        longTime += std::string(1, c) == separator ? std::string(":") : std::string(1, c);
    }
    std::string shortTime = longTime;
    if (auto pos = shortTime.find(":ss"); pos != std::string::npos) shortTime.erase(pos, 3);
    if (twelveHour) {
        longTime += " ampm";
        shortTime += " ampm";
    }
    return {longTime, shortTime};
}

bool IsPlainCLocale(const std::string& name) {
    return name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

std::string LocaleNameFromEnvironment(const char* category) {
    for (const char* var : {"LC_ALL", category, "LANG"}) {
        const char* value = std::getenv(var);
        if (value != nullptr && *value != '\0') return value;
    }
    return "C";
}

// "pt_BR.UTF-8@euro" -> "pt_BR": the region whose platform defaults apply.
std::string RegionOf(const std::string& localeName) { return localeName.substr(0, localeName.find_first_of(".@")); }

LocaleHandle LoadLocale(int mask, const std::string& name) {
    if (IsPlainCLocale(name)) return LocaleHandle(nullptr);
    return LocaleHandle(newlocale(mask, name.c_str(), nullptr));
}

void ReadNumeric(locale_t loc, FormatSettings& s) {
    s.DecimalSeparator = nl_langinfo_l(RADIXCHAR, loc);
    s.ThousandSeparator = nl_langinfo_l(THOUSEP, loc);
    if (s.DecimalSeparator.empty()) s.DecimalSeparator = ".";
}

// The index of `form` in `forms`, or `fallback`.
template <std::size_t N>
int IndexOf(const std::array<const char*, N>& forms, const std::string& form, int fallback) {
    for (std::size_t i = 0; i < N; ++i)
        if (form == forms[i]) return static_cast<int>(i);
    return fallback;
}

// The currency forms of FormatSettings, written with "$" for the symbol and "1" for the amount.
constexpr std::array<const char*, 4> kPositiveCurrencyForms{"$1", "1$", "$ 1", "1 $"};
constexpr std::array<const char*, 16> kNegativeCurrencyForms{"($1)", "-$1",  "$-1",   "$1-",  "(1$)", "-1$",
                                                             "1-$",  "1$-",  "-1 $",  "-$ 1", "1 $-", "$ 1-",
                                                             "$ -1", "1- $", "($ 1)", "(1 $)"};

// The currency form glibc describes (where the symbol stands, whether a space parts it from
// the amount, where the sign goes) written as one of the forms above.
std::string CurrencyBody(bool precedes, bool space) {
    return precedes ? (space ? "$ 1" : "$1") : (space ? "1 $" : "1$");
}

std::string CurrencyForm(bool precedes, bool space, int signPosition) {
    const std::string gap = space ? " " : "";
    const std::string body = CurrencyBody(precedes, space);
    switch (signPosition) {
        case 0: return "(" + body + ")";
        case 2: return body + "-";
        case 3: return precedes ? "-$" + gap + "1" : "1" + gap + "-$";
        case 4: return precedes ? "$-" + gap + "1" : "1" + gap + "$-";
        default: return "-" + body;
    }
}

void ReadMonetary(locale_t loc, FormatSettings& s) {
    const std::string symbol = nl_langinfo_l(CURRENCY_SYMBOL, loc);
    if (symbol.empty()) return;
    s.CurrencyString = symbol;
    const int digits = *nl_langinfo_l(FRAC_DIGITS, loc);
    if (digits >= 0 && digits <= 4) s.CurrencyDecimals = digits;
    const bool precedes = *nl_langinfo_l(P_CS_PRECEDES, loc) == 1;
    const bool space = *nl_langinfo_l(P_SEP_BY_SPACE, loc) != 0;
    s.CurrencyFormat = IndexOf(kPositiveCurrencyForms, CurrencyBody(precedes, space), 0);
    s.NegCurrFormat = IndexOf(kNegativeCurrencyForms,
                              CurrencyForm(*nl_langinfo_l(N_CS_PRECEDES, loc) == 1,
                                           *nl_langinfo_l(N_SEP_BY_SPACE, loc) != 0, *nl_langinfo_l(N_SIGN_POSN, loc)),
                              1);
}

void ReadTime(locale_t loc, FormatSettings& s) {
    std::string dateSeparator;
    std::string date = DatePattern(nl_langinfo_l(D_FMT, loc), dateSeparator);
    std::string timeSeparator;
    TimeFormats time = TimePatterns(nl_langinfo_l(T_FMT, loc), timeSeparator);
    if (!date.empty()) {
        s.ShortDateFormat = date;
        s.DateSeparator = dateSeparator.empty() ? "/" : dateSeparator;
        // glibc describes no long date: the weekday and the month's name around the day.
        s.LongDateFormat = date.find('d') < date.find('m') ? "dddd, d mmmm yyyy" : "dddd, mmmm d, yyyy";
    }
    if (!time.longTime.empty()) {
        s.LongTimeFormat = time.longTime;
        s.ShortTimeFormat = time.shortTime;
        s.TimeSeparator = timeSeparator.empty() ? ":" : timeSeparator;
    }
    s.TimeAMString = nl_langinfo_l(AM_STR, loc);
    s.TimePMString = nl_langinfo_l(PM_STR, loc);
    if (s.TimeAMString.empty()) s.TimeAMString = "AM";
    if (s.TimePMString.empty()) s.TimePMString = "PM";
    for (int m = 0; m < 12; ++m) {
        s.ShortMonthNames[m] = nl_langinfo_l(static_cast<nl_item>(ABMON_1 + m), loc);
        s.LongMonthNames[m] = nl_langinfo_l(static_cast<nl_item>(MON_1 + m), loc);
    }
    for (int d = 0; d < 7; ++d) {
        s.ShortDayNames[d] = nl_langinfo_l(static_cast<nl_item>(ABDAY_1 + d), loc);
        s.LongDayNames[d] = nl_langinfo_l(static_cast<nl_item>(DAY_1 + d), loc);
    }
}

// Where the platform shows a region differently from glibc's description of it.
void ApplyPlatformTime(const std::string& region, FormatSettings& s) {
    if (region != "pt_BR") return;
    s.DateSeparator = "/";
    s.ShortDateFormat = "dd/mm/yyyy";
    s.LongDateFormat = "dddd, d \"de\" mmmm \"de\" yyyy";
    s.LongDayNames = {"domingo",      "segunda-feira", "terça-feira", "quarta-feira",
                      "quinta-feira", "sexta-feira",   "sábado"};
}

// A locale of the platform's own region, whose forms are the invariant settings (glibc's en_US
// writes "mm/dd/yyyy" and "-$1" where the platform writes "m/d/yyyy" and "($1)").
LocaleHandle LoadRegionalLocale(int mask, const std::string& name) {
    if (RegionOf(name) == "en_US") return LocaleHandle(nullptr);
    return LoadLocale(mask, name);
}

FormatSettings FromLocales(const std::string& numericName, const std::string& monetaryName,
                           const std::string& timeName) {
    FormatSettings s = FormatSettings::Invariant();
    if (LocaleHandle loc = LoadLocale(LC_NUMERIC_MASK, numericName)) ReadNumeric(loc.get(), s);
    if (LocaleHandle loc = LoadRegionalLocale(LC_MONETARY_MASK, monetaryName)) ReadMonetary(loc.get(), s);
    if (LocaleHandle loc = LoadRegionalLocale(LC_TIME_MASK, timeName)) {
        ReadTime(loc.get(), s);
        ApplyPlatformTime(RegionOf(timeName), s);
    }
    return s;
}

std::optional<FormatSettings>& CurrentSlot() {
    static std::optional<FormatSettings> current;
    return current;
}

}  // namespace

const FormatSettings& FormatSettings::Invariant() {
    static const FormatSettings invariant;
    return invariant;
}

FormatSettings FormatSettings::FromEnvironment() {
    return FromLocales(LocaleNameFromEnvironment("LC_NUMERIC"), LocaleNameFromEnvironment("LC_MONETARY"),
                       LocaleNameFromEnvironment("LC_TIME"));
}

FormatSettings FormatSettings::FromLocale(const std::string& localeName) {
    return FromLocales(localeName, localeName, localeName);
}

const FormatSettings& FormatSettings::FirstCurrent() {
    auto& slot = CurrentSlot();
    if (!slot) slot = FromEnvironment();
    current_ = &*slot;
    return *slot;
}

void FormatSettings::SetCurrent(FormatSettings settings) {
    auto& slot = CurrentSlot();
    slot = std::move(settings);
    current_ = &*slot;
}

}  // namespace pavana
