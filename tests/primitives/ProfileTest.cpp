#include "primitives/Profile.h"
#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST(Profile, NeverLosesWhatItCannotReadOrWouldBreak) {
    TempDir dir;
    // A settings "file" that cannot be read (here a folder, unreadable even for root).
    ASSERT_EQ(::mkdir(dir.file("dir.ini").c_str(), 0700), 0);
    EXPECT_FALSE(write_profile_value(dir.file("dir.ini"), "set", "kbps", "1"));
    struct stat info {};
    ASSERT_EQ(::stat(dir.file("dir.ini").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));

    // One that cannot be read without a writer: replacing it would lose what it is.
    ASSERT_EQ(::mkfifo(dir.file("fifo.ini").c_str(), 0600), 0);
    EXPECT_FALSE(write_profile_value(dir.file("fifo.ini"), "set", "kbps", "1"));
    ASSERT_EQ(::stat(dir.file("fifo.ini").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));

    const Text ini = dir.write("t.ini", "[set]\npath=/a/\n");
    EXPECT_FALSE(write_profile_value(ini, "set", "path", "/x\n[set]\nkbps=9"));
    EXPECT_FALSE(write_profile_value(ini, "set", "path", "/x\r"));
    EXPECT_EQ(read_whole(ini), "[set]\npath=/a/\n");
}

TEST(Profile, ASymlinkedFileIsUpdatedWhereItPointsAndKeepsItsMode) {
    TempDir dir;
    const Text real = dir.write("real.ini", "[other]\nx=1\n");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(::symlink(real.c_str(), dir.file("link.ini").c_str()), 0);
    EXPECT_TRUE(write_profile_value(dir.file("link.ini"), "set", "sd", "2"));
    struct stat link {
    }, target{};
    ASSERT_EQ(::lstat(dir.file("link.ini").c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    ASSERT_EQ(::stat(real.c_str(), &target), 0);
    EXPECT_EQ(target.st_mode & 07777, 0640u);
    EXPECT_EQ(read_whole(real), "[other]\nx=1\n[set]\nsd=2\n");

    // A link to a file not made yet: the file appears where the link points.
    ASSERT_EQ(::symlink("later/new.ini", dir.file("dangling.ini").c_str()), 0);
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("later")));
    const mode_t mask = ::umask(022);
    EXPECT_TRUE(write_profile_value(dir.file("dangling.ini"), "set", "kbps", "3"));
    ::umask(mask);
    ASSERT_EQ(::lstat(dir.file("dangling.ini").c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    ASSERT_EQ(::stat(dir.file("later/new.ini").c_str(), &target), 0);
    EXPECT_EQ(target.st_mode & 07777, 0644u);
    EXPECT_EQ(read_whole(dir.file("later/new.ini")), "[set]\nkbps=3\n");
}

TEST(Profile, WritersInSeveralProcessesLoseNoKey) {
    TempDir dir;
    const Text ini = dir.file("shared.ini");
    constexpr int kProcesses = 8, kKeys = 40;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (int k = 0; k < kKeys; ++k)
                ok = write_profile_value(ini, "p" + std::to_string(p), "k" + std::to_string(k), "v") && ok;
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    int kept = 0;
    for (int p = 0; p < kProcesses; ++p)
        for (int k = 0; k < kKeys; ++k)
            kept += read_profile_value(ini, "p" + std::to_string(p), "k" + std::to_string(k)) == "v";
    EXPECT_EQ(kept, kProcesses * kKeys);
}

TEST(Profile, AFileThatCannotBeReadIsNeverReplaced) {
    TempDir dir;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    const Text ini = dir.write("locked.ini", "[other]\nkeep=1\n");
    ASSERT_EQ(::chmod(ini.c_str(), 0200), 0); // writable, not readable
    // Root reads every file: the write is tried as another user, who can write the folder.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        ::_exit(write_profile_value(ini, "set", "kbps", "1") ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 2) << "could not become another user";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a file that cannot be read was written";
    ::chmod(ini.c_str(), 0600);
    EXPECT_EQ(read_whole(ini), "[other]\nkeep=1\n");
}

// A file last saved on Windows: its keys are found and replaced where they stand.
TEST(Profile, CrlfLinesAreReadAndUpdatedInPlace) {
    TempDir dir;
    const Text ini = dir.write("crlf.ini", "[set]\r\nkbps=1\r\npath=/a/\r\n[other]\r\nx=1\r\n");
    EXPECT_EQ(read_profile_value(ini, "set", "kbps", "none"), "1");
    EXPECT_EQ(read_profile_value(ini, "set", "path", "none"), "/a/");
    EXPECT_TRUE(write_profile_value(ini, "set", "kbps", "4"));
    EXPECT_TRUE(write_profile_value(ini, "other", "x", "2"));
    const Text content = read_whole(ini);
    EXPECT_EQ(read_profile_value(ini, "set", "kbps", "none"), "4");
    EXPECT_EQ(read_profile_value(ini, "other", "x", "none"), "2");
    EXPECT_EQ(content.find("[set]"), content.rfind("[set]")) << content;
    EXPECT_EQ(content.find("kbps="), content.rfind("kbps=")) << content;
    EXPECT_EQ(content.find("x="), content.rfind("x=")) << content;
    // Every line keeps the file's CRLF, the written ones and a new key too; a new file has LF.
    EXPECT_TRUE(write_profile_value(ini, "set", "sd", "2"));
    EXPECT_EQ(read_whole(ini), "[set]\r\nkbps=4\r\npath=/a/\r\nsd=2\r\n[other]\r\nx=2\r\n");
    const Text fresh = dir.file("new.ini");
    EXPECT_TRUE(write_profile_value(fresh, "set", "kbps", "1"));
    EXPECT_EQ(read_whole(fresh), "[set]\nkbps=1\n");
}

// Files other editors wrote: a byte-order mark before the section, a comment after it, LF
// and CRLF lines mixed. The entry is found and updated in place, and every line keeps its
// own ending.
TEST(Profile, OtherEditorsFilesAreUpdatedInPlace) {
    TempDir dir;
    const struct {
        const char* before;
        const char* after;
    } cases[] = {
        {"\xEF\xBB\xBF[set]\nkbps=1\n", "\xEF\xBB\xBF[set]\nkbps=4\n"},
        {"[set] ; Tunvask\nkbps=1\n", "[set] ; Tunvask\nkbps=4\n"},
        {"[set]\nsd=1\r\npath=/x\r\n", "[set]\nsd=1\r\npath=/x\r\nkbps=4\r\n"},
        {"[set]\r\nkbps=1\npath=/x\r\n", "[set]\r\nkbps=4\npath=/x\r\n"},
        {"[other]\r\nx=1\r\n", "[other]\r\nx=1\r\n[set]\r\nkbps=4\r\n"},
    };
    for (const auto& c : cases) {
        const Text ini = dir.write("edited.ini", c.before);
        EXPECT_EQ(read_profile_value(ini, "set", "kbps", "none"),
                  std::string(c.before).find("kbps") != std::string::npos ? "1" : "none");
        EXPECT_TRUE(write_profile_value(ini, "set", "kbps", "4"));
        EXPECT_EQ(read_whole(ini), c.after) << c.before;
    }
}
