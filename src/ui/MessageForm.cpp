#include "ui/MessageForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScreen>
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "ui/Canvas.h"
#include "ui/QtProgressWindow.h"
#include "ui/Resources.h"
#include "ui/UserFront.h"
#include "ui/WindowPlacement.h"
#include "ui/uvrxButton.h"

namespace pavana {

namespace {

constexpr int kDetailsEntry = 11;
constexpr int kHelpEntry = 10;
constexpr int kDetailsGrowth = 100;
constexpr int kShowAgainMinimum = 220;
constexpr const char* kShowAgainCaption = "&Não mostrar esta mensagem outra vez.";

// Widths of the button captions, measured once per process.
std::array<int, kMessageButtons.size()> buttonWidths{};
int collapsedHeight = 0;
int expandedHeight = 0;

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c) {
    const std::int64_t product = std::int64_t(a) * b;
    const std::int64_t half = std::abs(c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t magnitude = (std::abs(product) + half) / std::abs(c);
    return int(negative ? -magnitude : magnitude);
}

// Line breaks as the text layout takes them: CR LF, a lone CR and a lone LF each end a line.
QString LayoutText(const std::string& text) {
    QString s = QString::fromUtf8(text.data(), qsizetype(text.size()));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

std::string LayoutTextUtf8(const std::string& text) { return LayoutText(text).toStdString(); }

// Measures or draws text with the form's font through the canvas, as the dialog's layout
// relies on.
TRect MeasureText(const QFont& font, const std::string& text, TRect r, unsigned flags) {
    QImage probe(1, 1, QImage::Format_RGB32);
    TCanvas canvas(probe);
    canvas.Font.Font = font;
    canvas.DrawText(text, r, flags | DT_CALCRECT);
    return r;
}

// The word-wrapping label of the message: draws its text with the flags it was measured with.
class MessageLabel : public QLabel {
public:
    MessageLabel(QWidget* parent, std::string text, unsigned flags)
        : QLabel(parent), text_(LayoutTextUtf8(text)), flags_(flags) {
        setText(QString::fromStdString(text));
        setTextFormat(Qt::PlainText);
        setWordWrap(true);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QImage image(size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            TCanvas canvas(image);
            canvas.Font.Font = font();
            canvas.Font.Color = clWindowText;
            canvas.Brush.Style = bsClear;
            TRect r{0, 0, width(), height()};
            canvas.DrawText(text_, r, flags_);
        }
        QPainter(this).drawImage(0, 0, image);
    }

private:
    std::string text_;
    unsigned flags_;
};

QColor ToQColor(TColor color) {
    const TColor rgb = ColorToRGB(color);
    return QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF));
}

}  // namespace

TFormMensagem::TFormMensagem(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
    setFont(QApplication::font("QMessageBox"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, ToQColor(clBtnFace));
    setPalette(palette);
    setAutoFillBackground(true);
}

TFormMensagem::~TFormMensagem() = default;

void TFormMensagem::SetClientSize(int width, int height) { setFixedSize(width, height); }

void TFormMensagem::reject() { done(kCancelResult); }

void TFormMensagem::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayOutPanel();
}

// The panel is docked at the bottom; inside it the details button is docked at the left and a
// single regular button fills what remains.
void TFormMensagem::LayOutPanel() {
    if (!panel_) return;
    const int panelHeight = panel_->height();
    panel_->setGeometry(0, height() - panelHeight, width(), panelHeight);
    QRect client = panel_->contentsRect();
    if (detailsButton_) {
        detailsButton_->SetBounds(client.left(), client.top(), detailsButton_->width(), client.height());
        client.setLeft(client.left() + detailsButton_->width());
    }
    if (fillButton_) fillButton_->SetBounds(client.left(), client.top(), client.width(), client.height());
}

void TFormMensagem::ResultClick(QObject* sender) {
    const QObject* button = sender ? sender->parent() : nullptr;
    if (!button) return;
    const std::string name = button->objectName().toStdString();
    for (const MessageButtonEntry& entry : kMessageButtons) {
        if (entry.name != name) continue;
        if (entry.modalResult != 0) done(entry.modalResult);
        return;
    }
}

void TFormMensagem::HelpClick() {
    if (helpHandler_) helpHandler_(helpFile_, helpContext_);
}

void TFormMensagem::DetailsClick(QObject* sender) {
    auto* round = qobject_cast<TColor95Button*>(sender);
    const bool expand = height() == collapsedHeight;
    SetClientSize(width(), expand ? expandedHeight : collapsedHeight);
    if (round) round->SetGlyph(LoadBitmapResource(expand ? "DETALHES2" : "DETALHES"));
}

std::unique_ptr<TFormMensagem> CreateMessageForm(const std::string& text, TMessageKind kind, TMessageButtons buttons,
                                                 const std::string& details, bool showAgainBox, bool detailsOpen) {
    // Callers request the buttons of entries 0 to 10; the others serve the details button.
    buttons &= TMessageButtons((1u << (kHelpEntry + 1)) - 1);
    auto form = std::make_unique<TFormMensagem>();
    form->setLayoutDirection(QApplication::layoutDirection());
    const bool rightToLeft = QApplication::layoutDirection() == Qt::RightToLeft;
    const unsigned reading = rightToLeft ? unsigned(DT_RTLREADING) : 0u;

    QFont font = form->font();
    const QFont arial = Arial8();
    font.setFamily(arial.family());
    font.setPixelSize(arial.pixelSize());
    form->setFont(font);

    const TSize letters = TextExtentOf(font, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int X = letters.cx / 52;
    const int Y = letters.cy;
    const int HM = MulDiv(8, X, 4);
    const int VM = MulDiv(8, Y, 8);
    const int HS = MulDiv(10, X, 4);
    const int VS = MulDiv(10, Y, 8);
    int BW = std::max(MulDiv(10, X, 4), 30);
    const int BH = MulDiv(27, Y, 8);
    const int BS = MulDiv(1, X, 4);

    const bool hasDetails = !details.empty();
    for (std::size_t entry = 0; entry < kMessageButtons.size(); ++entry) {
        const bool wanted = (buttons & (1u << entry)) || (entry == kDetailsEntry && hasDetails);
        if (!wanted) continue;
        if (buttonWidths[entry] == 0) {
            const TRect r = MeasureText(font, std::string(kMessageButtons[entry].caption), {}, DT_SINGLELINE | reading);
            buttonWidths[entry] = r.Right - r.Left + 8;
        }
        BW = std::max(BW, buttonWidths[entry]);
    }
    const int DA = hasDetails ? 2 * BW : 0;

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect screenArea = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    const unsigned textFlags = DT_WORDBREAK | DT_EXPANDTABS | reading;
    const TRect textRect = MeasureText(font, LayoutTextUtf8(text), {0, 0, screenArea.width() / 2, 0}, textFlags);
    const int TW = textRect.Right;
    const int TH = textRect.Bottom;

    const std::string_view iconName = MessageKindIcon(kind);
    const bool hasIcon = !iconName.empty();
    int IW = TW;
    int IH = TH;
    if (hasIcon) {
        IW += 32 + HS;
        IH = std::max(IH, 32);
    }

    const int n = std::popcount(unsigned(buttons));
    const int GW = n > 0 ? BW * n + BS * (n - 1) + DA : 0;

    int clientWidth = std::max(IW, GW) + 2 * HM;
    if (showAgainBox) clientWidth = std::max(clientWidth, 2 * HM + kShowAgainMinimum);
    const int clientHeight = IH + BH + VS + 2 * VM;
    form->SetClientSize(clientWidth, clientHeight);
    CentreOnScreen(*form);

    form->setWindowTitle(
        QString::fromStdString(kind == mkCustom ? ApplicationTitle() : std::string(MessageKindCaption(kind))));

    if (hasIcon) {
        auto* image = new QLabel(form.get());
        image->setObjectName(QStringLiteral("Image"));
        image->setGeometry(HM, VM, 32, 32);
        const QImage icon = LoadIconImage(iconName, 32);
        if (!icon.isNull()) image->setPixmap(QPixmap::fromImage(icon));
    }

    auto* message = new MessageLabel(form.get(), text, textFlags);
    message->setObjectName(QStringLiteral("Message"));
    int L = IW - TW + HM;
    if (rightToLeft) L = clientWidth - L - TW;
    message->setGeometry(L, VM, TW, TH);

    collapsedHeight = clientHeight;
    expandedHeight = collapsedHeight + kDetailsGrowth;

    if (hasDetails) {
        auto* memo = new QPlainTextEdit(form.get());
        memo->setObjectName(QStringLiteral("memoDetalhes"));
        memo->setPlainText(LayoutText(details));
        memo->setReadOnly(true);
        QPalette palette = memo->palette();
        palette.setColor(QPalette::Base, form->palette().color(QPalette::Window));
        memo->setPalette(palette);
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo->setGeometry(0, collapsedHeight - BH, clientWidth, kDetailsGrowth);
        memo->setFocusPolicy(Qt::ClickFocus);
    }

    if (showAgainBox) {
        auto* box = new QCheckBox(QString::fromUtf8(kShowAgainCaption), form.get());
        box->setObjectName(QStringLiteral("chkNaoMostrardeNovo"));
        box->setGeometry(0, collapsedHeight - BH - 17, clientWidth, 17);
    }

    auto* panel = new QFrame(form.get());
    panel->setObjectName(QStringLiteral("PainelBotoes"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    panel->setGeometry(0, clientHeight - (BH + 2), clientWidth, BH + 2);
    form->panel_ = panel;

    const int defaultEntry = DefaultButtonEntry(buttons);
    TFormMensagem* owner = form.get();
    TvrxButton* defaultButton = nullptr;
    std::vector<TvrxButton*> created;
    int x = clientWidth - GW + DA;
    for (std::size_t entry = 0; entry <= kHelpEntry; ++entry) {
        if (!(buttons & (1u << entry))) continue;
        const MessageButtonEntry& info = kMessageButtons[entry];
        auto* button = new TvrxButton(panel);
        button->setObjectName(QString::fromUtf8(info.name.data(), qsizetype(info.name.size())));
        button->SetText(std::string(info.caption));
        button->SetGlyph(LoadBitmapResource(info.name));
        button->setProperty("Tag", int(entry));
        button->SetRaioBotao(30);
        if (int(entry) == defaultEntry) {
            button->SetDefault(true);
            defaultButton = button;
        }
        button->SetBounds(x, 1, BW, BH);
        x += BW + BS;
        if (entry == kHelpEntry) button->SetOnClick([owner](QObject*) { owner->HelpClick(); });
        else button->SetOnClick([owner](QObject* sender) { owner->ResultClick(sender); });
        created.push_back(button);
    }
    if (n == 1) form->fillButton_ = created.front();
    if (defaultButton) {
        QWidget* previous = defaultButton;
        for (TvrxButton* button : created) {
            if (button == defaultButton) continue;
            QWidget::setTabOrder(previous, button);
            previous = button;
        }
        // Enter answers the dialog with its default button, as people expect of a message box.
        defaultButton->setFocus();
    }

    if (hasDetails) {
        auto* button = new TvrxButton(panel);
        button->setObjectName(QStringLiteral("Detalhes"));
        button->SetText("Detalhes");
        button->SetGlyph(LoadBitmapResource(detailsOpen ? "DETALHES2" : "DETALHES"));
        button->setProperty("Tag", kDetailsEntry);
        button->SetRaioBotao(30);
        button->SetBounds(4, 1, BW, BH);
        button->SetOnClick([owner](QObject* sender) { owner->DetailsClick(sender); });
        form->detailsButton_ = button;
    }
    form->LayOutPanel();

    if (detailsOpen) form->SetClientSize(clientWidth, expandedHeight);
    return form;
}

int MessageFormCollapsedHeight() { return collapsedHeight; }

int MessageFormExpandedHeight() { return expandedHeight; }

}  // namespace pavana
