// clipwriter: writes the three animation clips of the progress window into a folder.
//
//     clipwriter <folder>
//
// "anmNenhum.avi" (a ring of dots with one turning light), "anmGenerica.avi" (a sheet flying
// from a document into a database) and "anmInternet.avi" (packets travelling from a globe to
// a computer). Each is an 80 x 48 RLE8 clip with a 16-colour palette, looping at 10 frames a
// second. The background is magenta, palette entry 0, and fills the first frame's top-left
// pixel, so a player that keys out that colour shows the window behind the drawing. The
// folder is created when missing. Exit codes: 0 written, 1 a file could not be written, 2
// wrong arguments.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "rtl/Exceptions.h"
#include "ui/AviWriter.h"

namespace {

constexpr int kWidth = 80;
constexpr int kHeight = 48;
constexpr std::uint32_t kMicrosPerFrame = 100000;

enum Ink : std::uint8_t {
    kKey,
    kBlack,
    kWhite,
    kDarkGrey,
    kLightGrey,
    kBlue,
    kSky,
    kYellow,
    kGreen,
    kOchre,
    kRed,
    kCyan,
    kNavy,
    kPaleYellow,
    kDarkGreen,
    kSilverBlue,
};

const std::vector<std::uint32_t> kPalette = {
    0xFF00FF, 0x000000, 0xFFFFFF, 0x808080, 0xC0C0C0, 0x0030C8, 0x64A0FF, 0xFFDC00,
    0x00A000, 0xA07800, 0xC80000, 0x00C8C8, 0x000080, 0xFFF4A0, 0x006000, 0xA0B4D0,
};

// A picture of palette indices with the few shapes the clips are drawn from.
class Picture {
public:
    Picture() : pixels_(std::size_t(kWidth) * kHeight, kKey) {}

    void Set(int x, int y, Ink ink) {
        if (x >= 0 && y >= 0 && x < kWidth && y < kHeight) pixels_[std::size_t(y) * kWidth + x] = ink;
    }
    void Fill(int left, int top, int right, int bottom, Ink ink) {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) Set(x, y, ink);
    }
    // Rectangle outlined in `line` and filled with `inside`; right and bottom exclusive.
    void Box(int left, int top, int right, int bottom, Ink line, Ink inside) {
        Fill(left, top, right, bottom, line);
        Fill(left + 1, top + 1, right - 1, bottom - 1, inside);
    }
    void Disc(double cx, double cy, double r, Ink ink) {
        for (int y = int(cy - r) - 1; y <= int(cy + r) + 1; ++y)
            for (int x = int(cx - r) - 1; x <= int(cx + r) + 1; ++x)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) Set(x, y, ink);
    }
    // Ellipse area with horizontal radius rx and vertical radius ry.
    void Oval(double cx, double cy, double rx, double ry, Ink ink) {
        for (int y = int(cy - ry) - 1; y <= int(cy + ry) + 1; ++y)
            for (int x = int(cx - rx) - 1; x <= int(cx + rx) + 1; ++x) {
                const double dx = (x - cx) / rx, dy = (y - cy) / ry;
                if (dx * dx + dy * dy <= 1.0) Set(x, y, ink);
            }
    }
    void Line(int x0, int y0, int x1, int y1, Ink ink) {
        const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
        const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            Set(x0, y0, ink);
            if (x0 == x1 && y0 == y1) break;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
    }
    const std::vector<std::uint8_t>& Pixels() const { return pixels_; }

private:
    std::vector<std::uint8_t> pixels_;
};

// A sheet of paper with a few lines of text on it.
void Sheet(Picture& p, int left, int top, int width, int height) {
    p.Box(left, top, left + width, top + height, kBlack, kWhite);
    for (int y = top + 3; y < top + height - 2; y += 3) p.Line(left + 2, y, left + width - 3, y, kDarkGrey);
}

void Database(Picture& p, int cx, int top, int bottom, int rx) {
    const int ry = 4;
    p.Oval(cx, bottom, rx + 1, ry + 1, kBlack);
    p.Oval(cx, bottom, rx, ry, kSilverBlue);
    p.Fill(cx - rx - 1, top, cx + rx + 2, bottom, kBlack);
    p.Fill(cx - rx, top, cx + rx + 1, bottom, kSilverBlue);
    for (int y = top + 9; y < bottom; y += 9) {
        for (int x = cx - rx; x <= cx + rx; ++x) {
            const double dx = double(x - cx) / rx;
            p.Set(x, y + int(std::lround(ry * std::sqrt(std::max(0.0, 1 - dx * dx)))), kNavy);
        }
    }
    p.Oval(cx, top, rx + 1, ry + 1, kBlack);
    p.Oval(cx, top, rx, ry, kSky);
}

void DrawNenhum(Picture& p, int frame, int frames) {
    constexpr int kDots = 8;
    const int lit = frame * kDots / frames;
    for (int i = 0; i < kDots; ++i) {
        const double angle = 2 * std::numbers::pi * i / kDots - std::numbers::pi / 2;
        const double x = 40 + 16 * std::cos(angle), y = 24 + 16 * std::sin(angle);
        const int behind = (lit - i + kDots) % kDots;
        const Ink ink = behind == 0 ? kYellow : behind == 1 ? kOchre : kLightGrey;
        p.Disc(x, y, behind == 0 ? 4.5 : 3.5, kBlack);
        p.Disc(x, y, behind == 0 ? 3.5 : 2.5, ink);
    }
}

void DrawGenerica(Picture& p, int frame, int frames) {
    Sheet(p, 3, 12, 16, 22);
    p.Fill(3, 34, 19, 36, kDarkGrey);
    Database(p, 64, 14, 38, 11);
    const double t = double(frame) / frames;
    const int x = int(std::lround(12 + t * 44));
    const int y = int(std::lround(18 - std::sin(std::numbers::pi * t) * 14));
    Sheet(p, x, y, 9, 11);
}

void DrawInternet(Picture& p, int frame, int frames) {
    const double cx = 17, cy = 24, r = 14;
    p.Disc(cx, cy, r + 1, kBlack);
    p.Disc(cx, cy, r, kBlue);
    p.Oval(cx - 5, cy - 4, 5, 4, kGreen);
    p.Oval(cx + 5, cy + 6, 4, 3, kDarkGreen);
    for (double k : {-0.5, 0.0, 0.5}) {
        for (int y = int(cy - r); y <= int(cy + r); ++y) {
            const double half = std::sqrt(std::max(0.0, r * r - (y - cy) * (y - cy)));
            p.Set(int(std::lround(cx + k * half)), y, kSky);
        }
    }
    p.Line(int(cx - r), int(cy), int(cx + r), int(cy), kSky);
    // The computer: a monitor with a screen and a stand.
    p.Box(54, 12, 77, 32, kBlack, kLightGrey);
    p.Fill(57, 15, 74, 29, kNavy);
    p.Fill(58, 16 + (frame % 4) * 3, 72, 17 + (frame % 4) * 3, kCyan);
    p.Fill(62, 32, 69, 35, kDarkGrey);
    p.Box(57, 35, 74, 38, kBlack, kLightGrey);
    // Packets on the wire, moving right and wrapping.
    const int span = 50 - 34;
    for (int k = 0; k < 3; ++k) {
        const int offset = (frame * span / frames + k * span / 3) % span;
        p.Box(34 + offset, 22, 38 + offset, 26, kBlack, k == 0 ? kRed : kPaleYellow);
    }
}

void WriteClip(const std::filesystem::path& path, const std::function<void(Picture&, int, int)>& draw, int frames) {
    pavana::TAviWriter writer(kWidth, kHeight, 8, pavana::TAviWriter::Compression::Rle8, kPalette, kMicrosPerFrame);
    for (int frame = 0; frame < frames; ++frame) {
        Picture picture;
        draw(picture, frame, frames);
        writer.AddRle8Frame(picture.Pixels(), frame == 0);
    }
    writer.SaveToFile(path.string());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: clipwriter <folder>\n");
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    try {
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        const struct {
            const char* name;
            void (*draw)(Picture&, int, int);
            int frames;
        } clips[] = {
            {"anmNenhum.avi", DrawNenhum, 8},
            {"anmGenerica.avi", DrawGenerica, 16},
            {"anmInternet.avi", DrawInternet, 12},
        };
        for (const auto& clip : clips) {
            const std::filesystem::path path = folder / clip.name;
            WriteClip(path, clip.draw, clip.frames);
            std::printf("%s\n", path.string().c_str());
        }
    } catch (const pavana::Exception& error) {
        std::fprintf(stderr, "clipwriter: %s\n", error.Message().c_str());
        return 1;
    }
    return 0;
}
