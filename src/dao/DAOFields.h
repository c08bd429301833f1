// How a DAO dataset describes engine fields and converts their values.
//
// Each engine field of an open recordset has one descriptor (TDAOFieldDesc): its engine type,
// its declared size, where its slot starts in a record buffer, its attributes, its default
// text and its data size. A slot is three header bytes (fetched, modified, present) followed
// by the field's data in the native format of its field type (db/Field.h); a blob or memo
// slot keeps its value as a Variant in the record buffer's objects, at the descriptor's
// index, and its data bytes stay unused.
//
// The conversion routines are plain functions without state. They never write past the data
// they are given: a text longer than its slot is cut at a character boundary.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/DBTypes.h"
#include "rtl/DateTime.h"
#include "rtl/Variant.h"

namespace pavana {

class TDAOFieldDescs;

// Header bytes of a slot, before its data.
inline constexpr std::size_t kSlotHeaderSize = 3;
enum SlotHeader : std::size_t { shFetched = 0, shModified = 1, shPresent = 2 };

class TDAOFieldDesc {
public:
    TDAOFieldDesc(TDAOFieldDescs& owner, std::int32_t daoType, std::int32_t size, std::int32_t offset,
                  std::int32_t attributes, std::string defaultValue, std::int32_t dataSize)
        : DAOType(daoType),
          Offset(offset),
          Attributes(attributes),
          DefaultValue(std::move(defaultValue)),
          Size(size),
          DataSize(dataSize),
          owner_(owner) {}
    TDAOFieldDesc(const TDAOFieldDesc&) = delete;
    TDAOFieldDesc& operator=(const TDAOFieldDesc&) = delete;

    TDAOFieldDescs& Owner() const { return owner_; }

    std::int32_t DAOType;     // the engine's field type code
    std::int32_t Offset;      // start of the slot in a record buffer
    std::int32_t Attributes;  // the engine field's attribute bits
    std::string DefaultValue;
    std::int32_t Size;      // the size given to the field definition
    std::int32_t DataSize;  // data bytes after the slot header
    bool AllowZeroLength = false;

private:
    TDAOFieldDescs& owner_;
};

// The descriptors of one recordset, in engine field order; descriptor i is the dataset's
// data field number i + 1. Owns them.
class TDAOFieldDescs {
public:
    TDAOFieldDesc& Add(std::int32_t daoType, std::int32_t size, std::int32_t offset, std::int32_t attributes,
                       std::string defaultValue, std::int32_t dataSize);
    // Frees the descriptors, the last first.
    void Clear();
    int Count() const { return static_cast<int>(items_.size()); }
    // Fails with EListError "List index out of bounds (%d)".
    TDAOFieldDesc& Items(int index) const {
        if (index < 0 || index >= Count()) OutOfBounds(index);
        return *items_[static_cast<std::size_t>(index)];
    }

private:
    [[noreturn]] static void OutOfBounds(int index);

    std::vector<std::unique_ptr<TDAOFieldDesc>> items_;
};

// The field type of an engine type code; ftUnknown for codes without one.
TFieldType DAOTypeToFieldType(std::int32_t daoType);
// Data bytes of a slot of `type` and declared `size` (the native data size).
std::size_t SlotDataSize(TFieldType type, std::uint16_t size);

// One slot's data: `Size` bytes, and the Variant of a blob or memo slot.
struct SlotData {
    std::uint8_t* Bytes = nullptr;
    std::size_t Size = 0;
    Variant* Object = nullptr;
};

// Stores an engine value into slot data of `type`. A value of another kind than the slot's
// format (a whole number for a double slot, a 16-bit number for a 32-bit one) is converted
// by value first; one that cannot be held there, values of types it does not know, Empty and
// Null leave the data as it was.
void EngineValueToSlot(const Variant& value, const SlotData& data, TFieldType type);
// The engine value of slot data of `type` and declared size; Empty for types without one.
Variant SlotToEngineValue(const SlotData& data, TFieldType type, int declaredSize);
// Fills slot data from an engine default text, by the field's engine type. Never fails:
// a number that cannot be read gives 0; a date that cannot be read leaves the data alone.
void DefaultTextToSlot(std::string_view text, std::int32_t daoType, SlotData data);
// Reads the engine's date literal "#m/d/y[ h:n:s[ AM|PM]]#"; nothing when a part is not a
// number or out of range. A year below 30 is 20xx, 30 to 99 is 19xx.
std::optional<TDateTime> ParseDateLiteral(std::string_view text);

}  // namespace pavana
