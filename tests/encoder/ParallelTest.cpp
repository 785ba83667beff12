#include "AudioFixtures.h"
#include "TempDir.h"
#include "encoder/joins/ParallelPlan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <regex>
#include <sstream>

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

// The same file encoded on one core and on four, once for all the tests of a config.
struct Encoded {
    std::string serial, parallel; // the outputs
    RunResult run;                // of the encode on four cores, with --report-joins
    std::vector<float> pcm_serial, pcm_parallel;
    Decoded one, many;
};

struct Join {
    std::int64_t sample;   // where it lands in the decoded audio
    std::int64_t off_plan; // frames after its planned frame
    std::int64_t twice;    // frames both workers at it encoded
};

std::vector<Join> reported_joins(const std::string& err) {
    std::vector<Join> joins;
    const std::regex joined(R"(tvenc: joined at sample (\d+), ([-+]\d+) frames off plan, (\d+) frames encoded twice)");
    for (auto it = std::sregex_iterator(err.begin(), err.end(), joined); it != std::sregex_iterator(); ++it)
        joins.push_back({std::stoll((*it)[1]), std::stoll((*it)[2]), std::stoll((*it)[3])});
    return joins;
}

class ParallelEncoding : public testing::TestWithParam<Config> {
protected:
    // A 90 s signal as WAV and as MP3, made once for all cases.
    const TempDir& folder = suite_folder("parallel", [](const TempDir& dir) {
        write_signal_wav(dir.file("signal.wav"));
        run_program({TVENC_PATH, dir.file("signal.wav"), dir.file("signal.mp3"), "-br", "256000", "--threads", "1"});
    });

    // Each case runs in a process of its own: the encodes are made once, for all its checks.
    Encoded encode(const Config& c) {
        Encoded e;
        e.serial = folder.file(std::string(c.name) + "-1.mp3");
        e.parallel = folder.file(std::string(c.name) + "-4.mp3");
        std::vector<std::string> args{TVENC_PATH,
                                      folder.file(c.from_mp3 ? "signal.mp3" : "signal.wav"),
                                      e.serial,
                                      "-br",
                                      std::to_string(c.kbps * 1000),
                                      "--report-joins"};
        if (c.mono) args.push_back("-dm");
        args.insert(args.end(), {"--threads", "1"});
        EXPECT_EQ(run_program(args).status, 0);
        args[2] = e.parallel;
        args.back() = "4";
        e.run = run_program(args);
        EXPECT_EQ(e.run.status, 0) << e.run.err;
        e.one = decode_mp3(e.serial, &e.pcm_serial);
        e.many = decode_mp3(e.parallel, &e.pcm_parallel);
        return e;
    }
};

// The window of each granule of a Layer III frame (MPEG-1), every channel: 0 long,
// 1 start (long into short), 2 short, 3 stop (short into long).
std::vector<std::array<int, 2>> block_types(const std::string& bytes, std::size_t at) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
    const int channels = (b[3] >> 6) == 3 ? 1 : 2;
    std::size_t bit = (4 + ((b[1] & 1) ? 0 : 2)) * 8;
    const auto read = [&](int n) {
        int v = 0;
        for (int i = 0; i < n; ++i, ++bit)
            v = (v << 1) | ((b[bit / 8] >> (7 - bit % 8)) & 1);
        return v;
    };
    read(9 + (channels == 1 ? 5 : 3) + 4 * channels);
    std::vector<std::array<int, 2>> types(static_cast<std::size_t>(channels));
    for (int gr = 0; gr < 2; ++gr) {
        for (int ch = 0; ch < channels; ++ch) {
            read(12 + 9 + 8 + 4);
            const bool switching = read(1);
            types[static_cast<std::size_t>(ch)][static_cast<std::size_t>(gr)] = switching ? read(2) : 0;
            read(switching ? 1 + 10 + 9 : 15 + 4 + 3);
            read(3);
        }
    }
    return types;
}

bool starts_long(const std::vector<std::array<int, 2>>& types) {
    return std::all_of(types.begin(), types.end(), [](const auto& t) { return t[0] == 0 || t[0] == 1; });
}
bool ends_long(const std::vector<std::array<int, 2>>& types) {
    return std::all_of(types.begin(), types.end(), [](const auto& t) { return t[1] == 0 || t[1] == 3; });
}

// Where each audio frame of an untagged MP3 starts, the Info frame passed over.
std::vector<std::size_t> audio_frame_offsets(const std::string& bytes) {
    std::vector<std::size_t> offsets;
    for (std::size_t at = mp3_frame_length(bytes); at + 4 <= bytes.size();) {
        const std::size_t length = mp3_frame_length(bytes, at);
        if (length == 0) break;
        offsets.push_back(at);
        at += length;
    }
    return offsets;
}

// Each input frame counted once, by whichever worker keeps it: not twice where two
// workers encode it, and none left out (each block's count may round a sample down);
// and the figure moves while the workers run, reaching 100% only at the end.
void progress_counts_every_input_sample_once(const RunResult& run) {
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
}

// Every join lies among its candidates, and the worker ahead of a join stops soon after
// the first in step instead of encoding the whole window past it (a share taken over
// late may still need it all).
void joins_lie_among_their_candidates_and_cost_few_frames(const Encoded& e) {
    const std::vector<Join> joins = reported_joins(e.run.err);
    EXPECT_GE(joins.size(), 3u) << "a 90 s file on four cores has three joins, and more where a worker took over";
    std::int64_t fewest_twice = INT64_MAX;
    for (const Join& j : joins) {
        EXPECT_GE(j.off_plan, -encoder::kEarly);
        EXPECT_LE(j.off_plan, encoder::kLate);
        fewest_twice = std::min(fewest_twice, j.twice);
    }
    const std::int64_t whole_window = encoder::kEarly + encoder::kWarmUp + encoder::kPastJoin;
    EXPECT_LT(fewest_twice, whole_window * 2 / 3) << e.run.err;
}

// The joined stream is the one-core stream's twin: rate, channels, length to the
// sample, a true Info frame and the same size within half a percent.
void has_the_single_threaded_format_length_and_size(const Encoded& e, const Config& c) {
    ASSERT_TRUE(e.many.opened);
    EXPECT_FALSE(e.many.error);
    EXPECT_EQ(e.many.rate, e.one.rate);
    EXPECT_EQ(e.many.channels, c.mono ? 1 : 2);
    EXPECT_EQ(e.many.frames, e.one.frames);
    EXPECT_EQ(e.many.frames, kSeconds * e.many.rate);
    EXPECT_EQ(info_frame_problems(read_whole(e.parallel)), "");
    const double sizes =
        static_cast<double>(read_whole(e.parallel).size()) / static_cast<double>(read_whole(e.serial).size());
    EXPECT_NEAR(sizes, 1.0, 0.005);
}

// No join can be heard: around each, the error against the signal is no worse than the
// stream's median or the one-core stream's at the same place, and the stream as a whole
// is no worse than the one-core one (joins that look fine beside a stream that is worse
// everywhere prove nothing).
void no_join_is_heard(const Encoded& e, const Config& c) {
    const std::int64_t expected = kSeconds * e.many.rate;
    const std::int64_t window = e.many.rate / 20;
    const auto median_error = [&](const std::vector<float>& pcm, const Decoded& d) {
        std::vector<double> errors;
        for (std::int64_t first = 0; first + window <= expected; first += window)
            errors.push_back(window_error(pcm, d, first, window, c.mono));
        std::nth_element(errors.begin(), errors.begin() + static_cast<std::ptrdiff_t>(errors.size() / 2), errors.end());
        return errors[errors.size() / 2];
    };
    const double median = median_error(e.pcm_parallel, e.many);
    EXPECT_LE(median, median_error(e.pcm_serial, e.one) + 1.0) << "the parallel stream is worse than the serial one";
    for (const Join& j : reported_joins(e.run.err)) {
        const std::int64_t first = j.sample - window / 2;
        const double at_join = window_error(e.pcm_parallel, e.many, first, window, c.mono);
        const double same_place_serial = window_error(e.pcm_serial, e.one, first, window, c.mono);
        EXPECT_LE(at_join, std::max(median, same_place_serial) + 1.0)
            << "join at " << j.sample << ": " << at_join << " dB, median " << median << " dB, single-threaded "
            << same_place_serial << " dB";
    }
}

} // namespace

// Four cores make the one-core output's twin, by each of the checks above.
TEST_P(ParallelEncoding, MatchesTheSingleThreadedOutputAndHidesItsJoins) {
    const Encoded e = encode(GetParam());
    progress_counts_every_input_sample_once(e.run);
    joins_lie_among_their_candidates_and_cost_few_frames(e);
    has_the_single_threaded_format_length_and_size(e, GetParam());
    no_join_is_heard(e, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Rates, ParallelEncoding,
                         testing::Values(Config{"stereo128", 128, false}, Config{"stereo64", 64, false},
                                         Config{"stereo16", 16, false}, Config{"mono128", 128, true},
                                         Config{"mono64", 64, true}, Config{"mono16", 16, true},
                                         Config{"stereo64_from_mp3", 64, false, true},
                                         Config{"mono32_from_mp3", 32, true, true}),
                         [](const auto& test) { return std::string(test.param.name); });

// Transients in every frame around a planned join make LAME switch to short blocks
// there: the join moves on to where the windows meet as long halves again, and the
// output still has the one-core output's length, to the sample.
TEST(ParallelJoins, TransientsAtThePlannedJoinMoveItToLongBlocks) {
    TempDir dir;
    constexpr std::int64_t kFrameSamples = 1152, kDelay = 576, kDecoderDelay = 529;
    constexpr long kSamples = kRate * 44;
    const encoder::Plan plan = encoder::plan_segments(kSamples / kFrameSamples, 2, encoder::make_grid(kRate, kRate));
    const std::int64_t nominal = plan.joins.at(0);
    std::vector<float> samples(static_cast<std::size_t>(kSamples) * 2);
    for (long i = 0; i < kSamples; ++i)
        samples[static_cast<std::size_t>(i) * 2] = samples[static_cast<std::size_t>(i) * 2 + 1] =
            0.05f * static_cast<float>(std::sin(2 * M_PI * 440 * static_cast<double>(i) / kRate));
    // A click in each granule of the frames from before the first candidate on.
    for (std::int64_t f = nominal - encoder::kEarly - 4; f <= nominal + 16; ++f) {
        for (std::int64_t at : {f * kFrameSamples - kDelay + 300, f * kFrameSamples - kDelay + 876}) {
            for (std::int64_t k = 0; k < 8; ++k)
                samples[static_cast<std::size_t>(at + k) * 2] = samples[static_cast<std::size_t>(at + k) * 2 + 1] =
                    k % 2 ? -0.9f : 0.9f;
        }
    }
    write_wav_samples(dir.file("clicks.wav"), kRate, 2, samples, WavFormat::Pcm16);
    std::vector<std::string> args{TVENC_PATH, dir.file("clicks.wav"), dir.file("one.mp3"), "-br",
                                  "128000",   "--report-joins",       "--threads",         "1"};
    ASSERT_EQ(run_program(args).status, 0);
    args[2] = dir.file("two.mp3");
    args.back() = "2";
    const RunResult run = run_program(args);
    ASSERT_EQ(run.status, 0) << run.err;

    const std::string one = read_whole(dir.file("one.mp3")), two = read_whole(dir.file("two.mp3"));
    const std::vector<std::size_t> one_frames = audio_frame_offsets(one), two_frames = audio_frame_offsets(two);
    ASSERT_GT(one_frames.size(), static_cast<std::size_t>(nominal + 20));
    ASSERT_FALSE(starts_long(block_types(one, one_frames[static_cast<std::size_t>(nominal)])))
        << "the clicks make short blocks at the planned join";
    const std::vector<Join> joins = reported_joins(run.err);
    ASSERT_FALSE(joins.empty()) << run.err;
    for (const Join& j : joins) {
        ASSERT_EQ((j.sample + kDelay + kDecoderDelay) % kFrameSamples, 0) << j.sample;
        const auto frame = static_cast<std::size_t>((j.sample + kDelay + kDecoderDelay) / kFrameSamples);
        ASSERT_LT(frame, two_frames.size());
        EXPECT_TRUE(ends_long(block_types(two, two_frames[frame - 1]))) << "frame " << frame;
        EXPECT_TRUE(starts_long(block_types(two, two_frames[frame]))) << "frame " << frame;
    }
    const Decoded d1 = decode_mp3(dir.file("one.mp3")), d2 = decode_mp3(dir.file("two.mp3"));
    EXPECT_EQ(d1.frames, kSamples);
    EXPECT_EQ(d2.frames, kSamples);
    EXPECT_FALSE(d2.error);
    EXPECT_EQ(info_frame_problems(two), "");
}

// The benchmark's way of running the workers, one after another as if each had a core
// of its own, makes the same whole stream, and times every worker and every stretch.
TEST(ParallelJoins, WorkersInTurnMakeAWholeStreamAndTimeEveryThread) {
    TempDir dir;
    write_wav(dir.file("in.wav"), kRate, 2, kRate * 30);
    const RunResult run = run_program({TVENC_PATH, dir.file("in.wav"), dir.file("out.mp3"), "-br", "64000", "--threads",
                                       "3", "--workers-in-turn", "--report-cpu", "--report-joins"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(reported_joins(run.err).size(), 2u) << "no worker takes over another's share" << run.err;
    std::smatch cpu;
    ASSERT_TRUE(std::regex_search(
        run.err, cpu, std::regex(R"(tvenc: cpu seconds serial [0-9.]+ workers(( [0-9.]+)+) packing(( [0-9.]+)+))")))
        << run.err;
    const auto figures = [](const std::string& list) {
        std::istringstream in(list);
        return static_cast<std::size_t>(std::distance(std::istream_iterator<double>(in), {}));
    };
    EXPECT_EQ(figures(cpu[1]), 3u);
    EXPECT_EQ(figures(cpu[3]), 3u);
    const Decoded d = decode_mp3(dir.file("out.mp3"));
    EXPECT_FALSE(d.error);
    EXPECT_EQ(d.frames, 30 * d.rate);
    EXPECT_EQ(info_frame_problems(read_whole(dir.file("out.mp3"))), "");
}
