#include "CommandLine.h"

#include <string_view>

namespace pavana {

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument.empty()) continue;
        if (options) {
            if (argument == "--") {
                options = false;
                continue;
            }
            if (argument == "--console") {
                line.console = true;
                continue;
            }
            if (argument == "--help") {
                line.help = true;
                continue;
            }
            if (argument == "--version") {
                line.version = true;
                continue;
            }
        }
        line.arguments.emplace_back(argument);
    }
    return line;
}

}  // namespace pavana
