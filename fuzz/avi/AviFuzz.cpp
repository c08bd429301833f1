// Feeds arbitrary bytes to the clip reader: a load either fails with EAviError or gives a clip
// whose every frame (and the wrap back to the first) decodes, with and without transparency.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ui/AviReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        pavana::TAviClip clip = pavana::TAviClip::LoadFromMemory(std::vector<std::uint8_t>(data, data + size));
        clip.SetTransparent(size % 2 == 0);
        for (int i = 0; i <= clip.FrameCount() && i < 64; ++i) {
            clip.DecodeNext();
        }
        if (clip.Pixels().size() != std::size_t(clip.Width()) * std::size_t(clip.Height())) {
            __builtin_trap();
        }
    } catch (const pavana::EAviError&) {
    }
    return 0;
}
