#include "TempDir.h"
#include "primitives/Profile.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace primitives;

TEST(Profile, WritesCreateReplaceAndKeepOtherEntries) {
    TempDir dir;
    const Text ini = dir.file("t.ini");
    EXPECT_TRUE(write_profile_value(ini, "set", "kbps", "1"));
    EXPECT_EQ(read_whole(ini), "[set]\nkbps=1\n");
    dir.write("t.ini", "; mine\n[other]\nkbps=9\n\n[SET]\npath=/a/\nkbps = 3\n\n[tail]\nx=1\n");
    EXPECT_TRUE(write_profile_value(ini, "set", "kbps", "4"));
    EXPECT_TRUE(write_profile_value(ini, "set", "sd", "2"));
    EXPECT_TRUE(write_profile_value(ini, "new", "k", "v"));
    EXPECT_EQ(read_whole(ini), "; mine\n[other]\nkbps=9\n\n[SET]\npath=/a/\nkbps=4\nsd=2\n\n[tail]\nx=1\n[new]\nk=v\n");
    EXPECT_EQ(read_profile_value(ini, "other", "kbps"), "9");
    EXPECT_EQ(read_profile_value(ini, "set", "KBPS"), "4");
    EXPECT_EQ(read_profile_value(ini, "set", "missing", "dflt"), "dflt");
    EXPECT_EQ(read_profile_value(ini, "nosection", "kbps", "dflt"), "dflt");
}

TEST(Profile, BlankNamesGiveEmptyTextAndLeadingControlsAreStripped) {
    TempDir dir;
    const Text ini = dir.write("t.ini", "[set]\nkbps=2\n");
    EXPECT_EQ(read_profile_value("", "set", "kbps", "dflt"), "");
    EXPECT_EQ(read_profile_value(ini, " \t", "kbps", "dflt"), "");
    EXPECT_EQ(read_profile_value("  " + ini, " set", "\tkbps"), "2");
    EXPECT_FALSE(write_profile_value(dir.file("no/such/folder.ini"), "set", "k", "v"));
}

TEST(Profile, SettingsFileFollowsXdgConfigHome) {
    TempDir dir;
    ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    EXPECT_EQ(settings_file(), dir.path() + "/tunvask/tunvask.ini");
    EXPECT_TRUE(write_profile_value(settings_file(), "set", "sd", "1"));
    ::unsetenv("XDG_CONFIG_HOME");
}
