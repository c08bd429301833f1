#include <gtest/gtest.h>

#include <filesystem>

#include "TestFolder.h"
#include "dao/DAODatabase.h"
#include "dao/DAOQuery.h"
#include "engine/ClassRegistry.h"

namespace pavana {
namespace {

class DAODatasetTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path = (dir_ / "d.mdb").string();
        auto db =
            engine::ClassRegistry::Default().Create(engine::kDao35ClassId)->DefaultWorkspace()->CreateDatabase(path);
        db->Execute(
            "CREATE TABLE aluno (id LONG PRIMARY KEY, nome TEXT(10), nota DOUBLE, idade BYTE, "
            "curto SHORT, preco CURRENCY, nascido DATETIME, ativo YESNO, obs MEMO, foto LONGBINARY)");
        db->Execute(
            "INSERT INTO aluno (id, nome, nota, idade, curto, preco, nascido, ativo, obs) VALUES "
            "(1, 'Ana', 7.5, 200, -3, 12.3456, #1/2/2000 3:04:05 PM#, True, 'longo texto')");
        db->Execute("INSERT INTO aluno (id, nome, nota) VALUES (2, 'Bruno', 4)");
        db->Execute("INSERT INTO aluno (id, nome, nota) VALUES (3, 'Carla', 9)");
        db->Close();
        database_.SetDatabaseName(path);
        query_.SetDatabase(&database_);
    }
    void TearDown() override {
        query_.Close();
        database_.Disconnect();
    }

    void OpenSql(const std::string& sql) {
        query_.SQL().SetText(sql);
        query_.Open();
    }
    std::string Column(const std::string& sql) {
        auto rs = database_.EngineDatabase()->OpenRecordset(sql);
        std::string out;
        for (; !rs->IsEOF(); rs->MoveNext()) out += rs->GetFields()->Item(0)->Value().ToString() + ";";
        return out;
    }
    std::string Names() {
        std::string out;
        for (query_.First(); !query_.Eof(); query_.Next()) out += query_.FieldByName("nome").AsString() + ";";
        return out;
    }

    const test::TestFolder dir_;
    TDAODatabase database_{nullptr};
    TDAOQuery query_{nullptr};
};

TEST_F(DAODatasetTest, BrowsesForwardAndBackwardWithBofAndEof) {
    OpenSql("SELECT * FROM aluno ORDER BY id");
    EXPECT_TRUE(query_.Bof());
    EXPECT_EQ(query_.FieldByName("nome").AsString(), "Ana");
    EXPECT_EQ(query_.MoveBy(5), 2);
    EXPECT_TRUE(query_.Eof());
    EXPECT_EQ(query_.FieldByName("nome").AsString(), "Carla");
    query_.Prior();
    EXPECT_EQ(query_.FieldByName("nome").AsString(), "Bruno");
    query_.Last();
    EXPECT_TRUE(query_.Eof());
    EXPECT_EQ(query_.FieldByName("id").AsInteger(), 3);
    EXPECT_EQ(query_.MoveBy(-5), -2);
    EXPECT_TRUE(query_.Bof());
    EXPECT_EQ(query_.RecNo(), -1);
    query_.SetRecNo(2);
    EXPECT_EQ(query_.FieldByName("id").AsInteger(), 1);
    EXPECT_EQ(Names(), "Ana;Bruno;Carla;");
    EXPECT_EQ(query_.RecordCount(), 3);
}

TEST_F(DAODatasetTest, EmptyResultOpensWithBothEnds) {
    OpenSql("SELECT * FROM aluno WHERE id > 10");
    EXPECT_TRUE(query_.Bof());
    EXPECT_TRUE(query_.Eof());
    EXPECT_TRUE(query_.IsEmpty());
    EXPECT_EQ(query_.RecordCount(), 0);
    EXPECT_TRUE(query_.FieldByName("nome").IsNull());
    query_.Next();
    EXPECT_TRUE(query_.Eof());
}

TEST_F(DAODatasetTest, FieldsOfEveryColumnTypeReadTheirValues) {
    OpenSql("SELECT * FROM aluno ORDER BY id");
    EXPECT_EQ(query_.FieldDefs().Count(), 10);
    const TFieldType expected[] = {ftInteger,  ftString,   ftFloat,   ftSmallint, ftSmallint,
                                   ftCurrency, ftDateTime, ftBoolean, ftMemo,     ftBlob};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(query_.Fields()[i].DataType(), expected[i]) << i;
    EXPECT_EQ(query_.FieldDefs().Items(1).Size, 10);
    EXPECT_EQ(query_.Fields()[1].ClassName(), "TStringField");
    EXPECT_DOUBLE_EQ(query_.FieldByName("nota").AsFloat(), 7.5);
    EXPECT_EQ(query_.FieldByName("idade").AsInteger(), 200);
    EXPECT_EQ(query_.FieldByName("curto").AsInteger(), -3);
    EXPECT_DOUBLE_EQ(query_.FieldByName("preco").AsFloat(), 12.3456);
    EXPECT_EQ(query_.FieldByName("preco").Value().VarType(), varCurrency);
    EXPECT_DOUBLE_EQ(query_.FieldByName("nascido").AsDateTime(), EncodeDate(2000, 1, 2) + EncodeTime(15, 4, 5, 0));
    EXPECT_TRUE(query_.FieldByName("ativo").AsBoolean());
    EXPECT_EQ(query_.FieldByName("ativo").AsString(), "True");
    EXPECT_EQ(query_.FieldByName("obs").AsString(), "longo texto");
    EXPECT_TRUE(query_.FieldByName("foto").IsNull());
    query_.Next();
    EXPECT_TRUE(query_.FieldByName("ativo").IsNull() || !query_.FieldByName("ativo").AsBoolean());
    EXPECT_TRUE(query_.FieldByName("nascido").IsNull());
    EXPECT_EQ(query_.FieldByName("obs").AsString(), "");
    std::vector<Variant> values = query_.FieldValues("id; nome");
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[1].ToString(), "Bruno");
}

TEST_F(DAODatasetTest, UnknownFieldAndStateErrors) {
    OpenSql("SELECT * FROM aluno ORDER BY id");
    try {
        query_.FieldByName("nada");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Field 'nada' not found");
    }
    EXPECT_EQ(query_.FindField("NOME"), &query_.FieldByName("nome"));
    try {
        query_.FieldByName("nome").SetAsString("x");
        FAIL();
    } catch (const EDAODatabaseError& e) {
        EXPECT_EQ(e.Message(), "Dataset not in edit or insert mode");
    }
    EXPECT_THROW(query_.Post(), EDatabaseError);
    EXPECT_THROW(query_.SetSortText("nome"), EDatabaseError);
    query_.Close();
    EXPECT_THROW(query_.First(), EDatabaseError);
    TDAOQuery orphan(nullptr);
    orphan.SQL().SetText("SELECT * FROM aluno");
    try {
        orphan.Open();
        FAIL();
    } catch (const EDAODatabaseError& e) {
        EXPECT_EQ(e.Message(), "Cannot perform this operation without Database property");
    }
    EXPECT_FALSE(orphan.Active());
}

TEST_F(DAODatasetTest, EditInsertAppendAndDeleteReachTheTable) {
    OpenSql("SELECT * FROM aluno ORDER BY id");
    std::vector<std::string> events;
    query_.BeforePost = [&](TDataSet& d) { events.push_back("BeforePost " + std::to_string(d.State())); };
    query_.AfterPost = [&](TDataSet& d) { events.push_back("AfterPost " + std::to_string(d.State())); };
    query_.Next();
    query_.Edit();
    EXPECT_EQ(query_.State(), dsEdit);
    query_.FieldByName("nome").SetAsString("Beto");
    query_.FieldByName("nota").Clear();
    EXPECT_TRUE(query_.Modified());
    query_.Post();
    EXPECT_EQ(query_.State(), dsBrowse);
    EXPECT_EQ(query_.FieldByName("nome").AsString(), "Beto");
    EXPECT_EQ(events, (std::vector<std::string>{"BeforePost 2", "AfterPost 1"}));
    EXPECT_EQ(Column("SELECT nome FROM aluno ORDER BY id"), "Ana;Beto;Carla;");
    EXPECT_EQ(Column("SELECT COUNT(*) FROM aluno WHERE nota IS NULL"), "1;");

    query_.Append();
    EXPECT_EQ(query_.State(), dsInsert);
    EXPECT_TRUE(query_.FieldByName("id").IsNull());
    query_.FieldByName("id").SetAsInteger(4);
    query_.FieldByName("nome").SetAsString("");
    query_.FieldByName("nascido").SetAsDateTime(EncodeDate(1999, 12, 31));
    query_.Post();
    EXPECT_EQ(query_.FieldByName("id").AsInteger(), 4);
    EXPECT_EQ(Column("SELECT COUNT(*) FROM aluno WHERE id = 4 AND nome IS NULL AND nascido = #12/31/1999#"), "1;");

    query_.First();
    query_.Delete();
    EXPECT_EQ(query_.FieldByName("id").AsInteger(), 2);
    EXPECT_EQ(Column("SELECT id FROM aluno ORDER BY id"), "2;3;4;");
    query_.Last();
    query_.Delete();
    EXPECT_EQ(query_.FieldByName("id").AsInteger(), 3);

    query_.Insert();
    query_.FieldByName("id").SetAsInteger(9);
    query_.Cancel();
    EXPECT_EQ(Column("SELECT COUNT(*) FROM aluno WHERE id = 9"), "0;");
    query_.AppendRecord({Variant(std::int32_t{8}), Variant("Davi")});
    EXPECT_EQ(Column("SELECT nome FROM aluno WHERE id = 8"), "Davi;");
}

TEST_F(DAODatasetTest, DuplicateKeyRaisesEDAOErrorWithTheEngineNumber) {
    OpenSql("SELECT * FROM aluno ORDER BY id");
    query_.Insert();
    query_.FieldByName("id").SetAsInteger(1);
    try {
        query_.Post();
        FAIL();
    } catch (const EDAOError& e) {
        EXPECT_EQ(e.ErrorCode(), 3022);
        EXPECT_FALSE(e.Message().empty());
    }
    EXPECT_EQ(query_.State(), dsInsert);
    int retries = 0;
    query_.OnPostError = [&](TDataSet& d, const Exception&, TDataAction& action) {
        d.FieldByName("id").SetAsInteger(7);
        action = ++retries < 3 ? TDataAction::daRetry : TDataAction::daFail;
    };
    query_.Post();
    EXPECT_EQ(retries, 1);
    EXPECT_EQ(Column("SELECT COUNT(*) FROM aluno WHERE id = 7"), "1;");
}

TEST_F(DAODatasetTest, OnlyFieldsReadAreFetchedAndOnlyModifiedSlotsPosted) {
    std::vector<int> fetched;
    query_.OnFetchField = [&](int index) { fetched.push_back(index); };
    OpenSql("SELECT * FROM aluno ORDER BY id");
    query_.Next();
    query_.Next();
    EXPECT_TRUE(fetched.empty());
    EXPECT_EQ(query_.FieldByName("nome").AsString(), "Carla");
    EXPECT_EQ(query_.FieldByName("nome").AsString(), "Carla");
    EXPECT_EQ(fetched, std::vector<int>{1});
    query_.Edit();
    query_.FieldByName("nota").SetAsFloat(10);
    EXPECT_EQ(query_.FieldByName("nota").AsFloat(), 10);
    query_.Post();
    EXPECT_EQ(fetched, std::vector<int>{1});
    database_.EngineDatabase()->Execute("UPDATE aluno SET nome = 'Ana Maria' WHERE id = 1");
    query_.Insert();
    EXPECT_TRUE(query_.FieldByName("nome").IsNull());
    query_.Cancel();
    EXPECT_EQ(fetched, std::vector<int>{1});
    EXPECT_EQ(Column("SELECT nota FROM aluno WHERE id = 3"), "10;");
    query_.First();
    EXPECT_EQ(query_.FieldByName("nome").AsString(), "Ana Maria");
}

TEST_F(DAODatasetTest, BookmarksReturnToTheirRecordsAndCompareSigned) {
    OpenSql("SELECT * FROM aluno ORDER BY id");
    query_.Next();
    const TBookmark second = query_.GetBookmark();
    ASSERT_EQ(second.size(), 4u);
    query_.Last();
    const TBookmark third = query_.GetBookmark();
    query_.GotoBookmark(second);
    EXPECT_EQ(query_.FieldByName("id").AsInteger(), 2);
    EXPECT_TRUE(query_.BookmarkValid(second));
    EXPECT_EQ(query_.CompareBookmarks(second, second), 0);
    EXPECT_EQ(query_.CompareBookmarks({}, second), 1);
    EXPECT_EQ(query_.CompareBookmarks(second, {}), -1);
    EXPECT_EQ(query_.CompareBookmarks({}, {}), 0);
    const TBookmark negative = {0x00, 0x00, 0x00, 0x80}, positive = {0x01, 0x00, 0x00, 0x00};
    EXPECT_EQ(query_.CompareBookmarks(negative, positive), -1);
    EXPECT_NE(query_.CompareBookmarks(second, third), 0);
}

TEST_F(DAODatasetTest, DataLinksWindowAndControlsFollowTheDataset) {
    struct CountingLink : TDataLink {
        int changes = 0;
        void DataSetChanged() override { ++changes; }
    } link;
    TDataSource source(nullptr);
    source.SetDataSet(&query_);
    link.SetDataSource(&source);
    link.SetBufferCount(2);
    OpenSql("SELECT * FROM aluno ORDER BY id");
    EXPECT_TRUE(link.Active());
    EXPECT_EQ(Names(), "Ana;Bruno;Carla;");
    query_.Last();
    query_.Prior();
    query_.Prior();
    EXPECT_EQ(query_.FieldByName("nome").AsString(), "Ana");
    const int before = link.changes;
    query_.DisableControls();
    query_.Next();
    query_.Next();
    EXPECT_EQ(link.changes, before);
    query_.EnableControls();
    EXPECT_EQ(link.changes, before + 1);
    EXPECT_EQ(query_.FieldByName("nome").AsString(), "Carla");
}

TEST_F(DAODatasetTest, ForwardOnlyOpensOnItsFirstRecord) {
    query_.SetOpenType(TDAOQueryOpenType::db_OpenForwardOnly);
    OpenSql("SELECT nome FROM aluno ORDER BY id");
    std::string names;
    for (; !query_.Eof(); query_.Next()) names += query_.FieldByName("nome").AsString() + ";";
    EXPECT_EQ(names, "Ana;Bruno;Carla;");
}

TEST_F(DAODatasetTest, SortTextAndRefresh) {
    query_.SetSortText("nome DESC");
    OpenSql("SELECT * FROM aluno");
    EXPECT_EQ(Names(), "Carla;Bruno;Ana;");
    database_.EngineDatabase()->Execute("INSERT INTO aluno (id, nome) VALUES (5, 'Zeca')");
    query_.Refresh();
    EXPECT_EQ(Names(), "Zeca;Carla;Bruno;Ana;");
}

TEST_F(DAODatasetTest, FilterAppliesWhenFilteredAndTogetherWithTheSort) {
    query_.SetFilterText("nota > 5");
    OpenSql("SELECT * FROM aluno");
    EXPECT_EQ(Names(), "Ana;Bruno;Carla;");
    query_.Close();
    query_.SetFiltered(true);
    query_.SetSortText("nome DESC");
    query_.Open();
    EXPECT_EQ(Names(), "Carla;Ana;");
    query_.Close();
    query_.SetFilterText("nota >");
    EXPECT_THROW(query_.Open(), EOleException);
    EXPECT_FALSE(query_.Active());
    EXPECT_TRUE(database_.OpenDatasets().empty());
}

TEST_F(DAODatasetTest, EditingTheTextInPlaceTellsTheLinks) {
    struct Link : TDataLink {
        int changes = 0;
        void DataSetPropertyChanged() override { ++changes; }
    } link;
    TDataSource source(nullptr);
    source.SetDataSet(&query_);
    link.SetDataSource(&source);
    OpenSql("SELECT * FROM aluno");
    EXPECT_EQ(link.changes, 0);
    query_.SQL().Add("WHERE id = 1");
    EXPECT_EQ(link.changes, 1);
    EXPECT_TRUE(query_.Active());
}

TEST_F(DAODatasetTest, RecordsetTooWideForItsBuffersIsRefused) {
    database_.Connect();
    std::string columns = "c0 TEXT(255)";
    for (int i = 1; i < 90; ++i) columns += ", c" + std::to_string(i) + " TEXT(255)";
    database_.EngineDatabase()->Execute("CREATE TABLE largo (" + columns + ")");
    query_.SQL().SetText("SELECT * FROM largo");
    EXPECT_THROW(query_.Open(), EDAODatabaseError);
    EXPECT_FALSE(query_.Active());
    EXPECT_TRUE(database_.OpenDatasets().empty());
    query_.SQL().SetText("SELECT c0, c1 FROM largo");
    query_.Open();
    EXPECT_EQ(query_.Fields().Count(), 2);
}

TEST_F(DAODatasetTest, ChangesThroughSqlShowInTheOpenDataset) {
    OpenSql("SELECT * FROM aluno ORDER BY id");
    const TBookmark first = query_.GetBookmark();
    query_.Next();
    database_.EngineDatabase()->Execute("UPDATE aluno SET nome = 'Bia' WHERE id = 2");
    database_.EngineDatabase()->Execute("DELETE FROM aluno WHERE id = 1");
    EXPECT_EQ(query_.FieldByName("nome").AsString(), "Bia");
    query_.GotoBookmark(first);
    try {
        query_.FieldByName("nome").AsString();
        FAIL();
    } catch (const EOleException& e) {
        EXPECT_EQ(e.Message(), "Record is deleted.");
    }
}

}  // namespace
}  // namespace pavana
