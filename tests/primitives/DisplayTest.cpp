#include "primitives/Display.h"
#include "ScopedEnvironment.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <unistd.h>

TEST(Display, AWaylandSessionCountsWhereQtHasItsPlugin) {
    TempDir runtime;
    const std::string socket_path = runtime.file("wayland-test");
    ListeningSocket listener(socket_path);
    ASSERT_TRUE(listener.listening());
    // Qt's Wayland plugin, as its file name shows it: the check looks no further.
    TempDir plugins;
    plugins.write("libqwayland-generic.so", "");
    const ScopedEnvironment environment({{"DISPLAY", std::nullopt},
                                         {"QT_QPA_PLATFORM", std::nullopt},
                                         {"QT_QPA_PLATFORM_PLUGIN_PATH", plugins.path()},
                                         {"XDG_RUNTIME_DIR", runtime.path()},
                                         {"WAYLAND_DISPLAY", "wayland-test"}});
    EXPECT_TRUE(primitives::display_reachable());
    ::setenv("QT_QPA_PLATFORM", "xcb;wayland", 1);
    EXPECT_TRUE(primitives::display_reachable()) << "the list is tried in order";
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    EXPECT_FALSE(primitives::display_reachable()) << "xcb asked for, and no X server";
    for (const char* offscreen : {"offscreen", "offscreen:size=640x480", "xcb;offscreen:size=640x480"}) {
        ::setenv("QT_QPA_PLATFORM", offscreen, 1);
        EXPECT_TRUE(primitives::display_reachable()) << offscreen << ": needs no server";
    }
    ::unsetenv("QT_QPA_PLATFORM");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_FALSE(primitives::display_reachable()) << "no runtime folder: libwayland would complain in English";
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    ::unlink(plugins.file("libqwayland-generic.so").c_str());
    EXPECT_FALSE(primitives::display_reachable()) << "a Wayland session Qt has no plugin for";
    plugins.write("libqwayland-generic.so", "");
    listener.close();
    ::unlink(socket_path.c_str());
    EXPECT_FALSE(primitives::display_reachable()) << "nobody listens any more";
}
