// Drawing helpers shared by the self-painted controls: the banded gradient, transparent
// bitmaps and the 3-D frame.
#pragma once

#include <QImage>
#include <span>

#include "ui/Canvas.h"

namespace pavana {

// Fills r with bands of `bandSize` pixels whose colour runs through the stops, the rectangle
// cut into `segments` equal parts (direction 0: top to bottom, 1: left to right). The running
// colour is carried across stops and the last band may reach up to bandSize pixels past the
// end of r. Draws nothing when r has zero right or bottom, when a segment would be shorter
// than one pixel, for other directions, or without stops; a stop index past the last stop
// uses the last one.
void GradientFill(TCanvas& canvas, const TRect& r, std::span<const TColor> stops, int segments, int direction,
                  int bandSize);

// Draws the bitmap at (x, y), leaving out its pixels of the transparent colour.
void DrawTransparentBitmap(TCanvas& canvas, const QImage& bitmap, int x, int y, TColor transparent);

// The 3-D frame: `width` rings, each with its left and top edges in `top` and its right and
// bottom edges in `bottom`; r shrinks by `width` on every side.
void Frame3D(TCanvas& canvas, TRect& r, TColor top, TColor bottom, int width);

}  // namespace pavana
