#include "encoder/Mp3Writer.h"

#include "encoder/Failure.h"
#include "encoder/InfoFrame.h"
#include "encoder/ReservoirPacker.h"

#include <algorithm>

#include <cerrno>
#include <cstring>

namespace encoder {

namespace {

constexpr int kQuality = 3; // LAME's default trade of speed against quality

// Null when there is no memory for it.
lame_t new_lame(long in_rate, int channels, int bit_rate) {
    lame_t lame = lame_init();
    if (!lame) return nullptr;
    lame_set_in_samplerate(lame, static_cast<int>(in_rate));
    lame_set_num_channels(lame, channels);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(lame, (bit_rate + 500) / 1000);
    lame_set_VBR(lame, vbr_off);
    lame_set_quality(lame, kQuality);
    lame_set_write_id3tag_automatic(lame, 0);
    lame_set_bWriteVbrTag(lame, 1);
    return lame;
}

} // namespace

LameHandle make_lame(long rate, int channels, int bit_rate, bool info_frame) {
    LameHandle lame(new_lame(rate, channels, bit_rate));
    if (!lame) return {};
    lame_set_out_samplerate(lame.get(), static_cast<int>(rate));
    lame_set_bWriteVbrTag(lame.get(), info_frame ? 1 : 0);
    if (lame_init_params(lame.get()) < 0) return {};
    return lame;
}

int encode_pcm(lame_t lame, int channels, const float* samples, std::size_t frames, std::vector<unsigned char>& out) {
    const int n = static_cast<int>(frames);
    out.resize(frames * 5 / 4 + kFlushBytes);
    const int size = static_cast<int>(out.size());
    return channels == 1 ? lame_encode_buffer_ieee_float(lame, samples, samples, n, out.data(), size)
                         : lame_encode_buffer_interleaved_ieee_float(lame, samples, n, out.data(), size);
}

OutputFormat choose_output_format(const EncoderSettings& settings, const std::string& output_path) {
    const int channels = settings.downmix || settings.in_channels == 1 ? 1 : 2;
    const LameHandle probe(new_lame(settings.in_rate, channels, settings.bit_rate));
    if (!probe) fail(kFailOutput, Cause::NoMemory, output_path, "out of memory: the MP3 encoder could not be set up");
    // Set up as the encode will be (LAME choosing the rate the encode then names), before
    // any file is made: where memory runs short, nothing is left behind.
    const int ready = lame_init_params(probe.get());
    const long rate = lame_get_out_samplerate(probe.get());
    if (ready == LAME_NOMEM)
        fail(kFailOutput, Cause::NoMemory, output_path, "out of memory: the MP3 encoder could not be set up");
    if (ready < 0 || rate <= 0)
        fail(kFailOutput, Cause::Format, output_path, "no MP3 format fits this bit rate and sample rate");
    return {rate, channels};
}

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
