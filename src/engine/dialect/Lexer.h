// The lexer of the Jet dialect: splits statement text into tokens.
//
// Words (names and keywords alike), bracketed or backtick-quoted names, string literals in single or double
// quotes (a doubled delimiter stands for itself), `#...#` date literals (kept as raw text;
// the parser converts them), numbers and punctuation. SQL comments do not exist in the
// dialect. A malformed token (an unterminated string, bracket or date) raises `SyntaxError`.
//
// Tokens do not own text: `Token::text` views the statement text, which must outlive them.
// Every word the parser looks for is recognised here once (ignoring case) and carried as a
// `Keyword`; every punctuation mark the grammar knows is carried as a `Symbol`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pavana::engine::dialect {

enum class TokenKind : std::uint8_t { Word, Name, String, Number, Bytes, Date, Symbol, End };

// The words with a meaning in the grammar. A word that is none of them is `None`.
enum class Keyword : std::uint8_t {
    None,
    Add,
    All,
    Alter,
    And,
    Any,
    As,
    Asc,
    Between,
    By,
    Column,
    Comp,
    Compression,
    Constraint,
    Create,
    Cross,
    Default,
    Delete,
    Desc,
    Disallow,
    Distinct,
    DistinctRow,
    Drop,
    Eqv,
    Exists,
    False,
    Foreign,
    From,
    Full,
    Group,
    Having,
    Ignore,
    Imp,
    In,
    Index,
    Inner,
    Insert,
    Into,
    Is,
    Join,
    Key,
    Left,
    Like,
    Mod,
    No,
    Not,
    Null,
    Off,
    On,
    Or,
    Order,
    Outer,
    Parameters,
    Percent,
    Primary,
    References,
    Right,
    Select,
    Set,
    Some,
    Table,
    Temporary,
    Top,
    True,
    Union,
    Unique,
    Update,
    Value,
    Values,
    Where,
    With,
    Xor,
    Check,
    Exec,
    Execute,
    Pivot,
    Proc,
    Procedure,
    Transform,
    View,
    Yes,  // last: the parser sizes its keyword sets by it
};

// The punctuation of the grammar; any other character is `Other`.
enum class Symbol : std::uint8_t {
    Other,
    LeftParen,
    RightParen,
    Comma,
    Semicolon,
    Dot,
    Star,
    Plus,
    Minus,
    Slash,
    Backslash,
    Caret,
    Ampersand,
    Equal,
    NotEqual,
    Less,
    Greater,
    LessEqual,
    GreaterEqual,
};

struct Token {
    TokenKind kind = TokenKind::End;
    Keyword keyword = Keyword::None;  // Word
    Symbol symbol = Symbol::Other;    // Symbol
    bool real = false;                // a Number with a fraction or an exponent
    char quote = 0;                   // String: its delimiter
    bool doubled = false;             // String: holds a doubled delimiter
    // Words, numbers and symbols as written; names, strings and dates without delimiters,
    // bytes (0x1F2E) as their hexadecimal digits
    // (a string still with its doubled delimiters: see `StringValue`).
    std::string_view text;
    std::size_t begin = 0;  // byte offsets of the token in the statement text
    std::size_t end = 0;
};

// All tokens of `text`, followed by one End token.
std::vector<Token> Tokenize(std::string_view text);

// The value of a String token: its text with every doubled delimiter made single.
std::string StringValue(const Token& token);

}  // namespace pavana::engine::dialect
