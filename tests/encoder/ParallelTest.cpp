#include "AudioFixtures.h"
#include "TempDir.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>

namespace {

constexpr long kRate = 44100;
constexpr int kSeconds = 90;
constexpr double kPart = 18.0; // seconds of each kind of material

// Tones, a sweep, noise-like partials, silence and clicks, 18 s each, all below
// 3.4 kHz so that the 8 kHz outputs can be compared with the same function.
double signal(double t, int channel) {
    const double pi = M_PI;
    const double local = std::fmod(t, kPart);
    switch (static_cast<int>(t / kPart)) {
    case 0:
        return channel == 0 ? 0.3 * std::sin(2 * pi * 440 * t) + 0.2 * std::sin(2 * pi * 1000 * t)
                            : 0.3 * std::sin(2 * pi * 660 * t) + 0.15 * std::sin(2 * pi * 1500 * t);
    case 1: {
        const double phase = 2 * pi * (200 * local + 2800.0 / (2 * kPart) * local * local);
        return channel == 0 ? 0.4 * std::sin(phase) : 0.4 * std::cos(phase);
    }
    case 2: {
        double v = 0;
        for (int i = 0; i < 24; ++i) {
            const double f = 100 + std::fmod(i * 137.0 * (channel + 1) + 31 * i * i, 3200.0);
            v += 0.04 * std::sin(2 * pi * f * t + i * (1.3 + channel));
        }
        return v;
    }
    case 3:
        return 0.0;
    default: {
        const double dt = std::fmod(local, 0.25) - 0.125;
        const double sigma = 0.0007;
        return 0.8 * std::exp(-(dt / sigma) * (dt / sigma) / 2) * std::sin(2 * pi * 2000 * dt);
    }
    }
}

void write_signal_wav(const std::string& path) {
    std::vector<float> samples;
    samples.reserve(static_cast<std::size_t>(kRate * kSeconds * 2));
    for (long i = 0; i < kRate * kSeconds; ++i) {
        for (int c = 0; c < 2; ++c)
            samples.push_back(static_cast<float>(signal(static_cast<double>(i) / kRate, c)));
    }
    write_wav_samples(path, kRate, 2, samples, WavFormat::Pcm16);
}

struct Config {
    const char* name;
    int kbps;
    bool mono;
    bool from_mp3 = false; // decoded through libmpg123, which must seek to the sample
};

void PrintTo(const Config& c, std::ostream* os) {
    *os << c.name;
}

// Mean squared error in dB of a window of decoded audio against the signal.
double window_error(const std::vector<float>& pcm, const Decoded& d, std::int64_t first, std::int64_t length,
                    bool mono) {
    double sum = 0;
    std::int64_t n = 0;
    for (std::int64_t i = std::max<std::int64_t>(first, 0); i < first + length; ++i) {
        const std::int64_t at = i * d.channels;
        if (at + d.channels > static_cast<std::int64_t>(pcm.size())) break;
        const double t = static_cast<double>(i) / static_cast<double>(d.rate);
        for (int c = 0; c < d.channels; ++c) {
            const double ref = mono ? (signal(t, 0) + signal(t, 1)) / 2 : signal(t, c);
            const double e = pcm[static_cast<std::size_t>(at + c)] - ref;
            sum += e * e;
            ++n;
        }
    }
    return 10 * std::log10(sum / std::max<std::int64_t>(n, 1) + 1e-12);
}

class ParallelEncoding : public testing::TestWithParam<Config> {
protected:
    // A 90 s signal as WAV and as MP3, made once for all cases.
    const TempDir& folder = suite_folder("parallel", [](const TempDir& dir) {
        write_signal_wav(dir.file("signal.wav"));
        run_program({TVENC_PATH, dir.file("signal.wav"), dir.file("signal.mp3"), "-br", "256000", "--threads", "1"});
    });
};

} // namespace

TEST_P(ParallelEncoding, MatchesTheSingleThreadedOutputAndHidesItsJoins) {
    const Config& c = GetParam();
    const std::string wav = folder.file(c.from_mp3 ? "signal.mp3" : "signal.wav");
    const std::string serial = folder.file(std::string(c.name) + "-1.mp3");
    const std::string parallel = folder.file(std::string(c.name) + "-4.mp3");
    std::vector<std::string> args{TVENC_PATH, wav, serial, "-br", std::to_string(c.kbps * 1000), "--report-joins"};
    if (c.mono) args.push_back("-dm");
    args.insert(args.end(), {"--threads", "1"});
    ASSERT_EQ(run_program(args).status, 0);
    args[2] = parallel;
    args.back() = "4";
    const RunResult run = run_program(args);
    ASSERT_EQ(run.status, 0) << run.err;
    // Each input frame counted once, by whichever worker keeps it: not twice where two
    // workers encode it, and none left out (each block's count may round a sample down).
    std::smatch counted;
    ASSERT_TRUE(std::regex_search(run.err, counted, std::regex(R"(progress counted (\d+) of (\d+) input samples)")))
        << run.err;
    const double share = std::stod(counted[1]) / std::stod(counted[2]);
    EXPECT_LE(share, 1.0) << "frames counted twice";
    EXPECT_GE(share, 0.99) << "frames not counted";
    const std::regex partial(R"(Completion: *([1-9][0-9]?\.[0-9])%)");
    EXPECT_TRUE(std::regex_search(run.err, partial)) << "progress counts the frames of every worker";
    for (auto it = std::sregex_iterator(run.err.begin(), run.err.end(), partial); it != std::sregex_iterator(); ++it)
        EXPECT_LT(std::stod((*it)[1]), 100.0) << "100% only once the last frame is written";

    std::vector<std::int64_t> joins;
    const std::regex joined(R"(tvenc: joined at sample (\d+), ([-+]\d+) frames off plan, (\d+) frames encoded twice)");
    std::int64_t fewest_twice = INT64_MAX;
    for (auto it = std::sregex_iterator(run.err.begin(), run.err.end(), joined); it != std::sregex_iterator(); ++it) {
        joins.push_back(std::stoll((*it)[1]));
        // Never outside the candidate window around the planned join.
        EXPECT_GE(std::stoi((*it)[2]), -6);
        EXPECT_LE(std::stoi((*it)[2]), 120);
        fewest_twice = std::min<std::int64_t>(fewest_twice, std::stoll((*it)[3]));
    }
    // The worker ahead of a join stops soon after the first in step: the whole window and
    // its warm-up would be 148 frames. (A share taken over late may still need them all.)
    EXPECT_LT(fewest_twice, 100) << run.err;
    EXPECT_GE(joins.size(), 3u) << "a 90 s file on four cores has three joins, and more where a worker took over";

    std::vector<float> pcm_serial, pcm_parallel;
    const Decoded one = decode_mp3(serial, &pcm_serial);
    const Decoded many = decode_mp3(parallel, &pcm_parallel);
    ASSERT_TRUE(many.opened);
    EXPECT_FALSE(many.error);
    EXPECT_EQ(many.rate, one.rate);
    EXPECT_EQ(many.channels, c.mono ? 1 : 2);
    EXPECT_EQ(many.frames, one.frames);
    const std::int64_t expected = kSeconds * many.rate;
    EXPECT_EQ(many.frames, expected);
    EXPECT_EQ(info_frame_problems(read_whole(parallel)), "");
    const double sizes =
        static_cast<double>(read_whole(parallel).size()) / static_cast<double>(read_whole(serial).size());
    EXPECT_NEAR(sizes, 1.0, 0.005);

    const std::int64_t window = many.rate / 20;
    const auto median_error = [&](const std::vector<float>& pcm, const Decoded& d) {
        std::vector<double> errors;
        for (std::int64_t first = 0; first + window <= expected; first += window)
            errors.push_back(window_error(pcm, d, first, window, c.mono));
        std::nth_element(errors.begin(), errors.begin() + static_cast<std::ptrdiff_t>(errors.size() / 2), errors.end());
        return errors[errors.size() / 2];
    };
    const double median = median_error(pcm_parallel, many);
    // Joins that look fine beside a stream that is worse everywhere prove nothing.
    EXPECT_LE(median, median_error(pcm_serial, one) + 1.0) << "the parallel stream is worse than the serial one";
    for (std::int64_t join : joins) {
        const std::int64_t first = join - window / 2;
        const double at_join = window_error(pcm_parallel, many, first, window, c.mono);
        const double same_place_serial = window_error(pcm_serial, one, first, window, c.mono);
        EXPECT_LE(at_join, std::max(median, same_place_serial) + 1.0)
            << "join at " << join << ": " << at_join << " dB, median " << median << " dB, single-threaded "
            << same_place_serial << " dB";
        std::printf("[ %s ] join at %.3f s: %.1f dB (single-threaded %.1f dB, median %.1f dB)\n", c.name,
                    static_cast<double>(join) / static_cast<double>(many.rate), at_join, same_place_serial, median);
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, ParallelEncoding,
                         testing::Values(Config{"stereo128", 128, false}, Config{"stereo64", 64, false},
                                         Config{"stereo16", 16, false}, Config{"mono128", 128, true},
                                         Config{"mono64", 64, true}, Config{"mono16", 16, true},
                                         Config{"stereo64_from_mp3", 64, false, true},
                                         Config{"mono32_from_mp3", 32, true, true}),
                         [](const auto& test) { return std::string(test.param.name); });
