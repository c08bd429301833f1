// Which result columns of a query give only whole numbers of Long range, read from the
// query's tree before any row is fetched.
//
// SQLite types an expression value by value, so the first row alone cannot tell the type of
// an expression column: IIf(N > 1, 1, 2.5) gives 1 first and 2.5 later. A recordset reports
// an expression column whose first value is whole as a Long only where this says every
// value is whole, and as a Double otherwise, so that no later value is rounded.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/dialect/Ast.h"
#include "engine/dialect/ResultColumnAnalysis.h"

namespace pavana::engine::dialect {

// One flag per result column (`columnCount` of them, as SQLite reports for the query):
// true when the column's expression is known to give whole numbers in Long range or Null.
// Literals, counts, comparisons, whole-valued built-ins and arithmetic (+, -, *) of such
// operands qualify, as do table columns of the Yes/No, Byte, Integer and Long types
// (`schema` says which) and parameters declared with those types. A column the tree
// does not tell about (the expansion of a `*` over a table, a union whose parts disagree)
// is false.
std::vector<bool> WholeNumberColumns(const ast::Statement& statement, std::size_t columnCount, SchemaView& schema);

}  // namespace pavana::engine::dialect
