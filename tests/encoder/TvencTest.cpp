#include "AudioFixtures.h"
#include "TempDir.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
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

// RMS of samples, in [0, 1] full scale.
double rms(const std::vector<float>& samples) {
    double sum = 0;
    for (float s : samples)
        sum += static_cast<double>(s) * s;
    return samples.empty() ? 0 : std::sqrt(sum / static_cast<double>(samples.size()));
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
    const RunResult r = tvenc({wav, mp3, "-br", "128000", "--threads", "2", "--report-joins"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("tvenc: on one core: too short to share\n"), std::string::npos) << r.err;
    std::vector<float> pcm;
    const Decoded d = decode_mp3(mp3, &pcm);
    ASSERT_TRUE(d.opened);
    EXPECT_FALSE(d.error);
    // 16-bit samples arrive at their level: tones of amplitude 0.4, RMS 0.28.
    EXPECT_NEAR(rms(pcm), 0.4 / std::sqrt(2.0), 0.03);
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
    // A mono source stays mono: a second channel would take half of every frame.
    write_wav(dir.file("mono.wav"), kRate, 1, kFrames);
    ASSERT_EQ(tvenc({dir.file("mono.wav"), mono, "-br", "64000"}).status, 0);
    EXPECT_EQ(decode_mp3(mono).channels, 1);
    // Of more channels the front pair is kept, each on its side (440 Hz left, 660 Hz the others).
    write_wav(dir.file("surround.wav"), kRate, 6, kFrames);
    ASSERT_EQ(tvenc({dir.file("surround.wav"), mono, "-br", "128000"}).status, 0);
    std::vector<float> pcm;
    ASSERT_EQ(decode_mp3(mono, &pcm).channels, 2);
    double sides = 0;
    for (std::size_t i = 0; i + 1 < pcm.size(); i += 2)
        sides += (pcm[i] - pcm[i + 1]) * (pcm[i] - pcm[i + 1]);
    EXPECT_GT(sides / static_cast<double>(pcm.size() / 2), 0.1) << "the right channel is not the left one";

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

// The same inode number on another file system is another file: tvenc writes it.
TEST_F(Tvenc, AnOutputWithTheInputsInodeNumberElsewhereIsWritten) {
    const TmpfsMount first, second;
    if (!first.mounted() || !second.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    const std::string input = first.write("a.wav", read_whole(wav)), output = second.write("a.mp3", "old");
    struct stat in {
    }, out{};
    ASSERT_EQ(::stat(input.c_str(), &in), 0);
    ASSERT_EQ(::stat(output.c_str(), &out), 0);
    ASSERT_EQ(in.st_ino, out.st_ino);
    const RunResult r = tvenc({input, output, "-br", "64000"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(decode_mp3(output).channels, 2);
}

// libsndfile and libsoxr are loaded only when a source needs them. Where one cannot be
// loaded (here a broken copy found first), only the files that need it fail, cleanly.
TEST_F(Tvenc, ALibraryThatCannotBeLoadedFailsOnlyTheFilesThatNeedIt) {
    const std::string mp3 = dir.file("source.mp3");
    ASSERT_EQ(tvenc({wav, mp3}).status, 0);
    const TempDir broken;
    broken.write("libsndfile.so.1", "");
    broken.write("libsoxr.so.0", "");
    const auto without = [&](const std::string& input, const std::string& output, const std::string& bits) {
        return run_program({"/usr/bin/env", "LD_LIBRARY_PATH=" + broken.file(""), kTvenc, input, output, "-br", bits});
    };
    const RunResult at_its_rate = without(mp3, dir.file("at_its_rate.mp3"), "112000");
    EXPECT_EQ(at_its_rate.status, 0) << at_its_rate.err;
    EXPECT_EQ(decode_mp3(dir.file("at_its_rate.mp3")).rate, kRate);
    struct Case {
        std::string input, bits, library;
    } cases[] = {{wav, "128000", "libsndfile"}, {mp3, "16000", "libsoxr"}};
    for (const Case& c : cases) {
        const RunResult r = without(c.input, dir.file("failed.mp3"), c.bits);
        EXPECT_EQ(r.status, 3) << c.library;
        EXPECT_NE(r.err.find("cannot load " + c.library), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("[internal]"), std::string::npos) << r.err;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("")), {}), 3) << "nothing left behind";
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
        // Nothing but tvenc's own lines, whatever the decoders think of the file.
        EXPECT_EQ(std::regex_replace(r.err, std::regex("Completion:[^\r]*\r|tvenc: [^\n]*\n|\n"), ""), "")
            << entry.path();
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

namespace {

// An ID3v2 tag of the given version whose body is size bytes of padding; with a
// footer ("3DI") where asked (ID3v2.4 only).
std::string padding_tag(int version, std::size_t size, bool footer) {
    std::string sizes;
    for (int shift : {21, 14, 7, 0})
        sizes += static_cast<char>((size >> shift) & 0x7F);
    const char flags = footer ? 0x10 : 0;
    std::string tag = std::string("ID3") + static_cast<char>(version) + '\0' + flags + sizes;
    tag += std::string(size, '\0');
    if (footer) tag += std::string("3DI") + static_cast<char>(version) + '\0' + flags + sizes;
    return tag;
}

} // namespace

// A stereo source with the tone on one side only: the mono result carries it at half
// its level (the channels are averaged), whichever side it is on, from WAV and MP3 alike.
TEST_F(Tvenc, MonoDownmixUsesBothChannels) {
    constexpr long kSeconds = 2;
    for (int side : {0, 1}) {
        std::vector<float> samples(kRate * kSeconds * 2, 0.0f);
        for (long i = 0; i < kRate * kSeconds; ++i)
            samples[static_cast<std::size_t>(2 * i + side)] = 0.5f * std::sin(2 * M_PI * 1000.0 * i / kRate);
        const std::string source = dir.file("side" + std::to_string(side) + ".wav");
        write_wav_samples(source, kRate, 2, samples, WavFormat::Float32);
        const std::string stereo_mp3 = dir.file("side" + std::to_string(side) + ".mp3");
        ASSERT_EQ(tvenc({source, stereo_mp3, "-br", "320000"}).status, 0);
        for (const std::string& input : {source, stereo_mp3}) {
            const std::string out = dir.file("mono.mp3");
            ASSERT_EQ(tvenc({input, out, "-br", "64000", "-dm"}).status, 0) << input;
            std::vector<float> pcm;
            const Decoded d = decode_mp3(out, &pcm);
            ASSERT_EQ(d.channels, 1);
            // Half of 0.5 as a sine: 0.25 / sqrt(2).
            EXPECT_NEAR(rms(pcm), 0.25 / std::sqrt(2.0), 0.02) << input;
        }
    }
}

// Copied only when re-encoding could not make it smaller: Layer III whose audio
// averages at most the target (tags do not count), without a mono conversion.
TEST_F(Tvenc, CopiedExactlyWhenTheAudioIsAlreadySmallEnough) {
    const std::string cbr128 = dir.file("cbr128.mp3"), mono64 = dir.file("mono64.mp3");
    ASSERT_EQ(tvenc({wav, cbr128, "-br", "128000"}).status, 0);
    // A second of audio: the encoder's delay and padding frames are a larger share of it.
    const std::string second_wav = dir.file("second.wav"), second = dir.file("second128.mp3");
    write_wav(second_wav, kRate, 2, kRate);
    ASSERT_EQ(tvenc({second_wav, second, "-br", "128000"}).status, 0);
    ASSERT_EQ(tvenc({wav, mono64, "-br", "64000", "-dm"}).status, 0);
    // A large picture doubles the bytes per second; the audio stays at 128 kbps.
    const std::string pictured = dir.write("pictured.mp3", padding_tag(3, 120000, false) + read_whole(cbr128));
    // An average bit rate a little above 128 kbps: half a second at 160 kbps after the 128 kbps stream.
    const std::string short_wav = dir.file("short.wav"), cbr160 = dir.file("cbr160.mp3");
    write_wav(short_wav, kRate, 2, kRate / 2);
    ASSERT_EQ(tvenc({short_wav, cbr160, "-br", "160000"}).status, 0);
    const std::string abr = dir.write("abr.mp3", read_whole(cbr128) + read_whole(cbr160));
    const Decoded abr_facts = decode_mp3(abr);
    double kbps = 0;
    for (int r : abr_facts.bit_rates)
        kbps += r;
    kbps /= static_cast<double>(abr_facts.bit_rates.size());
    ASSERT_GT(kbps, 130.0) << "the source must average above the target and its slack";
    const struct {
        std::string input;
        std::vector<std::string> switches;
        bool copied;
    } cases[] = {
        {cbr128, {"-br", "128000"}, true},         {pictured, {"-br", "128000"}, true},
        {abr, {"-br", "128000"}, false},           {cbr128, {"-br", "112000"}, false},
        {cbr128, {"-br", "128000", "-dm"}, false}, {mono64, {"-br", "64000", "-dm"}, true},
        {wav, {"-br", "320000"}, false},           {second, {"-br", "128000"}, true},
    };
    for (const auto& c : cases) {
        const std::string out = dir.file("out.mp3");
        std::vector<std::string> args{c.input, out};
        args.insert(args.end(), c.switches.begin(), c.switches.end());
        const RunResult r = tvenc(args);
        ASSERT_EQ(r.status, 0) << c.input;
        EXPECT_EQ(read_whole(out) == read_whole(c.input), c.copied) << c.input << " " << c.switches[1];
        EXPECT_NE(r.out.find("Completion:100.0%"), std::string::npos) << "a copy reports its progress too";
    }
}

// Tags arrive byte for byte: ID3v2 with a picture, ID3v2.4 with a footer, several tags
// in a row, and the ID3v1 tag at the end. A source without tags gets none.
TEST_F(Tvenc, EveryTagIsCopiedWhole) {
    const std::string plain = dir.file("plain.mp3");
    ASSERT_EQ(tvenc({wav, plain, "-br", "192000"}).status, 0);
    const std::string trailing = id3v1_tag("\xD4\xC2\xC1\xC1 title");
    for (const std::string& leading :
         {id3v2_tag_with_picture(), padding_tag(4, 300, true),
          padding_tag(3, 200, false) + padding_tag(4, 100, true) + id3v2_tag_with_picture()}) {
        const std::string tagged = dir.write("tagged.mp3", leading + read_whole(plain) + trailing);
        const std::string out = dir.file("out.mp3");
        ASSERT_EQ(tvenc({tagged, out, "-br", "64000"}).status, 0);
        const std::string bytes = read_whole(out);
        ASSERT_GT(bytes.size(), leading.size() + trailing.size());
        EXPECT_EQ(bytes.substr(0, leading.size()), leading);
        EXPECT_EQ(bytes.substr(bytes.size() - trailing.size()), trailing);
        // The audio starts right after the tags: no tag byte is taken for audio or lost.
        EXPECT_EQ(static_cast<unsigned char>(bytes.at(leading.size())), 0xFF);
        EXPECT_NEAR(static_cast<double>(decode_mp3(out).frames), kFrames * 24000.0 / kRate, 1.0);
    }
    const std::string bare = dir.file("bare.mp3");
    ASSERT_EQ(tvenc({wav, bare}).status, 0);
    const std::string bytes = read_whole(bare);
    EXPECT_NE(bytes.substr(0, 3), "ID3");
    EXPECT_NE(bytes.substr(bytes.size() - 128, 3), "TAG");
}

// A mistake in the command is named in one line before the usage; "--" lets a file whose
// name starts with "-" be named.
TEST_F(Tvenc, UsageErrorsNameTheProblemFirst) {
    const std::string out = dir.file("out.mp3");
    const struct {
        std::vector<std::string> args;
        std::string problem;
    } cases[] = {
        {{"--bogus"}, "unknown switch '--bogus'"},
        {{"--bogus", wav, out}, "unknown switch '--bogus'"},
        {{wav, out, "-br", "5"}, "-br takes a bit rate from 8000 to 320000, not '5'"},
        {{wav, out, "-br"}, "-br needs a bit rate"},
        {{wav, out, "--threads", "0"}, "--threads takes a count"},
        {{wav, "-br", "64000"}, "'-br' stands where a file must"},
        {{wav, "-"}, "'-' is not a path here"},
        {{wav}, "an input and an output file are needed"},
    };
    for (const auto& c : cases) {
        const RunResult r = tvenc(c.args);
        EXPECT_EQ(r.status, 2) << c.problem;
        EXPECT_EQ(r.err.rfind("tvenc: " + c.problem, 0), 0u) << r.err;
        EXPECT_NE(r.err.find("\nusage:  tvenc"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(out));
    const std::string dashed = dir.write("-tone.wav", read_whole(wav));
    const std::string here = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const RunResult r = tvenc({"--", "-tone.wav", "-out.mp3", "-br", "32000"});
    std::filesystem::current_path(here);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(decode_mp3(dir.file("-out.mp3")).rate, 16000);
}

// Audio is what decodes: a WAV saved behind an ID3v2 tag is a WAV, not MPEG frames found
// in its samples; a file with frames but nothing to decode fails at every rate, never
// copied as a success; and a name can fake no reason, however it is made.
TEST_F(Tvenc, OnlyAudioThatDecodesCountsAndEveryFailureIsOneLine) {
    // PCM samples without a header that names them: libmpg123 would find frame headers
    // in them here and there, and decode them as noise.
    std::mt19937 random(3);
    std::uniform_real_distribution<float> step(-0.1f, 0.1f), hiss(-0.05f, 0.05f);
    std::vector<float> walk(kRate * 10 * 2);
    float level = 0;
    for (float& sample : walk) {
        level = 0.97f * level + step(random);
        sample = std::clamp(0.5f * level + hiss(random), -1.0f, 1.0f);
    }
    write_wav_samples(dir.file("walk.wav"), kRate, 2, walk, WavFormat::Pcm16);
    const RunResult raw =
        tvenc({dir.write("raw.mp3", read_whole(dir.file("walk.wav")).substr(44)), dir.file("none.mp3")});
    EXPECT_EQ(raw.status, 3) << raw.err;
    EXPECT_NE(raw.err.find("[not-audio]"), std::string::npos) << raw.err;

    const std::string tagged = dir.write("tagged.mp3", padding_tag(3, 10, false) + read_whole(wav));
    const RunResult r = tvenc({tagged, dir.file("tagged-out.mp3"), "-br", "64000"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Decoded d = decode_mp3(dir.file("tagged-out.mp3"));
    EXPECT_EQ(d.rate, 24000);
    EXPECT_NEAR(static_cast<double>(d.frames), kFrames * 24000.0 / kRate, 1.0);

    // A stream whose encoder delay and padding, as its LAME tag gives them, cover every sample.
    write_wav(dir.file("short.wav"), kRate, 1, 2000);
    ASSERT_EQ(tvenc({dir.file("short.wav"), dir.file("short.mp3"), "-br", "64000", "-dm"}).status, 0);
    std::string silent = read_whole(dir.file("short.mp3"));
    const std::size_t lame = silent.find("LAME");
    ASSERT_NE(lame, std::string::npos);
    silent.replace(lame + 21, 3, "\x90\x0d\x80"); // delay 2304, padding 3456
    const std::string odd_name = dir.write("x\ntvenc: 'y' [disk-full]\n\tz.mp3", silent);
    for (const char* bits : {"128000", "64000", "16000"}) {
        const RunResult failed = tvenc({odd_name, dir.file("none.mp3"), "-br", bits, "-dm"});
        EXPECT_EQ(failed.status, 3) << bits;
        EXPECT_EQ(failed.err,
                  "tvenc: '" + dir.file("x\\ntvenc: 'y' [disk-full]\\n\\tz.mp3") + "': contains no audio [not-audio]\n")
            << bits;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.mp3")));
}

// A library that lacks one of the functions tvenc binds fails the files that need it
// with its name, never a crash.
TEST_F(Tvenc, ALibraryMissingAFunctionFailsByItsName) {
    const RunResult r = run_program(
        {"/usr/bin/env", "LD_LIBRARY_PATH=" PARTIAL_SNDFILE_DIR, kTvenc, wav, dir.file("out.mp3"), "-br", "64000"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "tvenc: 'decoder': libsndfile.so.1 has no sf_seek [internal]\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.mp3")));
}
