#include "ui/ClrPanel.h"

#include <QPainter>

#include "ui/Drawing.h"

namespace pavana {

TColor ColorOfOwner(const QWidget* parent, TColor otherwise) {
    if (!parent) return otherwise;
    if (const auto* panel = dynamic_cast<const TCustomColorPanel*>(parent)) return panel->Color();
    if (parent->isWindow()) return clBtnFace;
    return otherwise;
}

TCustomColorPanel::TCustomColorPanel(QWidget* parent) : QWidget(parent), color_(ColorOfOwner(parent, clBtnFace)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TCustomColorPanel::SetColor(TColor color) {
    color_ = color;
    update();
}

void TCustomColorPanel::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    update();
}

void TCustomColorPanel::SetAlignment(TAlignment alignment) {
    alignment_ = alignment;
    update();
}

void TCustomColorPanel::SetBorderWidth(int width) {
    borderWidth_ = width;
    update();
}

void TCustomColorPanel::SetFontColor(TColor color) {
    fontColor_ = color;
    update();
}

void TCustomColorPanel::DrawBorder(TCanvas& canvas, TRect& r) { Frame3D(canvas, r, color_, color_, borderWidth_); }

void TCustomColorPanel::paintEvent(QPaintEvent*) {
    if (buffer_.size() != size()) buffer_ = QImage(size(), QImage::Format_RGB32);
    {
        TCanvas canvas(buffer_);
        textRect_ = {0, 0, width(), height()};
        DrawBorder(canvas, textRect_);
        canvas.Brush.Color = color_;
        canvas.FillRect(textRect_);

        canvas.Brush.Style = bsClear;
        canvas.Font.Font = font();
        canvas.Font.Color = fontColor_;
        const int h = canvas.TextHeight("W");
        TRect line = textRect_;
        line.Top = (textRect_.Top + textRect_.Bottom - h) / 2;
        line.Bottom = line.Top + h;
        const unsigned align = alignment_ == taLeftJustify    ? DT_LEFT
                               : alignment_ == taRightJustify ? DT_RIGHT
                                                              : DT_CENTER;
        canvas.DrawText(caption_, line, DT_EXPANDTABS | DT_VCENTER | align);
    }
    QPainter(this).drawImage(0, 0, buffer_);
}

}  // namespace pavana
