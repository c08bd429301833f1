#include "dao/DAOFields.h"

#include <cmath>
#include <cstring>

#include "db/Field.h"
#include "engine/Constants.h"
#include "rtl/Encoding.h"
#include "rtl/Exceptions.h"
#include "rtl/Format.h"

namespace pavana {

namespace {

// Copies up to `count` bytes of `value` into the slot: a narrow slot takes only what fits.
template <class T>
void Put(const SlotData& data, T value) {
    std::memcpy(data.Bytes, &value, std::min(sizeof value, data.Size));
}

template <class T>
T Get(const SlotData& data) {
    T value{};
    std::memcpy(&value, data.Bytes, std::min(sizeof value, data.Size));
    return value;
}

// A text zero-terminated into the slot: at most 8192 characters, cut to the slot's room at a
// character boundary.
void PutText(const SlotData& data, std::string_view text) {
    if (data.Size == 0) return;
    // A text that fits whole needs no cutting: it has no more characters than bytes.
    if (text.size() < data.Size && text.size() <= 8192) {
        std::memcpy(data.Bytes, text.data(), text.size());
        data.Bytes[text.size()] = 0;
        return;
    }
    std::string_view cut = text;
    std::size_t characters = 0, at = 0;
    while (at < cut.size() && characters < 8192) {
        const auto lead = static_cast<unsigned char>(cut[at]);
        at += lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        ++characters;
    }
    cut = Utf8Prefix(cut.substr(0, std::min(at, cut.size())), data.Size - 1);
    std::memcpy(data.Bytes, cut.data(), cut.size());
    data.Bytes[cut.size()] = 0;
}

std::string GetText(const SlotData& data) {
    const auto* begin = reinterpret_cast<const char*>(data.Bytes);
    return std::string(begin, ::strnlen(begin, data.Size));
}

// Digits only, at least one; nothing otherwise.
std::optional<int> Number(std::string_view text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::int64_t IntegerOrZero(std::string_view text, std::int64_t low, std::int64_t high) {
    std::int64_t value = 0;
    if (!TryStrToInt64(text, value) || value < low || value > high) return 0;
    return value;
}

// The automation type a slot of `type` is filled from as the value comes, or varEmpty for a
// type without a natural one. The engine gives a field's values in its own type, except where
// its storage holds a value of another kind (a column another program wrote, an expression
// whose rows differ in kind).
std::uint16_t SlotVarType(TFieldType type) {
    switch (type) {
        case ftString: return varOleStr;
        case ftSmallint: return varSmallint;
        case ftInteger:
        case ftAutoInc: return varInteger;
        case ftWord: return varWord;
        case ftBoolean: return varBoolean;
        case ftFloat:
        case ftCurrency:
        case ftBCD: return varDouble;
        case ftDate:
        case ftTime:
        case ftDateTime: return varDate;
        case ftLargeint: return varInt64;
        default: return varEmpty;
    }
}

bool FitsSlotAsItIs(std::uint16_t varType, TFieldType type) {
    switch (type) {
        case ftString: return varType == varOleStr || varType == varString;
        case ftSmallint: return varType == varSmallint || varType == varShortInt || varType == varByte;
        case ftWord: return varType == varWord || varType == varByte;
        case ftFloat:
        case ftCurrency:
        case ftBCD: return varType == varDouble || varType == varSingle || varType == varCurrency;
        default: return varType == SlotVarType(type);
    }
}

// A value of another kind than the slot's, converted by value (a 16-bit -3 into a 32-bit slot
// stays -3, a whole number into a double slot becomes that double); Empty when it cannot be
// held, so that the slot stays as it was rather than taking bytes of another format.
Variant ConvertedForSlot(const Variant& value, TFieldType type) {
    try {
        return value.ConvertTo(SlotVarType(type));
    } catch (const Exception&) {
        return Variant();
    }
}

bool NeedsConversion(const Variant& value, TFieldType type) {
    return !FitsSlotAsItIs(value.VarType(), type) && SlotVarType(type) != varEmpty;
}

// Stores a value already of the slot's own kind (or Empty, which stores nothing).
void PutInSlotFormat(const Variant& value, const SlotData& data, TFieldType type) {
    switch (value.VarType()) {
        case varSmallint: Put(data, static_cast<std::int16_t>(value.ToInteger())); break;
        case varInteger: Put(data, value.ToInteger()); break;
        case varSingle:
        case varDouble: Put(data, value.ToDouble()); break;
        case varCurrency: Put(data, static_cast<double>(value.ToCurrency().Scaled) / 10000.0); break;
        case varDate: {
            // A date as it comes is its day number.
            const TTimeStamp stamp = DateTimeToTimeStamp(value.ToDouble());
            if (type == ftDate) Put(data, stamp.Date);
            else if (type == ftTime) Put(data, stamp.Time);
            else Put(data, TimeStampToMSecs(stamp));
            break;
        }
        case varOleStr:
        case varString: PutText(data, value.Text()); break;
        case varBoolean: Put<std::int16_t>(data, value.ToBoolean() ? -1 : 0); break;
        // A signed byte keeps its sign: −1 is −1 in the 16-bit slot, not 255.
        case varShortInt: Put(data, static_cast<std::int16_t>(value.ToInteger())); break;
        case varByte: Put(data, static_cast<std::uint16_t>(value.ToInteger())); break;
        case varWord: Put(data, static_cast<std::uint16_t>(value.ToInteger())); break;
        case varLongWord: Put(data, static_cast<std::uint32_t>(value.ToInt64())); break;
        case varInt64: Put(data, value.ToInt64()); break;
        default: break;
    }
}

}  // namespace

TDAOFieldDesc& TDAOFieldDescs::Add(std::int32_t daoType, std::int32_t size, std::int32_t offset,
                                   std::int32_t attributes, std::string defaultValue, std::int32_t dataSize) {
    items_.push_back(
        std::make_unique<TDAOFieldDesc>(*this, daoType, size, offset, attributes, std::move(defaultValue), dataSize));
    return *items_.back();
}

void TDAOFieldDescs::Clear() {
    while (!items_.empty()) items_.pop_back();
}

void TDAOFieldDescs::OutOfBounds(int index) { throw EListError(Format("List index out of bounds (%d)", {index})); }

TFieldType DAOTypeToFieldType(std::int32_t daoType) {
    using namespace engine;
    switch (daoType) {
        case dbBoolean: return ftBoolean;
        case dbByte:
        case dbInteger: return ftSmallint;
        case dbLong: return ftInteger;
        case dbCurrency: return ftCurrency;
        case dbSingle:
        case dbDouble:
        case dbNumeric:
        case dbDecimal:
        case dbFloat: return ftFloat;
        case dbDate: return ftDateTime;
        case dbText: return ftString;
        case dbLongBinary: return ftBlob;
        case dbMemo: return ftMemo;
        case dbTime: return ftTime;
        default: return ftUnknown;
    }
}

std::size_t SlotDataSize(TFieldType type, std::uint16_t size) { return NativeDataSize(type, size); }

void EngineValueToSlot(const Variant& given, const SlotData& data, TFieldType type) {
    if (type == ftBlob || type == ftMemo) {
        if (data.Object != nullptr) *data.Object = given;
        return;
    }
    if (given.IsByteArray()) {
        const Variant& value = given;
        const std::vector<std::uint8_t>& bytes = value.Bytes();
        std::uint8_t* out = data.Bytes;
        std::size_t room = data.Size;
        if (type == ftVarBytes) {
            if (room < 2) return;
            const auto length = static_cast<std::uint16_t>(std::min<std::size_t>(bytes.size(), room - 2));
            std::memcpy(out, &length, 2);
            out += 2;
            room -= 2;
        }
        std::memcpy(out, bytes.data(), std::min(bytes.size(), room));
        return;
    }
    if (NeedsConversion(given, type)) PutInSlotFormat(ConvertedForSlot(given, type), data, type);
    else PutInSlotFormat(given, data, type);
}

Variant SlotToEngineValue(const SlotData& data, TFieldType type, int declaredSize) {
    switch (type) {
        case ftString: return Variant(GetText(data));
        case ftSmallint: return Variant(Get<std::int16_t>(data));
        case ftInteger: return Variant(Get<std::int32_t>(data));
        case ftWord: return Variant(static_cast<std::int32_t>(Get<std::uint16_t>(data)));
        case ftBoolean: return Variant(Get<std::int16_t>(data) != 0);
        case ftFloat:
        case ftCurrency:
        case ftBCD: return Variant(Get<double>(data));
        case ftDate: return Variant::FromDate(TimeStampToDateTime({0, Get<std::int32_t>(data)}));
        case ftTime: return Variant::FromDate(TimeStampToDateTime({Get<std::int32_t>(data), kDateDelta}));
        case ftDateTime: return Variant::FromDate(TimeStampToDateTime(MSecsToTimeStamp(std::round(Get<double>(data)))));
        case ftBytes: {
            const std::size_t length = std::min(static_cast<std::size_t>(std::max(declaredSize, 0)), data.Size);
            return Variant(std::vector<std::uint8_t>(data.Bytes, data.Bytes + length));
        }
        case ftVarBytes: {
            if (data.Size < 2) return Variant(std::vector<std::uint8_t>());
            const std::size_t length = std::min<std::size_t>(Get<std::uint16_t>(data), data.Size - 2);
            return Variant(std::vector<std::uint8_t>(data.Bytes + 2, data.Bytes + 2 + length));
        }
        case ftBlob: return data.Object != nullptr ? *data.Object : Variant();
        case ftMemo: {
            if (data.Object == nullptr || data.Object->IsEmpty()) return Variant();
            if (data.Object->IsNull()) return Variant::Null();
            const std::string text = data.Object->IsByteArray()
                                         ? std::string(data.Object->Bytes().begin(), data.Object->Bytes().end())
                                         : data.Object->ToString();
            if (text.empty()) return Variant();
            return Variant::FromAnsiString(text);
        }
        default: return Variant();
    }
}

void DefaultTextToSlot(std::string_view text, std::int32_t daoType, SlotData data) {
    using namespace engine;
    switch (daoType) {
        case dbBoolean:
            if (data.Size > 0) data.Bytes[0] = text == "True" ? 1 : 0;
            break;
        case dbByte:
        case dbInteger: Put(data, static_cast<std::int16_t>(IntegerOrZero(text, INT16_MIN, INT16_MAX))); break;
        case dbLong: Put(data, static_cast<std::int32_t>(IntegerOrZero(text, INT32_MIN, INT32_MAX))); break;
        case dbCurrency:
        case dbSingle:
        case dbDouble: {
            double value = 0;
            if (!TryStrToFloat(text, value)) value = 0;
            if (daoType == dbCurrency) value = Currency::FromDouble(value).ToDouble();
            Put(data, value);
            break;
        }
        case dbDate:
            if (std::optional<TDateTime> value = ParseDateLiteral(text))
                Put(data, TimeStampToMSecs(DateTimeToTimeStamp(*value)));
            break;
        case dbText: PutText(data, text); break;
        default: break;
    }
}

std::optional<TDateTime> ParseDateLiteral(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::string_view rest = text.substr(1);
    auto take = [&rest](std::string_view until) -> std::optional<std::string_view> {
        const std::size_t at = rest.find_first_of(until);
        if (at == std::string_view::npos) return std::nullopt;
        std::string_view part = rest.substr(0, at);
        rest.remove_prefix(at + 1);
        return part;
    };
    auto monthText = take("/");
    auto dayText = monthText ? take("/") : std::nullopt;
    if (!dayText) return std::nullopt;
    const bool hasTime = rest.find(' ') != std::string_view::npos;
    auto yearText = take(hasTime ? " " : "#");
    if (!yearText) return std::nullopt;
    const std::optional<int> month = Number(*monthText), day = Number(*dayText);
    std::optional<int> year = Number(*yearText);
    if (!month || !day || !year) return std::nullopt;
    if (*year < 30) *year += 2000;
    else if (*year < 100) *year += 1900;
    std::optional<TDateTime> date = TryEncodeDate(*year, *month, *day);
    if (!date || !hasTime) return date;
    const bool pm = rest.find("PM") != std::string_view::npos;
    auto hourText = take(":");
    auto minuteText = hourText ? take(":") : std::nullopt;
    auto secondText = minuteText ? take(" ") : std::nullopt;
    if (!secondText) return std::nullopt;
    std::optional<int> hour = Number(*hourText);
    const std::optional<int> minute = Number(*minuteText), second = Number(*secondText);
    if (!hour || !minute || !second) return std::nullopt;
    if (pm && *hour < 12) *hour += 12;
    std::optional<TDateTime> time = TryEncodeTime(*hour, *minute, *second, 0);
    if (!time) return std::nullopt;
    return *date >= 0 ? *date + *time : *date - *time;
}

}  // namespace pavana
