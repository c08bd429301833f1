#include "dao/DAOParams.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "classes/Filer.h"
#include "db/Field.h"
#include "rtl/Bitmap.h"
#include "rtl/Exceptions.h"
#include "rtl/Format.h"
#include "rtl/Streams.h"
#include "rtl/StringList.h"
#include "rtl/Strings.h"

namespace pavana {
namespace {

// The stored form keeps at most this many data bytes per parameter.
constexpr std::size_t kMaxStoredData = 2048;
constexpr std::int32_t kLastDay = 3652059;  // 31 December 9999

[[noreturn]] void UnknownType(const std::string& name) {
    throw EDatabaseError(Format("Field '%s' is of unknown type", {name}));
}

[[noreturn]] void UnsupportedType(const std::string& name) {
    throw EDatabaseError(Format("Field '%s' is of an unsupported type", {name}));
}

[[noreturn]] void InvalidTimeStamp() { throw EConvertError("Invalid argument to date encode"); }

// Date-times outside the years 1 to 9999 have no time stamp; converting them would overflow.
TTimeStamp CheckedTimeStamp(TDateTime value) {
    if (!(value > -693594.0 && value < 2958466.0)) InvalidTimeStamp();
    return DateTimeToTimeStamp(value);
}

TDateTime CheckedDateTime(const TTimeStamp& stamp) {
    if (stamp.Date < 1 || stamp.Date > kLastDay || stamp.Time < 0 || stamp.Time >= kMSecsPerDay) InvalidTimeStamp();
    return TimeStampToDateTime(stamp);
}

template <typename T>
void PutLE(std::vector<std::uint8_t>& out, T value) {
    auto bits = static_cast<std::make_unsigned_t<T>>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

template <typename T>
T GetLE(const std::uint8_t* data) {
    std::make_unsigned_t<T> bits = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        bits |= static_cast<std::make_unsigned_t<T>>(std::make_unsigned_t<T>{data[i]} << (8 * i));
    return static_cast<T>(bits);
}

void PutDouble(std::vector<std::uint8_t>& out, double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    PutLE(out, bits);
}

double GetDouble(const std::uint8_t* data) {
    auto bits = GetLE<std::uint64_t>(data);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Fixed-size native forms; texts and ftCursor are handled apart.
std::size_t FixedDataSize(TFieldType type) {
    switch (type) {
        case ftSmallint:
        case ftWord:
        case ftBoolean: return 2;
        case ftInteger:
        case ftAutoInc:
        case ftDate:
        case ftTime: return 4;
        case ftFloat:
        case ftCurrency:
        case ftDateTime: return 8;
        default: return 0;
    }
}

bool IsBlobType(TFieldType type) {
    return type == ftBlob || type == ftGraphic || type == ftFmtMemo || type == ftParadoxOle || type == ftDBaseOle;
}

// Little-endian fields of a stored form, each read whole or failing with "Stream read error".
class StoredReader {
public:
    explicit StoredReader(TStream& stream) : stream_(stream) {}

    std::uint8_t U8() { return Fixed<std::uint8_t>(); }
    std::uint16_t U16() { return Fixed<std::uint16_t>(); }
    std::uint32_t U32() { return Fixed<std::uint32_t>(); }

    // Checks the length against what the stream holds before anything is allocated.
    std::vector<std::uint8_t> Bytes(std::uint32_t count) {
        if (static_cast<std::int64_t>(count) > stream_.Remaining()) throw EStreamError("Stream read error");
        std::vector<std::uint8_t> bytes(count);
        stream_.ReadBuffer(bytes.data(), count);
        return bytes;
    }

private:
    template <typename T>
    T Fixed() {
        std::uint8_t raw[sizeof(T)];
        stream_.ReadBuffer(raw, sizeof raw);
        return GetLE<T>(raw);
    }

    TStream& stream_;
};

}  // namespace

// --- TParam ---

void TParam::SetDataType(TFieldType type) {
    value_ = Variant(std::int32_t{0});
    dataType_ = type;
}

void TParam::Clear() {
    isNull_ = true;
    value_ = Variant(std::int32_t{0});
}

void TParam::Store(TFieldType type, Variant value) {
    bound_ = true;
    isNull_ = false;
    SetDataType(type);
    value_ = std::move(value);
}

void TParam::SetAsString(std::string_view text) { Store(ftString, Variant::FromAnsiString(std::string(text))); }
void TParam::SetAsMemo(std::string_view text) { Store(ftMemo, Variant::FromAnsiString(std::string(text))); }
void TParam::SetAsBlob(std::string_view bytes) { Store(ftBlob, Variant::FromAnsiString(std::string(bytes))); }
void TParam::SetAsSmallInt(std::int16_t value) { Store(ftSmallint, Variant(value)); }
void TParam::SetAsInteger(std::int32_t value) { Store(ftInteger, Variant(value)); }
void TParam::SetAsWord(std::uint16_t value) { Store(ftWord, Variant(value)); }
void TParam::SetAsBoolean(bool value) { Store(ftBoolean, Variant(value)); }
void TParam::SetAsFloat(double value) { Store(ftFloat, Variant(value)); }
void TParam::SetAsCurrency(double value) { Store(ftCurrency, Variant(value)); }
void TParam::SetAsDate(TDateTime value) { Store(ftDate, Variant::FromDate(value)); }
void TParam::SetAsTime(TDateTime value) { Store(ftTime, Variant::FromDate(value)); }
void TParam::SetAsDateTime(TDateTime value) { Store(ftDateTime, Variant::FromDate(value)); }

std::string TParam::AsString() const {
    if (isNull_) return {};
    switch (dataType_) {
        case ftBoolean: return value_.ToBoolean() ? "True" : "False";
        case ftDate:
        case ftTime:
        case ftDateTime: return DateTimeToStr(value_.ToDateTime());
        default: return value_.ToString();
    }
}

TDateTime TParam::AsDateTime() const { return isNull_ ? 0 : value_.ToDateTime(); }

std::size_t TParam::GetDataSize() const {
    switch (dataType_) {
        case ftUnknown: UnknownType(name_);
        case ftString:
        case ftMemo: return value_.ToString().size() + 1;
        case ftCursor: return 0;
        default: break;
    }
    std::size_t size = FixedDataSize(dataType_);
    if (size == 0) UnsupportedType(name_);
    return size;
}

std::vector<std::uint8_t> TParam::GetData() const {
    std::vector<std::uint8_t> out;
    switch (dataType_) {
        case ftUnknown: UnknownType(name_);
        case ftString:
        case ftMemo: {
            std::string text = value_.ToString();
            out.assign(text.begin(), text.end());
            out.push_back(0);
            break;
        }
        case ftSmallint: PutLE(out, static_cast<std::int16_t>(value_.ConvertTo(varSmallint).ToInteger())); break;
        case ftWord: PutLE(out, static_cast<std::uint16_t>(value_.ConvertTo(varWord).ToInteger())); break;
        case ftBoolean: PutLE(out, static_cast<std::int16_t>(value_.ToBoolean() ? 1 : 0)); break;
        case ftInteger:
        case ftAutoInc: PutLE(out, value_.ToInteger()); break;
        case ftFloat:
        case ftCurrency: PutDouble(out, value_.ToDouble()); break;
        case ftDate: PutLE(out, CheckedTimeStamp(value_.ToDateTime()).Date); break;
        case ftTime: PutLE(out, CheckedTimeStamp(value_.ToDateTime()).Time); break;
        case ftDateTime: PutDouble(out, TimeStampToMSecs(CheckedTimeStamp(value_.ToDateTime()))); break;
        case ftCursor: break;
        default: UnsupportedType(name_);
    }
    return out;
}

void TParam::SetData(std::span<const std::uint8_t> data) {
    if (dataType_ == ftUnknown) UnknownType(name_);
    if (dataType_ == ftString || dataType_ == ftMemo) {
        auto end = std::find(data.begin(), data.end(), std::uint8_t{0});
        std::string text(data.begin(), end);
        if (dataType_ == ftString) SetAsString(text);
        else SetAsMemo(text);
        return;
    }
    if (dataType_ == ftCursor) {
        value_ = Variant(std::int32_t{0});
        return;
    }
    std::size_t size = FixedDataSize(dataType_);
    if (size == 0) UnsupportedType(name_);
    if (data.size() < size)
        throw EDatabaseError(
            Format("Parameter '%s', data of %d bytes is too short for its type", {name_, data.size()}));
    const std::uint8_t* p = data.data();
    switch (dataType_) {
        case ftSmallint: SetAsSmallInt(GetLE<std::int16_t>(p)); break;
        case ftWord: SetAsWord(GetLE<std::uint16_t>(p)); break;
        case ftBoolean: SetAsBoolean(GetLE<std::uint16_t>(p) != 0); break;
        case ftInteger:
        case ftAutoInc: SetAsInteger(GetLE<std::int32_t>(p)); break;
        case ftFloat: SetAsFloat(GetDouble(p)); break;
        case ftCurrency: SetAsCurrency(GetDouble(p)); break;
        case ftDate: SetAsDate(CheckedDateTime({0, GetLE<std::int32_t>(p)})); break;
        case ftTime: SetAsTime(CheckedDateTime({GetLE<std::int32_t>(p), kDateDelta})); break;
        case ftDateTime: {
            double msecs = std::round(GetDouble(p));
            if (!(msecs >= double{kMSecsPerDay} && msecs < (kLastDay + 1.0) * kMSecsPerDay)) InvalidTimeStamp();
            SetAsDateTime(CheckedDateTime(MSecsToTimeStamp(msecs)));
            break;
        }
        default: UnsupportedType(name_);
    }
}

void TParam::SetBlobData(std::span<const std::uint8_t> data) {
    SetAsBlob(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

void TParam::Assign(const TPersistent* source) {
    if (const auto* field = dynamic_cast<const TField*>(source)) {
        AssignField(field);
        return;
    }
    const auto* param = dynamic_cast<const TParam*>(source);
    if (param == nullptr) {
        TPersistent::Assign(source);
        return;
    }
    // Setting the type resets the value, so a parameter assigned to itself would lose it.
    if (param == this) return;
    SetDataType(param->dataType_);
    if (param->isNull_) {
        Clear();
    } else {
        bound_ = true;
        isNull_ = false;
        value_ = param->value_;
    }
    bound_ = param->bound_;
    name_ = param->name_;
    if (paramType_ == ptUnknown) paramType_ = param->paramType_;
}

void TParam::Assign(const TStringList& source) { SetAsMemo(source.Text()); }

void TParam::Assign(const TBitmap& source) {
    TMemoryStream stream;
    source.SaveToStream(stream);
    const std::vector<std::uint8_t>& bytes = stream.Bytes();
    Store(ftGraphic, Variant::FromAnsiString(std::string(bytes.begin(), bytes.end())));
}

void TParam::AssignTo(TPersistent& destination) const {
    if (auto* field = dynamic_cast<TField*>(&destination)) {
        if (isNull_) field->Clear();
        else field->SetValue(value_);
        return;
    }
    TPersistent::AssignTo(destination);
}

void TParam::AssignField(const TField* field) {
    if (field == nullptr) return;
    TFieldType type = field->DataType();
    if (type == ftMemo && field->Size() > 255) type = ftString;
    else if (type == ftAutoInc) type = ftInteger;
    // Read first: a field that fails to give its value leaves the parameter as it was.
    const bool isNull = field->IsNull();
    Variant value = isNull ? Variant() : field->Value();
    SetDataType(type);
    if (isNull) {
        Clear();
    } else {
        bound_ = true;
        isNull_ = false;
        // Blobs are held as text values of their bytes, as AsBlob holds them.
        if (value.IsByteArray())
            value = Variant::FromAnsiString(std::string(value.Bytes().begin(), value.Bytes().end()));
        value_ = std::move(value);
    }
    bound_ = true;
    name_ = field->FieldName();
}

bool TParam::IsEqual(const TParam& other) const {
    return value_ == other.value_ && name_ == other.name_ && dataType_ == other.dataType_ && isNull_ == other.isNull_ &&
           bound_ == other.bound_ && paramType_ == other.paramType_;
}

// --- TParams ---

TParams::~TParams() { Clear(); }

TParam& TParams::Items(int index) { return const_cast<TParam&>(std::as_const(*this).Items(index)); }

const TParam& TParams::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", {index}));
    return ParamByName(items_[static_cast<std::size_t>(index)]->Name());
}

TParam& TParams::ParamByName(std::string_view name) {
    return const_cast<TParam&>(std::as_const(*this).ParamByName(name));
}

const TParam& TParams::ParamByName(std::string_view name) const {
    for (const auto& param : items_) {
        if (AnsiSameText(param->Name(), name)) return *param;
    }
    throw EDatabaseError(Format("Parameter '%s' not found", {name}));
}

TParam& TParams::Add(TParamType paramType) {
    auto param = std::make_unique<TParam>(paramType);
    param->owner_ = this;
    items_.push_back(std::move(param));
    return *items_.back();
}

TParam& TParams::CreateParam(TFieldType type, std::string_view name, TParamType paramType) {
    TParam& param = Add(paramType);
    param.SetName(std::string(name));
    param.SetDataType(type);
    return param;
}

void TParams::Delete(TParam& param) {
    auto it =
        std::find_if(items_.begin(), items_.end(), [&](const std::unique_ptr<TParam>& p) { return p.get() == &param; });
    if (it == items_.end()) return;
    std::unique_ptr<TParam> removed = std::move(*it);
    items_.erase(it);
    removed->owner_ = nullptr;
}

void TParams::Clear() {
    while (!items_.empty()) items_.pop_back();
}

void TParams::Assign(const TPersistent* source) {
    const auto* list = dynamic_cast<const TParams*>(source);
    if (list == nullptr) {
        TPersistent::Assign(source);
        return;
    }
    // Clearing first would empty the source as well.
    if (list == this) return;
    Clear();
    for (int i = 0; i < list->Count(); ++i) Add(ptUnknown).Assign(&list->Items(i));
}

void TParams::AssignTo(TPersistent& destination) const {
    if (auto* list = dynamic_cast<TParams*>(&destination)) {
        list->Assign(this);
        return;
    }
    TPersistent::AssignTo(destination);
}

void TParams::AssignValues(const TParams& source) {
    for (int i = 0; i < Count(); ++i) {
        TParam& param = Items(i);
        for (int j = 0; j < source.Count(); ++j) {
            const TParam& candidate = source.Items(j);
            if (candidate.Name() == param.Name()) {
                param.Assign(&candidate);
                break;
            }
        }
    }
}

bool TParams::IsEqual(const TParams& other) const {
    if (Count() != other.Count()) return false;
    for (int i = 0; i < Count(); ++i) {
        if (!Items(i).IsEqual(other.Items(i))) return false;
    }
    return true;
}

// Stored form, version 1 (version 2 widens the count, the name length and the data size to
// 32 bits):
//   u16 version, u16 count, then per parameter
//   u8 name length, name bytes, u8 parameter type, u8 data type,
//   [u16 data size, data bytes — only when the data type is not ftUnknown],
//   u8 null, u8 bound.
void TParams::WriteData(TStream& stream) const {
    if (Count() > std::numeric_limits<std::uint16_t>::max())
        throw EDatabaseError(
            Format("Cannot save more than %d parameters", {int{std::numeric_limits<std::uint16_t>::max()}}));
    std::vector<std::uint8_t> out;
    PutLE(out, std::uint16_t{1});
    PutLE(out, static_cast<std::uint16_t>(Count()));
    for (int i = 0; i < Count(); ++i) {
        const TParam& param = Items(i);
        const std::string& name = param.Name();
        if (name.size() > std::numeric_limits<std::uint8_t>::max())
            throw EDatabaseError(Format("Parameter '%s', cannot save a name longer than %d bytes",
                                        {name, int{std::numeric_limits<std::uint8_t>::max()}}));
        PutLE(out, static_cast<std::uint8_t>(name.size()));
        out.insert(out.end(), name.begin(), name.end());
        PutLE(out, static_cast<std::uint8_t>(param.ParamType()));
        PutLE(out, static_cast<std::uint8_t>(param.DataType()));
        if (param.DataType() != ftUnknown) {
            if (param.GetDataSize() > kMaxStoredData)
                throw EDatabaseError(
                    Format("Parameter '%s', cannot save data larger than %d bytes", {name, kMaxStoredData}));
            std::vector<std::uint8_t> data = param.GetData();
            PutLE(out, static_cast<std::uint16_t>(data.size()));
            out.insert(out.end(), data.begin(), data.end());
        }
        PutLE(out, std::uint8_t{param.IsNull()});
        PutLE(out, std::uint8_t{param.Bound()});
    }
    stream.WriteBuffer(out.data(), out.size());
}

void TParams::ReadData(TStream& stream) {
    StoredReader in(stream);
    std::uint16_t version = in.U16();
    if (version != 1 && version != 2) throw EDatabaseError(Format("Unsupported parameter data version %d", {version}));
    bool wide = version == 2;
    std::uint32_t count = wide ? in.U32() : in.U16();
    TParams read;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::vector<std::uint8_t> nameBytes = in.Bytes(wide ? in.U32() : in.U8());
        std::string name(nameBytes.begin(), nameBytes.end());
        std::uint8_t paramType = in.U8();
        std::uint8_t dataType = in.U8();
        if (paramType > ptResult)
            throw EDatabaseError(Format("Parameter '%s' has an invalid parameter type (%d)", {name, paramType}));
        if (dataType > ftGuid)
            throw EDatabaseError(Format("Parameter '%s' is of an invalid type (%d)", {name, dataType}));
        TParam& param = read.Add(static_cast<TParamType>(paramType));
        param.name_ = std::move(name);
        param.dataType_ = static_cast<TFieldType>(dataType);
        if (param.dataType_ != ftUnknown) {
            std::uint32_t size = wide ? in.U32() : in.U16();
            if (size > kMaxStoredData)
                throw EDatabaseError(
                    Format("Parameter '%s', cannot read data larger than %d bytes", {param.name_, kMaxStoredData}));
            std::vector<std::uint8_t> data = in.Bytes(size);
            if (IsBlobType(param.dataType_)) param.SetBlobData(data);
            else param.SetData(data);
        }
        param.isNull_ = in.U8() != 0;
        param.bound_ = in.U8() != 0;
    }
    Clear();
    items_ = std::move(read.items_);
    for (auto& param : items_) param->owner_ = this;
}

bool TParams::ShouldStoreData(const TParams* ancestor) const {
    return ancestor != nullptr ? !IsEqual(*ancestor) : Count() > 0;
}

void TParams::DefineProperties(TFiler& filer) {
    filer.DefineBinaryProperty(
        "Data", [this](TStream& stream) { ReadData(stream); }, [this](TStream& stream) { WriteData(stream); },
        ShouldStoreData(dynamic_cast<const TParams*>(filer.Ancestor())));
}

// --- ParseSQLNames ---

void ParseSQLNames(TParams* list, std::string_view text, char marker) {
    // The text is read as the zero-terminated string it is in the engine's hands.
    const std::string scratch(text);
    const char* s = scratch.c_str();
    auto isLiteral = [](char c) { return c == '\'' || c == '"' || c == '#'; };
    auto isDelimiter = [](char c) { return c == ' ' || c == ',' || c == ';' || c == ')' || c == '\r' || c == '\n'; };
    bool inLiteral = false;
    char quote = 0;
    std::size_t i = 0;
    while (true) {
        char c = s[i];
        if (inLiteral) {
            if (c == quote) inLiteral = false;
        } else if (c == marker && c != '\0' && s[i + 1] == marker) {
            i += 2;
            continue;
        } else if (c == marker && c != '\0') {
            // The first step is taken even when the marker is itself a delimiter, so that
            // the scan always moves on.
            std::size_t at = i;
            bool embeddedLiteral = false;
            do {
                ++i;
                char next = s[i];
                if (inLiteral ? next == quote : isLiteral(next)) {
                    inLiteral = !inLiteral;
                    quote = next;
                    if (i == at + 1) embeddedLiteral = true;
                }
            } while (s[i] != '\0' && (inLiteral || !isDelimiter(s[i])));
            std::string_view name(s + at + 1, i - at - 1);
            if (embeddedLiteral) {
                for (char q : {'\'', '"'}) {
                    if (!name.empty() && name.front() == q) name.remove_prefix(1);
                    if (!name.empty() && name.back() == q) name.remove_suffix(1);
                }
            }
            if (list != nullptr) list->CreateParam(ftUnknown, name, ptUnknown);
            continue;
        } else if (isLiteral(c)) {
            inLiteral = true;
            quote = c;
        }
        if (c == '\0') break;
        ++i;
    }
}

}  // namespace pavana
