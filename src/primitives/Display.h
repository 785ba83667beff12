#pragma once

namespace primitives {

// Whether the graphical session that the environment names can really be reached:
// an X server through $DISPLAY, a Wayland compositor through $WAYLAND_DISPLAY, as
// $QT_QPA_PLATFORM picks them when it is set (platforms that need no server, such as
// offscreen, always can), and only where Qt has the plugin for that platform. A stale or
// forwarded display that is gone, or a Wayland session without Qt's Wayland plugin, fails
// here, before the toolkit would abort on it in English.
bool display_reachable();

} // namespace primitives
