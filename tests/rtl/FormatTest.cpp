#include "rtl/Format.h"

#include <gtest/gtest.h>

#include "rtl/Exceptions.h"

namespace pavana {
namespace {

TEST(Format, TextArgumentsAreNeverReadAsFormat) {
    EXPECT_EQ(Format("Erro na execução do comando %s.", {" x = '10%s';"}), "Erro na execução do comando  x = '10%s';.");
}

TEST(Format, IntegersWidthsAndIndexes) {
    EXPECT_EQ(Format("List index out of bounds (%d)", {1}), "List index out of bounds (1)");
    EXPECT_EQ(Format("[%5d|%-5d|%.3d]", {42, 42, 7}), "[   42|42   |007]");
    EXPECT_EQ(Format("%1:s %0:s %s", {"a", "b"}), "b a b");
    EXPECT_EQ(Format("%x %%", {255}), "FF %");
    EXPECT_EQ(Format("%*d", {4, 1}), "   1");
}

TEST(Format, FloatingPoint) {
    EXPECT_EQ(Format("%.2f", {3.14159}), "3.14");
    EXPECT_EQ(Format("%n", {1234567.5}), "1,234,567.50");
}

TEST(Format, MismatchedOrMissingArgumentsRaise) {
    EXPECT_THROW(Format("%d", {"text"}), EConvertError);
    EXPECT_THROW(Format("%s %s", {"one"}), EConvertError);
    EXPECT_THROW(Format("%", {}), EConvertError);
    EXPECT_THROW(Format("%q", {1}), EConvertError);
}

}  // namespace
}  // namespace pavana
