#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "TestFolder.h"
#include "dao/DAODatabase.h"
#include "dao/uvrxDataSet.h"
#include "engine/ClassRegistry.h"

namespace pavana {
namespace {

class vrxDataSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path = (dir_ / "d.mdb").string();
        auto db =
            engine::ClassRegistry::Default().Create(engine::kDao35ClassId)->DefaultWorkspace()->CreateDatabase(path);
        db->Execute("CREATE TABLE curso (Codigo LONG PRIMARY KEY, Nome TEXT(20))");
        db->Execute("INSERT INTO curso VALUES (1, 'Artes')");
        db->Execute("INSERT INTO curso VALUES (2, 'Biologia')");
        db->Close();
        database_.SetDatabaseName(path);
        data_.SetDatabase(&database_);
    }
    void TearDown() override {
        data_.Close();
        database_.Disconnect();
    }

    void Open(const std::string& sql = "SELECT * FROM curso ORDER BY Codigo") {
        data_.SQL().SetText(sql);
        data_.Open();
    }
    void GoTo(int codigo) {
        for (data_.First(); !data_.Eof(); data_.Next())
            if (data_.FieldByName("Codigo").AsInteger() == codigo) return;
        FAIL() << "no record " << codigo;
    }
    void SetName(const char* nome) {
        data_.Edit();
        data_.FieldByName("Nome").SetAsString(nome);
        data_.Post();
    }
    void Insert(int codigo, const char* nome) {
        data_.Append();
        data_.FieldByName("Codigo").SetValue(Variant(std::int32_t{codigo}));
        data_.FieldByName("Nome").SetAsString(nome);
        data_.Post();
    }
    std::int32_t Bookmark() {
        std::int32_t number = 0;
        std::memcpy(&number, data_.GetBookmark().data(), 4);
        return number;
    }
    // Each log entry as STATUS:values, in BMK order.
    std::string Log() {
        TMemoryTable& log = data_.ChangeLog();
        std::string out;
        for (log.First(); !log.Eof(); log.Next()) {
            out += log.FieldByName("STATUS").AsString() + ":";
            for (int i = 0; i < log.Fields().Count() - 2; ++i) out += log.Fields()[i].AsString() + ",";
            out += ";";
        }
        return out;
    }

    const test::TestFolder dir_;
    TDAODatabase database_{nullptr};
    TvrxDataSet data_{nullptr};
};

TEST_F(vrxDataSetTest, OpeningBuildsAnEmptyLogOfTheDatasetsFields) {
    EXPECT_EQ(data_.ValueFields(), "");
    Open();
    EXPECT_EQ(data_.ValueFields(), "Codigo;Nome");
    TMemoryTable& log = data_.ChangeLog();
    ASSERT_TRUE(log.Active());
    EXPECT_EQ(log.Fields().Count(), 4);
    EXPECT_EQ(log.FieldByName("STATUS").DataType(), ftSmallint);
    EXPECT_TRUE(log.FieldByName("BMK").Required());
    EXPECT_EQ(log.IndexName(), "idxBMK");
    EXPECT_TRUE(log.IsEmpty());
}

TEST_F(vrxDataSetTest, EditsKeepTheValuesFromBeforeTheFirstChange) {
    Open();
    GoTo(1);
    const std::int32_t first = Bookmark();
    SetName("Arte");
    SetName("Artes Visuais");
    EXPECT_EQ(Log(), "2:1,Artes,;");
    EXPECT_EQ(data_.ChangeLog().FieldByName("BMK").AsInteger(), first);

    // Deleting the edited record keeps its original values under STATUS 4.
    data_.Delete();
    EXPECT_EQ(Log(), "4:1,Artes,;");
    // A record deleted without an edit is logged with its values.
    GoTo(2);
    data_.Delete();
    EXPECT_EQ(data_.ChangeLog().RecordCount(), 2);
    EXPECT_TRUE(data_.ChangeLog().FindKey({Variant(first)}));
}

TEST_F(vrxDataSetTest, InsertsHoldTheirLastPostedValuesAndVanishWhenDeleted) {
    Open();
    Insert(5, "Canto");
    EXPECT_EQ(Log(), "3:5,Canto,;");
    SetName("Coral");
    EXPECT_EQ(Log(), "3:5,Coral,;");
    data_.Delete();
    EXPECT_EQ(Log(), "");

    // Records appended in one call are logged as inserts too.
    data_.AppendRecord({Variant(std::int32_t{6}), Variant("Dança")});
    EXPECT_EQ(Log(), "3:6,Dança,;");
}

TEST_F(vrxDataSetTest, ASingleFieldDatasetLogsItsOneValue) {
    Open("SELECT Nome FROM curso ORDER BY Codigo");
    EXPECT_EQ(data_.ValueFields(), "Nome");
    EXPECT_EQ(data_.ChangeLog().Fields().Count(), 3);
    SetName("Arte");
    EXPECT_EQ(Log(), "2:Artes,;");
}

TEST_F(vrxDataSetTest, ColumnsWithoutAFieldAreListedButLoggedWithoutAValue) {
    database_.SetConnected(true);
    database_.EngineDatabase()->Execute(
        "CREATE TABLE grande (Codigo LONG PRIMARY KEY, Nome TEXT(20), Grande BINARY(4))");
    database_.EngineDatabase()->Execute("INSERT INTO grande (Codigo, Nome) VALUES (1, 'Artes')");
    Open("SELECT * FROM grande");
    EXPECT_EQ(data_.ValueFields(), "Codigo;Nome;Grande");
    EXPECT_EQ(data_.FindField("Grande"), nullptr);
    SetName("Arte");
    data_.Delete();
    EXPECT_EQ(Log(), "4:1,Artes,;");
}

TEST_F(vrxDataSetTest, ReopeningExecSQLAndTrackingOffLeaveTheLogEmpty) {
    Open();
    SetName("Arte");
    data_.Close();
    EXPECT_FALSE(data_.ChangeLog().Active());
    EXPECT_EQ(data_.ValueFields(), "");
    Open();
    EXPECT_EQ(Log(), "");

    data_.Close();
    data_.SQL().SetText("UPDATE curso SET Nome = 'X'");
    data_.ExecSQL();
    EXPECT_FALSE(data_.ChangeLog().Active());

    data_.SetTrackChanges(false);
    Open();
    SetName("Y");
    data_.Delete();
    EXPECT_EQ(Log(), "");
}

}  // namespace
}  // namespace pavana
