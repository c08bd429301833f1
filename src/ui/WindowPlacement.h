// Where top-level windows go on the screen.
//
// A window's outer size is its client size plus the frame the window manager draws around it,
// and that frame does not exist before the window is first shown. On X11 the window manager
// is asked for the frame it will give (_NET_REQUEST_FRAME_EXTENTS), so a window can be placed
// by its outer size before it appears. Elsewhere, and under a window manager that does not
// answer, the frame counts as none.
#pragma once

#include <QMargins>
#include <QWidget>

namespace pavana {

// The frame the window manager gives, or will give once shown, to the top-level window, in
// the window's pixels: as Qt knows it, else as the X11 window manager answers. Creates the
// window's native window when it has none yet.
QMargins ExpectedFrameMargins(QWidget& window);

// The screen position of the window's outer top-left corner (its frame's, or its client
// area's when it has no frame).
QPoint OuterTopLeft(QWidget& window);

// Moves the window so that its outer top-left corner is at the given screen position.
void MoveOuterTo(QWidget& window, QPoint outerTopLeft);

// Moves the top-level window so that its outer rectangle (client size plus expected frame)
// is centred on the primary screen: left = screen width div 2 - outer width div 2, top
// likewise. Nothing happens without a screen.
void CentreOnScreen(QWidget& window);

}  // namespace pavana
