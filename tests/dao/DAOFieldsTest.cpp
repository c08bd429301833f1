#include "dao/DAOFields.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/Constants.h"

namespace pavana {
namespace {

// Slot data of one type, with room to spare so that writing past the slot shows.
struct Slot {
    explicit Slot(TFieldType type, std::uint16_t size = 0) : bytes(SlotDataSize(type, size) + 8, 0xEE) {
        std::fill(bytes.begin(), bytes.end() - 8, 0);
    }
    SlotData Data() { return {bytes.data(), bytes.size() - 8, &object}; }
    template <class T>
    T As() const {
        T value;
        std::memcpy(&value, bytes.data(), sizeof value);
        return value;
    }
    bool Guarded() const {
        return std::all_of(bytes.end() - 8, bytes.end(), [](std::uint8_t b) { return b == 0xEE; });
    }
    std::vector<std::uint8_t> bytes;
    Variant object;
};

TEST(DAOFieldsTest, EngineTypesMapAsTheTableSays) {
    using namespace engine;
    EXPECT_EQ(DAOTypeToFieldType(dbByte), ftSmallint);
    EXPECT_EQ(DAOTypeToFieldType(dbDate), ftDateTime);
    EXPECT_EQ(DAOTypeToFieldType(dbTime), ftTime);
    EXPECT_EQ(DAOTypeToFieldType(dbCurrency), ftCurrency);
    EXPECT_EQ(DAOTypeToFieldType(dbDecimal), ftFloat);
    EXPECT_EQ(DAOTypeToFieldType(dbMemo), ftMemo);
    for (int unmapped : {0, int{dbBinary}, 13, 14, int{dbGUID}, int{dbBigInt}, int{dbVarBinary}, int{dbChar},
                         int{dbTimeStamp}, 24, -1})
        EXPECT_EQ(DAOTypeToFieldType(unmapped), ftUnknown) << unmapped;
    EXPECT_EQ(SlotDataSize(ftUnknown, 10), 0u);
    EXPECT_EQ(SlotDataSize(ftVarBytes, 10), 12u);
    EXPECT_EQ(SlotDataSize(ftBoolean, 0), 2u);
}

TEST(DAOFieldsTest, EngineValuesIntoSlots) {
    Slot currency(ftCurrency);
    EngineValueToSlot(Variant(Currency{123456}), currency.Data(), ftCurrency);
    EXPECT_DOUBLE_EQ(currency.As<double>(), 12.3456);

    Slot byte(ftSmallint);
    EngineValueToSlot(Variant(std::uint8_t{200}), byte.Data(), ftSmallint);
    EXPECT_EQ(byte.As<std::int16_t>(), 200);

    const Variant when = Variant::FromDate(EncodeDate(2000, 1, 2) + EncodeTime(6, 0, 0, 0));
    Slot date(ftDate), time(ftTime), stamp(ftDateTime);
    EngineValueToSlot(when, date.Data(), ftDate);
    EngineValueToSlot(when, time.Data(), ftTime);
    EngineValueToSlot(when, stamp.Data(), ftDateTime);
    EXPECT_EQ(date.As<std::int32_t>(), DateTimeToTimeStamp(EncodeDate(2000, 1, 2)).Date);
    EXPECT_EQ(time.As<std::int32_t>(), 6 * 3600 * 1000);
    EXPECT_DOUBLE_EQ(stamp.As<double>(), TimeStampToMSecs(DateTimeToTimeStamp(when.ToDateTime())));

    Slot text(ftString, 3);
    EngineValueToSlot(Variant("ação completa"), text.Data(), ftString);
    EXPECT_TRUE(text.Guarded());
    EXPECT_EQ(SlotToEngineValue(text.Data(), ftString, 3).ToString(), "ação co");

    Slot bytes(ftVarBytes, 4);
    EngineValueToSlot(Variant(std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}), bytes.Data(), ftVarBytes);
    EXPECT_TRUE(bytes.Guarded());
    EXPECT_EQ(SlotToEngineValue(bytes.Data(), ftVarBytes, 4).Bytes(), (std::vector<std::uint8_t>{1, 2, 3, 4}));

    // Values of another kind than the slot's are converted by value, or leave it untouched.
    Slot widened(ftInteger), floated(ftFloat), texted(ftString, 8);
    EngineValueToSlot(Variant(std::int16_t{-3}), widened.Data(), ftInteger);
    EngineValueToSlot(Variant(std::int32_t{7}), floated.Data(), ftFloat);
    EngineValueToSlot(Variant(std::int32_t{42}), texted.Data(), ftString);
    EXPECT_EQ(widened.As<std::int32_t>(), -3);
    EXPECT_DOUBLE_EQ(floated.As<double>(), 7.0);
    EXPECT_EQ(SlotToEngineValue(texted.Data(), ftString, 8).ToString(), "42");

    Slot untouched(ftInteger);
    EngineValueToSlot(Variant("abc"), untouched.Data(), ftInteger);
    EngineValueToSlot(Variant(3e9), untouched.Data(), ftInteger);
    EngineValueToSlot(Variant::Null(), untouched.Data(), ftInteger);
    EngineValueToSlot(Variant::FromError(5), untouched.Data(), ftInteger);
    EXPECT_EQ(untouched.As<std::int32_t>(), 0);
}

TEST(DAOFieldsTest, SlotsIntoEngineValues) {
    Slot smallint(ftSmallint), word(ftWord), memo(ftMemo);
    std::int16_t minusOne = -1;
    std::memcpy(smallint.bytes.data(), &minusOne, 2);
    std::memcpy(word.bytes.data(), &minusOne, 2);
    EXPECT_EQ(SlotToEngineValue(smallint.Data(), ftSmallint, 0).ToInteger(), -1);
    EXPECT_EQ(SlotToEngineValue(word.Data(), ftWord, 0).ToInteger(), 65535);
    memo.object = Variant("");
    EXPECT_TRUE(SlotToEngineValue(memo.Data(), ftMemo, 0).IsEmpty());
    memo.object = Variant::Null();
    EXPECT_TRUE(SlotToEngineValue(memo.Data(), ftMemo, 0).IsNull());
    memo.object = Variant("texto");
    EXPECT_EQ(SlotToEngineValue(memo.Data(), ftMemo, 0).ToString(), "texto");
    Slot unknown(ftAutoInc);
    EXPECT_TRUE(SlotToEngineValue(unknown.Data(), ftAutoInc, 0).IsEmpty());
}

TEST(DAOFieldsTest, DefaultTextsFillSlotsAndNeverFail) {
    using namespace engine;
    Slot yes(ftBoolean), lower(ftBoolean);
    DefaultTextToSlot("True", dbBoolean, yes.Data());
    DefaultTextToSlot("true", dbBoolean, lower.Data());
    EXPECT_EQ(yes.bytes[0], 1);
    EXPECT_EQ(lower.bytes[0], 0);

    Slot number(ftSmallint), bad(ftInteger), money(ftCurrency);
    DefaultTextToSlot("42", dbInteger, number.Data());
    DefaultTextToSlot("x1", dbLong, bad.Data());
    DefaultTextToSlot("1.5", dbCurrency, money.Data());
    EXPECT_EQ(number.As<std::int16_t>(), 42);
    EXPECT_EQ(bad.As<std::int32_t>(), 0);
    EXPECT_DOUBLE_EQ(money.As<double>(), 1.5);

    Slot failed(ftDateTime);
    DefaultTextToSlot("#1/2/2000 13:04:05#", dbDate, failed.Data());
    EXPECT_EQ(failed.As<double>(), 0.0);

    Slot text(ftString, 2);
    DefaultTextToSlot("abcdefgh", dbText, text.Data());
    EXPECT_TRUE(text.Guarded());
}

TEST(DAOFieldsTest, DateLiterals) {
    EXPECT_EQ(ParseDateLiteral("#1/2/29#"), EncodeDate(2029, 1, 2));
    EXPECT_EQ(ParseDateLiteral("#1/2/30#"), EncodeDate(1930, 1, 2));
    EXPECT_EQ(ParseDateLiteral("#12/31/1999#"), EncodeDate(1999, 12, 31));
    EXPECT_EQ(ParseDateLiteral("#1/2/2000 11:00:00 PM#"), EncodeDate(2000, 1, 2) + EncodeTime(23, 0, 0, 0));
    EXPECT_EQ(ParseDateLiteral("#1/2/2000 3:04:05 AM#"), EncodeDate(2000, 1, 2) + EncodeTime(3, 4, 5, 0));
    EXPECT_FALSE(ParseDateLiteral("#1/2/2000 13:04:05#"));
    EXPECT_FALSE(ParseDateLiteral("#13/2/2000#"));
    EXPECT_FALSE(ParseDateLiteral("#a/2/2000#"));
    EXPECT_FALSE(ParseDateLiteral("#1/2#"));
    EXPECT_FALSE(ParseDateLiteral(""));
}

}  // namespace
}  // namespace pavana
