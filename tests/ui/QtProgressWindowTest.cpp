// The progress window on the window system and its animation control.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QStatusBar>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "UiTestSupport.h"
#include "ui/Animate.h"
#include "ui/AviWriter.h"
#include "ui/QtFront.h"
#include "ui/QtProgressWindow.h"
#include "ui/uvrxEvolucao.h"

namespace pavana {
namespace {

constexpr int kClipWidth = 10;
constexpr int kClipHeight = 6;
constexpr std::uint32_t kMicrosPerFrame = 40000;

// Three frames on a magenta background: a red, a green and a blue bar at column 2 + frame.
void WriteClip(const std::string& path) {
    TAviWriter writer(kClipWidth, kClipHeight, 8, TAviWriter::Compression::Rle8,
                      {0xFF00FF, 0xFF0000, 0x00FF00, 0x0000FF}, kMicrosPerFrame);
    for (int frame = 0; frame < 3; ++frame) {
        std::vector<std::uint8_t> pixels(kClipWidth * kClipHeight, 0);
        for (int y = 1; y < kClipHeight - 1; ++y)
            pixels[std::size_t(y * kClipWidth + 2 + frame)] = std::uint8_t(1 + frame);
        writer.AddRle8Frame(pixels, frame == 0);
    }
    writer.SaveToFile(path);
}

class QtProgressWindowTest : public testing::Test {
protected:
    void SetUp() override {
        test::EnsureApplication();
        folder_ = testing::TempDir() + "qt_progress_" + testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directories(folder_);
        WriteClip(folder_ + "/anmGenerica.avi");
        std::ofstream(folder_ + "/anmInternet.avi") << "RIFF but not a clip";
        SetAnimationFolder(folder_);
        InstallFront(std::make_unique<QtFront>());
    }
    void TearDown() override {
        CloseProgress(window_);
        InstallFront(nullptr);
        std::filesystem::remove_all(folder_);
    }

    QtProgressWindow* Shown(int maximum, int clip) {
        EXPECT_NE(ShowProgress(window_, "Atualizando", "Realizando atualizações na base. Aguarde... ", maximum, clip),
                  nullptr);
        return dynamic_cast<QtProgressWindow*>(window_.get());
    }

    std::string folder_;
    std::unique_ptr<TfvrxEvolucao> window_;
};

TEST_F(QtProgressWindowTest, WindowHasItsSizeCaptionFlagsAndControls) {
    QtProgressWindow* progress = Shown(0, 1);
    ASSERT_NE(progress, nullptr);
    QWidget* window = progress->Window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->size(), QSize(290, 95));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Processando"));
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(flags & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowSystemMenuHint));
    EXPECT_EQ(window->font(), Arial8());
    EXPECT_EQ(test::PixelAt(test::Render(*window), 150, 2), test::kFixedButtonFace);

    auto* label = window->findChild<QLabel*>(QStringLiteral("Label"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->geometry(), QRect(2, 4, 286, 16));
    EXPECT_EQ(label->text(), QStringLiteral("Atualizando"));
    EXPECT_TRUE(label->alignment() & Qt::AlignHCenter);
    auto* status = window->findChild<QStatusBar*>(QStringLiteral("Status"));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->geometry(), QRect(0, 74, 290, 19));
    EXPECT_FALSE(status->isSizeGripEnabled());
    EXPECT_EQ(status->currentMessage(), QStringLiteral("Realizando atualizações na base. Aguarde... "));
    EXPECT_EQ(window->findChild<QProgressBar*>(), nullptr);

    TAnimate* animation = progress->Animation();
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->geometry(), QRect(0, 20, 289, 52));
    EXPECT_TRUE(animation->isVisible());
    EXPECT_TRUE(animation->Active());
    EXPECT_EQ(animation->FileName(), folder_ + "/anmGenerica.avi");

    QPointer<QWidget> guard(window);
    CloseProgress(window_);
    EXPECT_EQ(window_, nullptr);
    EXPECT_TRUE(guard.isNull());
}

TEST_F(QtProgressWindowTest, MissingEmptyOrBrokenClipShowsNoAnimation) {
    std::filesystem::remove(folder_ + "/anmGenerica.avi");
    for (int clip : {1, 2, 5}) {
        QtProgressWindow* progress = Shown(0, clip);
        ASSERT_NE(progress, nullptr) << clip;
        ASSERT_NE(progress->Animation(), nullptr);
        EXPECT_FALSE(progress->Animation()->isVisible()) << clip;
        EXPECT_FALSE(progress->Animation()->Active()) << clip;
        EXPECT_EQ(progress->Animation()->FileName(), "") << clip;
        EXPECT_TRUE(progress->Window()->isVisible());
        CloseProgress(window_);
    }
}

TEST_F(QtProgressWindowTest, BarClosesTheWindowAtTheMaximum) {
    QtProgressWindow* progress = Shown(5, 1);
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->Animation(), nullptr);
    auto* bar = progress->Window()->findChild<QProgressBar*>(QStringLiteral("Barra"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->geometry(), QRect(5, 36, 279, 16));
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 5);
    EXPECT_EQ(bar->value(), 0);
    window_->SetProgressPosition(4);
    EXPECT_EQ(bar->value(), 4);
    QPointer<QWidget> guard(progress->Window());
    window_->SetProgressPosition(5);
    EXPECT_TRUE(guard.isNull());
    EXPECT_TRUE(window_->Finished());
    EXPECT_EQ(progress->Window(), nullptr);
    CloseProgress(window_);
    EXPECT_EQ(window_, nullptr);
}

TEST_F(QtProgressWindowTest, PreviousActiveWindowComesBackOnClose) {
    QWidget previous;
    previous.setWindowTitle(QStringLiteral("anterior"));
    previous.show();
    QApplication::setActiveWindow(&previous);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&previous));
    QtProgressWindow* progress = Shown(0, 1);
    ASSERT_NE(progress, nullptr);
    QApplication::setActiveWindow(progress->Window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(progress->Window()));
    CloseProgress(window_);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&previous));
    EXPECT_EQ(QApplication::activeWindow(), &previous);
}

class AnimateTest : public QtProgressWindowTest {};

TEST_F(AnimateTest, ClipIsCentredAndItsKeyColourShowsTheBackground) {
    TAnimate animate;
    animate.resize(30, 20);
    animate.SetFileName(folder_ + "/anmGenerica.avi");
    EXPECT_EQ(animate.ClipSize(), QSize(kClipWidth, kClipHeight));
    EXPECT_EQ(animate.CurrentFrame(), 0);
    const QImage image = test::Render(animate, 0x123456);
    const int left = (30 - kClipWidth) / 2, top = (20 - kClipHeight) / 2;
    EXPECT_EQ(test::PixelAt(image, left, top), TColor(0x123456));  // key colour: not painted
    EXPECT_EQ(test::PixelAt(image, left + 2, top + 1), RGB(255, 0, 0));
    EXPECT_EQ(test::PixelAt(image, left + 1, top + 1), TColor(0x123456));
    EXPECT_EQ(test::PixelAt(image, left + 2, top), TColor(0x123456));
    EXPECT_EQ(test::PixelAt(image, 0, 0), TColor(0x123456));
}

TEST_F(AnimateTest, FramesAdvanceWhenDueAndLoop) {
    TAnimate animate;
    animate.resize(20, 10);
    animate.SetFileName(folder_ + "/anmGenerica.avi");
    animate.SetActive(true);
    EXPECT_FALSE(animate.AdvanceIfDue());  // the first frame has just started
    EXPECT_EQ(animate.CurrentFrame(), 0);
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(kMicrosPerFrame + 5000));
        EXPECT_TRUE(animate.AdvanceIfDue());
        seen.push_back(animate.CurrentFrame());
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 0, 1}));
    const QImage image = test::Render(animate, 0x000000);
    EXPECT_EQ(test::PixelAt(image, 5 + 3, 2 + 1), RGB(0, 255, 0));  // frame 1's green bar

    // The timer plays the clip whenever events are processed.
    const int before = animate.CurrentFrame();
    QTest::qWait(int(kMicrosPerFrame / 1000) * 3);
    EXPECT_NE(animate.CurrentFrame(), before);

    animate.SetActive(false);
    std::this_thread::sleep_for(std::chrono::microseconds(kMicrosPerFrame + 5000));
    EXPECT_FALSE(animate.AdvanceIfDue());
}

TEST(QtFrontDisplay, UnreachableDisplaysAreReportedSo) {
    const std::string display = qEnvironmentVariable("DISPLAY").toStdString();
    const std::string wayland = qEnvironmentVariable("WAYLAND_DISPLAY").toStdString();
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("DISPLAY");
    EXPECT_FALSE(QtFront::DisplayReachable());
    setenv("DISPLAY", ":4711", 1);
    setenv("WAYLAND_DISPLAY", "/nonexistent/wayland-9", 1);
    EXPECT_FALSE(QtFront::DisplayReachable());
    display.empty() ? unsetenv("DISPLAY") : setenv("DISPLAY", display.c_str(), 1);
    wayland.empty() ? unsetenv("WAYLAND_DISPLAY") : setenv("WAYLAND_DISPLAY", wayland.c_str(), 1);
}

}  // namespace
}  // namespace pavana
