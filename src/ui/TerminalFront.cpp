#include "TerminalFront.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "rtl/Encoding.h"
#include "ui/uvrxEvolucao.h"

namespace pavana {

// The shared output: serialises dialogs and the status line, and keeps the status line
// below whatever a dialog prints.
class TerminalFront::Console {
public:
    Console(std::FILE* out, bool animate) : out_(out), animate_(animate) {}
    ~Console() { HideStatus(); }

    void PrintBlock(const std::string& text) {
        std::lock_guard lock(mutex_);
        EraseStatusLine();
        std::fputs(text.c_str(), out_);
        DrawStatusLine();
        std::fflush(out_);
    }

    void ShowStatus(const std::string& line) {
        {
            std::lock_guard lock(mutex_);
            status_ = line;
            shown_ = true;
            if (animate_) {
                EraseStatusLine();
                DrawStatusLine();
            } else {
                std::fprintf(out_, "%s\n", status_.c_str());
            }
            std::fflush(out_);
        }
        if (animate_ && !spinner_.joinable()) spinner_ = std::jthread([this](std::stop_token stop) { Spin(stop); });
    }

    void ShowProgress(const std::string& progress) {
        std::lock_guard lock(mutex_);
        progress_ = progress;
    }
    bool Animated() const { return animate_; }

    void HideStatus() {
        if (spinner_.joinable()) {
            spinner_.request_stop();
            wake_.notify_all();
            spinner_.join();
        }
        std::lock_guard lock(mutex_);
        if (!shown_) return;
        EraseStatusLine();
        shown_ = false;
        std::fflush(out_);
    }

private:
    void Spin(std::stop_token stop) {
        std::unique_lock lock(mutex_);
        while (!stop.stop_requested()) {
            wake_.wait_for(lock, std::chrono::milliseconds(120));
            if (stop.stop_requested()) break;
            ++frame_;
            EraseStatusLine();
            DrawStatusLine();
            std::fflush(out_);
        }
    }

    void EraseStatusLine() {
        if (animate_ && shown_) std::fputs("\r\033[K", out_);
    }

    // One line, cut to the terminal's width: a wrapped line could not be redrawn in place.
    void DrawStatusLine() {
        static constexpr char kMarks[] = {'|', '/', '-', '\\'};
        if (!animate_ || !shown_) return;
        std::string line =
            std::string(1, kMarks[frame_ % 4]) + " " + (progress_.empty() ? "" : progress_ + " - ") + status_;
        winsize size{};
        if (ioctl(fileno(out_), TIOCGWINSZ, &size) == 0 && size.ws_col > 1)
            line = std::string(Utf8Prefix(line, static_cast<std::size_t>(size.ws_col) - 1));
        std::fputs(line.c_str(), out_);
    }

    std::FILE* out_;
    bool animate_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::string status_;
    std::string progress_;
    bool shown_ = false;
    unsigned frame_ = 0;
    std::jthread spinner_;
};

namespace {

// m:ss, or h:mm:ss from an hour on.
std::string Duration(double seconds) {
    const long total = static_cast<long>(seconds + 0.5);
    char text[32];
    if (total >= 3600) std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

std::string ForTerminal(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i] == '\r' ? '\n' : text[i];
    }
    return out;
}

class TerminalProgressWindow : public TfvrxEvolucao {
public:
    explicit TerminalProgressWindow(std::shared_ptr<TerminalFront::Console> console) : console_(std::move(console)) {}
    ~TerminalProgressWindow() override { CloseWindow(); }

protected:
    void CreateWindowFrame() override {}
    void ShowLabel(const std::string& text) override {
        label_ = text;
        Refresh();
    }
    void ShowStatus(const std::string& text) override {
        status_ = text;
        Refresh();
    }
    bool CreateAnimation(const std::string&) override { return false; }
    void CreateProgressBar(int maximum) override { maximum_ = maximum; }
    void ShowBarPosition(int position) override {
        position_ = position;
        Refresh();
    }
    void ShowWindow() override {
        visible_ = true;
        Refresh();
    }
    void CloseWindow() override {
        if (!visible_) return;
        visible_ = false;
        console_->HideStatus();
    }
    void ProcessMessages() override {}

private:
    void Refresh() {
        if (!visible_) return;
        std::string line = "Processando";
        if (!label_.empty()) line += ": " + label_;
        if (maximum_ > 0) line += " [" + std::to_string(position_) + "/" + std::to_string(maximum_) + "]";
        if (!status_.empty()) line += " " + status_;
        console_->ShowStatus(ForTerminal(line));
    }

    std::shared_ptr<TerminalFront::Console> console_;
    std::string label_;
    std::string status_;
    int maximum_ = 0;
    int position_ = 0;
    bool visible_ = false;
};

}  // namespace

TerminalFront::TerminalFront(std::FILE* out) : TerminalFront(out, isatty(fileno(out)) == 1) {}

TerminalFront::TerminalFront(std::FILE* out, bool animate) : console_(std::make_shared<Console>(out, animate)) {}

TerminalFront::~TerminalFront() = default;

MessageAnswer TerminalFront::ShowMessage(const MessageRequest& request) {
    std::string caption = request.kind == mkCustom ? ApplicationTitle() : std::string(MessageKindCaption(request.kind));
    std::string block = caption + ": " + ForTerminal(request.text) + "\n";
    if (!request.details.empty()) block += "Detalhes: " + ForTerminal(request.details) + "\n";
    console_->PrintBlock(block);
    int entry = DefaultButtonEntry(request.buttons);
    int result = entry < 0 ? kCancelResult : kMessageButtons[static_cast<std::size_t>(entry)].modalResult;
    return MessageAnswer{result, std::nullopt};
}

void TerminalFront::ShowFatalError(const std::string& message) {
    console_->PrintBlock(ApplicationTitle() + ": " + ForTerminal(message) + "\n");
}

void TerminalFront::ShowRunProgress(const RunProgress& p) {
    if (p.finished) {
        console_->ShowProgress("");
        console_->PrintBlock("Concluído: " + std::to_string(p.done) + " de " + std::to_string(p.total) + " comandos, " +
                             std::to_string(p.failed) + " com falha, em " + Duration(p.elapsedSeconds) + ".\n");
        return;
    }
    if (!console_->Animated()) return;
    std::string line = std::to_string(p.done) + "/" + std::to_string(p.total) + " comandos, " +
                       std::to_string(p.failed) + " falhas, " + Duration(p.elapsedSeconds);
    if (p.done > 0 && p.total > p.done) line += ", faltam ~" + Duration(p.elapsedSeconds / p.done * (p.total - p.done));
    console_->ShowProgress(line);
}

void TerminalFront::ShowText(const std::string& text) { console_->PrintBlock(ForTerminal(text)); }

std::unique_ptr<TfvrxEvolucao> TerminalFront::CreateProgressWindow() {
    return std::make_unique<TerminalProgressWindow>(console_);
}

}  // namespace pavana
