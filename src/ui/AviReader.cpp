#include "ui/AviReader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "rtl/Format.h"

// File layout (all numbers little endian). A chunk is a four-character code, a 32-bit size
// and that many bytes, padded to an even length; a LIST chunk starts its data with a list
// type and holds further chunks:
//
//   RIFF 'AVI '
//     LIST 'hdrl'   avih (main header: microseconds per frame first)
//                   LIST 'strl' per stream: strh (stream header: type, handler, flags,
//                               priority, language, initial frames, scale, rate, ...)
//                               strf (for video a BITMAPINFOHEADER, then masks or palette)
//     LIST 'movi'   "##db" / "##dc" frame chunks and "##pc" palette changes of stream ##,
//                   possibly grouped in LIST 'rec ' chunks
//     idx1          optional index; the movie list itself is authoritative, so it is skipped
//
// Frame data are DIB pixel rows, bottom row first unless the format's height is negative.
// RLE8 and RLE4 data are pairs: (n > 0, value) paints n pixels; (0, 0) ends a row; (0, 1)
// ends the picture; (0, 2, dx, dy) moves the pen right and up; (0, n >= 3) is followed by n
// literal pixels padded to an even number of bytes. RLE frames may be deltas: pixels they do
// not paint keep the previous frame's value, which is why the reader keeps an index buffer
// and decodes frames in order.

namespace pavana {

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitFields = 3;
constexpr std::size_t kBitmapInfoSize = 40;
constexpr std::int64_t kMinIntervalUs = 1000;
constexpr std::int64_t kMaxIntervalUs = 10'000'000;
constexpr std::int64_t kDefaultIntervalUs = 100'000;

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

bool IsCode(const std::uint8_t* p, std::string_view code) { return std::memcmp(p, code.data(), 4) == 0; }

// A four-character code for messages: its letters when printable, else its number.
std::string CodeText(std::uint32_t code) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((code >> (8 * i)) & 0xFF);
        if (c < 0x20 || c > 0x7E) {
            return Format("%u", {code});
        }
        text += c;
    }
    return "'" + text + "'";
}

// One chunk header inside [pos, end): where its data are and where the next chunk starts.
struct ChunkView {
    const std::uint8_t* header;
    std::size_t data;
    std::size_t size;
    std::size_t next;
};

// Reads the chunk at `pos`; false when fewer than 8 bytes remain. The data may run past
// `end`; callers decide whether that is an error or a cut.
bool ReadChunk(const std::vector<std::uint8_t>& bytes, std::size_t pos, std::size_t end, ChunkView& chunk) {
    if (end < 8 || pos > end - 8) {
        return false;
    }
    chunk.header = bytes.data() + pos;
    chunk.data = pos + 8;
    chunk.size = Le32(chunk.header + 4);
    chunk.next = chunk.data + chunk.size + (chunk.size & 1);
    return true;
}

[[noreturn]] void Fail(std::string message) { throw EAviError(std::move(message)); }

}  // namespace

TAviClip::TAviClip(TAviClip&&) noexcept = default;
TAviClip& TAviClip::operator=(TAviClip&&) noexcept = default;
TAviClip::~TAviClip() = default;

TAviClip TAviClip::LoadFromFile(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        throw EFOpenError(Format("Cannot open file %s", {path}));
    }
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        throw EFOpenError(Format("Cannot open file %s", {path}));
    }
    const std::streamoff length = in.tellg();
    if (length < 0) {
        throw EFOpenError(Format("Cannot open file %s", {path}));
    }
    if (static_cast<std::uint64_t>(length) > kMaxFileSize) {
        Fail(Format("The clip %s is larger than %u bytes.", {path, kMaxFileSize}));
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), length)) {
        throw EFOpenError(Format("Cannot open file %s", {path}));
    }
    try {
        return LoadFromMemory(std::move(bytes));
    } catch (const EAviError& e) {
        Fail(Format("%s is not a clip that can be played: %s", {path, e.Message()}));
    }
}

TAviClip TAviClip::LoadFromMemory(std::vector<std::uint8_t> bytes) {
    if (bytes.size() > kMaxFileSize) {
        Fail(Format("The clip is larger than %u bytes.", {kMaxFileSize}));
    }
    TAviClip clip;
    clip.bytes_ = std::move(bytes);
    clip.Parse();
    clip.Verify();
    return clip;
}

void TAviClip::Parse() {
    if (bytes_.size() < 12 || !IsCode(bytes_.data(), "RIFF") || !IsCode(bytes_.data() + 8, "AVI ")) {
        Fail("The file is not a RIFF AVI file.");
    }
    // A RIFF size beyond the file is a cut file: read what is there.
    const std::size_t riffEnd = std::min<std::size_t>(bytes_.size(), std::size_t{8} + Le32(bytes_.data() + 4));
    bool haveHeader = false;
    bool haveMovie = false;
    std::size_t movieBegin = 0;
    std::size_t movieEnd = 0;
    ChunkView chunk;
    for (std::size_t pos = 12; ReadChunk(bytes_, pos, riffEnd, chunk); pos = chunk.next) {
        const std::size_t dataEnd = std::min(riffEnd, chunk.data + chunk.size);
        if (IsCode(chunk.header, "LIST") && dataEnd - chunk.data >= 4) {
            const std::uint8_t* type = bytes_.data() + chunk.data;
            if (IsCode(type, "hdrl") && !haveHeader) {
                ParseHeaderList(chunk.data + 4, dataEnd);
                haveHeader = true;
            } else if (IsCode(type, "movi") && !haveMovie) {
                movieBegin = chunk.data + 4;
                movieEnd = dataEnd;
                haveMovie = true;
            }
        }
        if (chunk.next >= riffEnd) {
            break;
        }
    }
    if (!haveHeader) {
        Fail("The file has no header list.");
    }
    if (videoStream_ < 0) {
        Fail("The file has no video stream.");
    }
    if (!haveMovie) {
        Fail("The file has no movie data.");
    }
    ScanMovie(movieBegin, movieEnd, 0);
    if (frames_.empty()) {
        Fail("The clip has no frames.");
    }

    std::int64_t interval = mainMicrosPerFrame_;
    if (interval == 0 && streamRate_ != 0 && streamScale_ != 0) {
        interval = std::int64_t{streamScale_} * 1'000'000 / streamRate_;
    }
    intervalUs_ = interval == 0 ? kDefaultIntervalUs : std::clamp(interval, kMinIntervalUs, kMaxIntervalUs);

    const std::size_t area = std::size_t(width_) * std::size_t(height_);
    pixels_.assign(area, 0);
    if (coding_ == Coding::Indexed || coding_ == Coding::Rle8 || coding_ == Coding::Rle4) {
        indices_.assign(area, 0);
    }
}

void TAviClip::ParseHeaderList(std::size_t begin, std::size_t end) {
    int streamNumber = 0;
    ChunkView chunk;
    for (std::size_t pos = begin; ReadChunk(bytes_, pos, end, chunk); pos = chunk.next) {
        if (chunk.size > end - chunk.data) {
            Fail("The header list is cut short.");
        }
        if (IsCode(chunk.header, "avih") && chunk.size >= 4) {
            mainMicrosPerFrame_ = Le32(bytes_.data() + chunk.data);
        } else if (IsCode(chunk.header, "LIST") && chunk.size >= 4 && IsCode(bytes_.data() + chunk.data, "strl")) {
            const std::size_t listEnd = chunk.data + chunk.size;
            bool video = false;
            std::uint32_t scale = 0;
            std::uint32_t rate = 0;
            std::size_t formatBegin = 0;
            std::size_t formatSize = 0;
            bool haveFormat = false;
            ChunkView sub;
            for (std::size_t p = chunk.data + 4; ReadChunk(bytes_, p, listEnd, sub); p = sub.next) {
                if (sub.size > listEnd - sub.data) {
                    Fail("A stream header list is cut short.");
                }
                const std::uint8_t* data = bytes_.data() + sub.data;
                if (IsCode(sub.header, "strh") && sub.size >= 28) {
                    video = IsCode(data, "vids");
                    scale = Le32(data + 20);
                    rate = Le32(data + 24);
                } else if (IsCode(sub.header, "strf") && !haveFormat) {
                    formatBegin = sub.data;
                    formatSize = sub.size;
                    haveFormat = true;
                }
            }
            // Chunk ids carry the stream number in two digits: later streams are unreachable.
            if (video && videoStream_ < 0 && streamNumber < 100) {
                if (!haveFormat) {
                    Fail("The video stream has no format.");
                }
                videoStream_ = streamNumber;
                streamScale_ = scale;
                streamRate_ = rate;
                ParseStreamFormat(formatBegin, formatSize);
            }
            ++streamNumber;
        }
    }
}

void TAviClip::ParseStreamFormat(std::size_t begin, std::size_t size) {
    if (size < kBitmapInfoSize) {
        Fail("The video format is too short.");
    }
    const std::uint8_t* f = bytes_.data() + begin;
    const std::uint32_t headerSize = Le32(f);
    if (headerSize < kBitmapInfoSize || headerSize > size) {
        Fail("The video format has a wrong header size.");
    }
    const auto width = static_cast<std::int32_t>(Le32(f + 4));
    const auto height = static_cast<std::int32_t>(Le32(f + 8));
    bitCount_ = Le16(f + 14);
    const std::uint32_t compression = Le32(f + 16);
    const std::uint32_t colorsUsed = Le32(f + 32);
    const std::int64_t absHeight = height < 0 ? -std::int64_t{height} : std::int64_t{height};
    if (width <= 0 || width > kMaxDimension || absHeight == 0 || absHeight > kMaxDimension) {
        Fail(Format("A picture of %d x %d pixels is not supported.", {width, static_cast<long long>(height)}));
    }
    width_ = width;
    height_ = static_cast<int>(absHeight);
    bottomUp_ = height > 0;

    if (compression == kBiRgb) {
        switch (bitCount_) {
            case 1:
            case 4:
            case 8: coding_ = Coding::Indexed; break;
            case 16:
                coding_ = Coding::Direct16;
                SetChannels(0x7C00, 0x03E0, 0x001F);
                break;
            case 24: coding_ = Coding::Direct24; break;
            case 32:
                coding_ = Coding::Direct32;
                SetChannels(0xFF0000, 0xFF00, 0xFF);
                break;
            default: Fail(Format("Frames of %d bits per pixel are not supported.", {bitCount_}));
        }
    } else if (compression == kBiRle8 && bitCount_ == 8) {
        coding_ = Coding::Rle8;
    } else if (compression == kBiRle4 && bitCount_ == 4) {
        coding_ = Coding::Rle4;
    } else if (compression == kBiBitFields && (bitCount_ == 16 || bitCount_ == 32)) {
        // The three masks close a 40-byte header; longer headers hold them in place.
        if (headerSize == kBitmapInfoSize && size < kBitmapInfoSize + 12) {
            Fail("The video format lacks its colour masks.");
        }
        coding_ = bitCount_ == 16 ? Coding::Direct16 : Coding::Direct32;
        SetChannels(Le32(f + 40), Le32(f + 44), Le32(f + 48));
    } else if (compression == kBiRle8 || compression == kBiRle4 || compression == kBiBitFields) {
        Fail(Format("Compression %u with %d bits per pixel is not supported.", {compression, bitCount_}));
    } else {
        Fail(Format("The video compression %s is not supported.", {CodeText(compression)}));
    }

    basePalette_.assign(256, 0);
    if (bitCount_ <= 8) {
        // A short palette leaves the remaining entries black.
        const std::size_t wanted = colorsUsed != 0 ? colorsUsed : std::size_t{1} << bitCount_;
        const std::size_t count = std::min({wanted, (size - headerSize) / 4, std::size_t{256}});
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* q = f + headerSize + 4 * i;
            basePalette_[i] = (std::uint32_t{q[2]} << 16) | (std::uint32_t{q[1]} << 8) | q[0];
        }
    }
}

void TAviClip::SetChannels(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    for (auto [channel, mask] : {std::pair{&red_, red}, {&green_, green}, {&blue_, blue}}) {
        channel->mask = mask;
        channel->shift = mask == 0 ? 0 : std::countr_zero(mask);
        channel->bits = mask == 0 ? 0 : std::bit_width(mask >> channel->shift);
        channel->scale.clear();
        if (channel->bits > 0 && channel->bits <= 8) {
            // Widen by repeating the field's bits, so 0 stays 0 and the top value gives 255.
            const std::uint32_t top = (1u << channel->bits) - 1;
            channel->scale.resize(top + 1);
            for (std::uint32_t v = 0; v <= top; ++v) {
                std::uint32_t wide = v << (8 - channel->bits);
                for (int filled = channel->bits; filled < 8; filled *= 2) {
                    wide |= wide >> filled;
                }
                channel->scale[v] = static_cast<std::uint8_t>(wide);
            }
        }
    }
}

void TAviClip::ScanMovie(std::size_t begin, std::size_t end, int depth) {
    ChunkView chunk;
    for (std::size_t pos = begin; ReadChunk(bytes_, pos, end, chunk); pos = chunk.next) {
        if (chunk.size > end - chunk.data) {
            break;  // a cut file: the frames before the cut still play
        }
        const std::uint8_t* id = chunk.header;
        if (IsCode(id, "LIST")) {
            if (depth == 0 && chunk.size >= 4 && IsCode(bytes_.data() + chunk.data, "rec ")) {
                ScanMovie(chunk.data + 4, chunk.data + chunk.size, depth + 1);
            }
            continue;
        }
        if (id[0] < '0' || id[0] > '9' || id[1] < '0' || id[1] > '9' ||
            (id[0] - '0') * 10 + (id[1] - '0') != videoStream_) {
            continue;
        }
        ChunkKind kind;
        if ((id[2] == 'd' && id[3] == 'b') || (id[2] == 'd' && id[3] == 'c')) {
            kind = ChunkKind::Frame;
        } else if (id[2] == 'p' && id[3] == 'c') {
            kind = ChunkKind::PaletteChange;
        } else {
            continue;
        }
        if (chunks_.size() >= std::size_t{2} * kMaxFrames) {
            Fail(Format("The clip has more than %d frames.", {kMaxFrames}));
        }
        if (kind == ChunkKind::Frame) {
            if (frames_.size() >= std::size_t(kMaxFrames)) {
                Fail(Format("The clip has more than %d frames.", {kMaxFrames}));
            }
            frames_.push_back(chunks_.size());
        }
        chunks_.push_back({static_cast<std::uint32_t>(chunk.data), static_cast<std::uint32_t>(chunk.size), kind});
    }
}

void TAviClip::Verify() {
    ResetState();
    Step(true);
    keyColor_ = pixels_[0] | 0xFF000000u;
    for (int i = 1; i < FrameCount(); ++i) {
        Step(false);
    }
    ResetState();
}

void TAviClip::ResetState() {
    palette_ = basePalette_;
    std::fill(indices_.begin(), indices_.end(), std::uint8_t{0});
    std::fill(pixels_.begin(), pixels_.end(), 0u);
    nextChunk_ = 0;
    current_ = -1;
}

void TAviClip::Rewind() {
    nextChunk_ = 0;
    current_ = -1;
}

void TAviClip::DecodeNext() { Step(true); }

void TAviClip::Step(bool convert) {
    if (current_ + 1 >= FrameCount() || current_ < 0) {
        // Frame 0 starts from the stream's own palette and a cleared picture.
        palette_ = basePalette_;
        std::fill(indices_.begin(), indices_.end(), std::uint8_t{0});
        nextChunk_ = 0;
        current_ = -1;
    }
    const std::size_t target = frames_[static_cast<std::size_t>(current_ + 1)];
    for (; nextChunk_ < target; ++nextChunk_) {
        if (chunks_[nextChunk_].kind == ChunkKind::PaletteChange) {
            ApplyPaletteChange(chunks_[nextChunk_]);
        }
    }
    nextChunk_ = target + 1;
    DecodeFrameData(chunks_[target], convert);
    ++current_;
}

void TAviClip::ApplyPaletteChange(const Chunk& chunk) {
    if (bitCount_ > 8) {
        return;
    }
    // Records of: first entry, entry count (0 = 256), flags (16 bits), then R, G, B, flags
    // per entry.
    const std::uint8_t* d = bytes_.data() + chunk.offset;
    std::size_t p = 0;
    while (chunk.size - p >= 4) {
        const std::size_t first = d[p];
        const std::size_t count = d[p + 1] == 0 ? 256 : d[p + 1];
        p += 4;
        if ((chunk.size - p) / 4 < count) {
            Fail("A palette change is cut short.");
        }
        if (first + count > 256) {
            Fail("A palette change runs past the end of the palette.");
        }
        for (std::size_t i = 0; i < count; ++i, p += 4) {
            palette_[first + i] = (std::uint32_t{d[p]} << 16) | (std::uint32_t{d[p + 1]} << 8) | d[p + 2];
        }
    }
}

void TAviClip::DecodeFrameData(const Chunk& chunk, bool convert) {
    const std::span<const std::uint8_t> data(bytes_.data() + chunk.offset, chunk.size);
    const bool indexed = !indices_.empty();
    // An empty chunk repeats the previous picture (under the current palette).
    if (data.empty()) {
        if (convert && indexed) {
            ConvertIndexed();
        }
        return;
    }
    switch (coding_) {
        case Coding::Rle8: DecodeRle(data, false); break;
        case Coding::Rle4: DecodeRle(data, true); break;
        case Coding::Indexed:
            if (convert) {
                UnpackIndexed(data);
            } else {
                Stride(data.size());
            }
            break;
        case Coding::Direct16:
        case Coding::Direct24:
        case Coding::Direct32:
            if (convert) {
                ConvertDirect(data);
            } else {
                Stride(data.size());
            }
            return;
    }
    if (convert) {
        ConvertIndexed();
    }
}

std::size_t TAviClip::Stride(std::size_t dataSize) const {
    // Rows are padded to 32 bits; some writers store them packed, which is accepted when the
    // chunk is exactly too short for padded rows.
    const std::size_t bits = std::size_t(width_) * std::size_t(bitCount_);
    const std::size_t padded = (bits + 31) / 32 * 4;
    const std::size_t packed = (bits + 7) / 8;
    const std::size_t rows = std::size_t(height_);
    if (dataSize / rows >= padded) {
        return padded;
    }
    if (dataSize / rows >= packed) {
        return packed;
    }
    Fail(Format("Frame %d is shorter than its picture.", {current_ + 1}));
}

std::size_t TAviClip::StoredRow(int outputRow) const {
    return std::size_t(bottomUp_ ? height_ - 1 - outputRow : outputRow);
}

void TAviClip::DecodeRle(std::span<const std::uint8_t> data, bool fourBit) {
    const std::size_t w = std::size_t(width_);
    const std::size_t h = std::size_t(height_);
    const std::uint8_t* d = data.data();
    const std::size_t n = data.size();
    std::size_t x = 0;
    std::size_t y = 0;  // stored row
    std::size_t p = 0;
    const auto outside = [this] {
        Fail(Format("The RLE data of frame %d paint outside the picture.", {current_ + 1}));
    };
    while (n - p >= 2) {
        const std::size_t count = d[p];
        const std::uint8_t value = d[p + 1];
        p += 2;
        if (count > 0) {
            if (y >= h || count > w - x) {
                outside();
            }
            std::uint8_t* row = indices_.data() + y * w + x;
            if (fourBit) {
                const std::uint8_t pair[2] = {std::uint8_t(value >> 4), std::uint8_t(value & 15)};
                for (std::size_t i = 0; i < count; ++i) {
                    row[i] = pair[i & 1];
                }
            } else {
                std::memset(row, value, count);
            }
            x += count;
        } else if (value == 0) {
            x = 0;
            if (y <= h) {
                ++y;
            }
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            if (n - p < 2) {
                Fail(Format("The RLE data of frame %d are cut short.", {current_ + 1}));
            }
            x += d[p];
            y = std::min(y + d[p + 1], h + 1);
            p += 2;
            if (x > w) {
                outside();
            }
        } else {
            const std::size_t literal = value;
            const std::size_t bytes = fourBit ? (literal + 1) / 2 : literal;
            if (n - p < bytes) {
                Fail(Format("The RLE data of frame %d are cut short.", {current_ + 1}));
            }
            if (y >= h || literal > w - x) {
                outside();
            }
            std::uint8_t* row = indices_.data() + y * w + x;
            if (fourBit) {
                for (std::size_t i = 0; i < literal; ++i) {
                    const std::uint8_t b = d[p + i / 2];
                    row[i] = (i & 1) ? (b & 15) : (b >> 4);
                }
            } else {
                std::memcpy(row, d + p, literal);
            }
            x += literal;
            p += bytes + (bytes & 1);
            p = std::min(p, n);
        }
    }
}

void TAviClip::UnpackIndexed(std::span<const std::uint8_t> data) {
    const std::size_t stride = Stride(data.size());
    const std::size_t w = std::size_t(width_);
    for (std::size_t r = 0; r < std::size_t(height_); ++r) {
        const std::uint8_t* src = data.data() + r * stride;
        std::uint8_t* dst = indices_.data() + r * w;
        switch (bitCount_) {
            case 8: std::memcpy(dst, src, w); break;
            case 4:
                for (std::size_t x = 0; x < w; ++x) {
                    dst[x] = (x & 1) ? (src[x / 2] & 15) : (src[x / 2] >> 4);
                }
                break;
            default:
                for (std::size_t x = 0; x < w; ++x) {
                    dst[x] = (src[x / 8] >> (7 - x % 8)) & 1;
                }
                break;
        }
    }
}

void TAviClip::ConvertIndexed() {
    std::uint32_t lut[256];
    for (std::size_t i = 0; i < 256; ++i) {
        const std::uint32_t c = palette_[i] | 0xFF000000u;
        lut[i] = transparent_ && c == keyColor_ ? 0 : c;
    }
    const std::size_t w = std::size_t(width_);
    for (int r = 0; r < height_; ++r) {
        const std::uint8_t* src = indices_.data() + StoredRow(r) * w;
        std::uint32_t* dst = pixels_.data() + std::size_t(r) * w;
        for (std::size_t x = 0; x < w; ++x) {
            dst[x] = lut[src[x]];
        }
    }
}

std::uint32_t TAviClip::DirectPixel(std::uint32_t raw) const {
    const auto level = [raw](const Channel& channel) -> std::uint32_t {
        const std::uint32_t v = (raw & channel.mask) >> channel.shift;
        if (channel.bits == 0) {
            return 0;
        }
        return channel.bits <= 8 ? channel.scale[v] : v >> (channel.bits - 8);
    };
    return 0xFF000000u | (level(red_) << 16) | (level(green_) << 8) | level(blue_);
}

void TAviClip::ConvertDirect(std::span<const std::uint8_t> data) {
    const std::size_t stride = Stride(data.size());
    const std::size_t w = std::size_t(width_);
    const bool plain32 =
        coding_ == Coding::Direct32 && red_.mask == 0xFF0000 && green_.mask == 0xFF00 && blue_.mask == 0xFF;
    for (int r = 0; r < height_; ++r) {
        const std::uint8_t* src = data.data() + StoredRow(r) * stride;
        std::uint32_t* dst = pixels_.data() + std::size_t(r) * w;
        for (std::size_t x = 0; x < w; ++x) {
            std::uint32_t c;
            if (coding_ == Coding::Direct24) {
                const std::uint8_t* q = src + 3 * x;
                c = 0xFF000000u | (std::uint32_t{q[2]} << 16) | (std::uint32_t{q[1]} << 8) | q[0];
            } else if (coding_ == Coding::Direct16) {
                c = DirectPixel(Le16(src + 2 * x));
            } else if (plain32) {
                c = 0xFF000000u | (Le32(src + 4 * x) & 0xFFFFFFu);
            } else {
                c = DirectPixel(Le32(src + 4 * x));
            }
            dst[x] = transparent_ && c == keyColor_ ? 0 : c;
        }
    }
}

}  // namespace pavana
