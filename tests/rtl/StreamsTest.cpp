#include <gtest/gtest.h>

#include "rtl/Exceptions.h"
#include "rtl/Streams.h"

namespace pavana {
namespace {

TEST(TMemoryStream, ReadsStopAtTheEnd) {
    TMemoryStream s({1, 2, 3});
    std::uint8_t buf[4] = {};
    EXPECT_EQ(s.Read(buf, 2), 2u);
    EXPECT_EQ(s.Remaining(), 1);
    EXPECT_EQ(s.Read(buf, 4), 1u);
    EXPECT_EQ(buf[0], 3);
    EXPECT_EQ(s.Read(buf, 4), 0u);
    s.SetPosition(1);
    try {
        s.ReadBuffer(buf, 3);
        FAIL();
    } catch (const EStreamError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
}

TEST(TMemoryStream, WritingPastTheEndFillsTheGapWithZeros) {
    TMemoryStream s;
    s.SetPosition(2);
    EXPECT_EQ(s.Remaining(), 0);
    const std::uint8_t b = 9;
    s.WriteBuffer(&b, 1);
    EXPECT_EQ(s.Bytes(), (std::vector<std::uint8_t>{0, 0, 9}));
    s.Seek(-1, TSeekOrigin::soEnd);
    s.WriteBuffer(&b, 1);
    s.WriteBuffer(&b, 1);
    EXPECT_EQ(s.Size(), 4);
    EXPECT_EQ(s.Position(), 4);
}

TEST(TMemoryStream, BadPositionsAreRefused) {
    TMemoryStream s({1, 2, 3});
    s.SetPosition(2);
    EXPECT_THROW(s.Seek(-3, TSeekOrigin::soCurrent), EStreamError);
    EXPECT_EQ(s.Position(), 2);
    EXPECT_THROW(s.Seek(INT64_MAX, TSeekOrigin::soEnd), EStreamError);
    s.SetSize(1);
    EXPECT_EQ(s.Position(), 1);
    s.Clear();
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Position(), 0);
}

}  // namespace
}  // namespace pavana
