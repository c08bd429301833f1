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

namespace pavana::engine::dialect {

// Fills `sql`, `kind` and `followUp` of `out` from `statement`.
void PrintForSqlite(const ast::Statement& statement, Translation& out);

// The SQLite name of index `index` of table `table`.
std::string SqliteIndexName(std::string_view table, std::string_view index);

}  // namespace pavana::engine::dialect
