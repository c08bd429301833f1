// TFormMensagem: the window of the program's message dialogs, and the builder that lays it out.
//
// `CreateMessageForm` sizes the dialog to its text from the average character size of its
// font ("Arial" 8 points over the system message font): margins, spacings and the button size
// follow from that size, the text wraps at half the screen width, the icon of the kind stands
// at the left, and the buttons (rounded push buttons, TvrxButton) end flush with the right
// edge of the button panel. Its children carry fixed object names, by which the handlers and
// tests find them:
//   "Image" (QLabel with the icon; not for kind 4), "Message" (QLabel with the text),
//   "memoDetalhes" (read-only QPlainTextEdit; only with a details text),
//   "chkNaoMostrardeNovo" (QCheckBox; only with the show-again box), "PainelBotoes" (QFrame
//   docked at the bottom), the buttons named as `kMessageButtons` inside the panel, and
//   "Detalhes" (the details toggle; only with a details text).
// A button's click ends the modal loop with its modal result; Help asks the help handler for
// the form's help context and leaves the dialog open; "Detalhes" grows the client area by 100
// pixels to uncover the details and shrinks it again. Closing the window gives 2. The dialog
// stays on top, so that it opens over the stay-on-top progress window rather than under it.
//
// Button caption widths are measured once per process and kept; the collapsed and expanded
// heights are those of the most recently built dialog. Both are process-wide and belong to
// the GUI thread (one dialog is built at a time). The caller owns the form.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "ui/MessageKinds.h"

class QFrame;

namespace pavana {

class TvrxButton;

class TFormMensagem : public QDialog {
    Q_OBJECT

public:
    // The form's font starts as the system's message font.
    explicit TFormMensagem(QWidget* parent = nullptr);
    ~TFormMensagem() override;

    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int context) { helpContext_ = context; }
    const std::string& HelpFile() const { return helpFile_; }
    void SetHelpFile(std::string file) { helpFile_ = std::move(file); }
    // Receives the Help button's request: the form's help file and help context.
    using HelpHandler = std::function<void(const std::string& helpFile, int helpContext)>;
    void SetHelpHandler(HelpHandler handler) { helpHandler_ = std::move(handler); }

    // Client size of the window; the window is fixed at that size.
    void SetClientSize(int width, int height);

    // Closing the window is the cancel result.
    void reject() override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    friend std::unique_ptr<TFormMensagem> CreateMessageForm(const std::string&, TMessageKind, TMessageButtons,
                                                            const std::string&, bool, bool);
    void ResultClick(QObject* sender);
    void HelpClick();
    void DetailsClick(QObject* sender);
    void LayOutPanel();

    int helpContext_ = 0;
    std::string helpFile_;
    HelpHandler helpHandler_;
    // Children owned through the widget tree.
    QFrame* panel_ = nullptr;
    TvrxButton* fillButton_ = nullptr;     // the single regular button, docked to fill the panel
    TvrxButton* detailsButton_ = nullptr;  // docked at the panel's left
};

// Builds the dialog for `text` (its CR LF line breaks and tabs included), with the caption
// and icon of `kind`, the buttons of `buttons`, the details area when `details` is not empty
// (open from the start with `detailsOpen`) and the show-again box with `showAgainBox`. The
// form is placed with its outer rectangle (frame included) centred on the screen.
std::unique_ptr<TFormMensagem> CreateMessageForm(const std::string& text, TMessageKind kind, TMessageButtons buttons,
                                                 const std::string& details, bool showAgainBox, bool detailsOpen);

// Client heights of the most recently built dialog with its details hidden and shown.
int MessageFormCollapsedHeight();
int MessageFormExpandedHeight();

}  // namespace pavana
