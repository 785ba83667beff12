#include "convert/FailureReason.h"
#include "convert/ProgressLines.h"
#include "shared/FailureContract.h"
#include "shared/ProgressContract.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

using namespace convert;
using failure_contract::Cause;

namespace {

const std::string_view kNoCauseInput = failure_reason("", failure_contract::kInput);
const std::string_view kNoCauseOutput = failure_reason("", failure_contract::kOutput);

} // namespace

// Every word tvenc can end a failure line with has a sentence of its own.
TEST(FailureReason, EveryCauseWordHasASentenceOfItsOwn) {
    std::set<std::string_view> sentences;
    for (const std::string_view word : failure_contract::kCauseWords) {
        const std::string_view reason =
            failure_reason("tvenc: 'a.mp3': what happened [" + std::string(word) + "]", failure_contract::kOutput);
        EXPECT_NE(reason, kNoCauseOutput) << word;
        sentences.insert(reason);
    }
    EXPECT_EQ(sentences.size(), failure_contract::kCauseWords.size());
    EXPECT_EQ(failure_reason("tvenc: 'a.mp3': written to [changed]", 3), "转换时源文件被改动了，请再转换一次。");
}

TEST(FailureReason, TheCauseIsTheWordThatEndsTheLine) {
    const struct {
        const char* line;
        int exit_code;
        std::string_view reason;
    } cases[] = {
        {"tvenc: 'a[disk-full].mp3': not audio [not-audio]", 3, failure_reason(Cause::NotAudio)},
        {"tvenc: 'a[1].mp3': no room [disk-full]\r", 4, failure_reason(Cause::DiskFull)},
        {"tvenc: 'a[1].mp3': something new", 3, kNoCauseInput},
        {"tvenc: 'a[1].mp3': something new", 4, kNoCauseOutput},
        {"tvenc: 'a.mp3': a word no tvenc prints [shiny]", 4, kNoCauseOutput},
        {"", 9, failure_reason(Cause::Internal)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(failure_reason(c.line, c.exit_code), c.reason) << c.line;
    EXPECT_NE(kNoCauseInput, kNoCauseOutput);
}

// Only tvenc's last line is its reason; a numbered result is followed.
TEST(FailureReason, OnlyTheLastLineIsRead) {
    ProgressLines lines;
    lines.feed("tvenc: 'x' [disk-full]\nCompletion: 10.0%, E  \r\ntvenc: 'y': damaged [damaged]\n");
    EXPECT_EQ(lines.failure_line(), "tvenc: 'y': damaged [damaged]");
    lines.feed("Completion: 20.0%, E  \r");
    EXPECT_EQ(lines.failure_line(), "");
    EXPECT_EQ(lines.numbered(), 0);
    lines.feed(std::string(progress_contract::kNumberedPrefix) + "12: '/out/a (12).mp3'\n");
    EXPECT_EQ(lines.numbered(), 12);
}
