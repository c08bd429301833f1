// Colour values and the colour functions every self-painted control uses.
//
// A `TColor` is a 32-bit value: red in the low byte, then green, then blue. A value with the
// top bit set names a system colour by its index in the low byte (15 button face, 8 window
// text, 6 window frame, ...); `ColorToRGB` resolves it from the application's palette, so the
// controls follow the desktop theme. The other functions here take colours as they are unless
// they say otherwise.
#pragma once

#include <cstdint>

namespace pavana {

using TColor = std::uint32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;

inline constexpr TColor clSystemColor = 0x80000000;
inline constexpr TColor clScrollBar = clSystemColor | 0;
inline constexpr TColor clBackground = clSystemColor | 1;
inline constexpr TColor clActiveCaption = clSystemColor | 2;
inline constexpr TColor clInactiveCaption = clSystemColor | 3;
inline constexpr TColor clMenu = clSystemColor | 4;
inline constexpr TColor clWindow = clSystemColor | 5;
inline constexpr TColor clWindowFrame = clSystemColor | 6;
inline constexpr TColor clMenuText = clSystemColor | 7;
inline constexpr TColor clWindowText = clSystemColor | 8;
inline constexpr TColor clCaptionText = clSystemColor | 9;
inline constexpr TColor clActiveBorder = clSystemColor | 10;
inline constexpr TColor clInactiveBorder = clSystemColor | 11;
inline constexpr TColor clAppWorkSpace = clSystemColor | 12;
inline constexpr TColor clHighlight = clSystemColor | 13;
inline constexpr TColor clHighlightText = clSystemColor | 14;
inline constexpr TColor clBtnFace = clSystemColor | 15;
inline constexpr TColor clBtnShadow = clSystemColor | 16;
inline constexpr TColor clGrayText = clSystemColor | 17;
inline constexpr TColor clBtnText = clSystemColor | 18;
inline constexpr TColor clInactiveCaptionText = clSystemColor | 19;
inline constexpr TColor clBtnHighlight = clSystemColor | 20;
inline constexpr TColor cl3DDkShadow = clSystemColor | 21;
inline constexpr TColor cl3DLight = clSystemColor | 22;
inline constexpr TColor clInfoText = clSystemColor | 23;
inline constexpr TColor clInfoBk = clSystemColor | 24;

// RGB(r, g, b) with each channel taken modulo 256.
constexpr TColor RGB(int r, int g, int b) {
    return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}

// Resolves a system colour from the application palette (the default palette when no
// application object exists); any other value comes back with its top byte cleared.
TColor ColorToRGB(TColor color);

// Red, green and blue of the low three bytes; system colours are not resolved.
void SplitColor(TColor color, int& red, int& green, int& blue);

// x rounded to the nearest integer (halves to even), then limited to 0..255.
int ClampChannel(double x);

// RGB of the clamped channels.
TColor MakeColor(double red, double green, double blue);

// The grey RGB(g, g, g), g = round((20 red + 50 green + 30 blue) / 100), halves to even.
// System colours are not resolved.
TColor GreyOfColor(TColor color);

// True when the grey level of the colour is 128 or more.
bool IsLightColor(TColor color);

// Each channel of the resolved colour moved by n and clamped to 0..255.
TColor LightenColor(TColor color, int n);
TColor DarkenColor(TColor color, int n);

}  // namespace pavana
