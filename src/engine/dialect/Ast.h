// The tree of one Jet statement, as the parser builds it and the printers read it.
//
// The tree owns all of its nodes (unique_ptr children). Names are kept as written, without
// brackets; literals are kept already converted (dates as day numbers since 1899-12-30).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/dialect/JetTypes.h"

namespace pavana::engine::dialect::ast {

struct Query;

struct Expr {
    enum class Kind {
        Null,
        Integer,     // integer: value
        Real,        // text: the literal as written
        String,      // text
        Date,        // real: day number
        Boolean,     // integer: -1 or 0
        Bytes,       // text: the hexadecimal digits of a 0x... literal (an even number of them)
        Column,      // table (may be empty), name
        Star,        // table (may be empty): `*` or `t.*`
        Parameter,   // integer: 0-based position in the PARAMETERS clause
        Unary,       // op: "-", "+", "NOT"; args[0]
        Binary,      // op: upper-cased operator word or symbol; args[0], args[1]
        Like,        // negated; args[0] Like args[1]
        IsNull,      // negated; args[0]
        Between,     // negated; args[0] Between args[1] And args[2]
        InList,      // negated; args[0] In (args[1..])
        InQuery,     // negated; args[0] In (query)
        Exists,      // query
        Subquery,    // query (a scalar sub-query)
        Quantified,  // op: comparison, text: "ANY"/"ALL"; args[0] op ANY (query)
        Function,    // name as written; args; star for Count(*)
    };
    Kind kind = Kind::Null;
    std::string op;
    std::string table;
    std::string name;
    std::string text;
    std::int64_t integer = 0;
    double real = 0;
    bool negated = false;
    bool star = false;
    // The value is a date that is made text where it stands (an operand of &, the argument
    // of CStr, a value written into a text column): it is printed as Jet's general date.
    // Only the engine, which knows the schema, can tell a date column from a number; it
    // marks these before the tree is printed.
    bool dateText = false;
    // The value is a Currency amount held as a whole number of ten-thousandths, as Currency
    // columns store it: the engine marks these, from the schema, before the tree is printed.
    // Where an amount is wanted the printer divides it by 10,000.
    bool scaled = false;
    std::vector<std::unique_ptr<Expr>> args;
    std::unique_ptr<Query> query;
};
using ExprPtr = std::unique_ptr<Expr>;

// One item of a FROM clause: a table, a derived table or a join of two items.
struct TableRef {
    enum class Kind { Table, Derived, Join };
    enum class JoinType { Inner, Left, Right };
    Kind kind = Kind::Table;
    std::string name;              // Table
    std::string database;          // Table: the file of another database (IN 'file'), empty for this one
    std::string alias;             // Table, Derived
    std::unique_ptr<Query> query;  // Derived
    JoinType joinType = JoinType::Inner;
    std::unique_ptr<TableRef> left, right;  // Join
    ExprPtr on;                             // Join
    bool parenthesised = false;
};
using TableRefPtr = std::unique_ptr<TableRef>;

struct SelectItem {
    ExprPtr expr;
    std::string alias;
    // The column gives Currency and is printed scaled (see Expr::scaled).
    bool scaled = false;
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

enum class Distinct { None, Distinct, DistinctRow };

// One SELECT ... FROM ... WHERE ... GROUP BY ... HAVING, without ORDER BY.
struct SelectCore {
    Distinct distinct = Distinct::None;
    std::optional<std::int64_t> top;
    bool topPercent = false;
    std::vector<SelectItem> items;
    std::string into;          // SELECT ... INTO newtable
    std::string intoDatabase;  // SELECT ... INTO newtable IN 'file'
    std::vector<TableRefPtr> from;
    ExprPtr where;
    std::vector<ExprPtr> groupBy;
    ExprPtr having;
};

// SELECT cores joined by UNION [ALL], with the ORDER BY of the whole.
struct Query {
    std::vector<SelectCore> cores;
    std::vector<bool> unionAll;  // unionAll[i] joins cores[i] and cores[i + 1]
    std::vector<OrderItem> orderBy;
};

struct Assignment {
    std::string table;  // qualifier as written, may be empty
    std::string column;
    ExprPtr value;
};

struct Insert {
    std::string table;
    std::string database;  // INSERT INTO t IN 'file'
    std::vector<std::string> columns;
    std::vector<ExprPtr> values;   // INSERT ... VALUES
    std::unique_ptr<Query> query;  // INSERT ... SELECT
};

struct Update {
    TableRefPtr source;  // a table or a join
    std::vector<Assignment> sets;
    ExprPtr where;
};

struct Delete {
    std::string target;  // `t` of `DELETE t.* FROM`, empty for `DELETE FROM` / `DELETE *`
    bool distinctRow = false;
    std::vector<TableRefPtr> from;
    ExprPtr where;
};

enum class ConstraintKind { PrimaryKey, Unique, NotNull, ForeignKey, Check };

// What a relationship does to the related rows when a referenced record changes or goes.
enum class ReferentialAction { Refuse, Cascade, SetNull };

struct Constraint {
    std::string name;  // empty when not named
    ConstraintKind kind = ConstraintKind::PrimaryKey;
    std::vector<std::string> columns;                        // table constraints; empty on a column constraint
    std::string refTable;                                    // ForeignKey
    std::vector<std::string> refColumns;                     // ForeignKey, may be empty (the referenced key)
    ReferentialAction onUpdate = ReferentialAction::Refuse;  // ForeignKey
    ReferentialAction onDelete = ReferentialAction::Refuse;  // ForeignKey
    bool noIndex = false;
    std::shared_ptr<const Expr> check;  // Check: the condition
    std::string checkText;              // Check: the condition as written
};

struct ColumnDef {
    std::string name;
    ColumnType type;
    bool notNull = false;
    bool explicitNull = false;            // NULL was written: the column takes Null (the default anyway)
    std::vector<Constraint> constraints;  // column constraints, in order written
    // DEFAULT: a constant expression, and its text as `Field.DefaultValue` reports it (as
    // written, except that Yes/No words read True/False and dates read #m/d/yyyy#).
    ExprPtr defaultValue;
    std::string defaultText;
    // A Currency column of a database that keeps its amounts scaled (Expr::scaled): its
    // default is printed scaled. The engine marks it.
    bool scaledDefault = false;
};

struct CreateTable {
    std::string name;
    bool temporary = false;
    std::vector<ColumnDef> columns;
    std::vector<Constraint> constraints;  // table constraints
};

struct AlterTable {
    enum class Action { AddColumn, AlterColumn, DropColumn, AddConstraint, DropConstraint };
    std::string table;
    Action action = Action::AddColumn;
    ColumnDef column;       // AddColumn, AlterColumn
    std::string name;       // DropColumn, DropConstraint
    Constraint constraint;  // AddConstraint
};

struct DropTable {
    std::string name;
};

struct IndexColumn {
    std::string name;
    bool descending = false;
};

struct CreateIndex {
    std::string name;
    std::string table;
    bool unique = false;
    std::vector<IndexColumn> columns;
    bool primary = false;
    bool disallowNull = false;
    bool ignoreNull = false;
};

struct DropIndex {
    std::string name;
    std::string table;
};

struct Parameter {
    std::string name;
    std::string typeWord;
};

// CREATE VIEW name [(columns)] AS SELECT ...
struct CreateView {
    std::string name;
    std::vector<std::string> columns;  // empty: the query's own column names
    std::unique_ptr<Query> query;
    std::string text;  // the query as written, from SELECT to its end
};

// CREATE PROCEDURE, DROP PROCEDURE and EXECUTE: a stored statement the engine keeps by name.
struct Procedure {
    enum class Action { Create, Drop, Execute };
    Action action = Action::Create;
    std::string name;
    std::string text;             // Create: the statement, its parameters as a PARAMETERS clause
    std::vector<ExprPtr> values;  // Execute: constants for the parameters, in order
};

// TRANSFORM value SELECT ... GROUP BY ... PIVOT pivot IN (columns): a crosstab query, whose
// SELECT (in Statement::select) gives the row headings.
struct Crosstab {
    ExprPtr value;  // an aggregate
    ExprPtr pivot;
    std::vector<ExprPtr> columns;  // constants: one column each, in this order
};

// A whole statement: the PARAMETERS clause and exactly one of the statement members.
struct Statement {
    std::vector<Parameter> parameters;
    std::unique_ptr<Query> select;  // a SELECT (a make-table when cores[0].into is set)
    std::unique_ptr<Insert> insert;
    std::unique_ptr<Update> update;
    std::unique_ptr<Delete> del;
    std::unique_ptr<CreateTable> createTable;
    std::unique_ptr<AlterTable> alterTable;
    // ALTER TABLE t ADD a ..., b ...: the additions after the first, in order.
    std::vector<AlterTable> moreAdditions;
    std::unique_ptr<DropTable> dropTable;
    std::unique_ptr<CreateIndex> createIndex;
    std::unique_ptr<DropIndex> dropIndex;
    std::unique_ptr<CreateView> createView;
    std::unique_ptr<DropTable> dropView;  // DROP VIEW: the view's name
    std::unique_ptr<Procedure> procedure;
    std::unique_ptr<Crosstab> crosstab;  // with `select`
};

}  // namespace pavana::engine::dialect::ast
