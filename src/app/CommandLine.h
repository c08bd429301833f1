// The program's command line: up to four positional arguments and options.
//
// Arguments arrive split by the shell. An empty argument is not counted. Options are taken
// wherever they stand and are not counted; "--" ends the options, so later arguments count
// even when they look like options. An option that needs a value takes the next argument or
// the text after "=" ("--wait 30", "--wait=30").
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pavana {

// How the statements of the script reach the file.
enum class RunMode {
    Each,            // each statement committed on its own (the program's own way)
    DryRun,          // one transaction, each statement in a savepoint, all rolled back
    OneTransaction,  // the same, committed at the end
};

struct CommandLine {
    std::vector<std::string> arguments;  // positional, in order, without the program's name
    bool console = false;
    bool help = false;
    bool version = false;
    RunMode mode = RunMode::Each;
    bool exitCodes = false;             // --exit-code: 0, 3 (statements failed), 2 (database)
    bool check = false;                 // --check: refuse a damaged database
    int waitSeconds = 60;               // --wait: longest wait for a lock, per statement
    std::optional<std::string> report;  // --report: path of the JSON report
    std::string error;                  // what is wrong with the options; empty when nothing
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

}  // namespace pavana
