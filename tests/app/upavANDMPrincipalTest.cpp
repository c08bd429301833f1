#include "app/upavANDMPrincipal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "TestFolder.h"
#include "app/upavANMensagensHints.h"
#include "engine/ClassRegistry.h"
#include "ui/UserFront.h"
#include "ui/uvrxEvolucao.h"

namespace pavana {
namespace {

// A front that answers every dialog with its default and remembers what it was asked.
class RecordingFront : public UserFront {
public:
    explicit RecordingFront(std::vector<MessageRequest>& shown) : shown_(shown) {}
    MessageAnswer ShowMessage(const MessageRequest& request) override {
        shown_.push_back(request);
        return {1, std::nullopt};
    }
    std::unique_ptr<TfvrxEvolucao> CreateProgressWindow() override { return nullptr; }
    void ShowFatalError(const std::string&) override {}

private:
    std::vector<MessageRequest>& shown_;
};

class DataModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("PAVANA_REGISTRY", (dir_ / "registry.ini").c_str(), 1);
        InstallFront(std::make_unique<RecordingFront>(shown_));
    }

    std::string Database(const char* name, const char* connect) {
        std::string path = (dir_ / name).string();
        auto db = engine::ClassRegistry::Default()
                      .Create(engine::kDao35ClassId)
                      ->DefaultWorkspace()
                      ->CreateDatabase(path, connect);
        db->Execute("CREATE TABLE t (n LONG)");
        db->Close();
        return path;
    }

    const test::TestFolder dir_;
    std::vector<MessageRequest> shown_;
};

TEST_F(DataModuleTest, BuildsItsComponentsFromTheStoredDefinition) {
    TfpavANDMPrincipal module(nullptr);
    EXPECT_EQ(module.Name(), "fpavANDMPrincipal");
    EXPECT_EQ(module.dbsCurriculo().Password(), "qorvimband");
    EXPECT_EQ(module.dbsCurriculo().Version(), "1.99");
    EXPECT_EQ(module.dbsCurriculo().DAOVersion(), TDAOVersion::Dao35);
    EXPECT_FALSE(module.dbsCurriculo().Connected());
    EXPECT_EQ(module.dstGeral().Database(), &module.dbsCurriculo());
    EXPECT_EQ(module.dstGeral().OpenType(), TDAOQueryOpenType::db_OpenDynaset);
    EXPECT_TRUE(module.dstGeral().Parameters().Empty());
    EXPECT_FALSE(module.dstGeral().IsLoading());
}

TEST_F(DataModuleTest, ReadParametersCountsThreeOrFourArguments) {
    TfpavANDMPrincipal module(nullptr);
    EXPECT_FALSE(module.ReadParameters({"a", "b"}));
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].text, kNumeroParametrosInvalido);
    EXPECT_EQ(shown_[0].kind, mkError);
    EXPECT_EQ(shown_[0].buttons, 4);
    EXPECT_TRUE(module.DatabaseFile.empty());

    EXPECT_TRUE(module.ReadParameters({"db", "anim", "script", "senha", "extra"}));
    EXPECT_EQ(module.ScriptFile, "script");
    EXPECT_EQ(module.DatabasePassword, "");
    EXPECT_TRUE(module.ReadParameters({"db", "anim", "script", "senha"}));
    EXPECT_EQ(module.DatabasePassword, "senha");
}

TEST_F(DataModuleTest, ConnectUsesTheStoredPasswordUnlessOneIsGiven) {
    TfpavANDMPrincipal module(nullptr);
    ASSERT_TRUE(module.ReadParameters({Database("stored.mdb", ";PWD=qorvimband"), "anim", "s.sql"}));
    EXPECT_TRUE(module.ConnectDatabase());
    EXPECT_TRUE(module.dbsCurriculo().Connected());
    module.CloseDatabase();
    EXPECT_FALSE(module.dbsCurriculo().Connected());

    TfpavANDMPrincipal other(nullptr);
    ASSERT_TRUE(other.ReadParameters({Database("own.mdb", ";PWD=outra"), "anim", "s.sql", "outra"}));
    EXPECT_TRUE(other.ConnectDatabase());
    EXPECT_TRUE(shown_.empty());
}

TEST_F(DataModuleTest, FailedConnectShowsTheEngineMessageInTheDetails) {
    TfpavANDMPrincipal module(nullptr);
    ASSERT_TRUE(module.ReadParameters({Database("p.mdb", ";PWD=certa"), "anim", "s.sql", "errada"}));
    EXPECT_FALSE(module.ConnectDatabase());
    EXPECT_FALSE(module.dbsCurriculo().Connected());
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].text, kErroConexao);
    EXPECT_EQ(shown_[0].details, "Not a valid password.");
    EXPECT_TRUE(shown_[0].showAgainBox);
    EXPECT_EQ(shown_[0].kind, mkMensagem);
}

// A front with windows, whose thread must stay free to tend them while the database closes.
class WindowedFront : public RecordingFront {
public:
    using RecordingFront::RecordingFront;
    bool HasWindows() const override { return true; }
    void KeepWindowsAlive() override {}
};

TEST_F(DataModuleTest, ClosingBesideWindowsLeavesTheFrontThreadFree) {
    InstallFront(std::make_unique<WindowedFront>(shown_));
    TfpavANDMPrincipal module(nullptr);
    ASSERT_TRUE(module.ReadParameters({Database("w.mdb", ";PWD=qorvimband"), "anim", "s.sql"}));
    ASSERT_TRUE(module.ConnectDatabase());
    std::weak_ptr<engine::Database> database = module.dbsCurriculo().EngineDatabase();
    std::thread::id closedOn;
    module.dbsCurriculo().OnDisconnect = [&](TDAODatabase&) { closedOn = std::this_thread::get_id(); };
    module.CloseDatabase();
    EXPECT_NE(closedOn, std::thread::id());
    EXPECT_NE(closedOn, std::this_thread::get_id());
    EXPECT_FALSE(module.dbsCurriculo().Connected());
    EXPECT_TRUE(database.expired());
    EXPECT_TRUE(shown_.empty());
}

TEST_F(DataModuleTest, ReleasingTheModuleClosesTheConnection) {
    auto module = std::make_unique<TfpavANDMPrincipal>(nullptr);
    ASSERT_TRUE(module->ReadParameters({Database("r.mdb", ";PWD=qorvimband"), "anim", "s.sql"}));
    ASSERT_TRUE(module->ConnectDatabase());
    std::weak_ptr<engine::Database> database = module->dbsCurriculo().EngineDatabase();
    module.reset();
    EXPECT_TRUE(database.expired());
}

}  // namespace
}  // namespace pavana
