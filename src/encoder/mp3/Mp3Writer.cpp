#include "encoder/mp3/Mp3Writer.h"

#include "encoder/base/Failure.h"
#include "encoder/mp3/Crc16.h"
#include "encoder/mp3/InfoFrame.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace encoder {

namespace {

bool lame_reserves_info_frame(const OutputFormat& format, int bit_rate) {
    const LameHandle probe = make_lame(format.rate, format.channels, bit_rate, true);
    if (!probe) return false;
    std::vector<float> silence(static_cast<std::size_t>(lame_get_framesize(probe.get()) * format.channels), 0.0f);
    std::vector<unsigned char> bytes;
    encode_pcm(probe.get(), format.channels, silence.data(), silence.size() / static_cast<std::size_t>(format.channels),
               bytes);
    bytes.resize(kFlushBytes);
    lame_encode_flush(probe.get(), bytes.data(), static_cast<int>(bytes.size()));
    unsigned char tag[kLameTagBytes];
    return lame_get_lametag_frame(probe.get(), tag, sizeof tag) > 0;
}

} // namespace

Mp3Writer::Mp3Writer(std::FILE* file, const std::string& path, const OutputFormat& format, int bit_rate)
    : m_path(path), m_file(file), m_channels(format.channels), m_kbps((bit_rate + 500) / 1000) {
    m_lame = make_lame(format.rate, format.channels, bit_rate, true);
    if (!m_lame) fail(kFailOutput, Cause::Internal, path, "LAME rejected the settings");
    m_own_info = !lame_reserves_info_frame(format, bit_rate);
}

void Mp3Writer::write(const unsigned char* data, std::size_t size) {
    if (size > 0 && std::fwrite(data, 1, size, m_file) != size) fail_errno(kFailOutput, m_path, errno);
}

void Mp3Writer::write_leading(const std::vector<std::uint8_t>& tag) {
    write(tag.data(), tag.size());
    m_audio_start = static_cast<long>(tag.size());
}

void Mp3Writer::encode(const float* samples, std::size_t frames) {
    const int made = encode_pcm(m_lame.get(), m_channels, samples, frames, m_buffer);
    if (made < 0)
        fail(kFailOutput, Cause::Internal, m_path, "LAME failed to encode (code " + std::to_string(made) + ")");
    m_samples += static_cast<std::int64_t>(frames);
    write_audio(static_cast<std::size_t>(made));
}

void Mp3Writer::write_audio(std::size_t size) {
    if (size == 0) return;
    if (m_own_info && m_info.empty()) {
        // Our Info frame takes the place LAME would have kept, in the first frame's format.
        m_info = compact_info_frame(m_buffer.data(), m_kbps);
        write(m_info.data(), m_info.size());
    }
    m_audio_bytes += size;
    // LAME keeps its own count and CRC for the Info frame it writes.
    if (m_own_info) m_music_crc = crc16(m_buffer.data(), size, m_music_crc);
    write(m_buffer.data(), size);
}

void Mp3Writer::finish(const std::vector<std::uint8_t>& trailer) {
    m_buffer.resize(kFlushBytes);
    const int made = lame_encode_flush(m_lame.get(), m_buffer.data(), static_cast<int>(m_buffer.size()));
    if (made < 0) fail(kFailOutput, Cause::Internal, m_path, "LAME failed to flush");
    write_audio(static_cast<std::size_t>(made));
    write(trailer.data(), trailer.size());
    // The Info frame at the start learns the frame count, delay and padding now.
    std::vector<std::uint8_t> tag(kLameTagBytes);
    tag.resize(lame_get_lametag_frame(m_lame.get(), tag.data(), tag.size()));
    if (tag.empty() && !m_info.empty()) {
        tag = m_info;
        complete_info_frame(tag, own_info_totals());
    }
    // A FIFO or device cannot go back: there the reserved frame stays as it was.
    if (!tag.empty() && tag.size() <= kLameTagBytes) {
        if (std::fseek(m_file, m_audio_start, SEEK_SET) == 0)
            write(tag.data(), tag.size());
        else if (errno != ESPIPE)
            fail_errno(kFailOutput, m_path, errno);
    }
    if (std::fflush(m_file) != 0) fail_errno(kFailOutput, m_path, errno);
}

StreamTotals Mp3Writer::own_info_totals() const {
    lame_t lame = m_lame.get();
    const auto frames = static_cast<std::int64_t>(lame_get_frameNum(lame));
    const int delay = lame_get_encoder_delay(lame);
    const auto padding = frames * lame_get_framesize(lame) - delay - m_samples;
    return {static_cast<std::uint32_t>(frames),
            nullptr,
            m_audio_bytes,
            delay,
            static_cast<int>(std::clamp<std::int64_t>(padding, 0, 4095)),
            m_music_crc};
}

} // namespace encoder
