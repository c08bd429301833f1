// The clip writer tool: the three demo clips it writes are playable, keyed and animated.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "ui/AviReader.h"

namespace pavana {
namespace {

int RunClipWriter(const std::string& arguments) {
    return std::system((std::string(CLIPWRITER_PATH) + " " + arguments + " >/dev/null 2>&1").c_str());
}

TEST(ClipWriter, WritesThreePlayableLoopingClipsWithAKeyedBackground) {
    const std::string folder = testing::TempDir() + "clipwriter_out/new";
    std::filesystem::remove_all(folder);
    ASSERT_EQ(RunClipWriter(folder), 0);
    for (const char* name : {"anmNenhum.avi", "anmGenerica.avi", "anmInternet.avi"}) {
        TAviClip clip = TAviClip::LoadFromFile(folder + "/" + name);
        EXPECT_LE(clip.Height(), 52) << name;  // fits the progress window's animation area
        EXPECT_LE(clip.Width(), 289) << name;
        EXPECT_EQ(clip.FrameIntervalMicroseconds(), 100000) << name;
        EXPECT_EQ(clip.KeyColor(), 0xFFFF00FFu) << name;
        ASSERT_GE(clip.FrameCount(), 8) << name;
        clip.SetTransparent(true);
        std::set<std::vector<std::uint32_t>> distinct;
        for (int i = 0; i < clip.FrameCount(); ++i) {
            clip.DecodeNext();
            const auto pixels = clip.Pixels();
            distinct.emplace(pixels.begin(), pixels.end());
            EXPECT_EQ(pixels[0], 0u) << name;  // the corner is background in every frame
        }
        EXPECT_EQ(int(distinct.size()), clip.FrameCount()) << name << ": every frame differs";
    }
}

}  // namespace
}  // namespace pavana
