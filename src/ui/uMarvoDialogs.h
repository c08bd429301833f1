// The program's own modal message dialogs.
//
// A dialog shows a text under the caption and icon of its kind, one button per bit of the
// button set, optionally a "Detalhes" button that uncovers a details text, and optionally the
// check box "&Não mostrar esta mensagem outra vez.", whose state is kept per message text in
// the don't-show-again store (DialogStore.h). The result is the modal result of the pressed
// button; 2 when the window is closed by its close box or the store suppresses the message.
// The dialog is shown by the installed front (UserFront.h). Errors of the store's name
// checks reach the caller.
#pragma once

#include <string>

#include "ui/MessageKinds.h"

namespace pavana {

int MessageDlgEx(const std::string& text, TMessageKind kind, TMessageButtons buttons, int helpContext);
int MessageDlgEx(const std::string& text, TMessageKind kind, TMessageButtons buttons, int helpContext,
                 const std::string& details, bool showAgainBox);
int MessageDlgEx(const std::string& text, TMessageKind kind, TMessageButtons buttons, int helpContext, int left,
                 int top, const std::string& details, bool showAgainBox);
// `left` and `top` place the window's outer corner; a negative value leaves that coordinate
// to the dialog (both negative: centred on the screen).
int MessageDlgEx(const std::string& text, TMessageKind kind, TMessageButtons buttons, int helpContext, int left,
                 int top, const std::string& details, bool showAgainBox, const std::string& helpFile, bool detailsOpen);

// A "Mensagem" dialog with the OK button alone and help context 0.
void MessageDlgDetails(const std::string& text, const std::string& details, bool showAgainBox);
void MessageDlgDetails(const std::string& text, int left, int top, const std::string& details, bool showAgainBox);

}  // namespace pavana
