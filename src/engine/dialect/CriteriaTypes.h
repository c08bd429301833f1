// Comparisons Jet refuses before it reads a row: a number or date column against text.
//
// Jet compares a column only with a value of its own kind. `WHERE Codigo = 'abc'` on a
// Long column fails with 3464 "Data type mismatch in criteria expression." rather than
// matching nothing, and so do `Codigo = '12'` and `Inicio = '3/15/2024'`: a text literal is
// text whatever it holds (a number is written bare, a date between `#`).
#pragma once

#include "engine/dialect/Ast.h"
#include "engine/dialect/Translator.h"

namespace pavana::engine::dialect {

// Raises SyntaxError 3464 when `statement` compares a table column whose declared type
// (through `columnTypes`) is Byte, Integer, Long, Single, Double, Currency, Decimal or
// Date/Time with a text literal, by =, <>, <, <=, >, >=, Between or In (a list), anywhere in
// the statement: criteria of SELECT, UPDATE and DELETE, join conditions, HAVING and
// sub-queries. A column of a derived table is the table column it comes from; an expression
// there, or a name no table of the query has, is left to the statement's run.
void CheckCriteriaTypes(const ast::Statement& statement, const ColumnTypeLookup& columnTypes);

}  // namespace pavana::engine::dialect
