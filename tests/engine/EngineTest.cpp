#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/ClassRegistry.h"
#include "engine/EngineError.h"

namespace pavana::engine {
namespace {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("pavana-engine-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        engine_ = ClassRegistry::Default().Create(kDao35ClassId);
        ASSERT_TRUE(engine_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const char* name) const { return (dir_ / name).string(); }

    static std::int32_t NumberOf(const std::function<void()>& f) {
        try {
            f();
        } catch (const EOleException& e) {
            return EngineErrorNumber(e.ErrorCode());
        }
        return 0;
    }

    std::filesystem::path dir_;
    std::shared_ptr<DBEngine> engine_;
};

TEST_F(EngineTest, RegistryResolvesBothVersionsAndUnknownToNone) {
    EXPECT_EQ(ClassRegistry::Default().Create(kDao36ClassId)->Version(), "3.6");
    EXPECT_EQ(ClassRegistry::Default().Create("{00000000-0000-0000-0000-000000000000}"), nullptr);
}

TEST_F(EngineTest, OpeningFailuresCarryJetNumbers) {
    EXPECT_EQ(NumberOf([&] { engine_->OpenDatabase(Path("missing.mdb")); }), 3024);
    std::ofstream(Path("text.mdb")) << "not a database at all, just text";
    EXPECT_EQ(NumberOf([&] { engine_->OpenDatabase(Path("text.mdb")); }), 3343);
    engine_->DefaultWorkspace()->CreateDatabase(Path("p.mdb"), ";PWD=segredo")->Close();
    EXPECT_EQ(NumberOf([&] { engine_->OpenDatabase(Path("p.mdb"), false, false, ";PWD=errada"); }), 3031);
    EXPECT_EQ(NumberOf([&] { engine_->OpenDatabase(Path("p.mdb"), false, false, ";PWD=segredo")->Close(); }), 0);
    EXPECT_EQ(NumberOf([&] { engine_->DefaultWorkspace()->CreateDatabase(Path("p.mdb")); }), 3204);
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
