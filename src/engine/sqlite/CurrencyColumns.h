// Which result columns of a query give Currency values, read from the query's tree before any
// row is fetched.
//
// A currency amount is stored as a number, and SQLite gives a computed one (Sum(Fee),
// Fee * 2) as a plain Double: 0.1 summed three times is 0.30000000000000004. Jet types such
// expressions Currency, rounded to its 4 decimals; a recordset reports a column this finds as
// Currency and reads its values so, and a make-table query declares it CURRENCY.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/dialect/Ast.h"
#include "engine/sqlite/ResultColumnAnalysis.h"

namespace pavana::engine::sqlite {

// One flag per result column (`columnCount` of them, as SQLite reports for the query): true
// when the column's expression gives Currency or Null, and not only Null. Currency is given
// by table columns of the Currency type (`declaredType` says which) and parameters declared
// with it; CCur; Sum, Min, Max, First, Last, Abs, Int, Fix, Round and CVar of Currency; its
// negation; and +, - and * of two Currency operands or of Currency and a whole literal. A
// Currency divided, or combined with a Double, is a Double, as Jet types it.
std::vector<bool> CurrencyColumns(const dialect::ast::Statement& statement, std::size_t columnCount,
                                  const DeclaredColumnType& declaredType);

}  // namespace pavana::engine::sqlite
