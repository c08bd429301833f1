// The progress window on the window system: the "Processando" window of `TfvrxEvolucao`
// drawn with Qt widgets.
//
// A frameless-of-icons, fixed-size, stay-on-top top-level window of 290 x 95 client pixels in
// the button-face colour, "Arial" 8 points, holding the label (objectName "Label"), either the
// animation ("Animacao", a TAnimate) or the progress bar ("Barra"), and the status bar
// ("Status"). The window that was active when this one was created is brought back to the
// front when it closes.
//
// The object owns its top-level widget, which holds every control; closing the window (by
// `CloseProgress` or by reaching the maximum) destroys the widget at once, and the object keeps
// only its finished mark. Event processing is `QCoreApplication::processEvents`, plus a due
// frame of every animation (see Animate.h). Needs a QApplication.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "ui/uvrxEvolucao.h"

class QLabel;
class QProgressBar;
class QStatusBar;

namespace pavana {

class TAnimate;

class QtProgressWindow : public TfvrxEvolucao {
public:
    QtProgressWindow();
    ~QtProgressWindow() override;

    // The top-level widget; null once the window has closed.
    QWidget* Window() const { return window_.get(); }
    // The animation control; null when the window has none (shown with a maximum, or closed).
    TAnimate* Animation() const { return animation_; }

protected:
    void CreateWindowFrame() override;
    void ShowLabel(const std::string& text) override;
    void ShowStatus(const std::string& text) override;
    bool CreateAnimation(const std::string& clipPath) override;
    void CreateProgressBar(int maximum) override;
    void ShowBarPosition(int position) override;
    void ShowWindow() override;
    void CloseWindow() override;
    void ProcessMessages() override;

private:
    void CreateStatusBar();

    std::unique_ptr<QWidget> window_;
    // Children of window_, owned through the widget tree.
    QLabel* label_ = nullptr;
    TAnimate* animation_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QStatusBar* status_ = nullptr;
    QPointer<QWidget> previousActive_;
};

// "Arial" at 8 points, as a pixel height for the screen's resolution (11 pixels at 96 dpi).
QFont Arial8();

}  // namespace pavana
