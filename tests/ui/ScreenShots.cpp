// On a real X server: the progress window's animation during a long statement, and the details
// dialog over it. Pictures go to <build>/test-output/.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "UiTestSupport.h"
#include "engine/Activity.h"
#include "engine/DBEngine.h"
#include "engine/sqlite/SqliteEngine.h"
#include "ui/Animate.h"
#include "ui/AviWriter.h"
#include "ui/MessageForm.h"
#include "ui/QtFront.h"
#include "ui/QtProgressWindow.h"
#include "ui/uMarvoDialogs.h"
#include "ui/uvrxButton.h"
#include "ui/uvrxEvolucao.h"

namespace pavana {
namespace {

constexpr int kClipWidth = 64;
constexpr int kClipHeight = 40;

// A square sliding across a keyed background, 20 frames of 50 ms.
void WriteSlidingClip(const std::string& path) {
    TAviWriter writer(kClipWidth, kClipHeight, 8, TAviWriter::Compression::Rle8, {0xFF00FF, 0x000080, 0xFFDC00}, 50000);
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

// A statement that runs for seconds on the GUI thread: the engine's activity calls keep the
// animation moving on screen, and no other queued event runs until the statement is done.
// Then the connection error dialog opens over the progress window, details shown.
TEST(ScreenShots, AnimationMovesWhileOneStatementRunsAndTheDialogOpensOverIt) {
    const auto launch = std::chrono::steady_clock::now();
    ASSERT_TRUE(QtFront::DisplayReachable());
    test::EnsureApplication();
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    const std::string folder = testing::TempDir() + "screen_statement";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    WriteSlidingClip(folder + "/anmGenerica.avi");
    SetAnimationFolder(folder);
    setenv("PAVANA_REGISTRY", (folder + "/store.ini").c_str(), 1);
    auto owned = std::make_unique<QtFront>();
    const std::function<void()> frontActivity = owned->ActivityHandler();
    InstallFront(std::move(owned));

    auto engine = engine::sqlite::CreateSqliteEngine("3.6");
    auto db = engine->DefaultWorkspace()->CreateDatabase(folder + "/long.db");
    db->Execute("CREATE TABLE N (v INTEGER)");
    for (int i = 0; i < 75; ++i) db->Execute("INSERT INTO N (v) VALUES (" + std::to_string(i) + ")");
    db->Execute("CREATE TABLE Big (v INTEGER)");

    ASSERT_NE(ShowProgress(fvrxEvolucao, "", "Realizando atualizações na base. Aguarde... ", 0, 1), nullptr);
    auto* progress = dynamic_cast<QtProgressWindow*>(fvrxEvolucao.get());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(progress->Window()));
    const auto onScreen =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - launch);
    std::printf("application start to progress window exposed: %lld ms\n", static_cast<long long>(onScreen.count()));
    QTest::qWait(100);
    const QRect area(progress->Animation()->mapToGlobal(QPoint(0, 0)), progress->Animation()->size());

    std::vector<QImage> pictures;
    auto last = std::chrono::steady_clock::now();
    engine::SetActivityHandler([&] {
        frontActivity();
        const auto now = std::chrono::steady_clock::now();
        if (now - last < std::chrono::milliseconds(400)) return;
        last = now;
        pictures.push_back(GrabScreen(area));
    });
    bool otherEventRan = false;
    QTimer::singleShot(0, [&] { otherEventRan = true; });
    const auto start = std::chrono::steady_clock::now();
    db->Execute("INSERT INTO Big (v) SELECT a.v FROM N AS a, N AS b, N AS c, N AS d WHERE a.v + b.v + c.v + d.v = -1");
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    engine::SetActivityHandler({});
    EXPECT_FALSE(otherEventRan) << "an event was processed during the statement";
    std::printf("statement ran %lld ms; %zu pictures taken during it\n", static_cast<long long>(took.count()),
                pictures.size());
    ASSERT_GE(took.count(), 1000) << "the statement was too short to show anything";
    ASSERT_GE(pictures.size(), 2u);
    int changes = 0;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        pictures[i].save(QString::fromStdString(OutputDir() + "/statement-" + std::to_string(i) + ".png"));
        if (i > 0 && pictures[i] != pictures[i - 1]) ++changes;
    }
    EXPECT_GE(changes, int(pictures.size()) - 2) << "the animation stood still on screen during the statement";

    QCoreApplication::processEvents();
    EXPECT_TRUE(otherEventRan);

    QTimer::singleShot(0, [] {
        auto* form = qobject_cast<TFormMensagem*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
        QTest::qWait(200);
        GrabScreen(QGuiApplication::primaryScreen()->geometry())
            .save(QString::fromStdString(OutputDir() + "/dialog-details.png"));
        form->findChild<TvrxButton*>(QStringLiteral("OK"))->RoundButton().Click();
    });
    EXPECT_EQ(MessageDlgEx("Não foi possível conectar à base de dados.", mkMensagem, 4, 0, -1, -1,
                           "Could not find file '/dados/curriculo.db'.", true, {}, true),
              1);

    QPointer<QWidget> shown(progress->Window());
    CloseProgress(fvrxEvolucao);
    EXPECT_TRUE(shown.isNull());
    db->Close();
    InstallFront(nullptr);
    unsetenv("PAVANA_REGISTRY");
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace pavana
