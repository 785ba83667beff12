#include "primitives/Files.h"
#include "ScopedEnvironment.h"
#include "TempDir.h"
#include "primitives/FileSearch.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace primitives;

namespace {

std::vector<Text> all_matches(const Text& pattern) {
    FileSearch search;
    std::vector<Text> names;
    for (Text name = list_files(pattern, search); !name.empty(); name = list_files({}, search))
        names.push_back(name);
    EXPECT_FALSE(search.is_open());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

// A GBK folder name can end in a byte that UTF-8 reads as the lead of a longer
// character: the "/" after it must still be found.
TEST(ListFiles, FindsFilesInGbkNamedFolders) {
    TempDir dir;
    const std::string folder = dir.file("\xB2\xE4");
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    dir.write("\xB2\xE4/a.mp3", "x");
    EXPECT_EQ(all_matches(folder + "/*.mp3"), (std::vector<Text>{"a.mp3"}));
}

TEST(ListFiles, EmptyPatternWithoutSearchAndMissingFolder) {
    FileSearch search;
    EXPECT_EQ(list_files({}, search), "");
    EXPECT_EQ(list_files("/no/such/folder/*.mp3", search), "");
    TempDir dir;
    dir.write("a.mp3", "");
    EXPECT_EQ(list_files(dir.path() + "/*.mp3", search), "a.mp3");
    search.close();
    EXPECT_FALSE(search.is_open());
    EXPECT_EQ(list_files({}, search), "");
}

TEST(Files, SizeExistsDeleteAndWrite) {
    TempDir dir;
    const Text path = dir.file("f.bin");
    EXPECT_EQ(file_size(path), -1);
    EXPECT_FALSE(file_exists(path));
    EXPECT_TRUE(write_file(path, Bytes{}));
    EXPECT_TRUE(file_exists(path));
    EXPECT_EQ(file_size(path), 0);
    const Bytes a{'a', 'b'}, b{'c'};
    EXPECT_TRUE(write_file(path, {&a, &b}));
    EXPECT_EQ(read_whole(path), "abc");
    EXPECT_TRUE(write_file(path, b));
    EXPECT_EQ(read_whole(path), "c");
    EXPECT_TRUE(file_exists(dir.path()));
    EXPECT_TRUE(delete_file(path));
    EXPECT_FALSE(delete_file(path));
}

TEST(Files, WriteFailsWithoutFolderEmptyPathFullDiskOrFailedClose) {
    EXPECT_FALSE(write_file("", Bytes{'x'}));
    EXPECT_FALSE(write_file("/no/such/folder/f", Bytes{'x'}));
    TempDir dir;
    // A full disk, as a child process limited to 1000 bytes per file meets it.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, SIG_IGN);
        ::_exit(write_file(dir.file("big"), Bytes(5000, 'x')) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "a short write must fail";
    // The close that reports what the writes did not.
    const CloseFunction real_close = write_file_close();
    write_file_close() = [](int fd) {
        ::close(fd);
        errno = EIO;
        return -1;
    };
    const bool written = write_file(dir.file("f"), Bytes{'x'});
    write_file_close() = real_close;
    EXPECT_FALSE(written);
}

TEST(Files, SizeIsSixtyFourBitAndNeedsNoReadAccess) {
    TempDir dir;
    const Text path = dir.file("sparse");
    ASSERT_TRUE(write_file(path, Bytes{}));
    ASSERT_EQ(::truncate(path.c_str(), 3LL << 30), 0);
    EXPECT_EQ(file_size(path), 3LL << 30);
    ::chmod(path.c_str(), 0);
    EXPECT_EQ(file_size(path), 3LL << 30);
}

TEST(Files, HandleReadsSeeksAndRejectsInvalidHandles) {
    TempDir dir;
    const Text path = dir.write("data", "0123456789");
    FileHandle file = open_file(path);
    ASSERT_TRUE(file);
    EXPECT_EQ(file_length(file), 10);
    EXPECT_TRUE(seek_file(file, SeekOrigin::End, -3));
    EXPECT_EQ(to_text(read_bytes(file, 100)), "789");
    EXPECT_TRUE(read_bytes(file, 5).empty());
    EXPECT_FALSE(seek_file(file, SeekOrigin::Start, -1));
    EXPECT_TRUE(seek_file(file, SeekOrigin::Current, -4));
    EXPECT_EQ(to_text(read_bytes(file, 2)), "67");
    close_file(file);
    EXPECT_FALSE(file);
    EXPECT_EQ(file_length(file), -1);
    EXPECT_TRUE(read_bytes(file, 5).empty());
    EXPECT_FALSE(open_file(dir.file("missing")));
}

TEST(Files, ProgramFolderIsTheTestBinaryFolder) {
    const Text folder = program_folder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '/');
    EXPECT_TRUE(file_exists(folder + "/core_tests"));
}

// Only WAYLAND_DISPLAY set, and a compositor listening there: a display to use.

TEST(WriteNewFile, NeverWritesThroughAnExistingNameOrSymlink) {
    TempDir dir;
    const std::string target = dir.write("target", "keep");
    ASSERT_EQ(::symlink(target.c_str(), dir.file("link").c_str()), 0);
    EXPECT_FALSE(primitives::write_new_file(dir.file("link"), {1, 2, 3}, 0755));
    EXPECT_FALSE(primitives::write_new_file(target, {1, 2, 3}, 0755));
    EXPECT_EQ(read_whole(target), "keep");
    EXPECT_TRUE(primitives::write_new_file(dir.file("new"), {1, 2, 3}, 0700));
    EXPECT_EQ(primitives::file_size(dir.file("new")), 3);
}
