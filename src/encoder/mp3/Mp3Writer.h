#pragma once

#include "encoder/mp3/LameEncoder.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace encoder {

struct StreamTotals;

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
