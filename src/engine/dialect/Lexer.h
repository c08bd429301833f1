// The lexer of the Jet dialect: splits statement text into tokens.
//
// Words (names and keywords alike), bracketed names, string literals in single or double
// quotes (a doubled delimiter stands for itself), `#...#` date literals (kept as raw text;
// the parser converts them), numbers and punctuation. SQL comments do not exist in the
// dialect. A malformed token (an unterminated string, bracket or date) raises `SyntaxError`.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace pavana::engine::dialect {

enum class TokenKind { Word, Name, String, Number, Date, Symbol, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;    // words and symbols as written; names, strings and dates without delimiters
    std::size_t begin = 0;  // byte offsets of the token in the statement text
    std::size_t end = 0;
    bool real = false;   // a Number with a fraction or an exponent
};

// All tokens of `text`, followed by one End token.
std::vector<Token> Tokenize(std::string_view text);

}  // namespace pavana::engine::dialect
