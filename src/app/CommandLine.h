// The program's command line: up to four positional arguments and a few options.
//
// Arguments arrive split by the shell. An empty argument is not counted. "--console",
// "--help" and "--version" are options wherever they stand and are not counted; "--" ends
// the options, so later arguments count even when they look like options.
#pragma once

#include <string>
#include <vector>

namespace pavana {

struct CommandLine {
    std::vector<std::string> arguments;  // positional, in order, without the program's name
    bool console = false;
    bool help = false;
    bool version = false;
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

}  // namespace pavana
