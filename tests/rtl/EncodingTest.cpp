#include "rtl/Encoding.h"

#include <gtest/gtest.h>

#include "rtl/Strings.h"

namespace pavana {
namespace {

TEST(Encoding, FileDecodingRule) {
    EXPECT_EQ(DecodeTextFile(std::string_view("\xEF\xBB\xBFok")), "ok");
    EXPECT_EQ(DecodeTextFile(std::string_view("\xC3\xA7")), "\xC3\xA7");
    EXPECT_EQ(DecodeTextFile(std::string_view("\xE7")), "\xC3\xA7");
    EXPECT_EQ(DecodeTextFile(std::string_view("\xFE\xFF\x00\x41\xD8\x3D\xDE\x00", 8)), "A\xF0\x9F\x98\x80");
    // An unpaired surrogate is not dropped silently.
    EXPECT_EQ(DecodeTextFile(std::string_view("\xFF\xFE\x00\xD8\x41\x00", 6)),
              "\xEF\xBF\xBD"
              "A");
    // Bytes after a NUL do not decide the encoding of the text before it.
    EXPECT_EQ(DecodeTextFile(std::string("\xC3\xA7\0\xFF", 4)), "\xC3\xA7");
    EXPECT_EQ(DecodeTextFile(std::string("\xC3\xA7\0\xFF", 4)), DecodeTextFile(std::string_view("\xC3\xA7\0\xFF", 4)));
}

TEST(Encoding, Utf8ValidityRejectsOverlongAndSurrogates) {
    EXPECT_TRUE(IsValidUtf8("plain \xE2\x82\xAC"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("a\xC3\xA7\xF0\x9F\x98\x80")), "a\xC3\xA7\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf8Prefix("a\xC3\xA7", 2), "a");
}

TEST(Strings, TrimAndCaseInsensitiveComparison) {
    EXPECT_EQ(Trim(std::string("\t\r\n  x y \x01", 10)), "x y");
    EXPECT_TRUE(AnsiSameText("ID", "id"));
    EXPECT_TRUE(AnsiSameText("Descri\xC3\xA7\xC3\xA3o", "DESCRI\xC3\x87\xC3\x83O"));
    EXPECT_LT(AnsiCompareText("a", "B"), 0);
    EXPECT_EQ(UpperCase("select \xC3\xA7"), "SELECT \xC3\xA7");
}

}  // namespace
}  // namespace pavana
