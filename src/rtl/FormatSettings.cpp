#include "rtl/FormatSettings.h"

#include <langinfo.h>
#include <locale.h>

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
            while ((d == 'E' || d == 'O' || d == '-' || d == '_' || d == '0') && i + 1 < fmt.size())
                d = fmt[++i];
            switch (d) {
                case 'd': out += "dd"; break;
                case 'e': out += "d"; break;
                case 'm': out += "mm"; break;
                case 'y':
                case 'Y':
                case 'C': out += "yyyy"; break;
                case 'D': out += "mm/dd/yyyy"; if (separator.empty()) separator = "/"; break;
                case 'F': out += "yyyy/mm/dd"; if (separator.empty()) separator = "-"; break;
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
            while ((d == 'E' || d == 'O' || d == '-' || d == '_' || d == '0') && i + 1 < fmt.size())
                d = fmt[++i];
            switch (d) {
                case 'H': longTime += "hh"; break;
                case 'k': longTime += "h"; break;
                case 'I': longTime += "hh"; twelveHour = true; break;
                case 'l': longTime += "h"; twelveHour = true; break;
                case 'M': longTime += "nn"; break;
                case 'S': longTime += "ss"; break;
                case 'T': longTime += "hh:nn:ss"; if (separator.empty()) separator = ":"; break;
                case 'R': longTime += "hh:nn"; if (separator.empty()) separator = ":"; break;
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

bool IsPlainCLocale(const char* name) {
    if (name == nullptr) return true;
    std::string n(name);
    return n.empty() || n == "C" || n == "POSIX" || n.rfind("C.", 0) == 0;
}

std::string LocaleNameFromEnvironment(const char* category) {
    for (const char* var : {"LC_ALL", category, "LANG"}) {
        const char* value = std::getenv(var);
        if (value != nullptr && *value != '\0') return value;
    }
    return "C";
}

FormatSettings FromLocales(const std::string& numericName, const std::string& timeName) {
    FormatSettings s = FormatSettings::Invariant();
    if (!IsPlainCLocale(numericName.c_str())) {
        LocaleHandle loc(newlocale(LC_NUMERIC_MASK, numericName.c_str(), nullptr));
        if (loc) {
            s.DecimalSeparator = nl_langinfo_l(RADIXCHAR, loc.get());
            s.ThousandSeparator = nl_langinfo_l(THOUSEP, loc.get());
            if (s.DecimalSeparator.empty()) s.DecimalSeparator = ".";
        }
    }
    if (!IsPlainCLocale(timeName.c_str())) {
        LocaleHandle loc(newlocale(LC_TIME_MASK, timeName.c_str(), nullptr));
        if (loc) {
            std::string dateSeparator;
            std::string date = DatePattern(nl_langinfo_l(D_FMT, loc.get()), dateSeparator);
            std::string timeSeparator;
            TimeFormats time = TimePatterns(nl_langinfo_l(T_FMT, loc.get()), timeSeparator);
            if (!date.empty()) {
                s.ShortDateFormat = date;
                s.DateSeparator = dateSeparator.empty() ? "/" : dateSeparator;
            }
            if (!time.longTime.empty()) {
                s.LongTimeFormat = time.longTime;
                s.ShortTimeFormat = time.shortTime;
                s.TimeSeparator = timeSeparator.empty() ? ":" : timeSeparator;
            }
            s.TimeAMString = nl_langinfo_l(AM_STR, loc.get());
            s.TimePMString = nl_langinfo_l(PM_STR, loc.get());
            if (s.TimeAMString.empty()) s.TimeAMString = "AM";
            if (s.TimePMString.empty()) s.TimePMString = "PM";
        }
    }
    return s;
}

std::optional<FormatSettings>& CurrentSlot() {
    static std::optional<FormatSettings> current;
    return current;
}

}  // namespace

FormatSettings FormatSettings::Invariant() { return FormatSettings{}; }

FormatSettings FormatSettings::FromEnvironment() {
    return FromLocales(LocaleNameFromEnvironment("LC_NUMERIC"),
                       LocaleNameFromEnvironment("LC_TIME"));
}

FormatSettings FormatSettings::FromLocale(const std::string& localeName) {
    return FromLocales(localeName, localeName);
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
