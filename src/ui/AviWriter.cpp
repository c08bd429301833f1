#include "ui/AviWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "rtl/Format.h"

namespace pavana {

namespace {

constexpr std::uint32_t kIndexKeyFrame = 0x10;
constexpr std::uint32_t kIndexNoTime = 0x100;
constexpr std::uint32_t kHasIndex = 0x10;
// Unchanged pixels shorter than this are coded again rather than skipped: a skip costs four
// bytes and breaks the current run.
constexpr std::size_t kMinSkip = 4;

class ByteSink {
public:
    void U8(std::uint32_t v) { bytes.push_back(static_cast<std::uint8_t>(v)); }
    void U16(std::uint32_t v) {
        U8(v);
        U8(v >> 8);
    }
    void U32(std::uint32_t v) {
        U16(v);
        U16(v >> 16);
    }
    void Code(const char* code) { bytes.insert(bytes.end(), code, code + 4); }
    // Starts a chunk and returns where its size goes.
    std::size_t Begin(const char* code) {
        Code(code);
        U32(0);
        return bytes.size() - 4;
    }
    void End(std::size_t sizeAt) {
        const auto size = static_cast<std::uint32_t>(bytes.size() - sizeAt - 4);
        for (int i = 0; i < 4; ++i) {
            bytes[sizeAt + i] = static_cast<std::uint8_t>(size >> (8 * i));
        }
        if (size & 1) {
            U8(0);
        }
    }
    std::vector<std::uint8_t> bytes;
};

// The RLE8 pen: where the decoder will paint next, in stored rows (bottom row 0).
class Rle8Coder {
public:
    explicit Rle8Coder(std::vector<std::uint8_t>& out) : out_(out) {}

    void MoveTo(std::size_t x, std::size_t y) {
        while (y_ < y || x_ != x) {
            if (y_ < y && x < x_) {
                Emit(0, 0);
                x_ = 0;
                ++y_;
                continue;
            }
            const std::size_t dx = std::min<std::size_t>(x - x_, 255);
            const std::size_t dy = std::min<std::size_t>(y - y_, 255);
            Emit(0, 2);
            Emit(dx, dy);
            x_ += dx;
            y_ += dy;
        }
    }

    // Codes `n` pixels: runs of two or more equal pixels as (count, value), stretches of
    // differing ones as literal blocks, single leftovers as runs of one.
    void Pixels(const std::uint8_t* p, std::size_t n) {
        std::size_t i = 0;
        while (i < n) {
            const std::size_t run = RunAt(p, i, n);
            if (run >= 2) {
                Emit(run, p[i]);
                i += run;
                continue;
            }
            std::size_t j = i;
            while (j < n && j - i < 255 && RunAt(p, j, n) < 3) {
                ++j;
            }
            if (j - i >= 3) {
                Emit(0, j - i);
                out_.insert(out_.end(), p + i, p + j);
                if ((j - i) & 1) {
                    out_.push_back(0);
                }
            } else {
                for (std::size_t k = i; k < j; ++k) {
                    Emit(1, p[k]);
                }
            }
            i = j;
        }
        x_ += n;
    }

    void End() { Emit(0, 1); }

private:
    static std::size_t RunAt(const std::uint8_t* p, std::size_t i, std::size_t n) {
        std::size_t j = i + 1;
        while (j < n && j - i < 255 && p[j] == p[i]) {
            ++j;
        }
        return j - i;
    }
    void Emit(std::size_t a, std::size_t b) {
        out_.push_back(static_cast<std::uint8_t>(a));
        out_.push_back(static_cast<std::uint8_t>(b));
    }

    std::vector<std::uint8_t>& out_;
    std::size_t x_ = 0;
    std::size_t y_ = 0;
};

}  // namespace

std::vector<std::uint8_t> EncodeRle8(std::span<const std::uint8_t> indices, std::span<const std::uint8_t> previous,
                                     int width, int height) {
    const std::size_t w = std::size_t(width);
    const std::size_t h = std::size_t(height);
    if (width <= 0 || height <= 0 || indices.size() != w * h || (!previous.empty() && previous.size() != w * h)) {
        throw EInvalidOperation("RLE8 picture and size do not match.");
    }
    std::vector<std::uint8_t> out;
    Rle8Coder coder(out);
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint8_t* row = indices.data() + (h - 1 - y) * w;
        if (previous.empty()) {
            coder.MoveTo(0, y);
            coder.Pixels(row, w);
            continue;
        }
        const std::uint8_t* old = previous.data() + (h - 1 - y) * w;
        std::size_t x = 0;
        while (x < w) {
            while (x < w && row[x] == old[x]) {
                ++x;
            }
            if (x == w) {
                break;
            }
            const std::size_t start = x;
            std::size_t end = x;
            for (std::size_t i = x; i < w && i - end < kMinSkip; ++i) {
                if (row[i] != old[i]) {
                    end = i + 1;
                }
            }
            coder.MoveTo(start, y);
            coder.Pixels(row + start, end - start);
            x = end;
        }
    }
    coder.End();
    return out;
}

TAviWriter::TAviWriter(int width, int height, int bitCount, Compression compression, std::vector<std::uint32_t> palette,
                       std::uint32_t microsPerFrame, bool topDown, std::vector<std::uint32_t> masks)
    : width_(width),
      height_(height),
      bitCount_(bitCount),
      compression_(compression),
      palette_(std::move(palette)),
      masks_(std::move(masks)),
      microsPerFrame_(microsPerFrame),
      topDown_(topDown) {
    if (width <= 0 || height <= 0 || palette_.size() > 256 ||
        (compression == Compression::BitFields && masks_.size() != 3)) {
        throw EInvalidOperation("Invalid clip format.");
    }
}

void TAviWriter::AddFrameData(std::span<const std::uint8_t> data, bool keyFrame) {
    Chunk chunk{{'0', '0', 'd', compression_ == Compression::Rgb ? 'b' : 'c'},
                keyFrame ? kIndexKeyFrame : 0,
                {data.begin(), data.end()}};
    chunks_.push_back(std::move(chunk));
    ++frames_;
}

void TAviWriter::AddRle8Frame(std::span<const std::uint8_t> indices, bool keyFrame) {
    if (compression_ != Compression::Rle8 || bitCount_ != 8) {
        throw EInvalidOperation("The stream is not an RLE8 stream.");
    }
    const bool key = keyFrame || previous_.empty();
    std::span<const std::uint8_t> previous;
    if (!key) {
        previous = previous_;
    }
    const std::vector<std::uint8_t> data = EncodeRle8(indices, previous, width_, height_);
    AddFrameData(data, key);
    previous_.assign(indices.begin(), indices.end());
}

void TAviWriter::AddPaletteChange(int first, std::span<const std::uint32_t> colors) {
    if (first < 0 || colors.empty() || std::size_t(first) + colors.size() > 256) {
        throw EInvalidOperation("Invalid palette change.");
    }
    ByteSink s;
    s.U8(static_cast<std::uint32_t>(first));
    s.U8(colors.size() == 256 ? 0 : static_cast<std::uint32_t>(colors.size()));
    s.U16(0);
    for (std::uint32_t c : colors) {
        s.U8(c >> 16);
        s.U8(c >> 8);
        s.U8(c);
        s.U8(0);
    }
    chunks_.push_back({{'0', '0', 'p', 'c'}, kIndexNoTime, std::move(s.bytes)});
}

std::vector<std::uint8_t> TAviWriter::Bytes() const {
    std::size_t largest = 0;
    for (const Chunk& c : chunks_) {
        largest = std::max(largest, c.data.size());
    }
    const std::uint32_t imageSize =
        static_cast<std::uint32_t>((std::size_t(width_) * bitCount_ + 31) / 32 * 4 * height_);
    const std::uint32_t rate = 1'000'000;

    ByteSink s;
    const std::size_t riff = s.Begin("RIFF");
    s.Code("AVI ");
    const std::size_t hdrl = s.Begin("LIST");
    s.Code("hdrl");
    const std::size_t avih = s.Begin("avih");
    s.U32(microsPerFrame_);
    s.U32(0);
    s.U32(0);
    s.U32(kHasIndex);
    s.U32(static_cast<std::uint32_t>(frames_));
    s.U32(0);
    s.U32(1);
    s.U32(static_cast<std::uint32_t>(largest));
    s.U32(static_cast<std::uint32_t>(width_));
    s.U32(static_cast<std::uint32_t>(height_));
    for (int i = 0; i < 4; ++i) {
        s.U32(0);
    }
    s.End(avih);
    const std::size_t strl = s.Begin("LIST");
    s.Code("strl");
    const std::size_t strh = s.Begin("strh");
    s.Code("vids");
    if (compression_ == Compression::Rle8 || compression_ == Compression::Rle4) {
        s.Code("mrle");
    } else {
        s.U32(0);
    }
    s.U32(0);
    s.U16(0);
    s.U16(0);
    s.U32(0);
    s.U32(microsPerFrame_);
    s.U32(rate);
    s.U32(0);
    s.U32(static_cast<std::uint32_t>(frames_));
    s.U32(static_cast<std::uint32_t>(largest));
    s.U32(0xFFFFFFFFu);
    s.U32(0);
    s.U16(0);
    s.U16(0);
    s.U16(static_cast<std::uint32_t>(width_));
    s.U16(static_cast<std::uint32_t>(height_));
    s.End(strh);
    const std::size_t strf = s.Begin("strf");
    s.U32(40);
    s.U32(static_cast<std::uint32_t>(width_));
    s.U32(static_cast<std::uint32_t>(topDown_ ? -height_ : height_));
    s.U16(1);
    s.U16(static_cast<std::uint32_t>(bitCount_));
    s.U32(static_cast<std::uint32_t>(compression_));
    s.U32(imageSize);
    s.U32(0);
    s.U32(0);
    s.U32(static_cast<std::uint32_t>(palette_.size()));
    s.U32(0);
    for (std::uint32_t m : masks_) {
        s.U32(m);
    }
    for (std::uint32_t c : palette_) {
        s.U32(c & 0xFFFFFF);
    }
    s.End(strf);
    s.End(strl);
    s.End(hdrl);

    const std::size_t movi = s.Begin("LIST");
    const std::size_t moviCode = s.bytes.size();
    s.Code("movi");
    std::vector<std::uint32_t> offsets;
    for (const Chunk& c : chunks_) {
        offsets.push_back(static_cast<std::uint32_t>(s.bytes.size() - moviCode));
        const std::size_t at = s.Begin(c.id);
        s.bytes.insert(s.bytes.end(), c.data.begin(), c.data.end());
        s.End(at);
    }
    s.End(movi);
    const std::size_t idx1 = s.Begin("idx1");
    for (std::size_t i = 0; i < chunks_.size(); ++i) {
        s.Code(chunks_[i].id);
        s.U32(chunks_[i].flags);
        s.U32(offsets[i]);
        s.U32(static_cast<std::uint32_t>(chunks_[i].data.size()));
    }
    s.End(idx1);
    s.End(riff);
    return std::move(s.bytes);
}

void TAviWriter::SaveToFile(const std::string& path) const {
    const std::vector<std::uint8_t> bytes = Bytes();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())) ||
        !out.flush()) {
        const int error = errno;
        throw EInOutError(Format("Cannot write file %s", {path}), error);
    }
}

}  // namespace pavana
