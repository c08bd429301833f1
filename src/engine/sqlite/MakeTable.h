// Make-table queries (SELECT ... INTO newtable). The dialect prints one as SQLite's
// CREATE TABLE "newtable" AS SELECT ...; run that way, SQLite would give the new fields only
// the affinity of their values, so that a date would read as a number and text would compare
// with regard to case. RunMakeTable instead declares each new field with the declared type
// of the field it is taken from (text and memo with the engine's collation, sized text with
// its size check), as the platform's new fields inherit type and size; a computed column
// gets no declared type, as SQLite gives it. Keys, indexes, defaults and required settings
// are not carried over.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <string>

namespace pavana::engine::sqlite {

// Whether `sql` (printed by the dialect) is a make-table query.
bool MakesTable(const std::string& sql);

// Creates and fills the table of the make-table query `sql` on `db`, all or nothing, and
// returns the number of rows it got. `bind` binds the query's parameters on the prepared
// SELECT. A failure of SQLite raises SqliteFailure with its code and message.
std::int64_t RunMakeTable(sqlite3* db, const std::string& sql, const std::function<void(sqlite3_stmt*)>& bind);

}  // namespace pavana::engine::sqlite
