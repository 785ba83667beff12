#include "convert/OutputPlan.h"
#include "TempDir.h"
#include "primitives/Files.h"
#include "shared/FileIdentity.h"
#include "shared/PathParts.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace convert;

TEST(OutputPlan, NumberedNamesGoBeforeTheExtension) {
    EXPECT_EQ(shared::numbered_name("01.mp3", 2), "01 (2).mp3");
    EXPECT_EQ(shared::numbered_name("a.b.mp3", 3), "a.b (3).mp3");
    EXPECT_EQ(shared::numbered_name("noext", 2), "noext (2)");
    EXPECT_EQ(shared::numbered_name(".mp3", 2), ".mp3 (2)");
    EXPECT_EQ(shared::numbered_path("/in/a.b/01.mp3", 2), "/in/a.b/01 (2).mp3");
    EXPECT_EQ(shared::numbered_path("01.mp3", 2), "01 (2).mp3");
}

TEST(OutputPlan, NeverChoosesASourceOrAnEarlierResult) {
    TempDir a, b, out;
    const std::string a_x = a.write("x.mp3", "A"), b_x = b.write("x.mp3", "B");
    ASSERT_EQ(::symlink(b.path().c_str(), out.file("b-link").c_str()), 0);
    const std::vector<std::string> sources{a_x, b_x, out.write("01 (2).mp3", "a source named like a number")};
    OutputPlan plan(sources);
    // Into the folder of another row's source, even through a symlink.
    EXPECT_TRUE(plan.choose(b.path() + "/", "x.mp3").same_as_source);
    EXPECT_TRUE(plan.choose(out.file("b-link") + "/", "x.mp3").same_as_source);
    const auto first = plan.choose(out.path() + "/", "01.mp3");
    EXPECT_EQ(first.path, out.file("01.mp3"));
    out.write("01.mp3", "result of row 1");
    plan.record_written(first.path);
    // "01 (2).mp3" is a queued source: the series goes on to (3).
    EXPECT_EQ(plan.choose(out.path() + "/", "01.mp3").path, out.file("01 (3).mp3"));
    // An older file that no row of this run wrote is replaced, as any output is.
    out.write("02.mp3", "old");
    EXPECT_EQ(plan.choose(out.path() + "//", "02.mp3").path, out.path() + "//02.mp3");
    // What is not a regular file is taken: a FIFO would hold the run, a folder is no output.
    ASSERT_EQ(::mkfifo(out.file("fifo.mp3").c_str(), 0644), 0);
    ASSERT_EQ(::mkdir(out.file("folder.mp3").c_str(), 0755), 0);
    EXPECT_EQ(plan.choose(out.path() + "/", "fifo.mp3").path, out.file("fifo (2).mp3"));
    EXPECT_EQ(plan.choose(out.path() + "/", "folder.mp3").path, out.file("folder (2).mp3"));
    const ListeningSocket listener(out.file("socket.mp3"));
    ASSERT_TRUE(listener.listening());
    EXPECT_EQ(plan.choose(out.path() + "/", "socket.mp3").path, out.file("socket (2).mp3"));
}

// A file is its device and inode: two file systems number their files alike, and a
// file on one is never the file of the same number on the other.
TEST(FileIdentity, IsTheDeviceAndTheInodeWhateverPathLeadsThere) {
    TempDir dir;
    const std::string a = dir.write("a.mp3", "x");
    ASSERT_EQ(::symlink(dir.path().c_str(), dir.file("link").c_str()), 0);
    EXPECT_TRUE(shared::same_file(a, dir.file("link/a.mp3")));
    EXPECT_TRUE(shared::same_file(a, dir.path() + "/./a.mp3"));
    EXPECT_FALSE(shared::same_file(a, dir.write("b.mp3", "x")));
    EXPECT_FALSE(shared::same_file(a, dir.file("missing")));

    const TmpfsMount first, second;
    if (!first.mounted() || !second.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    const std::string source = first.write("x.mp3", "a source"), other = second.write("x.mp3", "an old output");
    struct stat one {
    }, two{};
    ASSERT_EQ(::stat(source.c_str(), &one), 0);
    ASSERT_EQ(::stat(other.c_str(), &two), 0);
    ASSERT_EQ(one.st_ino, two.st_ino) << "fresh tmpfs mounts number their first files alike";
    EXPECT_FALSE(shared::same_file(source, other));
    const std::vector<std::string> sources{source};
    OutputPlan plan(sources);
    const auto choice = plan.choose(second.path() + "/", "x.mp3");
    EXPECT_FALSE(choice.same_as_source);
    EXPECT_EQ(choice.path, other);
}
