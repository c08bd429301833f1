// The front through which the run talks to its user: a window system or a terminal.
//
// The dialog and progress functions (`MessageDlgEx`, `MessageDlgDetails`, `ShowProgress`,
// `CloseProgress`, ...) keep one signature whatever the front; they hand the work to the
// front installed here, so the run sequence never knows which one is in use. The program
// installs its front once at start-up; tests install their own.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ui/MessageKinds.h"

namespace pavana {

class TfvrxEvolucao;

// What a message dialog is asked to show, after the don't-show-again store was consulted.
struct MessageRequest {
    std::string text;
    TMessageKind kind = mkWarning;
    TMessageButtons buttons = 0;
    int helpContext = 0;
    int left = -1;
    int top = -1;
    std::string details;
    bool showAgainBox = false;
    std::string helpFile;
    bool detailsOpen = false;
};

struct MessageAnswer {
    int modalResult = 2;
    // The state of the don't-show-again box when the dialog closed; none when the front has no
    // box a person could tick (then nothing is written to the store).
    std::optional<bool> notAgainTicked;
};

// How far an update run has come, for fronts that show it.
struct RunProgress {
    int done = 0;
    int total = 0;
    int failed = 0;
    double elapsedSeconds = 0;
    bool finished = false;
};

class UserFront {
public:
    virtual ~UserFront() = default;

    // Shows the dialog modally and answers with the pressed button's result.
    virtual MessageAnswer ShowMessage(const MessageRequest& request) = 0;

    // Creates a progress window of this front, not yet built or shown.
    virtual std::unique_ptr<TfvrxEvolucao> CreateProgressWindow() = 0;

    // Processes pending window-system events (nothing for a terminal).
    virtual void ProcessMessages() {}

    // Whether the front has windows that stay alive only while its thread tends them; long
    // work then runs on another thread (app/BesideFront.h).
    virtual bool HasWindows() const { return false; }
    // Tends the windows while the front's thread waits for such work: paints what is due,
    // moves the animation, and processes window-system events other than a person's input.
    virtual void KeepWindowsAlive() {}

    // The last-chance report of an error that escaped the run, just before the process ends
    // with exit code 1.
    virtual void ShowFatalError(const std::string& message) = 0;

    // The run's progress, after each statement (at most every 100 ms) and once finished.
    virtual void ShowRunProgress(const RunProgress& /*progress*/) {}
    // Text for the person running the program outside any dialog (a trial run's entries, the
    // message that the database must be kept with its log); standard error by default.
    virtual void ShowText(const std::string& text);
};

// The installed front; the terminal front until another is installed.
UserFront& CurrentFront();
void InstallFront(std::unique_ptr<UserFront> front);

// The application's title: kind 4 dialogs use it as their caption.
const std::string& ApplicationTitle();
void SetApplicationTitle(std::string title);

}  // namespace pavana
