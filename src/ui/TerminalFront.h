// The terminal front: dialogs and the progress window on standard error, for runs with no
// display or with --console.
//
// A dialog prints its caption, its text and its details and answers with the result of its
// default button (OK, else Yes, else Retry; 2 when there is none), as an unattended person
// would; it never writes to the don't-show-again store, since nobody could tick the box. The
// progress window is one status line; on a terminal it is redrawn with a turning mark by a
// background thread (the run does not pause for it), elsewhere it is printed once. A run's
// progress (statements done of all, failures, time spent and an estimate of the time left)
// joins the line on a terminal; elsewhere only its summary is printed, at the end.
#pragma once

#include <cstdio>
#include <memory>

#include "ui/UserFront.h"

namespace pavana {

class TerminalFront : public UserFront {
public:
    // Writes to `out` (standard error by default); `animate` turns the status line's mark.
    explicit TerminalFront(std::FILE* out = stderr);
    TerminalFront(std::FILE* out, bool animate);
    ~TerminalFront() override;

    MessageAnswer ShowMessage(const MessageRequest& request) override;
    std::unique_ptr<TfvrxEvolucao> CreateProgressWindow() override;
    void ShowFatalError(const std::string& message) override;
    void ShowRunProgress(const RunProgress& progress) override;
    void ShowText(const std::string& text) override;

    class Console;

private:
    std::shared_ptr<Console> console_;
};

}  // namespace pavana
