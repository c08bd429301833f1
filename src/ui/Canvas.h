// TCanvas: GDI-style drawing on a Qt image.
//
// The self-painted controls were designed pixel by pixel for GDI, so this layer reproduces
// GDI's rules on a QImage: rectangles are (Left, Top, Right, Bottom) with Right and Bottom
// exclusive, lines exclude their end point, shapes are drawn with the current pen and brush
// without antialiasing, and raster operations work on the image's pixels. Text is smoothed in
// grey levels and laid out by the font's metrics, so it measures what TextExtent says. Controls paint into
// an image through a canvas in their paintEvent and then put the image on screen.
//
// The canvas borrows its image; the image must outlive it and be Format_RGB32 or
// Format_ARGB32_Premultiplied (pixels drawn here are always opaque). Colours may be system
// colours; they are resolved when used.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/Colors.h"

namespace pavana {

struct TPoint {
    int X = 0;
    int Y = 0;
};

struct TSize {
    int cx = 0;
    int cy = 0;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    // Shrinks by dx on the left and right and by dy at the top and bottom (negative grows).
    void Inflate(int dx, int dy) {
        Left -= dx;
        Top -= dy;
        Right += dx;
        Bottom += dy;
    }
    void Offset(int dx, int dy) {
        Left += dx;
        Right += dx;
        Top += dy;
        Bottom += dy;
    }
    bool operator==(const TRect&) const = default;
};

// DrawText format flags, with GDI's values.
enum : unsigned {
    DT_TOP = 0x0000,
    DT_LEFT = 0x0000,
    DT_CENTER = 0x0001,
    DT_RIGHT = 0x0002,
    DT_VCENTER = 0x0004,
    DT_BOTTOM = 0x0008,
    DT_WORDBREAK = 0x0010,
    DT_SINGLELINE = 0x0020,
    DT_EXPANDTABS = 0x0040,
    DT_NOCLIP = 0x0100,
    DT_CALCRECT = 0x0400,
    DT_NOPREFIX = 0x0800,
    DT_RTLREADING = 0x20000,
};

// The ternary raster operation that puts the brush colour where the source is white and
// keeps the destination where it is black.
inline constexpr std::uint32_t ROP_DSPDxax = 0x00E20746;

enum TPenStyle { psSolid, psClear };
enum TBrushStyle { bsSolid, bsClear };

struct TPen {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = psSolid;
};

// A brush is solid in Color, clear, or a pattern when Bitmap is set (tiled from the image's
// origin, as GDI aligns pattern brushes).
struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
    const QImage* Bitmap = nullptr;
};

struct TFont {
    QFont Font;
    TColor Color = clWindowText;
};

// A one-bit mask: true is white (1), false is black (0).
class TMask {
public:
    TMask(int width, int height) : width_(width), height_(height), bits_(std::size_t(width) * std::size_t(height), 0) {}
    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Bit(int x, int y) const { return bits_[std::size_t(y) * width_ + x] != 0; }
    void SetBit(int x, int y, bool white) { bits_[std::size_t(y) * width_ + x] = white ? 1 : 0; }

private:
    int width_;
    int height_;
    std::vector<unsigned char> bits_;
};

class TCanvas {
public:
    explicit TCanvas(QImage& target);
    ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TPen Pen;
    TBrush Brush;
    TFont Font;

    QImage& Image() { return image_; }

    // Fills the rectangle with the brush (nothing for a clear brush).
    void FillRect(const TRect& r);
    // Outline in the pen, inside in the brush.
    void Rectangle(const TRect& r);
    // The ellipse inscribed in the rectangle: outline in the pen, inside in the brush.
    void Ellipse(const TRect& r);
    // The part of the rectangle's ellipse from the ray through start counterclockwise to the
    // ray through end, in the pen.
    void Arc(const TRect& r, TPoint start, TPoint end);
    // Rounded rectangle with corner ellipses of cornerWidth x cornerHeight.
    void RoundRect(const TRect& r, int cornerWidth, int cornerHeight);
    // Connected segments in the pen; the last point is not drawn.
    void Polyline(std::initializer_list<TPoint> points);
    void MoveTo(int x, int y);
    // A segment from the current position; the end point is not drawn and becomes current.
    void LineTo(int x, int y);

    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);

    // Draws (or with DT_CALCRECT measures and stores into r) text in the font; "&" marks the
    // next character as accelerator unless DT_NOPREFIX. Returns the height of the text.
    int DrawText(std::string_view text, TRect& r, unsigned flags);
    // Width and height of the text in the font, characters as they are.
    TSize TextExtent(std::string_view text) const;
    int TextWidth(std::string_view text) const { return TextExtent(text).cx; }
    int TextHeight(std::string_view text) const { return TextExtent(text).cy; }

    // Inverts every other pixel of the rectangle's border, as a focus rectangle.
    void DrawFocusRect(const TRect& r);
    // Copies an image with its top-left at (x, y).
    void Draw(int x, int y, const QImage& image);
    // Copies an image, leaving out the pixels whose colour is transparent.
    void DrawTransparent(int x, int y, const QImage& image, TColor transparent);
    // Combines the mask (white as the background colour white, black as black), the brush
    // colour and the destination at (x, y) by a ternary raster operation.
    void BitBlt(int x, int y, const TMask& mask, std::uint32_t rop);

private:
    QPainter& Painter();
    void EndPainter();
    void ApplyPen(QPainter& p) const;
    void ApplyBrush(QPainter& p) const;
    void DrawSegment(int x0, int y0, int x1, int y1, TColor color);
    void PutPixel(int x, int y, std::uint32_t argb);

    QImage& image_;
    std::optional<QPainter> painter_;
    TPoint penPos_;
};

// Width and height of text in a font, as a canvas on a 96-dpi image measures it.
TSize TextExtentOf(const QFont& font, std::string_view text);

// A one-bit mask of a colour image: white where the pixel (inside the given cell) is white
// under `pick`.
template <typename Pick>
TMask MakeMask(const QImage& image, const TRect& cell, Pick pick) {
    TMask mask(cell.Width(), cell.Height());
    for (int y = 0; y < cell.Height(); ++y)
        for (int x = 0; x < cell.Width(); ++x) {
            const QRgb c = image.pixel(cell.Left + x, cell.Top + y);
            mask.SetBit(x, y, pick(RGB(qRed(c), qGreen(c), qBlue(c))));
        }
    return mask;
}

}  // namespace pavana
