#include <gtest/gtest.h>

#include "db/MemoryTable.h"
#include "rtl/Exceptions.h"

namespace pavana {
namespace {

class MemoryTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        table_.FieldDefs().Add("Codigo", ftInteger, 0, true);
        table_.FieldDefs().Add("Nome", ftString, 10, false);
        table_.FieldDefs().Add("Obs", ftMemo, 0, false);
        table_.CreateTable();
    }

    void Add(int codigo, const char* nome) {
        table_.Append();
        table_.FieldByName("Codigo").SetValue(Variant(std::int32_t{codigo}));
        if (nome != nullptr) table_.FieldByName("Nome").SetAsString(nome);
        table_.Post();
    }
    std::string Rows() {
        std::string out;
        for (table_.First(); !table_.Eof(); table_.Next())
            out += table_.FieldByName("Codigo").AsString() + "=" + table_.FieldByName("Nome").AsString() + ";";
        return out;
    }

    TMemoryTable table_{nullptr};
};

TEST_F(MemoryTableTest, KeepsRowsInAddingOrderAndChangesThemInPlace) {
    Add(3, "c");
    Add(1, "a");
    Add(2, "b");
    EXPECT_EQ(Rows(), "3=c;1=a;2=b;");
    EXPECT_EQ(table_.RecordCount(), 3);

    table_.First();
    table_.Next();
    table_.Edit();
    table_.FieldByName("Nome").SetAsString("aa");
    table_.FieldByName("Obs").SetAsString(std::string(5000, 'x'));
    table_.Post();
    EXPECT_EQ(table_.FieldByName("Obs").AsString().size(), 5000u);
    table_.Next();
    table_.Delete();
    EXPECT_EQ(Rows(), "3=c;1=aa;");

    table_.Append();
    EXPECT_THROW(table_.Post(), EDatabaseError);  // Codigo is required
    table_.Cancel();

    // Closing keeps the rows; emptying removes them.
    table_.Close();
    table_.Open();
    EXPECT_EQ(Rows(), "3=c;1=aa;");
    table_.EmptyTable();
    EXPECT_TRUE(table_.IsEmpty());
}

TEST_F(MemoryTableTest, UniqueIndexOrdersFindsAndRefusesDuplicates) {
    Add(3, "c");
    Add(1, "a");
    Add(2, "b");
    table_.AddIndex("idx", "Codigo", {TIndexOption::ixPrimary, TIndexOption::ixUnique});
    table_.SetIndexName("idx");
    EXPECT_EQ(Rows(), "1=a;2=b;3=c;");

    EXPECT_TRUE(table_.FindKey({Variant(std::int32_t{2})}));
    EXPECT_EQ(table_.FieldByName("Nome").AsString(), "b");
    EXPECT_FALSE(table_.FindKey({Variant(std::int32_t{9})}));
    EXPECT_EQ(table_.FieldByName("Nome").AsString(), "b");  // stays where it was

    // A key change moves the row; a duplicate key is refused and the edit stays pending.
    table_.Edit();
    table_.FieldByName("Codigo").SetValue(Variant(std::int32_t{0}));
    table_.Post();
    EXPECT_EQ(Rows(), "0=b;1=a;3=c;");
    table_.Append();
    table_.FieldByName("Codigo").SetValue(Variant(std::int32_t{3}));
    EXPECT_THROW(table_.Post(), EDatabaseError);
    EXPECT_EQ(table_.State(), dsInsert);
    table_.Cancel();
    EXPECT_EQ(table_.RecordCount(), 3);

    EXPECT_THROW(table_.AddIndex("IDX", "Nome", {}), EDatabaseError);
    EXPECT_THROW(table_.AddIndex("obs", "Obs", {}), EDatabaseError);
    EXPECT_THROW(table_.SetIndexName("none"), EDatabaseError);

    // Indexes last while the table is open.
    table_.Close();
    EXPECT_EQ(table_.IndexName(), "");
    table_.Open();
    EXPECT_TRUE(table_.IndexNames().empty());
    EXPECT_THROW(table_.FindKey({Variant(std::int32_t{1})}), EDatabaseError);
}

TEST_F(MemoryTableTest, TextKeysCanIgnoreCaseSortDownwardsAndMatchByPrefix) {
    Add(1, "beta");
    Add(2, "Alfa");
    Add(3, nullptr);
    Add(4, "alfa");
    table_.AddIndex("nome", "Nome;Codigo", {}, "Codigo", "Nome");
    table_.SetIndexName("nome");
    EXPECT_EQ(Rows(), "3=;4=alfa;2=Alfa;1=beta;");  // no value first
    ASSERT_TRUE(table_.FindKey({Variant("ALFA")}));
    EXPECT_EQ(table_.FieldByName("Codigo").AsInteger(), 4);
    EXPECT_TRUE(table_.FindKey({Variant("alfa"), Variant(std::int32_t{2})}));
    EXPECT_EQ(table_.FieldByName("Codigo").AsInteger(), 2);
    EXPECT_THROW(table_.AddIndex("u", "Nome", {TIndexOption::ixUnique, TIndexOption::ixCaseInsensitive}),
                 EDatabaseError);
}

}  // namespace
}  // namespace pavana
