// Writing silent AVI clips, the counterpart of `TAviClip`.
//
// `TAviWriter` collects the frames of one video stream and lays them out as a RIFF AVI file
// (main and stream headers, a BITMAPINFOHEADER with its palette, the movie list and an
// `idx1` index). Frames are either given as ready chunk data (any DIB coding the header
// announces) or as palette indices that the writer compresses with its RLE8 encoder, as
// delta frames against the previous picture where that is shorter. The clip writer tool
// draws the demo clips with it; tests build clips of every coding the reader knows.
//
// Uses only the standard library. Failures: wrong arguments raise `EInvalidOperation`; a file
// that cannot be written raises `EInOutError`.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "rtl/Exceptions.h"

namespace pavana {

// Compresses one picture of `width` × `height` palette indices (rows top first) as RLE8 data,
// bottom row first as DIBs store it. With `previous` (the picture before, same shape) only the
// pixels that differ are coded and the pen skips over the rest; without it every pixel is.
std::vector<std::uint8_t> EncodeRle8(std::span<const std::uint8_t> indices, std::span<const std::uint8_t> previous,
                                     int width, int height);

class TAviWriter {
public:
    enum class Compression : std::uint32_t { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3 };

    // A stream of `width` × `height` pictures of `bitCount` bits per pixel. `palette` holds
    // 0x00RRGGBB entries for 1- to 8-bit pictures; `masks` the red, green and blue masks of
    // `BitFields`. `topDown` stores a negative height (rows top first).
    TAviWriter(int width, int height, int bitCount, Compression compression, std::vector<std::uint32_t> palette,
               std::uint32_t microsPerFrame, bool topDown = false, std::vector<std::uint32_t> masks = {});

    // Appends a frame chunk holding `data` as they are ("00db" uncompressed, "00dc" otherwise).
    void AddFrameData(std::span<const std::uint8_t> data, bool keyFrame = true);
    // Encodes `indices` (rows top first) with `EncodeRle8` and appends it; frames after the
    // first are coded as deltas unless `keyFrame` is set. Needs an 8-bit RLE8 stream.
    void AddRle8Frame(std::span<const std::uint8_t> indices, bool keyFrame = false);
    // Appends a palette change ("00pc") that sets `colors` (0x00RRGGBB) from entry `first` on.
    void AddPaletteChange(int first, std::span<const std::uint32_t> colors);

    int FrameCount() const { return frames_; }
    // The whole file.
    std::vector<std::uint8_t> Bytes() const;
    void SaveToFile(const std::string& path) const;

private:
    struct Chunk {
        char id[4];
        std::uint32_t flags;
        std::vector<std::uint8_t> data;
    };

    int width_;
    int height_;
    int bitCount_;
    Compression compression_;
    std::vector<std::uint32_t> palette_;
    std::vector<std::uint32_t> masks_;
    std::uint32_t microsPerFrame_;
    bool topDown_;
    std::vector<Chunk> chunks_;
    std::vector<std::uint8_t> previous_;
    int frames_ = 0;
};

}  // namespace pavana
