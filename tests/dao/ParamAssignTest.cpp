#include <gtest/gtest.h>

#include "dao/DAOParams.h"
#include "db/MemoryTable.h"
#include "rtl/Bitmap.h"
#include "rtl/Exceptions.h"
#include "rtl/Streams.h"

namespace pavana {
namespace {

class ParamAssignTest : public ::testing::Test {
protected:
    void SetUp() override {
        table_.FieldDefs().Add("Codigo", ftAutoInc, 0, false);
        table_.FieldDefs().Add("Nome", ftString, 10, false);
        table_.FieldDefs().Add("Foto", ftBlob, 0, false);
        table_.FieldDefs().Add("Preco", ftCurrency, 0, false);
        table_.CreateTable();
        table_.Append();
        table_.FieldByName("Codigo").SetValue(Variant(std::int32_t{7}));
        table_.FieldByName("Foto").SetValue(Variant(std::vector<std::uint8_t>{0, 1, 255}));
        table_.Post();
    }

    TMemoryTable table_{nullptr};
};

TEST_F(ParamAssignTest, FieldsGiveTheirTypeValueAndName) {
    TParam param;
    param.AssignField(&table_.FieldByName("Codigo"));
    EXPECT_EQ(param.DataType(), ftInteger);
    EXPECT_EQ(param.Value(), Variant(std::int32_t{7}));
    EXPECT_EQ(param.Name(), "Codigo");
    EXPECT_TRUE(param.Bound());

    // Through the persistent assignment, and from null and blob fields.
    param.Assign(&table_.FieldByName("Nome"));
    EXPECT_EQ(param.DataType(), ftString);
    EXPECT_TRUE(param.IsNull());
    EXPECT_TRUE(param.Bound());
    param.Assign(&table_.FieldByName("Foto"));
    EXPECT_EQ(param.DataType(), ftBlob);
    EXPECT_EQ(param.Value(), Variant::FromAnsiString(std::string("\0\1\xFF", 3)));
    param.AssignField(nullptr);
    EXPECT_EQ(param.Name(), "Foto");
}

TEST_F(ParamAssignTest, ParametersGoIntoFieldsAndNullClearsThem) {
    TParam param;
    table_.Edit();
    param.SetAsCurrency(12.5);
    param.AssignTo(table_.FieldByName("Preco"));
    param.SetAsString("Ana");
    table_.FieldByName("Nome").Assign(&param);
    table_.Post();
    EXPECT_DOUBLE_EQ(table_.FieldByName("Preco").AsFloat(), 12.5);
    EXPECT_EQ(table_.FieldByName("Nome").AsString(), "Ana");

    table_.Edit();
    param.Clear();
    param.AssignTo(table_.FieldByName("Nome"));
    EXPECT_TRUE(table_.FieldByName("Nome").IsNull());
    table_.Cancel();
    TParams list;
    EXPECT_THROW(param.AssignTo(list), EConvertError);
}

TEST(ParamAssignBitmap, ABitmapBecomesAGraphicHoldingItsFile) {
    TBitmap bitmap(2, 2, TPixelFormat::pf8bit);
    bitmap.SetPixel(1, 1, 0xFFFFFF);
    TParam param;
    param.Clear();
    param.Assign(bitmap);
    EXPECT_EQ(param.DataType(), ftGraphic);
    EXPECT_TRUE(param.Bound());
    EXPECT_FALSE(param.IsNull());
    const std::string file = param.Value().ToString();
    TMemoryStream stream(std::vector<std::uint8_t>(file.begin(), file.end()));
    TBitmap read;
    read.LoadFromStream(stream);
    EXPECT_EQ(read, bitmap);
    // A graphic has no native form, so it cannot go into the stored form.
    TParams list;
    list.Add().Assign(bitmap);
    TMemoryStream out;
    EXPECT_THROW(list.WriteData(out), EDatabaseError);
}

}  // namespace
}  // namespace pavana
