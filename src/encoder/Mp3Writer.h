#pragma once

#include <cstdint>
#include <cstdio>
#include <lame/lame.h>
#include <string>
#include <vector>

namespace encoder {

struct EncoderSettings {
    long in_rate;     // rate of the source's first audio
    int in_channels;  // channels of the source's first audio
    int bit_rate;     // bits per second
    bool downmix;
};

// The format LAME would choose for a source: its output rate and channel count.
struct OutputFormat {
    long rate;
    int channels;
};
OutputFormat choose_output_format(const EncoderSettings& settings);

// A LAME encoder for audio already at its output rate and channel count.
lame_t make_lame(long rate, int channels, int bit_rate, bool info_frame);
// Encodes interleaved float frames; returns the bytes made, negative on failure.
int encode_pcm(lame_t lame, int channels, const float* samples, std::size_t frames, std::vector<unsigned char>& out);

// Constant bit rate MP3 with a LAME "Info" frame, between the source's tags.
class Mp3Writer {
public:
    Mp3Writer(const std::string& path, const OutputFormat& format, int bit_rate);
    ~Mp3Writer();
    Mp3Writer(const Mp3Writer&) = delete;
    Mp3Writer& operator=(const Mp3Writer&) = delete;

    void write_leading(const std::vector<std::uint8_t>& tag);
    // Interleaved float samples at the output rate and channel count.
    void encode(const float* samples, std::size_t frames);
    // Flushes LAME, appends the trailer, fills in the Info frame and closes.
    void finish(const std::vector<std::uint8_t>& trailer);
    // Closes the output after a failure; whoever staged the file removes it.
    void abandon();

private:
    void write(const unsigned char* data, std::size_t size);

    std::string m_path;
    std::FILE* m_file;
    lame_t m_lame;
    int m_channels;
    long m_audio_start = 0;
    std::vector<unsigned char> m_buffer;
};

} // namespace encoder
