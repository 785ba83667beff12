#pragma once

#include "encoder/decode/AudioSource.h"

#include "encoder/decode/Soxr.h"

namespace encoder {

// Brings every block to one rate and channel count: the encoder's output rate,
// so LAME never resamples (soxr is faster and better), and the channel count of
// the output, so streams that change format mid-way keep their speed and pitch.
class FormatConverter {
public:
    FormatConverter(long out_rate, int out_channels) : m_out_rate(out_rate), m_out_channels(out_channels) {}
    FormatConverter(const FormatConverter&) = delete;
    FormatConverter& operator=(const FormatConverter&) = delete;

    // The audio of block in the output format, valid until the next call. Where the
    // formats agree, the one pass that makes the samples safe for LAME is all it costs.
    std::span<const float> convert(const AudioBlock& block);
    // What the resampler still holds; call once at the end.
    std::span<const float> flush();

private:
    std::span<const float> remix(const AudioBlock& block);
    void resample(const float* in, std::size_t frames, std::vector<float>& out);
    void drain(std::vector<float>& out);

    long m_out_rate;
    int m_out_channels;
    long m_in_rate = 0;
    SoxrHandle m_soxr; // none while the rates agree
    std::vector<float> m_mixed;
    std::vector<float> m_out;
};

} // namespace encoder
