// Prints a statement tree as SQLite SQL.
//
// Identifiers are always double-quoted. Operators whose meaning differs from SQLite's
// (& + / \ Mod ^ Like Xor Eqv Imp) become calls of the functions `RegisterJetFunctions`
// installs; comparisons and logical operators stay native in conditions and yield -1/0
// where a value is wanted. An index `i` of table `t` is named "t.i" in SQLite (index names
// are per table in the dialect, per database in SQLite). Failures raise `SyntaxError`.
#pragma once

#include "engine/dialect/Ast.h"
#include "engine/dialect/Translator.h"

namespace pavana::engine::sqlite {

// The engine's table of column metadata that the SQLite schema cannot hold: one row per
// column of a table the engine made, keyed by table and column name (any case).
//   default_value      the DEFAULT text as Field.DefaultValue reports it; Null when none
//   allow_zero_length  the AllowZeroLength property, -1 or 0 (0 for every column a statement
//                      defines, as Jet reports for them; Jet does not enforce that 0, and
//                      neither does the engine)
inline constexpr const char* kColumnMetadataTable = "pavana_columns";
inline constexpr const char* kCreateColumnMetadata =
    "CREATE TABLE IF NOT EXISTS pavana_columns (table_name TEXT NOT NULL COLLATE NOCASE, "
    "column_name TEXT NOT NULL COLLATE NOCASE, default_value TEXT, allow_zero_length INTEGER NOT NULL "
    "DEFAULT 0, PRIMARY KEY (table_name, column_name)) WITHOUT ROWID";

// The engine's sequences of the counters that are not their table's rowid (a counter inside a
// primary key of several columns): one row per table, keyed by its name (any case), holding the
// highest number the counter has given or been given. The trigger "<table>.<column>.counter"
// numbers a row from it.
inline constexpr const char* kCounterTable = "pavana_counters";

// The SQLite name of a CHECK constraint is this prefix, the table's name, "|" and the rule's
// name (the condition as written when the statement named none).
inline constexpr const char* kCheckPrefix = "pavana_check|";
inline constexpr const char* kCreateCounters =
    "CREATE TABLE IF NOT EXISTS pavana_counters (table_name TEXT NOT NULL COLLATE NOCASE PRIMARY KEY, "
    "seq INTEGER NOT NULL) WITHOUT ROWID";

// Fills `sql`, `kind`, `followUp`, `metadata` and `rebuild` of `out` from `statement`;
// `schema` as for Translate.
void PrintForSqlite(const dialect::ast::Statement& statement, dialect::Translation& out,
                    const dialect::SchemaLookup& schema = {});

// A crosstab query that does not write its column values (PIVOT expression without IN) can
// be printed only once they are filled in, in order, from the data: this is the query that
// gives them, each once, sorted. Printing the crosstab before fails with
// kCrosstabValuesNeeded.
inline constexpr const char* kCrosstabValuesNeeded =
    "This crosstab query needs its column values: write them after PIVOT (PIVOT expression IN "
    "(value1, value2, ...)).";
std::string CrosstabValuesSql(const dialect::ast::Statement& statement);

// The SQLite name of index `index` of table `table`.
std::string SqliteIndexName(std::string_view table, std::string_view index);

}  // namespace pavana::engine::sqlite
