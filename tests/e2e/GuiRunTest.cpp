// The update run under a display: the real PavanaScript on an X server of its own (Xvfb),
// its windows found and answered with xdotool as a person would.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "Process.h"

namespace pavana::e2e {
namespace {

constexpr const char* kXvfb = "/usr/bin/Xvfb";
constexpr const char* kXdotool = "/usr/bin/xdotool";

class GuiRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kXvfb) || !std::filesystem::exists(kXdotool))
            GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/install-deps.sh installs them)";
        dir_ = std::filesystem::temp_directory_path() / ("pavana-gui-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        int number = 100 + ::getpid() % 400;
        while (std::filesystem::exists(LockFile(number)) || std::filesystem::exists(SocketFile(number))) ++number;
        number_ = number;
        display_ = ":" + std::to_string(number);
        ProcessOptions serverOptions;
        server_ = std::make_unique<BackgroundProcess>(
            kXvfb, std::vector<std::string>{display_, "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
            serverOptions);
        const std::string socket = SocketFile(number_);
        for (int i = 0; i < 100 && !std::filesystem::exists(socket); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(std::filesystem::exists(socket)) << "Xvfb did not start";
        options_.workingDirectory = dir_.string();
        options_.environment["DISPLAY"] = display_;
        options_.environment["WAYLAND_DISPLAY"] = std::nullopt;
        options_.environment["QT_QPA_PLATFORM"] = std::nullopt;
        options_.environment["PAVANA_REGISTRY"] = (dir_ / "registry.ini").string();
        options_.environment["XDG_RUNTIME_DIR"] = dir_.string();
    }
    void TearDown() override {
        if (server_ != nullptr) {
            server_.reset();  // killed outright, so its lock and socket stay behind
            std::filesystem::remove(LockFile(number_));
            std::filesystem::remove(SocketFile(number_));
        }
        std::filesystem::remove_all(dir_);
    }

    // The id of the visible window with exactly this title, waiting up to `seconds`.
    std::string WaitForWindow(const std::string& title, double seconds = 10) {
        for (int i = 0; i < seconds * 20; ++i) {
            ProcessResult found = RunProcess(kXdotool, {"search", "--onlyvisible", "--name", "^" + title + "$"}, options_);
            if (found.exitCode == 0 && !found.out.empty()) return found.out.substr(0, found.out.find('\n'));
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return {};
    }

    static std::string LockFile(int number) { return "/tmp/.X" + std::to_string(number) + "-lock"; }
    static std::string SocketFile(int number) { return "/tmp/.X11-unix/X" + std::to_string(number); }

    std::filesystem::path dir_;
    int number_ = 0;
    std::string display_;
    std::unique_ptr<BackgroundProcess> server_;
    ProcessOptions options_;
};

TEST_F(GuiRunTest, FailedConnectionShowsTheDialogOverTheProgressWindowAndEndsWithZero) {
    WriteFile((dir_ / "script.sql").string(), "DELETE FROM Alunos;\n");
    BackgroundProcess run(PAVANASCRIPT_BIN,
                          {(dir_ / "missing.db").string(), (dir_ / "anim").string(), (dir_ / "script.sql").string()},
                          options_);
    std::string dialog = WaitForWindow("Mensagem");
    ASSERT_FALSE(dialog.empty()) << "the connection dialog did not appear";
    EXPECT_FALSE(WaitForWindow("Processando").empty()) << "the progress window is not on screen under the dialog";
    RunProcess(kXdotool, {"key", "--window", dialog, "Return"}, options_);
    std::optional<int> exitCode = run.Wait(10);
    ASSERT_TRUE(exitCode.has_value()) << "the run did not end after the dialog was answered";
    EXPECT_EQ(*exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "script.log"));
}

TEST_F(GuiRunTest, TooFewArgumentsShowTheErrorDialogAlone) {
    BackgroundProcess run(PAVANASCRIPT_BIN, {"a", "b"}, options_);
    std::string dialog = WaitForWindow("Erro");
    ASSERT_FALSE(dialog.empty()) << "the error dialog did not appear";
    // The progress window would have come before the dialog.
    EXPECT_TRUE(WaitForWindow("Processando", 0.5).empty());
    RunProcess(kXdotool, {"key", "--window", dialog, "Return"}, options_);
    std::optional<int> exitCode = run.Wait(10);
    ASSERT_TRUE(exitCode.has_value());
    EXPECT_EQ(*exitCode, 0);
}

}  // namespace
}  // namespace pavana::e2e
