#include "rtl/Strings.h"

#include <gtest/gtest.h>

namespace pavana {
namespace {

// Names and keywords compare without regard to ASCII case only: the user's locale never makes
// an accented letter equal to another, and a prefix is not a match.
TEST(StringsTest, SameAsciiTextFoldsOnlyAsciiLetters) {
    EXPECT_TRUE(SameAsciiText("Select", "SELECT"));
    EXPECT_TRUE(SameAsciiText("pavana_engine", "PAVANA_ENGINE"));
    EXPECT_TRUE(SameAsciiText("", ""));
    EXPECT_FALSE(SameAsciiText("Nome", "Nomes"));
    EXPECT_FALSE(SameAsciiText("Nomes", "Nome"));
    EXPECT_FALSE(SameAsciiText("[", "{"));  // '[' + 32 is '{': only letters fold
    EXPECT_FALSE(SameAsciiText("@", "`"));
    EXPECT_FALSE(SameAsciiText("Matemática", "MATEMÁTICA"));
    EXPECT_TRUE(SameAsciiText("Matemática", "MATEMáTICA"));
    EXPECT_FALSE(SameAsciiText(std::string_view("a\0b", 3), "a"));
}

}  // namespace
}  // namespace pavana
