// The dialect's built-in functions as the parser and the printer know them: the name in the
// dialect, the name of the SQLite function that implements it and how many arguments it takes.
#pragma once

#include <string_view>

namespace pavana::engine::dialect {

struct FunctionInfo {
    const char* jetName;     // canonical spelling ("IIf", "DateAdd")
    const char* sqliteName;  // the SQLite function called in the printed statement
    int minArgs;
    int maxArgs;
    bool aggregate;
};

// The built-in of that name (ignoring case), or nullptr.
const FunctionInfo* FindFunction(std::string_view name);

}  // namespace pavana::engine::dialect
