#include "ui/Drawing.h"

#include <algorithm>
#include <array>

namespace pavana {

void GradientFill(TCanvas& canvas, const TRect& r, std::span<const TColor> stops, int segments, int direction,
                  int bandSize) {
    if (r.Right == 0 || r.Bottom == 0 || stops.empty()) return;
    if (direction != 0 && direction != 1) return;
    const int w = std::max(bandSize, 1);
    const int n = segments < 1 ? 3 : segments;
    const bool vertical = direction == 0;
    int p = vertical ? r.Top : r.Left;
    const int end = vertical ? r.Bottom : r.Right;
    const int h = (end - p) / n;
    if (h <= 0) return;

    const auto stop = [&](int i) {
        int red, green, blue;
        SplitColor(ColorToRGB(stops[std::size_t(std::min<int>(i, int(stops.size()) - 1))]), red, green, blue);
        return std::array<double, 3>{double(red), double(green), double(blue)};
    };
    std::array<double, 3> q = stop(0);
    std::array<double, 3> prev = q;
    std::array<double, 3> next = n > 1 ? stop(1) : stop(0);
    int nextPos = p + h;
    int i = 1;

    const TBrush saved = canvas.Brush;
    canvas.Brush = TBrush{};
    while (p <= end) {
        canvas.Brush.Color = MakeColor(q[0], q[1], q[2]);
        canvas.FillRect(vertical ? TRect{r.Left, p, r.Right, p + w} : TRect{p, r.Top, p + w, r.Bottom});
        p += w;
        if (p >= nextPos) {
            nextPos += h;
            i = std::min(i + 1, n);
            prev = next;
            next = stop(i);
        }
        for (int c = 0; c < 3; ++c) q[c] += (next[c] - prev[c]) / h * w;
    }
    canvas.Brush = saved;
}

void DrawTransparentBitmap(TCanvas& canvas, const QImage& bitmap, int x, int y, TColor transparent) {
    canvas.DrawTransparent(x, y, bitmap, transparent);
}

void Frame3D(TCanvas& canvas, TRect& r, TColor top, TColor bottom, int width) {
    const TPen saved = canvas.Pen;
    canvas.Pen = TPen{};
    --r.Right;
    --r.Bottom;
    for (int ring = 0; ring < width; ++ring) {
        canvas.Pen.Color = top;
        canvas.Polyline({{r.Left, r.Bottom}, {r.Left, r.Top}, {r.Right, r.Top}});
        canvas.Pen.Color = bottom;
        canvas.Polyline({{r.Right, r.Top}, {r.Right, r.Bottom}, {r.Left - 1, r.Bottom}});
        r.Inflate(-1, -1);
    }
    ++r.Right;
    ++r.Bottom;
    canvas.Pen = saved;
}

}  // namespace pavana
