// PavanaScript: brings a database up to date from an update script.
//
//   PavanaScript [--console] DATABASE ANIMATION_FOLDER SCRIPT [PASSWORD]
//
// The run is one straight sequence: read the arguments, show the progress window, connect,
// run the script (failing statements go to script.log), disconnect, close the window. Every
// road ends with exit code 0 except an error that escapes the run (the script or the log
// cannot be read or written), which is reported and ends the process with 1.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include <QApplication>

#include "app/CommandLine.h"
#include "app/RunSession.h"
#include "app/upavANMensagensHints.h"
#include "app/upavANDMPrincipal.h"
#include "engine/Activity.h"
#include "rtl/FormatSettings.h"
#include "ui/QtFront.h"
#include "ui/UserFront.h"
#include "ui/uvrxEvolucao.h"

namespace pavana {
namespace {

constexpr const char* kUsage =
    "Usage: PavanaScript [--console] DATABASE ANIMATION_FOLDER SCRIPT [PASSWORD]\n"
    "\n"
    "Runs the SQL statements of SCRIPT on DATABASE, one after another, and appends every\n"
    "statement that fails, with the engine's message, to script.log in the working directory.\n"
    "ANIMATION_FOLDER holds the progress window's clips. Without PASSWORD the database's\n"
    "stored default password is used.\n"
    "\n"
    "  --console   show dialogs and progress on the terminal even when a display is reachable\n"
    "  --help      show this text\n"
    "  --version   show the program's version\n";

// Closes the progress window on every way out of the connected part of the run.
class ProgressWindowGuard {
public:
    ProgressWindowGuard() = default;
    ProgressWindowGuard(const ProgressWindowGuard&) = delete;
    ProgressWindowGuard& operator=(const ProgressWindowGuard&) = delete;
    ~ProgressWindowGuard() { CloseProgress(fvrxEvolucao); }
};

void RunSequence(TfpavANDMPrincipal& module, const std::vector<std::string>& arguments) {
    if (!module.ReadParameters(arguments)) return;
    SetAnimationFolder(module.AnimationFolder);
    ShowProgress(fvrxEvolucao, "", kStatusAtualizando, 0, 1);
    ProgressWindowGuard closeWindow;
    if (module.ConnectDatabase() && module.dbsCurriculo().Connected()) {
        module.RunScript(module.ScriptFile);
        module.CloseDatabase();
    }
}

int Run(const CommandLine& commandLine) {
    RunSession session(commandLine);
    std::string message;
    try {
        fpavANDMPrincipal = std::make_unique<TfpavANDMPrincipal>(nullptr);
        fpavANDMPrincipal->Session = &session;
        RunSequence(*fpavANDMPrincipal, commandLine.arguments);
        fpavANDMPrincipal.reset();
        return EXIT_SUCCESS;
    } catch (const std::exception& error) {
        message = error.what();
    } catch (...) {
        message = "An error of unknown kind ended the run.";
    }
    CurrentFront().ShowFatalError(message);
    fpavANDMPrincipal.reset();
    return EXIT_FAILURE;
}

// The window-system front for the length of one run: the application object, the front's
// dialogs and progress window, and the engine's activity hook that keeps the animation moving.
// Qt sees only the program's name, so that no argument of the run is taken as a Qt option.
class WindowFront {
public:
    explicit WindowFront(char* programName) : arguments_{programName, nullptr}, application_(argc_, arguments_) {
        auto front = std::make_unique<QtFront>();
        engine::SetActivityHandler(front->ActivityHandler());
        InstallFront(std::move(front));
    }
    WindowFront(const WindowFront&) = delete;
    WindowFront& operator=(const WindowFront&) = delete;
    ~WindowFront() {
        engine::SetActivityHandler({});
        InstallFront(nullptr);
    }

private:
    int argc_ = 1;
    char* arguments_[2];
    QApplication application_;
};

}  // namespace
}  // namespace pavana

int main(int argc, char** argv) {
    using namespace pavana;
    CommandLine commandLine = ParseCommandLine(argc, argv);
    if (commandLine.help) {
        std::fputs(kUsage, stdout);
        return EXIT_SUCCESS;
    }
    if (commandLine.version) {
        std::puts("PavanaScript " PAVANA_VERSION);
        return EXIT_SUCCESS;
    }
    std::setlocale(LC_ALL, "");
    FormatSettings::SetCurrent(FormatSettings::FromEnvironment());
    SetApplicationTitle("PavanaScript");
    std::unique_ptr<WindowFront> windowFront;
    if (!commandLine.console) {
        const DisplayProbe display;
        if (display.Reachable()) windowFront = std::make_unique<WindowFront>(argv[0]);
    }
    return Run(commandLine);
}
