#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "dao/DAOParams.h"
#include "rtl/Exceptions.h"
#include "rtl/Streams.h"
#include "rtl/StringList.h"

namespace pavana {
namespace {

using V = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

V Names(std::string_view sql, char marker = ':') {
    TParams list;
    ParseSQLNames(&list, sql, marker);
    V names;
    for (int i = 0; i < list.Count(); ++i) names.push_back(list.Items(i).Name());
    return names;
}

template <typename E>
void ExpectMessage(const std::function<void()>& action, const char* message) {
    try {
        action();
        ADD_FAILURE() << "no error, expected: " << message;
    } catch (const E& e) {
        EXPECT_STREQ(e.what(), message);
    }
}

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

TEST(ParseSQLNames, LiteralsAndDoubledMarkersNameNothing) {
    EXPECT_EQ(Names("select * from t where a = :id and b = 'x:y'"), V{"id"});
    EXPECT_EQ(Names("d = #1/2/2000 10:00:00# and c = \":z\" and 'it\"s :no' and :e"), V{"e"});
    EXPECT_EQ(Names("a = 'never closed :x"), V{});
    EXPECT_EQ(Names("a::b"), V{});
    EXPECT_EQ(Names("a = :::x"), V{"x"});
    EXPECT_EQ(Names("a = : and b = :"), (V{"", ""}));
}

TEST(ParseSQLNames, NamesEndAtDelimitersUnlessQuoted) {
    EXPECT_EQ(Names("(:a,:b;:c)\r\n:d\n:e\r:f :f"), (V{"a", "b", "c", "d", "e", "f", "f"}));
    EXPECT_EQ(Names("select %cols from t", '%'), V{"cols"});
    EXPECT_EQ(Names(":'first name' and :\"x y\""), (V{"first name", "x y"}));
    EXPECT_EQ(Names(":'a\"b c' and :z"), (V{"a\"b c", "z"}));  // only its own quote ends it
    EXPECT_EQ(Names(":a'b c'd, 1"), V{"a'b c'd"});             // quotes inside are kept
    // A marker that is itself a delimiter still moves the scan on.
    EXPECT_EQ(Names("x,y", ','), V{"y"});
    EXPECT_EQ(Names("a,,b,", ','), V{""});
}

TEST(TParam, SettersTypeChangeAndClear) {
    TParam fresh(ptInput);
    EXPECT_EQ(fresh.Value().VarType(), varInteger);
    EXPECT_EQ(fresh.AsString(), "0");
    EXPECT_FALSE(fresh.IsNull() || fresh.Bound());
    TParam p;
    p.Clear();
    p.SetAsWord(65535);
    EXPECT_TRUE(p.Bound() && !p.IsNull());
    EXPECT_EQ(p.Value().VarType(), varWord);
    EXPECT_EQ(p.DataType(), ftWord);
    p.SetAsInteger(5);
    p.SetDataType(ftFloat);
    EXPECT_EQ(p.Value(), Variant(std::int32_t{0}));
    p.SetAsInteger(5);
    p.Clear();
    EXPECT_TRUE(p.IsNull() && p.Bound());
    EXPECT_EQ(p.DataType(), ftInteger);
    EXPECT_EQ(p.Value(), Variant(std::int32_t{0}));
    EXPECT_EQ(p.AsString(), "");
    EXPECT_EQ(p.AsDateTime(), 0);
}

TEST(TParam, TextFormFollowsTypeAndSettings) {
    FormatSettings saved = FormatSettings::Current();
    FormatSettings br = FormatSettings::Invariant();
    br.DecimalSeparator = ",";
    br.ShortDateFormat = "dd/mm/yyyy";
    br.LongTimeFormat = "hh:nn:ss";
    FormatSettings::SetCurrent(br);
    TParam p;
    p.SetAsFloat(1.5);
    EXPECT_EQ(p.AsString(), "1,5");
    p.SetDataType(ftBoolean);  // the integer 0 of a type change reads as false
    EXPECT_EQ(p.AsString(), "False");
    p.SetAsDateTime(36526.75);
    EXPECT_EQ(p.AsString(), "01/01/2000 18:00:00");
    p.SetAsString("02/01/2000");
    EXPECT_EQ(p.AsDateTime(), 36527);
    FormatSettings::SetCurrent(saved);
}

TEST(TParam, AssignAndEquality) {
    TParam source(ptOutput), target, typed(ptInput);
    source.SetName("x");
    source.SetAsInteger(42);
    source.SetBound(false);
    target.Assign(&source);
    EXPECT_TRUE(target.IsEqual(source));
    typed.Assign(&source);
    EXPECT_EQ(typed.ParamType(), ptInput);  // a known direction is kept
    target.SetName("X");
    EXPECT_FALSE(target.IsEqual(source));
    target.SetName("x");
    target.SetAsSmallInt(42);
    target.SetDataType(ftInteger);
    target.SetBound(false);
    EXPECT_FALSE(target.IsEqual(source));  // integer 0 now

    source.Clear();
    target.SetAsString("old");
    target.Assign(&source);
    EXPECT_TRUE(target.IsNull());
    EXPECT_EQ(target.DataType(), ftInteger);
    target.SetAsString("keep");
    target.Assign(&target);
    EXPECT_EQ(target.AsString(), "keep");

    TStringList lines;
    lines.Add("a");
    lines.Add("b");
    target.Assign(lines);
    EXPECT_EQ(target.DataType(), ftMemo);
    EXPECT_EQ(target.AsString(), "a\r\nb\r\n");
    TParams list;
    ExpectMessage<EConvertError>([&] { target.Assign(&list); }, "Cannot assign a TParams to a TParam");
    EXPECT_THROW(target.Assign(nullptr), EConvertError);
}

TEST(TParams, LookupsIgnoreCaseAndFindTheFirst) {
    TParams list;
    TParam& first = list.CreateParam(ftInteger, "Ação", ptInput);
    list.CreateParam(ftString, "AÇÃO", ptOutput);
    TParam& other = list.CreateParam(ftString, "other", ptOutput);
    EXPECT_EQ(first.Owner(), &list);
    EXPECT_EQ(&list.ParamByName("aÇão"), &first);
    EXPECT_EQ(&list.Items(1), &first);
    EXPECT_EQ(&list.Items(2), &other);
    ExpectMessage<EDatabaseError>([&] { list.ParamByName("zz"); }, "Parameter 'zz' not found");
    EXPECT_THROW(list.Items(3), EListError);
    EXPECT_THROW(list.Items(-1), EListError);
    list.Delete(first);
    EXPECT_EQ(list.Items(0).Name(), "AÇÃO");
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(TParams, AssignCopiesAndAssignValuesMatchesExactNames) {
    TParams source, target;
    source.CreateParam(ftInteger, "a", ptInput).SetAsInteger(3);
    source.CreateParam(ftString, "b", ptOutput).Clear();
    target.CreateParam(ftFloat, "gone", ptUnknown);
    target.Assign(&source);
    EXPECT_TRUE(target.IsEqual(source));
    target.Assign(&target);
    EXPECT_TRUE(target.IsEqual(source));
    TParams copy;
    source.AssignTo(copy);
    EXPECT_TRUE(copy.IsEqual(source));
    TParam single;
    EXPECT_THROW(source.AssignTo(single), EConvertError);

    TParams own, given;
    ParseSQLNames(&own, ":id :x :x :y", ':');
    given.CreateParam(ftUnknown, "ID", ptUnknown).SetAsInteger(1);
    given.CreateParam(ftUnknown, "x", ptUnknown).SetAsString("first");
    given.CreateParam(ftUnknown, "y", ptUnknown).SetAsFloat(2.5);
    own.AssignValues(given);
    EXPECT_FALSE(own.Items(0).Bound());
    EXPECT_EQ(own.Items(1).AsString(), "first");
    EXPECT_EQ(own.Items(3).DataType(), ftFloat);
    own.Delete(own.Items(1));  // the second x was never assigned
    EXPECT_FALSE(own.Items(1).Bound());
}

TEST(TParamNativeForm, BytesFollowTheType) {
    TParam p;
    p.SetName("p");
    p.SetAsString("Ação");
    EXPECT_EQ(p.GetDataSize(), 7u);  // UTF-8 bytes and the zero
    p.SetAsBoolean(true);
    EXPECT_EQ(p.GetData(), (Bytes{1, 0}));
    p.SetAsDate(36526.75);
    EXPECT_EQ(p.GetData(), (Bytes{0x08, 0x24, 0x0B, 0x00}));  // day 730120, time dropped
    p.SetAsTime(36526.5);
    EXPECT_EQ(p.GetData(), (Bytes{0x00, 0x2E, 0x93, 0x02}));  // 43 200 000 ms
    p.SetAsDateTime(36526.5);
    EXPECT_EQ(p.GetData(), DoubleBytes(63082411200000.0));
    p.SetDataType(ftUnknown);
    ExpectMessage<EDatabaseError>([&] { p.GetDataSize(); }, "Field 'p' is of unknown type");
    p.SetAsBlob("b");
    ExpectMessage<EDatabaseError>([&] { p.GetData(); }, "Field 'p' is of an unsupported type");
    p.SetAsDateTime(1e300);
    EXPECT_THROW(p.GetData(), EConvertError);
}

TEST(TParamNativeForm, SetDataStoresThroughTheTypesSetter) {
    TParam p;
    p.SetName("p");
    p.SetDataType(ftAutoInc);
    p.SetData(Bytes{0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(p.DataType(), ftInteger);
    EXPECT_EQ(p.Value(), Variant(std::int32_t{-1}));
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
    p.SetDataType(ftCursor);
    p.SetBound(false);
    p.SetData(Bytes{9});
    EXPECT_FALSE(p.Bound());
    p.SetBlobData(Bytes{0, 255});
    EXPECT_EQ(p.AsString(), std::string("\0\xff", 2));

    p.SetAsSmallInt(5);
    ExpectMessage<EDatabaseError>([&] { p.SetData(Bytes{1}); },
                                  "Parameter 'p', data of 1 bytes is too short for its type");
    EXPECT_EQ(p.AsString(), "5");
    p.SetDataType(ftDate);
    EXPECT_THROW(p.SetData(Bytes{0, 0, 0, 0}), EConvertError);
    p.SetDataType(ftDateTime);
    EXPECT_THROW(p.SetData(DoubleBytes(std::nan(""))), EConvertError);
}

// One parameter of every type with a native form; some null, some unbound.
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
    list.CreateParam(ftUnknown, "ms", ptInput).SetAsDateTime(TimeStampToDateTime({45296123, 730120}));
    list.CreateParam(ftCursor, "cursor", ptOutput).SetBound(true);
    list.CreateParam(ftUnknown, "unbound", ptInput).SetAsInteger(7);
    list.ParamByName("unbound").SetBound(false);
    list.CreateParam(ftUnknown, "null", ptInput).SetAsString("gone");
    list.ParamByName("null").Clear();
    list.CreateParam(ftAutoInc, "auto", ptInput).SetBound(true);
}

TEST(TParamsStoredForm, EveryNativeTypeRoundTrips) {
    TParams written, read;
    FillEveryType(written);
    ReadInto(read, Written(written));
    ASSERT_EQ(read.Count(), written.Count());
    for (int i = 0; i < written.Count(); ++i) {
        const TParam& a = written.Items(i);
        const TParam& b = read.Items(i);
        if (a.Name() == "auto") {
            EXPECT_EQ(b.DataType(), ftInteger);
            EXPECT_TRUE(b.Bound());
        } else if (a.IsNull()) {
            EXPECT_TRUE(b.IsNull() && b.DataType() == a.DataType() && b.Name() == a.Name());
        } else {
            EXPECT_TRUE(b.IsEqual(a)) << a.Name();
        }
    }
    EXPECT_TRUE(read.ShouldStoreData(nullptr));
    EXPECT_TRUE(read.ShouldStoreData(&written));  // auto is an integer now
    TParams copy;
    copy.Assign(&written);
    EXPECT_FALSE(written.ShouldStoreData(&copy));
    EXPECT_FALSE(TParams().ShouldStoreData(nullptr));
}

TEST(TParamsStoredForm, ExactBytesAndVersionTwo) {
    TParams list;
    TParam& x = list.CreateParam(ftInteger, "x", ptUnknown);
    x.SetAsInteger(5);
    x.Clear();
    EXPECT_EQ(Written(list), (Bytes{1, 0, 1, 0, 1, 'x', 0, 3, 4, 0, 0, 0, 0, 0, 1, 1}));
    ReadInto(list, {2, 0, 3, 0, 0,   0,                                                  //
                    3, 0, 0, 0, 'a', 'b', 'c', 1, 3, 4, 0, 0,   0,   42, 0, 0, 0, 0, 1,  //
                    1, 0, 0, 0, 'g', 0,   17,  2, 0, 0, 0, 'h', 'i', 0,  0,              // ftGraphic
                    1, 0, 0, 0, 'u', 2,   0,   1, 0});                                   // no data
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Items(0).Name(), "abc");
    EXPECT_EQ(list.Items(0).ParamType(), ptInput);
    EXPECT_EQ(list.Items(0).Value(), Variant(std::int32_t{42}));
    EXPECT_EQ(list.Items(1).DataType(), ftBlob);
    EXPECT_EQ(list.Items(1).AsString(), "hi");
    EXPECT_FALSE(list.Items(1).Bound());
    EXPECT_TRUE(list.Items(2).IsNull());
}

TEST(TParamsStoredForm, WhatCannotBeWrittenFailsBeforeWriting) {
    TParams list;
    list.CreateParam(ftUnknown, "fits", ptUnknown).SetAsString(std::string(2047, 'x'));
    EXPECT_EQ(Written(list).size(), 4u + 1 + 4 + 2 + 2 + 2048 + 2);
    list.CreateParam(ftUnknown, "big", ptUnknown).SetAsString(std::string(2048, 'x'));
    TMemoryStream stream;
    ExpectMessage<EDatabaseError>([&] { list.WriteData(stream); },
                                  "Parameter 'big', cannot save data larger than 2048 bytes");
    EXPECT_EQ(stream.Size(), 0);
    TParams blob, longName;
    blob.CreateParam(ftUnknown, "b", ptUnknown).SetAsBlob("x");
    EXPECT_THROW(Written(blob), EDatabaseError);
    longName.CreateParam(ftUnknown, std::string(256, 'n'), ptUnknown);
    EXPECT_THROW(Written(longName), EDatabaseError);
}

TEST(TParamsStoredForm, MalformedInputFailsAndKeepsTheList) {
    TParams source, list;
    FillEveryType(source);
    const Bytes good = Written(source);
    list.CreateParam(ftInteger, "keep", ptUnknown);
    for (std::size_t n = 0; n < good.size(); ++n) {
        EXPECT_THROW(ReadInto(list, Bytes(good.begin(), good.begin() + n)), EStreamError) << n;
        ASSERT_EQ(list.Count(), 1);
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
        EXPECT_EQ(list.Items(0).Name(), "keep");
    }
    Bytes oversized = {2, 0, 1, 0, 0, 0, 1, 0, 0, 0, 'a', 0, 1, 0x01, 0x08, 0, 0};
    oversized.resize(oversized.size() + 2049 + 2, 'x');
    ExpectMessage<EDatabaseError>([&] { ReadInto(list, oversized); },
                                  "Parameter 'a', cannot read data larger than 2048 bytes");
}

TEST(TMemoryStream, ReadsStopAtTheEndAndPositionsAreChecked) {
    TMemoryStream s({1, 2, 3});
    std::uint8_t buf[4] = {};
    EXPECT_EQ(s.Read(buf, 2), 2u);
    EXPECT_EQ(s.Read(buf, 4), 1u);
    EXPECT_EQ(buf[0], 3);
    s.SetPosition(1);
    ExpectMessage<EStreamError>([&] { s.ReadBuffer(buf, 3); }, "Stream read error");
    EXPECT_THROW(s.Seek(-4, TSeekOrigin::soEnd), EStreamError);
    EXPECT_THROW(s.Seek(INT64_MAX, TSeekOrigin::soEnd), EStreamError);
    EXPECT_EQ(s.Position(), 3);  // the short read moved it; the refused seeks did not
    s.SetPosition(5);
    s.WriteBuffer(buf, 1);
    EXPECT_EQ(s.Bytes(), (Bytes{1, 2, 3, 0, 0, 2}));  // buf holds what the short read got
    s.SetSize(2);
    EXPECT_EQ(s.Position(), 2);
}

}  // namespace
}  // namespace pavana
