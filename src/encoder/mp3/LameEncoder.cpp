#include "encoder/mp3/LameEncoder.h"

#include "encoder/base/Failure.h"

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

} // namespace encoder
