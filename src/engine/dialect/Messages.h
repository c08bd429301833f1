// The engine's syntax messages (kEngineMessages) and their error numbers, as the lexer and the
// parser raise them.
#pragma once

#include <string>
#include <string_view>

#include "engine/EngineError.h"
#include "engine/dialect/Translator.h"

namespace pavana::engine::dialect::messages {

struct Message {
    JetError number;
    const char* text;
};

constexpr Message Fixed(JetError number) { return {number, EngineMessage(number)}; }

inline constexpr Message kInvalidStatement = Fixed(jetInvalidSqlStatement);
inline constexpr Message kDelete = Fixed(jetSyntaxDelete);
inline constexpr Message kFrom = Fixed(jetSyntaxFrom);
inline constexpr Message kGroupBy = Fixed(jetSyntaxGroupBy);
inline constexpr Message kHaving = Fixed(jetSyntaxHaving);
inline constexpr Message kInsert = Fixed(jetSyntaxInsert);
inline constexpr Message kJoin = Fixed(jetSyntaxJoin);
inline constexpr Message kMissingSemicolon = Fixed(jetMissingSemicolon);
inline constexpr Message kOrderBy = Fixed(jetSyntaxOrderBy);
inline constexpr Message kParameters = Fixed(jetSyntaxParameters);
inline constexpr Message kSelect = Fixed(jetSyntaxSelect);
inline constexpr Message kAfterEnd = Fixed(jetCharactersAfterEnd);
inline constexpr Message kUpdate = Fixed(jetSyntaxUpdate);
inline constexpr Message kWhere = Fixed(jetSyntaxWhere);
inline constexpr Message kConstraint = Fixed(jetSyntaxConstraint);
inline constexpr Message kCreateTable = Fixed(jetSyntaxCreateTable);
inline constexpr Message kCreateIndex = Fixed(jetSyntaxCreateIndex);
inline constexpr Message kFieldDefinition = Fixed(jetSyntaxFieldDefinition);
inline constexpr Message kAlterTable = Fixed(jetSyntaxAlterTable);
inline constexpr Message kDrop = Fixed(jetSyntaxDrop);
// The refusals of the statements Jet reads only through OLE DB name the statement written,
// under the number of the nearest statement kind.
inline constexpr Message kCreateView{jetSyntaxCreateTable, "Syntax error in CREATE VIEW statement."};
inline constexpr Message kCreateProcedure{jetSyntaxCreateTable, "Syntax error in CREATE PROCEDURE statement."};
inline constexpr Message kDropView{jetSyntaxDrop, "Syntax error in DROP VIEW statement."};
inline constexpr Message kDropProcedure{jetSyntaxDrop, "Syntax error in DROP PROCEDURE statement."};
inline constexpr Message kExecute{jetInvalidSqlStatement, "Syntax error in EXECUTE statement."};
inline constexpr Message kTransform{jetInvalidSqlStatement, "Syntax error in TRANSFORM statement."};
inline constexpr Message kDeleteTarget = Fixed(jetDeleteTarget);
inline constexpr Message kNotUpdatable = Fixed(jetNotUpdatableQuery);

inline constexpr int kQueryExpression = 3075;
inline constexpr int kBracketing = 3126;
inline constexpr int kUndefinedFunction = 3085;

[[noreturn]] inline void Raise(const Message& m) { throw SyntaxError(m.text, m.number); }

// 3075: "Syntax error (missing operator) in query expression 'a b'." and its variants
// ("Syntax error in string in query expression ...", "... in date in ...").
[[noreturn]] inline void RaiseExpression(std::string_view what, std::string_view expression) {
    throw SyntaxError("Syntax error " + std::string(what) + " in query expression '" + std::string(expression) + "'.",
                      kQueryExpression);
}

[[noreturn]] inline void RaiseBracketing(std::string_view name) {
    throw SyntaxError("Invalid bracketing of name '" + std::string(name) + "'.", kBracketing);
}

[[noreturn]] inline void RaiseUndefinedFunction(std::string_view name) {
    throw SyntaxError("Undefined function '" + std::string(name) + "' in expression.", kUndefinedFunction);
}

}  // namespace pavana::engine::dialect::messages
