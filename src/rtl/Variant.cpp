#include "rtl/Variant.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "rtl/Strings.h"

namespace pavana {
namespace {

std::string_view TrimView(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The platform's Round: to the nearest integer, halves to the even one.
double RoundHalfEven(double v) { return std::nearbyint(v); }

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        char32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
        }
        if (len > 1) {
            bool ok = i + len <= s.size();
            char32_t v = c & (0x7F >> len);
            for (std::size_t k = 1; ok && k < len; ++k) {
                auto cc = static_cast<unsigned char>(s[i + k]);
                if ((cc & 0xC0) != 0x80) ok = false;
                v = (v << 6) | (cc & 0x3F);
            }
            static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
            if (ok && v >= kMin[len] && v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF)) {
                cp = v;
            } else {
                len = 1;
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += len;
    }
    return out;
}

std::string FormatGeneral(double value, int precision, const FormatSettings& settings) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (value == 0) return "0";
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, precision);
    std::string raw(buf, r.ptr);
    std::string out;
    std::size_t e = raw.find('e');
    std::string mantissa = raw.substr(0, e);
    for (char c : mantissa) {
        if (c == '.') out += settings.DecimalSeparator;
        else out += c;
    }
    if (e != std::string::npos) {
        out += 'E';
        std::string exponent = raw.substr(e + 1);
        bool negative = !exponent.empty() && exponent[0] == '-';
        std::size_t start = exponent.find_first_not_of("+-0");
        if (negative) out += '-';
        out += start == std::string::npos ? "0" : exponent.substr(start);
    }
    return out;
}

}  // namespace

long double Currency::ScaledValue(double value) {
    const double product = value * 10000.0;
    if (std::fabs(product) < 9007199254740992.0) return product;
    // A double times 10 000 needs at most 63 significant bits: the long double product is exact.
    return static_cast<long double>(value) * 10000.0L;
}

std::optional<Currency> Currency::TryFromDouble(double value) {
    const long double scaled = std::round(ScaledValue(value));
    if (!(scaled >= -9223372036854775808.0L && scaled <= 9223372036854775807.0L)) return std::nullopt;
    return Currency{static_cast<std::int64_t>(scaled)};
}

Currency Currency::FromDouble(double value) {
    if (auto amount = TryFromDouble(value)) return *amount;
    throw EVariantError("Arithmetic overflow");
}

bool TryStrToFloat(std::string_view text, double& out, const FormatSettings& settings) {
    text = TrimView(text);
    std::string plain;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') plain += '-';
        ++i;
    }
    bool digits = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        plain += text[i++];
        digits = true;
    }
    const std::string& sep = settings.DecimalSeparator.empty() ? std::string(".") : settings.DecimalSeparator;
    if (text.substr(i, sep.size()) == sep) {
        i += sep.size();
        plain += '.';
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            plain += text[i++];
            digits = true;
        }
    }
    if (!digits) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain += text[i++];
        bool expDigits = false;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            plain += text[i++];
            expDigits = true;
        }
        if (!expDigits) return false;
    }
    if (i != text.size()) return false;
    double v = 0;
    auto r = std::from_chars(plain.data(), plain.data() + plain.size(), v);
    if (r.ec != std::errc() || r.ptr != plain.data() + plain.size()) return false;
    out = v;
    return true;
}

bool TryStrToInt64(std::string_view text, std::int64_t& out) {
    text = TrimView(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    std::int64_t v = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size()) return false;
    out = v;
    return true;
}

std::string FloatToStr(double value, const FormatSettings& settings) { return FormatGeneral(value, 15, settings); }

std::string CurrToStr(Currency value, const FormatSettings& settings) {
    std::int64_t scaled = value.Scaled;
    bool negative = scaled < 0;
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    std::string out = (negative ? "-" : "") + std::to_string(magnitude / 10000);
    std::string fraction = std::to_string(magnitude % 10000);
    fraction.insert(0, 4 - fraction.size(), '0');
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (!fraction.empty()) out += settings.DecimalSeparator + fraction;
    return out;
}

Variant Variant::Null() { return Variant(varNull, std::monostate{}); }
Variant Variant::FromDate(TDateTime value) { return Variant(varDate, value); }
Variant Variant::FromAnsiString(std::string text) { return Variant(varString, std::move(text)); }
Variant Variant::FromError(std::int32_t code) { return Variant(varError, std::int64_t{code}); }

bool Variant::IsMissing() const { return type_ == varError && std::get<std::int64_t>(value_) == kParamNotFound; }

std::string Variant::TypeName(std::uint16_t type) {
    if (type & varArray) return "Array " + TypeName(static_cast<std::uint16_t>(type & ~varArray));
    switch (type) {
        case varEmpty: return "Empty";
        case varNull: return "Null";
        case varSmallint: return "Smallint";
        case varInteger: return "Integer";
        case varSingle: return "Single";
        case varDouble: return "Double";
        case varCurrency: return "Currency";
        case varDate: return "Date";
        case varOleStr: return "OleStr";
        case varDispatch: return "Dispatch";
        case varError: return "Error";
        case varBoolean: return "Boolean";
        case varVariant: return "Variant";
        case varUnknown: return "Unknown";
        case varShortInt: return "ShortInt";
        case varByte: return "Byte";
        case varWord: return "Word";
        case varLongWord: return "LongWord";
        case varInt64: return "Int64";
        case varString: return "String";
        default: return "Unknown";
    }
}

void Variant::CannotConvert(std::uint16_t to) const {
    throw EVariantError("Could not convert variant of type (" + TypeName(type_) + ") into type (" + TypeName(to) + ")");
}

std::string Variant::ToString(const FormatSettings& settings) const {
    switch (type_) {
        case varEmpty:
        case varNull: return {};
        case varSmallint:
        case varInteger:
        case varShortInt:
        case varByte:
        case varWord:
        case varLongWord:
        case varInt64: return std::to_string(std::get<std::int64_t>(value_));
        case varSingle: return FormatGeneral(std::get<double>(value_), 7, settings);
        case varDouble: return FloatToStr(std::get<double>(value_), settings);
        case varCurrency: return CurrToStr(std::get<Currency>(value_), settings);
        case varDate: return DateTimeToStr(std::get<double>(value_), settings);
        case varBoolean: return std::get<bool>(value_) ? "True" : "False";
        case varOleStr:
        case varString: return std::get<std::string>(value_);
        default: CannotConvert(varOleStr);
    }
}

std::u16string Variant::AsWideString(const FormatSettings& settings) const { return Utf8ToUtf16(ToString(settings)); }

double Variant::ToDouble(const FormatSettings& settings) const {
    switch (type_) {
        case varEmpty: return 0;
        case varSmallint:
        case varInteger:
        case varShortInt:
        case varByte:
        case varWord:
        case varLongWord:
        case varInt64: return static_cast<double>(std::get<std::int64_t>(value_));
        case varSingle:
        case varDouble:
        case varDate: return std::get<double>(value_);
        case varCurrency: return std::get<Currency>(value_).ToDouble();
        case varBoolean: return std::get<bool>(value_) ? -1 : 0;
        case varOleStr:
        case varString: {
            double v = 0;
            if (TryStrToFloat(std::get<std::string>(value_), v, settings)) return v;
            break;
        }
        default: break;
    }
    CannotConvert(varDouble);
}

std::int64_t Variant::ToInt64(const FormatSettings& settings) const {
    switch (type_) {
        case varEmpty: return 0;
        case varSmallint:
        case varInteger:
        case varShortInt:
        case varByte:
        case varWord:
        case varLongWord:
        case varInt64: return std::get<std::int64_t>(value_);
        case varBoolean: return std::get<bool>(value_) ? -1 : 0;
        case varCurrency: {
            // Currency rounds half to even on the scaled integer, like the platform.
            std::int64_t s = std::get<Currency>(value_).Scaled;
            std::int64_t q = s / 10000, r = s % 10000;
            if (r > 5000 || (r == 5000 && (q & 1))) ++q;
            if (r < -5000 || (r == -5000 && (q & 1))) --q;
            return q;
        }
        case varOleStr:
        case varString: {
            std::int64_t i = 0;
            if (TryStrToInt64(std::get<std::string>(value_), i)) return i;
            break;
        }
        default: break;
    }
    double d = ToDouble(settings);
    double r = RoundHalfEven(d);
    if (!(r >= -9.2233720368547758e18 && r < 9.2233720368547758e18))
        throw EVariantError("Overflow while converting variant of type (" + TypeName(type_) + ") into type (Int64)");
    return static_cast<std::int64_t>(r);
}

std::int32_t Variant::ToInteger(const FormatSettings& settings) const {
    std::int64_t v = 0;
    if (type_ == varNull || type_ == varError || IsByteArray()) CannotConvert(varInteger);
    v = ToInt64(settings);
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        throw EVariantError("Overflow while converting variant of type (" + TypeName(type_) + ") into type (Integer)");
    return static_cast<std::int32_t>(v);
}

Currency Variant::ToCurrency(const FormatSettings& settings) const {
    if (type_ == varCurrency) return std::get<Currency>(value_);
    if (type_ == varInt64) return Currency{std::get<std::int64_t>(value_) * 10000};
    if (type_ == varNull || type_ == varError || IsByteArray()) CannotConvert(varCurrency);
    return Currency::FromDouble(ToDouble(settings));
}

bool Variant::ToBoolean(const FormatSettings& settings) const {
    switch (type_) {
        case varEmpty: return false;
        case varBoolean: return std::get<bool>(value_);
        case varOleStr:
        case varString: {
            const std::string& s = std::get<std::string>(value_);
            std::string_view t = TrimView(s);
            if (SameAsciiText(t, "True")) return true;
            if (SameAsciiText(t, "False")) return false;
            double d = 0;
            if (TryStrToFloat(t, d, settings)) return d != 0;
            break;
        }
        case varNull:
        case varError: break;
        default:
            if (IsByteArray()) break;
            return ToDouble(settings) != 0;
    }
    CannotConvert(varBoolean);
}

TDateTime Variant::ToDateTime(const FormatSettings& settings) const {
    if (IsText()) {
        if (auto d = TryStrToDateTime(std::get<std::string>(value_), settings)) return *d;
        CannotConvert(varDate);
    }
    if (type_ == varNull || type_ == varError || IsByteArray()) CannotConvert(varDate);
    return ToDouble(settings);
}

std::int32_t Variant::ErrorCode() const {
    if (type_ != varError) CannotConvert(varError);
    return static_cast<std::int32_t>(std::get<std::int64_t>(value_));
}

const std::vector<std::uint8_t>& Variant::Bytes() const {
    if (!IsByteArray()) CannotConvert(varArray | varByte);
    return std::get<std::vector<std::uint8_t>>(value_);
}

const std::string& Variant::Text() const {
    if (!IsText()) CannotConvert(varOleStr);
    return std::get<std::string>(value_);
}

std::vector<std::uint8_t>& Variant::MutableBytes() {
    if (!IsByteArray()) CannotConvert(varArray | varByte);
    return std::get<std::vector<std::uint8_t>>(value_);
}

std::string& Variant::MutableText() {
    if (!IsText()) CannotConvert(varOleStr);
    return std::get<std::string>(value_);
}

Variant Variant::ConvertTo(std::uint16_t type, const FormatSettings& settings) const {
    if (type == type_) return *this;
    if (type == varEmpty) return Variant();
    if (type == varNull) return Null();
    if (type_ == varNull) CannotConvert(type);
    auto ranged = [&](std::int64_t lo, std::int64_t hi) {
        std::int64_t v = ToInt64(settings);
        if (v < lo || v > hi)
            throw EVariantError("Overflow while converting variant of type (" + TypeName(type_) + ") into type (" +
                                TypeName(type) + ")");
        return v;
    };
    switch (type) {
        case varSmallint: return Variant(type, ranged(-32768, 32767));
        case varInteger: return Variant(type, ranged(INT32_MIN, INT32_MAX));
        case varShortInt: return Variant(type, ranged(-128, 127));
        case varByte: return Variant(type, ranged(0, 255));
        case varWord: return Variant(type, ranged(0, 65535));
        case varLongWord: return Variant(type, ranged(0, UINT32_MAX));
        case varInt64: return Variant(type, ToInt64(settings));
        case varSingle: {
            double d = ToDouble(settings);
            if (std::fabs(d) > std::numeric_limits<float>::max() && std::isfinite(d))
                throw EVariantError("Overflow while converting variant of type (" + TypeName(type_) +
                                    ") into type (Single)");
            return Variant(static_cast<float>(d));
        }
        case varDouble: return Variant(type, ToDouble(settings));
        case varCurrency: return Variant(ToCurrency(settings));
        case varDate: return FromDate(ToDateTime(settings));
        case varBoolean: return Variant(ToBoolean(settings));
        case varOleStr: return Variant(type, ToString(settings));
        case varString: return Variant(type, ToString(settings));
        default: CannotConvert(type);
    }
}

bool Variant::operator==(const Variant& other) const { return type_ == other.type_ && value_ == other.value_; }

}  // namespace pavana
