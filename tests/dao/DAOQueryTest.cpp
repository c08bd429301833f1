#include "dao/DAOQuery.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestFolder.h"
#include "dao/DAODatabase.h"
#include "engine/ClassRegistry.h"

namespace pavana {
namespace {

TEST(ExpandSQLTest, DeclaresParametersAndReplacesMacros) {
    TDAOQuery query(nullptr);
    query.SQL().SetText("select * from t where a = :x and %cond");
    query.Macros().ParamByName("cond").SetAsString("b > 1");
    query.Params().ParamByName("x").SetAsInteger(5);
    query.ExpandSQL();
    EXPECT_EQ(query.EngineSQL(), "PARAMETERS [x] LONG; select * from t where a = [x] and b > 1  ");
}

TEST(ExpandSQLTest, TextWithoutMarkersGoesAsStatementText) {
    TDAOQuery query(nullptr);
    query.SQL().SetText("UPDATE t\r\nSET a = 1");
    query.ExpandSQL();
    EXPECT_EQ(query.StatementText(), "UPDATE t  SET a = 1  ");
    EXPECT_EQ(query.EngineSQL(), query.StatementText());
    EXPECT_EQ(query.Params().Count(), 0);
}

TEST(ExpandSQLTest, UntypedAndRepeatedNames) {
    TDAOQuery query(nullptr);
    query.SQL().SetText("insert into t values (:a, :a, :ab)");
    query.ExpandSQL();
    EXPECT_EQ(query.EngineSQL(), "PARAMETERS [a] ,[a] ,[ab] ; insert into t values ([a], [a], [ab])  ");
}

TEST(ExpandSQLTest, NewMacroCharWaitsForTheNextChangeOfTheText) {
    TDAOQuery query(nullptr);
    query.SQL().SetText("select %f from t");
    query.SetMacroChar('&');
    ASSERT_EQ(query.Macros().Count(), 1);
    query.Macros().Items(0).SetAsString("n");
    query.ExpandSQL();
    EXPECT_EQ(query.EngineSQL(), "select %f from t  ");
    query.SQL().SetText("select &f from t");
    query.Macros().Items(0).SetAsString("n");
    query.ExpandSQL();
    EXPECT_EQ(query.EngineSQL(), "select n from t  ");
}

TEST(ExpandSQLTest, ChangedTextKeepsValuesOfSameNamedParameters) {
    TDAOQuery query(nullptr);
    query.SQL().SetText("select * from t where a = :a and b = :b");
    query.Params().ParamByName("b").SetAsString("kept");
    query.SQL().SetText("select * from t where b = :b");
    ASSERT_EQ(query.Params().Count(), 1);
    EXPECT_EQ(query.Params().Items(0).AsString(), "kept");
    EXPECT_EQ(query.Params().Items(0).DataType(), ftString);
}

TEST(ReplaceFirstNoCaseTest, PlainUpperCaseSubstring) {
    EXPECT_EQ(ReplaceFirstNoCase("a = :X or b = :x", ":x", "[x]"), "a = [x] or b = :x");
    EXPECT_EQ(ReplaceFirstNoCase("where c = :xy", ":x", "[x]"), "where c = [x]y");
    EXPECT_EQ(ReplaceFirstNoCase("nothing here", ":x", "[x]"), "nothing here");
}

TEST(ParamTypeWordTest, EveryDeclaredTypeHasItsWord) {
    EXPECT_EQ(ParamTypeWord(ftString), "TEXT");
    EXPECT_EQ(ParamTypeWord(ftWord), "SHORT");
    EXPECT_EQ(ParamTypeWord(ftInteger), "LONG");
    EXPECT_EQ(ParamTypeWord(ftBoolean), "YESNO");
    EXPECT_EQ(ParamTypeWord(ftCurrency), "CURRENCY");
    EXPECT_EQ(ParamTypeWord(ftTime), "DATETIME");
    EXPECT_EQ(ParamTypeWord(ftMemo), "");
    EXPECT_EQ(ParamTypeWord(ftUnknown), "");
}

class ExecSQLTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string path = (dir_ / "q.mdb").string();
        auto db =
            engine::ClassRegistry::Default().Create(engine::kDao35ClassId)->DefaultWorkspace()->CreateDatabase(path);
        db->Execute("CREATE TABLE t (id LONG PRIMARY KEY, nome TEXT(20), valor DOUBLE)");
        db->Close();
        database_.SetDatabaseName(path);
        query_.SetDatabase(&database_);
    }

    std::string Names() {
        auto rs = database_.EngineDatabase()->OpenRecordset("SELECT nome FROM t ORDER BY id");
        std::string names;
        for (; !rs->IsEOF(); rs->MoveNext()) names += rs->GetFields()->Item(0)->Value().ToString() + ";";
        return names;
    }

    const test::TestFolder dir_;
    TDAODatabase database_{nullptr};
    TDAOQuery query_{nullptr};
};

TEST_F(ExecSQLTest, ConnectsOnDemandAndSendsParametersAsText) {
    query_.SQL().SetText("INSERT INTO t (id, nome, valor) VALUES (:id, :nome, :valor)");
    query_.Params().ParamByName("id").SetAsInteger(1);
    query_.Params().ParamByName("nome").SetAsString("Ana");
    query_.Params().ParamByName("valor").SetAsFloat(2.5);
    query_.ExecSQL();
    EXPECT_TRUE(database_.Connected());
    EXPECT_FALSE(query_.Active());
    EXPECT_EQ(query_.RowsAffected(), 1);
    query_.Params().ParamByName("id").SetAsInteger(2);
    query_.Params().ParamByName("nome").Clear();
    query_.ExecSQL();
    auto rs = database_.EngineDatabase()->OpenRecordset("SELECT COUNT(*) FROM t WHERE nome IS NULL AND valor = 2.5");
    EXPECT_EQ(rs->GetFields()->Item(0)->Value().ToString(), "1");
}

TEST_F(ExecSQLTest, FailureKeepsRowsAffectedAndTheNextStatementRuns) {
    query_.SQL().SetText("INSERT INTO t (id, nome) VALUES (1, 'Ana')");
    query_.ExecSQL();
    try {
        query_.ExecSQL();
        FAIL() << "a duplicate key must fail";
    } catch (const EOleException& error) {
        EXPECT_NE(error.Message().find("duplicate"), std::string::npos) << error.Message();
    }
    EXPECT_EQ(query_.RowsAffected(), 1);
    query_.SQL().SetText("UPDATE t SET nome = 'Bia' WHERE id = 1");
    query_.ExecSQL();
    EXPECT_EQ(Names(), "Bia;");
}

TEST_F(ExecSQLTest, LiteralsNameNoParameters) {
    query_.SQL().SetText("INSERT INTO t (id, nome) VALUES (3, 'a:b %c')");
    EXPECT_EQ(query_.Params().Count(), 0);
    EXPECT_EQ(query_.Macros().Count(), 0);
    query_.ExecSQL();
    EXPECT_EQ(Names(), "a:b %c;");
}

TEST(ExecSQLWithoutDatabaseTest, IsRefused) {
    TDAOQuery query(nullptr);
    query.SQL().SetText("DELETE FROM t");
    try {
        query.ExecSQL();
        FAIL();
    } catch (const EDAODatabaseError& error) {
        EXPECT_EQ(error.Message(), "Cannot perform this operation without Database property");
    }
}

}  // namespace
}  // namespace pavana
