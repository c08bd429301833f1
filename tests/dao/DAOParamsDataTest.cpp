#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "dao/DAOParams.h"
#include "rtl/Exceptions.h"
#include "rtl/Streams.h"

namespace pavana {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Written(const TParams& list) {
    TMemoryStream stream;
    list.WriteData(stream);
    return stream.Bytes();
}

void ReadInto(TParams& list, Bytes bytes) {
    TMemoryStream stream(std::move(bytes));
    list.ReadData(stream);
}

Bytes DoubleBytes(double v) {
    Bytes b(8);
    std::memcpy(b.data(), &v, 8);
    return b;
}

// A list with one parameter of every type that has a native form, some null, some unbound.
void FillEveryType(TParams& list) {
    list.CreateParam(ftUnknown, "unknown", ptUnknown);
    list.CreateParam(ftUnknown, "string", ptInput).SetAsString("Ação 'x'");
    list.CreateParam(ftUnknown, "memo", ptOutput).SetAsMemo("l1\r\nl2");
    list.CreateParam(ftUnknown, "small", ptInputOutput).SetAsSmallInt(-2);
    list.CreateParam(ftUnknown, "word", ptResult).SetAsWord(65535);
    list.CreateParam(ftUnknown, "bool", ptInput).SetAsBoolean(true);
    list.CreateParam(ftUnknown, "int", ptInput).SetAsInteger(-2147483647 - 1);
    list.CreateParam(ftUnknown, "float", ptInput).SetAsFloat(-1.5e300);
    list.CreateParam(ftUnknown, "money", ptInput).SetAsCurrency(2.25);
    list.CreateParam(ftUnknown, "date", ptInput).SetAsDate(36526);
    list.CreateParam(ftUnknown, "time", ptInput).SetAsTime(0.5);
    list.CreateParam(ftUnknown, "stamp", ptInput)
        .SetAsDateTime(TimeStampToDateTime({45296123, 730120}));
    list.CreateParam(ftCursor, "cursor", ptOutput).SetBound(true);
    TParam& unbound = list.CreateParam(ftUnknown, "unbound", ptInput);
    unbound.SetAsInteger(7);
    unbound.SetBound(false);
    list.CreateParam(ftUnknown, "nullText", ptInput).SetAsString("gone");
    list.ParamByName("nullText").Clear();
    list.CreateParam(ftAutoInc, "auto", ptInput).SetBound(true);
}

TEST(TParamNativeForm, SizesAndBytesFollowTheType) {
    TParam p;
    p.SetAsString("Ação");
    EXPECT_EQ(p.GetDataSize(), 7u);  // UTF-8 bytes and the zero
    EXPECT_EQ(p.GetData().back(), 0);
    p.SetAsBoolean(true);
    EXPECT_EQ(p.GetData(), (Bytes{1, 0}));
    p.SetAsWord(0x1234);
    EXPECT_EQ(p.GetData(), (Bytes{0x34, 0x12}));
    p.SetAsDate(36526.75);
    EXPECT_EQ(p.GetData(), (Bytes{0x08, 0x24, 0x0B, 0x00}));  // day 730120, the time dropped
    p.SetAsTime(36526.5);
    EXPECT_EQ(p.GetData(), (Bytes{0x00, 0x2E, 0x93, 0x02}));  // 43 200 000 ms
    p.SetAsDateTime(36526.5);
    EXPECT_EQ(p.GetData(), DoubleBytes(63082411200000.0));
    p.SetDataType(ftCursor);
    EXPECT_EQ(p.GetDataSize(), 0u);
    EXPECT_TRUE(p.GetData().empty());
}

TEST(TParamNativeForm, TypesWithoutAFormFail) {
    TParam p;
    p.SetName("p");
    try {
        p.GetDataSize();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Field 'p' is of unknown type");
    }
    p.SetAsBlob("b");
    try {
        p.GetData();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Field 'p' is of an unsupported type");
    }
    p.SetDataType(ftBytes);
    EXPECT_THROW(p.SetData(Bytes{1, 2}), EDatabaseError);
    p.SetAsDateTime(1e300);
    EXPECT_THROW(p.GetData(), EConvertError);
}

TEST(TParamNativeForm, SetDataStoresThroughTheTypesSetter) {
    TParam p;
    p.SetDataType(ftAutoInc);
    p.SetData(Bytes{0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(p.DataType(), ftInteger);
    EXPECT_EQ(p.Value(), Variant(std::int32_t{-1}));
    EXPECT_TRUE(p.Bound());
    p.SetDataType(ftWord);
    p.SetData(Bytes{0xFF, 0xFF});
    EXPECT_EQ(p.AsString(), "65535");
    p.SetDataType(ftBoolean);
    p.SetData(Bytes{0x00, 0x01});
    EXPECT_EQ(p.AsString(), "True");
    p.SetDataType(ftString);
    p.SetData(Bytes{'a', 'b', 'c'});  // no zero byte: the text ends with the data
    EXPECT_EQ(p.AsString(), "abc");
    p.SetDataType(ftDateTime);
    p.SetData(DoubleBytes(63082411200000.4));
    EXPECT_EQ(p.AsDateTime(), 36526.5);
    p.SetDataType(ftTime);
    p.SetData(Bytes{0x00, 0x2E, 0x93, 0x02});
    EXPECT_EQ(p.AsDateTime(), 0.5);
    TParam cursor;
    cursor.SetAsInteger(4);
    cursor.SetBound(false);
    cursor.SetDataType(ftCursor);
    cursor.SetData(Bytes{9});
    EXPECT_FALSE(cursor.Bound());
    EXPECT_EQ(cursor.Value(), Variant(std::int32_t{0}));
    TParam blob;
    blob.SetBlobData(Bytes{0, 255});
    EXPECT_EQ(blob.DataType(), ftBlob);
    EXPECT_EQ(blob.AsString(), std::string("\0\xff", 2));
}

TEST(TParamNativeForm, ShortOrOutOfRangeDataIsRefused) {
    TParam p;
    p.SetName("p");
    p.SetAsSmallInt(5);
    try {
        p.SetData(Bytes{1});
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Parameter 'p', data of 1 bytes is too short for its type");
    }
    EXPECT_EQ(p.AsString(), "5");
    p.SetDataType(ftDate);
    EXPECT_THROW(p.SetData(Bytes{0, 0, 0, 0}), EConvertError);
    p.SetDataType(ftDateTime);
    EXPECT_THROW(p.SetData(DoubleBytes(std::nan(""))), EConvertError);
    EXPECT_THROW(p.SetData(DoubleBytes(1e300)), EConvertError);
}

TEST(TParamsStoredForm, EveryNativeTypeRoundTrips) {
    TParams written;
    FillEveryType(written);
    TParams read;
    ReadInto(read, Written(written));
    ASSERT_EQ(read.Count(), written.Count());
    for (int i = 0; i < written.Count(); ++i) {
        const TParam& a = written.Items(i);
        const TParam& b = read.Items(i);
        EXPECT_EQ(b.Owner(), &read);
        if (a.Name() == "auto") {
            EXPECT_EQ(b.DataType(), ftInteger);
            EXPECT_TRUE(b.Bound());
        } else if (a.IsNull()) {
            EXPECT_TRUE(b.IsNull());
            EXPECT_EQ(b.DataType(), a.DataType());
            EXPECT_EQ(b.Name(), a.Name());
        } else {
            EXPECT_TRUE(b.IsEqual(a)) << a.Name();
        }
    }
}

TEST(TParamsStoredForm, ClearedIntegerIsWrittenWithZeroDataAndTheNullByte) {
    TParams list;
    TParam& x = list.CreateParam(ftInteger, "x", ptUnknown);
    x.SetAsInteger(5);
    x.Clear();
    EXPECT_EQ(Written(list), (Bytes{1, 0, 1, 0, 1, 'x', 0, 3, 4, 0, 0, 0, 0, 0, 1, 1}));
    EXPECT_EQ(Written(TParams()), (Bytes{1, 0, 0, 0}));
}

TEST(TParamsStoredForm, VersionTwoReads) {
    Bytes v2 = {2, 0, 3, 0, 0,   0,  // version, count
                3, 0, 0, 0, 'a', 'b', 'c', 1, 3,  4, 0, 0, 0, 42,  0,   0, 0,
                0, 1, 1, 0, 0,   0,   'g', 0, 17, 2, 0, 0, 0, 'h', 'i', 0, 0,  // ftGraphic
                1, 0, 0, 0, 'u', 2,   0,   1, 0};                              // ftUnknown, no data
    TParams list;
    ReadInto(list, v2);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Items(0).Name(), "abc");
    EXPECT_EQ(list.Items(0).ParamType(), ptInput);
    EXPECT_EQ(list.Items(0).Value(), Variant(std::int32_t{42}));
    EXPECT_TRUE(list.Items(0).Bound());
    EXPECT_EQ(list.Items(1).DataType(), ftBlob);
    EXPECT_EQ(list.Items(1).AsString(), "hi");
    EXPECT_FALSE(list.Items(1).Bound());
    EXPECT_EQ(list.Items(2).ParamType(), ptOutput);
    EXPECT_TRUE(list.Items(2).IsNull());
    EXPECT_EQ(list.Items(2).Value(), Variant(std::int32_t{0}));
}

TEST(TParamsStoredForm, WhatCannotBeWrittenFailsBeforeWriting) {
    TParams list;
    list.CreateParam(ftUnknown, "fits", ptUnknown).SetAsString(std::string(2047, 'x'));
    EXPECT_EQ(Written(list).size(), 4u + 1 + 4 + 2 + 2 + 2048 + 2);
    list.CreateParam(ftUnknown, "big", ptUnknown).SetAsString(std::string(2048, 'x'));
    TMemoryStream stream;
    try {
        list.WriteData(stream);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Parameter 'big', cannot save data larger than 2048 bytes");
    }
    EXPECT_EQ(stream.Size(), 0);
    TParams blob;
    blob.CreateParam(ftUnknown, "b", ptUnknown).SetAsBlob("x");
    EXPECT_THROW(Written(blob), EDatabaseError);
    TParams longName;
    longName.CreateParam(ftUnknown, std::string(256, 'n'), ptUnknown);
    EXPECT_THROW(Written(longName), EDatabaseError);
}

TEST(TParamsStoredForm, MalformedInputFailsAndKeepsTheList) {
    TParams source;
    FillEveryType(source);
    const Bytes good = Written(source);
    TParams list;
    list.CreateParam(ftInteger, "keep", ptUnknown);
    for (std::size_t n = 0; n < good.size(); ++n) {
        Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_THROW(ReadInto(list, cut), EStreamError) << n;
        ASSERT_EQ(list.Count(), 1);
        EXPECT_EQ(list.Items(0).Name(), "keep");
    }
    const Bytes bad[] = {
        {3, 0, 0, 0},                                     // unknown version
        {2, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'a'},  // name length past the end
        {1, 0, 1, 0, 1, 'a', 0, 200, 0, 0, 0},            // unknown data type
        {1, 0, 1, 0, 1, 'a', 9, 0, 0, 0},                 // unknown parameter type
        {1, 0, 1, 0, 1, 'a', 0, 3, 2, 0, 1, 2, 0, 0},     // integer data too short
        {1, 0, 1, 0, 1, 'a', 0, 12, 1, 0, 7, 0, 0},       // ftBytes has no native form
    };
    for (const Bytes& b : bad) {
        EXPECT_THROW(ReadInto(list, b), Exception);
        EXPECT_EQ(list.Count(), 1);
    }
    Bytes oversized = {2, 0, 1, 0, 0, 0, 1, 0, 0, 0, 'a', 0, 1, 0x01, 0x08, 0, 0};
    oversized.resize(oversized.size() + 2049, 'x');
    oversized.insert(oversized.end(), {0, 1});
    try {
        ReadInto(list, oversized);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Parameter 'a', cannot read data larger than 2048 bytes");
    }
}

TEST(TParamsStoredForm, DataIsStoredWhenItDiffersFromTheAncestor) {
    TParams list, ancestor;
    EXPECT_FALSE(list.ShouldStoreData(nullptr));
    list.CreateParam(ftInteger, "p", ptUnknown);
    EXPECT_TRUE(list.ShouldStoreData(nullptr));
    EXPECT_TRUE(list.ShouldStoreData(&ancestor));
    ancestor.Assign(&list);
    EXPECT_FALSE(list.ShouldStoreData(&ancestor));
}

}  // namespace
}  // namespace pavana
