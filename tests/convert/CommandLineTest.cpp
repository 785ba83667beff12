#include "TempDir.h"
#include "convert/CommandLine.h"
#include "convert/EncoderImage.h"
#include "convert/ProgressChunk.h"
#include "primitives/Files.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace convert;

TEST(SwitchText, BitRateAndMono) {
    EXPECT_EQ(switch_text(64, 0), "-br 64000");
    EXPECT_EQ(switch_text(16, 1), "-br 16000 -dm on");
    EXPECT_EQ(switch_text(128, 0), "-br 128000");
    EXPECT_EQ(switch_text(-1, -1), "-br -1000");
}

TEST(EncoderArguments, PathsStayWholeWhateverTheyHold) {
    const std::string source = "/音乐/a b'\"#;$(x).mp3";
    const auto args = encoder_arguments("/opt/t/60718243.exe", source, "/out/a b.mp3", "-br 16000 -dm on");
    EXPECT_EQ(args, (std::vector<std::string>{"/opt/t/60718243.exe", source, "/out/a b.mp3", "-br", "16000", "-dm", "on"}));
}

struct ChunkCase {
    const char* name;
    std::string chunk;
    bool updates;
    int bar;
    std::string label;
};

void PrintTo(const ChunkCase& c, std::ostream* os) { *os << c.name; }

class ProgressChunkTest : public testing::TestWithParam<ChunkCase> {};

TEST_P(ProgressChunkTest, ReadsTheFigureBetweenTheFirstMarkers) {
    const ChunkCase& c = GetParam();
    const auto update = parse_progress_chunk(c.chunk);
    ASSERT_EQ(update.has_value(), c.updates);
    if (!update) return;
    EXPECT_EQ(update->bar, c.bar);
    EXPECT_EQ(update->label, c.label);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgressChunkTest,
    testing::Values(
        ChunkCase{"figure_45_3", "Completion: 45.3%, Elapsed time: 0:07, Time to go: 0:08, Speed: 9.9x  \r", true, 45, "45%"},
        ChunkCase{"figure_99_6", "Completion: 99.6%, Elapsed", true, 99, "100%"},
        ChunkCase{"figure_100", "Completion:100.0%, Elapsed", true, 100, "100%"},
        ChunkCase{"small_figure", "Completion:  2.7%, E", true, 2, "3%"},
        ChunkCase{"percent_before_marker", "[50%] title\nCompletion: 12.0%", true, 0, "0%"},
        ChunkCase{"marker_without_percent", "Completion: 45.", false, 0, ""},
        ChunkCase{"split_line_tail_then_next", "3%, Elapsed time: 0:01, Time to go: 0:02, Speed: 5.0x  \rCompletion: 46.0%", true, 0, "0%"},
        ChunkCase{"no_marker", "tvenc: 'x': not a recognised audio file", false, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RatioText, WholePercentOfTheSource) {
    EXPECT_EQ(ratio_text(1234567, 4000000), "30%");
    EXPECT_EQ(ratio_text(1000000, 4000000), "25%");
    EXPECT_EQ(ratio_text(0, 0), "0%");
    EXPECT_EQ(ratio_text(3LL << 30, 6LL << 30), "50%");
    EXPECT_EQ(ratio_text(-1, 100), "-1%");
}

TEST(EncoderImage, StagesAnExecutableCopyAndRemovesIt) {
    ASSERT_GT(encoder_image().size(), 10000u);
    EXPECT_EQ(encoder_image()[0], 0x7F); // an ELF executable
    TempDir dir;
    const std::string path = stage_encoder_in(dir.path());
    ASSERT_EQ(path, dir.path() + "/60718243.exe");
    EXPECT_EQ(primitives::file_size(path), static_cast<std::int64_t>(encoder_image().size()));
    EXPECT_EQ(::access(path.c_str(), X_OK), 0);
    // Staging again replaces the file rather than rewriting it in place.
    // (A running encoder keeps its file busy; an open reader shows the old file unlinked.)
    const int old_file = ::open(path.c_str(), O_RDONLY);
    ASSERT_EQ(stage_encoder_in(dir.path()), path);
    struct stat old_info {};
    ::fstat(old_file, &old_info);
    ::close(old_file);
    EXPECT_EQ(old_info.st_nlink, 0u);
    remove_staged_encoder(path);
    EXPECT_FALSE(primitives::file_exists(path));
    EXPECT_TRUE(stage_encoder_in(dir.file("missing")).empty());
}

TEST(EncoderImage, FallsBackToAPrivateFolderWhenTheProgramFolderIsClosed) {
    const std::string path = stage_encoder("/no/such/program/folder");
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(primitives::file_name_of(path), "60718243.exe");
    const std::string folder = path.substr(0, path.size() - 13);
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0077, 0u);
    remove_staged_encoder(path);
    EXPECT_FALSE(primitives::file_exists(folder));
}

TEST(SameFile, ComparesDeviceAndInode) {
    TempDir dir;
    const std::string a = dir.write("a.mp3", "x");
    ::symlink(dir.path().c_str(), dir.file("link").c_str());
    EXPECT_TRUE(primitives::same_file(a, dir.file("link/a.mp3")));
    EXPECT_TRUE(primitives::same_file(a, dir.path() + "/./a.mp3"));
    EXPECT_FALSE(primitives::same_file(a, dir.write("b.mp3", "x")));
    EXPECT_FALSE(primitives::same_file(a, dir.file("missing")));
}
