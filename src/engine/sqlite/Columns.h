// How engine field types map onto SQLite: the type of a declared column or a PARAMETERS
// type word, reading a column as a variant of its field type, binding a variant, and
// converting a parameter's value to its declared type. docs/storage.md describes the
// stored forms these routines read and write.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sqlite/StoreConversion.h"
#include "rtl/FormatSettings.h"
#include "rtl/Variant.h"

namespace pavana::engine::sqlite {

struct ColumnType {
    std::int32_t type = 0;  // DataTypeEnum
    std::int32_t size = 0;  // Field.Size
    bool counter = false;   // COUNTER / AUTOINCREMENT
};

// The type of a declared column type: a Jet type word or synonym with an optional "(n)"
// ("TEXT(50)", "LONG", "YESNO") or one of SQLite's own names ("INTEGER", "REAL", "BLOB");
// nothing when the declaration is empty or unknown. A bare "TEXT" is SQLite's unbounded
// text and reads as a memo; Jet's sized text is always declared with its size.
std::optional<ColumnType> TypeOfDeclaration(std::string_view declaration);
// The type of a column without a declaration (an expression), from the SQLite storage class
// of its first value.
ColumnType TypeOfStorageClass(int storageClass);
// The type of a PARAMETERS type word; an empty or unknown word is text.
std::int32_t TypeOfParameterWord(std::string_view word);

// Column `column` of the statement's current row as a value of field type `type`; a whole
// number in a Currency column is a scaled amount when `currency` says so. A stored value that
// does not have the field's form (text in a numeric column) is given as it is, never dropped.
Variant ReadColumn(sqlite3_stmt* statement, int column, std::int32_t type, CurrencyStorage currency);
// Binds `value` to parameter `index` (1-based) in its stored form; a currency amount as a
// number (parameters compare with amounts).
void BindVariant(sqlite3_stmt* statement, int index, const Variant& value);
// Binds `value`, converted to the field type of the column it is written into
// (ConvertToFieldType), in the column's stored form: a currency amount scaled when `currency`
// says so, anything else as BindVariant does.
void BindStored(sqlite3_stmt* statement, int index, const Variant& value, CurrencyStorage currency);
// The names of the columns of `table` on `db` in their order; empty when there is no such table.
std::vector<std::string> ColumnNames(sqlite3* db, const std::string& table);
// `value` converted to field type `type` (text read with `settings`); Null and Empty stay as
// they are. Raises EConvertError when the value has no such form.
Variant ConvertToFieldType(const Variant& value, std::int32_t type, const FormatSettings& settings);

}  // namespace pavana::engine::sqlite
