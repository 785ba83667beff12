#include "AudioFixtures.h"
#include "TempDir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kTvenc = TVENC_PATH;
constexpr long kRate = 44100;
constexpr long kFrames = kRate * 3 + 1234; // not a whole number of MP3 frames

RunResult tvenc(std::vector<std::string> args) {
    args.insert(args.begin(), kTvenc);
    return run_program(args);
}

bool all_equal(const std::vector<int>& rates, int kbps) {
    return !rates.empty() && std::all_of(rates.begin(), rates.end(), [&](int r) { return r == kbps; });
}

class Tvenc : public testing::Test {
protected:
    void SetUp() override { write_wav(wav, kRate, 2, kFrames); }
    TempDir dir;
    const std::string wav = dir.file("tone.wav");
};

} // namespace

TEST_F(Tvenc, WavBecomesGaplessConstantBitRateMp3) {
    const std::string mp3 = dir.file("out.mp3");
    const RunResult r = tvenc({wav, mp3, "-br", "128000"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Decoded d = decode_mp3(mp3);
    ASSERT_TRUE(d.opened);
    EXPECT_FALSE(d.error);
    EXPECT_EQ(d.rate, kRate);
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(d.frames, kFrames);
    EXPECT_TRUE(all_equal(d.bit_rates, 128));
    // The Info frame sits at the very start of the audio.
    const std::string bytes = read_whole(mp3);
    EXPECT_NE(bytes.substr(0, 400).find("Info"), std::string::npos);
}

TEST_F(Tvenc, ProgressLinesRiseAndTheLastGoesToStdout) {
    const RunResult r = tvenc({wav, dir.file("out.mp3")});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::regex line(
        R"(Completion:([ 0-9]{3}\.[0-9])%, Elapsed time: \d+:\d\d, Time to go: \d+:\d\d, Speed: \d+\.\dx  \r)");
    EXPECT_TRUE(std::regex_match(r.out, line)) << r.out;
    EXPECT_NE(r.out.find("Completion:100.0%"), std::string::npos);
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.back(), '\n');
    double last = -1;
    int lines = 0;
    const std::string err = r.err.substr(0, r.err.size() - 1);
    for (auto it = std::sregex_iterator(err.begin(), err.end(), line); it != std::sregex_iterator(); ++it, ++lines) {
        const double value = std::stod((*it)[1]);
        EXPECT_GT(value, last);
        EXPECT_LT(value, 100.0);
        last = value;
    }
    EXPECT_GT(lines, 10);
    EXPECT_EQ(std::regex_replace(err, line, ""), "");
}

TEST_F(Tvenc, DownmixAndLowRatesFollowLameChoices) {
    const std::string mono = dir.file("mono.mp3");
    ASSERT_EQ(tvenc({wav, mono, "-br", "64000", "-dm", "on", "--unknown", "x"}).status, 0);
    Decoded d = decode_mp3(mono);
    EXPECT_EQ(d.channels, 1);
    EXPECT_EQ(d.rate, kRate);
    EXPECT_EQ(d.frames, kFrames);
    EXPECT_TRUE(all_equal(d.bit_rates, 64));

    const std::string phone = dir.file("phone.mp3");
    ASSERT_EQ(tvenc({wav, phone, "-br", "16000"}).status, 0);
    d = decode_mp3(phone);
    EXPECT_FALSE(d.error);
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(d.rate, 8000);
    // A 16 kbps frame is too small for LAME's Info frame; tvenc's own keeps it gapless.
    EXPECT_NEAR(static_cast<double>(d.frames), kFrames * 8000.0 / kRate, 1.0);
    EXPECT_TRUE(all_equal(d.bit_rates, 16));
}

TEST_F(Tvenc, TagsAreCopiedByteForByte) {
    const std::string plain = dir.file("plain.mp3");
    ASSERT_EQ(tvenc({wav, plain, "-br", "192000"}).status, 0);
    const std::string leading = id3v2_tag_with_picture();
    const std::string trailing = id3v1_tag("\xD4\xC2\xC1\xC1 title");
    const std::string tagged = dir.write("tagged.mp3", leading + read_whole(plain) + trailing);
    const std::string out = dir.file("out.mp3");
    const RunResult r = tvenc({tagged, out, "-br", "64000"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string bytes = read_whole(out);
    ASSERT_GT(bytes.size(), leading.size() + trailing.size());
    EXPECT_EQ(bytes.substr(0, leading.size()), leading);
    EXPECT_EQ(bytes.substr(bytes.size() - trailing.size()), trailing);
    const Decoded d = decode_mp3(out);
    EXPECT_EQ(d.rate, 24000);
    EXPECT_NEAR(static_cast<double>(d.frames), kFrames * 24000.0 / kRate, 1.0);

    // A source without tags gets none.
    const std::string bare = dir.file("bare.mp3");
    ASSERT_EQ(tvenc({wav, bare}).status, 0);
    EXPECT_NE(read_whole(bare).substr(0, 3), "ID3");
    EXPECT_NE(read_whole(bare).substr(read_whole(bare).size() - 128, 3), "TAG");
}

TEST_F(Tvenc, SourceAtOrBelowTheTargetIsCopiedUnchanged) {
    const std::string small = dir.file("small.mp3");
    ASSERT_EQ(tvenc({wav, small, "-br", "64000"}).status, 0);
    const std::string out = dir.file("out.mp3");
    const RunResult r = tvenc({small, out, "-br", "128000"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(read_whole(out), read_whole(small));
    EXPECT_NE(r.out.find("Completion:100.0%"), std::string::npos);
    // Down-mixing a stereo source needs a real encode.
    ASSERT_EQ(tvenc({small, out, "-br", "128000", "-dm"}).status, 0);
    EXPECT_NE(read_whole(out), read_whole(small));
    EXPECT_EQ(decode_mp3(out).channels, 1);
}

TEST_F(Tvenc, BadInputsAndOutputsFailWithDistinctCodes) {
    const std::string out = dir.file("out.mp3");
    struct Case {
        std::string input;
        std::string output;
        int status;
        std::string reason = {};
    };
    // A FIFO among the sources would block the encoder, and the run, for ever.
    ASSERT_EQ(::mkfifo(dir.file("fifo.mp3").c_str(), 0644), 0);
    ASSERT_EQ(::mkdir(dir.file("folder.mp3").c_str(), 0755), 0);
    const std::vector<Case> cases = {
        {dir.file("missing.wav"), out, 3},
        {dir.write("empty.mp3", ""), out, 3},
        {dir.write("garbage.mp3", std::string(5000, 'G')), out, 3},
        {dir.file("fifo.mp3"), out, 3, "': not a regular file"},
        {dir.file("folder.mp3"), out, 3, "': not a regular file"},
        {wav, dir.file("no/such/folder/out.mp3"), 4},
        {wav, wav, 4},
    };
    for (const Case& c : cases) {
        const RunResult r = tvenc({c.input, c.output});
        EXPECT_EQ(r.status, c.status) << c.input;
        EXPECT_NE(r.err.find("tvenc: '"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("n:"), std::string::npos) << r.err;
    }
    EXPECT_GT(std::filesystem::file_size(wav), 1000u);
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(TvencUsage, MissingPathsAndHelp) {
    RunResult r = run_program({kTvenc, "only-one"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage:  tvenc <.wav or .mp3 input file> <.mp3 file> -switches"), std::string::npos);
    EXPECT_NE(r.err.find("-dm"), std::string::npos);
    // Standard output carries progress, so "-" is no stream, nor a file of that name.
    const TempDir dir;
    write_wav(dir.file("a.wav"), 8000, 1, 8000);
    const auto in_dir = [&](const std::string& arguments) {
        return run_program({"/bin/sh", "-c", "cd '" + dir.path() + "' && exec '" + kTvenc + "' " + arguments}).status;
    };
    EXPECT_EQ(in_dir("a.wav -"), 2);
    EXPECT_EQ(in_dir("- b.mp3"), 2);
    EXPECT_FALSE(std::filesystem::exists(dir.file("-")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.mp3")));
    r = run_program({kTvenc, "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("-br"), std::string::npos);
}

TEST(TvencCorpus, EveryFileConvertsOrFailsCleanly) {
    const std::string corpus = corpus_folder();
    if (corpus.empty()) GTEST_SKIP() << "shared corpus folder not found";
    TempDir dir;
    int converted = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().extension() != ".mp3") continue;
        const std::string out = dir.file("out.mp3");
        const RunResult r = run_program({kTvenc, entry.path().string(), out, "-br", "32000"});
        EXPECT_TRUE(r.status == 0 || r.status == 3) << entry.path() << " " << r.status << r.err;
        if (r.status != 0) continue;
        ++converted;
        const Decoded d = decode_mp3(out);
        EXPECT_TRUE(d.opened && !d.error) << entry.path();
        std::filesystem::remove(out);
    }
    EXPECT_GE(converted, 20);
}

TEST(TvencCorpus, StreamsThatChangeRateKeepTheirLength) {
    const std::string corpus = corpus_folder();
    if (corpus.empty()) GTEST_SKIP() << "shared corpus folder not found";
    TempDir dir;
    const struct {
        const char* file;
        double seconds;
    } cases[] = {{"minimp3__l3-nonstandard-he_44_48khz.mp3", 14.31}, {"minimp3__l3-he_mode.mp3", 3.344}};
    for (const auto& c : cases) {
        const std::string out = dir.file("out.mp3");
        ASSERT_EQ(run_program({kTvenc, corpus + "/" + c.file, out, "-br", "64000", "-dm"}).status, 0) << c.file;
        EXPECT_NE(read_whole(out), read_whole(corpus + "/" + c.file));
        const Decoded d = decode_mp3(out);
        EXPECT_NEAR(d.seconds, c.seconds, 0.03) << c.file;
    }
}
