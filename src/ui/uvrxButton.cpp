#include "ui/uvrxButton.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcutEvent>
#include <algorithm>
#include <cmath>

namespace pavana {

namespace {

constexpr int kMinimumWidth = 40;

// Halves round to even, as the control's centring has always done.
int RoundHalfEven(double x) { return int(std::nearbyint(x)); }

bool IsBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return c <= ' '; });
}

// Presses the default push button of the active window when Enter goes down. Stands in front
// of every widget, as a keyboard hook of the thread does.
class EnterHook : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) || key->isAutoRepeat()) return false;
        QWidget* form = QApplication::activeWindow();
        if (!form) return false;
        for (QObject* child : form->children()) {
            auto* button = qobject_cast<TvrxButton*>(child);
            if (button && button->Default()) {
                button->RoundButton().Click();
                return true;
            }
        }
        return false;
    }
};

void InstallEnterHook() {
    static QPointer<EnterHook> hook;
    if (hook || !QCoreApplication::instance()) return;
    hook = new EnterHook(QCoreApplication::instance());
    hook->setObjectName(QStringLiteral("vrxButtonEnterHook"));
    QCoreApplication::instance()->installEventFilter(hook);
}

}  // namespace

// The caption under the round button: sized to its text, drawn centred with the "&" accelerator
// underlined; clicking it only focuses the button.
class TvrxCaptionLabel : public QWidget {
public:
    explicit TvrxCaptionLabel(TvrxButton& owner) : QWidget(&owner), owner_(owner) {}

    void SetCaption(std::string caption) {
        caption_ = std::move(caption);
        AdjustSize();
        update();
    }
    const std::string& Caption() const { return caption_; }

    void AdjustSize() {
        QImage probe(1, 1, QImage::Format_RGB32);
        TCanvas canvas(probe);
        canvas.Font.Font = font();
        TRect r{0, 0, 0, 0};
        canvas.DrawText(caption_.empty() ? std::string(" ") : caption_, r, DT_CALCRECT | DT_SINGLELINE);
        resize(caption_.empty() ? 0 : r.Width(), r.Height());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (buffer_.size() != size()) buffer_ = QImage(size(), QImage::Format_RGB32);
        {
            TCanvas canvas(buffer_);
            canvas.Brush.Color = owner_.Color();
            canvas.FillRect({0, 0, width(), height()});
            canvas.Brush.Style = bsClear;
            canvas.Font.Font = font();
            TRect r{0, 0, width(), height()};
            const unsigned flags = DT_CENTER | DT_SINGLELINE;
            if (isEnabled()) {
                canvas.Font.Color = clWindowText;
                canvas.DrawText(caption_, r, flags);
            } else {
                TRect shifted = r;
                shifted.Offset(1, 1);
                canvas.Font.Color = clBtnHighlight;
                canvas.DrawText(caption_, shifted, flags);
                canvas.Font.Color = clBtnShadow;
                canvas.DrawText(caption_, r, flags);
            }
        }
        QPainter(this).drawImage(0, 0, buffer_);
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) owner_.LabelClick();
    }

private:
    TvrxButton& owner_;
    std::string caption_;
    QImage buffer_;
};

TvrxButton::TvrxButton(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(kMinimumWidth, kMinimumWidth);

    round_ = new TColor95Button(this);
    round_->setObjectName(QStringLiteral("Botao"));
    round_->setGeometry(RoundHalfEven((width() - 30) / 2.0), 1, 30, 30);
    round_->SetColor(clBtnFace);
    round_->SetStyle(bsEllipse);
    round_->SetOnClick([this](QObject*) { InnerClick(); });

    label_ = new TvrxCaptionLabel(*this);
    label_->setObjectName(QStringLiteral("Rotulo"));
    label_->hide();
    label_->AdjustSize();
    LayOut();

    InstallEnterHook();
}

TvrxButton::~TvrxButton() = default;

QWidget& TvrxButton::CaptionLabel() { return *label_; }

int TvrxButton::RaioBotao() const { return round_->width(); }

void TvrxButton::SetRaioBotao(int value) {
    round_->setGeometry(RoundHalfEven((width() - value) / 2.0), round_->y(), value, value);
}

void TvrxButton::SetText(std::string text) {
    text_ = std::move(text);
    if (shortcutId_ != 0) releaseShortcut(shortcutId_);
    shortcutId_ = 0;
    if (!IsBlank(text_)) {
        label_->SetCaption(text_);
        label_->show();
        const QKeySequence accelerator = QKeySequence::mnemonic(QString::fromStdString(text_));
        if (!accelerator.isEmpty()) shortcutId_ = grabShortcut(accelerator);
        CaptionFontChanged();
    } else {
        label_->hide();
        label_->SetCaption({});
    }
    LayOut();
}

void TvrxButton::CaptionFontChanged() {
    label_->setFont(font());
    label_->AdjustSize();
    if (!label_->isHidden()) {
        const int width = TextExtentOf(label_->font(), label_->Caption()).cx;
        resize(std::max(width, kMinimumWidth), height());
    }
    LayOut();
}

const QImage& TvrxButton::Glyph() const { return round_->Glyph(); }

void TvrxButton::SetGlyph(const QImage& glyph) { round_->SetGlyph(glyph); }

TColor TvrxButton::BtnColor() const { return round_->Color(); }

void TvrxButton::SetBtnColor(TColor color) { round_->SetColor(color); }

int TvrxButton::NumGlyphs() const { return round_->NumGlyphs(); }

void TvrxButton::SetNumGlyphs(int value) { round_->SetNumGlyphs(value); }

const std::string& TvrxButton::Hint() const { return round_->Hint(); }

void TvrxButton::SetHint(std::string hint) { round_->SetHint(std::move(hint)); }

bool TvrxButton::ShowHint() const { return round_->ShowHint(); }

void TvrxButton::SetShowHint(bool value) { round_->SetShowHint(value); }

bool TvrxButton::Enabled() const { return round_->Enabled(); }

void TvrxButton::SetEnabled(bool value) {
    round_->SetEnabled(value);
    setEnabled(value);
}

bool TvrxButton::Down() const { return round_->Down(); }

void TvrxButton::SetDown(bool value) { round_->SetDown(value); }

int TvrxButton::GroupIndex() const { return round_->GroupIndex(); }

void TvrxButton::SetGroupIndex(int value) { round_->SetGroupIndex(value); }

void TvrxButton::SetColor(TColor color) {
    color_ = color;
    update();
    label_->update();
}

void TvrxButton::LayOut() {
    round_->move(RoundHalfEven((width() - round_->width()) / 2.0), round_->y());
    label_->move(RoundHalfEven((width() - label_->width()) / 2.0), height() - label_->height() - 1);
}

void TvrxButton::resizeEvent(QResizeEvent*) { LayOut(); }

void TvrxButton::InnerClick() {
    setFocus(Qt::OtherFocusReason);
    if (onClick_) onClick_(round_);
    update();
}

void TvrxButton::LabelClick() {
    setFocus(Qt::MouseFocusReason);
    update();
}

void TvrxButton::paintEvent(QPaintEvent*) {
    if (buffer_.size() != size()) buffer_ = QImage(size(), QImage::Format_RGB32);
    {
        TCanvas canvas(buffer_);
        canvas.Brush.Color = color_;
        canvas.FillRect({0, 0, width(), height()});
        if (hasFocus()) {
            canvas.Pen.Color = clWindowFrame;
            canvas.Brush.Color = clBtnFace;
            canvas.DrawFocusRect({0, 0, width(), height()});
        }
    }
    QPainter(this).drawImage(0, 0, buffer_);
}

void TvrxButton::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter: round_->Click(); break;
        default: QWidget::keyPressEvent(event);
    }
}

void TvrxButton::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TvrxButton::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void TvrxButton::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        setFocus(Qt::MouseFocusReason);
}

void TvrxButton::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) CaptionFontChanged();
}

bool TvrxButton::event(QEvent* event) {
    if (event->type() == QEvent::Shortcut && static_cast<QShortcutEvent*>(event)->shortcutId() == shortcutId_) {
        // The accelerator is registered as Alt plus the letter, so the Alt key is held here.
        if (isVisible() && isEnabled() && focusPolicy() != Qt::NoFocus) {
            round_->Click();
            return true;
        }
        return false;
    }
    return QWidget::event(event);
}

}  // namespace pavana
