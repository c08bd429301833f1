// The Jet SQL front: turns one statement of the Access/Jet dialect into an analysed tree, and
// the translation a back end completes with the statement's text for its target (the SQLite
// back end: sqlite/Translate.h).
// A failure to understand the text raises `SyntaxError`, whose message and error number are
// the engine's own (for example 3134 "Syntax error in INSERT INTO statement.").
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dialect/JetTypes.h"
#include "rtl/Exceptions.h"

namespace pavana::engine::dialect {

namespace ast {
struct Statement;
}

// What kind of statement was translated; the engine executes action and definition
// statements and opens recordsets on queries.
enum class StatementKind { Query, Action, Definition };

// One name of the PARAMETERS clause, in the order written.
struct DeclaredParameter {
    std::string name;      // as written, without brackets
    std::string typeWord;  // the type word upper-cased ("LONG", "TEXT", ...); empty when none
};

// A change of a table that SQLite's ALTER TABLE cannot make: the engine rebuilds the table
// from its stored definition, keeping its rows, indexes, triggers and counter.
struct TableRebuild {
    enum class Kind {
        ReplaceColumn,   // ALTER COLUMN: `column` gets `definition`; values become `type`
        AddColumn,       // ADD COLUMN that needs the rows rewritten (NOT NULL, a computed default)
        AddConstraint,   // ADD CONSTRAINT ... FOREIGN KEY: `definition` is the table constraint
        DropConstraint,  // DROP CONSTRAINT `column` (an index of that name, or a key of the table)
    };
    Kind kind = Kind::ReplaceColumn;
    std::string table;
    std::string column;      // the column, or the constraint's name for DropConstraint
    std::string definition;  // SQLite text of the column definition or table constraint
    int type = 0;            // ReplaceColumn: the DAO type code of the new column
    int size = 0;            // ReplaceColumn: its Field.Size (Text: the length limit)
};

// CREATE PROCEDURE, DROP PROCEDURE and EXECUTE, which the engine carries out itself.
struct ProcedureCall {
    enum class Action { Create, Drop, Execute };
    Action action = Action::Create;
    std::string name;
    std::string text;    // Create: the Jet statement kept, with its PARAMETERS clause
    std::string values;  // Execute: a SQLite SELECT of the values given, empty when none
};

// A table of another database that a statement reads (FROM t IN 'file'): the engine copies it
// into the temporary table `copy` for the statement and drops the copy after it.
struct ExternalTable {
    std::string database;  // the file, as written
    std::string table;
    std::string copy;  // the temporary table's name
};

struct Translation {
    StatementKind kind = StatementKind::Action;
    // One SQLite statement. The parameter declared at position i (0-based) appears as ?(i+1),
    // as often as the statement names it.
    std::string sql;
    std::vector<DeclaredParameter> parameters;
    // Statements to run after `sql`, in order and in the same transaction (the first value
    // of a counter, the triggers that keep Null out of a DISALLOW NULL index, ...).
    std::vector<std::string> followUp;
    // Statements that keep the engine's column metadata (default texts, zero-length rules)
    // in step with a definition; run after `followUp`, in the same transaction.
    std::vector<std::string> metadata;
    // Set for a definition the engine carries out itself; `sql` is then empty.
    std::optional<TableRebuild> rebuild;
    // A make-table query (SELECT ... INTO): the new table's name and the SQLite query that
    // fills it. The engine declares the new columns with the types of the query's columns,
    // so that text keeps its size and its comparison rule; `sql` is the plain SQLite form.
    std::string makeTable;
    std::string makeTableQuery;
    // The parsed statement, with the marks the schema gave it: a recordset reads its query
    // from it, a make-table query what it tells of the columns' types.
    std::shared_ptr<const ast::Statement> statement;
    // Definitions to carry out after this one, each in turn, all in one transaction (the
    // further columns and constraints of one ALTER TABLE ... ADD).
    std::vector<Translation> then;
    // Set for a procedure statement; `sql` is then empty.
    std::optional<ProcedureCall> procedure;
    // The tables of other databases the statement reads, each named once.
    std::vector<ExternalTable> external;
};

// The text could not be parsed; `Number()` is the engine's error number of the message.
class SyntaxError : public Exception {
public:
    SyntaxError(std::string message, int number) : Exception(std::move(message)), number_(number) {}
    int Number() const noexcept { return number_; }

private:
    int number_;
};

// The declared type of column `column` of table `table`, nullopt when the table has no such
// column or its declaration names no type.
using ColumnTypeLookup = std::function<std::optional<JetType>(const std::string& table, const std::string& column)>;

// The names of the columns of table `table` in their order; empty when there is no such table.
using ColumnNamesLookup = std::function<std::vector<std::string>(const std::string& table)>;

// What a translation may read of the schema of the database it is made for.
struct SchemaLookup {
    ColumnTypeLookup columnType;
    ColumnNamesLookup columnNames;
    explicit operator bool() const { return static_cast<bool>(columnType); }
};

// Marks in a parsed statement what only the schema can tell (Expr::dateText), before it is
// printed.
using SchemaMarks = std::function<void(ast::Statement& statement)>;

// Parses one statement and analyses its tree: `marks` marks in it what only the schema can
// tell, and with `schema` a number or date column compared with text fails as Jet's does
// (CriteriaTypes.h). Fills `statement` and `parameters` of the translation; a back end prints
// the statement for its target and fills the rest.
Translation Analyse(std::string_view jetSql, const SchemaLookup& schema = {}, const SchemaMarks& marks = {});

}  // namespace pavana::engine::dialect
