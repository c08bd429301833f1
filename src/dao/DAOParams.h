// The query unit's parameters and macros: `TParam`, `TParams` and `ParseSQLNames`.
//
// A `TDAOQuery` keeps two `TParams`: the names its SQL text writes after a colon (parameters)
// and after its macro character (macros). These classes are the DAO layer's own, not the
// dataset framework's classes of the same names: a `TParams` is a plain owning list.
//
// Ownership: a `TParams` owns its parameters. `Add` and `CreateParam` append a new one and hand
// back a reference that stays valid until the parameter is deleted (`Delete`, `Clear`, `Assign`,
// `ReadData` or the list's destruction); deleting removes it from the list. A `TParam` made on
// its own (no list) belongs to whoever made it.
//
// Failures are the framework's database error (EDatabaseError) with the texts
// "Parameter '%s' not found", "Field '%s' is of unknown type",
// "Field '%s' is of an unsupported type" and
// "Parameter '%s', cannot save data larger than %d bytes"; a stored form that is cut short
// raises EStreamError "Stream read error", one with impossible contents EDatabaseError
// (unknown version, type or parameter type, data too short for its type or above 2048
// bytes). A date-time outside the years 1 to 9999 has no native form: EConvertError
// "Invalid argument to date encode". Assignments the classes do not know fail with the
// persistent base's EConvertError "Cannot assign a %s to a %s". A failing operation leaves
// the object as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "classes/Persistent.h"
#include "db/DBTypes.h"
#include "rtl/DateTime.h"
#include "rtl/Variant.h"

namespace pavana {

class TBitmap;
class TField;
class TParams;
class TStream;
class TStringList;

// One parameter or macro: a name, a value with its field type, and the null and bound flags.
// A new parameter holds the integer 0, type ftUnknown, and is neither null nor bound.
class TParam : public TPersistent {
public:
    explicit TParam(TParamType paramType = ptUnknown) : paramType_(paramType) {}

    std::string_view ClassName() const override { return "TParam"; }

    // The list holding this parameter, or null for a parameter on its own.
    TParams* Owner() const { return owner_; }

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    TFieldType DataType() const { return dataType_; }
    // Resets the value to the integer 0; the null and bound flags stay.
    void SetDataType(TFieldType type);
    TParamType ParamType() const { return paramType_; }
    void SetParamType(TParamType type) { paramType_ = type; }
    bool IsNull() const { return isNull_; }
    // True once the parameter has received a value.
    bool Bound() const { return bound_; }
    void SetBound(bool bound) { bound_ = bound; }
    const Variant& Value() const { return value_; }

    // Null: the value becomes the integer 0; the type and the bound flag stay.
    void Clear();

    // Each setter marks the parameter bound and not null, sets its type (ftString, ftMemo, ...)
    // and stores the value. A blob is held as a text value of its bytes.
    void SetAsString(std::string_view text);
    void SetAsMemo(std::string_view text);
    void SetAsBlob(std::string_view bytes);
    void SetAsSmallInt(std::int16_t value);
    void SetAsInteger(std::int32_t value);
    void SetAsWord(std::uint16_t value);
    void SetAsBoolean(bool value);
    void SetAsFloat(double value);
    void SetAsCurrency(double value);
    void SetAsDate(TDateTime value);
    void SetAsTime(TDateTime value);
    void SetAsDateTime(TDateTime value);

    // The value as text with the current format settings: empty when null, "True"/"False" for
    // ftBoolean, the date-time text for ftDate, ftTime and ftDateTime. This is a macro's text.
    std::string AsString() const;
    // 0 when null, otherwise the value converted to a date-time.
    TDateTime AsDateTime() const;

    // The native form of the value for its type: text with a zero byte (ftString, ftMemo),
    // 16-bit integers (ftSmallint, ftWord, ftBoolean as 1/0), 32-bit integers (ftInteger,
    // ftAutoInc), doubles (ftFloat, ftCurrency), the time stamp's day (ftDate) or milliseconds
    // (ftTime) as 32 bits, the time stamp as milliseconds in a double (ftDateTime), nothing
    // for ftCursor. Other types fail with the unknown-type or unsupported-type error.
    std::size_t GetDataSize() const;
    std::vector<std::uint8_t> GetData() const;
    // Stores a value read from its native form through the setter of the current type
    // (ftAutoInc becomes ftInteger; ftCursor only resets the value). A text ends at its zero
    // byte or at the end of `data`; data shorter than a fixed-size form fails with
    // "Parameter '%s', data of %d bytes is too short for its type".
    void SetData(std::span<const std::uint8_t> data);
    void SetBlobData(std::span<const std::uint8_t> data);

    // From another TParam: type, value (or null), bound flag and name; the parameter type only
    // while this one's is ptUnknown. Assigning a parameter to itself changes nothing. From a
    // field: AssignField. Any other source goes to the persistent base.
    void Assign(const TPersistent* source) override;
    // From a string list: a memo holding the list's whole text.
    void Assign(const TStringList& source);
    // From a bitmap: an ftGraphic value holding the bitmap's BMP file, as a text value.
    void Assign(const TBitmap& source);
    // Into a field: the field takes the value (a null parameter clears it). Any other
    // destination goes to the persistent base.
    void AssignTo(TPersistent& destination) const override;
    // Takes a field's type (ftString for a memo declared longer than 255, ftInteger for an
    // auto-increment field, whose value is a plain number here), its value or null, and its
    // name, and becomes bound. Nothing happens without a field.
    void AssignField(const TField* field);

    // Same variant type and value, same name (case-sensitive), type, flags and parameter type.
    bool IsEqual(const TParam& other) const;

private:
    friend class TParams;
    void Store(TFieldType type, Variant value);

    TParams* owner_ = nullptr;
    Variant value_{std::int32_t{0}};
    std::string name_;
    TFieldType dataType_ = ftUnknown;
    bool isNull_ = false;
    bool bound_ = false;
    TParamType paramType_;
};

// An ordered list of parameters that owns them.
class TParams : public TPersistent {
public:
    TParams() = default;
    ~TParams() override;

    std::string_view ClassName() const override { return "TParams"; }

    int Count() const { return static_cast<int>(items_.size()); }
    // `ParamByName` of the name at `index`, so two parameters of one name both give the first.
    // An index outside 0..Count-1 raises EListError "List index out of bounds (%d)".
    TParam& Items(int index);
    const TParam& Items(int index) const;
    // The first parameter whose name matches ignoring case (the locale's rules).
    TParam& ParamByName(std::string_view name);
    const TParam& ParamByName(std::string_view name) const;

    // Appends a new parameter of that parameter type.
    TParam& Add(TParamType paramType = ptUnknown);
    // Appends a new parameter with that type, name and parameter type.
    TParam& CreateParam(TFieldType type, std::string_view name, TParamType paramType);
    // Frees `param`, which must belong to this list, and removes it from the list.
    void Delete(TParam& param);
    // Frees every parameter, from the last to the first.
    void Clear();

    // From another TParams: this list becomes a copy of the source, position by position
    // (each copy made through `Items` of the source). Assigning a list to itself changes
    // nothing. Any other source goes to the persistent base.
    void Assign(const TPersistent* source) override;
    void AssignTo(TPersistent& destination) const override;
    // For each position, the first parameter of `source` whose name is exactly the same
    // (case-sensitive) is assigned into `Items` of that position.
    void AssignValues(const TParams& source);
    bool IsEqual(const TParams& other) const;

    // The stored "Data" form. `WriteData` writes version 1 (one-byte name lengths, two-byte
    // counts and sizes, little-endian) at the stream's position; data of more than 2048
    // bytes, names of more than 255 bytes and more than 65535 parameters cannot be written
    // and fail before anything is written. `ReadData` reads versions 1 and 2 from the
    // stream's position and replaces the list; a stored form that is cut short, names an
    // unknown type or holds more than 2048 bytes of data fails and leaves the list as it was.
    void WriteData(TStream& stream) const;
    void ReadData(TStream& stream);
    // Whether a stored definition carries "Data": the list differs from its ancestor's, or,
    // without an ancestor, it is not empty.
    bool ShouldStoreData(const TParams* ancestor) const;
    // The one stored property, the binary "Data": ReadData and WriteData, stored when
    // ShouldStoreData says so for the filer's ancestor (a TParams, or none).
    void DefineProperties(TFiler& filer) override;

private:
    std::vector<std::unique_ptr<TParam>> items_;
};

// Finds the names that follow `marker` in SQL text and, when `list` is given, appends one
// parameter (ftUnknown, ptUnknown) per occurrence, in text order. Text between apostrophes,
// double quotes or number signs names nothing; a doubled marker names nothing; a name ends at
// a space, comma, semicolon, closing parenthesis, CR, LF or the end of the text, and may be
// written as a quoted literal (:'first name'). The text ends at its first zero byte.
void ParseSQLNames(TParams* list, std::string_view text, char marker);

}  // namespace pavana
