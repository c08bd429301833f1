#include "TerminalFront.h"

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

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

    void DrawStatusLine() {
        static constexpr char kMarks[] = {'|', '/', '-', '\\'};
        if (animate_ && shown_) std::fprintf(out_, "%c %s", kMarks[frame_ % 4], status_.c_str());
    }

    std::FILE* out_;
    bool animate_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::string status_;
    bool shown_ = false;
    unsigned frame_ = 0;
    std::jthread spinner_;
};

namespace {

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
    explicit TerminalProgressWindow(std::shared_ptr<TerminalFront::Console> console)
        : console_(std::move(console)) {}
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

TerminalFront::TerminalFront(std::FILE* out, bool animate)
    : console_(std::make_shared<Console>(out, animate)) {}

TerminalFront::~TerminalFront() = default;

MessageAnswer TerminalFront::ShowMessage(const MessageRequest& request) {
    std::string caption = request.kind == mkCustom ? ApplicationTitle()
                                                   : std::string(MessageKindCaption(request.kind));
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

std::unique_ptr<TfvrxEvolucao> TerminalFront::CreateProgressWindow() {
    return std::make_unique<TerminalProgressWindow>(console_);
}

}  // namespace pavana
