#include "convert/CommandLine.h"
#include "TempDir.h"
#include "convert/EncoderImage.h"
#include "convert/OutputPlan.h"
#include "convert/ProgressLines.h"
#include "convert/RatioText.h"
#include "primitives/Files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace convert;

TEST(SwitchText, BitRateAndMono) {
    EXPECT_EQ(switch_text(64, 0), "-br 64000");
    EXPECT_EQ(switch_text(16, 1), "-br 16000 -dm on");
    EXPECT_EQ(switch_text(128, 0), "-br 128000");
}

TEST(EncoderArguments, PathsStayWholeWhateverTheyHold) {
    const std::string source = "/音乐/a b'\"#;$(x).mp3";
    const auto args = encoder_arguments("/opt/t/60718243.exe", source, "/out/a b.mp3", "-br 16000 -dm on");
    EXPECT_EQ(args,
              (std::vector<std::string>{"/opt/t/60718243.exe", source, "/out/a b.mp3", "-br", "16000", "-dm", "on"}));
}

struct LineCase {
    const char* name;
    std::vector<std::string> pieces; // the reads, in order
    bool updates;                    // the last read moves the bar
    int bar;
    std::string label;
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgressLinesTest : public testing::TestWithParam<LineCase> {};

TEST_P(ProgressLinesTest, TakesTheFigureOfWholeCompletionLines) {
    const LineCase& c = GetParam();
    ProgressLines lines;
    std::optional<ProgressUpdate> update;
    for (const std::string& piece : c.pieces)
        update = lines.feed(piece);
    ASSERT_EQ(update.has_value(), c.updates);
    if (!update) return;
    EXPECT_EQ(update->bar, c.bar);
    EXPECT_EQ(update->label, c.label);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgressLinesTest,
    testing::Values(
        LineCase{"figure_45_3",
                 {"Completion: 45.3%, Elapsed time: 0:07, Time to go: 0:08, Speed: 9.9x  \r"},
                 true,
                 45,
                 "45%"},
        LineCase{"figure_99_6", {"Completion: 99.6%, Elapsed\r"}, true, 99, "100%"},
        LineCase{"figure_100_then_feed", {"Completion:100.0%, E  \r\n"}, true, 100, "100%"},
        LineCase{"small_figure", {"Completion:  2.7%, E\r"}, true, 2, "3%"},
        LineCase{"line_not_yet_ended", {"Completion: 45.3%, Elapsed"}, false, 0, ""},
        LineCase{"split_after_marker", {"Completion: 6", "3.0%, Elapsed time: 0:01  \r"}, true, 63, "63%"},
        LineCase{"split_then_next_line", {"Completion: 6", "3.0%, E  \rCompletion: 67.0%, E  \r"}, true, 67, "67%"},
        LineCase{"percent_before_marker", {"[50%] title\nCompletion: 12.0%, E\r"}, true, 12, "12%"},
        LineCase{"marker_without_percent", {"Completion: 45.\r"}, false, 0, ""},
        LineCase{"name_with_marker_in_message", {"tvenc: 'Section: 50%.mp3': not audio\n"}, false, 0, ""},
        LineCase{"prefix_inside_a_message", {"tvenc: 'Completion: 50%.mp3': not audio\n"}, false, 0, ""},
        LineCase{"huge_figure_held_to_100", {"Completion:1e30%, E\r"}, true, 100, "100%"},
        LineCase{"negative_figure_held_to_0", {"Completion:-5.0%, E\r"}, true, 0, "0%"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ProgressLines, EightyByteReadsOfAWholeRunEndAtTheLastFigure) {
    std::string output;
    for (int thirds = 0; thirds < 300; ++thirds) {
        char line[96];
        std::snprintf(line, sizeof line, "Completion:%5.1f%%, Elapsed time: 0:01, Time to go: 0:02, Speed: 5.0x  \r",
                      thirds / 3.0);
        output += line;
    }
    ProgressLines lines;
    int last = -1;
    for (std::size_t at = 0; at < output.size(); at += 80) {
        if (const auto update = lines.feed(output.substr(at, 80))) {
            EXPECT_GE(update->bar, last) << "the bar went back";
            last = update->bar;
        }
    }
    EXPECT_EQ(last, 99);
}

TEST(ProgressLines, KeepsTheEncodersReasonAndCountsAnUnendedLastLine) {
    ProgressLines lines;
    lines.feed("Completion:  0.0%, E  \r\ntvenc: 'x.mp3': not a recognised audio file\n");
    EXPECT_EQ(lines.failure_line(), "tvenc: 'x.mp3': not a recognised audio file");
    lines.feed("Completion: 50.0%, E");
    const auto update = lines.finish();
    ASSERT_TRUE(update.has_value());
    EXPECT_EQ(update->bar, 50);
}

TEST(RatioText, WholePercentOfTheSource) {
    EXPECT_EQ(ratio_text(1234567, 4000000), "30%");
    EXPECT_EQ(ratio_text(1000000, 4000000), "25%");
    EXPECT_EQ(ratio_text(0, 0), "0%");
    EXPECT_EQ(ratio_text(3LL << 30, 6LL << 30), "50%");
}

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

TEST(OutputPlan, NumberedNamesGoBeforeTheExtension) {
    EXPECT_EQ(numbered_name("01.mp3", 2), "01 (2).mp3");
    EXPECT_EQ(numbered_name("a.b.mp3", 3), "a.b (3).mp3");
    EXPECT_EQ(numbered_name("noext", 2), "noext (2)");
    EXPECT_EQ(numbered_name(".mp3", 2), ".mp3 (2)");
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
    EXPECT_EQ(plan.choose("/dev/", "null").path, "/dev/null (2)");
}

// A file is its device and inode: two file systems number their files alike, and a
// file on one is never the file of the same number on the other.
TEST(FileIdentity, IsTheDeviceAndTheInodeWhateverPathLeadsThere) {
    TempDir dir;
    const std::string a = dir.write("a.mp3", "x");
    ASSERT_EQ(::symlink(dir.path().c_str(), dir.file("link").c_str()), 0);
    EXPECT_TRUE(primitives::same_file(a, dir.file("link/a.mp3")));
    EXPECT_TRUE(primitives::same_file(a, dir.path() + "/./a.mp3"));
    EXPECT_FALSE(primitives::same_file(a, dir.write("b.mp3", "x")));
    EXPECT_FALSE(primitives::same_file(a, dir.file("missing")));

    const TmpfsMount first, second;
    if (!first.mounted() || !second.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    const std::string source = first.write("x.mp3", "a source"), other = second.write("x.mp3", "an old output");
    struct stat one {
    }, two{};
    ASSERT_EQ(::stat(source.c_str(), &one), 0);
    ASSERT_EQ(::stat(other.c_str(), &two), 0);
    ASSERT_EQ(one.st_ino, two.st_ino) << "fresh tmpfs mounts number their first files alike";
    EXPECT_FALSE(primitives::same_file(source, other));
    const std::vector<std::string> sources{source};
    OutputPlan plan(sources);
    const auto choice = plan.choose(second.path() + "/", "x.mp3");
    EXPECT_FALSE(choice.same_as_source);
    EXPECT_EQ(choice.path, other);
}
