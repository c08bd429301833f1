// PavanaScript: brings a database up to date from an update script.
//
//   PavanaScript [OPTION]... DATABASE ANIMATION_FOLDER SCRIPT [PASSWORD]
//
// The run is one straight sequence: read the arguments, show the progress window, connect,
// run the script (failing statements go to script.log), disconnect, close the window. Every
// road ends with exit code 0 except an error that escapes the run (the script or the log
// cannot be read or written, the database file was moved away), which is reported and ends
// the process with 1; --exit-code adds 2 and 3 (RunSession.h).
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include <QApplication>

#include "app/CommandLine.h"
#include "app/RunSession.h"
#include "app/upavANDMPrincipal.h"
#include "app/upavANMensagensHints.h"
#include "engine/Activity.h"
#include "rtl/FormatSettings.h"
#include "ui/QtFront.h"
#include "ui/UserFront.h"
#include "ui/uvrxEvolucao.h"

namespace pavana {
namespace {

constexpr const char* kUsage =
    "Usage: PavanaScript [OPTION]... DATABASE ANIMATION_FOLDER SCRIPT [PASSWORD]\n"
    "\n"
    "Runs the SQL statements of SCRIPT on DATABASE, one after another, and appends every\n"
    "statement that fails, with the engine's message, to script.log in the working directory.\n"
    "ANIMATION_FOLDER holds the progress window's clips. Without PASSWORD the password is\n"
    "taken from the environment variable PAVANA_PASSWORD when it is set (other local users\n"
    "cannot read it in the process list), else the database's stored default password.\n"
    "Each statement is committed on its own; a failing one is logged and the run goes on.\n"
    "\n"
    "  --dry-run          a trial: run the whole script in one transaction, each statement in\n"
    "                     a savepoint, and roll everything back; the failures a real run would\n"
    "                     log are shown (and reported), script.log is not written\n"
    "  --one-transaction  all or nothing: the same, committed at the end; a killed run leaves\n"
    "                     the database as it was\n"
    "  --report FILE      write a JSON report of the run to FILE, whatever way it ends\n"
    "  --exit-code        exit with 0 when every statement succeeded, 3 when one or more\n"
    "                     failed, 2 when the database could not be opened or closed, 1 for\n"
    "                     an error that stopped the run or a wrong number of arguments\n"
    "  --wait SECONDS     wait up to SECONDS (default 60) for a database another program\n"
    "                     locks, at each statement, before the statement fails\n"
    "  --check            check the database's structure first; a damaged one is not changed\n"
    "  --console          show dialogs and progress on the terminal even when a display is reachable\n"
    "  --help             show this text\n"
    "  --version          show the program's version\n";

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
        session.WriteReport();
        return session.ExitCode();
    } catch (const std::exception& error) {
        message = error.what();
    } catch (...) {
        message = "An error of unknown kind ended the run.";
    }
    session.Failed(message);
    CurrentFront().ShowFatalError(message);
    fpavANDMPrincipal.reset();
    session.WriteReport();
    return session.ExitCode();
}

// Numbers reach text through the format settings only; the C library's own conversions
// (printf, strtod) keep the C form, so that no part of the run writes "7,5" by accident.
void KeepNumbersOutOfCLocale() { std::setlocale(LC_NUMERIC, "C"); }

// The window-system front for the length of one run: the application object, the front's
// dialogs and progress window, and the engine's activity hook that keeps the animation moving.
// Qt sees only the program's name, so that no argument of the run is taken as a Qt option.
class WindowFront {
public:
    explicit WindowFront(char* programName) : arguments_{programName, nullptr}, application_(argc_, arguments_) {
        // Qt sets the C library's locale from the environment again.
        KeepNumbersOutOfCLocale();
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
    if (!commandLine.error.empty()) {
        std::fprintf(stderr, "PavanaScript: %s\nTry 'PavanaScript --help'.\n", commandLine.error.c_str());
        return EXIT_FAILURE;
    }
    std::setlocale(LC_ALL, "");
    KeepNumbersOutOfCLocale();
    FormatSettings::SetCurrent(FormatSettings::FromEnvironment());
    SetApplicationTitle("PavanaScript");
    std::unique_ptr<WindowFront> windowFront;
    if (!commandLine.console) {
        const DisplayProbe display;
        if (display.Reachable()) windowFront = std::make_unique<WindowFront>(argv[0]);
    }
    return Run(commandLine);
}
