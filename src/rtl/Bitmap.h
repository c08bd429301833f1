// TBitmap: a device-independent raster image that reads and writes the BMP file format.
//
// A bitmap has a width, a height and a pixel format: 1, 4 or 8 bits per pixel through a
// palette of up to 2, 16 or 256 colours, or 24 or 32 bits of blue, green and red (the 32-bit
// form keeps a fourth byte per pixel as it is given). Rows are held top to bottom, each
// padded to a multiple of 4 bytes, exactly as a row of the file is laid out.
//
// Colours are the framework's 0x00BBGGRR numbers (red in the low byte). Writing a colour to
// a palette bitmap stores the nearest palette entry.
//
// `SaveToStream` writes a whole BMP file (file header, 40-byte information header,
// palette, rows bottom-up, uncompressed) at the stream's position. `LoadFromStream` reads one
// from the stream's position: uncompressed files of 1, 4, 8, 24 or 32 bits with any of the
// usual information header sizes (40, 52, 56, 108 or 124 bytes), rows bottom-up or top-down.
// Anything else, a file cut short or one whose sizes do not agree, fails with
// EInvalidGraphic "Bitmap image is not valid" and leaves the bitmap as it was.
// Bitmaps are values: copying copies the pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "rtl/Exceptions.h"

namespace pavana {

class TStream;

class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

enum class TPixelFormat : std::uint8_t { pf1bit, pf4bit, pf8bit, pf24bit, pf32bit };

struct TRGBQuad {
    std::uint8_t Blue = 0;
    std::uint8_t Green = 0;
    std::uint8_t Red = 0;
    std::uint8_t Reserved = 0;
    bool operator==(const TRGBQuad&) const = default;
};

class TBitmap {
public:
    // An empty bitmap: no pixels, 24 bits per pixel.
    TBitmap() = default;
    // A bitmap of that size whose pixels are all 0 (black, or palette entry 0). A palette
    // format starts with a grey ramp of all its entries (black to white). Sizes must lie
    // within 0 .. 32768 (EInvalidGraphic otherwise).
    TBitmap(int width, int height, TPixelFormat format = TPixelFormat::pf24bit);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    TPixelFormat PixelFormat() const { return format_; }
    int BitsPerPixel() const;

    // The palette of a 1, 4 or 8-bit bitmap (empty for the others). Setting it fails with
    // EInvalidGraphic for another format or for more entries than the format can address;
    // pixels whose index has no entry read as black.
    const std::vector<TRGBQuad>& Palette() const { return palette_; }
    void SetPalette(std::vector<TRGBQuad> palette);

    // A pixel's colour; coordinates outside the bitmap fail with EInvalidGraphic "Pixel
    // (%d, %d) is outside the bitmap".
    std::uint32_t Pixel(int x, int y) const;
    void SetPixel(int x, int y, std::uint32_t color);
    // Bytes of the row `y` (0 is the top): StrideBytes of them, in the file's pixel layout.
    std::uint8_t* ScanLine(int y);
    const std::uint8_t* ScanLine(int y) const;
    std::size_t StrideBytes() const { return stride_; }

    void SaveToStream(TStream& stream) const;
    void LoadFromStream(TStream& stream);

    bool operator==(const TBitmap&) const = default;

private:
    void CheckPoint(int x, int y) const;

    int width_ = 0;
    int height_ = 0;
    TPixelFormat format_ = TPixelFormat::pf24bit;
    std::size_t stride_ = 0;
    std::vector<TRGBQuad> palette_;
    std::vector<std::uint8_t> pixels_;  // rows top to bottom
};

}  // namespace pavana
