// The dialect's column types: the type words of DDL and PARAMETERS, their DAO type codes,
// sizes and attributes. The SQLite declared type each one is stored under is the back end's
// (sqlite/DeclaredTypes.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pavana::engine::dialect {

// One Jet field type; the values are the DAO `Field.Type` codes.
enum class JetType : int {
    Boolean = 1,
    Byte = 2,
    Integer = 3,  // 16-bit SHORT
    Long = 4,
    Currency = 5,
    Single = 6,
    Double = 7,
    Date = 8,
    Binary = 9,
    Text = 10,
    LongBinary = 11,
    Memo = 12,
    Guid = 15,
    Decimal = 20,
};

// DAO `Field.Attributes` bits the engine reports.
inline constexpr int kFixedField = 1;
inline constexpr int kVariableField = 2;
inline constexpr int kAutoIncrField = 16;
inline constexpr int kUpdatableField = 32;

// A column type as declared: the type and what its declaration said about it.
struct ColumnType {
    JetType type = JetType::Text;
    int size = 0;           // Text and Binary: the declared (or default) length; others 0
    int precision = 0;      // Decimal
    int scale = 0;          // Decimal
    bool counter = false;   // COUNTER / AUTOINCREMENT (type is Long)
    std::int64_t seed = 1;  // first value of a counter
    std::int64_t increment = 1;
    bool compressed = false;  // WITH COMPRESSION was written
};

// The type a type word names (any Jet type word or synonym, any case), without its size;
// nullopt when the word names no type.
std::optional<ColumnType> TypeFromWord(std::string_view word);

// The `Field.Size` a DAO field of this type reports (Text: its length; Memo, LongBinary: 0).
int FieldSize(const ColumnType& type);

// The `Field.Attributes` of a column of this type (fixed or variable, auto-increment, updatable).
int FieldAttributes(const ColumnType& type);

}  // namespace pavana::engine::dialect
