// Relationships (REFERENCES constraints, kept as SQLite foreign keys) as Jet keeps them:
// checked when they are declared and when a table they join is dropped, and broken rows
// reported with the table that holds the related records.
#pragma once

#include <string>

#include "engine/sqlite/Sqlite.h"

namespace pavana::engine::sqlite {

// Raises the engine's error when a relationship `table` declares cannot be kept: its table
// does not exist (3376 "Table 'x' does not exist."), it names no columns and that table has
// no primary key (3373), or the columns it names are not exactly the columns of the table's
// primary key or of one of its unique indexes (3374 "The specified fields are not uniquely
// indexed in table 'x'."). Run inside the definition's transaction, so that the failure
// leaves the schema as it was.
void CheckDeclaredRelationships(Connection& connection, const std::string& table, const std::string& source);

// Raises 3281 "Cannot delete this index or table. …" when a relationship of another table
// refers to `table`; a table's relationships with itself do not keep it.
void CheckDroppable(Connection& connection, const std::string& table, const std::string& source);

// Raises the error of `statement`, a write that failed because it broke a relationship
// (SQLITE_CONSTRAINT_FOREIGNKEY): 3201 "You cannot add or change a record because a related
// record is required in table '<parent>'." for a row written without its related record,
// 3200 "The record cannot be deleted or changed because table '<child>' includes related
// records." for a row deleted or changed while others refer to it. SQLite does not say which
// relationship failed, so the statement is run again, its values still bound, with the
// checks deferred, inside a savepoint that is then rolled back, and the relationships of the
// table it writes are checked.
[[noreturn]] void RaiseBrokenRelationship(Connection& connection, Statement& statement, const std::string& source);

// Steps `statement`, a write, to its end; one that breaks a relationship raises
// RaiseBrokenRelationship's error, any other failure SqliteFailure.
void RunWrite(Connection& connection, Statement& statement, const std::string& source);

// The table a SQLite statement the engine printed writes, defines or drops: the first
// double-quoted name of `sql` (INSERT INTO "t", UPDATE "t", DELETE FROM "t",
// CREATE TABLE "t", ALTER TABLE "t", DROP TABLE "t").
std::string StatementTable(const std::string& sql);

}  // namespace pavana::engine::sqlite
