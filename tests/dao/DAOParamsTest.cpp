#include <gtest/gtest.h>

#include "dao/DAOParams.h"
#include "rtl/Exceptions.h"
#include "rtl/StringList.h"

namespace pavana {
namespace {

std::vector<std::string> Names(std::string_view sql, char marker = ':') {
    TParams list;
    ParseSQLNames(&list, sql, marker);
    std::vector<std::string> names;
    for (int i = 0; i < list.Count(); ++i) names.push_back(list.Items(i).Name());
    return names;
}

using V = std::vector<std::string>;

TEST(ParseSQLNames, MarkersInsideLiteralsNameNothing) {
    EXPECT_EQ(Names("select * from t where a = :id and b = 'x:y'"), V{"id"});
    EXPECT_EQ(Names("where d = #1/2/2000 10:00:00# and c = \":z\" and e = :e"), V{"e"});
    EXPECT_EQ(Names("where a = 'it\"s :no' and b = :yes"), V{"yes"});
    EXPECT_EQ(Names("where a = 'never closed :x"), V{});
}

TEST(ParseSQLNames, DoubledMarkersAndEmptyNames) {
    EXPECT_EQ(Names("a::b"), V{});
    EXPECT_EQ(Names("a = :::x"), V{"x"});
    EXPECT_EQ(Names("a = : and b = :"), (V{"", ""}));
}

TEST(ParseSQLNames, NamesEndAtEveryDelimiter) {
    EXPECT_EQ(Names("(:a,:b;:c)\r\n:d\n:e\r:f :g"), (V{"a", "b", "c", "d", "e", "f", "g"}));
    EXPECT_EQ(Names("select %cols from t where %cond", '%'), (V{"cols", "cond"}));
}

TEST(ParseSQLNames, QuotedNamesMayHoldSpaces) {
    EXPECT_EQ(Names("a = :'first name' and b = :\"x y\""), (V{"first name", "x y"}));
    // A quote later in the name is kept, and so is a quote at the start of a later name part.
    EXPECT_EQ(Names("a = :a'b c'd, 1"), V{"a'b c'd"});
}

TEST(ParseSQLNames, RepeatedNamesGiveOneEntryEach) {
    TParams list;
    ParseSQLNames(&list, "a = :x or b = :x", ':');
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(1).DataType(), ftUnknown);
    EXPECT_EQ(list.Items(1).ParamType(), ptUnknown);
}

TEST(ParseSQLNames, MarkerThatIsADelimiterStillMovesOn) {
    EXPECT_EQ(Names("a b", ' '), V{"b"});
    EXPECT_EQ(Names("x,y", ','), V{"y"});
    EXPECT_EQ(Names("a,,b,", ','), V{""});
}

TEST(TParam, NewParameterHoldsIntegerZero) {
    TParam p(ptInput);
    EXPECT_EQ(p.Value().VarType(), varInteger);
    EXPECT_EQ(p.AsString(), "0");
    EXPECT_FALSE(p.IsNull());
    EXPECT_FALSE(p.Bound());
    EXPECT_EQ(p.DataType(), ftUnknown);
    EXPECT_EQ(p.ParamType(), ptInput);
    EXPECT_EQ(p.Owner(), nullptr);
}

TEST(TParam, SettersSetTypeValueAndFlags) {
    struct Case {
        std::function<void(TParam&)> set;
        TFieldType type;
        std::uint16_t varType;
    };
    const Case cases[] = {
        {[](TParam& p) { p.SetAsString("s"); }, ftString, varString},
        {[](TParam& p) { p.SetAsMemo("m"); }, ftMemo, varString},
        {[](TParam& p) { p.SetAsBlob(std::string("a\0b", 3)); }, ftBlob, varString},
        {[](TParam& p) { p.SetAsSmallInt(-2); }, ftSmallint, varSmallint},
        {[](TParam& p) { p.SetAsInteger(7); }, ftInteger, varInteger},
        {[](TParam& p) { p.SetAsWord(65535); }, ftWord, varWord},
        {[](TParam& p) { p.SetAsBoolean(true); }, ftBoolean, varBoolean},
        {[](TParam& p) { p.SetAsFloat(1.5); }, ftFloat, varDouble},
        {[](TParam& p) { p.SetAsCurrency(2.25); }, ftCurrency, varDouble},
        {[](TParam& p) { p.SetAsDate(36526); }, ftDate, varDate},
        {[](TParam& p) { p.SetAsTime(0.5); }, ftTime, varDate},
        {[](TParam& p) { p.SetAsDateTime(36526.5); }, ftDateTime, varDate},
    };
    for (const Case& c : cases) {
        TParam p;
        p.Clear();
        c.set(p);
        EXPECT_EQ(p.DataType(), c.type);
        EXPECT_EQ(p.Value().VarType(), c.varType) << int{c.type};
        EXPECT_TRUE(p.Bound());
        EXPECT_FALSE(p.IsNull());
    }
    TParam blob;
    blob.SetAsBlob(std::string("a\0b", 3));
    EXPECT_EQ(blob.AsString(), std::string("a\0b", 3));
}

TEST(TParam, TypeChangeAndClearKeepWhatTheyShould) {
    TParam p;
    p.SetAsString("text");
    p.SetDataType(ftFloat);
    EXPECT_EQ(p.Value(), Variant(std::int32_t{0}));
    EXPECT_TRUE(p.Bound());
    p.SetAsInteger(5);
    p.Clear();
    EXPECT_TRUE(p.IsNull());
    EXPECT_TRUE(p.Bound());
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
    p.SetAsBoolean(false);
    EXPECT_EQ(p.AsString(), "False");
    p.SetDataType(ftBoolean);  // the integer 0 of a type change reads as false too
    EXPECT_EQ(p.AsString(), "False");
    p.SetAsDateTime(36526.75);
    EXPECT_EQ(p.AsString(), "01/01/2000 18:00:00");
    p.SetAsDate(36526);
    EXPECT_EQ(p.AsString(), "01/01/2000");
    p.SetAsString("02/01/2000");
    EXPECT_EQ(p.AsDateTime(), 36527);
    FormatSettings::SetCurrent(saved);
}

TEST(TParam, AssignCopiesValueFlagsAndName) {
    TParam source(ptOutput);
    source.SetName("x");
    source.SetAsInteger(42);
    source.SetBound(false);
    TParam target;
    target.Assign(&source);
    EXPECT_TRUE(target.IsEqual(source));

    TParam typed(ptInput);
    typed.Assign(&source);
    EXPECT_EQ(typed.ParamType(), ptInput);  // a known direction is kept
    EXPECT_FALSE(typed.IsEqual(source));

    source.Clear();
    target.SetAsString("old");
    target.Assign(&source);
    EXPECT_TRUE(target.IsNull());
    EXPECT_EQ(target.DataType(), ftInteger);
    EXPECT_EQ(target.Value(), Variant(std::int32_t{0}));
}

TEST(TParam, AssignToItselfKeepsTheValue) {
    TParam p;
    p.SetAsString("keep");
    p.Assign(&p);
    EXPECT_EQ(p.AsString(), "keep");
}

TEST(TParam, AssignFromStringListGivesItsWholeTextAsMemo) {
    TStringList lines;
    lines.Add("a");
    lines.Add("b");
    TParam p;
    p.Assign(lines);
    EXPECT_EQ(p.DataType(), ftMemo);
    EXPECT_EQ(p.AsString(), "a\r\nb\r\n");
}

TEST(TParam, AssignFromUnknownSourcesFails) {
    TParam p;
    TParams list;
    try {
        p.Assign(&list);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TParams to a TParam");
    }
    EXPECT_THROW(p.Assign(nullptr), EConvertError);
}

TEST(TParam, EqualityComparesEveryMember) {
    TParam a, b;
    a.SetName("n");
    b.SetName("n");
    a.SetAsInteger(1);
    b.SetAsInteger(1);
    EXPECT_TRUE(a.IsEqual(b));
    b.SetName("N");
    EXPECT_FALSE(a.IsEqual(b));
    b.SetName("n");
    b.SetParamType(ptInput);
    EXPECT_FALSE(a.IsEqual(b));
    b.SetParamType(ptUnknown);
    b.SetAsSmallInt(1);
    b.SetDataType(ftInteger);
    EXPECT_FALSE(a.IsEqual(b));  // integer 0 after the type change
}

TEST(TParams, LookupsIgnoreCaseAndFindTheFirst) {
    TParams list;
    TParam& first = list.CreateParam(ftInteger, "Ação", ptInput);
    list.CreateParam(ftString, "AÇÃO", ptOutput);
    list.CreateParam(ftString, "other", ptOutput);
    EXPECT_EQ(first.Owner(), &list);
    EXPECT_EQ(&list.ParamByName("aÇão"), &first);
    EXPECT_EQ(&list.Items(1), &first);
    EXPECT_EQ(list.Items(2).Name(), "other");
    try {
        list.ParamByName("zz");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Parameter 'zz' not found");
    }
    EXPECT_THROW(list.Items(3), EListError);
    EXPECT_THROW(list.Items(-1), EListError);
}

TEST(TParams, DeleteAndClearFreeParameters) {
    TParams list;
    TParam& a = list.CreateParam(ftInteger, "a", ptUnknown);
    list.CreateParam(ftInteger, "b", ptUnknown);
    list.Delete(a);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0).Name(), "b");
    TParam outsider;
    list.Delete(outsider);
    EXPECT_EQ(list.Count(), 1);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(TParams, AssignCopiesEveryPosition) {
    TParams source;
    source.CreateParam(ftInteger, "a", ptInput).SetAsInteger(3);
    source.CreateParam(ftString, "b", ptOutput).Clear();
    TParams target;
    target.CreateParam(ftFloat, "gone", ptUnknown);
    target.Assign(&source);
    EXPECT_TRUE(target.IsEqual(source));
    EXPECT_EQ(target.Items(1).ParamType(), ptOutput);

    TParams copy;
    source.AssignTo(copy);
    EXPECT_TRUE(copy.IsEqual(source));
    target.Assign(&target);
    EXPECT_EQ(target.Count(), 2);
    TParam single;
    EXPECT_THROW(target.Assign(&single), EConvertError);
    EXPECT_THROW(source.AssignTo(single), EConvertError);
}

TEST(TParams, AssignValuesMatchesExactNamesOnly) {
    TParams own;
    ParseSQLNames(&own, ":id :x :x :y", ':');
    TParams given;
    given.CreateParam(ftUnknown, "ID", ptUnknown).SetAsInteger(1);
    given.CreateParam(ftUnknown, "x", ptUnknown).SetAsString("first");
    given.CreateParam(ftUnknown, "y", ptUnknown).SetAsFloat(2.5);
    own.Items(3).SetAsInteger(9);
    own.AssignValues(given);
    EXPECT_FALSE(own.Items(0).Bound());
    EXPECT_EQ(own.Items(1).AsString(), "first");
    EXPECT_EQ(own.Items(3).DataType(), ftFloat);
    own.Delete(own.Items(1));  // the second x was never assigned
    EXPECT_FALSE(own.Items(1).Bound());
    EXPECT_EQ(own.Count(), 3);
}

TEST(TParams, EqualityNeedsSameCountAndItems) {
    TParams a, b;
    EXPECT_TRUE(a.IsEqual(b));
    a.CreateParam(ftInteger, "p", ptUnknown);
    EXPECT_FALSE(a.IsEqual(b));
    b.CreateParam(ftInteger, "p", ptUnknown);
    EXPECT_TRUE(a.IsEqual(b));
    b.Items(0).SetBound(true);
    EXPECT_FALSE(a.IsEqual(b));
}

}  // namespace
}  // namespace pavana
