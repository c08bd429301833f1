// Whether a window system can be reached, decided before any toolkit is started (a toolkit
// that cannot reach its display ends the process).
//
// Wayland: $WAYLAND_DISPLAY names a socket (absolute, or inside $XDG_RUNTIME_DIR) that accepts
// a connection. X11: $DISPLAY is [host]:number[.screen]; a local display is reached through
// its socket /tmp/.X11-unix/X<number> (or the abstract socket of that name), a remote one
// through TCP port 6000 + number.
#pragma once

namespace pavana {

bool DisplayReachable();

}  // namespace pavana
