// The engine's syntax messages and their error numbers, shared by the lexer and the parser.
#pragma once

#include <string>
#include <string_view>

#include "engine/dialect/Translator.h"

namespace pavana::engine::dialect::messages {

struct Message {
    int number;
    const char* text;
};

inline constexpr Message kInvalidStatement{
    3129, "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'."};
inline constexpr Message kDelete{3130, "Syntax error in DELETE statement."};
inline constexpr Message kFrom{3131, "Syntax error in FROM clause."};
inline constexpr Message kGroupBy{3132, "Syntax error in GROUP BY clause."};
inline constexpr Message kHaving{3133, "Syntax error in HAVING clause."};
inline constexpr Message kInsert{3134, "Syntax error in INSERT INTO statement."};
inline constexpr Message kJoin{3135, "Syntax error in JOIN operation."};
inline constexpr Message kMissingSemicolon{3137, "Missing semicolon (;) at end of SQL statement."};
inline constexpr Message kOrderBy{3138, "Syntax error in ORDER BY clause."};
inline constexpr Message kParameters{3139, "Syntax error in PARAMETER clause."};
inline constexpr Message kSelect{
    3141, "The SELECT statement includes a reserved word or an argument name that is misspelled "
          "or missing, or the punctuation is incorrect."};
inline constexpr Message kAfterEnd{3142, "Characters found after end of SQL statement."};
inline constexpr Message kUpdate{3144, "Syntax error in UPDATE statement."};
inline constexpr Message kWhere{3145, "Syntax error in WHERE clause."};
inline constexpr Message kConstraint{3289, "Syntax error in CONSTRAINT clause."};
inline constexpr Message kCreateTable{3290, "Syntax error in CREATE TABLE statement."};
inline constexpr Message kCreateIndex{3291, "Syntax error in CREATE INDEX statement."};
inline constexpr Message kFieldDefinition{3292, "Syntax error in field definition."};
inline constexpr Message kAlterTable{3293, "Syntax error in ALTER TABLE statement."};
inline constexpr Message kDrop{3295, "Syntax error in DROP TABLE or DROP INDEX."};
inline constexpr Message kCreateView{3290, "Syntax error in CREATE VIEW statement."};
inline constexpr Message kCreateProcedure{3290, "Syntax error in CREATE PROCEDURE statement."};
inline constexpr Message kDropView{3295, "Syntax error in DROP VIEW statement."};
inline constexpr Message kDropProcedure{3295, "Syntax error in DROP PROCEDURE statement."};
inline constexpr Message kExecute{3129, "Syntax error in EXECUTE statement."};
inline constexpr Message kTransform{3129, "Syntax error in TRANSFORM statement."};
inline constexpr Message kDeleteTarget{3128, "Specify the table containing the records you want to delete."};
inline constexpr Message kNotUpdatable{3073, "Operation must use an updatable query."};

inline constexpr int kQueryExpression = 3075;
inline constexpr int kBracketing = 3126;
inline constexpr int kUndefinedFunction = 3085;

[[noreturn]] inline void Raise(const Message& m) { throw SyntaxError(m.text, m.number); }

// 3075: "Syntax error (missing operator) in query expression 'a b'." and its variants
// ("Syntax error in string in query expression ...", "... in date in ...").
[[noreturn]] inline void RaiseExpression(std::string_view what, std::string_view expression) {
    throw SyntaxError("Syntax error " + std::string(what) + " in query expression '" +
                          std::string(expression) + "'.",
                      kQueryExpression);
}

[[noreturn]] inline void RaiseBracketing(std::string_view name) {
    throw SyntaxError("Invalid bracketing of name '" + std::string(name) + "'.", kBracketing);
}

[[noreturn]] inline void RaiseUndefinedFunction(std::string_view name) {
    throw SyntaxError("Undefined function '" + std::string(name) + "' in expression.",
                      kUndefinedFunction);
}

}  // namespace pavana::engine::dialect::messages
