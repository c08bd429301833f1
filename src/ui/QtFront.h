// The window-system front: the program's message dialogs and progress window as Qt windows.
//
// The program's entry creates the QApplication (and sets its title with
// `SetApplicationTitle`), then installs this front:
//
//     QApplication app(argc, argv);
//     auto front = std::make_unique<QtFront>();
//     engine::SetActivityHandler(front->ActivityHandler());
//     InstallFront(std::move(front));
//
// The front needs the QApplication for its whole life and must be used on the application's
// thread. It does not own the application object. Creating a QApplication with no display to
// connect to ends the process, so the entry holds a `DisplayProbe` while it creates the
// application and takes the terminal front when the probe found no display.
//
// The activity handler is for the database engine, which calls it on the run's thread at each
// statement and often while a statement runs: it paints a due frame of the progress window's
// animation and nothing else (see Animate.h), so the animation moves during long statements
// while no other window event is processed in the middle of the run. Work that runs on another
// thread meanwhile (HasWindows) leaves the application's thread to KeepWindowsAlive.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ui/MessageForm.h"
#include "ui/UserFront.h"

struct xcb_connection_t;

namespace pavana {

// Asks whether a window system answers: the Wayland socket named by WAYLAND_DISPLAY accepts a
// connection, or the X server named by DISPLAY does. Needs no QApplication. The X connection
// stays open for the probe's life: an X server whose last client leaves resets, and one
// started just for this program (xvfb-run's) would refuse the QApplication that connects
// right after the probe. Hold the probe until the QApplication exists.
class DisplayProbe {
public:
    DisplayProbe();
    ~DisplayProbe();
    DisplayProbe(const DisplayProbe&) = delete;
    DisplayProbe& operator=(const DisplayProbe&) = delete;

    bool Reachable() const { return reachable_; }

private:
    bool reachable_ = false;
    xcb_connection_t* x11_ = nullptr;  // open while the probe lives
};

class QtFront : public UserFront {
public:
    QtFront();
    ~QtFront() override;

    // Whether a window system answers (see DisplayProbe), asked and let go at once.
    static bool DisplayReachable();

    // Builds the dialog (CreateMessageForm), places it, runs it modally and answers its modal
    // result and, when the show-again box was shown, whether it was ticked.
    MessageAnswer ShowMessage(const MessageRequest& request) override;
    // A QtProgressWindow.
    std::unique_ptr<TfvrxEvolucao> CreateProgressWindow() override;
    // Processes the pending window events, then paints a due animation frame.
    void ProcessMessages() override;
    bool HasWindows() const override { return true; }
    // Processes the pending window events but input, then paints a due animation frame.
    void KeepWindowsAlive() override;
    // An error dialog captioned with the application's title, with the message and OK.
    void ShowFatalError(const std::string& message) override;

    // The handler to give the engine; safe to call from any thread (it does nothing off the
    // application's thread).
    std::function<void()> ActivityHandler() const;

    // Receives the Help button's request (help file, help context). By default a non-empty
    // help file is opened with the desktop's viewer, the context as the fragment of its
    // address when it is not 0; without a help file nothing happens.
    void SetHelpHandler(TFormMensagem::HelpHandler handler) { helpHandler_ = std::move(handler); }

private:
    TFormMensagem::HelpHandler helpHandler_;
};

}  // namespace pavana
