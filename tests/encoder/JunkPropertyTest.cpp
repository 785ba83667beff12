// Damage inside real songs (a run of zeros, random bytes, a false frame header of
// another format followed by junk), at random places: whenever tvenc says it succeeded,
// its output decodes cleanly and holds all the audio that decodes from the source but
// the damaged stretch. TUNVASK_JUNK_TRIES sets how many tries (the long fuzz run makes
// hundreds), TUNVASK_JUNK_SEED where they start.
#include "AudioFixtures.h"
#include "TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <regex>

namespace {

const std::string kTvenc = TVENC_PATH;

long from_environment(const char* name, long otherwise) {
    const char* value = std::getenv(name);
    return value && *value ? std::strtol(value, nullptr, 10) : otherwise;
}

struct Song {
    std::string path;
    double seconds = 0;
    long rate = 0;
};

// The songs: two made here, so the property is held without the shared corpus too, and
// the corpus's clean ones of every kind (MPEG-1, 2 and 2.5, layer II, VBR, tags).
std::vector<Song> songs(const TempDir& dir) {
    write_wav(dir.file("made.wav"), 44100, 2, 44100 * 12);
    // At 128 kbps, and at 64, which a conversion at that rate would copy if it could.
    std::vector<std::string> paths{dir.file("made128.mp3"), dir.file("made64.mp3")};
    run_program({kTvenc, dir.file("made.wav"), paths[0], "-br", "128000"});
    run_program({kTvenc, dir.file("made.wav"), paths[1], "-br", "64000"});
    if (const std::string corpus = corpus_folder(); !corpus.empty()) {
        for (const char* name : {"mp3agic__v23tagwithchapters.mp3", "minimp3__l3-nonstandard-sin1k0db_lame_vbrtag.mp3",
                                 "tinytag__vbr11stereo.mp3", "minimp3__M2L3_bitrate_22_all.mp3",
                                 "minimp3__l2-test32.mp3", "tinytag__non_ascii_filename_äää.mp3"})
            paths.push_back(corpus + "/" + name);
    } else {
        std::cout << "shared corpus folder not found: the made song only\n";
    }
    std::vector<Song> found;
    for (const std::string& path : paths) {
        const Decoded d = decode_mp3(path);
        if (d.opened && !d.error && d.seconds > 1) found.push_back({path, d.seconds, d.rate});
    }
    return found;
}

std::string junk(std::mt19937& random, std::size_t size) {
    std::string bytes(size, '\0');
    switch (random() % 3) {
    case 0:
        break; // zeros
    case 1:
        for (char& c : bytes)
            c = static_cast<char>(random());
        break;
    default:
        // A frame header of another format (MPEG-2 layer III, 22.05 or 24 kHz), then junk.
        for (char& c : bytes)
            c = static_cast<char>(random());
        bytes.replace(0, 4, random() % 2 ? "\xFF\xF3\x44\xC4" : "\xFF\xF3\x90\x64");
        break;
    }
    return bytes;
}

} // namespace

TEST(JunkInSongs, ASuccessHoldsAllTheAudioButTheDamagedStretch) {
    TempDir dir;
    const std::vector<Song> sources = songs(dir);
    ASSERT_FALSE(sources.empty());
    const long tries = from_environment("TUNVASK_JUNK_TRIES", 24);
    std::mt19937 random(static_cast<unsigned>(from_environment("TUNVASK_JUNK_SEED", 31)));
    const std::vector<std::vector<std::string>> switches{
        {"-br", "64000"}, {"-br", "32000", "-dm"}, {"-br", "16000", "-dm"}};
    int converted = 0;
    for (long attempt = 0; attempt < tries; ++attempt) {
        const Song& song = sources[random() % sources.size()];
        const std::string bytes = read_whole(song.path);
        const std::size_t junk_bytes = 100 + random() % 4900;
        // Within the audio: past the first tenth (tags), before the last.
        const std::size_t at = bytes.size() / 10 + random() % (bytes.size() * 8 / 10);
        const std::string damaged =
            dir.write("damaged.mp3", bytes.substr(0, at) + junk(random, junk_bytes) + bytes.substr(at));
        const std::string out = dir.file("out.mp3");
        std::vector<std::string> args{kTvenc, damaged, out, "--threads", "2"};
        const auto& chosen = switches[random() % switches.size()];
        args.insert(args.end(), chosen.begin(), chosen.end());
        const RunResult r = run_program(args);
        const std::string what = song.path + " with " + std::to_string(junk_bytes) + " bytes at " + std::to_string(at) +
                                 ", " + chosen[1] + " (try " + std::to_string(attempt) + ")";
        if (r.status != 0) {
            EXPECT_EQ(r.status, 3) << what << r.err;
            EXPECT_TRUE(std::regex_search(r.err, std::regex("tvenc: [^\n]*\\[[a-z-]+\\]\n$"))) << what << r.err;
            EXPECT_FALSE(std::filesystem::exists(out)) << what;
            continue;
        }
        ++converted;
        const Decoded d = decode_mp3(out);
        EXPECT_TRUE(d.opened && !d.error) << what;
        // What decodes from the damaged source, past any junk, as tvenc decodes it: all of
        // the song but the damaged stretch, except where a false header of another format
        // threw libmpg123 off for the rest of the stream (seen on an 8 kbps MPEG-2.5 song).
        const double decodable = std::min(song.seconds, decode_mp3(damaged, nullptr, true).seconds);
        // The damaged stretch: the frames whose bit reservoir reached across the junk (up to
        // 511 bytes back, twenty frames at the lowest rates) and those libmpg123 passes over
        // while it makes sure of its footing again; 32 frames in all.
        const double frame_samples = song.rate > 24000 ? 1152.0 : 576.0;
        const double damaged_seconds = 32 * frame_samples / static_cast<double>(song.rate);
        EXPECT_GE(d.seconds, decodable - damaged_seconds) << what;
        std::filesystem::remove(out);
    }
    EXPECT_GT(converted, tries / 2) << "damage inside a song is passed over, as the common decoders do";
}
