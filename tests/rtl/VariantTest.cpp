#include "rtl/Variant.h"

#include <gtest/gtest.h>

namespace pavana {
namespace {

FormatSettings Brazilian() {
    FormatSettings s;
    s.DecimalSeparator = ",";
    s.ThousandSeparator = ".";
    s.DateSeparator = "/";
    s.ShortDateFormat = "dd/mm/yyyy";
    s.LongTimeFormat = "hh:nn:ss";
    s.ShortTimeFormat = "hh:nn";
    return s;
}

TEST(Variant, TypeCodesAreThePlatformsNumbers) {
    EXPECT_EQ(Variant().VarType(), varEmpty);
    EXPECT_EQ(Variant::Null().VarType(), 1);
    EXPECT_EQ(Variant(std::int16_t{1}).VarType(), 2);
    EXPECT_EQ(Variant(1).VarType(), 3);
    EXPECT_EQ(Variant(1.5f).VarType(), 4);
    EXPECT_EQ(Variant(1.5).VarType(), 5);
    EXPECT_EQ(Variant(Currency{15000}).VarType(), 6);
    EXPECT_EQ(Variant::FromDate(1).VarType(), 7);
    EXPECT_EQ(Variant("x").VarType(), 8);
    EXPECT_EQ(Variant::Missing().VarType(), 10);
    EXPECT_EQ(Variant(true).VarType(), 11);
    EXPECT_EQ(Variant(std::uint8_t{200}).VarType(), 17);
    EXPECT_EQ(Variant(std::int64_t{1}).VarType(), 20);
    EXPECT_EQ(Variant::FromAnsiString("x").VarType(), 0x100);
    EXPECT_EQ(Variant(std::vector<std::uint8_t>{1, 2}).VarType(), 0x2011);
}

TEST(Variant, EmptyNullAndMissingDiffer) {
    EXPECT_FALSE(Variant() == Variant::Null());
    EXPECT_TRUE(Variant::Null() == Variant::Null());
    EXPECT_TRUE(Variant::Missing().IsMissing());
    EXPECT_TRUE(Variant::Missing().IsAbsent());
    EXPECT_FALSE(Variant::FromError(5).IsMissing());
    EXPECT_EQ(Variant().ToString(), "");
    EXPECT_EQ(Variant::Null().ToString(), "");
    EXPECT_EQ(Variant().ToInteger(), 0);
    EXPECT_THROW(Variant::Null().ToInteger(), EVariantError);
}

TEST(Variant, EqualityNeedsSameTypeAndValue) {
    EXPECT_TRUE(Variant(3) == Variant(3));
    EXPECT_FALSE(Variant(3) == Variant(std::int16_t{3}));
    EXPECT_FALSE(Variant("3") == Variant::FromAnsiString("3"));
    EXPECT_TRUE(Variant(std::vector<std::uint8_t>{1, 2}) == Variant(std::vector<std::uint8_t>{1, 2}));
    EXPECT_FALSE(Variant(std::vector<std::uint8_t>{1, 2}) == Variant(std::vector<std::uint8_t>{1, 3}));
}

TEST(Variant, TextFormsFollowTheSettings) {
    FormatSettings br = Brazilian();
    EXPECT_EQ(Variant(1234.5).ToString(br), "1234,5");
    EXPECT_EQ(Variant(1234.5).ToString(FormatSettings::Invariant()), "1234.5");
    EXPECT_EQ(Variant(0.1).ToString(br), "0,1");
    EXPECT_EQ(Variant(1e20).ToString(br), "1E20");
    EXPECT_EQ(Variant(0.00001).ToString(br), "1E-5");
    EXPECT_EQ(Variant(0.0001).ToString(br), "0,0001");
    EXPECT_EQ(Variant(1.0 / 3).ToString(FormatSettings::Invariant()), "0.333333333333333");
    EXPECT_EQ(Variant(true).ToString(), "True");
    EXPECT_EQ(Variant(Currency{123456}).ToString(br), "12,3456");
    EXPECT_EQ(Variant(Currency{-15000}).ToString(br), "-1,5");
    EXPECT_EQ(Variant::FromDate(EncodeDate(2024, 3, 9) + EncodeTime(14, 5, 0, 0)).ToString(br), "09/03/2024 14:05:00");
    EXPECT_EQ(Variant::FromDate(EncodeDate(2024, 3, 9)).ToString(br), "09/03/2024");
}

TEST(Variant, TextRoundTripsThroughTheSameSettings) {
    FormatSettings br = Brazilian();
    for (double d : {0.1, -2.5, 1234567.125, 3.0e-7, 6.02214076e23}) {
        Variant text(Variant(d).ToString(br));
        EXPECT_DOUBLE_EQ(text.ToDouble(br), d);
    }
    TDateTime when = EncodeDate(1999, 12, 31) + EncodeTime(23, 59, 58, 0);
    Variant text(Variant::FromDate(when).ToString(br));
    EXPECT_NEAR(text.ToDateTime(br), when, 1e-9);
}

TEST(Variant, ConversionsFromText) {
    FormatSettings br = Brazilian();
    EXPECT_EQ(Variant(" 42 ").ToInteger(br), 42);
    EXPECT_EQ(Variant("2,5").ToInteger(br), 2);  // halves round to even
    EXPECT_EQ(Variant("3,5").ToInteger(br), 4);
    EXPECT_THROW(Variant("1.5").ToDouble(br), EVariantError);  // not this locale's separator
    EXPECT_THROW(Variant("1.000,5").ToDouble(br), EVariantError);
    EXPECT_THROW(Variant("abc").ToInteger(br), EVariantError);
    EXPECT_TRUE(Variant("true").ToBoolean(br));
    EXPECT_FALSE(Variant("0").ToBoolean(br));
    EXPECT_TRUE(Variant("-1").ToBoolean(br));
    EXPECT_THROW(Variant("yes").ToBoolean(br), EVariantError);
    EXPECT_EQ(Variant("12,34567").ToCurrency(br).Scaled, 123457);
}

TEST(Variant, NumericConversionsAndRanges) {
    EXPECT_EQ(Variant(true).ToInteger(), -1);
    EXPECT_EQ(Variant(2.5).ToInteger(), 2);
    EXPECT_EQ(Variant(Currency{25000}).ToInteger(), 2);
    EXPECT_EQ(Variant(Currency{35000}).ToInteger(), 4);
    EXPECT_THROW(Variant(3e9).ToInteger(), EVariantError);
    EXPECT_THROW(Variant(40000).ConvertTo(varSmallint), EVariantError);
    EXPECT_EQ(Variant(200).ConvertTo(varByte), Variant(std::uint8_t{200}));
    EXPECT_EQ(Variant(12).ConvertTo(varOleStr), Variant("12"));
    EXPECT_DOUBLE_EQ(Variant(Currency{123456}).ToDouble(), 12.3456);
    EXPECT_THROW(Variant::Null().ConvertTo(varInteger), EVariantError);
}

TEST(Variant, WideStringIsUtf16) {
    EXPECT_EQ(Variant("ação").AsWideString(), u"ação");
    EXPECT_EQ(Variant("\xF0\x9F\x98\x80").AsWideString(), u"\U0001F600");
}

}  // namespace
}  // namespace pavana
