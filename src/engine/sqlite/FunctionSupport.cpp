#include "engine/sqlite/FunctionSupport.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

#include "engine/dialect/JetDate.h"
#include "rtl/Encoding.h"
#include "rtl/Exceptions.h"

namespace pavana::engine::sqlite::support {

using namespace dialect;
namespace {

struct Registered {
    Body body;
    std::shared_ptr<void> data;
};

void Trampoline(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto* registered = static_cast<Registered*>(sqlite3_user_data(ctx));
    try {
        registered->body(ctx, argc, argv);
    } catch (const FunctionError& e) {
        sqlite3_result_error(ctx, e.message, -1);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    }
}

void FreeRegistered(void* p) { delete static_cast<Registered*>(p); }

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

bool IsNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

std::optional<double> ParseRadix(std::string_view s, std::size_t& used) {
    if (s.size() < 3 || s[0] != '&') return std::nullopt;
    const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(s[1])));
    if (kind != 'H' && kind != 'O') return std::nullopt;
    const int base = kind == 'H' ? 16 : 8;
    std::uint64_t value = 0;
    std::size_t i = 2;
    for (; i < s.size() && i < 18; ++i) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
        if (digit >= base) break;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    }
    if (i == 2) return std::nullopt;
    used = i;
    std::int64_t result = static_cast<std::int64_t>(value);
    if (value <= 0xFFFF && (base == 16 ? i - 2 <= 4 : value <= 0177777)) result = static_cast<std::int16_t>(value);
    else if (value <= 0xFFFFFFFFu) result = static_cast<std::int32_t>(value);
    return static_cast<double>(result);
}

namespace {

bool IsDigitAt(std::string_view s, std::size_t i) {
    return i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]));
}

}  // namespace

std::optional<double> ParseNumber(std::string_view text, const FormatSettings& settings) {
    std::size_t b = 0, e = text.size();
    while (b < e && IsSpace(text[b])) ++b;
    while (e > b && IsSpace(text[e - 1])) --e;
    if (b == e) return std::nullopt;
    std::size_t used = 0;
    if (auto radix = ParseRadix(text.substr(b, e - b), used); radix && used == e - b) return radix;
    const std::string_view s = text.substr(b, e - b);
    const std::string& point = settings.DecimalSeparator;
    const std::string& thousands = settings.ThousandSeparator;
    // Thousands separators are accepted between digits, as CDbl("1,234.5") reads them; the
    // decimal separator becomes the '.' that from_chars reads.
    std::string clean;
    clean.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        if (!thousands.empty() && i > 0 && s.compare(i, thousands.size(), thousands) == 0 && IsDigitAt(s, i - 1) &&
            IsDigitAt(s, i + thousands.size())) {
            i += thousands.size();
        } else if (!point.empty() && s.compare(i, point.size(), point) == 0) {
            clean += '.';
            i += point.size();
        } else {
            const char c = s[i++];
            if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == 'e' || c == 'E'))
                return std::nullopt;
            clean += c;
        }
    }
    const char* first = clean.data();
    const char* last = first + clean.size();
    if (first != last && *first == '+' && last - first > 1 && first[1] != '-') ++first;
    double value = 0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last) return std::nullopt;
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

double ToNumber(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER: return static_cast<double>(sqlite3_value_int64(v));
        case SQLITE_FLOAT: return sqlite3_value_double(v);
        case SQLITE_NULL: throw FunctionError{kInvalidNull};
        default: {
            const char* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
            std::string_view text(t ? t : "");
            if (auto n = ParseNumber(text)) return *n;
            if (auto d = ParseDateText(text, Settings())) return *d;
            for (const char* word : {"TRUE", "FALSE"}) {
                std::string upper;
                for (char c : text) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                if (upper == word) return word[0] == 'T' ? -1 : 0;
            }
            throw FunctionError{kTypeMismatch};
        }
    }
}

namespace {

// `digits` (as to_chars writes them) with the trailing zeros of the fraction dropped and the
// decimal point written as `point`.
std::string LocalDecimal(std::string_view digits, const std::string& point) {
    const std::size_t dot = digits.find('.');
    if (dot == std::string_view::npos) return std::string(digits);
    std::size_t end = digits.size();
    while (end > dot + 1 && digits[end - 1] == '0') --end;
    std::string out(digits.substr(0, dot));
    if (end > dot + 1) out.append(point).append(digits.substr(dot + 1, end - dot - 1));
    return out;
}

}  // namespace

std::string NumberText(double value, const FormatSettings& settings) {
    if (!std::isfinite(value)) throw FunctionError{kOverflow};
    if (value == 0) return "0";
    if (std::nearbyint(value) == value && std::fabs(value) < 1e15) {
        return std::to_string(static_cast<std::int64_t>(value));
    }
    char buffer[64];
    const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    if (exponent >= 15 || exponent < -5) {
        const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
        const std::string_view s(buffer, static_cast<std::size_t>(written.ptr - buffer));
        const std::size_t epos = s.find('e');
        std::string_view digits = s.substr(epos + 2);
        while (digits.size() > 2 && digits[0] == '0') digits.remove_prefix(1);
        return LocalDecimal(s.substr(0, epos), settings.DecimalSeparator) + "E" + s[epos + 1] + std::string(digits);
    }
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, std::max(0, 14 - exponent));
    return LocalDecimal(std::string_view(buffer, static_cast<std::size_t>(written.ptr - buffer)),
                        settings.DecimalSeparator);
}

std::string ToText(sqlite3_value* v, const FormatSettings& settings) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER: return std::to_string(sqlite3_value_int64(v));
        case SQLITE_FLOAT: return NumberText(sqlite3_value_double(v), settings);
        case SQLITE_NULL: return "";
        default: {
            const char* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
            return std::string(t ? t : "", static_cast<std::size_t>(sqlite3_value_bytes(v)));
        }
    }
}

double RoundHalfEven(double value) { return std::nearbyint(value); }

std::int64_t ToInteger(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_INTEGER) return sqlite3_value_int64(v);
    double rounded = RoundHalfEven(ToNumber(v));
    if (!(rounded >= -9.2e18 && rounded <= 9.2e18)) throw FunctionError{kOverflow};
    return static_cast<std::int64_t>(rounded);
}

double ToDate(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_TEXT) {
        const char* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
        std::string_view text(t ? t : "");
        if (auto d = ParseDateText(text, Settings())) return *d;
        if (auto n = ParseNumber(text)) return *n;
        throw FunctionError{kTypeMismatch};
    }
    const double d = ToNumber(v);
    // Out of the engine's date range (also infinities) a value is no date.
    if (!InDateRange(d)) throw FunctionError{kOverflow};
    return d;
}

int FirstDayArgument(int argc, sqlite3_value** argv, int index) {
    if (argc <= index || IsNull(argv[index])) return 1;
    const std::int64_t v = ToInteger(argv[index]);
    if (v < 0 || v > 7) throw FunctionError{kInvalidCall};
    return v == 0 ? 1 : static_cast<int>(v);
}

int FirstWeekArgument(int argc, sqlite3_value** argv, int index) {
    if (argc <= index || IsNull(argv[index])) return 1;
    const std::int64_t v = ToInteger(argv[index]);
    if (v < 0 || v > 3) throw FunctionError{kInvalidCall};
    return v == 0 ? 1 : static_cast<int>(v);
}

double DateToLinear(double date) {
    if (date >= 0) return date;
    const double whole = std::trunc(date);
    return whole + (whole - date);
}

double LinearToDate(double linear) {
    if (linear >= 0) return linear;
    const double whole = std::floor(linear);
    return whole - (linear - whole);
}

std::u32string Decode(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t extra = c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : 0;
        bool ok = extra > 0 && i + extra < text.size();
        char32_t cp = c & (0x3F >> extra);
        for (std::size_t k = 1; ok && k <= extra; ++k) {
            const unsigned char d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80) ok = false;
            else cp = (cp << 6) | (d & 0x3F);
        }
        if (!ok) {
            out.push_back(c);
            ++i;
        } else {
            out.push_back(cp);
            i += extra + 1;
        }
    }
    return out;
}

std::string Encode(std::u32string_view text) { return Utf32ToUtf8(text); }

char32_t FoldCase(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
        // Latin Extended-A pairs: upper case even below U+0138, odd above it.
        const bool lowFirst = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (lowFirst) return (c % 2 == 1) ? c + 1 : c;
        return (c % 2 == 0) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    return c;
}

char32_t UpperCase(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
        const bool lowFirst = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (lowFirst) return (c % 2 == 0) ? c - 1 : c;
        return (c % 2 == 1) ? c - 1 : c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;
    if (c >= 0x430 && c <= 0x44F) return c - 32;
    return c;
}

void ResultNumber(sqlite3_context* ctx, double value) {
    if (std::nearbyint(value) == value && std::fabs(value) < 9e15)
        sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(value));
    else sqlite3_result_double(ctx, value);
}

void ResultText(sqlite3_context* ctx, const std::string& text) {
    sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void Define(sqlite3* db, const char* name, int argc, Body body, bool deterministic, std::shared_ptr<void> data) {
    auto registered = std::make_unique<Registered>(Registered{body, std::move(data)});
    const int flags = SQLITE_UTF8 | (deterministic ? SQLITE_DETERMINISTIC : 0);
    const int rc = sqlite3_create_function_v2(db, name, argc, flags, registered.get(), Trampoline, nullptr, nullptr,
                                              FreeRegistered);
    // On failure SQLite has already called the destructor.
    registered.release();
    if (rc != SQLITE_OK) throw Exception(std::string("Cannot register function ") + name + ": " + sqlite3_errmsg(db));
}

void* UserData(sqlite3_context* ctx) { return static_cast<Registered*>(sqlite3_user_data(ctx))->data.get(); }

}  // namespace pavana::engine::sqlite::support
