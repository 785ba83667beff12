#include "primitives/Display.h"

#include "primitives/Text.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <wayland-client.h>
#include <xcb/xcb.h>

namespace primitives {

namespace {

bool set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Qt loads a platform from a library in a "platforms" folder of its plugin paths;
// without it Qt aborts with an English message.
bool plugin_present(const Text& platform) {
    QStringList folders;
    if (set("QT_QPA_PLATFORM_PLUGIN_PATH"))
        folders << QString::fromLocal8Bit(std::getenv("QT_QPA_PLATFORM_PLUGIN_PATH"));
    for (const QString& folder : QCoreApplication::libraryPaths())
        folders << folder + QStringLiteral("/platforms");
    const QStringList pattern{QStringLiteral("libq%1*.so").arg(QString::fromStdString(platform))};
    return std::any_of(folders.begin(), folders.end(),
                       [&](const QString& folder) { return !QDir(folder).entryList(pattern, QDir::Files).isEmpty(); });
}

bool x11_reachable() {
    if (!set("DISPLAY") || !plugin_present("xcb")) return false;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool ok = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return ok;
}

bool wayland_reachable() {
    // libwayland looks for its socket in $XDG_RUNTIME_DIR, and says so in English when
    // that is not set.
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (!name || !*name || (name[0] != '/' && !set("XDG_RUNTIME_DIR")) || !plugin_present("wayland")) return false;
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return false;
    wl_display_disconnect(display);
    return true;
}

// One entry of $QT_QPA_PLATFORM, such as "xcb", "wayland-egl" or "offscreen:size=…".
bool platform_reachable(const Text& entry) {
    const Text name = entry.substr(0, entry.find(':'));
    if (name == "xcb") return x11_reachable();
    if (name.compare(0, 7, "wayland") == 0) return wayland_reachable();
    return !name.empty() && plugin_present(name);
}

} // namespace

bool display_reachable() {
    if (!set("QT_QPA_PLATFORM")) return x11_reachable() || wayland_reachable();
    // A list such as "wayland;xcb" is tried in order.
    const Text platforms = std::getenv("QT_QPA_PLATFORM");
    for (std::size_t start = 0; start <= platforms.size();) {
        const auto end = std::min(platforms.find(';', start), platforms.size());
        if (platform_reachable(platforms.substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

} // namespace primitives
