// Field objects, field definitions and the field list of a dataset.
//
// A field object reads and writes one column of its dataset's current record. It keeps no
// value of its own: every read asks the dataset for the field's data in the field's native
// format (below) and every write hands the dataset data in that format, so the dataset
// decides where values live. A field is a component: persistent fields belong to whoever
// created them (a form, a data module) and attach to a dataset with `SetDataSet`; default
// fields, made from the field definitions when a dataset without persistent fields opens,
// belong to the dataset and go when it closes.
//
// Native data formats (NativeDataSize bytes):
//   ftString                 size × 3 + 1: UTF-8 text, zero-terminated (3 bytes cover any
//                            character the engine counts as one)
//   ftSmallint, ftWord       2: signed / unsigned 16-bit
//   ftBoolean                2: 16-bit, non-zero is true
//   ftInteger, ftAutoInc     4: signed 32-bit
//   ftLargeint               8: signed 64-bit
//   ftFloat, ftCurrency,
//   ftBCD                    8: IEEE double
//   ftDate                   8: the time stamp's day number in the first 4 bytes
//   ftTime                   8: the time stamp's milliseconds in the first 4 bytes
//   ftDateTime               8: the time stamp as one number of milliseconds (double)
//   ftBytes                  size (+2 spare): the bytes
//   ftVarBytes               size + 2: 16-bit length, then the bytes
//   ftBlob, ftMemo           the data is a `Variant` holding the whole value
//
// Reading a null field gives 0, "", false or 0.0; writing Empty or Null clears the field.
// Conversion failures raise EConvertError; writing a read-only field raises EDatabaseError
// "Field '%s' cannot be modified"; a value out of a field's range raises EDatabaseError
// "%s is not a valid value for field '%s'. The allowed range is %s to %s".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classes/Component.h"
#include "db/DBTypes.h"
#include "rtl/Variant.h"

namespace pavana {

class TDataSet;

// Data fields read the dataset's columns; calculated fields get their values from
// OnCalcFields; lookup fields from a record of another dataset (see TField::LookupDataSet).
enum class TFieldKind { fkData, fkCalculated, fkLookup };

// Bytes of a field's native data for a type and declared size; 0 for types without data.
std::size_t NativeDataSize(TFieldType type, int size);
// The characters a text of declared size `size` may hold before it is cut (8192 at most).
std::size_t TextCapacity(int size);

class TField : public TComponent {
public:
    using TFieldNotifyEvent = std::function<void(TField& Sender)>;

    TField(TComponent* owner, TFieldType type, int size = 0);
    // Detaches from the dataset.
    ~TField() override;

    std::string_view ClassName() const override { return "TField"; }

    TDataSet* DataSet() const { return dataSet_; }
    // Attaches to `dataSet` (appended to its field list); the dataset must be closed.
    void SetDataSet(TDataSet* dataSet);

    const std::string& FieldName() const { return fieldName_; }
    void SetFieldName(std::string name) { fieldName_ = std::move(name); }
    TFieldType DataType() const { return dataType_; }
    int Size() const { return size_; }
    void SetSize(int size) {
        size_ = size;
        dataSize_ = NativeDataSize(dataType_, size_);
    }
    // 1-based position among the dataset's data columns; 0 for a calculated field.
    int FieldNo() const { return fieldNo_; }
    TFieldKind FieldKind() const { return fieldKind_; }
    void SetFieldKind(TFieldKind kind) { fieldKind_ = kind; }
    // Calculated and lookup fields: their values live in the dataset's calculated-field area.
    bool Calculated() const { return fieldKind_ != TFieldKind::fkData; }
    bool Lookup() const { return fieldKind_ == TFieldKind::fkLookup; }
    // A lookup field shows `LookupResultField` of the first record of `LookupDataSet` whose
    // `LookupKeyFields` equal this record's `KeyFields` (";"-separated lists of one length);
    // it has no value while a key field is null or the lookup dataset is closed. The lookup
    // dataset is borrowed: when it is freed the field forgets it.
    TDataSet* LookupDataSet() const { return lookupDataSet_; }
    void SetLookupDataSet(TDataSet* dataSet);
    const std::string& KeyFields() const { return keyFields_; }
    void SetKeyFields(std::string names) { keyFields_ = std::move(names); }
    const std::string& LookupKeyFields() const { return lookupKeyFields_; }
    void SetLookupKeyFields(std::string names) { lookupKeyFields_ = std::move(names); }
    const std::string& LookupResultField() const { return lookupResultField_; }
    void SetLookupResultField(std::string name) { lookupResultField_ = std::move(name); }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool Required() const { return required_; }
    void SetRequired(bool required) { required_ = required; }
    const std::string& DisplayLabel() const { return displayLabel_; }
    void SetDisplayLabel(std::string label) { displayLabel_ = std::move(label); }
    // The label when one is set, else the field name.
    const std::string& DisplayName() const { return displayLabel_.empty() ? fieldName_ : displayLabel_; }
    // Bytes of native data (a Variant for blobs and memos).
    std::size_t DataSize() const { return dataSize_; }
    bool IsBlob() const { return dataType_ == ftBlob || dataType_ == ftMemo; }
    // Position of this calculated field's place in the dataset's calculated-field area.
    std::size_t Offset() const { return offset_; }

    bool IsNull() const;
    Variant Value() const;
    void SetValue(const Variant& value);
    virtual std::string AsString() const;
    virtual void SetAsString(std::string_view text);
    virtual std::int32_t AsInteger() const;
    virtual void SetAsInteger(std::int32_t value);
    virtual double AsFloat() const;
    virtual void SetAsFloat(double value);
    virtual bool AsBoolean() const;
    virtual void SetAsBoolean(bool value);
    virtual TDateTime AsDateTime() const;
    virtual void SetAsDateTime(TDateTime value);
    // Sets the field to no value.
    void Clear();

    // Runs before a value is stored; it sees the new value through the field and may raise
    // to refuse it (the record keeps its old value).
    TFieldNotifyEvent OnValidate;
    // Runs after a value was stored.
    TFieldNotifyEvent OnChange;

    // Native data of the current record; false when the field has no value.
    bool GetData(void* buffer) const;
    // Stores native data (null: no value) through the dataset.
    void SetData(const void* buffer);
    // Called by the dataset with the data about to be stored.
    void Validate(const void* buffer);
    // Called by the dataset after the value changed.
    void Change();

protected:
    void Notification(TComponent* component, TOperation operation) override;
    // The value of non-null native data, and native data from a non-absent value.
    virtual Variant NativeToVariant(const void* data) const = 0;
    virtual void VariantToNative(const Variant& value, void* data) const = 0;
    [[noreturn]] void RangeError(const std::string& value, const std::string& low, const std::string& high) const;

private:
    friend class TDataSet;
    friend class TFields;
    void CheckCanModify() const;
    [[noreturn]] void NoDataSet() const;

    TDataSet* dataSet_ = nullptr;
    std::string fieldName_;
    TFieldType dataType_;
    int size_;
    std::size_t dataSize_;
    int fieldNo_ = 0;
    std::size_t offset_ = 0;
    TFieldKind fieldKind_ = TFieldKind::fkData;
    bool readOnly_ = false;
    bool required_ = false;
    std::string displayLabel_;
    TDataSet* lookupDataSet_ = nullptr;
    std::string keyFields_;
    std::string lookupKeyFields_;
    std::string lookupResultField_;
    const void* validating_ = nullptr;  // the data being validated, read in place of the record's
};

class TStringField : public TField {
public:
    explicit TStringField(TComponent* owner, int size = 20) : TField(owner, ftString, size) {}
    std::string_view ClassName() const override { return "TStringField"; }
    std::string AsString() const override;

protected:
    Variant NativeToVariant(const void* data) const override;
    void VariantToNative(const Variant& value, void* data) const override;
};

// Signed 32-bit; the base of the narrower integer fields and of the auto-increment field.
class TIntegerField : public TField {
public:
    explicit TIntegerField(TComponent* owner) : TField(owner, ftInteger) {}
    std::string_view ClassName() const override { return "TIntegerField"; }

protected:
    TIntegerField(TComponent* owner, TFieldType type, std::int32_t low, std::int32_t high)
        : TField(owner, type), low_(low), high_(high) {}
    Variant NativeToVariant(const void* data) const override;
    void VariantToNative(const Variant& value, void* data) const override;

private:
    std::int32_t low_ = INT32_MIN;
    std::int32_t high_ = INT32_MAX;
};

class TSmallintField : public TIntegerField {
public:
    explicit TSmallintField(TComponent* owner) : TIntegerField(owner, ftSmallint, -32768, 32767) {}
    std::string_view ClassName() const override { return "TSmallintField"; }
};

class TWordField : public TIntegerField {
public:
    explicit TWordField(TComponent* owner) : TIntegerField(owner, ftWord, 0, 65535) {}
    std::string_view ClassName() const override { return "TWordField"; }
};

class TAutoIncField : public TIntegerField {
public:
    explicit TAutoIncField(TComponent* owner) : TIntegerField(owner, ftAutoInc, INT32_MIN, INT32_MAX) {}
    std::string_view ClassName() const override { return "TAutoIncField"; }
};

class TLargeintField : public TField {
public:
    explicit TLargeintField(TComponent* owner) : TField(owner, ftLargeint) {}
    std::string_view ClassName() const override { return "TLargeintField"; }

protected:
    Variant NativeToVariant(const void* data) const override;
    void VariantToNative(const Variant& value, void* data) const override;
};

class TBooleanField : public TField {
public:
    explicit TBooleanField(TComponent* owner) : TField(owner, ftBoolean) {}
    std::string_view ClassName() const override { return "TBooleanField"; }
    // "True" or "False"; reading accepts those and "T"/"F", "Y"/"N", "1"/"0" in any case.
    std::string AsString() const override;
    void SetAsString(std::string_view text) override;

protected:
    Variant NativeToVariant(const void* data) const override;
    void VariantToNative(const Variant& value, void* data) const override;
};

class TFloatField : public TField {
public:
    explicit TFloatField(TComponent* owner) : TField(owner, ftFloat) {}
    std::string_view ClassName() const override { return "TFloatField"; }
    double AsFloat() const override;

protected:
    TFloatField(TComponent* owner, TFieldType type) : TField(owner, type) {}
    Variant NativeToVariant(const void* data) const override;
    void VariantToNative(const Variant& value, void* data) const override;
};

// A money amount held as a double; its value is a currency variant.
class TCurrencyField : public TFloatField {
public:
    explicit TCurrencyField(TComponent* owner) : TFloatField(owner, ftCurrency) {}
    std::string_view ClassName() const override { return "TCurrencyField"; }

protected:
    Variant NativeToVariant(const void* data) const override;
};

// Date, time and date-time fields; their value is a date variant.
class TDateTimeField : public TField {
public:
    explicit TDateTimeField(TComponent* owner) : TField(owner, ftDateTime) {}
    std::string_view ClassName() const override { return "TDateTimeField"; }
    // The date (ftDate), the time (ftTime) or both, in the format settings' short forms.
    std::string AsString() const override;
    void SetAsString(std::string_view text) override;
    TDateTime AsDateTime() const override;

protected:
    TDateTimeField(TComponent* owner, TFieldType type) : TField(owner, type) {}
    TDateTime NativeToDateTime(const void* data) const;
    Variant NativeToVariant(const void* data) const override;
    void VariantToNative(const Variant& value, void* data) const override;
};

class TDateField : public TDateTimeField {
public:
    explicit TDateField(TComponent* owner) : TDateTimeField(owner, ftDate) {}
    std::string_view ClassName() const override { return "TDateField"; }
};

class TTimeField : public TDateTimeField {
public:
    explicit TTimeField(TComponent* owner) : TDateTimeField(owner, ftTime) {}
    std::string_view ClassName() const override { return "TTimeField"; }
};

// Fixed-length (ftBytes) or counted (ftVarBytes) binary data; the value is a byte array.
class TBytesField : public TField {
public:
    explicit TBytesField(TComponent* owner, int size = 16) : TField(owner, ftBytes, size) {}
    std::string_view ClassName() const override { return "TBytesField"; }
    // The bytes as they stand.
    std::string AsString() const override;

protected:
    TBytesField(TComponent* owner, TFieldType type, int size) : TField(owner, type, size) {}
    Variant NativeToVariant(const void* data) const override;
    void VariantToNative(const Variant& value, void* data) const override;
};

class TVarBytesField : public TBytesField {
public:
    explicit TVarBytesField(TComponent* owner, int size = 16) : TBytesField(owner, ftVarBytes, size) {}
    std::string_view ClassName() const override { return "TVarBytesField"; }
};

// A binary value of any length; its value is a byte array and AsString its bytes.
class TBlobField : public TField {
public:
    explicit TBlobField(TComponent* owner) : TField(owner, ftBlob) {}
    std::string_view ClassName() const override { return "TBlobField"; }
    std::string AsString() const override;
    void SetAsString(std::string_view text) override;

protected:
    TBlobField(TComponent* owner, TFieldType type) : TField(owner, type) {}
    Variant NativeToVariant(const void* data) const override;
    void VariantToNative(const Variant& value, void* data) const override;
};

// A text of any length; its value is a string.
class TMemoField : public TBlobField {
public:
    explicit TMemoField(TComponent* owner) : TBlobField(owner, ftMemo) {}
    std::string_view ClassName() const override { return "TMemoField"; }

protected:
    Variant NativeToVariant(const void* data) const override;
};

// A new field object of the class that serves `type`, or null for a type without one.
std::unique_ptr<TField> CreateFieldOfType(TFieldType type, int size);

// The description of one column, as the dataset reports it when it opens.
struct TFieldDef {
    std::string Name;
    TFieldType DataType = ftUnknown;
    int Size = 0;
    bool Required = false;
    int FieldNo = 0;  // 1-based
};

class TFieldDefs {
public:
    void Clear() { items_.clear(); }
    // Appends a definition numbered after the last one.
    void Add(std::string name, TFieldType type, int size, bool required);
    int Count() const { return static_cast<int>(items_.size()); }
    const TFieldDef& Items(int index) const;
    // The definition of that name (ignoring case), or null.
    const TFieldDef* Find(std::string_view name) const;

private:
    std::vector<TFieldDef> items_;
};

// The field objects of a dataset in their order. Borrowed, except the default fields,
// which the dataset owns through this list.
class TFields {
public:
    int Count() const { return static_cast<int>(fields_.size()); }
    TField& operator[](int index) const;
    // The field of that name (ignoring case), or null.
    TField* FindField(std::string_view name) const;

private:
    friend class TDataSet;
    friend class TField;
    void Add(TField& field) { fields_.push_back(&field); }
    void Remove(TField& field);

    std::vector<TField*> fields_;
    std::vector<std::unique_ptr<TField>> defaults_;
};

}  // namespace pavana
