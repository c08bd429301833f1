#include "db/Field.h"

#include <algorithm>
#include <cstring>

#include "db/DataSet.h"
#include "rtl/DateTime.h"
#include "rtl/Encoding.h"
#include "rtl/Exceptions.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"

namespace pavana {

namespace {

template <class T>
T Load(const void* data) {
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

template <class T>
void StoreValue(void* data, T value) {
    std::memcpy(data, &value, sizeof value);
}

// Room for one value's native data, zeroed: on the stack for every type but long texts.
class NativeData {
public:
    explicit NativeData(std::size_t size) {
        if (size > sizeof local_) {
            heap_.assign(size, 0);
        } else {
            std::memset(local_, 0, size);
        }
        bytes_ = size > sizeof local_ ? heap_.data() : local_;
    }
    NativeData(const NativeData&) = delete;
    NativeData& operator=(const NativeData&) = delete;
    std::uint8_t* Bytes() { return bytes_; }

private:
    alignas(8) std::uint8_t local_[512];
    std::vector<std::uint8_t> heap_;
    std::uint8_t* bytes_;
};

// The zero-terminated text of native string data, never read past its `size` bytes.
std::string BoundedText(const void* data, std::size_t size) {
    const auto* text = static_cast<const char*>(data);
    return std::string(text, ::strnlen(text, size));
}

std::string BytesText(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace

std::size_t TextCapacity(int size) { return static_cast<std::size_t>(std::clamp(size, 0, 8192)); }

std::size_t NativeDataSize(TFieldType type, int size) {
    switch (type) {
        case ftString: return static_cast<std::size_t>(std::max(size, 0)) * 3 + 1;
        case ftSmallint:
        case ftWord:
        case ftBoolean: return 2;
        case ftInteger:
        case ftAutoInc: return 4;
        case ftFloat:
        case ftCurrency:
        case ftBCD:
        case ftDate:
        case ftTime:
        case ftDateTime:
        case ftLargeint: return 8;
        case ftBytes:
        case ftVarBytes: return static_cast<std::size_t>(std::max(size, 0)) + 2;
        case ftBlob:
        case ftMemo: return 16;
        default: return 0;
    }
}

TField::TField(TComponent* owner, TFieldType type, int size)
    : TComponent(owner), dataType_(type), size_(size), dataSize_(NativeDataSize(type, size)) {}

TField::~TField() {
    if (dataSet_ != nullptr) dataSet_->fields_.Remove(*this);
}

void TField::SetDataSet(TDataSet* dataSet) {
    if (dataSet == dataSet_) return;
    if (dataSet_ != nullptr) {
        if (dataSet_->Active()) throw EDatabaseError("Cannot perform this operation on an open dataset");
        dataSet_->fields_.Remove(*this);
    }
    if (dataSet != nullptr) {
        if (dataSet->Active()) throw EDatabaseError("Cannot perform this operation on an open dataset");
        if (dataSet->FindField(fieldName_) != nullptr && !fieldName_.empty())
            throw EDatabaseError(Format("Duplicate field name '%s'", {fieldName_}));
        dataSet->fields_.Add(*this);
    }
    dataSet_ = dataSet;
}

bool TField::GetData(void* buffer) const {
    if (validating_ != nullptr) {
        if (buffer != nullptr) {
            if (IsBlob()) *static_cast<Variant*>(buffer) = *static_cast<const Variant*>(validating_);
            else std::memcpy(buffer, validating_, DataSize());
        }
        return true;
    }
    if (dataSet_ == nullptr) NoDataSet();
    return dataSet_->GetFieldData(const_cast<TField&>(*this), buffer);
}

void TField::NoDataSet() const { throw EDatabaseError(Format("Field '%s' has no dataset", {DisplayName()})); }

void TField::SetData(const void* buffer) {
    if (dataSet_ == nullptr) NoDataSet();
    dataSet_->SetFieldData(*this, buffer);
}

void TField::Validate(const void* buffer) {
    if (!OnValidate) return;
    const void* previous = validating_;
    validating_ = buffer;
    try {
        OnValidate(*this);
    } catch (...) {
        validating_ = previous;
        throw;
    }
    validating_ = previous;
}

void TField::Change() {
    if (OnChange) OnChange(*this);
}

void TField::SetLookupDataSet(TDataSet* dataSet) {
    if (dataSet == lookupDataSet_) return;
    if (lookupDataSet_ != nullptr) RemoveFreeNotification(lookupDataSet_);
    lookupDataSet_ = dataSet;
    if (lookupDataSet_ != nullptr) FreeNotification(lookupDataSet_);
}

void TField::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == lookupDataSet_) lookupDataSet_ = nullptr;
}

void TField::CheckCanModify() const {
    // Calculated values are the dataset's own work, also on a dataset that cannot be changed.
    if (Calculated() && dataSet_ != nullptr && dataSet_->State() == dsCalcFields) return;
    if (readOnly_ || dataSet_ == nullptr || !dataSet_->CanModify())
        throw EDatabaseError(Format("Field '%s' cannot be modified", {DisplayName()}));
}

void TField::RangeError(const std::string& value, const std::string& low, const std::string& high) const {
    throw EDatabaseError(Format("%s is not a valid value for field '%s'. The allowed range is %s to %s",
                                {value, DisplayName(), low, high}));
}

bool TField::IsNull() const {
    if (IsBlob()) {
        Variant value;
        return !GetData(&value) || value.IsNull() || value.IsEmpty();
    }
    return !GetData(nullptr);
}

Variant TField::Value() const {
    if (IsBlob()) {
        Variant data;
        if (!GetData(&data) || data.IsAbsent()) return Variant::Null();
        return NativeToVariant(&data);
    }
    NativeData data(DataSize());
    if (!GetData(data.Bytes())) return Variant::Null();
    return NativeToVariant(data.Bytes());
}

void TField::SetValue(const Variant& value) {
    if (value.IsAbsent()) {
        Clear();
        return;
    }
    CheckCanModify();
    if (IsBlob()) {
        Variant data;
        VariantToNative(value, &data);
        SetData(&data);
        return;
    }
    std::vector<std::uint8_t> data(DataSize());
    VariantToNative(value, data.data());
    SetData(data.data());
}

void TField::Clear() {
    CheckCanModify();
    SetData(nullptr);
}

std::string TField::AsString() const { return Value().ToString(); }
void TField::SetAsString(std::string_view text) {
    if (text.empty() && !IsBlob() && dataType_ != ftString) Clear();
    else SetValue(Variant::FromAnsiString(std::string(text)));
}
std::int32_t TField::AsInteger() const {
    Variant v = Value();
    return v.IsNull() ? 0 : v.ToInteger();
}
void TField::SetAsInteger(std::int32_t value) { SetValue(Variant(value)); }
double TField::AsFloat() const {
    Variant v = Value();
    return v.IsNull() ? 0.0 : v.ToDouble();
}
void TField::SetAsFloat(double value) { SetValue(Variant(value)); }
bool TField::AsBoolean() const {
    Variant v = Value();
    return v.IsNull() ? false : v.ToBoolean();
}
void TField::SetAsBoolean(bool value) { SetValue(Variant(value)); }
TDateTime TField::AsDateTime() const {
    Variant v = Value();
    return v.IsNull() ? 0.0 : v.ToDateTime();
}
void TField::SetAsDateTime(TDateTime value) { SetValue(Variant::FromDate(value)); }

// Text ----------------------------------------------------------------------------------------

std::string TStringField::AsString() const {
    NativeData data(DataSize());
    if (!GetData(data.Bytes())) return {};
    return BoundedText(data.Bytes(), DataSize());
}

Variant TStringField::NativeToVariant(const void* data) const {
    return Variant::FromAnsiString(BoundedText(data, DataSize()));
}

void TStringField::VariantToNative(const Variant& value, void* data) const {
    const std::string text = value.ToString();
    std::u32string characters = Utf8ToUtf32(text);
    if (characters.size() > TextCapacity(Size())) characters.resize(TextCapacity(Size()));
    const std::string cut(Utf8Prefix(Utf32ToUtf8(characters), DataSize() - 1));
    std::memcpy(data, cut.data(), cut.size());
    static_cast<char*>(data)[cut.size()] = '\0';
}

// Integers ------------------------------------------------------------------------------------

Variant TIntegerField::NativeToVariant(const void* data) const {
    switch (DataType()) {
        case ftSmallint: return Variant(Load<std::int16_t>(data));
        case ftWord: return Variant(static_cast<std::int32_t>(Load<std::uint16_t>(data)));
        default: return Variant(Load<std::int32_t>(data));
    }
}

void TIntegerField::VariantToNative(const Variant& value, void* data) const {
    const std::int64_t number = value.ToInt64();
    if (number < low_ || number > high_)
        RangeError(std::to_string(number), std::to_string(low_), std::to_string(high_));
    switch (DataType()) {
        case ftSmallint: StoreValue(data, static_cast<std::int16_t>(number)); break;
        case ftWord: StoreValue(data, static_cast<std::uint16_t>(number)); break;
        default: StoreValue(data, static_cast<std::int32_t>(number)); break;
    }
}

Variant TLargeintField::NativeToVariant(const void* data) const { return Variant(Load<std::int64_t>(data)); }

void TLargeintField::VariantToNative(const Variant& value, void* data) const { StoreValue(data, value.ToInt64()); }

// Booleans ------------------------------------------------------------------------------------

std::string TBooleanField::AsString() const {
    if (IsNull()) return {};
    return AsBoolean() ? "True" : "False";
}

void TBooleanField::SetAsString(std::string_view text) {
    if (text.empty()) {
        Clear();
        return;
    }
    const std::string upper = UpperCase(std::string(text));
    if (upper == "TRUE" || upper == "T" || upper == "YES" || upper == "Y" || upper == "1") SetAsBoolean(true);
    else if (upper == "FALSE" || upper == "F" || upper == "NO" || upper == "N" || upper == "0") SetAsBoolean(false);
    else
        throw EDatabaseError(
            Format("'%s' is not a valid boolean value for field '%s'", {std::string(text), DisplayName()}));
}

Variant TBooleanField::NativeToVariant(const void* data) const { return Variant(Load<std::int16_t>(data) != 0); }

void TBooleanField::VariantToNative(const Variant& value, void* data) const {
    StoreValue<std::int16_t>(data, value.ToBoolean() ? 1 : 0);
}

// Floating point ------------------------------------------------------------------------------

Variant TFloatField::NativeToVariant(const void* data) const { return Variant(Load<double>(data)); }

double TFloatField::AsFloat() const {
    // A currency amount reads as its value rounded to 4 decimals.
    if (DataType() == ftCurrency) return TField::AsFloat();
    double value = 0.0;
    return GetData(&value) ? value : 0.0;
}

void TFloatField::VariantToNative(const Variant& value, void* data) const { StoreValue(data, value.ToDouble()); }

Variant TCurrencyField::NativeToVariant(const void* data) const {
    return Variant(Currency::FromDouble(Load<double>(data)));
}

// Dates and times -----------------------------------------------------------------------------

std::string TDateTimeField::AsString() const {
    if (IsNull()) return {};
    const TDateTime value = AsDateTime();
    switch (DataType()) {
        case ftDate: return DateToStr(value);
        case ftTime: return TimeToStr(value);
        default: return DateTimeToStr(value);
    }
}

void TDateTimeField::SetAsString(std::string_view text) {
    if (text.empty()) {
        Clear();
        return;
    }
    switch (DataType()) {
        case ftDate: SetAsDateTime(StrToDate(text)); break;
        case ftTime: SetAsDateTime(StrToTime(text)); break;
        default: SetAsDateTime(StrToDateTime(text)); break;
    }
}

TDateTime TDateTimeField::NativeToDateTime(const void* data) const {
    TTimeStamp stamp;
    switch (DataType()) {
        case ftDate: stamp = {0, Load<std::int32_t>(data)}; break;
        case ftTime: stamp = {Load<std::int32_t>(data), kDateDelta}; break;
        default: stamp = MSecsToTimeStamp(Load<double>(data)); break;
    }
    return TimeStampToDateTime(stamp);
}

Variant TDateTimeField::NativeToVariant(const void* data) const { return Variant::FromDate(NativeToDateTime(data)); }

TDateTime TDateTimeField::AsDateTime() const {
    NativeData data(DataSize());
    return GetData(data.Bytes()) ? NativeToDateTime(data.Bytes()) : 0.0;
}

void TDateTimeField::VariantToNative(const Variant& value, void* data) const {
    const TTimeStamp stamp = DateTimeToTimeStamp(value.ToDateTime());
    switch (DataType()) {
        case ftDate: StoreValue(data, stamp.Date); break;
        case ftTime: StoreValue(data, stamp.Time); break;
        default: StoreValue(data, TimeStampToMSecs(stamp)); break;
    }
}

// Binary --------------------------------------------------------------------------------------

std::string TBytesField::AsString() const {
    Variant v = Value();
    return v.IsNull() ? std::string() : BytesText(v.Bytes());
}

Variant TBytesField::NativeToVariant(const void* data) const {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (DataType() == ftVarBytes) {
        const std::size_t length = std::min<std::size_t>(Load<std::uint16_t>(data), static_cast<std::size_t>(Size()));
        return Variant(std::vector<std::uint8_t>(bytes + 2, bytes + 2 + length));
    }
    return Variant(std::vector<std::uint8_t>(bytes, bytes + Size()));
}

void TBytesField::VariantToNative(const Variant& value, void* data) const {
    std::vector<std::uint8_t> bytes;
    if (value.IsByteArray()) {
        bytes = value.Bytes();
    } else {
        const std::string text = value.ToString();
        bytes.assign(text.begin(), text.end());
    }
    const std::size_t length = std::min(bytes.size(), static_cast<std::size_t>(Size()));
    auto* out = static_cast<std::uint8_t*>(data);
    if (DataType() == ftVarBytes) {
        StoreValue(out, static_cast<std::uint16_t>(length));
        out += 2;
    }
    std::copy_n(bytes.begin(), length, out);
}

std::string TBlobField::AsString() const {
    Variant v = Value();
    if (v.IsNull()) return {};
    return v.IsByteArray() ? BytesText(v.Bytes()) : v.ToString();
}

void TBlobField::SetAsString(std::string_view text) {
    if (DataType() == ftMemo) SetValue(Variant::FromAnsiString(std::string(text)));
    else SetValue(Variant(std::vector<std::uint8_t>(text.begin(), text.end())));
}

Variant TBlobField::NativeToVariant(const void* data) const {
    const auto& value = *static_cast<const Variant*>(data);
    if (value.IsByteArray()) return value;
    const std::string text = value.ToString();
    return Variant(std::vector<std::uint8_t>(text.begin(), text.end()));
}

void TBlobField::VariantToNative(const Variant& value, void* data) const {
    *static_cast<Variant*>(data) =
        DataType() == ftMemo
            ? Variant::FromAnsiString(value.IsByteArray() ? BytesText(value.Bytes()) : value.ToString())
            : (value.IsByteArray() ? value : NativeToVariant(&value));
}

Variant TMemoField::NativeToVariant(const void* data) const {
    const auto& value = *static_cast<const Variant*>(data);
    return Variant::FromAnsiString(value.IsByteArray() ? BytesText(value.Bytes()) : value.ToString());
}

// Definitions and lists -----------------------------------------------------------------------

std::unique_ptr<TField> CreateFieldOfType(TFieldType type, int size) {
    switch (type) {
        case ftString: return std::make_unique<TStringField>(nullptr, size);
        case ftSmallint: return std::make_unique<TSmallintField>(nullptr);
        case ftInteger: return std::make_unique<TIntegerField>(nullptr);
        case ftWord: return std::make_unique<TWordField>(nullptr);
        case ftBoolean: return std::make_unique<TBooleanField>(nullptr);
        case ftFloat: return std::make_unique<TFloatField>(nullptr);
        case ftCurrency: return std::make_unique<TCurrencyField>(nullptr);
        case ftDate: return std::make_unique<TDateField>(nullptr);
        case ftTime: return std::make_unique<TTimeField>(nullptr);
        case ftDateTime: return std::make_unique<TDateTimeField>(nullptr);
        case ftBytes: return std::make_unique<TBytesField>(nullptr, size);
        case ftVarBytes: return std::make_unique<TVarBytesField>(nullptr, size);
        case ftAutoInc: return std::make_unique<TAutoIncField>(nullptr);
        case ftBlob: return std::make_unique<TBlobField>(nullptr);
        case ftMemo: return std::make_unique<TMemoField>(nullptr);
        case ftLargeint: return std::make_unique<TLargeintField>(nullptr);
        default: return nullptr;
    }
}

void TFieldDefs::Add(std::string name, TFieldType type, int size, bool required) {
    items_.push_back({std::move(name), type, size, required, Count() + 1});
}

const TFieldDef& TFieldDefs::Items(int index) const {
    if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", {index}));
    return items_[static_cast<std::size_t>(index)];
}

const TFieldDef* TFieldDefs::Find(std::string_view name) const {
    for (const TFieldDef& def : items_)
        if (AnsiSameText(def.Name, name)) return &def;
    return nullptr;
}

TField& TFields::operator[](int index) const {
    if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", {index}));
    return *fields_[static_cast<std::size_t>(index)];
}

TField* TFields::FindField(std::string_view name) const {
    for (TField* field : fields_)
        if (AnsiSameText(field->FieldName(), name)) return field;
    return nullptr;
}

void TFields::Remove(TField& field) { std::erase(fields_, &field); }

}  // namespace pavana
