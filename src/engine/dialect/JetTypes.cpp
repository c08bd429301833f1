#include "engine/dialect/JetTypes.h"

#include <array>

#include "rtl/Strings.h"

namespace pavana::engine::dialect {
namespace {

struct TypeWord {
    const char* word;
    JetType type;
    bool counter;
};

// Every type word of the dialect and its synonyms. A bare NUMERIC follows the DAO (ANSI-89)
// reading, a Double (NUMERIC(p, s) is a Decimal: the parser sees to it); DECIMAL and DEC name
// the Decimal type.
constexpr std::array<TypeWord, 46> kTypeWords{{
    {"TEXT", JetType::Text, false},         {"ALPHANUMERIC", JetType::Text, false},
    {"CHAR", JetType::Text, false},         {"CHARACTER", JetType::Text, false},
    {"STRING", JetType::Text, false},       {"VARCHAR", JetType::Text, false},
    {"NCHAR", JetType::Text, false},        {"NVARCHAR", JetType::Text, false},
    {"LONGTEXT", JetType::Memo, false},     {"MEMO", JetType::Memo, false},
    {"LONGCHAR", JetType::Memo, false},     {"NOTE", JetType::Memo, false},
    {"NTEXT", JetType::Memo, false},        {"BYTE", JetType::Byte, false},
    {"INTEGER1", JetType::Byte, false},     {"TINYINT", JetType::Byte, false},
    {"SHORT", JetType::Integer, false},     {"SMALLINT", JetType::Integer, false},
    {"INTEGER2", JetType::Integer, false},  {"LONG", JetType::Long, false},
    {"INTEGER", JetType::Long, false},      {"INT", JetType::Long, false},
    {"INTEGER4", JetType::Long, false},     {"COUNTER", JetType::Long, true},
    {"AUTOINCREMENT", JetType::Long, true}, {"SINGLE", JetType::Single, false},
    {"REAL", JetType::Single, false},       {"FLOAT4", JetType::Single, false},
    {"IEEESINGLE", JetType::Single, false}, {"DOUBLE", JetType::Double, false},
    {"FLOAT", JetType::Double, false},      {"FLOAT8", JetType::Double, false},
    {"IEEEDOUBLE", JetType::Double, false}, {"NUMBER", JetType::Double, false},
    {"NUMERIC", JetType::Double, false},    {"CURRENCY", JetType::Currency, false},
    {"MONEY", JetType::Currency, false},    {"DATETIME", JetType::Date, false},
    {"DATE", JetType::Date, false},         {"TIME", JetType::Date, false},
    {"BIT", JetType::Boolean, false},       {"BOOLEAN", JetType::Boolean, false},
    {"LOGICAL", JetType::Boolean, false},   {"LOGICAL1", JetType::Boolean, false},
    {"YESNO", JetType::Boolean, false},     {"IDENTITY", JetType::Long, true},
}};

constexpr std::array<TypeWord, 10> kMoreTypeWords{{
    {"BINARY", JetType::Binary, false},
    {"VARBINARY", JetType::Binary, false},
    {"LONGBINARY", JetType::LongBinary, false},
    {"OLEOBJECT", JetType::LongBinary, false},
    {"GENERAL", JetType::LongBinary, false},
    {"IMAGE", JetType::LongBinary, false},
    {"GUID", JetType::Guid, false},
    {"UNIQUEIDENTIFIER", JetType::Guid, false},
    {"DECIMAL", JetType::Decimal, false},
    {"DEC", JetType::Decimal, false},
}};

}  // namespace

std::optional<ColumnType> TypeFromWord(std::string_view word) {
    auto make = [](const TypeWord& w) {
        ColumnType t;
        t.type = w.type;
        t.counter = w.counter;
        if (w.type == JetType::Text) t.size = 255;
        if (w.type == JetType::Binary) t.size = 510;
        if (w.type == JetType::Decimal) t.precision = 18;
        return t;
    };
    for (const auto& w : kTypeWords)
        if (SameAsciiText(word, w.word)) return make(w);
    for (const auto& w : kMoreTypeWords)
        if (SameAsciiText(word, w.word)) return make(w);
    return std::nullopt;
}

int FieldSize(const ColumnType& type) {
    switch (type.type) {
        case JetType::Boolean:
        case JetType::Byte: return 1;
        case JetType::Integer: return 2;
        case JetType::Long:
        case JetType::Single: return 4;
        case JetType::Currency:
        case JetType::Double:
        case JetType::Date: return 8;
        case JetType::Text:
        case JetType::Binary: return type.size;
        case JetType::Guid: return 16;
        case JetType::Decimal: return 16;
        case JetType::LongBinary:
        case JetType::Memo: return 0;
    }
    return 0;
}

int FieldAttributes(const ColumnType& type) {
    int attributes = kUpdatableField;
    switch (type.type) {
        case JetType::Text:
        case JetType::Memo:
        case JetType::Binary:
        case JetType::LongBinary: attributes |= kVariableField; break;
        default: attributes |= kFixedField; break;
    }
    if (type.counter) attributes = (attributes & ~kUpdatableField) | kAutoIncrField;
    return attributes;
}

}  // namespace pavana::engine::dialect
