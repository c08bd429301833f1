#include "engine/dialect/Lexer.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "engine/dialect/Messages.h"

namespace pavana::engine::dialect {
namespace {

bool IsWordStart(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80; }

bool IsWordPart(unsigned char c) { return IsWordStart(c) || (c >= '0' && c <= '9'); }

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// The text quoted by an error about a token that starts at `begin`: the rest of the line.
std::string_view Rest(std::string_view text, std::size_t begin) {
    std::size_t end = text.find_first_of("\r\n", begin);
    return text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
}

struct KeywordSpelling {
    std::string_view text;  // upper case
    Keyword keyword;
};

constexpr KeywordSpelling kKeywords[] = {
    {"ADD", Keyword::Add},
    {"ALL", Keyword::All},
    {"ALTER", Keyword::Alter},
    {"AND", Keyword::And},
    {"ANY", Keyword::Any},
    {"AS", Keyword::As},
    {"ASC", Keyword::Asc},
    {"BETWEEN", Keyword::Between},
    {"BY", Keyword::By},
    {"CHECK", Keyword::Check},
    {"COLUMN", Keyword::Column},
    {"COMP", Keyword::Comp},
    {"COMPRESSION", Keyword::Compression},
    {"CONSTRAINT", Keyword::Constraint},
    {"CREATE", Keyword::Create},
    {"CROSS", Keyword::Cross},
    {"DEFAULT", Keyword::Default},
    {"DELETE", Keyword::Delete},
    {"DESC", Keyword::Desc},
    {"DISALLOW", Keyword::Disallow},
    {"DISTINCT", Keyword::Distinct},
    {"DISTINCTROW", Keyword::DistinctRow},
    {"DROP", Keyword::Drop},
    {"EQV", Keyword::Eqv},
    {"EXEC", Keyword::Exec},
    {"EXECUTE", Keyword::Execute},
    {"EXISTS", Keyword::Exists},
    {"FALSE", Keyword::False},
    {"FOREIGN", Keyword::Foreign},
    {"FROM", Keyword::From},
    {"FULL", Keyword::Full},
    {"GROUP", Keyword::Group},
    {"HAVING", Keyword::Having},
    {"IGNORE", Keyword::Ignore},
    {"IMP", Keyword::Imp},
    {"IN", Keyword::In},
    {"INDEX", Keyword::Index},
    {"INNER", Keyword::Inner},
    {"INSERT", Keyword::Insert},
    {"INTO", Keyword::Into},
    {"IS", Keyword::Is},
    {"JOIN", Keyword::Join},
    {"KEY", Keyword::Key},
    {"LEFT", Keyword::Left},
    {"LIKE", Keyword::Like},
    {"MOD", Keyword::Mod},
    {"NO", Keyword::No},
    {"NOT", Keyword::Not},
    {"NULL", Keyword::Null},
    {"OFF", Keyword::Off},
    {"ON", Keyword::On},
    {"OR", Keyword::Or},
    {"ORDER", Keyword::Order},
    {"OUTER", Keyword::Outer},
    {"PARAMETERS", Keyword::Parameters},
    {"PERCENT", Keyword::Percent},
    {"PIVOT", Keyword::Pivot},
    {"PRIMARY", Keyword::Primary},
    {"PROC", Keyword::Proc},
    {"PROCEDURE", Keyword::Procedure},
    {"REFERENCES", Keyword::References},
    {"RIGHT", Keyword::Right},
    {"SELECT", Keyword::Select},
    {"SET", Keyword::Set},
    {"SOME", Keyword::Some},
    {"TABLE", Keyword::Table},
    {"TEMPORARY", Keyword::Temporary},
    {"TOP", Keyword::Top},
    {"TRANSFORM", Keyword::Transform},
    {"TRUE", Keyword::True},
    {"UNION", Keyword::Union},
    {"UNIQUE", Keyword::Unique},
    {"UPDATE", Keyword::Update},
    {"VALUE", Keyword::Value},
    {"VALUES", Keyword::Values},
    {"VIEW", Keyword::View},
    {"WHERE", Keyword::Where},
    {"WITH", Keyword::With},
    {"XOR", Keyword::Xor},
    {"YES", Keyword::Yes},
};

constexpr std::size_t kLongestKeyword = 11;  // COMPRESSION, DISTINCTROW

// A word of up to kLongestKeyword bytes, upper-cased and packed into two integers, so that
// spellings compare as two integer comparisons.
struct PackedWord {
    std::uint64_t low = 0;   // bytes 0..7
    std::uint64_t high = 0;  // bytes 8..10 and the length
    bool operator==(const PackedWord&) const = default;
};

PackedWord Pack(std::string_view word) {
    PackedWord packed;
    for (std::size_t i = 0; i < word.size(); ++i) {
        char c = word[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        const std::uint64_t byte = static_cast<unsigned char>(c);
        if (i < 8) packed.low |= byte << (8 * i);
        else packed.high |= byte << (8 * (i - 8));
    }
    packed.high |= static_cast<std::uint64_t>(word.size()) << 56;
    return packed;
}

// An open-addressing hash table of the spellings, built once.
class KeywordTable {
public:
    KeywordTable() {
        for (const auto& k : kKeywords) {
            const PackedWord packed = Pack(k.text);
            std::size_t slot = Slot(packed);
            while (slots_[slot].keyword != Keyword::None) slot = (slot + 1) % kSlots;
            slots_[slot] = {packed, k.keyword};
        }
    }

    Keyword Find(std::string_view word) const {
        if (word.size() > kLongestKeyword) return Keyword::None;
        const PackedWord packed = Pack(word);
        for (std::size_t slot = Slot(packed);; slot = (slot + 1) % kSlots) {
            const Entry& entry = slots_[slot];
            if (entry.keyword == Keyword::None) return Keyword::None;
            if (entry.word == packed) return entry.keyword;
        }
    }

private:
    static constexpr std::size_t kSlots = 256;  // a power of two, well above the keyword count
    static std::size_t Slot(const PackedWord& w) {
        const std::uint64_t h = (w.low ^ (w.high * 0x9E3779B97F4A7C15ull)) * 0xBF58476D1CE4E5B9ull;
        return static_cast<std::size_t>(h >> 56);
    }
    struct Entry {
        PackedWord word;
        Keyword keyword = Keyword::None;
    };
    std::array<Entry, kSlots> slots_{};
};

const KeywordTable& Keywords() {
    static const KeywordTable table;
    return table;
}

// The symbol of the punctuation at `text[i]` and how many bytes it takes.
Symbol ReadSymbol(std::string_view text, std::size_t i, std::size_t& length) {
    length = 1;
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    switch (text[i]) {
        case '(': return Symbol::LeftParen;
        case ')': return Symbol::RightParen;
        case ',': return Symbol::Comma;
        case ';': return Symbol::Semicolon;
        // Table!Field is the older spelling of Table.Field.
        case '.':
        case '!': return Symbol::Dot;
        case '*': return Symbol::Star;
        case '+': return Symbol::Plus;
        case '-': return Symbol::Minus;
        case '/': return Symbol::Slash;
        case '\\': return Symbol::Backslash;
        case '^': return Symbol::Caret;
        case '&': return Symbol::Ampersand;
        case '=': return Symbol::Equal;
        case '<':
            if (next == '>') {
                length = 2;
                return Symbol::NotEqual;
            }
            if (next == '=') {
                length = 2;
                return Symbol::LessEqual;
            }
            return Symbol::Less;
        case '>':
            if (next == '=') {
                length = 2;
                return Symbol::GreaterEqual;
            }
            return Symbol::Greater;
        default: return Symbol::Other;
    }
}

}  // namespace

std::vector<Token> Tokenize(std::string_view text) {
    const KeywordTable& keywords = Keywords();
    std::vector<Token> tokens;
    // Statements average more than three bytes a token; the cap keeps a huge text from
    // reserving far more than it needs before it is read.
    tokens.reserve(std::min<std::size_t>(text.size() / 3 + 4, 4096));
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (true) {
        while (i < n && IsSpace(static_cast<unsigned char>(text[i]))) ++i;
        Token& token = tokens.emplace_back();
        token.begin = i;
        if (i >= n) {
            token.end = i;
            return tokens;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsWordStart(c)) {
            std::size_t j = i + 1;
            while (j < n && IsWordPart(static_cast<unsigned char>(text[j]))) ++j;
            token.kind = TokenKind::Word;
            token.text = text.substr(i, j - i);
            token.keyword = keywords.Find(token.text);
            i = j;
        } else if (c == '0' && i + 2 < n && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            // A binary literal of ANSI-92 scripts: 0x followed by pairs of hexadecimal digits.
            std::size_t j = i + 2;
            while (j < n && std::isxdigit(static_cast<unsigned char>(text[j]))) ++j;
            if ((j - i) % 2 != 0 || (j < n && IsWordPart(static_cast<unsigned char>(text[j]))))
                messages::RaiseExpression("(missing operator)", Rest(text, i));
            token.kind = TokenKind::Bytes;
            token.text = text.substr(i + 2, j - i - 2);
            i = j;
        } else if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(static_cast<unsigned char>(text[i + 1])))) {
            std::size_t j = i;
            while (j < n && IsDigit(static_cast<unsigned char>(text[j]))) ++j;
            if (j < n && text[j] == '.') {
                token.real = true;
                ++j;
                while (j < n && IsDigit(static_cast<unsigned char>(text[j]))) ++j;
            }
            if (j < n && (text[j] == 'e' || text[j] == 'E')) {
                std::size_t k = j + 1;
                if (k < n && (text[k] == '+' || text[k] == '-')) ++k;
                if (k < n && IsDigit(static_cast<unsigned char>(text[k]))) {
                    while (k < n && IsDigit(static_cast<unsigned char>(text[k]))) ++k;
                    token.real = true;
                    j = k;
                }
            }
            if (j < n && IsWordPart(static_cast<unsigned char>(text[j]))) {
                std::size_t k = j;
                while (k < n && IsWordPart(static_cast<unsigned char>(text[k]))) ++k;
                messages::RaiseExpression("(missing operator)", text.substr(i, k - i));
            }
            token.kind = TokenKind::Number;
            token.text = text.substr(i, j - i);
            i = j;
        } else if (c == '\'' || c == '"') {
            const char quote = static_cast<char>(c);
            std::size_t j = i + 1;
            while (true) {
                j = text.find(quote, j);
                if (j == std::string_view::npos) messages::RaiseExpression("in string", Rest(text, i));
                if (j + 1 < n && text[j + 1] == quote) {
                    token.doubled = true;
                    j += 2;
                    continue;
                }
                break;
            }
            token.kind = TokenKind::String;
            token.quote = quote;
            token.text = text.substr(i + 1, j - i - 1);
            i = j + 1;
        } else if (c == '[') {
            std::size_t close = text.find(']', i + 1);
            std::size_t open = text.find('[', i + 1);
            if (close == std::string_view::npos || (open != std::string_view::npos && open < close))
                messages::RaiseBracketing(Rest(text, i));
            if (close == i + 1) messages::RaiseBracketing("[]");
            token.kind = TokenKind::Name;
            token.text = text.substr(i + 1, close - i - 1);
            i = close + 1;
        } else if (c == '`') {
            // A backtick-quoted name, as ANSI-92 scripts write them: a bracketed name.
            const std::size_t close = text.find('`', i + 1);
            if (close == std::string_view::npos) messages::RaiseBracketing(Rest(text, i));
            if (close == i + 1) messages::RaiseBracketing("``");
            token.kind = TokenKind::Name;
            token.text = text.substr(i + 1, close - i - 1);
            i = close + 1;
        } else if (c == '#') {
            std::size_t close = text.find('#', i + 1);
            if (close == std::string_view::npos) messages::RaiseExpression("in date", Rest(text, i));
            token.kind = TokenKind::Date;
            token.text = text.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            std::size_t length = 1;
            token.kind = TokenKind::Symbol;
            token.symbol = ReadSymbol(text, i, length);
            token.text = text.substr(i, length);
            i += length;
        }
        token.end = i;
    }
}

std::string StringValue(const Token& token) {
    if (!token.doubled) return std::string(token.text);
    std::string value;
    value.reserve(token.text.size());
    for (std::size_t i = 0; i < token.text.size(); ++i) {
        value.push_back(token.text[i]);
        if (token.text[i] == token.quote) ++i;
    }
    return value;
}

}  // namespace pavana::engine::dialect
