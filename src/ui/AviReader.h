// Reading and decoding silent AVI clips into 32-bit frames.
//
// `TAviClip` parses a RIFF AVI file (the `hdrl` list with `avih` and one `strl` per stream,
// the `movi` list, with or without an `idx1` index) and decodes the first video stream frame
// by frame into a frame buffer of 0xAARRGGBB pixels, top row first. Frames may be
// uncompressed DIBs of 1, 4, 8, 16, 24 or 32 bits per pixel (16 and 32 bits also with bit
// field masks), or RLE8 / RLE4 compressed, bottom-up or top-down; palettized streams may
// change their palette between frames. Other streams (sound) are ignored.
//
// Clips come from a folder the user names, so the bytes are untrusted: every length is
// checked against its container, nothing is read outside the file's bytes, and the sizes of
// the file, the picture and the frame table are bounded. Loading decodes every frame once, so
// a clip that loads also plays to its end: a defect anywhere in it fails the load with
// `EAviError`, never later during playback.
//
// The class uses only the standard library, so it can be fuzzed and benchmarked on its own.
// It owns the file's bytes and all its buffers; copying is disabled, moving is allowed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "rtl/Exceptions.h"

namespace pavana {

// A file is not a clip the reader can play; the message says why.
class EAviError : public Exception {
public:
    using Exception::Exception;
};

class TAviClip {
public:
    // Limits for untrusted files.
    static constexpr std::size_t kMaxFileSize = 64u << 20;
    static constexpr int kMaxDimension = 4096;
    static constexpr int kMaxFrames = 100000;

    // Reads and checks the clip in `path`. A file that cannot be read raises `EFOpenError`
    // ("Cannot open file <path>"); one that is not a playable clip raises `EAviError`.
    static TAviClip LoadFromFile(const std::string& path);
    // Parses and checks the clip held in `bytes`; raises `EAviError` when it is not playable.
    static TAviClip LoadFromMemory(std::vector<std::uint8_t> bytes);

    TAviClip(TAviClip&&) noexcept;
    TAviClip& operator=(TAviClip&&) noexcept;
    TAviClip(const TAviClip&) = delete;
    TAviClip& operator=(const TAviClip&) = delete;
    ~TAviClip();

    int Width() const { return width_; }
    int Height() const { return height_; }
    int FrameCount() const { return static_cast<int>(frames_.size()); }
    // Time each frame stays on screen: the main header's microseconds per frame, else the
    // stream's scale / rate; kept within 1 ms and 10 s.
    std::int64_t FrameIntervalMicroseconds() const { return intervalUs_; }
    // The colour of the first frame's top-left pixel (0xFFRRGGBB): the key colour that a
    // transparent clip does not paint.
    std::uint32_t KeyColor() const { return keyColor_; }

    // When on, pixels of the key colour come out as 0 (fully transparent, also valid as
    // premultiplied alpha); otherwise every pixel has alpha 0xFF. Off by default; applies
    // from the next decoded frame on.
    void SetTransparent(bool on) { transparent_ = on; }
    bool Transparent() const { return transparent_; }

    // Decodes the next frame into `Pixels()`: frame 0 after loading or `Rewind`, then 1, 2, ...
    // and frame 0 again after the last one, so calling it forever loops the clip.
    void DecodeNext();
    // Makes the next `DecodeNext` produce frame 0 again.
    void Rewind();
    // Index of the frame in `Pixels()`; -1 before the first `DecodeNext`.
    int CurrentFrame() const { return current_; }
    // Width × Height pixels, rows top first; all 0 before the first `DecodeNext`.
    std::span<const std::uint32_t> Pixels() const { return pixels_; }

private:
    enum class Coding { Indexed, Rle8, Rle4, Direct16, Direct24, Direct32 };
    enum class ChunkKind : std::uint8_t { Frame, PaletteChange };
    struct Chunk {
        std::uint32_t offset;
        std::uint32_t size;
        ChunkKind kind;
    };
    struct Channel {
        std::uint32_t mask = 0;
        int shift = 0;
        int bits = 0;
        std::vector<std::uint8_t> scale;  // value >> shift to 8 bits, for fields up to 8 bits
    };

    TAviClip() = default;
    void Parse();
    void ParseHeaderList(std::size_t begin, std::size_t end);
    void ParseStreamFormat(std::size_t begin, std::size_t size);
    void ScanMovie(std::size_t begin, std::size_t end, int depth);
    void SetChannels(std::uint32_t red, std::uint32_t green, std::uint32_t blue);
    void Verify();

    // Moves to the next frame: applies the palette changes before it, decodes it and, when
    // `convert` is set, renders it into `pixels_`.
    void Step(bool convert);
    void DecodeFrameData(const Chunk& chunk, bool convert);
    void ApplyPaletteChange(const Chunk& chunk);
    void DecodeRle(std::span<const std::uint8_t> data, bool fourBit);
    void UnpackIndexed(std::span<const std::uint8_t> data);
    void ConvertIndexed();
    void ConvertDirect(std::span<const std::uint8_t> data);
    std::uint32_t DirectPixel(std::uint32_t raw) const;
    std::size_t StoredRow(int outputRow) const;
    std::size_t Stride(std::size_t dataSize) const;
    void ResetState();

    std::vector<std::uint8_t> bytes_;
    int width_ = 0;
    int height_ = 0;
    bool bottomUp_ = true;
    int bitCount_ = 0;
    Coding coding_ = Coding::Indexed;
    std::int64_t intervalUs_ = 0;
    std::uint32_t mainMicrosPerFrame_ = 0;
    int videoStream_ = -1;
    std::uint32_t streamScale_ = 0;
    std::uint32_t streamRate_ = 0;
    Channel red_, green_, blue_;

    std::vector<std::uint32_t> basePalette_;  // 256 entries, 0x00RRGGBB
    std::vector<std::uint32_t> palette_;
    std::vector<Chunk> chunks_;
    std::vector<std::size_t> frames_;    // chunk index of each frame
    std::vector<std::uint8_t> indices_;  // stored-order index buffer of palettized codings
    std::vector<std::uint32_t> pixels_;
    std::uint32_t keyColor_ = 0xFF000000u;
    bool transparent_ = false;
    std::size_t nextChunk_ = 0;
    int current_ = -1;
};

}  // namespace pavana
