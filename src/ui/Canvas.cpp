#include "ui/Canvas.h"

#include <QFontMetrics>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>
#include <utility>

namespace pavana {

namespace {

QColor ToQColor(TColor color) {
    const TColor c = ColorToRGB(color);
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

std::uint32_t ToArgb(TColor color) {
    const TColor c = ColorToRGB(color);
    return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

TColor FromArgb(std::uint32_t argb) { return RGB(int((argb >> 16) & 0xFF), int((argb >> 8) & 0xFF), int(argb & 0xFF)); }

// A ternary raster operation: bit i of the code gives the result for pattern, source and
// destination bits (P S D) = i, read as a three-bit number.
TColor Rop3(std::uint8_t code, TColor p, TColor s, TColor d) {
    TColor result = 0;
    for (int i = 0; i < 8; ++i) {
        if ((code & (1 << i)) == 0) continue;
        result |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    }
    return result & 0xFFFFFF;
}

// Angle in Qt's sixteenths of a degree (counterclockwise from three o'clock) of the ray from
// the centre of r through pt.
double AngleOf(const TRect& r, TPoint pt) {
    const double cx = (r.Left + r.Right) / 2.0;
    const double cy = (r.Top + r.Bottom) / 2.0;
    return std::atan2(cy - pt.Y, pt.X - cx) * 180.0 / std::numbers::pi;
}

// GDI applies the prefix rule and vertical alignment only in the cases it documents.
int QtTextFlags(unsigned flags) {
    int q = Qt::AlignAbsolute;
    if (flags & DT_CENTER) q |= Qt::AlignHCenter;
    else if (flags & DT_RIGHT) q |= Qt::AlignRight;
    else q |= Qt::AlignLeft;
    if ((flags & DT_SINGLELINE) && (flags & DT_VCENTER)) q |= Qt::AlignVCenter;
    else if ((flags & DT_SINGLELINE) && (flags & DT_BOTTOM)) q |= Qt::AlignBottom;
    else q |= Qt::AlignTop;
    if (flags & DT_SINGLELINE) q |= Qt::TextSingleLine;
    if (flags & DT_WORDBREAK) q |= Qt::TextWordWrap;
    if (flags & DT_EXPANDTABS) q |= Qt::TextExpandTabs;
    if (!(flags & DT_NOPREFIX)) q |= Qt::TextShowMnemonic;
    if (flags & DT_NOCLIP) q |= Qt::TextDontClip;
    return q;
}

QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

}  // namespace

TCanvas::TCanvas(QImage& target) : image_(target) {}

TCanvas::~TCanvas() = default;

QPainter& TCanvas::Painter() {
    if (!painter_) {
        painter_.emplace(&image_);
        painter_->setRenderHint(QPainter::Antialiasing, false);
        painter_->setRenderHint(QPainter::TextAntialiasing, true);
    }
    return *painter_;
}

void TCanvas::EndPainter() { painter_.reset(); }

void TCanvas::ApplyPen(QPainter& p) const {
    if (Pen.Style == psClear) {
        p.setPen(Qt::NoPen);
        return;
    }
    QPen pen(ToQColor(Pen.Color));
    pen.setWidth(Pen.Width <= 1 ? 0 : Pen.Width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
}

void TCanvas::ApplyBrush(QPainter& p) const {
    if (Brush.Bitmap) {
        p.setBrush(QBrush(*Brush.Bitmap));
        p.setBrushOrigin(0, 0);
    } else if (Brush.Style == bsClear) {
        p.setBrush(Qt::NoBrush);
    } else {
        p.setBrush(ToQColor(Brush.Color));
    }
}

void TCanvas::PutPixel(int x, int y, std::uint32_t argb) {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return;
    reinterpret_cast<std::uint32_t*>(image_.scanLine(y))[x] = argb;
}

TColor TCanvas::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return clBlack;
    const_cast<TCanvas*>(this)->EndPainter();
    return FromArgb(reinterpret_cast<const std::uint32_t*>(image_.constScanLine(y))[x]);
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    EndPainter();
    PutPixel(x, y, ToArgb(color));
}

void TCanvas::FillRect(const TRect& r) {
    if (Brush.Style == bsClear && !Brush.Bitmap) return;
    EndPainter();
    const int left = std::max(r.Left, 0), right = std::min(r.Right, image_.width());
    const int top = std::max(r.Top, 0), bottom = std::min(r.Bottom, image_.height());
    if (left >= right || top >= bottom) return;
    if (Brush.Bitmap) {
        const QImage& pattern = *Brush.Bitmap;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                PutPixel(x, y, pattern.pixel(x % pattern.width(), y % pattern.height()) | 0xFF000000u);
        return;
    }
    const std::uint32_t argb = ToArgb(Brush.Color);
    for (int y = top; y < bottom; ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(image_.scanLine(y));
        std::fill(line + left, line + right, argb);
    }
}

void TCanvas::Rectangle(const TRect& r) {
    if (Pen.Style == psClear) {
        FillRect({r.Left, r.Top, r.Right - 1, r.Bottom - 1});
        return;
    }
    FillRect({r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1});
    if (r.Right - r.Left < 1 || r.Bottom - r.Top < 1) return;
    const TPoint saved = penPos_;
    Polyline(
        {{r.Left, r.Top}, {r.Right - 1, r.Top}, {r.Right - 1, r.Bottom - 1}, {r.Left, r.Bottom - 1}, {r.Left, r.Top}});
    penPos_ = saved;
}

void TCanvas::Ellipse(const TRect& r) {
    QPainter& p = Painter();
    ApplyPen(p);
    ApplyBrush(p);
    p.drawEllipse(QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1));
}

void TCanvas::Arc(const TRect& r, TPoint start, TPoint end) {
    if (Pen.Style == psClear) return;
    const double a1 = AngleOf(r, start);
    double span = AngleOf(r, end) - a1;
    if (span <= 0) span += 360.0;
    QPainter& p = Painter();
    ApplyPen(p);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1), int(std::lround(a1 * 16)),
              int(std::lround(span * 16)));
}

void TCanvas::RoundRect(const TRect& r, int cornerWidth, int cornerHeight) {
    QPainter& p = Painter();
    ApplyPen(p);
    ApplyBrush(p);
    p.drawRoundedRect(QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1), cornerWidth / 2.0, cornerHeight / 2.0);
}

void TCanvas::Polyline(std::initializer_list<TPoint> points) {
    auto it = points.begin();
    if (it == points.end()) return;
    MoveTo(it->X, it->Y);
    for (++it; it != points.end(); ++it) LineTo(it->X, it->Y);
}

void TCanvas::MoveTo(int x, int y) { penPos_ = {x, y}; }

void TCanvas::LineTo(int x, int y) {
    if (Pen.Style != psClear) {
        if (Pen.Width <= 1) {
            DrawSegment(penPos_.X, penPos_.Y, x, y, Pen.Color);
        } else {
            QPainter& p = Painter();
            ApplyPen(p);
            p.drawLine(penPos_.X, penPos_.Y, x, y);
        }
    }
    penPos_ = {x, y};
}

// Bresenham's line from (x0, y0) up to but not including (x1, y1), as GDI draws a cosmetic pen.
void TCanvas::DrawSegment(int x0, int y0, int x1, int y1, TColor color) {
    EndPainter();
    const std::uint32_t argb = ToArgb(color);
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (x0 != x1 || y0 != y1) {
        PutPixel(x0, y0, argb);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

int TCanvas::DrawText(std::string_view text, TRect& r, unsigned flags) {
    const QString s = ToQString(text);
    const int qflags = QtTextFlags(flags);
    if (flags & DT_CALCRECT) {
        const QFontMetrics fm(Font.Font, &image_);
        const int width = (flags & DT_WORDBREAK) ? std::max(r.Width(), 1) : 1 << 20;
        const QRect br =
            fm.boundingRect(QRect(r.Left, r.Top, width, 0),
                            qflags & ~(Qt::AlignHCenter | Qt::AlignRight | Qt::AlignVCenter | Qt::AlignBottom), s);
        r.Right = r.Left + br.width();
        r.Bottom = r.Top + br.height();
        return br.height();
    }
    QPainter& p = Painter();
    // Text is smoothed in grey levels: one-bit glyphs put at rounded positions of the unhinted
    // layout leave uneven gaps between letters, and colour fringes would spoil the engraved
    // copies of disabled captions. The layout is the one the font metrics measure.
    QFont font = Font.Font;
    font.setStyleStrategy(QFont::StyleStrategy((font.styleStrategy() & ~QFont::NoAntialias) | QFont::PreferAntialias |
                                               QFont::NoSubpixelAntialias));
    p.setFont(font);
    p.setLayoutDirection((flags & DT_RTLREADING) ? Qt::RightToLeft : Qt::LeftToRight);
    const QRect box(r.Left, r.Top, r.Width(), r.Height());
    QRect used;
    if (Brush.Style == bsSolid && !Brush.Bitmap) {
        used = p.boundingRect(box, qflags, s);
        p.fillRect(used.intersected(box), ToQColor(Brush.Color));
    }
    p.setPen(ToQColor(Font.Color));
    p.drawText(box, qflags, s, &used);
    return used.height();
}

TSize TCanvas::TextExtent(std::string_view text) const {
    const QFontMetrics fm(Font.Font, &image_);
    return {fm.horizontalAdvance(ToQString(text)), fm.height()};
}

TSize TextExtentOf(const QFont& font, std::string_view text) {
    static QImage device(1, 1, QImage::Format_RGB32);
    const QFontMetrics fm(font, &device);
    return {fm.horizontalAdvance(ToQString(text)), fm.height()};
}

void TCanvas::DrawFocusRect(const TRect& r) {
    if (r.IsEmpty()) return;
    EndPainter();
    std::set<std::pair<int, int>> border;
    for (int x = r.Left; x < r.Right; ++x) {
        border.insert({x, r.Top});
        border.insert({x, r.Bottom - 1});
    }
    for (int y = r.Top; y < r.Bottom; ++y) {
        border.insert({r.Left, y});
        border.insert({r.Right - 1, y});
    }
    for (const auto& [x, y] : border) {
        if ((x + y) % 2 != 0 || x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) continue;
        auto* px = reinterpret_cast<std::uint32_t*>(image_.scanLine(y)) + x;
        *px = (*px ^ 0x00FFFFFFu) | 0xFF000000u;
    }
}

void TCanvas::Draw(int x, int y, const QImage& image) {
    EndPainter();
    for (int j = 0; j < image.height(); ++j)
        for (int i = 0; i < image.width(); ++i) PutPixel(x + i, y + j, image.pixel(i, j) | 0xFF000000u);
}

void TCanvas::DrawTransparent(int x, int y, const QImage& image, TColor transparent) {
    EndPainter();
    const TColor key = ColorToRGB(transparent);
    for (int j = 0; j < image.height(); ++j)
        for (int i = 0; i < image.width(); ++i) {
            const QRgb c = image.pixel(i, j);
            if (qAlpha(c) == 0 || FromArgb(c) == key) continue;
            PutPixel(x + i, y + j, c | 0xFF000000u);
        }
}

void TCanvas::BitBlt(int x, int y, const TMask& mask, std::uint32_t rop) {
    EndPainter();
    const auto code = std::uint8_t((rop >> 16) & 0xFF);
    const TColor brush = ColorToRGB(Brush.Color);
    for (int j = 0; j < mask.Height(); ++j)
        for (int i = 0; i < mask.Width(); ++i) {
            const int px = x + i, py = y + j;
            if (px < 0 || py < 0 || px >= image_.width() || py >= image_.height()) continue;
            const TColor d = Pixel(px, py);
            const TColor s = mask.Bit(i, j) ? clWhite : clBlack;
            PutPixel(px, py, ToArgb(Rop3(code, brush, s, d)));
        }
}

}  // namespace pavana
