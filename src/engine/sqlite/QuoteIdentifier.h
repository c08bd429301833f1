// Quoting a name for the SQLite statements the engine builds itself.
#pragma once

#include <string>

namespace pavana::engine::sqlite {

// `name` as a double-quoted SQLite identifier, inner quotes doubled.
inline std::string QuoteIdentifier(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace pavana::engine::sqlite
