#pragma once

#include "encoder/AudioSource.h"

#include <soxr.h>

namespace encoder {

// Brings every block to one rate and channel count: the encoder's output rate,
// so LAME never resamples (soxr is faster and better), and the channel count of
// the output, so streams that change format mid-way keep their speed and pitch.
class FormatConverter {
public:
    FormatConverter(long out_rate, int out_channels) : m_out_rate(out_rate), m_out_channels(out_channels) {}
    ~FormatConverter();
    FormatConverter(const FormatConverter&) = delete;
    FormatConverter& operator=(const FormatConverter&) = delete;

    // Appends the converted audio of block to out.
    void convert(const AudioBlock& block, std::vector<float>& out);
    // Appends what the resampler still holds; call once at the end.
    void flush(std::vector<float>& out);

private:
    void remix(const AudioBlock& block);
    void resample(const float* in, std::size_t frames, std::vector<float>& out);

    long m_out_rate;
    int m_out_channels;
    long m_in_rate = 0;
    soxr_t m_soxr = nullptr;
    std::vector<float> m_mixed;
};

} // namespace encoder
