// The automation variant: one value of one of the automation types.
//
// A `Variant` holds its type code (`VarType()`, the platform's numbers below) and a value
// of that type. Empty and Null are different values. Text is UTF-8 in both text types:
// varOleStr is the engine's (wide) string and varString the framework's 8-bit string;
// `AsWideString` gives the UTF-16 form where a wide string is needed. Currency is a
// 64-bit integer scaled by 10 000. A byte array (varArray | varByte) is one-dimensional
// with lower bound 0. The codes varDispatch, varUnknown and varVariant are named for
// completeness; no value of those types is ever built.
//
// Conversions follow the platform: `ToString` is its variant-to-text conversion with the
// format settings (Null and Empty give ""), `ToInteger`/`ToDouble`/... convert or raise
// `EVariantError` ("Could not convert variant of type (%s) into type (%s)"); conversion
// from text uses the format settings. Variants are values: copying copies the value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "rtl/DateTime.h"
#include "rtl/Exceptions.h"
#include "rtl/FormatSettings.h"

namespace pavana {

enum VarTypeCode : std::uint16_t {
    varEmpty = 0x0000,
    varNull = 0x0001,
    varSmallint = 0x0002,
    varInteger = 0x0003,
    varSingle = 0x0004,
    varDouble = 0x0005,
    varCurrency = 0x0006,
    varDate = 0x0007,
    varOleStr = 0x0008,
    varDispatch = 0x0009,
    varError = 0x000A,
    varBoolean = 0x000B,
    varVariant = 0x000C,
    varUnknown = 0x000D,
    varShortInt = 0x0010,
    varByte = 0x0011,
    varWord = 0x0012,
    varLongWord = 0x0013,
    varInt64 = 0x0014,
    varString = 0x0100,
    varArray = 0x2000,
};

// A variant could not be converted to the type asked for.
class EVariantError : public EConvertError {
public:
    using EConvertError::EConvertError;
};

// A currency amount: the value × 10 000 as a 64-bit integer.
struct Currency {
    std::int64_t Scaled = 0;
    // `value` rounded to 4 decimals, half away from zero; raises EVariantError beyond the
    // currency range.
    static Currency FromDouble(double value);
    // The same, or nothing beyond the range.
    static std::optional<Currency> TryFromDouble(double value);
    // `value` × 10 000, before rounding: computed in double, as the platform's conversion does,
    // while that holds every digit, and in extended precision beyond (where a double product
    // would move 922337203685477 to 922337203685476.9664).
    static long double ScaledValue(double value);
    // The double nearest the amount (every amount of 15 digits or fewer reads back exactly).
    double ToDouble() const { return static_cast<double>(static_cast<long double>(Scaled) / 10000.0L); }
    bool operator==(const Currency&) const = default;
};

// The error code of an omitted optional argument (DISP_E_PARAMNOTFOUND).
inline constexpr std::int32_t kParamNotFound = static_cast<std::int32_t>(0x80020004u);

class Variant {
public:
    Variant() = default;  // Empty
    Variant(bool v) : type_(varBoolean), value_(v) {}
    Variant(std::int8_t v) : type_(varShortInt), value_(std::int64_t{v}) {}
    Variant(std::uint8_t v) : type_(varByte), value_(std::int64_t{v}) {}
    Variant(std::int16_t v) : type_(varSmallint), value_(std::int64_t{v}) {}
    Variant(std::uint16_t v) : type_(varWord), value_(std::int64_t{v}) {}
    Variant(std::int32_t v) : type_(varInteger), value_(std::int64_t{v}) {}
    Variant(std::uint32_t v) : type_(varLongWord), value_(std::int64_t{v}) {}
    Variant(std::int64_t v) : type_(varInt64), value_(v) {}
    Variant(float v) : type_(varSingle), value_(double{v}) {}
    Variant(double v) : type_(varDouble), value_(v) {}
    Variant(Currency v) : type_(varCurrency), value_(v) {}
    Variant(const char* v) : type_(varOleStr), value_(std::string(v)) {}
    Variant(std::string v) : type_(varOleStr), value_(std::move(v)) {}
    Variant(std::string_view v) : type_(varOleStr), value_(std::string(v)) {}
    Variant(std::vector<std::uint8_t> bytes) : type_(varArray | varByte), value_(std::move(bytes)) {}

    static Variant Null();
    static Variant FromDate(TDateTime value);
    static Variant FromAnsiString(std::string text);  // varString
    static Variant FromError(std::int32_t code);      // varError
    static Variant Missing() { return FromError(kParamNotFound); }

    std::uint16_t VarType() const { return type_; }
    bool IsEmpty() const { return type_ == varEmpty; }
    bool IsNull() const { return type_ == varNull; }
    bool IsText() const { return type_ == varOleStr || type_ == varString; }
    bool IsByteArray() const { return type_ == (varArray | varByte); }
    // An optional argument left out: varError with DISP_E_PARAMNOTFOUND.
    bool IsMissing() const;
    // Empty, Null or missing: no value given.
    bool IsAbsent() const { return IsEmpty() || IsNull() || IsMissing(); }

    // Conversions; each raises EVariantError when the value has no such form.
    // Empty converts to 0, "" and false; Null raises except in ToString.
    std::string ToString(const FormatSettings& settings = FormatSettings::Current()) const;
    std::u16string AsWideString(const FormatSettings& settings = FormatSettings::Current()) const;
    std::int32_t ToInteger(const FormatSettings& settings = FormatSettings::Current()) const;
    std::int64_t ToInt64(const FormatSettings& settings = FormatSettings::Current()) const;
    double ToDouble(const FormatSettings& settings = FormatSettings::Current()) const;
    Currency ToCurrency(const FormatSettings& settings = FormatSettings::Current()) const;
    bool ToBoolean(const FormatSettings& settings = FormatSettings::Current()) const;
    TDateTime ToDateTime(const FormatSettings& settings = FormatSettings::Current()) const;
    std::int32_t ErrorCode() const;                  // varError only
    const std::vector<std::uint8_t>& Bytes() const;  // byte arrays only
    const std::string& Text() const;                 // texts only
    // The bytes of a byte array, or the characters of a text, in place: for code that fills
    // a large value without copying it. Raise EVariantError for values of other types.
    std::vector<std::uint8_t>& MutableBytes();
    std::string& MutableText();

    // A new variant of type `type` holding this value converted (varOleStr from a number is
    // its text; varDate from text is read with the settings; ...).
    Variant ConvertTo(std::uint16_t type, const FormatSettings& settings = FormatSettings::Current()) const;

    // Same type and same value (a byte array: same bytes). Null equals Null.
    bool operator==(const Variant& other) const;

    // The platform's name of a type code ("Integer", "OleStr", "Array Byte", ...).
    static std::string TypeName(std::uint16_t type);

private:
    using Storage =
        std::variant<std::monostate, std::int64_t, double, bool, Currency, std::string, std::vector<std::uint8_t>>;
    Variant(std::uint16_t type, Storage value) : type_(type), value_(std::move(value)) {}
    [[noreturn]] void CannotConvert(std::uint16_t to) const;

    std::uint16_t type_ = varEmpty;
    Storage value_;
};

// Whole-text conversions with the format settings, shared by the variant and the engine.
// The Try forms return false and leave `out` alone when the text is not a number.
bool TryStrToFloat(std::string_view text, double& out, const FormatSettings& settings = FormatSettings::Current());
bool TryStrToInt64(std::string_view text, std::int64_t& out);
// The platform's FloatToStr: up to 15 significant digits, the settings' decimal separator,
// exponent form ("1E20", "1E-5") when fixed notation would need more digits.
std::string FloatToStr(double value, const FormatSettings& settings = FormatSettings::Current());
// The platform's CurrToStr: up to 4 decimals, trailing zeros dropped.
std::string CurrToStr(Currency value, const FormatSettings& settings = FormatSettings::Current());

}  // namespace pavana
