#include "ui/QtFront.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QThread>
#include <QUrl>

#include <cstdlib>
#include <cstring>
#include <string>

#include "ui/Animate.h"
#include "ui/QtProgressWindow.h"
#include "ui/WindowPlacement.h"

namespace pavana {

namespace {

void OpenHelpFile(const std::string& helpFile, int helpContext) {
    if (helpFile.empty()) return;
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(helpFile));
    if (helpContext != 0) url.setFragment(QString::number(helpContext));
    QDesktopServices::openUrl(url);
}

bool WaylandReachable() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (!name || !*name) return false;
    std::string path = name;
    if (path.front() != '/') {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (!runtime || !*runtime) return false;
        path = std::string(runtime) + "/" + path;
    }
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

}  // namespace

DisplayProbe::DisplayProbe() {
    if (WaylandReachable()) {
        reachable_ = true;
        return;
    }
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return;
    x11_ = xcb_connect(name, nullptr);
    reachable_ = xcb_connection_has_error(x11_) == 0;
}

DisplayProbe::~DisplayProbe() {
    if (x11_ != nullptr) xcb_disconnect(x11_);
}

bool QtFront::DisplayReachable() { return DisplayProbe().Reachable(); }

QtFront::QtFront() : helpHandler_(OpenHelpFile) {}

QtFront::~QtFront() = default;

MessageAnswer QtFront::ShowMessage(const MessageRequest& request) {
    std::unique_ptr<TFormMensagem> form = CreateMessageForm(request.text, request.kind, request.buttons,
                                                            request.details, request.showAgainBox, request.detailsOpen);
    form->SetHelpContext(request.helpContext);
    form->SetHelpFile(request.helpFile);
    form->SetHelpHandler(helpHandler_);
    if (request.left >= 0 || request.top >= 0) {
        QPoint outer = OuterTopLeft(*form);
        if (request.left >= 0) outer.setX(request.left);
        if (request.top >= 0) outer.setY(request.top);
        MoveOuterTo(*form, outer);
    }

    MessageAnswer answer;
    answer.modalResult = form->exec();
    if (request.showAgainBox) {
        if (const auto* box = form->findChild<QCheckBox*>(QStringLiteral("chkNaoMostrardeNovo")))
            answer.notAgainTicked = box->isChecked();
    }
    return answer;
}

std::unique_ptr<TfvrxEvolucao> QtFront::CreateProgressWindow() { return std::make_unique<QtProgressWindow>(); }

void QtFront::ProcessMessages() {
    QCoreApplication::processEvents();
    TAnimate::AdvanceAllDue();
}

void QtFront::KeepWindowsAlive() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    TAnimate::AdvanceAllDue();
}

void QtFront::ShowFatalError(const std::string& message) {
    std::unique_ptr<TFormMensagem> form = CreateMessageForm(message, mkError, kButtonOK, {}, false, false);
    form->setWindowTitle(QString::fromStdString(ApplicationTitle()));
    form->exec();
}

std::function<void()> QtFront::ActivityHandler() const {
    return [] {
        const QCoreApplication* app = QCoreApplication::instance();
        if (app && QThread::currentThread() == app->thread()) TAnimate::AdvanceAllDue();
    };
}

}  // namespace pavana
