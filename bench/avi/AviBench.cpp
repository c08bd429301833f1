// Decoding one frame of a 320 x 240 RLE8 clip, as the animation control does on each tick:
// key frames only (every pixel coded) and delta frames (a moving picture over a still
// background), with and without the key colour made transparent.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "ui/AviReader.h"
#include "ui/AviWriter.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kFrames = 32;

// A background of bands with a disc moving across it.
std::vector<std::uint8_t> Picture(int frame) {
    std::vector<std::uint8_t> pixels(std::size_t(kWidth) * kHeight);
    const double cx = 40 + frame * 7.5, cy = 120 + 60 * std::sin(frame * 0.4);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const double dx = x - cx, dy = y - cy;
            pixels[std::size_t(y) * kWidth + x] =
                dx * dx + dy * dy < 900 ? std::uint8_t(200 + (x + y) % 40) : std::uint8_t((y / 12 + x / 40) % 16);
        }
    return pixels;
}

pavana::TAviClip MakeClip(bool keyFramesOnly) {
    std::vector<std::uint32_t> palette(256);
    for (int i = 0; i < 256; ++i) palette[std::size_t(i)] = std::uint32_t(i * 0x010305) & 0xFFFFFF;
    pavana::TAviWriter writer(kWidth, kHeight, 8, pavana::TAviWriter::Compression::Rle8, palette, 66666);
    for (int frame = 0; frame < kFrames; ++frame) writer.AddRle8Frame(Picture(frame), keyFramesOnly || frame == 0);
    return pavana::TAviClip::LoadFromMemory(writer.Bytes());
}

void DecodeFrame(benchmark::State& state) {
    pavana::TAviClip clip = MakeClip(state.range(0) != 0);
    clip.SetTransparent(state.range(1) != 0);
    for (auto _ : state) {
        clip.DecodeNext();
        benchmark::DoNotOptimize(clip.Pixels().data());
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(DecodeFrame)
    ->ArgNames({"keyframes", "transparent"})
    ->Args({1, 0})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
