// TCustomColorPanel and TColorPanel: a panel that paints itself flat in its own colour.
//
// The panel fills its client area with `Color`, draws a border of `BorderWidth` rings in that
// same colour (so the border is invisible but takes room) and draws its caption in a band one
// "W" high in the middle. The bevel properties are stored for forms that set them and are not
// drawn. A colour button placed on a colour panel takes the panel's colour.
#pragma once

#include <QWidget>
#include <string>

#include "ui/Canvas.h"

namespace pavana {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };

class TCustomColorPanel : public QWidget {
public:
    // The colour is the parent's when the parent is a window (button face) or a colour panel;
    // otherwise button face. The caption starts empty.
    explicit TCustomColorPanel(QWidget* parent = nullptr);

    TColor Color() const { return color_; }
    void SetColor(TColor color);

    // Client rectangle left after the border, as of the last paint.
    const TRect& TextRect() const { return textRect_; }

protected:
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int width);
    TPanelBevel BevelInner() const { return bevelInner_; }
    void SetBevelInner(TPanelBevel bevel) { bevelInner_ = bevel; }
    TPanelBevel BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TPanelBevel bevel) { bevelOuter_ = bevel; }
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int width) { bevelWidth_ = width; }
    TColor FontColor() const { return fontColor_; }
    void SetFontColor(TColor color);

    // Draws the border into r and shrinks r to what is left inside it.
    virtual void DrawBorder(TCanvas& canvas, TRect& r);

    void paintEvent(QPaintEvent* event) override;

private:
    TColor color_;
    std::string caption_;
    TAlignment alignment_ = taCenter;
    int borderWidth_ = 0;
    TPanelBevel bevelInner_ = bvNone;
    TPanelBevel bevelOuter_ = bvRaised;
    int bevelWidth_ = 1;
    TColor fontColor_ = clWindowText;
    TRect textRect_;
    QImage buffer_;
};

class TColorPanel : public TCustomColorPanel {
public:
    using TCustomColorPanel::Alignment;
    using TCustomColorPanel::BevelInner;
    using TCustomColorPanel::BevelOuter;
    using TCustomColorPanel::BevelWidth;
    using TCustomColorPanel::BorderWidth;
    using TCustomColorPanel::Caption;
    using TCustomColorPanel::FontColor;
    using TCustomColorPanel::SetAlignment;
    using TCustomColorPanel::SetBevelInner;
    using TCustomColorPanel::SetBevelOuter;
    using TCustomColorPanel::SetBevelWidth;
    using TCustomColorPanel::SetBorderWidth;
    using TCustomColorPanel::SetCaption;
    using TCustomColorPanel::SetFontColor;
    using TCustomColorPanel::TCustomColorPanel;
};

// The colour a control takes from its parent: a window's is button face, a colour panel's is
// its Color; any other parent gives `otherwise`.
TColor ColorOfOwner(const QWidget* parent, TColor otherwise);

}  // namespace pavana
