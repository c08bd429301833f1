#include "uMarvoDialogs.h"

#include "ui/DialogStore.h"
#include "ui/UserFront.h"

namespace pavana {

int MessageDlgEx(const std::string& text, TMessageKind kind, TMessageButtons buttons, int helpContext) {
    return MessageDlgEx(text, kind, buttons, helpContext, -1, -1, {}, false, {}, false);
}

int MessageDlgEx(const std::string& text, TMessageKind kind, TMessageButtons buttons, int helpContext,
                 const std::string& details, bool showAgainBox) {
    return MessageDlgEx(text, kind, buttons, helpContext, -1, -1, details, showAgainBox, {}, false);
}

int MessageDlgEx(const std::string& text, TMessageKind kind, TMessageButtons buttons, int helpContext, int left,
                 int top, const std::string& details, bool showAgainBox) {
    return MessageDlgEx(text, kind, buttons, helpContext, left, top, details, showAgainBox, {}, false);
}

int MessageDlgEx(const std::string& text, TMessageKind kind, TMessageButtons buttons, int helpContext, int left,
                 int top, const std::string& details, bool showAgainBox, const std::string& helpFile,
                 bool detailsOpen) {
    if (showAgainBox && !DSAIdentsGetState({}, text)) return kCancelResult;
    MessageAnswer answer = CurrentFront().ShowMessage(
        MessageRequest{text, kind, buttons, helpContext, left, top, details, showAgainBox, helpFile, detailsOpen});
    if (showAgainBox && answer.notAgainTicked) DSAIdentsSetState({}, text, !*answer.notAgainTicked);
    return answer.modalResult;
}

void MessageDlgDetails(const std::string& text, const std::string& details, bool showAgainBox) {
    MessageDlgDetails(text, -1, -1, details, showAgainBox);
}

void MessageDlgDetails(const std::string& text, int left, int top, const std::string& details, bool showAgainBox) {
    MessageDlgEx(text, mkMensagem, kButtonOK, 0, left, top, details, showAgainBox);
}

}  // namespace pavana
