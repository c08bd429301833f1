// The parser of the Jet dialect: one statement (with its PARAMETERS clause) into a tree.
//
// A recursive-descent parser over the tokens of `Tokenize`. Operator precedence is the
// dialect's: ^, unary -, * /, \, Mod, + -, &, comparisons (= <> < > <= >= Like Is Between
// In), Not, And, Or, Xor, Eqv, Imp. A name that matches a declared parameter (ignoring case)
// becomes a Parameter node. A function name is checked against the dialect's built-ins.
// Failures raise `SyntaxError` with the message of the statement kind or clause at fault.
#pragma once

#include <string_view>

#include "engine/dialect/Ast.h"

namespace pavana::engine::dialect {

ast::Statement Parse(std::string_view text);

}  // namespace pavana::engine::dialect
