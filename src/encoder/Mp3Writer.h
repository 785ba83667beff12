#pragma once

#include "shared/Owned.h"

#include <cstdint>
#include <cstdio>
#include <lame/lame.h>
#include <memory>
#include <string>
#include <vector>

namespace encoder {

struct StreamTotals;

// Room for what lame_encode_flush() may still give out (LAME asks for 7200 bytes).
constexpr std::size_t kFlushBytes = 7200;
// Room for the largest Info frame LAME makes: one frame at 320 kbps and 8 kHz.
constexpr std::size_t kLameTagBytes = 2880;

struct EncoderSettings {
    long in_rate;    // rate of the source's first audio
    int in_channels; // channels of the source's first audio
    int bit_rate;    // bits per second
    bool downmix;
};

// The format LAME would choose for a source: its output rate and channel count.
struct OutputFormat {
    long rate;
    int channels;
};
// A failure names output_path: LAME is set up for it.
OutputFormat choose_output_format(const EncoderSettings& settings, const std::string& output_path);

inline void close_lame(lame_t lame) {
    lame_close(lame);
}
// A LAME encoder that is closed on every path, failures included.
using LameHandle = shared::Owned<lame_t, close_lame>;

// A LAME encoder for audio already at its output rate and channel count; null when
// LAME rejects the settings.
LameHandle make_lame(long rate, int channels, int bit_rate, bool info_frame);
// Encodes interleaved float frames; returns the bytes made, negative on failure.
int encode_pcm(lame_t lame, int channels, const float* samples, std::size_t frames, std::vector<unsigned char>& out);

// Constant bit rate MP3 with a LAME "Info" frame, between the source's tags, written
// from the start of an empty stream that the caller owns; messages name the output as path.
class Mp3Writer {
public:
    Mp3Writer(std::FILE* file, const std::string& path, const OutputFormat& format, int bit_rate);
    Mp3Writer(const Mp3Writer&) = delete;
    Mp3Writer& operator=(const Mp3Writer&) = delete;

    void write_leading(const std::vector<std::uint8_t>& tag);
    // Interleaved float samples at the output rate and channel count.
    void encode(const float* samples, std::size_t frames);
    // Flushes LAME, appends the trailer, fills in the Info frame and flushes the stream.
    void finish(const std::vector<std::uint8_t>& trailer);

private:
    void write(const unsigned char* data, std::size_t size);
    // Writes the first size bytes LAME made into m_buffer.
    void write_audio(std::size_t size);
    StreamTotals own_info_totals() const;

    std::string m_path;
    std::FILE* m_file;
    LameHandle m_lame;
    int m_channels;
    int m_kbps;
    long m_audio_start = 0;
    std::vector<unsigned char> m_buffer;
    bool m_own_info = false;          // LAME keeps no place for an Info frame at this rate
    std::vector<std::uint8_t> m_info; // our own Info frame, once the first frame is known
    std::int64_t m_samples = 0;       // per channel, given to LAME
    std::uint64_t m_audio_bytes = 0;
    std::uint16_t m_music_crc = 0;
};

} // namespace encoder
