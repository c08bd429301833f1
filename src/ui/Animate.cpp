#include "ui/Animate.h"

#include <QPainter>
#include <algorithm>

#include "ui/AviReader.h"

namespace pavana {

// The controls form a list through their own members, with its head in a plain pointer: the
// list needs no destruction at exit, so a control destroyed among the static objects still
// finds it intact. Widgets live on the GUI thread only, so the list needs no lock.
TAnimate* TAnimate::first_ = nullptr;

TAnimate::TAnimate(QWidget* parent) : QWidget(parent) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { AdvanceIfDue(); });
    next_ = first_;
    if (next_) next_->previous_ = this;
    first_ = this;
}

TAnimate::~TAnimate() {
    (previous_ ? previous_->next_ : first_) = next_;
    if (next_) next_->previous_ = previous_;
}

void TAnimate::SetFileName(const std::string& path) {
    SetActive(false);
    clip_.reset();
    fileName_.clear();
    if (!path.empty()) {
        auto clip = std::make_unique<TAviClip>(TAviClip::LoadFromFile(path));
        clip->SetTransparent(true);
        clip->DecodeNext();
        interval_ = std::chrono::microseconds(clip->FrameIntervalMicroseconds());
        clip_ = std::move(clip);
        fileName_ = path;
    }
    update();
}

void TAnimate::SetActive(bool active) {
    active_ = active && clip_ && clip_->FrameCount() > 1;
    if (active_) {
        due_ = Clock::now() + interval_;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(interval_).count();
        timer_.start(int(std::max<long long>(1, ms)));
    } else {
        timer_.stop();
    }
}

int TAnimate::FrameCount() const { return clip_ ? clip_->FrameCount() : 0; }

int TAnimate::CurrentFrame() const { return clip_ ? clip_->CurrentFrame() : -1; }

QSize TAnimate::ClipSize() const { return clip_ ? QSize(clip_->Width(), clip_->Height()) : QSize(); }

bool TAnimate::AdvanceIfDue() {
    if (!active_) return false;
    const auto now = Clock::now();
    if (now < due_) return false;
    clip_->DecodeNext();
    // A late frame does not make the following ones hurry to catch up.
    due_ += interval_;
    if (due_ <= now) due_ = now + interval_;
    if (isVisible()) repaint();
    return true;
}

void TAnimate::AdvanceAllDue() {
    for (TAnimate* control = first_; control; control = control->next_) control->AdvanceIfDue();
}

void TAnimate::paintEvent(QPaintEvent*) {
    if (!clip_) return;
    const auto pixels = clip_->Pixels();
    const QImage frame(reinterpret_cast<const uchar*>(pixels.data()), clip_->Width(), clip_->Height(),
                       clip_->Width() * 4, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(this);
    painter.drawImage((width() - frame.width()) / 2, (height() - frame.height()) / 2, frame);
}

}  // namespace pavana
