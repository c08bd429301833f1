#include "ui/Colors.h"

#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <cmath>

namespace pavana {

namespace {

// Windows' system colour indexes mapped onto the palette roles that play the same part in a
// Qt desktop theme.
struct SystemRole {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

SystemRole RoleOfIndex(unsigned index) {
    using P = QPalette;
    switch (index) {
        case 0: return {P::Active, P::Mid};                 // scroll bar
        case 1: return {P::Active, P::Dark};                // desktop
        case 2: return {P::Active, P::Highlight};           // active caption
        case 3: return {P::Inactive, P::Highlight};         // inactive caption
        case 4: return {P::Active, P::Window};              // menu
        case 5: return {P::Active, P::Base};                // window background
        case 6: return {P::Active, P::Shadow};              // window frame
        case 7: return {P::Active, P::WindowText};          // menu text
        case 8: return {P::Active, P::WindowText};          // window text
        case 9: return {P::Active, P::HighlightedText};     // caption text
        case 10: return {P::Active, P::Window};             // active border
        case 11: return {P::Inactive, P::Window};           // inactive border
        case 12: return {P::Active, P::Mid};                // application workspace
        case 13: return {P::Active, P::Highlight};          // highlight
        case 14: return {P::Active, P::HighlightedText};    // highlight text
        case 15: return {P::Active, P::Button};             // button face
        case 16: return {P::Active, P::Dark};               // button shadow
        case 17: return {P::Disabled, P::WindowText};       // grey text
        case 18: return {P::Active, P::ButtonText};         // button text
        case 19: return {P::Inactive, P::HighlightedText};  // inactive caption text
        case 20: return {P::Active, P::Light};              // button highlight
        case 21: return {P::Active, P::Shadow};             // 3-D dark shadow
        case 22: return {P::Active, P::Midlight};           // 3-D light
        case 23: return {P::Active, P::ToolTipText};        // tooltip text
        case 24: return {P::Active, P::ToolTipBase};        // tooltip background
        case 26: return {P::Active, P::Link};               // hot-tracked item
        default: return {P::Active, P::Window};
    }
}

}  // namespace

TColor ColorToRGB(TColor color) {
    if ((color & clSystemColor) == 0) return color & 0xFFFFFF;
    const SystemRole r = RoleOfIndex(color & 0xFF);
    const QColor c = QGuiApplication::palette().color(r.group, r.role);
    return RGB(c.red(), c.green(), c.blue());
}

void SplitColor(TColor color, int& red, int& green, int& blue) {
    red = int(color & 0xFF);
    green = int((color >> 8) & 0xFF);
    blue = int((color >> 16) & 0xFF);
}

int ClampChannel(double x) {
    // nearbyint rounds in the default mode, which is to nearest with halves to even.
    const double r = std::nearbyint(x);
    if (!(r >= 0)) return 0;
    if (r > 255) return 255;
    return int(r);
}

TColor MakeColor(double red, double green, double blue) {
    return RGB(ClampChannel(red), ClampChannel(green), ClampChannel(blue));
}

TColor GreyOfColor(TColor color) {
    int r, g, b;
    SplitColor(color, r, g, b);
    const int grey = int(std::nearbyint((20.0 * r + 50.0 * g + 30.0 * b) / 100.0));
    return RGB(grey, grey, grey);
}

bool IsLightColor(TColor color) { return int(GreyOfColor(color) & 0xFF) >= 128; }

TColor LightenColor(TColor color, int n) {
    int r, g, b;
    SplitColor(ColorToRGB(color), r, g, b);
    return MakeColor(r + n, g + n, b + n);
}

TColor DarkenColor(TColor color, int n) { return LightenColor(color, -n); }

}  // namespace pavana
