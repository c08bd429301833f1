// What a recordset is opened on: the parsed Jet query, the values of its parameters, and the
// SQLite statements a cursor derives from it.
//
// A query that reads one table (no join, grouping, DISTINCT or union) has a base table, and a
// cursor over it can be keyset-driven: the keyset statement gives each row's rowid as an
// extra last column, and the row statement reads the query's columns of one rowid. Filter
// and sort texts and search criteria are Jet expressions, parsed by the dialect and printed
// for SQLite, never spliced into SQL text. Failures to parse raise the engine's syntax error.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/dialect/Ast.h"
#include "engine/sqlite/StoreConversion.h"
#include "rtl/Variant.h"

namespace pavana::engine::sqlite {

// The name of the key column the keyset statement appends.
inline constexpr const char* kKeyColumn = "pavana_key";

class RecordsetSource {
public:
    // The query of a translated statement (Translation::statement, its dates made text
    // marked); `values` are the values of its PARAMETERS, in order. A statement that is not a
    // query raises 3219 "Invalid operation.". When the Currency columns of `db` keep `currency`
    // scaled, every statement printed from it is marked for its scaled amounts
    // (MarkScaledCurrency): the query narrowed by a filter or a search is judged afresh.
    RecordsetSource(std::shared_ptr<const dialect::ast::Statement> statement, std::vector<Variant> values,
                    const std::string& errorSource, sqlite3* db, CurrencyStorage currency);
    ~RecordsetSource();
    RecordsetSource(const RecordsetSource&) = delete;
    RecordsetSource& operator=(const RecordsetSource&) = delete;

    const std::vector<Variant>& Values() const { return values_; }
    // The number of declared parameters: the row statement's key is parameter Count + 1.
    int ParameterCount() const { return static_cast<int>(statement_->parameters.size()); }

    // The parsed query.
    const dialect::ast::Statement& Parsed() const { return *statement_; }
    // The query as SQLite SQL.
    std::string Sql() const;
    // The single table the rows come from, as written; empty when there is none.
    const std::string& BaseTable() const { return baseTable_; }
    // True for "SELECT * FROM table" and nothing more: a whole table in its own order.
    bool WholeTable() const;
    // Keyset and row statements; only for a source with a base table.
    std::string KeysetSql() const;
    std::string RowSql() const;
    // Whether the query gives its own order (ORDER BY).
    bool HasOrder() const { return !statement_->select->orderBy.empty(); }
    // For a keyset read in key order: the keys of the rows whose key lies in
    // (?(ParameterCount + 1), ?(ParameterCount + 2)], in key order, and the keyset statement
    // for the rows after key ?(ParameterCount + 1).
    std::string KeyRangeSql() const;
    std::string KeysetAfterSql() const;

    // A source restricted by `filter` and ordered by `sort` (either may be empty): the
    // filter joins the query's own condition and the sort replaces its order when the
    // query reads one table; any other query becomes a derived table of the new one.
    std::unique_ptr<RecordsetSource> Narrowed(const std::string& filter, const std::string& sort) const;

    // Search criteria parsed as a condition (raises the engine's syntax error).
    static dialect::ast::ExprPtr ParseCriteria(const std::string& criteria);
    // The key of the first row, in the query's order, of the rows that meet `condition`
    // (key as the last column); nothing for a query with TOP, where adding a condition
    // would change which rows take part. `inKeyOrder` asks for the first in key order, for a
    // query without an order of its own that is read in key order: the condition could
    // otherwise lead SQLite to an index that gives the rows in another order.
    std::optional<std::string> FirstMatchSql(const dialect::ast::Expr& condition, bool inKeyOrder) const;
    // A statement giving a row when the row of key ?(ParameterCount + 1) meets `condition`.
    std::string RowMatchSql(const dialect::ast::Expr& condition) const;
    // A statement giving a row when the values bound to ?1..?n, named `columns` (text ones
    // compared as the engine compares text), meet `condition`.
    static std::string ValuesMatchSql(const dialect::ast::Expr& condition, const std::vector<std::string>& columns,
                                      const std::vector<bool>& textColumns);

private:
    RecordsetSource(std::shared_ptr<const dialect::ast::Statement> statement, std::vector<Variant> values, sqlite3* db,
                    CurrencyStorage currency);
    void FindBaseTable();
    std::string Print(const dialect::ast::Query& query) const;

    std::shared_ptr<const dialect::ast::Statement> statement_;
    std::vector<Variant> values_;
    sqlite3* db_ = nullptr;
    CurrencyStorage currency_ = CurrencyStorage::Amount;
    std::string baseTable_;
    std::string baseReference_;  // the alias of the base table, or its name
};

}  // namespace pavana::engine::sqlite
