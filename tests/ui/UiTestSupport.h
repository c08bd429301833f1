// Shared set-up of the user interface tests: one application object with a fixed palette and
// font, so pixels do not depend on the desktop the tests run on.
#pragma once

#include <QImage>
#include <QWidget>

#include "ui/Colors.h"

namespace pavana::test {

// Creates the application on first use (offscreen when no platform was chosen).
void EnsureApplication();

// The widget rendered alone into an image first filled with `background`; pixels the widget
// leaves unpainted keep that colour.
QImage Render(QWidget& widget, TColor background = 0xFF00FF);

// The pixel as a colour value (red in the low byte).
TColor PixelAt(const QImage& image, int x, int y);

// Button face of the fixed palette.
inline constexpr TColor kFixedButtonFace = 0xC0C0C0;

}  // namespace pavana::test
