// Translation of SQLite's failures into the engine's errors (Jet's messages and numbers).
#pragma once

#include <cstddef>
#include <string>

#include "engine/sqlite/Sqlite.h"

namespace pavana::engine::sqlite {

// Raises the engine error for a failure of the statement `sql` (the SQLite text that ran;
// it tells a DROP TABLE from other statements and names the table of an ALTER TABLE). With
// `db`, the connection `sql` failed on, "Too few parameters" counts every unknown name of
// `sql`; without it the count is the one name SQLite reported.
[[noreturn]] void RaiseStatementError(const SqliteFailure& failure, const std::string& sql, const std::string& source,
                                      sqlite3* db = nullptr);

// The engine's messages that name a table or a count, raised from every place that needs them:
// 3010 "Table '<table>' already exists.", 3376 "Table '<table>' does not exist." and
// 3061 "Too few parameters. Expected <expected>.".
[[noreturn]] void RaiseTableExists(const std::string& table, const std::string& source);
[[noreturn]] void RaiseTableDoesNotExist(const std::string& table, const std::string& source);
[[noreturn]] void RaiseTooFewParameters(std::size_t expected, const std::string& source);

}  // namespace pavana::engine::sqlite
