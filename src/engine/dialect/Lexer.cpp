#include "engine/dialect/Lexer.h"

#include "engine/dialect/Messages.h"

namespace pavana::engine::dialect {
namespace {

bool IsWordStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}

bool IsWordPart(unsigned char c) { return IsWordStart(c) || (c >= '0' && c <= '9'); }

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool IsSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// The text quoted by an error about a token that starts at `begin`: the rest of the line.
std::string_view Rest(std::string_view text, std::size_t begin) {
    std::size_t end = text.find_first_of("\r\n", begin);
    return text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
}

}  // namespace

std::vector<Token> Tokenize(std::string_view text) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (true) {
        while (i < n && IsSpace(static_cast<unsigned char>(text[i]))) ++i;
        Token token;
        token.begin = i;
        if (i >= n) {
            token.end = i;
            tokens.push_back(std::move(token));
            return tokens;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsWordStart(c)) {
            std::size_t j = i + 1;
            while (j < n && IsWordPart(static_cast<unsigned char>(text[j]))) ++j;
            token.kind = TokenKind::Word;
            token.text.assign(text.substr(i, j - i));
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
            token.text.assign(text.substr(i, j - i));
            i = j;
        } else if (c == '\'' || c == '"') {
            std::size_t j = i + 1;
            while (true) {
                if (j >= n) messages::RaiseExpression("in string", Rest(text, i));
                if (static_cast<unsigned char>(text[j]) == c) {
                    if (j + 1 < n && static_cast<unsigned char>(text[j + 1]) == c) {
                        token.text.push_back(static_cast<char>(c));
                        j += 2;
                        continue;
                    }
                    break;
                }
                token.text.push_back(text[j]);
                ++j;
            }
            token.kind = TokenKind::String;
            i = j + 1;
        } else if (c == '[') {
            std::size_t close = text.find(']', i + 1);
            std::size_t open = text.find('[', i + 1);
            if (close == std::string_view::npos || (open != std::string_view::npos && open < close))
                messages::RaiseBracketing(Rest(text, i));
            if (close == i + 1) messages::RaiseBracketing("[]");
            token.kind = TokenKind::Name;
            token.text.assign(text.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if (c == '#') {
            std::size_t close = text.find('#', i + 1);
            if (close == std::string_view::npos) messages::RaiseExpression("in date", Rest(text, i));
            token.kind = TokenKind::Date;
            token.text.assign(text.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            token.kind = TokenKind::Symbol;
            std::size_t len = 1;
            if (i + 1 < n) {
                char d = text[i + 1];
                if ((c == '<' && (d == '>' || d == '=')) || (c == '>' && d == '=')) len = 2;
            }
            token.text.assign(text.substr(i, len));
            i += len;
        }
        token.end = i;
        tokens.push_back(std::move(token));
    }
}

}  // namespace pavana::engine::dialect
