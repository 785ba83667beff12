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
