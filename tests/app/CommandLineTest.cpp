#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace pavana {
namespace {

TEST(CommandLine, EmptyArgumentsAndOptionsAreNotCounted) {
    const char* argv[] = {"PavanaScript", "", "b", "--console", "c", ""};
    CommandLine line = ParseCommandLine(6, argv);
    EXPECT_EQ(line.arguments, (std::vector<std::string>{"b", "c"}));
    EXPECT_TRUE(line.console);
    EXPECT_FALSE(line.help);
}

TEST(CommandLine, DoubleDashEndsOptions) {
    const char* argv[] = {"PavanaScript", "--version", "--", "--help", "x", ""};
    CommandLine line = ParseCommandLine(6, argv);
    EXPECT_TRUE(line.version);
    EXPECT_FALSE(line.help);
    EXPECT_EQ(line.arguments, (std::vector<std::string>{"--help", "x"}));
}

TEST(CommandLine, RunOptionsTakeTheirValuesAndBadOnesAreNamed) {
    const char* argv[] = {"PavanaScript",      "--wait",      "5",       "a", "--report=r.json",
                          "--one-transaction", "--exit-code", "--check", "b", "c"};
    CommandLine line = ParseCommandLine(10, argv);
    EXPECT_EQ(line.arguments, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(line.waitSeconds, 5);
    EXPECT_EQ(line.report, std::optional<std::string>("r.json"));
    EXPECT_EQ(line.mode, RunMode::OneTransaction);
    EXPECT_TRUE(line.exitCodes && line.check);
    EXPECT_EQ(line.error, "");

    const char* wait[] = {"PavanaScript", "--wait=-1"};
    EXPECT_EQ(ParseCommandLine(2, wait).error, "--wait needs a number of seconds from 0 to 86400");
    const char* report[] = {"PavanaScript", "--report"};
    EXPECT_EQ(ParseCommandLine(2, report).error, "--report needs a file name");
    const char* both[] = {"PavanaScript", "--dry-run", "--one-transaction"};
    EXPECT_EQ(ParseCommandLine(3, both).error, "--dry-run and --one-transaction cannot be used together");
}

}  // namespace
}  // namespace pavana
