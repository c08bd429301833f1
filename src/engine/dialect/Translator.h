// The Jet SQL front: turns one statement of the Access/Jet dialect into SQLite SQL.
//
// `Translate` lexes and parses the text into a tree and prints the tree for SQLite. It never
// splices values into the text: every parameter becomes a numbered SQLite parameter.
// A failure to understand the text raises `SyntaxError`, whose message and error number are
// the engine's own (for example 3134 "Syntax error in INSERT INTO statement.").
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "rtl/Exceptions.h"

namespace pavana::engine::dialect {

// What kind of statement was translated; the engine executes action and definition
// statements and opens recordsets on queries.
enum class StatementKind { Query, Action, Definition };

// One name of the PARAMETERS clause, in the order written.
struct DeclaredParameter {
    std::string name;      // as written, without brackets
    std::string typeWord;  // the type word upper-cased ("LONG", "TEXT", ...); empty when none
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
};

// The text could not be parsed; `Number()` is the engine's error number of the message.
class SyntaxError : public Exception {
public:
    SyntaxError(std::string message, int number) : Exception(std::move(message)), number_(number) {}
    int Number() const noexcept { return number_; }

private:
    int number_;
};

Translation Translate(std::string_view jetSql);

}  // namespace pavana::engine::dialect
