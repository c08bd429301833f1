#include <gtest/gtest.h>

#include "classes/DefinitionReader.h"
#include "classes/Filer.h"
#include "dao/uvrxDataSet.h"
#include "rtl/Exceptions.h"

namespace pavana {
namespace {

class TModule : public TComponent {
public:
    TModule() : TComponent(nullptr) {}
    std::string_view ClassName() const override { return "TModule"; }
};

class StoredParamsTest : public ::testing::Test {
protected:
    StoredParamsTest() {
        classes_.Register<TvrxDataSet>("TvrxDataSet");
        TParam& id = params_.CreateParam(ftInteger, "id", ptInput);
        id.SetAsInteger(-7);
        params_.CreateParam(ftString, "nome", ptInput).SetAsString(std::string(300, 'n'));
        params_.CreateParam(ftDateTime, "quando", ptUnknown).Clear();
        macros_.CreateParam(ftUnknown, "campo", ptUnknown);
    }

    TvrxDataSet& Load(const std::string& properties) {
        module_ = std::make_unique<TModule>();
        LoadDefinition(*module_,
                       "object modulo: TModule\n"
                       "  object dstGeral: TvrxDataSet\n"
                       "    SQL.Strings = (\n"
                       "      'select * from t where a = :id and %campo = :nome')\n" +
                           properties +
                           "  end\n"
                           "end\n",
                       classes_);
        return dynamic_cast<TvrxDataSet&>(*module_->FindComponent("dstGeral"));
    }

    ComponentClasses classes_;
    std::unique_ptr<TModule> module_;
    TParams params_, macros_;
};

TEST_F(StoredParamsTest, WrittenListsLoadBackIntoAQuery) {
    const std::string text =
        WriteDefinedProperties(params_, nullptr, "Params.", 4) + WriteDefinedProperties(macros_, nullptr, "Macros.", 4);
    EXPECT_EQ(text.rfind("    Params.Data = {\n      0100030002", 0), 0u) << text;
    TvrxDataSet& query = Load(text);
    EXPECT_TRUE(query.Macros().IsEqual(macros_));
    // The names of the text were not reparsed over the stored lists while loading.
    ASSERT_EQ(query.Params().Count(), 3);
    for (int i = 0; i < 3; ++i) {
        const TParam& read = query.Params().Items(i);
        const TParam& written = params_.Items(i);
        EXPECT_EQ(read.Name(), written.Name());
        EXPECT_EQ(read.ParamType(), written.ParamType());
        EXPECT_EQ(read.DataType(), written.DataType());
        EXPECT_EQ(read.IsNull(), written.IsNull());
        EXPECT_EQ(read.Bound(), written.Bound());
        if (!written.IsNull()) {
            EXPECT_EQ(read.Value(), written.Value()) << written.Name();
        }
    }
}

TEST_F(StoredParamsTest, DataIsStoredOnlyWhenItDiffersFromTheAncestor) {
    EXPECT_EQ(WriteDefinedProperties(TParams(), nullptr, "Params.", 2), "");
    TParams same;
    same.Assign(&params_);
    EXPECT_EQ(WriteDefinedProperties(params_, &same, "Params.", 2), "");
    same.Items(0).SetAsInteger(8);
    EXPECT_NE(WriteDefinedProperties(params_, &same, "Params.", 2), "");
}

TEST_F(StoredParamsTest, BadStoredDataFailsTheLoadNamingTheProperty) {
    try {
        Load("    Params.Data = {0100010002}\n");  // cut short after the name length
        ADD_FAILURE() << "no error";
    } catch (const EReadError& e) {
        EXPECT_NE(std::string(e.what()).find("dstGeral"), std::string::npos) << e.what();
    }
    EXPECT_THROW(Load("    Params.Data = 'text'\n"), EReadError);
}

}  // namespace
}  // namespace pavana
