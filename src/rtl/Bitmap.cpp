#include "rtl/Bitmap.h"

#include <algorithm>
#include <limits>

#include "rtl/Format.h"
#include "rtl/Streams.h"

// The BMP file (all numbers little-endian):
//   file header, 14 bytes: "BM", u32 file size, u16 0, u16 0, u32 offset of the pixel rows
//   information header, 40 bytes: u32 header size (40), i32 width, i32 height (negative for
//     rows stored top-down), u16 planes (1), u16 bits per pixel, u32 compression (0: none),
//     u32 size of the pixel rows, i32 and i32 pixels per metre (0: unknown), u32 palette
//     entries used (0: all that the bits address), u32 important entries (0: all)
//   palette: blue, green, red, reserved per entry (1, 4 and 8 bits only)
//   pixel rows, bottom row first, each padded to a multiple of 4 bytes.
// Later header versions only append fields (colour masks, colour space), which this reader
// skips: it knows the offset of the rows from the file header.

namespace pavana {

namespace {

constexpr int kMaxSide = 32768;
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;

[[noreturn]] void Invalid() { throw EInvalidGraphic("Bitmap image is not valid"); }

int Bits(TPixelFormat format) {
    switch (format) {
        case TPixelFormat::pf1bit: return 1;
        case TPixelFormat::pf4bit: return 4;
        case TPixelFormat::pf8bit: return 8;
        case TPixelFormat::pf24bit: return 24;
        case TPixelFormat::pf32bit: return 32;
    }
    return 24;
}

std::size_t Stride(int width, int bits) {
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32 * 4;
}

void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint32_t Get32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::vector<TRGBQuad> GreyRamp(int entries) {
    std::vector<TRGBQuad> palette(static_cast<std::size_t>(entries));
    for (int i = 0; i < entries; ++i) {
        const auto level = static_cast<std::uint8_t>(entries == 1 ? 0 : i * 255 / (entries - 1));
        palette[static_cast<std::size_t>(i)] = {level, level, level, 0};
    }
    return palette;
}

std::uint32_t ColorOf(const TRGBQuad& q) {
    return std::uint32_t{q.Red} | std::uint32_t{q.Green} << 8 | std::uint32_t{q.Blue} << 16;
}

}  // namespace

TBitmap::TBitmap(int width, int height, TPixelFormat format) : format_(format) {
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide)
        throw EInvalidGraphic(Format("Invalid bitmap size %d x %d", {width, height}));
    width_ = width;
    height_ = height;
    stride_ = Stride(width, Bits(format));
    pixels_.assign(stride_ * static_cast<std::size_t>(height), 0);
    if (Bits(format) <= 8) palette_ = GreyRamp(1 << Bits(format));
}

int TBitmap::BitsPerPixel() const { return Bits(format_); }

void TBitmap::SetPalette(std::vector<TRGBQuad> palette) {
    const int bits = Bits(format_);
    if (bits > 8 || palette.size() > (std::size_t{1} << bits))
        throw EInvalidGraphic("The palette does not fit the bitmap's pixel format");
    palette_ = std::move(palette);
}

void TBitmap::CheckPoint(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        throw EInvalidGraphic(Format("Pixel (%d, %d) is outside the bitmap", {x, y}));
}

std::uint8_t* TBitmap::ScanLine(int y) {
    CheckPoint(0, y);
    return pixels_.data() + stride_ * static_cast<std::size_t>(y);
}

const std::uint8_t* TBitmap::ScanLine(int y) const {
    CheckPoint(0, y);
    return pixels_.data() + stride_ * static_cast<std::size_t>(y);
}

std::uint32_t TBitmap::Pixel(int x, int y) const {
    CheckPoint(x, y);
    const std::uint8_t* row = ScanLine(y);
    const auto ux = static_cast<std::size_t>(x);
    unsigned index = 0;
    switch (format_) {
        case TPixelFormat::pf1bit: index = (row[ux / 8] >> (7 - ux % 8)) & 1u; break;
        case TPixelFormat::pf4bit: index = (row[ux / 2] >> (ux % 2 == 0 ? 4 : 0)) & 15u; break;
        case TPixelFormat::pf8bit: index = row[ux]; break;
        case TPixelFormat::pf24bit:
        case TPixelFormat::pf32bit: {
            const std::uint8_t* p = row + ux * static_cast<std::size_t>(Bits(format_) / 8);
            return ColorOf({p[0], p[1], p[2], 0});
        }
    }
    return index < palette_.size() ? ColorOf(palette_[index]) : 0;
}

void TBitmap::SetPixel(int x, int y, std::uint32_t color) {
    CheckPoint(x, y);
    std::uint8_t* row = ScanLine(y);
    const auto ux = static_cast<std::size_t>(x);
    const auto red = static_cast<std::uint8_t>(color);
    const auto green = static_cast<std::uint8_t>(color >> 8);
    const auto blue = static_cast<std::uint8_t>(color >> 16);
    if (format_ == TPixelFormat::pf24bit || format_ == TPixelFormat::pf32bit) {
        std::uint8_t* p = row + ux * static_cast<std::size_t>(Bits(format_) / 8);
        p[0] = blue;
        p[1] = green;
        p[2] = red;
        return;
    }
    unsigned best = 0;
    long bestDistance = std::numeric_limits<long>::max();
    for (std::size_t i = 0; i < palette_.size(); ++i) {
        const long dr = long{palette_[i].Red} - red;
        const long dg = long{palette_[i].Green} - green;
        const long db = long{palette_[i].Blue} - blue;
        const long distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<unsigned>(i);
        }
    }
    switch (format_) {
        case TPixelFormat::pf1bit: {
            const auto mask = static_cast<std::uint8_t>(0x80u >> (ux % 8));
            row[ux / 8] = static_cast<std::uint8_t>(best != 0 ? row[ux / 8] | mask : row[ux / 8] & ~mask);
            break;
        }
        case TPixelFormat::pf4bit: {
            const unsigned shift = ux % 2 == 0 ? 4 : 0;
            row[ux / 2] = static_cast<std::uint8_t>((row[ux / 2] & ~(15u << shift)) | best << shift);
            break;
        }
        default: row[ux] = static_cast<std::uint8_t>(best); break;
    }
}

void TBitmap::SaveToStream(TStream& stream) const {
    const std::uint32_t paletteBytes = static_cast<std::uint32_t>(palette_.size() * 4);
    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize + paletteBytes;
    const auto imageSize = static_cast<std::uint32_t>(pixels_.size());
    std::vector<std::uint8_t> out;
    out.reserve(offset + imageSize);
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + imageSize);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, kInfoHeaderSize);
    Put32(out, static_cast<std::uint32_t>(width_));
    Put32(out, static_cast<std::uint32_t>(height_));
    Put16(out, 1);
    Put16(out, static_cast<std::uint16_t>(Bits(format_)));
    Put32(out, 0);
    Put32(out, imageSize);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, static_cast<std::uint32_t>(palette_.size()));
    Put32(out, 0);
    for (const TRGBQuad& q : palette_) {
        out.push_back(q.Blue);
        out.push_back(q.Green);
        out.push_back(q.Red);
        out.push_back(q.Reserved);
    }
    for (int y = height_ - 1; y >= 0; --y) {
        const std::uint8_t* row = pixels_.data() + stride_ * static_cast<std::size_t>(y);
        out.insert(out.end(), row, row + stride_);
    }
    stream.WriteBuffer(out.data(), out.size());
}

void TBitmap::LoadFromStream(TStream& stream) {
    // Every size is checked against what the stream holds before anything is allocated.
    const std::int64_t start = stream.Position();
    const std::int64_t available = stream.Remaining();
    if (available < std::int64_t{kFileHeaderSize + kInfoHeaderSize}) Invalid();
    std::uint8_t header[kFileHeaderSize + kInfoHeaderSize];
    stream.ReadBuffer(header, sizeof header);
    const std::uint8_t* info = header + kFileHeaderSize;
    const std::uint32_t offset = Get32(header + 10);
    const std::uint32_t infoSize = Get32(info);
    const auto width = static_cast<std::int32_t>(Get32(info + 4));
    const auto rawHeight = static_cast<std::int32_t>(Get32(info + 8));
    const std::uint16_t bits = Get16(info + 14);
    const std::uint32_t compression = Get32(info + 16);
    std::uint32_t colorsUsed = Get32(info + 32);
    if (header[0] != 'B' || header[1] != 'M' || Get16(info + 12) != 1 || compression != 0) Invalid();
    if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124) Invalid();
    TPixelFormat format;
    switch (bits) {
        case 1: format = TPixelFormat::pf1bit; break;
        case 4: format = TPixelFormat::pf4bit; break;
        case 8: format = TPixelFormat::pf8bit; break;
        case 24: format = TPixelFormat::pf24bit; break;
        case 32: format = TPixelFormat::pf32bit; break;
        default: Invalid();
    }
    const bool topDown = rawHeight < 0;
    const std::int64_t height = topDown ? -std::int64_t{rawHeight} : rawHeight;
    if (width < 0 || width > kMaxSide || height > kMaxSide) Invalid();
    if (bits > 8) colorsUsed = 0;
    else if (colorsUsed == 0) colorsUsed = 1u << bits;
    if (colorsUsed > (1u << (bits > 8 ? 0 : bits))) Invalid();
    const std::int64_t paletteStart = std::int64_t{kFileHeaderSize} + infoSize;
    const std::int64_t stride = static_cast<std::int64_t>(Stride(width, bits));
    if (paletteStart + std::int64_t{colorsUsed} * 4 > offset || std::int64_t{offset} + stride * height > available)
        Invalid();

    TBitmap read;
    read.width_ = width;
    read.height_ = static_cast<int>(height);
    read.format_ = format;
    read.stride_ = static_cast<std::size_t>(stride);
    std::vector<std::uint8_t> palette(colorsUsed * 4);
    stream.SetPosition(start + paletteStart);
    stream.ReadBuffer(palette.data(), palette.size());
    for (std::size_t i = 0; i < colorsUsed; ++i)
        read.palette_.push_back({palette[i * 4], palette[i * 4 + 1], palette[i * 4 + 2], palette[i * 4 + 3]});
    read.pixels_.resize(static_cast<std::size_t>(stride * height));
    stream.SetPosition(start + offset);
    for (std::int64_t row = 0; row < height; ++row) {
        const std::int64_t y = topDown ? row : height - 1 - row;
        stream.ReadBuffer(read.pixels_.data() + y * stride, static_cast<std::size_t>(stride));
    }
    *this = std::move(read);
}

}  // namespace pavana
