#pragma once

#include <cstdint>
#include <string>
#include <vector>

// 16-bit PCM WAV of a tone per channel (440 Hz left, 660 Hz right), with a click
// every half second so short blocks get exercised too.
void write_wav(const std::string& path, long rate, int channels, long frames);
// A pure sine, the same on every channel.
void write_tone_wav(const std::string& path, long rate, int channels, long frames, double hz);
// Interleaved samples as they are (NaN and out-of-range values included in floats).
enum class WavFormat { Pcm16, Float32 };
void write_wav_samples(const std::string& path, long rate, int channels, const std::vector<float>& samples,
                       WavFormat format);

// An ID3v2.3 tag with a title and an attached picture; an ID3v1 trailer.
std::string id3v2_tag_with_picture();
// An ID3v1 trailer of 128 bytes: the marker, then title, artist and album, each cut
// or padded with zero bytes to 30, then an empty year, comment and genre.
std::string id3v1_tag(const std::string& title, const std::string& artist = {}, const std::string& album = {},
                      const std::string& marker = "TAG");

struct RunResult {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};
RunResult run_program(const std::vector<std::string>& argv);

struct Decoded {
    bool opened = false;
    bool error = false;
    long rate = 0;
    int channels = 0;
    std::int64_t frames = 0;    // samples per channel, gapless
    double seconds = 0;         // summed over every format the stream has
    std::vector<int> bit_rates; // kbps of every MPEG frame
};
// With pcm, also the decoded samples (interleaved, -1..1). libmpg123 gives up at a stretch
// of junk longer than a kilobyte, as strict players do, unless past_any_junk is set.
Decoded decode_mp3(const std::string& path, std::vector<float>* pcm = nullptr, bool past_any_junk = false);

// Bytes of the Layer III frame whose header starts at `at` (MPEG 1, 2 and 2.5); 0 where
// no frame header starts.
std::size_t mp3_frame_length(const std::string& bytes, std::size_t at = 0);
// What the Info frame at the start of an untagged MP3 gets wrong about the stream after
// it (frame count, byte counts, music and tag CRCs); empty when it describes it truly.
std::string info_frame_problems(const std::string& mp3);
