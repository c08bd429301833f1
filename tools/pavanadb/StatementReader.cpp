#include "StatementReader.h"

namespace pavana::tools {
namespace {

bool HoldsNothing(std::string_view statement) { return statement.find_first_not_of(" \t;") == std::string_view::npos; }

}  // namespace

std::vector<std::string> CutStatements(std::string_view text) {
    std::vector<std::string> statements;
    std::string current;
    bool started = false;
    auto finish = [&] {
        if (!HoldsNothing(current)) statements.push_back(current);
        current.clear();
        started = false;
    };
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        if (started) current += ' ';
        current += line;
        started = true;
        if (line.find(';') != std::string_view::npos) finish();
        const bool crlf = text.substr(end, 2) == "\r\n";
        pos = end + (end == text.size() ? 0 : crlf ? 2 : 1);
    }
    finish();
    return statements;
}

}  // namespace pavana::tools
