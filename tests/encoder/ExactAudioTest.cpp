#include "AudioFixtures.h"
#include "TempDir.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <regex>

namespace {

const std::string kTvenc = TVENC_PATH;
constexpr long kRate = 44100;
constexpr int kLongSeconds = 44; // long enough for two cores

RunResult tvenc(std::vector<std::string> args) {
    args.insert(args.begin(), kTvenc);
    return run_program(args);
}

// Frequency of one channel over a window, from its zero crossings.
double frequency(const std::vector<float>& pcm, int channels, int channel, long rate, std::int64_t first,
                 std::int64_t count) {
    int crossings = 0;
    for (std::int64_t i = first + 1; i < first + count; ++i) {
        const float a = pcm[static_cast<std::size_t>((i - 1) * channels + channel)],
                    b = pcm[static_cast<std::size_t>(i * channels + channel)];
        crossings += (a < 0) != (b < 0);
    }
    return crossings / 2.0 * static_cast<double>(rate) / static_cast<double>(count);
}

// A window holding a quiet stretch (the gap where two encoded parts meet) says nothing of pitch.
bool has_quiet_stretch(const std::vector<float>& pcm, int channels, long rate, std::int64_t first, std::int64_t count) {
    const std::int64_t stretch = rate / 200;
    for (std::int64_t s = first; s + stretch <= first + count; s += stretch) {
        double sum = 0;
        for (std::int64_t i = s; i < s + stretch; ++i)
            sum += std::pow(pcm[static_cast<std::size_t>(i * channels)], 2);
        if (std::sqrt(sum / static_cast<double>(stretch)) < 0.15) return true; // the tone's is 0.28
    }
    return false;
}

std::vector<double> progress_figures(const std::string& output) {
    std::vector<double> figures;
    const std::regex line(R"(Completion: *([0-9.]+)%)");
    for (auto it = std::sregex_iterator(output.begin(), output.end(), line); it != std::sregex_iterator(); ++it)
        figures.push_back(std::stod((*it)[1]));
    return figures;
}

struct Rate {
    int kbps;
    bool mono;
    long source_rate = kRate;
};

class Gapless : public testing::TestWithParam<Rate> {
protected:
    const TempDir& folder = suite_folder("gapless", [](const TempDir& dir) {
        write_wav(dir.file("long.wav"), kRate, 2, kRate * kLongSeconds);
        write_wav(dir.file("long48k.wav"), 48000, 2, 48000 * kLongSeconds);
    });
};

} // namespace

TEST_P(Gapless, DecodesToExactlyTheInputsLengthAndItsInfoFrameTellsTheTruth) {
    const Rate& r = GetParam();
    std::vector<float> pcm[2];
    for (const char* threads : {"1", "2"}) {
        const std::string out = folder.file(std::to_string(r.source_rate) + "-" + std::to_string(r.kbps) +
                                            (r.mono ? "m-" : "s-") + threads + ".mp3");
        const std::string wav = folder.file(r.source_rate == kRate ? "long.wav" : "long48k.wav");
        std::vector<std::string> args{wav,         out,     "-br",           std::to_string(r.kbps * 1000),
                                      "--threads", threads, "--report-joins"};
        if (r.mono) args.push_back("-dm");
        const RunResult run = tvenc(args);
        ASSERT_EQ(run.status, 0) << run.err;
        // Two cores share the file (no quiet retreat to one): the join is reported; one
        // thread says why it is alone.
        EXPECT_EQ(run.err.find("tvenc: joined at sample") != std::string::npos, threads[0] == '2');
        EXPECT_EQ(run.err.find("tvenc: on one core: one thread\n") != std::string::npos, threads[0] == '1');
        const Decoded d = decode_mp3(out, &pcm[threads[0] - '1']);
        EXPECT_FALSE(d.error);
        EXPECT_EQ(d.frames, kLongSeconds * d.rate) << d.rate << " Hz, " << threads << " thread(s)";
        EXPECT_EQ(info_frame_problems(read_whole(out)), "") << threads << " thread(s)";
    }
    // The parts made on two cores hold the audio of their place: beside the one-core
    // result they differ by coding noise, not by a signal out of step.
    ASSERT_EQ(pcm[0].size(), pcm[1].size());
    double signal = 0, difference = 0;
    for (std::size_t i = 0; i < pcm[0].size(); ++i)
        signal += pcm[0][i] * pcm[0][i], difference += (pcm[1][i] - pcm[0][i]) * (pcm[1][i] - pcm[0][i]);
    EXPECT_LT(10 * std::log10(difference / signal), -20.0);
}

INSTANTIATE_TEST_SUITE_P(Rates, Gapless,
                         testing::Values(Rate{128, false}, Rate{112, false}, Rate{96, false}, Rate{64, false},
                                         Rate{32, false}, Rate{16, false}, Rate{128, true}, Rate{112, true},
                                         Rate{96, true}, Rate{64, true}, Rate{32, true}, Rate{16, true},
                                         Rate{96, false, 48000}), // resampled to 32 kHz
                         [](const auto& test) {
                             return std::to_string(test.param.kbps) + (test.param.mono ? "_mono" : "_stereo") +
                                    (test.param.source_rate == kRate ? "" : "_from_48k");
                         });

TEST(GaplessElsewhere, FfmpegAlsoDecodesTheSmallestFormatExactly) {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg not installed";
    TempDir dir;
    write_wav(dir.file("in.wav"), kRate, 2, kRate * 3);
    ASSERT_EQ(tvenc({dir.file("in.wav"), dir.file("out.mp3"), "-br", "16000", "-dm"}).status, 0);
    const std::string command =
        "ffmpeg -v error -i '" + dir.file("out.mp3") + "' -f s16le -ac 1 '" + dir.file("pcm") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(std::filesystem::file_size(dir.file("pcm")), 3u * 16000 * 2);
}

TEST(FormatChanges, EveryPartKeepsItsPitchAndLengthAndProgressNeverGoesBack) {
    TempDir dir;
    struct Part {
        long rate;
        bool mono;
    };
    std::string stream;
    double seconds = 0;
    for (const Part& p : {Part{44100, false}, Part{48000, false}, Part{44100, true}, Part{44100, false}}) {
        const std::string wav = dir.file("part.wav"), mp3 = dir.file("part.mp3");
        write_tone_wav(wav, p.rate, 2, p.rate * 12, 440.0);
        std::vector<std::string> args{wav, mp3, "-br", "128000"};
        if (p.mono) args.push_back("-dm");
        ASSERT_EQ(tvenc(args).status, 0);
        const std::string bytes = read_whole(mp3);
        stream += bytes.substr(mp3_frame_length(bytes)); // all but the Info frame
    }
    std::ofstream(dir.file("changes.mp3"), std::ios::binary) << stream;
    seconds = decode_mp3(dir.file("changes.mp3")).seconds;
    const RunResult run =
        tvenc({dir.file("changes.mp3"), dir.file("out.mp3"), "-br", "96000", "--threads", "2", "--report-joins"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("tvenc: on one core: the audio format changes\n"), std::string::npos) << run.err;
    const std::vector<double> figures = progress_figures(run.err + run.out);
    for (std::size_t i = 1; i < figures.size(); ++i)
        ASSERT_GE(figures[i], figures[i - 1]) << "progress went back";

    std::vector<float> pcm;
    const Decoded d = decode_mp3(dir.file("out.mp3"), &pcm);
    EXPECT_NEAR(static_cast<double>(d.frames), seconds * static_cast<double>(d.rate), 0.01 * d.rate);
    const std::int64_t window = d.rate / 10;
    int judged = 0;
    for (std::int64_t first = window; first + 2 * window <= d.frames; first += window) {
        if (has_quiet_stretch(pcm, d.channels, d.rate, first, window)) continue;
        ++judged;
        for (int channel = 0; channel < d.channels; ++channel)
            EXPECT_NEAR(frequency(pcm, d.channels, channel, d.rate, first, window), 440.0, 12.0)
                << "channel " << channel << ", window at " << static_cast<double>(first) / d.rate << " s";
    }
    EXPECT_GT(judged, 400);
}

TEST(DamagedSamples, NanInfinityAndHugeValuesEncodeWithoutAbort) {
    TempDir dir;
    std::vector<float> samples;
    for (long i = 0; i < kRate * 2; ++i) {
        const auto v = static_cast<float>(0.5 * std::sin(2 * M_PI * 440 * static_cast<double>(i) / kRate));
        samples.push_back(i % 1000 == 0 ? std::numeric_limits<float>::quiet_NaN() : v);
        samples.push_back(i % 1500 == 0 ? std::numeric_limits<float>::infinity() : i % 777 == 0 ? 1e30f : v);
    }
    write_wav_samples(dir.file("bad.wav"), kRate, 2, samples, WavFormat::Float32);
    for (const char* mode : {"-br", "-dm"}) {
        std::vector<std::string> args{dir.file("bad.wav"), dir.file("out.mp3"), "-br", "64000"};
        if (std::string(mode) == "-dm") args.push_back("-dm");
        const RunResult run = tvenc(args);
        ASSERT_EQ(run.status, 0) << run.err;
        const Decoded d = decode_mp3(dir.file("out.mp3"));
        EXPECT_FALSE(d.error);
        EXPECT_EQ(d.frames, 2 * d.rate);
    }
}

TEST(ImpossibleFormats, AreRefusedAtOnce) {
    TempDir dir;
    struct Case {
        long rate;
        int channels;
    };
    for (const Case& c : {Case{1, 2}, Case{2, 1}, Case{999, 1}, Case{800000, 1}, Case{8000, 9}}) {
        write_wav_samples(dir.file("odd.wav"), c.rate, c.channels, std::vector<float>(4000, 0.25f), WavFormat::Pcm16);
        const RunResult run = tvenc({dir.file("odd.wav"), dir.file("out.mp3")});
        EXPECT_EQ(run.status, 3) << c.rate << " Hz, " << c.channels << " channels";
        EXPECT_NE(run.err.find("tvenc: "), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.mp3")));
    }
    write_wav_samples(dir.file("edge.wav"), 1000, 1, std::vector<float>(4000, 0.25f), WavFormat::Pcm16);
    EXPECT_EQ(tvenc({dir.file("edge.wav"), dir.file("out.mp3")}).status, 0);
}

TEST(CommandLine, BitRateIsAWholeNumberOfBitsPerSecondInRange) {
    TempDir dir;
    write_wav(dir.file("in.wav"), 8000, 1, 8000);
    for (const char* bad : {"abc", "64", "64k", "1e5", "-5", "999999", "7999", "320001", "", "+64000", "64000.0"}) {
        const RunResult run = tvenc({dir.file("in.wav"), dir.file("out.mp3"), "-br", bad});
        EXPECT_EQ(run.status, 2) << '"' << bad << '"';
        EXPECT_NE(run.err.find("usage:"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.mp3"))) << bad;
    }
    EXPECT_EQ(tvenc({dir.file("in.wav"), dir.file("out.mp3"), "-br"}).status, 2);
    EXPECT_EQ(tvenc({dir.file("in.wav"), dir.file("out.mp3"), "--threads", "0"}).status, 2);
    for (const char* good : {"8000", "320000", "64000"}) {
        EXPECT_EQ(tvenc({dir.file("in.wav"), dir.file(std::string(good) + ".mp3"), "-br", good, "-dm", "on"}).status,
                  0);
    }
    EXPECT_EQ(decode_mp3(dir.file("64000.mp3")).bit_rates.front(), 64);
}

TEST(CommandLine, SwitchesCountOnlyWhereASwitchMayStand) {
    TempDir dir;
    write_wav(dir.file("in.wav"), 8000, 1, 8000);
    const RunResult usage = run_program({kTvenc, "only-one"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("usage:  tvenc <.wav or .mp3 input file> <.mp3 file> -switches"), std::string::npos);
    EXPECT_NE(usage.err.find("-dm"), std::string::npos);
    // Standard output carries progress, so "-" is no stream, nor a file of that name.
    const auto in_dir = [&](const std::string& arguments) {
        return run_program({"/bin/sh", "-c", "cd '" + dir.path() + "' && exec '" + kTvenc + "' " + arguments}).status;
    };
    EXPECT_EQ(in_dir("in.wav -"), 2);
    EXPECT_EQ(in_dir("- b.mp3"), 2);
    EXPECT_FALSE(std::filesystem::exists(dir.file("-")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.mp3")));
    // A known switch where a path must stand is a mistake, not a file name: "-br 64000 in
    // out" is a usage error, "-h" or "--help" there asks for help. A file that starts with
    // "-" is reached as "./-name".
    RunResult run = run_program({kTvenc, "-br", "64000", dir.file("in.wav"), dir.file("out.mp3")});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("usage:"), std::string::npos);
    for (const char* help : {"-h", "--help"}) {
        run = run_program({kTvenc, help});
        EXPECT_EQ(run.status, 0) << help;
        EXPECT_NE(run.out.find("usage:"), std::string::npos) << help;
        EXPECT_EQ(run_program({kTvenc, dir.file("in.wav"), help}).status, 0) << help;
    }
    std::filesystem::copy_file(dir.file("in.wav"), dir.file("-dm"));
    EXPECT_EQ(in_dir("./-dm dm.mp3"), 0);
    EXPECT_TRUE(std::filesystem::exists(dir.file("dm.mp3")));
    run = tvenc({dir.file("in.wav"), dir.file("out.mp3"), "--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("usage:"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.mp3")));
    run = run_program({kTvenc, "--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(std::regex_match(run.out, std::regex("tvenc [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << run.out;
}

// As the common decoders do: a run of zeros inside the stream is passed over and a
// download that breaks off ends at its last whole frame; nothing but progress reaches
// stderr. A file with no audio at all still fails, on one line.
TEST(BrokenStreams, JunkIsPassedOverAndACutStreamEndsAtItsLastWholeFrame) {
    TempDir dir;
    // Long enough, and at twice the rate asked, that even the cut half is encoded on two
    // cores: the worker that decodes to the end must not trust the length the Info frame
    // tells of the whole.
    constexpr int kSeconds = 30;
    write_wav(dir.file("in.wav"), kRate, 2, kRate * kSeconds);
    ASSERT_EQ(tvenc({dir.file("in.wav"), dir.file("tone.mp3"), "-br", "256000"}).status, 0);
    const std::string tone = read_whole(dir.file("tone.mp3"));
    std::size_t half = 0; // on a frame boundary: the zeros come between two frames
    while (half < tone.size() / 2)
        half += mp3_frame_length(tone, half);
    std::ofstream(dir.file("zeros-inside.mp3"), std::ios::binary)
        << tone.substr(0, half) << std::string(5000, '\0') << tone.substr(half);
    std::ofstream(dir.file("cut.mp3"), std::ios::binary) << tone.substr(0, half + 100);
    std::vector<std::int64_t> cut_lengths;
    for (const char* threads : {"1", "2"}) {
        RunResult run =
            tvenc({dir.file("zeros-inside.mp3"), dir.file("out.mp3"), "-br", "128000", "--threads", threads});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(decode_mp3(dir.file("out.mp3")).frames, kRate * kSeconds) << "the zeros take no audio away";
        run = tvenc({dir.file("cut.mp3"), dir.file("out-cut.mp3"), "-br", "128000", "--threads", threads});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(std::regex_replace(run.err, std::regex("Completion:[^\r]*\r|\n"), ""), "") << "notes on stderr";
        cut_lengths.push_back(decode_mp3(dir.file("out-cut.mp3")).frames);
    }
    // The cut stream's whole frames, on one core as on two. (libmpg123 keeps the
    // encoder's delay of a stream whose Info frame tells another length: at most
    // 576 + 529 samples more than a decoder that trusts the delay gives.)
    EXPECT_EQ(cut_lengths[1], cut_lengths[0]);
    EXPECT_NEAR(static_cast<double>(cut_lengths[0]), static_cast<double>(decode_mp3(dir.file("cut.mp3")).frames), 1105);
    std::ofstream(dir.file("zeros.mp3"), std::ios::binary) << std::string(20000, '\0');
    const RunResult run = tvenc({dir.file("zeros.mp3"), dir.file("none.mp3")});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << "one line of its own: " << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.mp3")));
}
