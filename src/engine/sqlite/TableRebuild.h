// Definitions the engine carries out itself. Changes of a table that SQLite's ALTER TABLE
// cannot make in place (a column's type, a NOT
// NULL column added to rows, a key added or dropped), made by rebuilding the table.
//
// The rebuild edits the table's stored CREATE TABLE text item by item (the column being
// changed, the constraint being added or dropped; every other column and constraint stays
// as it was written), creates the new table beside the old one, copies every row with its
// rowid (converting the values of a changed column to its new type), drops the old table,
// gives the new one its name, and then recreates the old table's indexes and triggers and
// carries its counter's next value over. Foreign keys are switched off around the work and
// checked after it.
//
// The whole change is one savepoint: a value that cannot take the new type (3421 "Data type
// conversion error."), a number out of its range (3349), a text too long (3163), a Null in a
// required field (3314) or a broken relationship (3201) leaves the table as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/dialect/Translator.h"
#include "engine/sqlite/SqliteDatabase.h"

namespace pavana::engine::sqlite {

// Runs `translation` (whose `rebuild` is set), its follow-up and metadata statements as one
// unit; raises the engine's error with `source`.
void RunRebuild(DatabaseState& state, const dialect::Translation& translation, const std::string& source);

// Rebuilds every table of the file whose definition an earlier build wrote under earlier
// storage conventions (docs/storage.md, "Files of earlier builds"), keeping its rows, indexes,
// triggers, counter and relationships; the caller holds the write transaction and has
// switched foreign keys off. A failure raises SqliteFailure or the engine's error.
void UpgradeTables(Connection& c);

// Runs a make-table query (`translation.makeTable` is set) with `values` bound to its
// parameters: creates the table with the declared types of the query's columns (text with
// its size, its length check and the engine's case-insensitive comparison; an expression
// without a declared type takes its values' types) and fills it. Returns the rows added.
// An existing table fails with 3010 "Table 'x' already exists.".
std::int32_t RunMakeTable(DatabaseState& state, const dialect::Translation& translation,
                          const std::vector<Variant>& values, const std::string& source);

}  // namespace pavana::engine::sqlite
