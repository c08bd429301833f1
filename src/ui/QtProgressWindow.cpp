#include "ui/QtProgressWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <filesystem>

#include "ui/Animate.h"
#include "ui/Colors.h"
#include "ui/WindowPlacement.h"

namespace pavana {

namespace {

constexpr int kClientWidth = 290;
constexpr int kClientHeight = 95;

QColor ToQColor(TColor color) {
    const TColor rgb = ColorToRGB(color);
    return QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF));
}

// How long showing waits for the window system to expose a new window.
constexpr qint64 kExposeWaitMs = 1000;

// The run's first statement may hold the thread for a long time, and only the animation is
// painted while it runs: a window exposed after it started would stay black. So showing waits,
// briefly, until the window is exposed, and paints it whole.
void PaintOnceExposed(QWidget& window) {
    QWindow* handle = window.windowHandle();
    if (!handle) return;
    QElapsedTimer clock;
    clock.start();
    QTimer wake;  // ends each wait below even when no window event comes
    wake.start(20);
    while (!handle->isExposed() && clock.elapsed() < kExposeWaitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    window.repaint();
    QCoreApplication::processEvents();
}

}  // namespace

QFont Arial8() {
    QFont font(QStringLiteral("Arial"));
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    font.setPixelSize(std::max(1, int(8 * dpi / 72 + 0.5)));
    return font;
}

QtProgressWindow::QtProgressWindow() : previousActive_(QApplication::activeWindow()) {}

QtProgressWindow::~QtProgressWindow() = default;

void QtProgressWindow::CreateWindowFrame() {
    window_ = std::make_unique<QWidget>(
        nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    window_->setObjectName(QStringLiteral("fvrxEvolucao"));
    window_->setWindowTitle(QStringLiteral("Processando"));
    window_->setFixedSize(kClientWidth, kClientHeight);
    QPalette palette = window_->palette();
    palette.setColor(QPalette::Window, ToQColor(clBtnFace));
    palette.setColor(QPalette::WindowText, ToQColor(clWindowText));
    window_->setPalette(palette);
    window_->setAutoFillBackground(true);
    window_->setFont(Arial8());

    label_ = new QLabel(window_.get());
    label_->setObjectName(QStringLiteral("Label"));
    label_->setGeometry(2, 4, 286, 16);
    label_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label_->setTextFormat(Qt::PlainText);
}

void QtProgressWindow::ShowLabel(const std::string& text) { label_->setText(QString::fromStdString(text)); }

void QtProgressWindow::CreateStatusBar() {
    status_ = new QStatusBar(window_.get());
    status_->setObjectName(QStringLiteral("Status"));
    status_->setGeometry(0, 74, 290, 19);
    status_->setSizeGripEnabled(false);
}

void QtProgressWindow::ShowStatus(const std::string& text) {
    if (!status_) CreateStatusBar();
    status_->showMessage(QString::fromStdString(text));
}

bool QtProgressWindow::CreateAnimation(const std::string& clipPath) {
    animation_ = new TAnimate(window_.get());
    animation_->setObjectName(QStringLiteral("Animacao"));
    animation_->setGeometry(0, 20, 289, 52);
    try {
        animation_->SetFileName(clipPath);
    } catch (...) {
        // Whatever fails while opening the clip leaves the control without a file name.
    }
    const std::string& file = animation_->FileName();
    std::error_code error;
    const bool shown = !file.empty() && std::filesystem::is_regular_file(file, error);
    animation_->setVisible(shown);
    animation_->SetActive(shown);
    return shown;
}

void QtProgressWindow::CreateProgressBar(int maximum) {
    bar_ = new QProgressBar(window_.get());
    bar_->setObjectName(QStringLiteral("Barra"));
    bar_->setGeometry(5, 36, 279, 16);
    bar_->setRange(0, maximum);
    bar_->setTextVisible(false);
}

void QtProgressWindow::ShowBarPosition(int position) { bar_->setValue(position); }

void QtProgressWindow::ShowWindow() {
    CentreOnScreen(*window_);
    window_->show();
    PaintOnceExposed(*window_);
}

void QtProgressWindow::CloseWindow() {
    if (!window_) return;
    if (previousActive_ && previousActive_->isVisible()) {
        previousActive_->raise();
        previousActive_->activateWindow();
    }
    animation_ = nullptr;
    bar_ = nullptr;
    label_ = nullptr;
    status_ = nullptr;
    window_.reset();
}

void QtProgressWindow::ProcessMessages() {
    QCoreApplication::processEvents();
    TAnimate::AdvanceAllDue();
}

}  // namespace pavana
