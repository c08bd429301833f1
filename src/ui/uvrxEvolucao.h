// The progress window: a stay-on-top "Processando" window with a line of text, either a
// looping animation clip or a progress bar, and a status line.
//
// `TfvrxEvolucao` holds the window's state and the order of its steps; the installed front
// (UserFront.h) supplies the concrete window by deriving from it and drawing what the
// protected hooks are told. Every operation that changes what the window shows lets the front
// process its pending events, so the change is on screen at once; nothing else does.
//
// Ownership: the caller's variable (a `std::unique_ptr<TfvrxEvolucao>`) owns the window
// object. A window closed by reaching its progress maximum closes its on-screen window at
// once and keeps only the finished mark, so `CloseProgress` on the variable merely empties it.
#pragma once

#include <array>
#include <memory>
#include <string>

namespace pavana {

class TfvrxEvolucao {
public:
    TfvrxEvolucao() = default;
    TfvrxEvolucao(const TfvrxEvolucao&) = delete;
    TfvrxEvolucao& operator=(const TfvrxEvolucao&) = delete;
    virtual ~TfvrxEvolucao() = default;

    // Each does nothing once the window has closed itself.
    void SetProgressText(const std::string& text);
    void SetProgressStatus(const std::string& text);
    // Moves the bar; at or past the maximum the window closes itself. Ignored on a window
    // shown without a progress bar.
    void SetProgressPosition(int position);

    bool Finished() const { return finished_; }
    int Maximum() const { return maximum_; }

    // Builds and shows the window (the steps of `ShowProgress`); errors propagate.
    void Build(const std::string& labelText, const std::string& statusText, int maximum, const std::string& clipPath);
    // Restores the previously active window and closes the on-screen window.
    void Close() { CloseWindow(); }

protected:
    virtual void CreateWindowFrame() = 0;
    virtual void ShowLabel(const std::string& text) = 0;
    virtual void ShowStatus(const std::string& text) = 0;
    // Sets up the animation for a clip; answers whether it is shown (the file exists and is a
    // clip the front can play).
    virtual bool CreateAnimation(const std::string& clipPath) = 0;
    virtual void CreateProgressBar(int maximum) = 0;
    virtual void ShowBarPosition(int position) = 0;
    virtual void ShowWindow() = 0;
    virtual void CloseWindow() = 0;
    virtual void ProcessMessages() = 0;

private:
    int maximum_ = 0;
    bool hasBar_ = false;
    bool finished_ = false;
};

// Folder of the clips, ending in "/"; the program's own folder until set.
const std::string& AnimationFolder();
// Stores the folder, with a "/" appended when it does not end in one (an empty folder
// stays empty: clips are then looked up in the working directory).
void SetAnimationFolder(const std::string& folder);
// Stores the file name part of `file` (what follows its last "/") in slot 0 to 9.
void SetAnimationClip(int index, const std::string& file);
// The animation folder followed by the name in the slot.
std::string AnimationClipPath(int index);

// Creates the front's window into `variable`, builds and shows it. Answers the window, or
// none when building or showing failed (the half-built window then stays in `variable`).
TfvrxEvolucao* ShowProgress(std::unique_ptr<TfvrxEvolucao>& variable, const std::string& labelText,
                            const std::string& statusText, int maximum, int clipIndex);
// Closes and releases the window in `variable` (only empties it when the window closed
// itself). Errors while closing are swallowed.
void CloseProgress(std::unique_ptr<TfvrxEvolucao>& variable);

// The window that the update run shows.
extern std::unique_ptr<TfvrxEvolucao> fvrxEvolucao;

}  // namespace pavana
