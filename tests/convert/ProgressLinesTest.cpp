#include "convert/ProgressLines.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace convert;

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

TEST(ProgressLines, CountsAnUnendedLastLine) {
    ProgressLines lines;
    lines.feed("Completion: 50.0%, E");
    const auto update = lines.finish();
    ASSERT_TRUE(update.has_value());
    EXPECT_EQ(update->bar, 50);
}
