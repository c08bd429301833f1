// TvrxButton: the rounded push button of the message dialogs.
//
// A focusable control holding a round colour button (a TColor95Button of style bsEllipse,
// named "Botao") that carries the glyph, with the caption in a label ("Rotulo") underneath.
// Space and Enter on the focused control, Alt plus the caption's accelerator, and a click on
// the round button all call `OnClick` once with the round button as sender; clicking the
// label only focuses the control. The control draws a focus rectangle around itself while it
// has the focus.
//
// The first TvrxButton created installs an application-wide Enter hook: a fresh Enter key
// press (not an auto-repeat) anywhere in the active window clicks the first direct child of
// that window that is a TvrxButton with `Default` set, and the key goes no further. Buttons
// inside panels are not searched. The hook lives as long as the application object.
//
// The control owns the round button and the label.
#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "ui/ColorBtns.h"

namespace pavana {

class TvrxCaptionLabel;

class TvrxButton : public QWidget {
    Q_OBJECT

public:
    // 40 x 40, tab stop, a 30-pixel round button in button face at (5, 1), no caption.
    explicit TvrxButton(QWidget* parent = nullptr);
    ~TvrxButton() override;

    bool Default() const { return default_; }
    void SetDefault(bool value) { default_ = value; }
    // Diameter of the round button.
    int RaioBotao() const;
    void SetRaioBotao(int value);
    const std::string& Text() const { return text_; }
    // A text that is blank after trimming removes the caption; otherwise the caption shows
    // the text as given and the control widens to its width, at least 40.
    void SetText(std::string text);
    const QImage& Glyph() const;
    void SetGlyph(const QImage& glyph);
    TColor BtnColor() const;
    void SetBtnColor(TColor color);
    int NumGlyphs() const;
    void SetNumGlyphs(int value);
    const std::string& Hint() const;
    void SetHint(std::string hint);
    bool ShowHint() const;
    void SetShowHint(bool value);
    // Reads the round button; setting applies to the round button and the control.
    bool Enabled() const;
    void SetEnabled(bool value);
    bool Down() const;
    void SetDown(bool value);
    int GroupIndex() const;
    void SetGroupIndex(int value);
    // Background of the control itself.
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    bool TabStop() const { return focusPolicy() != Qt::NoFocus; }
    void SetTabStop(bool value) { setFocusPolicy(value ? Qt::StrongFocus : Qt::NoFocus); }
    void SetOnClick(TNotifyEvent handler) { onClick_ = std::move(handler); }

    // Moves and sizes the control; the round button and the caption are re-centred.
    void SetBounds(int left, int top, int width, int height) { setGeometry(left, top, width, height); }

    TColor95Button& RoundButton() { return *round_; }
    // The caption label, shown only while there is a caption.
    QWidget& CaptionLabel();

    QSize sizeHint() const override { return size(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    friend class TvrxCaptionLabel;
    void InnerClick();
    void LabelClick();
    void CaptionFontChanged();
    void LayOut();

    TColor95Button* round_;    // child widget, owned through the widget tree
    TvrxCaptionLabel* label_;  // child widget, owned through the widget tree
    std::string text_;
    bool default_ = false;
    TColor color_ = clBtnFace;
    int shortcutId_ = 0;
    TNotifyEvent onClick_;
    QImage buffer_;
};

}  // namespace pavana
