#pragma once

#include "encoder/AudioSource.h"

#include <sndfile.h>

namespace encoder {

// WAV and the other PCM formats that libsndfile reads.
class SndfileSource : public AudioSource {
public:
    // Null when libsndfile does not recognise the file, or when it is MPEG audio,
    // which goes through libmpg123 for gapless decoding. Throws a Failure for a rate
    // or channel count that no encoder can take.
    static std::unique_ptr<SndfileSource> open(const std::string& path);
    ~SndfileSource() override;

    const StreamFacts& facts() const override { return m_facts; }
    bool read(AudioBlock& block) override;
    bool seek(std::int64_t frame) override;

private:
    SndfileSource(SNDFILE* file, const SF_INFO& info, std::string path);

    SNDFILE* m_file;
    std::string m_path;
    StreamFacts m_facts;
    std::int64_t m_read = 0;
    std::vector<float> m_buffer;
};

} // namespace encoder
