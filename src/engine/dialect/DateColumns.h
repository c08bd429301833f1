// Which result columns of a query give only dates, read from the query's tree before any row
// is fetched.
//
// A date is stored as a day number, and SQLite gives a computed date as a plain number: the
// first value of Max(Dt) or Dt + 1 cannot tell a date from a count of days. A recordset
// reports a column this finds as a Date and reads its values as dates; a make-table query
// declares it DATETIME.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/dialect/Ast.h"
#include "engine/dialect/ResultColumnAnalysis.h"
#include "engine/dialect/SchemaView.h"

namespace pavana::engine::dialect {

// One flag per result column (`columnCount` of them, as SQLite reports for the query): true
// when the column's expression is known to give dates or Null, and not only Null. Dates are:
// date literals; table columns of the Date/Time type (`schema` says which) and
// parameters declared with it; Now, Date, Time, DateAdd, DateSerial, TimeSerial, DateValue,
// TimeValue, CDate and CVDate; CVar, Min, Max, First and Last of a date; IIf, Switch, Choose
// and Nz with a value for Null whose results are all dates or Null; a date plus a number
// (either way round) and a date minus a number. A date minus a date is a number of days, and
// what this does not know of keeps the type of its first value.
std::vector<bool> DateColumns(const ast::Statement& statement, std::size_t columnCount, SchemaView& schema);

// One flag per result column (`columnCount` of them): true when the column's expression is
// known to give numbers or Null, and not only Null: numeric literals and table columns and
// parameters of a numeric type; the numeric built-ins (Count, Len, CDbl, Year, ...); Sum, Avg,
// Min, Max, First, Last, Abs, Int, Fix, Round and CVar of numbers; arithmetic of numbers,
// comparisons and logical operators; a date minus a date. A recordset types such a column by
// its expression where its first value (a Null) cannot tell.
std::vector<bool> NumberColumns(const ast::Statement& statement, std::size_t columnCount, SchemaView& schema);

// Marks (Expr::dateText) the expressions of `statement` that give dates by the rules above,
// with `schema`, where their value is made text: the operands of &, the argument of
// CStr, Str and Format without a format, and a value that an INSERT (VALUES or SELECT) or an
// UPDATE writes into a Text or Memo column. Each expression is judged with the sources of its
// own place in the tree (a sub-query sees the sources of the queries around it); a statement
// with no such place costs one walk of its tree.
void MarkDatesMadeText(ast::Statement& statement, SchemaView& schema);

}  // namespace pavana::engine::dialect
