#include <gtest/gtest.h>

#include <cstring>

#include "rtl/Bitmap.h"
#include "rtl/Streams.h"

namespace pavana {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Saved(const TBitmap& bitmap) {
    TMemoryStream stream;
    bitmap.SaveToStream(stream);
    return stream.Bytes();
}

TBitmap Loaded(Bytes bytes) {
    TMemoryStream stream(std::move(bytes));
    TBitmap bitmap;
    bitmap.LoadFromStream(stream);
    return bitmap;
}

std::uint32_t U32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t{b[at + 3]} << 24;
}

TEST(TBitmap, SavesAnUncompressedFileWithRowsBottomUp) {
    TBitmap bitmap(3, 2);
    bitmap.SetPixel(0, 0, 0x0000FF);  // red, top left
    bitmap.SetPixel(2, 1, 0xFF0000);  // blue, bottom right
    const Bytes file = Saved(bitmap);
    ASSERT_EQ(file.size(), 54u + 2 * 12);  // each row of 9 bytes padded to 12
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(U32(file, 2), file.size());
    EXPECT_EQ(U32(file, 10), 54u);
    EXPECT_EQ(U32(file, 14), 40u);
    EXPECT_EQ(U32(file, 18), 3u);
    EXPECT_EQ(U32(file, 22), 2u);
    EXPECT_EQ(file[28], 24);
    EXPECT_EQ(U32(file, 34), 24u);
    // The bottom row comes first: its last pixel is blue (bytes blue, green, red).
    EXPECT_EQ((Bytes(file.begin() + 54 + 6, file.begin() + 54 + 9)), (Bytes{0xFF, 0, 0}));
    EXPECT_EQ((Bytes(file.begin() + 66, file.begin() + 69)), (Bytes{0, 0, 0xFF}));
    EXPECT_EQ(Loaded(file), bitmap);
}

TEST(TBitmap, EveryPixelFormatRoundTrips) {
    for (TPixelFormat format : {TPixelFormat::pf1bit, TPixelFormat::pf4bit, TPixelFormat::pf8bit, TPixelFormat::pf24bit,
                                TPixelFormat::pf32bit}) {
        TBitmap bitmap(5, 3, format);
        if (format == TPixelFormat::pf4bit) bitmap.SetPalette({{0, 0, 0, 0}, {0, 0, 255, 0}, {255, 0, 0, 0}});
        bitmap.SetPixel(1, 0, 0xFFFFFF);
        bitmap.SetPixel(4, 2, 0x0000F0);  // nearest entry in a palette
        const TBitmap read = Loaded(Saved(bitmap));
        EXPECT_EQ(read, bitmap) << bitmap.BitsPerPixel();
        EXPECT_EQ(read.Pixel(0, 0), 0u);
    }
    TBitmap grey(2, 1, TPixelFormat::pf1bit);
    grey.SetPixel(1, 0, 0x808080);
    EXPECT_EQ(grey.Pixel(1, 0), 0xFFFFFFu);
    TBitmap red(1, 1, TPixelFormat::pf4bit);
    red.SetPalette({{0, 0, 0, 0}, {0, 0, 255, 0}});
    red.SetPixel(0, 0, 0x0000F0);
    EXPECT_EQ(red.Pixel(0, 0), 0x0000FFu);
    EXPECT_THROW(red.SetPalette(std::vector<TRGBQuad>(17)), EInvalidGraphic);
    EXPECT_THROW(red.Pixel(1, 0), EInvalidGraphic);
}

TEST(TBitmap, ReadsTopDownFilesAndRefusesMalformedOnes) {
    TBitmap bitmap(2, 2, TPixelFormat::pf8bit);
    bitmap.SetPixel(0, 0, 0xFFFFFF);
    Bytes file = Saved(bitmap);
    Bytes topDown = file;
    const std::int32_t negative = -2;
    std::memcpy(topDown.data() + 22, &negative, 4);
    EXPECT_EQ(Loaded(topDown).Pixel(0, 1), 0xFFFFFFu);  // the first row stored is the top now

    auto corrupt = [&](std::size_t at, std::vector<std::uint8_t> bytes) {
        Bytes bad = file;
        std::copy(bytes.begin(), bytes.end(), bad.begin() + static_cast<std::ptrdiff_t>(at));
        return bad;
    };
    const std::vector<Bytes> malformed = {
        Bytes(file.begin(), file.end() - 1),  // cut short
        Bytes(file.begin(), file.begin() + 20),
        corrupt(0, {'B', 'A'}),
        corrupt(10, {0xFF, 0xFF, 0xFF, 0x7F}),  // rows past the end
        corrupt(18, {0xFF, 0xFF, 0xFF, 0x7F}),  // absurd width
        corrupt(28, {16}),                      // bits per pixel without a reader
        corrupt(30, {1}),                       // run-length compressed
        corrupt(46, {0x01, 0x01}),              // 257 palette entries
        corrupt(14, {41}),                      // unknown header size
    };
    for (const Bytes& bad : malformed) {
        TMemoryStream stream(bad);
        TBitmap kept(1, 1);
        EXPECT_THROW(kept.LoadFromStream(stream), EInvalidGraphic);
        EXPECT_EQ(kept, TBitmap(1, 1));
    }
}

}  // namespace
}  // namespace pavana
