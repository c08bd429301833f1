#include "ui/QtFront.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QThread>
#include <QUrl>

#include "ui/Animate.h"
#include "ui/QtProgressWindow.h"

namespace pavana {

namespace {

void OpenHelpFile(const std::string& helpFile, int helpContext) {
    if (helpFile.empty()) return;
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(helpFile));
    if (helpContext != 0) url.setFragment(QString::number(helpContext));
    QDesktopServices::openUrl(url);
}

}  // namespace

QtFront::QtFront() : helpHandler_(OpenHelpFile) {}

QtFront::~QtFront() = default;

MessageAnswer QtFront::ShowMessage(const MessageRequest& request) {
    std::unique_ptr<TFormMensagem> form = CreateMessageForm(request.text, request.kind, request.buttons,
                                                            request.details, request.showAgainBox,
                                                            request.detailsOpen);
    form->SetHelpContext(request.helpContext);
    form->SetHelpFile(request.helpFile);
    form->SetHelpHandler(helpHandler_);
    if (request.left >= 0) form->move(request.left, form->y());
    if (request.top >= 0) form->move(form->x(), request.top);

    MessageAnswer answer;
    answer.modalResult = form->exec();
    if (request.showAgainBox) {
        if (const auto* box = form->findChild<QCheckBox*>(QStringLiteral("chkNaoMostrardeNovo")))
            answer.notAgainTicked = box->isChecked();
    }
    return answer;
}

std::unique_ptr<TfvrxEvolucao> QtFront::CreateProgressWindow() {
    return std::make_unique<QtProgressWindow>();
}

void QtFront::ProcessMessages() {
    QCoreApplication::processEvents();
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
