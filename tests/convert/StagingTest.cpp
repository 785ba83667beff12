#include "primitives/Staging.h"
#include "ScopedEnvironment.h"
#include "TempDir.h"
#include "convert/EncoderImage.h"
#include "primitives/Files.h"
#include "shared/PathParts.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

using namespace convert;
using primitives::FolderLock;

namespace {

// The staging bases the program reads from its environment, pointed at the test's
// own folders for the length of one test.
class StagingEnvironment {
public:
    StagingEnvironment(const std::string& runtime, const std::string& tmp)
        : m_environment({{"XDG_RUNTIME_DIR", runtime}, {"TMPDIR", tmp}, {"XDG_CACHE_HOME", m_cache.path()}}) {}

private:
    TempDir m_cache;
    ScopedEnvironment m_environment;
};

std::string folder_of(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

void make_old(const std::string& path) {
    const timeval old[2] = {{std::time(nullptr) - 3600, 0}, {std::time(nullptr) - 3600, 0}};
    ::utimes(path.c_str(), old);
}

} // namespace

TEST(Staging, EachRunGetsItsOwnLockedPrivateFolderAndLeavesNothing) {
    ASSERT_GT(encoder_image().size(), 10000u);
    EXPECT_EQ(encoder_image()[0], 0x7F); // an ELF executable
    TempDir runtime;
    ::chmod(runtime.path().c_str(), 0700);
    const StagingEnvironment environment(runtime.path(), runtime.path());
    FolderLock first_lock, second_lock;
    const std::string first = stage_encoder(first_lock);
    const std::string second = stage_encoder(second_lock);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_FALSE(std::filesystem::exists(std::string(std::getenv("XDG_CACHE_HOME")) + "/tunvask"))
        << "no cache folder made where another base would do";
    EXPECT_NE(first, second) << "two runs must never share a file";
    EXPECT_EQ(first.rfind(runtime.path() + "/tunvask-encoder-", 0), 0u);
    EXPECT_EQ(shared::name_of(first), "60718243.exe");
    EXPECT_EQ(primitives::file_size(first), static_cast<std::int64_t>(encoder_image().size()));
    struct stat file {
    }, folder{};
    ASSERT_EQ(::stat(first.c_str(), &file), 0);
    ASSERT_EQ(::stat(folder_of(first).c_str(), &folder), 0);
    EXPECT_EQ(file.st_mode & 07777, 0755u);
    EXPECT_EQ(folder.st_mode & 07777, 0700u);
    EXPECT_TRUE(FolderLock::in_use(folder_of(first)));
    // In use, however old: start-up leaves it alone. (/tmp is a base too and is shared,
    // so only this test's own folders are looked at.)
    make_old(folder_of(first));
    remove_stale_encoders();
    EXPECT_TRUE(primitives::file_exists(first));
    remove_staged_encoder(first, first_lock);
    EXPECT_FALSE(primitives::file_exists(folder_of(first)));
    EXPECT_TRUE(primitives::file_exists(second));
    remove_staged_encoder(second, second_lock);
    EXPECT_TRUE(std::filesystem::is_empty(runtime.path()));
}

// Another user who can write to the base could rename the staging folder and plant a
// program of their own there; a base that is only a link could be pointed elsewhere.
TEST(Staging, BasesOthersCanChangeAreNeverUsed) {
    TempDir open_to_all, mine, target;
    ::chmod(open_to_all.path().c_str(), 0777);
    ::chmod(mine.path().c_str(), 0700);
    EXPECT_FALSE(primitives::is_safe_base(open_to_all.path()));
    EXPECT_TRUE(primitives::is_safe_base(mine.path()));
    ::chmod(open_to_all.path().c_str(), 01777);
    EXPECT_TRUE(primitives::is_safe_base(open_to_all.path())) << "sticky: nobody renames another's entries";
    ::chmod(open_to_all.path().c_str(), 0777);
    const std::string link = mine.file("link");
    ASSERT_EQ(::symlink(target.path().c_str(), link.c_str()), 0);
    EXPECT_FALSE(primitives::is_safe_base(link));
    EXPECT_FALSE(primitives::is_safe_base(mine.file("absent")));
    // The user's own closed folder in a folder open to all: anyone may rename it and put
    // a folder of their own, with an encoder of theirs, under its name.
    const std::string inner = open_to_all.file("mine");
    ASSERT_EQ(::mkdir(inner.c_str(), 0700), 0);
    EXPECT_FALSE(primitives::is_safe_base(inner));
    ::chmod(open_to_all.path().c_str(), 01777);
    EXPECT_TRUE(primitives::is_safe_base(inner)) << "sticky: only the user may rename it";
    ::chmod(open_to_all.path().c_str(), 0777);
    ::rmdir(inner.c_str());
    // Another user's folder, however closed, is theirs to change (root can give one away).
    TempDir theirs;
    if (::getuid() == 0 && ::chown(theirs.path().c_str(), 65534, 65534) == 0) {
        EXPECT_FALSE(primitives::is_safe_base(theirs.path()));
        ::chmod(theirs.path().c_str(), 01777);
        EXPECT_FALSE(primitives::is_safe_base(theirs.path())) << "sticky, yet its owner may rename anything in it";
    }

    // Reached through a symlink: its named folders are closed, the real ones are not.
    const std::string deep = open_to_all.file("deep"), real = deep + "/inner";
    ASSERT_EQ(::mkdir(deep.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(real.c_str(), 0700), 0);
    ASSERT_EQ(::symlink(deep.c_str(), mine.file("via").c_str()), 0);
    EXPECT_FALSE(primitives::is_safe_base(mine.file("via/inner")));
    ::rmdir(real.c_str());
    ::rmdir(deep.c_str());

    const StagingEnvironment environment(open_to_all.path(), mine.path());
    FolderLock lock;
    const std::string staged = stage_encoder(lock);
    EXPECT_EQ(staged.rfind(mine.path() + "/tunvask-encoder-", 0), 0u) << staged;
    EXPECT_TRUE(std::filesystem::is_empty(open_to_all.path()));
    remove_staged_encoder(staged, lock);
}

// A read-only or full base gives way to the next, and so does one where no program may
// start. Needs mounts of its own (root).
TEST(Staging, ReadOnlyFullAndNoexecBasesGiveWayToTheNext) {
    const TmpfsMount read_only("mode=0700", MS_RDONLY), full("mode=0700,size=16k"), no_programs("mode=0700", MS_NOEXEC);
    TempDir fallback;
    ::chmod(fallback.path().c_str(), 0700);
    if (!read_only.mounted() || !full.mounted() || !no_programs.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    {
        const StagingEnvironment environment(no_programs.path(), fallback.path());
        FolderLock lock;
        const std::string staged = stage_encoder(lock);
        EXPECT_EQ(staged.rfind(fallback.path() + "/tunvask-encoder-", 0), 0u) << staged;
        EXPECT_TRUE(std::filesystem::is_empty(no_programs.path()));
        remove_staged_encoder(staged, lock);
    }
    {
        const StagingEnvironment environment(read_only.path(), full.path());
        ::setenv("XDG_CACHE_HOME", fallback.path().c_str(), 1);
        FolderLock lock;
        const std::string staged = stage_encoder(lock);
        EXPECT_EQ(staged.rfind("/tmp/tunvask-encoder-", 0), 0u) << staged;
        EXPECT_TRUE(std::filesystem::is_empty(full.path())) << "a failed attempt leaves nothing";
        remove_staged_encoder(staged, lock);
    }
}

TEST(Staging, StartUpRemovesOnlyFoldersThatNoRunningProgramHolds) {
    TempDir runtime;
    ::chmod(runtime.path().c_str(), 0700);
    const StagingEnvironment environment(runtime.path(), runtime.path());
    const auto make_folder = [&](const std::string& name, bool with_lock_file, bool old) {
        const std::string folder = runtime.file(name);
        std::filesystem::create_directory(folder);
        runtime.write(name + "/60718243.exe", "left behind");
        if (with_lock_file) runtime.write(name + "/lock", "");
        if (old) make_old(folder);
        return folder;
    };
    const std::string dead = make_folder("tunvask-encoder-dead01", true, true);
    const std::string crashed_early = make_folder("tunvask-encoder-nolock", false, true);
    const std::string just_made = make_folder("tunvask-encoder-new001", false, false);
    const std::string held = make_folder("tunvask-encoder-held01", false, true);
    FolderLock lock;
    ASSERT_TRUE(lock.acquire(held));
    make_old(held);
    const std::string other = make_folder("other-program-folder", true, true);
    // Only names that begin with the prefix: the user's own notes merely hold it.
    const std::string notes = make_folder("my-tunvask-encoder-notes", false, true);
    // Root may meet another user's folders: they are theirs to remove.
    const std::string foreign = make_folder("tunvask-encoder-other1", false, true);
    const bool given_away = ::getuid() == 0 && ::chown(foreign.c_str(), 65534, 65534) == 0;
    const std::string pointed = runtime.file("tunvask-encoder-link01");
    ASSERT_EQ(::symlink(other.c_str(), pointed.c_str()), 0);

    // Stale folders of earlier programs in the shared /tmp may go too.
    EXPECT_GE(remove_stale_encoders(), 2);
    EXPECT_FALSE(primitives::file_exists(dead));
    EXPECT_FALSE(primitives::file_exists(crashed_early));
    EXPECT_TRUE(primitives::file_exists(just_made + "/60718243.exe")) << "may be another program setting up";
    EXPECT_TRUE(primitives::file_exists(held + "/60718243.exe")) << "in use by a running program";
    EXPECT_TRUE(primitives::file_exists(other + "/60718243.exe"));
    EXPECT_TRUE(primitives::file_exists(notes + "/60718243.exe"));
    EXPECT_TRUE(primitives::file_exists(pointed + "/60718243.exe"));
    EXPECT_EQ(primitives::file_exists(foreign), given_away);
}

// An encoder that does not run where it was staged (a policy, a broken copy) is never
// used: every base is tried, and each attempt leaves nothing.
TEST(Staging, AnEncoderThatDoesNotRunIsNeverUsed) {
    TempDir first, second;
    ::chmod(first.path().c_str(), 0700);
    ::chmod(second.path().c_str(), 0700);
    const StagingEnvironment environment(first.path(), second.path());
    const std::string failing = "#!/bin/sh\nexit 1\n", running = "#!/bin/sh\nexit 0\n";
    FolderLock lock;
    EXPECT_EQ(stage_encoder(lock, {reinterpret_cast<const std::uint8_t*>(failing.data()), failing.size()}), "");
    EXPECT_TRUE(std::filesystem::is_empty(first.path()));
    EXPECT_TRUE(std::filesystem::is_empty(second.path()));
    const std::string staged =
        stage_encoder(lock, {reinterpret_cast<const std::uint8_t*>(running.data()), running.size()});
    EXPECT_EQ(staged.rfind(first.path() + "/tunvask-encoder-", 0), 0u) << staged;
    remove_staged_encoder(staged, lock);
}
