#include "ui/uvrxEvolucao.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "ui/TerminalFront.h"
#include "ui/UserFront.h"

namespace pavana {
namespace {

// A window that records the hooks it is called through, in order.
class RecordingWindow : public TfvrxEvolucao {
public:
    explicit RecordingWindow(std::vector<std::string>& log) : log_(log) {}

protected:
    void CreateWindowFrame() override { log_.push_back("frame"); }
    void ShowLabel(const std::string& text) override { log_.push_back("label " + text); }
    void ShowStatus(const std::string& text) override { log_.push_back("status " + text); }
    bool CreateAnimation(const std::string& clip) override {
        log_.push_back("animation " + clip);
        return true;
    }
    void CreateProgressBar(int maximum) override { log_.push_back("bar " + std::to_string(maximum)); }
    void ShowBarPosition(int position) override { log_.push_back("position " + std::to_string(position)); }
    void ShowWindow() override { log_.push_back("show"); }
    void CloseWindow() override { log_.push_back("close"); }
    void ProcessMessages() override {}

private:
    std::vector<std::string>& log_;
};

class RecordingFront : public UserFront {
public:
    MessageAnswer ShowMessage(const MessageRequest&) override { return {}; }
    void ShowFatalError(const std::string&) override {}
    std::unique_ptr<TfvrxEvolucao> CreateProgressWindow() override { return std::make_unique<RecordingWindow>(log); }
    std::vector<std::string> log;
};

class ProgressWindowTest : public testing::Test {
protected:
    void SetUp() override {
        auto front = std::make_unique<RecordingFront>();
        front_ = front.get();
        InstallFront(std::move(front));
    }
    void TearDown() override { InstallFront(nullptr); }

    RecordingFront* front_ = nullptr;
};

TEST_F(ProgressWindowTest, ClipPathWithAndWithoutTrailingSeparator) {
    SetAnimationFolder("/opt/anim");
    EXPECT_EQ(AnimationClipPath(1), "/opt/anim/anmGenerica.avi");
    SetAnimationFolder("/opt/anim/");
    EXPECT_EQ(AnimationClipPath(1), "/opt/anim/anmGenerica.avi");
    EXPECT_EQ(AnimationClipPath(5), "/opt/anim/");
    SetAnimationClip(5, "/elsewhere/clip.avi");
    EXPECT_EQ(AnimationClipPath(5), "/opt/anim/clip.avi");
    EXPECT_THROW(AnimationClipPath(10), std::out_of_range);
}

TEST_F(ProgressWindowTest, AnimationWindowIsBuiltInOrder) {
    SetAnimationFolder("/a");
    std::unique_ptr<TfvrxEvolucao> window;
    EXPECT_NE(ShowProgress(window, "", "Aguarde", 0, 1), nullptr);
    EXPECT_EQ(front_->log,
              (std::vector<std::string>{"frame", "label ", "animation /a/anmGenerica.avi", "status Aguarde", "show"}));
    CloseProgress(window);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(front_->log.back(), "close");
}

TEST_F(ProgressWindowTest, ReachingTheMaximumClosesOnceAndLaterCloseOnlyEmpties) {
    std::unique_ptr<TfvrxEvolucao> window;
    ShowProgress(window, "x", "y", 5, 1);
    EXPECT_EQ(front_->log[2], "bar 5");
    EXPECT_EQ(front_->log[3], "position 0");
    window->SetProgressPosition(4);
    EXPECT_EQ(front_->log.back(), "position 4");
    window->SetProgressPosition(5);
    EXPECT_EQ(front_->log.back(), "close");
    EXPECT_TRUE(window->Finished());
    window->SetProgressText("ignored after closing");
    std::size_t entries = front_->log.size();
    CloseProgress(window);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(front_->log.size(), entries);
}

TEST(TerminalFront, DialogPrintsCaptionTextAndDetailsAndAnswersDefault) {
    std::FILE* out = std::tmpfile();
    TerminalFront front(out, false);
    MessageRequest request;
    request.text = "Erro na conexão.\r\nVerifique.";
    request.kind = mkMensagem;
    request.buttons = kButtonOK;
    request.details = "Could not find file '/x'.";
    MessageAnswer answer = front.ShowMessage(request);
    EXPECT_EQ(answer.modalResult, 1);
    EXPECT_FALSE(answer.notAgainTicked.has_value());
    request.buttons = 1u << 3;  // Cancel alone: no default button
    EXPECT_EQ(front.ShowMessage(request).modalResult, 2);
    std::rewind(out);
    char buffer[512] = {};
    std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
    std::string text(buffer, n);
    EXPECT_EQ(text.substr(0, text.find("Mensagem", 1)),
              "Mensagem: Erro na conexão.\nVerifique.\nDetalhes: Could not find file '/x'.\n");
    std::fclose(out);
}

}  // namespace
}  // namespace pavana
