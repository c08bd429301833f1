#include "CommandLine.h"

#include <charconv>
#include <string_view>

namespace pavana {
namespace {

// The value of option `name` in `argument` ("--name=value") or in the next argument.
std::optional<std::string> OptionValue(std::string_view name, std::string_view argument, int& i, int argc,
                                       const char* const* argv) {
    if (argument == name) {
        if (i + 1 >= argc) return std::nullopt;
        return std::string(argv[++i]);
    }
    return std::string(argument.substr(name.size() + 1));
}

bool Takes(std::string_view name, std::string_view argument) {
    return argument == name ||
           (argument.starts_with(name) && argument.size() > name.size() && argument[name.size()] == '=');
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    bool options = true;
    bool dryRun = false;
    bool oneTransaction = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument.empty()) continue;
        if (options) {
            if (argument == "--") {
                options = false;
                continue;
            }
            if (argument == "--console") line.console = true;
            else if (argument == "--help") line.help = true;
            else if (argument == "--version") line.version = true;
            else if (argument == "--dry-run") dryRun = true;
            else if (argument == "--one-transaction") oneTransaction = true;
            else if (argument == "--exit-code") line.exitCodes = true;
            else if (argument == "--check") line.check = true;
            else if (Takes("--report", argument)) {
                line.report = OptionValue("--report", argument, i, argc, argv);
                if (!line.report || line.report->empty()) line.error = "--report needs a file name";
            } else if (Takes("--wait", argument)) {
                std::optional<std::string> value = OptionValue("--wait", argument, i, argc, argv);
                int seconds = -1;
                if (value) {
                    auto [end, code] = std::from_chars(value->data(), value->data() + value->size(), seconds);
                    if (code != std::errc() || end != value->data() + value->size()) seconds = -1;
                }
                if (seconds < 0 || seconds > 86400) line.error = "--wait needs a number of seconds from 0 to 86400";
                else line.waitSeconds = seconds;
            } else {
                line.arguments.emplace_back(argument);
            }
            continue;
        }
        line.arguments.emplace_back(argument);
    }
    if (dryRun && oneTransaction) line.error = "--dry-run and --one-transaction cannot be used together";
    line.mode = dryRun ? RunMode::DryRun : oneTransaction ? RunMode::OneTransaction : RunMode::Each;
    return line;
}

}  // namespace pavana
