// The SQLite schema's form of the dialect's column types.
#pragma once

#include <string>
#include <string_view>

#include "engine/dialect/JetTypes.h"

namespace pavana::engine::sqlite {

// The declared type printed into the SQLite schema: the Jet name, chosen so that SQLite's
// affinity rules keep the values as the engine stores them (text stays text, and so on).
std::string SqliteDeclaredType(const dialect::ColumnType& type);

// The CHECK constraints printed after the declared type of a column of `type` (named by
// `quotedColumn`, already quoted) that keep values of another kind out of it, after SQLite's
// affinity has turned numeric text into a number: "pavana_type" refuses what is no number
// (no whole number for Byte, Integer and Long; anything but -1 and 0 for Yes/No),
// "pavana_range" a number beyond the type's range. Empty for types without such checks (text,
// binary, GUID, decimal).
std::string SqliteTypeChecks(dialect::JetType type, std::string_view quotedColumn);

}  // namespace pavana::engine::sqlite
