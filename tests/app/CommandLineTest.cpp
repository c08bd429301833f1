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

}  // namespace
}  // namespace pavana
