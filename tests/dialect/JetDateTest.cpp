#include <gtest/gtest.h>

#include "engine/dialect/JetDate.h"

namespace pavana::engine::dialect {
namespace {

TEST(JetDate, DayNumbersCountFrom30December1899) {
    EXPECT_EQ(DayNumber(1899, 12, 30), 0);
    EXPECT_EQ(DayNumber(1900, 1, 1), 2);
    EXPECT_EQ(DayNumber(2024, 1, 15), 45306);
    EXPECT_EQ(DayNumber(1899, 12, 29), -1);
    // parts out of range roll over
    EXPECT_EQ(DayNumber(2024, 13, 1), DayNumber(2025, 1, 1));
    EXPECT_EQ(DayNumber(2024, 3, 0), DayNumber(2024, 2, 29));
    EXPECT_EQ(DayNumber(2024, 0, 1), DayNumber(2023, 12, 1));
}

TEST(JetDate, TimesBeforeTheEpochCountForwardFromMidnight) {
    const DateParts p = SplitDate(-1.25);
    EXPECT_EQ(p.day, 29);
    EXPECT_EQ(p.hour, 6);
    EXPECT_DOUBLE_EQ(DateValueOf({1899, 12, 29, 6, 0, 0}), -1.25);
}

TEST(JetDate, LiteralsReadUsAndIsoOrder) {
    EXPECT_EQ(ParseDateLiteral("5/10/96"), DayNumber(1996, 5, 10));
    EXPECT_EQ(ParseDateLiteral("1/15/29"), DayNumber(2029, 1, 15));
    EXPECT_EQ(ParseDateLiteral("2024-01-15"), DayNumber(2024, 1, 15));
    EXPECT_EQ(ParseDateLiteral("13/1/2024"), DayNumber(2024, 1, 13));
    EXPECT_DOUBLE_EQ(*ParseDateLiteral("1/15/2024 8:30:00 PM"), DayNumber(2024, 1, 15) + 20.5 / 24);
    EXPECT_DOUBLE_EQ(*ParseDateLiteral("12:00 AM"), 0.0);
    EXPECT_DOUBLE_EQ(*ParseDateLiteral("4:45:23 PM"), (16 * 3600 + 45 * 60 + 23) / 86400.0);
    EXPECT_FALSE(ParseDateLiteral("2/30/2024"));
    EXPECT_FALSE(ParseDateLiteral("13/13/2024"));
    EXPECT_FALSE(ParseDateLiteral("hello"));
    EXPECT_FALSE(ParseDateLiteral("25:00"));
    EXPECT_EQ(ParseDateText("15 January 2024", FormatSettings::Invariant()), DayNumber(2024, 1, 15));
    EXPECT_EQ(ParseDateText("Jan 15, 2024", FormatSettings::Invariant()), DayNumber(2024, 1, 15));
}

}  // namespace
}  // namespace pavana::engine::dialect
