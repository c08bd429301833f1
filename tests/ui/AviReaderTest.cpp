#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>

#include "ui/AviReader.h"
#include "ui/AviWriter.h"

namespace pavana {
namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;

// A 16-colour palette of distinct colours.
std::vector<std::uint32_t> TestPalette(int count = 16) {
    std::vector<std::uint32_t> palette;
    for (int i = 0; i < count; ++i) {
        palette.push_back(std::uint32_t(i * 37 % 256) << 16 | std::uint32_t(i * 91 % 256) << 8 |
                          std::uint32_t(255 - i * 13 % 256));
    }
    return palette;
}

// Frame `t` of a moving picture: a background, a bar that slides and a noisy corner, so runs,
// literals, skips and row ends all occur.
std::vector<std::uint8_t> MovingPicture(int w, int h, int t) {
    std::vector<std::uint8_t> p(std::size_t(w) * h, 1);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t& v = p[std::size_t(y) * w + x];
            if (x >= (t * 3) % w && x < (t * 3) % w + 5) {
                v = 2 + std::uint8_t(y % 3);
            }
            if (x < 7 && y < 5) {
                v = std::uint8_t((x * 7 + y * 3 + t) % 16);
            }
        }
    }
    return p;
}

std::vector<std::uint32_t> Expected(const std::vector<std::uint8_t>& indices,
                                    const std::vector<std::uint32_t>& palette) {
    std::vector<std::uint32_t> out;
    for (std::uint8_t i : indices) {
        out.push_back(kOpaque | palette[i]);
    }
    return out;
}

std::vector<std::uint32_t> Pixels(const TAviClip& clip) { return {clip.Pixels().begin(), clip.Pixels().end()}; }

std::size_t Find(const std::vector<std::uint8_t>& bytes, const char* code) {
    const auto it = std::search(bytes.begin(), bytes.end(), code, code + 4);
    EXPECT_NE(it, bytes.end()) << code;
    return std::size_t(it - bytes.begin());
}

void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = std::uint8_t(v >> (8 * i));
    }
}

std::vector<std::uint8_t> Rle8Clip(int w, int h, int frames) {
    TAviWriter writer(w, h, 8, TAviWriter::Compression::Rle8, TestPalette(), 50000);
    for (int t = 0; t < frames; ++t) {
        writer.AddRle8Frame(MovingPicture(w, h, t));
    }
    return writer.Bytes();
}

TEST(AviReader, Rle8DeltaFramesDecodeToTheDrawnPicturesAndLoop) {
    const int w = 37, h = 11;
    TAviClip clip = TAviClip::LoadFromMemory(Rle8Clip(w, h, 9));
    ASSERT_EQ(clip.Width(), w);
    ASSERT_EQ(clip.Height(), h);
    ASSERT_EQ(clip.FrameCount(), 9);
    EXPECT_EQ(clip.FrameIntervalMicroseconds(), 50000);
    EXPECT_EQ(clip.CurrentFrame(), -1);
    for (int round = 0; round < 2; ++round) {
        for (int t = 0; t < 9; ++t) {
            clip.DecodeNext();
            ASSERT_EQ(clip.CurrentFrame(), t);
            ASSERT_EQ(Pixels(clip), Expected(MovingPicture(w, h, t), TestPalette()))
                << "frame " << t << " round " << round;
        }
    }
    clip.DecodeNext();
    clip.DecodeNext();
    clip.Rewind();
    clip.DecodeNext();
    EXPECT_EQ(clip.CurrentFrame(), 0);
    EXPECT_EQ(Pixels(clip), Expected(MovingPicture(w, h, 0), TestPalette()));
}

TEST(AviReader, EncoderSkipsUnchangedPixelsAndCodesRuns) {
    const int w = 200, h = 30;
    std::vector<std::uint8_t> a(std::size_t(w) * h, 3);
    std::vector<std::uint8_t> b = a;
    b[5 * w + 100] = 4;
    const auto key = EncodeRle8(a, {}, w, h);
    const auto delta = EncodeRle8(b, a, w, h);
    const auto same = EncodeRle8(a, a, w, h);
    EXPECT_LT(key.size(), std::size_t(h) * 8);  // one run of 200 and an end of row per row
    EXPECT_LT(delta.size(), 16u);
    EXPECT_EQ(same, (std::vector<std::uint8_t>{0, 1}));
}

// Builds one uncompressed frame of `bits` per pixel from 0xRRGGBB colours (rows top first).
std::vector<std::uint8_t> RawFrame(const std::vector<std::uint32_t>& rgb, int w, int h, int bits, bool topDown,
                                   bool packed) {
    const std::size_t stride = packed ? (std::size_t(w) * bits + 7) / 8 : (std::size_t(w) * bits + 31) / 32 * 4;
    std::vector<std::uint8_t> data(stride * h, 0);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = data.data() + stride * (topDown ? y : h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = rgb[std::size_t(y) * w + x];
            const std::uint8_t r = c >> 16, g = c >> 8, b = c;
            switch (bits) {
                case 16: {
                    const std::uint32_t v = (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
                    row[2 * x] = std::uint8_t(v);
                    row[2 * x + 1] = std::uint8_t(v >> 8);
                    break;
                }
                case 24: row[3 * x] = b, row[3 * x + 1] = g, row[3 * x + 2] = r; break;
                case 32: row[4 * x] = b, row[4 * x + 1] = g, row[4 * x + 2] = r, row[4 * x + 3] = 0x55; break;
            }
        }
    }
    return data;
}

TEST(AviReader, UncompressedDirectColourFramesInEveryLayout) {
    const int w = 7, h = 5;
    std::vector<std::uint32_t> rgb;
    for (int i = 0; i < w * h; ++i) {
        rgb.push_back(std::uint32_t(i * 8) << 16 | std::uint32_t(255 - i * 5) << 8 | std::uint32_t(i * 3 % 256 & 0xF8));
    }
    for (int bits : {16, 24, 32}) {
        for (bool topDown : {false, true}) {
            for (bool packed : {false, true}) {
                SCOPED_TRACE(testing::Message() << bits << " bits, top-down " << topDown << ", packed " << packed);
                TAviWriter writer(w, h, bits, TAviWriter::Compression::Rgb, {}, 40000, topDown);
                writer.AddFrameData(RawFrame(rgb, w, h, bits, topDown, packed));
                TAviClip clip = TAviClip::LoadFromMemory(writer.Bytes());
                clip.DecodeNext();
                for (int i = 0; i < w * h; ++i) {
                    std::uint32_t want = rgb[i];
                    if (bits == 16) {  // five bits per channel, widened by repeating the top bits
                        const auto widen = [](std::uint32_t v) { return (v << 3) | (v >> 2); };
                        want = widen(want >> 19 & 31) << 16 | widen(want >> 11 & 31) << 8 | widen(want >> 3 & 31);
                    }
                    ASSERT_EQ(clip.Pixels()[i], kOpaque | want) << "pixel " << i;
                }
            }
        }
    }
}

TEST(AviReader, BitFieldMasksGiveTheChannels) {
    // 5-6-5 sixteen-bit pixels: pure red, green and blue and a middle grey.
    const std::vector<std::uint16_t> raw = {0xF800, 0x07E0, 0x001F, 0x8410};
    std::vector<std::uint8_t> data;
    for (std::uint16_t v : raw) {
        data.push_back(std::uint8_t(v));
        data.push_back(std::uint8_t(v >> 8));
    }
    TAviWriter writer(4, 1, 16, TAviWriter::Compression::BitFields, {}, 40000, false, {0xF800, 0x07E0, 0x001F});
    writer.AddFrameData(data);
    TAviClip clip = TAviClip::LoadFromMemory(writer.Bytes());
    clip.DecodeNext();
    EXPECT_EQ(Pixels(clip), (std::vector<std::uint32_t>{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFF848284u}));
}

TEST(AviReader, PalettizedUncompressedFramesOfOneFourAndEightBits) {
    const int w = 9, h = 3;
    const std::vector<std::uint32_t> palette = TestPalette();
    for (int bits : {1, 4, 8}) {
        SCOPED_TRACE(bits);
        std::vector<std::uint8_t> indices;
        for (int i = 0; i < w * h; ++i) {
            indices.push_back(std::uint8_t((i * 5 + 3) % (1 << std::min(bits, 4))));
        }
        const std::size_t stride = (std::size_t(w) * bits + 31) / 32 * 4;
        std::vector<std::uint8_t> data(stride * h, 0);
        for (int y = 0; y < h; ++y) {
            std::uint8_t* row = data.data() + stride * (h - 1 - y);
            for (int x = 0; x < w; ++x) {
                const std::uint8_t v = indices[std::size_t(y) * w + x];
                if (bits == 8) {
                    row[x] = v;
                } else if (bits == 4) {
                    row[x / 2] |= std::uint8_t(x % 2 ? v : v << 4);
                } else {
                    row[x / 8] |= std::uint8_t(v << (7 - x % 8));
                }
            }
        }
        std::vector<std::uint32_t> pal(palette.begin(), palette.begin() + (1 << std::min(bits, 4)));
        TAviWriter writer(w, h, bits, TAviWriter::Compression::Rgb, pal, 40000);
        writer.AddFrameData(data);
        TAviClip clip = TAviClip::LoadFromMemory(writer.Bytes());
        clip.DecodeNext();
        EXPECT_EQ(Pixels(clip), Expected(indices, palette));
    }
}

TEST(AviReader, Rle4RunsLiteralsSkipsAndRowEnds) {
    // 6 x 3 picture, stored bottom row first:
    //   bottom: run of 5 alternating 1,2 then a literal pixel 3 -> 1 2 1 2 1 3
    //   middle: skip 2 to the right, literal 4 5 6, end of row  -> 0 0 4 5 6 0
    //   top:    run of 6 of 7                                    -> 7 7 7 7 7 7
    const std::vector<std::uint8_t> data = {5, 0x12, 1, 0x30, 0, 0, 0, 2, 2, 0, 0, 3, 0x45, 0x60, 0, 0, 6, 0x77, 0, 1};
    TAviWriter writer(6, 3, 4, TAviWriter::Compression::Rle4, TestPalette(), 40000);
    writer.AddFrameData(data);
    TAviClip clip = TAviClip::LoadFromMemory(writer.Bytes());
    clip.DecodeNext();
    const std::vector<std::uint8_t> want = {7, 7, 7, 7, 7, 7, 0, 0, 4, 5, 6, 0, 1, 2, 1, 2, 1, 3};
    EXPECT_EQ(Pixels(clip), Expected(want, TestPalette()));
}

TEST(AviReader, PaletteChangesRecolourKeptPixelsAndResetOnLoop) {
    const int w = 4, h = 2;
    const std::vector<std::uint32_t> palette = TestPalette(4);
    TAviWriter writer(w, h, 8, TAviWriter::Compression::Rle8, palette, 40000);
    const std::vector<std::uint8_t> picture = {0, 1, 2, 3, 3, 2, 1, 0};
    writer.AddRle8Frame(picture);
    const std::uint32_t newColors[] = {0x102030, 0x405060};
    writer.AddPaletteChange(1, newColors);
    writer.AddRle8Frame(picture);  // an unchanged delta: nothing but the end of the picture
    TAviClip clip = TAviClip::LoadFromMemory(writer.Bytes());
    clip.DecodeNext();
    EXPECT_EQ(Pixels(clip), Expected(picture, palette));
    clip.DecodeNext();
    std::vector<std::uint32_t> changed = palette;
    changed[1] = 0x102030;
    changed[2] = 0x405060;
    EXPECT_EQ(Pixels(clip), Expected(picture, changed));
    clip.DecodeNext();
    EXPECT_EQ(clip.CurrentFrame(), 0);
    EXPECT_EQ(Pixels(clip), Expected(picture, palette));
}

TEST(AviReader, TransparencyKeysOnTheFirstFramesTopLeftColour) {
    const int w = 37, h = 11;
    TAviClip clip = TAviClip::LoadFromMemory(Rle8Clip(w, h, 3));
    const std::vector<std::uint8_t> first = MovingPicture(w, h, 0);
    EXPECT_EQ(clip.KeyColor(), kOpaque | TestPalette()[first[0]]);
    clip.SetTransparent(true);
    for (int t = 0; t < 3; ++t) {
        clip.DecodeNext();
        const std::vector<std::uint32_t> want = Expected(MovingPicture(w, h, t), TestPalette());
        for (std::size_t i = 0; i < want.size(); ++i) {
            ASSERT_EQ(clip.Pixels()[i], want[i] == clip.KeyColor() ? 0u : want[i]) << i;
        }
    }
}

TEST(AviReader, FrameTimingFromMainHeaderElseStreamRate) {
    std::vector<std::uint8_t> bytes = Rle8Clip(8, 4, 2);
    const std::size_t avih = Find(bytes, "avih") + 8;
    const std::size_t strh = Find(bytes, "strh") + 8;
    Put32(bytes, avih, 0);
    Put32(bytes, strh + 20, 1);   // scale
    Put32(bytes, strh + 24, 25);  // rate: 25 frames a second
    EXPECT_EQ(TAviClip::LoadFromMemory(bytes).FrameIntervalMicroseconds(), 40000);
    Put32(bytes, strh + 24, 0);
    EXPECT_EQ(TAviClip::LoadFromMemory(bytes).FrameIntervalMicroseconds(), 100000);
    Put32(bytes, avih, 3);
    EXPECT_EQ(TAviClip::LoadFromMemory(bytes).FrameIntervalMicroseconds(), 1000);
    Put32(bytes, avih, 0xFFFFFFFFu);
    EXPECT_EQ(TAviClip::LoadFromMemory(bytes).FrameIntervalMicroseconds(), 10'000'000);
}

TEST(AviReader, CutFileKeepsTheFramesBeforeTheCut) {
    std::vector<std::uint8_t> bytes = Rle8Clip(20, 6, 6);
    const std::size_t idx1 = Find(bytes, "idx1");
    bytes.resize(idx1 - 3);  // last frame chunk loses its tail, the index is gone
    TAviClip clip = TAviClip::LoadFromMemory(bytes);
    EXPECT_EQ(clip.FrameCount(), 5);
}

void ExpectRejected(std::vector<std::uint8_t> bytes, const char* why) {
    SCOPED_TRACE(why);
    EXPECT_THROW(TAviClip::LoadFromMemory(std::move(bytes)), EAviError);
}

TEST(AviReader, RejectsWhatItCannotPlay) {
    const std::vector<std::uint8_t> good = Rle8Clip(10, 4, 3);
    ExpectRejected({}, "empty");
    ExpectRejected({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, "not AVI");
    ExpectRejected({good.begin(), good.begin() + 40}, "cut in the header");
    {
        auto b = good;
        std::memcpy(&b[Find(b, "vids")], "auds", 4);
        ExpectRejected(b, "no video stream");
    }
    {
        auto b = good;
        Put32(b, Find(b, "strf") + 8 + 16, 0x44495658);  // 'XVID'
        ExpectRejected(b, "unknown compression");
    }
    {
        auto b = good;
        Put32(b, Find(b, "strf") + 8 + 4, 0);
        ExpectRejected(b, "no width");
    }
    {
        auto b = good;
        Put32(b, Find(b, "strf") + 8 + 8, 0x80000000u);
        ExpectRejected(b, "height of INT_MIN");
    }
    {
        auto b = good;
        Put32(b, Find(b, "strf") + 8 + 4, 100000);
        ExpectRejected(b, "huge width");
    }
    {
        auto b = good;
        Put32(b, Find(b, "strf") + 8, 1000);
        ExpectRejected(b, "header size past the format");
    }
    {
        auto b = good;
        std::memcpy(&b[Find(b, "movi")], "junk", 4);
        ExpectRejected(b, "no movie list");
    }
    {
        auto b = good;
        for (std::size_t p = Find(b, "00dc"); p + 4 <= b.size(); ++p) {
            if (std::memcmp(&b[p], "00dc", 4) == 0) {
                std::memcpy(&b[p], "01dc", 4);
            }
        }
        ExpectRejected(b, "no frames of the video stream");
    }
}

std::vector<std::uint8_t> OneRle8Frame(int w, int h, std::vector<std::uint8_t> data) {
    TAviWriter writer(w, h, 8, TAviWriter::Compression::Rle8, TestPalette(), 40000);
    writer.AddFrameData(data);
    return writer.Bytes();
}

TEST(AviReader, RejectsRleThatPaintsOutsideThePicture) {
    ExpectRejected(OneRle8Frame(4, 2, {5, 1, 0, 1}), "run past the row");
    ExpectRejected(OneRle8Frame(4, 2, {0, 3, 1, 2}), "literal cut short");
    ExpectRejected(OneRle8Frame(4, 2, {0, 2, 5, 0}), "skip past the row");
    ExpectRejected(OneRle8Frame(4, 2, {0, 0, 0, 0, 1, 1}), "run above the top row");
    ExpectRejected(OneRle8Frame(4, 2, {0, 2, 0, 255, 1, 1}), "skip above the top row");
    ExpectRejected(OneRle8Frame(4, 2, {0, 2, 1}), "skip cut short");
    // The end of the data ends the picture even without its end code.
    TAviClip clip = TAviClip::LoadFromMemory(OneRle8Frame(4, 2, {4, 3}));
    clip.DecodeNext();
    EXPECT_EQ(clip.Pixels()[4], kOpaque | TestPalette()[3]);
    EXPECT_EQ(clip.Pixels()[0], kOpaque | TestPalette()[0]);
}

TEST(AviReader, RejectsShortFramesAndBadPaletteChanges) {
    {
        TAviWriter writer(8, 8, 24, TAviWriter::Compression::Rgb, {}, 40000);
        writer.AddFrameData(std::vector<std::uint8_t>(8 * 8 * 3 - 1, 0));
        ExpectRejected(writer.Bytes(), "frame shorter than the picture");
    }
    {
        TAviWriter writer(8, 8, 24, TAviWriter::Compression::Rgb, {}, 40000);
        writer.AddFrameData({});
        TAviClip clip = TAviClip::LoadFromMemory(writer.Bytes());
        clip.DecodeNext();
        EXPECT_EQ(clip.Pixels()[0], 0u) << "an empty first frame shows nothing";
    }
    for (const std::vector<std::uint8_t>& change :
         {std::vector<std::uint8_t>{250, 10, 0, 0, 1, 2, 3, 0}, {0, 3, 0, 0, 1, 2, 3, 0}}) {
        std::vector<std::uint8_t> b = Rle8Clip(6, 2, 2);
        std::vector<std::uint8_t> chunk = {'0', '0', 'p', 'c', std::uint8_t(change.size()), 0, 0, 0};
        chunk.insert(chunk.end(), change.begin(), change.end());
        const std::size_t at = Find(b, "movi") + 4;
        b.insert(b.begin() + std::ptrdiff_t(at), chunk.begin(), chunk.end());
        Put32(b, Find(b, "movi") - 4, 0x100000);  // the list may run to the end of the file
        Put32(b, 4, std::uint32_t(b.size() - 8));
        ExpectRejected(b, "bad palette change");
    }
}

TEST(AviReader, RandomCorruptionIsRejectedOrPlayedNeverMisread) {
    const std::vector<std::uint8_t> good = Rle8Clip(23, 9, 5);
    std::mt19937 random(12345);
    int loaded = 0;
    for (int round = 0; round < 400; ++round) {
        std::vector<std::uint8_t> b = good;
        const int flips = 1 + int(random() % 6);
        for (int i = 0; i < flips; ++i) {
            b[random() % b.size()] = std::uint8_t(random());
        }
        if (random() % 4 == 0) {
            b.resize(random() % b.size());
        }
        try {
            TAviClip clip = TAviClip::LoadFromMemory(b);
            for (int i = 0; i <= clip.FrameCount(); ++i) {
                clip.DecodeNext();
            }
            ASSERT_EQ(clip.Pixels().size(), std::size_t(clip.Width()) * clip.Height());
            ++loaded;
        } catch (const EAviError&) {
        }
    }
    EXPECT_GT(loaded, 0);
}

TEST(AviReader, FilesThatAreMissingOrNotFilesCannotBeOpened) {
    const std::string dir = testing::TempDir();
    EXPECT_THROW(TAviClip::LoadFromFile(dir + "/no-such-clip.avi"), EFOpenError);
    EXPECT_THROW(TAviClip::LoadFromFile(dir), EFOpenError);
    const std::string path = dir + "/avi-reader-test.avi";
    TAviWriter writer(10, 4, 8, TAviWriter::Compression::Rle8, TestPalette(), 40000);
    writer.AddRle8Frame(MovingPicture(10, 4, 0));
    writer.SaveToFile(path);
    EXPECT_EQ(TAviClip::LoadFromFile(path).FrameCount(), 1);
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fputs("plain text, not a clip", f);
        std::fclose(f);
    }
    try {
        TAviClip::LoadFromFile(path);
        FAIL() << "a text file loaded as a clip";
    } catch (const EAviError& e) {
        EXPECT_NE(e.Message().find(path), std::string::npos) << e.Message();
    }
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace pavana
