#include "ui/DialogStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "rtl/Exceptions.h"
#include "ui/UserFront.h"
#include "ui/uMarvoDialogs.h"
#include "ui/uvrxEvolucao.h"

namespace pavana {
namespace {

// A front that answers every dialog as told and remembers what it was asked.
class ScriptedFront : public UserFront {
public:
    MessageAnswer ShowMessage(const MessageRequest& request) override {
        ++shown;
        last = request;
        return answer;
    }
    void ShowFatalError(const std::string&) override {}
    std::unique_ptr<TfvrxEvolucao> CreateProgressWindow() override { return nullptr; }

    MessageAnswer answer{1, false};
    MessageRequest last;
    int shown = 0;
};

class DialogStoreTest : public testing::Test {
protected:
    void SetUp() override {
        path_ = testing::TempDir() + "dialog_store_" + testing::UnitTest::GetInstance()->current_test_info()->name() +
                ".ini";
        std::filesystem::remove(path_);
        setenv("PAVANA_REGISTRY", path_.c_str(), 1);
        auto front = std::make_unique<ScriptedFront>();
        front_ = front.get();
        InstallFront(std::move(front));
    }
    void TearDown() override {
        InstallFront(nullptr);
        unsetenv("PAVANA_REGISTRY");
        std::filesystem::remove(path_);
    }

    std::string path_;
    ScriptedFront* front_ = nullptr;
};

TEST(CleanStoreName, KeepsOnlyTheAllowedCharacters) {
    EXPECT_EQ(CleanStoreName("  Erro na conexão.\r\nVerifique!  ", false), "Erro na conex o   Verifique!");
    EXPECT_EQ(CleanStoreName("SOFTWARE\\Pavana.Script\\Dialogos", true), "SOFTWARE\\Pavana.Script\\Dialogos");
    EXPECT_EQ(CleanStoreName("SOFTWARE\\Pavana.Script", false), "SOFTWARE Pavana Script");
    EXPECT_EQ(CleanStoreName(" ãõ.,; ", false), "");
}

TEST(CleanStoreName, DefaultKeyNamesTheProgram) { EXPECT_EQ(DefaultStoreKey(), "SOFTWARE\\ui_tests\\Dialogos"); }

TEST_F(DialogStoreTest, TickedBoxSuppressesTheMessageLater) {
    front_->answer = {1, true};
    EXPECT_EQ(MessageDlgEx("Falhou a conexão.", mkMensagem, kButtonOK, 0, "detalhe", true), 1);
    EXPECT_FALSE(DSAIdentsGetState({}, "Falhou a conexão."));
    EXPECT_EQ(MessageDlgEx("Falhou a conexão.", mkMensagem, kButtonOK, 0, "detalhe", true), 2);
    EXPECT_EQ(front_->shown, 1);
    // Texts that differ only outside the kept characters share one state.
    EXPECT_FALSE(DSAIdentsGetState({}, "Falhou a conexõo,"));
}

TEST_F(DialogStoreTest, UntickedBoxWritesShowAndAFrontWithoutBoxWritesNothing) {
    front_->answer = {1, false};
    MessageDlgDetails("Mensagem um", "d", true);
    EXPECT_TRUE(DSAIdentsGetState({}, "Mensagem um"));
    std::ifstream file(path_);
    std::string content((std::istreambuf_iterator<char>(file)), {});
    EXPECT_NE(content.find("Mensagem%20um=1"), std::string::npos) << content;
    EXPECT_EQ(front_->last.kind, mkMensagem);
    EXPECT_EQ(front_->last.buttons, kButtonOK);

    front_->answer = {1, std::nullopt};
    MessageDlgDetails("Mensagem dois", "d", true);
    EXPECT_EQ(front_->shown, 2);
    std::ifstream again(path_);
    std::string after((std::istreambuf_iterator<char>(again)), {});
    EXPECT_EQ(after.find("dois"), std::string::npos);
}

TEST_F(DialogStoreTest, BlankIdentityRaisesBeforeAnythingIsShown) {
    try {
        MessageDlgEx(" ... ã ", mkError, kButtonOK, 0, "", true);
        FAIL() << "no error raised";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "DSAIdentsGetState gravando especificador em branco");
    }
    EXPECT_EQ(front_->shown, 0);
    EXPECT_THROW(DSAIdentsSetState({}, "\r\n", true), Exception);
}

TEST_F(DialogStoreTest, UnwritableStoreAlwaysShows) {
    front_->answer = {1, true};
    setenv("PAVANA_REGISTRY", "/proc/no-such-dir/store.ini", 1);
    MessageDlgDetails("Sempre", "d", true);
    MessageDlgDetails("Sempre", "d", true);
    EXPECT_EQ(front_->shown, 2);
}

}  // namespace
}  // namespace pavana
