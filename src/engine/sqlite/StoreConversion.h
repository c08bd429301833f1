// The conversion of a value written into a table column to the column's stored form, as Jet
// converts what a statement writes into a field.
//
// `RegisterStoreConversion` installs the SQL functions of the conversion on a connection
// (RegisterJetFunctions does it with the other functions): `pavana_store(value, table,
// column)`, which looks the column up (by its name or its 0-based position in the table) once
// per statement, for statements translated without the schema, and one function per type,
// `pavana_store_long(value)` and so on (StoreFunction), for statements translated with it.
// The dialect's INSERT and UPDATE statements pass every value they write through one of
// them, unless the value already has its column's stored form. The column's declared type
// decides (docs/storage.md, "Column types"):
//   Byte, Integer, Long   a number, or text that reads as one, rounded half to even
//   Single, Double        a number or numeric text
//   Currency              the same, rounded half to even to 4 decimals, and stored as a
//                         whole number of ten-thousandths (the amount itself in files of
//                         earlier builds, CurrencyStorage::Amount)
//   Date                  a day number, or text that reads as a date or a number
//   Yes/No                -1 for any non-zero number (or "True"), 0 for zero, "False" or Null
//   Text, Memo            a real number as CStr writes it under the format settings
// Null stays Null in the other types, and every other type (binary, an unknown declaration)
// takes the value as it is. A value that cannot convert fails the statement with "Data type
// mismatch in criteria expression." (3464), a number beyond the type's range with "Numeric
// field overflow." (3349); the row is then not written.
#pragma once

#include <sqlite3.h>

#include <optional>
#include <string_view>

#include "engine/dialect/JetTypes.h"

namespace pavana::engine::sqlite {

// How the Currency columns of a database hold their amounts: scaled by 10,000 as whole
// numbers, or (files of earlier builds) as the amounts themselves.
enum class CurrencyStorage { Scaled, Amount };

// Also installs, for the printer's scaled currency amounts (Ast.h, Expr::scaled):
//   pavana_store_scaled(value, table, column)  a scaled amount written into a column: a
//       Currency column takes it as it is, any other column converts the amount
//   pavana_scaled(value)    a number or numeric text as a scaled amount (Null stays Null;
//       beyond the currency range it fails with "Overflow.")
//   pavana_currency(value)  the result of scaled arithmetic, failing with "Overflow." when
//       SQLite had to make a real number of it
// Throws Exception when SQLite refuses the registration.
void RegisterStoreConversion(sqlite3* db, CurrencyStorage currency);

// The function that converts a value to the stored form of a column of `type`; nullptr for
// the types whose columns take values as they are (binary, GUID, decimal).
const char* StoreFunction(dialect::JetType type);

// The type a declared column type names by its first word ("TEXT(12)" is Text, SQLite's own
// "INTEGER" and "REAL" the Jet words' Long and Single); nullopt when it names none.
std::optional<dialect::JetType> TypeOfDeclaredType(std::string_view declared);

}  // namespace pavana::engine::sqlite
