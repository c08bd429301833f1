#include "ValueText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "rtl/DateTime.h"

namespace pavana::tools {
namespace {

template <typename T>
std::string Shortest(T value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string CurrencyText(Currency value) {
    const bool negative = value.Scaled < 0;
    // Work on the magnitude as unsigned so that the smallest amount does not overflow.
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value.Scaled) : static_cast<std::uint64_t>(value.Scaled);
    std::string text = (negative ? "-" : "") + std::to_string(magnitude / 10000);
    std::string fraction = std::to_string(10000 + magnitude % 10000).substr(1);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (!fraction.empty()) text += "." + fraction;
    return text;
}

// Day numbers of 1 January of year 1 and 31 December 9999.
constexpr double kFirstDay = -693593.0;
constexpr double kLastDay = 2958465.0;

std::string DateText(TDateTime value) {
    if (!std::isfinite(value) || value <= kFirstDay - 1 || value >= kLastDay + 1) return Shortest(value);
    TTimeStamp stamp = DateTimeToTimeStamp(value);
    int seconds = (stamp.Time + 500) / 1000;
    if (seconds == 86400) {
        seconds = 0;
        ++stamp.Date;
    }
    stamp.Time = 0;
    const DateParts date = DecodeDate(TimeStampToDateTime(stamp));
    char buffer[32];
    if (seconds == 0) std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.Year, date.Month, date.Day);
    else
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", date.Year, date.Month, date.Day,
                      seconds / 3600, seconds / 60 % 60, seconds % 60);
    return buffer;
}

std::string BytesText(const std::vector<std::uint8_t>& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (std::uint8_t b : bytes) {
        text += kHex[b >> 4];
        text += kHex[b & 0xF];
    }
    return text;
}

}  // namespace

std::string EscapedText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\\': out += "\\\\"; break;
            default: out += c; break;
        }
    }
    return out;
}

std::string ValueText(const Variant& value) {
    switch (value.VarType()) {
        case varEmpty:
        case varNull: return "NULL";
        case varBoolean: return value.ToBoolean() ? "-1" : "0";
        case varSmallint:
        case varInteger:
        case varShortInt:
        case varByte:
        case varWord:
        case varLongWord:
        case varInt64: return std::to_string(value.ToInt64());
        case varSingle: return Shortest(static_cast<float>(value.ToDouble()));
        case varDouble: return Shortest(value.ToDouble());
        case varCurrency: return CurrencyText(value.ToCurrency());
        case varDate: return DateText(value.ToDouble());
        default: break;
    }
    if (value.IsByteArray()) return BytesText(value.Bytes());
    return EscapedText(value.ToString(FormatSettings::Invariant()));
}

}  // namespace pavana::tools
