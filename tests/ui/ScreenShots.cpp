// On a real X server: the progress window's animation moves while the thread is busy and
// processes no events (only the engine's activity handler runs), and the details dialog over
// it. Pictures go to <build>/test-output/.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "UiTestSupport.h"
#include "ui/Animate.h"
#include "ui/AviWriter.h"
#include "ui/MessageForm.h"
#include "ui/QtFront.h"
#include "ui/QtProgressWindow.h"
#include "ui/uMarvoDialogs.h"
#include "ui/uvrxEvolucao.h"
#include "ui/uvrxButton.h"

namespace pavana {
namespace {

constexpr int kClipWidth = 64;
constexpr int kClipHeight = 40;

// A square sliding across a keyed background, 20 frames of 50 ms.
void WriteSlidingClip(const std::string& path) {
    TAviWriter writer(kClipWidth, kClipHeight, 8, TAviWriter::Compression::Rle8, {0xFF00FF, 0x000080, 0xFFDC00},
                      50000);
    for (int frame = 0; frame < 20; ++frame) {
        std::vector<std::uint8_t> pixels(kClipWidth * kClipHeight, 0);
        const int left = frame * (kClipWidth - 12) / 19;
        for (int y = 14; y < 26; ++y)
            for (int x = left; x < left + 12; ++x) pixels[std::size_t(y * kClipWidth + x)] = frame % 2 ? 1 : 2;
        writer.AddRle8Frame(pixels, frame == 0);
    }
    writer.SaveToFile(path);
}

std::string OutputDir() {
    const std::string dir = std::string(PAVANA_BINARY_DIR) + "/test-output";
    std::filesystem::create_directories(dir);
    return dir;
}

QImage GrabScreen(const QRect& area) {
    return QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
}

TEST(ScreenShots, AnimationMovesDuringABusyStatementAndTheDialogShowsOverIt) {
    test::EnsureApplication();
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    const std::string folder = testing::TempDir() + "screen_clips";
    std::filesystem::create_directories(folder);
    WriteSlidingClip(folder + "/anmGenerica.avi");
    SetAnimationFolder(folder);
    const std::string store = folder + "/store.ini";
    setenv("PAVANA_REGISTRY", store.c_str(), 1);
    auto owned = std::make_unique<QtFront>();
    const std::function<void()> activity = owned->ActivityHandler();
    InstallFront(std::move(owned));

    ASSERT_NE(ShowProgress(fvrxEvolucao, "", "Realizando atualizações na base. Aguarde... ", 0, 1), nullptr);
    auto* progress = dynamic_cast<QtProgressWindow*>(fvrxEvolucao.get());
    ASSERT_TRUE(progress && progress->Animation());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(progress->Window()));
    QTest::qWait(100);
    const QRect window = progress->Window()->frameGeometry();
    const QRect animation(progress->Animation()->mapToGlobal(QPoint(0, 0)), progress->Animation()->size());

    // One "statement" of 600 ms: no event processing, only the engine's activity calls.
    const QImage before = GrabScreen(animation);
    GrabScreen(window).save(QString::fromStdString(OutputDir() + "/progress-1.png"));
    const int frameBefore = progress->Animation()->CurrentFrame();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(600);
    while (std::chrono::steady_clock::now() < end) activity();
    const QImage after = GrabScreen(animation);
    GrabScreen(window).save(QString::fromStdString(OutputDir() + "/progress-2.png"));
    EXPECT_NE(progress->Animation()->CurrentFrame(), frameBefore);
    EXPECT_NE(before, after) << "the animation area did not change on screen";

    // The connection error dialog over the progress window, details open.
    QTimer::singleShot(0, [] {
        auto* form = qobject_cast<TFormMensagem*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
        QTest::qWait(200);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        GrabScreen(screen).save(QString::fromStdString(OutputDir() + "/dialog-details.png"));
        form->findChild<TvrxButton*>(QStringLiteral("OK"))->RoundButton().Click();
    });
    EXPECT_EQ(MessageDlgEx("Não foi possível conectar à base de dados.", mkMensagem, 4, 0, -1, -1,
                           "Could not find file '/dados/curriculo.db'.", true, {}, true),
              1);

    QPointer<QWidget> shown(progress->Window());
    CloseProgress(fvrxEvolucao);
    EXPECT_TRUE(shown.isNull());
    InstallFront(nullptr);
    unsetenv("PAVANA_REGISTRY");
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace pavana
