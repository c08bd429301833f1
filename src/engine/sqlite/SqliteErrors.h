// Translation of SQLite's failures into the engine's errors (Jet's messages and numbers).
#pragma once

#include <string>

#include "engine/sqlite/Sqlite.h"

namespace pavana::engine::sqlite {

// Raises the engine error for a failure of the statement `sql` (the SQLite text that ran;
// it tells a DROP TABLE from other statements and names the table of an ALTER TABLE).
[[noreturn]] void RaiseStatementError(const SqliteFailure& failure, const std::string& sql,
                                      const std::string& source);

}  // namespace pavana::engine::sqlite
