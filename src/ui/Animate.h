// TAnimate: a control that plays a silent AVI clip centred in its rectangle, endlessly.
//
// The clip is read by `TAviClip` (AviReader.h) when the file name is set; every frame is
// checked then, so a clip that opens also plays. Pixels of the clip's key colour (the first
// frame's top-left pixel) are left unpainted, so the parent shows through them. Each frame
// stays on screen for the interval of the clip's header.
//
// Playback and the one GUI thread. Qt paints only on the GUI thread, so a playback thread
// drawing by itself is not an option for a widget. The program runs its script on a thread
// beside the GUI thread, which meanwhile processes window events (but input) and so keeps the
// animation moving; the statements it runs on the GUI thread itself (connecting, checking,
// closing) process no window events between or during them. Playback therefore has two
// drivers, both on the GUI thread:
//   - a QTimer, which advances frames whenever an event loop runs (modal dialogs, event
//     processing of the progress window's operations, the wait for the script's thread);
//   - `AdvanceIfDue` / `AdvanceAllDue`, which paint the next frame at once (a synchronous
//     repaint, flushed to the window system) only when its time has come. The program hands
//     `AdvanceAllDue` to the database engine as its activity handler, which the engine calls
//     at each statement and every few thousand steps of a running statement. Only the
//     animation is painted there: no other queued event runs, so nothing else of the user
//     interface can happen in the middle of a statement.
// A check of the clock is all a call costs when no frame is due.
//
// The control owns its clip. Failures: `SetFileName` raises what the reader raises
// (`EFOpenError`, `EAviError`) and then holds no file name and no clip.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <memory>
#include <string>

namespace pavana {

class TAviClip;

class TAnimate : public QWidget {
    Q_OBJECT

public:
    explicit TAnimate(QWidget* parent = nullptr);
    ~TAnimate() override;
    TAnimate(const TAnimate&) = delete;
    TAnimate& operator=(const TAnimate&) = delete;

    // Opens the clip and shows its first frame; an empty name closes the clip. Playing stops.
    void SetFileName(const std::string& path);
    const std::string& FileName() const { return fileName_; }

    // Starts or stops playing; playing needs an open clip.
    void SetActive(bool active);
    bool Active() const { return active_; }

    int FrameCount() const;
    // Index of the frame on screen; -1 with no clip.
    int CurrentFrame() const;
    // Width and height of the clip; 0 x 0 with no clip.
    QSize ClipSize() const;

    // Paints the next frame now when this control plays and the frame is due; answers whether
    // it did.
    bool AdvanceIfDue();
    // `AdvanceIfDue` on every control. GUI thread only.
    static void AdvanceAllDue();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    using Clock = std::chrono::steady_clock;

    std::unique_ptr<TAviClip> clip_;
    std::string fileName_;
    bool active_ = false;
    Clock::time_point due_;
    Clock::duration interval_{};
    QTimer timer_;
    // Every control, for AdvanceAllDue.
    static TAnimate* first_;
    TAnimate* previous_ = nullptr;
    TAnimate* next_ = nullptr;
};

}  // namespace pavana
