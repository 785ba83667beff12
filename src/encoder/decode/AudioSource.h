#pragma once

#include "encoder/base/SourceFile.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace encoder {

// A block of decoded audio: interleaved float samples, nominally in -1..1. They lie in
// the decoder's own buffer (no copy on the way) and stay valid until the source's next
// read or seek.
struct AudioBlock {
    long rate = 0;
    int channels = 0;
    std::span<const float> samples;
    std::size_t frames() const { return channels ? samples.size() / static_cast<std::size_t>(channels) : 0; }
};

struct StreamFacts {
    bool mpeg = false;
    int layer = 0;
    long rate = 0;
    int channels = 0;
    std::int64_t samples = 0;    // per channel; an estimate that may be off
    double average_bit_rate = 0; // bits per second of the audio part (MPEG only)
    bool mono_throughout = false;
    std::int64_t stream_start_byte = 0; // where the decoder's stream starts (after a tag it does not know)
    // MPEG: where every offsets_step-th frame starts, to seek straight to a frame; and
    // whether the stream's own header tells the length that was counted (a cut file's
    // does not), so that a decoder opened again need not count the frames once more.
    std::vector<std::int64_t> frame_offsets;
    std::int64_t offsets_step = 0;
    bool header_length_holds = false;
};

// A decoder for one input file. read() points block at the next piece of audio
// (format may change between blocks) and returns false at the end; a stream that
// breaks off throws a Failure.
class AudioSource {
public:
    AudioSource() = default;
    virtual ~AudioSource() = default;
    // A source owns its decoder's handle: it is never copied.
    AudioSource(const AudioSource&) = delete;
    AudioSource& operator=(const AudioSource&) = delete;
    virtual const StreamFacts& facts() const = 0;
    virtual bool read(AudioBlock& block) = 0;
    // Moves to a sample (per channel) counted from the start; false when it cannot.
    virtual bool seek(std::int64_t frame) = 0;
};

// Recognises the input by its content: PCM formats through libsndfile, MPEG audio
// layers I to III through libmpg123. Throws a Failure for anything else.
std::unique_ptr<AudioSource> open_source(const SourceFile& file);
// The same source decoded straight to mono, for a down-mix.
std::unique_ptr<AudioSource> open_mono_source(const SourceFile& file);

} // namespace encoder
