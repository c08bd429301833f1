// The engine object model on SQLite: the class registry, query definitions, recordsets and
// the follow-up statements of definitions.
#include "EngineFixture.h"

namespace pavana::engine {
namespace {

using EngineTest = EngineFixture;

TEST_F(EngineTest, RegistryResolvesBothVersionsAndUnknownToNone) {
    EXPECT_EQ(ClassRegistry::Default().Create(kDao36ClassId)->Version(), "3.6");
    EXPECT_EQ(ClassRegistry::Default().Create("{00000000-0000-0000-0000-000000000000}"), nullptr);
}

TEST_F(EngineTest, ParameterisedExecuteAndRecordset) {
    auto db = engine_->DefaultWorkspace()->CreateDatabase(Path("d.mdb"));
    db->Execute("CREATE TABLE t (id LONG PRIMARY KEY, nome TEXT(50))");
    auto q = db->CreateQueryDef("", "PARAMETERS [a] LONG, [b] TEXT; INSERT INTO t VALUES ([a], [b])");
    q->GetParameters()->Item(0)->SetValue(Variant("7"));
    q->GetParameters()->Item(1)->SetValue(Variant("sete"));
    q->Execute(Variant(dbFailOnError));
    EXPECT_EQ(q->RecordsAffected(), 1);
    EXPECT_EQ(NumberOf([&] { q->Execute(Variant(dbFailOnError)); }), 3022);
    EXPECT_EQ(NumberOf([&] { db->Execute("CREATE TABLE t (x LONG)"); }), 3010);
    auto rs = db->OpenRecordset("SELECT id, nome FROM t");
    ASSERT_FALSE(rs->IsEOF());
    EXPECT_EQ(rs->GetFields()->Item(0)->Value(), Variant(7));
    EXPECT_EQ(rs->GetFields()->Item("nome")->Value(), Variant("sete"));
    EXPECT_EQ(rs->GetFields()->Item(1)->Type(), dbText);
    rs->MoveNext();
    EXPECT_TRUE(rs->IsEOF());
    db->Close();
}

TEST_F(EngineTest, FollowUpStatementsOfADefinitionRunWithIt) {
    auto db = engine_->DefaultWorkspace()->CreateDatabase(Path("f.mdb"));
    db->Execute("CREATE TABLE t (id COUNTER(100, 1), n LONG)");
    db->Execute("INSERT INTO t (n) VALUES (1)");
    EXPECT_EQ(db->OpenRecordset("SELECT id FROM t")->GetFields()->Item(0)->Value(), Variant(100));
    db->Execute("CREATE INDEX ix ON t (n) WITH DISALLOW NULL");
    EXPECT_EQ(NumberOf([&] { db->Execute("INSERT INTO t (n) VALUES (NULL)"); }), 3058);
    db->Execute("DROP INDEX ix ON t");
    db->Execute("INSERT INTO t (n) VALUES (NULL)");
    EXPECT_EQ(db->RecordsAffected(), 1);
    db->Close();
}

}  // namespace
}  // namespace pavana::engine
