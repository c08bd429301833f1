// The clip reader against another decoder: clips that ffmpeg encodes (uncompressed, in several
// pixel layouts) and our own RLE8 clips, decoded by both, must give the same pixels. Skipped
// where ffmpeg is not installed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ui/AviReader.h"
#include "ui/AviWriter.h"

namespace pavana {
namespace {

bool HaveFfmpeg() { return std::system("command -v ffmpeg >/dev/null 2>&1") == 0; }

std::string Folder() {
    const std::string folder = testing::TempDir() + "avi_cross_check";
    std::filesystem::create_directories(folder);
    return folder;
}

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// Every frame of the clip as ffmpeg decodes it, 0xAARRGGBB.
std::vector<std::uint32_t> DecodedByFfmpeg(const std::string& clip) {
    const std::string raw = clip + ".raw";
    if (!Shell("ffmpeg -v error -y -i '" + clip + "' -f rawvideo -pix_fmt bgra '" + raw + "'")) return {};
    std::ifstream in(raw, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::uint32_t> pixels(bytes.size() / 4);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const auto b = [&](std::size_t k) { return std::uint32_t(std::uint8_t(bytes[4 * i + k])); };
        pixels[i] = b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24);
    }
    return pixels;
}

std::vector<std::uint32_t> DecodedByReader(const std::string& clip) {
    TAviClip reader = TAviClip::LoadFromFile(clip);
    std::vector<std::uint32_t> pixels;
    for (int i = 0; i < reader.FrameCount(); ++i) {
        reader.DecodeNext();
        pixels.insert(pixels.end(), reader.Pixels().begin(), reader.Pixels().end());
    }
    return pixels;
}

TEST(AviCrossCheck, UncompressedClipsEncodedByFfmpeg) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    for (const std::string format : {"bgr24", "bgra", "pal8", "rgb555le"}) {
        const std::string clip = Folder() + "/ff_" + format + ".avi";
        ASSERT_TRUE(
            Shell("ffmpeg -v error -y -f lavfi -i testsrc=size=36x20:rate=10 -frames:v 4 -c:v rawvideo "
                  "-pix_fmt " +
                  format + " '" + clip + "'"))
            << format;
        const std::vector<std::uint32_t> ours = DecodedByReader(clip);
        const std::vector<std::uint32_t> theirs = DecodedByFfmpeg(clip);
        ASSERT_EQ(ours.size(), std::size_t(36 * 20 * 4)) << format;
        EXPECT_TRUE(ours == theirs) << format;
    }
}

TEST(AviCrossCheck, Rle8ClipsWithDeltaFramesDecodeAlikeInFfmpeg) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    const int w = 37, h = 21;
    std::vector<std::uint32_t> palette;
    for (int i = 0; i < 32; ++i) palette.push_back(std::uint32_t(i * 0x070503) & 0xFFFFFF);
    TAviWriter writer(w, h, 8, TAviWriter::Compression::Rle8, palette, 100000);
    std::vector<std::uint8_t> pixels(std::size_t(w * h), 3);
    for (int frame = 0; frame < 6; ++frame) {
        // Runs, literals and untouched stretches that the encoder skips over.
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if ((x + frame) % 9 < 3 || (y == frame && x > 4))
                    pixels[std::size_t(y * w + x)] = std::uint8_t((x * y + frame) % 32);
        writer.AddRle8Frame(pixels, frame == 0);
    }
    const std::string clip = Folder() + "/rle8.avi";
    writer.SaveToFile(clip);
    const std::vector<std::uint32_t> ours = DecodedByReader(clip);
    const std::vector<std::uint32_t> theirs = DecodedByFfmpeg(clip);
    ASSERT_EQ(ours.size(), std::size_t(w * h * 6));
    EXPECT_TRUE(ours == theirs);
}

}  // namespace
}  // namespace pavana
