#pragma once

#include "shared/Owned.h"

#include <cstddef>
#include <cstdint>
#include <lame/lame.h>
#include <string>
#include <vector>

namespace encoder {

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

} // namespace encoder
