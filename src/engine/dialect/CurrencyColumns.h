// Which result columns of a query give Currency values, read from the query's tree before any
// row is fetched.
//
// Jet types such expressions (Sum(Fee), Fee * 2) Currency, exact to its 4 decimals; a
// recordset reports a column this finds as Currency and reads its values so, and a make-table
// query declares it CURRENCY. A Currency column holds its amounts as whole numbers of
// ten-thousandths (docs/storage.md); MarkScaledCurrency marks the expressions that give them
// so, which the printer keeps whole, and the result columns it prints in that form.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/dialect/Ast.h"
#include "engine/dialect/ResultColumnAnalysis.h"

namespace pavana::engine::dialect {

// One flag per result column (`columnCount` of them, as SQLite reports for the query): true
// when the column's expression gives Currency or Null, and not only Null. Currency is given
// by table columns of the Currency type (`schema` says which) and parameters declared
// with it; CCur; Sum, Min, Max, First, Last, Abs, Int, Fix, Round and CVar of Currency; its
// negation; and +, - and * of two Currency operands or of Currency and a whole literal. A
// Currency divided, or combined with a Double, is a Double, as Jet types it.
std::vector<bool> CurrencyColumns(const ast::Statement& statement, std::size_t columnCount, SchemaView& schema);

// Marks (Expr::scaled, SelectItem::scaled) the expressions and result columns of `statement`
// that give scaled currency amounts, with `schema` (whose Currency columns hold them scaled). Scaled are Currency table
// columns, the columns of derived tables printed scaled and scalar sub-queries of one; their negation; + and - of two
// scaled amounts or of one and a whole literal; * of one and a whole literal; and Sum, Min, Max, First, Last and Abs of
// one. Each result column of every query that CurrencyColumns would find Currency (in every
// part of a union) is printed scaled, whatever its expression, so that a reader of a Currency
// column always reads scaled amounts; other columns give amounts. An INSERT of a query
// without a column list into a table with a Currency column, or of scaled amounts, is given
// the table's column list, so that each value is converted on its way in.
//
// A query stored as a view (`stored`) is read later as a table, whose columns SQLite types
// only when they are plain columns: of its own result columns only those give scaled amounts,
// every other one the amount.
void MarkScaledCurrency(ast::Statement& statement, SchemaView& schema, bool stored = false);

}  // namespace pavana::engine::dialect
