// The update run under a display: the real PavanaScript on an X server of its own (Xvfb),
// its windows found and answered with xdotool as a person would.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "Process.h"
#include "TestFolder.h"

namespace pavana::e2e {
namespace {

constexpr const char* kXvfb = "/usr/bin/Xvfb";
constexpr const char* kXdotool = "/usr/bin/xdotool";
constexpr const char* kXwd = "/usr/bin/xwd";
constexpr const char* kOpenbox = "/usr/bin/openbox";
constexpr const char* kXprop = "/usr/bin/xprop";
constexpr const char* kXwininfo = "/usr/bin/xwininfo";

// The integers of a tool's output in order ("Absolute upper-left X:  398" gives 398).
std::vector<int> NumbersIn(const std::string& text) {
    std::vector<int> numbers;
    for (std::size_t i = 0; i < text.size();) {
        if (std::isdigit(static_cast<unsigned char>(text[i]))) {
            std::size_t end = i;
            while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
            numbers.push_back(std::atoi(text.substr(i, end - i).c_str()));
            i = end;
        } else {
            ++i;
        }
    }
    return numbers;
}

std::uint32_t BigEndian32(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

// An X window dump (xwd's format: a header of big-endian 32-bit fields, a colour table, then
// the pixels) of a 24- or 32-bit TrueColor screen as an image; a null image otherwise.
QImage ImageOfWindowDump(const std::string& dump) {
    if (dump.size() < 100) return {};
    const std::uint32_t headerSize = BigEndian32(dump, 0);
    const int width = static_cast<int>(BigEndian32(dump, 16));
    const int height = static_cast<int>(BigEndian32(dump, 20));
    const bool lsbFirst = BigEndian32(dump, 28) == 0;
    const std::uint32_t bitsPerPixel = BigEndian32(dump, 44);
    const std::uint32_t bytesPerLine = BigEndian32(dump, 48);
    const std::uint32_t colours = BigEndian32(dump, 76);
    const std::size_t start = headerSize + std::size_t{colours} * 12;
    if (bitsPerPixel != 32 || width <= 0 || height <= 0 ||
        start + std::size_t{bytesPerLine} * static_cast<std::size_t>(height) > dump.size())
        return {};
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::size_t at = start + std::size_t{bytesPerLine} * y + 4u * x;
            std::uint32_t pixel = 0;
            for (int i = 0; i < 4; ++i) {
                const std::uint32_t byte = static_cast<unsigned char>(dump[at + i]);
                pixel |= lsbFirst ? byte << (8 * i) : byte << (8 * (3 - i));
            }
            image.setPixel(x, y, pixel | 0xFF000000u);
        }
    return image;
}

class GuiRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kXvfb) || !std::filesystem::exists(kXdotool))
            GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/install-deps.sh installs them)";
        // The server is ours only when its lock file names its process: another test may have
        // taken the same display at the same moment.
        for (int number = 100 + ::getpid() % 400, attempt = 0; attempt < 20 && server_ == nullptr;
             ++number, ++attempt) {
            if (std::filesystem::exists(LockFile(number)) || std::filesystem::exists(SocketFile(number))) continue;
            auto server = std::make_unique<BackgroundProcess>(
                kXvfb,
                // -noreset: the xdotool and xwd clients come and go, and a server that resets when
                // its last client leaves could refuse the program connecting at that moment.
                std::vector<std::string>{":" + std::to_string(number), "-screen", "0", "1024x768x24", "-nolisten",
                                         "tcp", "-noreset"},
                ProcessOptions{});
            for (int i = 0; i < 200 && !std::filesystem::exists(SocketFile(number)); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (std::atoi(ReadFile(LockFile(number)).c_str()) != server->Pid()) continue;
            number_ = number;
            server_ = std::move(server);
        }
        ASSERT_NE(server_, nullptr) << "Xvfb did not start";
        display_ = ":" + std::to_string(number_);
        options_.workingDirectory = dir_.Dir().string();
        options_.environment["DISPLAY"] = display_;
        options_.environment["WAYLAND_DISPLAY"] = std::nullopt;
        options_.environment["QT_QPA_PLATFORM"] = std::nullopt;
        options_.environment["PAVANA_REGISTRY"] = (dir_ / "registry.ini").string();
        options_.environment["XDG_RUNTIME_DIR"] = dir_.Dir().string();
    }
    void TearDown() override {
        if (server_ != nullptr) {
            server_.reset();  // killed outright, so its lock and socket stay behind
            std::filesystem::remove(LockFile(number_));
            std::filesystem::remove(SocketFile(number_));
        }
    }

    // The id of the visible window with exactly this title, waiting up to `seconds`. The first
    // program on a fresh machine may spend many seconds building the font cache.
    std::string WaitForWindow(const std::string& title, double seconds = 60) {
        for (int i = 0; i < seconds * 20; ++i) {
            ProcessResult found =
                RunProcess(kXdotool, {"search", "--onlyvisible", "--name", "^" + title + "$"}, options_);
            if (found.exitCode == 0 && !found.out.empty()) return found.out.substr(0, found.out.find('\n'));
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return {};
    }

    static std::string LockFile(int number) { return "/tmp/.X" + std::to_string(number) + "-lock"; }
    static std::string SocketFile(int number) { return "/tmp/.X11-unix/X" + std::to_string(number); }

    // A picture of the window, also written to <build>/test-output/<name>.png for people.
    QImage Screenshot(const std::string& window, const std::string& name) {
        const std::string dumpPath = (dir_ / (name + ".xwd")).string();
        RunProcess(kXwd, {"-silent", "-id", window, "-out", dumpPath}, options_);
        QImage image = ImageOfWindowDump(ReadFile(dumpPath));
        const std::filesystem::path output = std::filesystem::path(PAVANA_BINARY_DIR) / "test-output";
        std::filesystem::create_directories(output);
        if (!image.isNull()) image.save(QString::fromStdString((output / ("e2e-" + name + ".png")).string()));
        return image;
    }

    const test::TestFolder dir_;
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

TEST_F(GuiRunTest, LongScriptShowsTheMovingAnimationAndClosesTheWindowAtTheEnd) {
    if (!std::filesystem::exists(kXwd)) GTEST_SKIP() << "xwd (x11-apps) is needed for screenshots";
    const std::string db = (dir_ / "curriculo.db").string();
    ProcessResult created = RunProcess(PAVANADB_BIN, {"create", db, "--password", "qorvimband"}, options_);
    ASSERT_EQ(created.exitCode, 0) << created.err;
    std::string setup = "CREATE TABLE Dez (N INTEGER);\nCREATE TABLE Muitos (N INTEGER);\n";
    for (int n = 0; n < 10; ++n) setup += "INSERT INTO Dez (N) VALUES (" + std::to_string(n) + ");\n";
    options_.input = setup;
    ASSERT_EQ(RunProcess(PAVANADB_BIN, {"sql", db, "--password", "qorvimband"}, options_).exitCode, 0);
    options_.input.clear();
    ProcessResult clips = RunProcess(CLIPWRITER_BIN, {(dir_ / "anim").string()}, options_);
    ASSERT_EQ(clips.exitCode, 0) << clips.err;
    // Each statement makes ten million rows and runs for seconds on its own.
    std::string script;
    for (int i = 0; i < 2; ++i)
        script += "INSERT INTO Muitos (N) SELECT a.N FROM Dez a, Dez b, Dez c, Dez d, Dez e, Dez f, Dez g;\n";
    WriteFile((dir_ / "script.sql").string(), script);

    BackgroundProcess run(PAVANASCRIPT_BIN, {db, (dir_ / "anim").string(), (dir_ / "script.sql").string()}, options_);
    std::string window = WaitForWindow("Processando");
    ASSERT_FALSE(window.empty()) << "the progress window did not appear";
    // Pictures a little apart until two differ (a loaded machine may paint late).
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    QImage first = Screenshot(window, "progress-1");
    ASSERT_FALSE(first.isNull());
    bool moved = false;
    for (int i = 2; i <= 15 && !moved; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        QImage later = Screenshot(window, "progress-" + std::to_string(i));
        moved = !later.isNull() && later.size() == first.size() && later != first;
    }
    EXPECT_TRUE(moved) << "the animation did not move while the statements ran";
    std::optional<int> exitCode = run.Wait(120);
    ASSERT_TRUE(exitCode.has_value());
    EXPECT_EQ(*exitCode, 0);
    EXPECT_TRUE(WaitForWindow("Processando", 0.5).empty()) << "the progress window stayed after the run";
    EXPECT_EQ(ReadFile((dir_ / "script.log").string()), "");
    ProcessResult rows = RunProcess(
        PAVANADB_BIN, {"sql", db, "--password", "qorvimband", "SELECT COUNT(*) AS Linhas FROM Muitos"}, options_);
    EXPECT_EQ(rows.out, "Linhas\n20000000\n");
}

// The progress window's animation keeps moving while the run's work holds no statement of the
// engine running: during a long extension call and while a statement waits for a lock another
// process holds. The extensions that fault, fork and exit end the same way as on a terminal.
TEST_F(GuiRunTest, AnimationMovesDuringALongLibraryCallAndALockWait) {
    if (!std::filesystem::exists(kXwd)) GTEST_SKIP() << "xwd (x11-apps) is needed for screenshots";
    const std::string db = (dir_ / "curriculo.db").string();
    ASSERT_EQ(RunProcess(PAVANADB_BIN, {"create", db}, options_).exitCode, 0);
    ASSERT_EQ(RunProcess(PAVANADB_BIN, {"sql", db, "CREATE TABLE Marcas (texto TEXT(20))"}, options_).exitCode, 0);
    ProcessResult clips = RunProcess(CLIPWRITER_BIN, {(dir_ / "anim").string()}, options_);
    ASSERT_EQ(clips.exitCode, 0) << clips.err;
    const std::string script = (dir_ / "script.sql").string();
    auto extension = [](const std::string& name) { return PAVANA_TEST_EXTENSIONS "/lib" + name + ".so"; };
    // Whether the animation's part of the progress window changes between pictures taken a
    // little apart, from one second after the window appeared (the run is in its long step by
    // then) for about three seconds.
    auto animationMoves = [&](const std::string& name) {
        const std::string window = WaitForWindow("Processando");
        if (window.empty()) return false;
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const QRect animation(0, 20, 289, 52);
        const QImage first = Screenshot(window, name + "-1").copy(animation);
        for (int i = 2; i <= 8; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            const QImage later = Screenshot(window, name + "-" + std::to_string(i)).copy(animation);
            if (!first.isNull() && !later.isNull() && later != first) return true;
        }
        return false;
    };

    // The library sleeps for six seconds; then come one that faults, one that forks and
    // returns in its child, and one that calls exit().
    WriteFile(script, "executaDLL " + extension("ext_sleep") + ";\nexecutaDLL " + extension("ext_segv") +
                          ";\nexecutaDLL " + extension("ext_fork") + ";\nINSERT INTO Marcas VALUES ('depois');\n" +
                          "executaDLL " + extension("ext_exit") + ";\nINSERT INTO Marcas VALUES ('nunca');\n");
    {
        BackgroundProcess run(PAVANASCRIPT_BIN, {db, (dir_ / "anim").string(), script}, options_);
        EXPECT_TRUE(animationMoves("library")) << "the animation did not move during the library's call";
        const std::string dialog = WaitForWindow("PavanaScript");
        ASSERT_FALSE(dialog.empty()) << "no message said that the library ended the process";
        RunProcess(kXdotool, {"key", "--window", dialog, "Return"}, options_);
        std::optional<int> exitCode = run.Wait(20);
        ASSERT_TRUE(exitCode.has_value());
        EXPECT_EQ(*exitCode, 1);
    }
    const std::string log = ReadFile((dir_ / "script.log").string());
    EXPECT_NE(log.find(" == Access violation at address "), std::string::npos) << log;
    EXPECT_NE(log.find(" == A biblioteca " + extension("ext_exit") + " encerrou o processo (exit 7).\r\n"),
              std::string::npos)
        << log;
    ProcessResult rows = RunProcess(PAVANADB_BIN, {"sql", db, "SELECT texto FROM Marcas ORDER BY texto"}, options_);
    EXPECT_EQ(rows.out, "texto\nantes\nantes\nantes\nantes\ndepois\n");

    // Another process holds the write lock for six seconds; the statement waits for it.
    std::filesystem::remove(dir_ / "script.log");
    WriteFile(script, "UPDATE Marcas SET texto = 'depois da espera';\n");
    const std::string taken = (dir_ / "locked").string();
    BackgroundProcess holder("/bin/sh",
                             {"-c", "(echo 'BEGIN IMMEDIATE;'; echo '.shell touch " + taken +
                                        "'; sleep 6; echo 'COMMIT;') | /usr/bin/sqlite3 " + db},
                             options_);
    for (int i = 0; i < 200 && !std::filesystem::exists(taken); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(std::filesystem::exists(taken)) << "the lock was not taken";
    BackgroundProcess run(PAVANASCRIPT_BIN, {db, (dir_ / "anim").string(), script}, options_);
    EXPECT_TRUE(animationMoves("lock")) << "the animation did not move while the statement waited for the lock";
    std::optional<int> exitCode = run.Wait(30);
    ASSERT_TRUE(exitCode.has_value());
    EXPECT_EQ(*exitCode, 0);
    EXPECT_EQ(ReadFile((dir_ / "script.log").string()), "");
    rows = RunProcess(PAVANADB_BIN, {"sql", db, "SELECT DISTINCT texto FROM Marcas"}, options_);
    EXPECT_EQ(rows.out, "texto\ndepois da espera\n");
}

// Under a window manager that draws frames, the dialog is centred by its outer size.
TEST_F(GuiRunTest, TooFewArgumentsShowTheErrorDialogAloneCentredWithItsFrame) {
    for (const char* tool : {kOpenbox, kXprop, kXwininfo})
        if (!std::filesystem::exists(tool)) GTEST_SKIP() << tool << " is needed (scripts/install-deps.sh installs it)";
    BackgroundProcess manager(kOpenbox, {}, options_);
    bool managed = false;
    for (int i = 0; i < 200 && !managed; ++i) {
        managed = RunProcess(kXprop, {"-root", "_NET_SUPPORTING_WM_CHECK"}, options_).out.find("window id") !=
                  std::string::npos;
        if (!managed) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(managed) << "the window manager did not start";

    BackgroundProcess run(PAVANASCRIPT_BIN, {"a", "b"}, options_);
    std::string dialog = WaitForWindow("Erro");
    ASSERT_FALSE(dialog.empty()) << "the error dialog did not appear";
    // Client position and size, its place inside the frame, and the frame's four sides.
    const std::string info = RunProcess(kXwininfo, {"-id", dialog}, options_).out;
    const std::vector<int> client = NumbersIn(info.substr(info.find("Absolute upper-left X")));
    const std::vector<int> frame = NumbersIn(RunProcess(kXprop, {"-id", dialog, "_NET_FRAME_EXTENTS"}, options_).out);
    ASSERT_GE(client.size(), 6u) << info;
    ASSERT_EQ(frame.size(), 4u);
    const int outerWidth = client[4] + frame[0] + frame[1], outerHeight = client[5] + frame[2] + frame[3];
    EXPECT_GT(frame[2], 0) << "the window manager drew no title bar";
    EXPECT_EQ(client[0] - frame[0], 1024 / 2 - outerWidth / 2);
    EXPECT_EQ(client[1] - frame[2], 768 / 2 - outerHeight / 2);
    // The progress window would have come before the dialog.
    EXPECT_TRUE(WaitForWindow("Processando", 0.5).empty());
    RunProcess(kXdotool, {"key", "--window", dialog, "Return"}, options_);
    std::optional<int> exitCode = run.Wait(10);
    ASSERT_TRUE(exitCode.has_value());
    EXPECT_EQ(*exitCode, 0);
}

}  // namespace
}  // namespace pavana::e2e
