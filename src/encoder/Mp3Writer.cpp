#include "encoder/Mp3Writer.h"

#include "encoder/Failure.h"

#include <cerrno>
#include <cstring>

namespace encoder {

namespace {

constexpr int kQuality = 3; // LAME's default trade of speed against quality

lame_t new_lame(long in_rate, int channels, int bit_rate) {
    lame_t lame = lame_init();
    if (!lame) fail(kFailOutput, "encoder", "LAME could not be initialised");
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

lame_t make_lame(long rate, int channels, int bit_rate, bool info_frame) {
    lame_t lame = new_lame(rate, channels, bit_rate);
    lame_set_out_samplerate(lame, static_cast<int>(rate));
    lame_set_bWriteVbrTag(lame, info_frame ? 1 : 0);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return nullptr;
    }
    return lame;
}

int encode_pcm(lame_t lame, int channels, const float* samples, std::size_t frames, std::vector<unsigned char>& out) {
    const int n = static_cast<int>(frames);
    out.resize(frames * 5 / 4 + 7200);
    const int size = static_cast<int>(out.size());
    return channels == 1 ? lame_encode_buffer_ieee_float(lame, samples, samples, n, out.data(), size)
                         : lame_encode_buffer_interleaved_ieee_float(lame, samples, n, out.data(), size);
}

OutputFormat choose_output_format(const EncoderSettings& settings) {
    const int channels = settings.downmix || settings.in_channels == 1 ? 1 : 2;
    lame_t probe = new_lame(settings.in_rate, channels, settings.bit_rate);
    const int ready = lame_init_params(probe);
    const long rate = lame_get_out_samplerate(probe);
    lame_close(probe);
    if (ready < 0 || rate <= 0) fail(kFailOutput, "encoder", "no MP3 format fits this bit rate and sample rate");
    return {rate, channels};
}

Mp3Writer::Mp3Writer(const std::string& path, const OutputFormat& format, int bit_rate)
    : m_path(path), m_file(std::fopen(path.c_str(), "wb")), m_lame(nullptr), m_channels(format.channels) {
    if (!m_file) fail(kFailOutput, path, std::strerror(errno));
    m_lame = make_lame(format.rate, format.channels, bit_rate, true);
    if (!m_lame) fail(kFailOutput, path, "LAME rejected the settings");
}

Mp3Writer::~Mp3Writer() {
    if (m_lame) lame_close(m_lame);
    if (m_file) std::fclose(m_file);
}

void Mp3Writer::write(const unsigned char* data, std::size_t size) {
    if (size > 0 && std::fwrite(data, 1, size, m_file) != size) fail(kFailOutput, m_path, std::strerror(errno));
}

void Mp3Writer::write_leading(const std::vector<std::uint8_t>& tag) {
    write(tag.data(), tag.size());
    m_audio_start = static_cast<long>(tag.size());
}

void Mp3Writer::encode(const float* samples, std::size_t frames) {
    const int made = encode_pcm(m_lame, m_channels, samples, frames, m_buffer);
    if (made < 0) fail(kFailOutput, m_path, "LAME failed to encode (code " + std::to_string(made) + ")");
    write(m_buffer.data(), static_cast<std::size_t>(made));
}

void Mp3Writer::finish(const std::vector<std::uint8_t>& trailer) {
    m_buffer.resize(7200);
    const int made = lame_encode_flush(m_lame, m_buffer.data(), static_cast<int>(m_buffer.size()));
    if (made < 0) fail(kFailOutput, m_path, "LAME failed to flush");
    write(m_buffer.data(), static_cast<std::size_t>(made));
    write(trailer.data(), trailer.size());
    // The Info frame LAME reserved at the start learns the frame count, delay and padding now.
    unsigned char tag[2880];
    const std::size_t tag_size = lame_get_lametag_frame(m_lame, tag, sizeof tag);
    if (tag_size > 0 && tag_size <= sizeof tag) {
        if (std::fseek(m_file, m_audio_start, SEEK_SET) != 0) fail(kFailOutput, m_path, std::strerror(errno));
        write(tag, tag_size);
    }
    const bool flushed = std::fflush(m_file) == 0;
    const int error = errno;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!flushed || !closed) fail(kFailOutput, m_path, std::strerror(error));
}

void Mp3Writer::abandon() {
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
}

} // namespace encoder
