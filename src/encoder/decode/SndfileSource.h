#pragma once

#include "encoder/base/SourceCursor.h"
#include "encoder/decode/AudioSource.h"
#include "encoder/decode/Sndfile.h"

#include "shared/Owned.h"

namespace encoder {

inline void close_sndfile(SNDFILE* file) {
    Sndfile::get().close(file);
}
using SndfileHandle = shared::Owned<SNDFILE*, close_sndfile>;

// WAV and the other PCM formats that libsndfile reads.
class SndfileSource : public AudioSource {
public:
    // Null when libsndfile does not recognise the file, or when it is MPEG audio,
    // which goes through libmpg123 for gapless decoding. Throws a Failure for a rate
    // or channel count that no encoder can take.
    // The audio file starts at from (after the ID3v2 tag that some editors put before
    // a WAV).
    static std::unique_ptr<SndfileSource> open(const SourceFile& file, std::int64_t from = 0);

    const StreamFacts& facts() const override { return m_facts; }
    bool read(AudioBlock& block) override;
    bool seek(std::int64_t frame) override;

private:
    SndfileSource(std::unique_ptr<SourceCursor> cursor, SndfileHandle file, const SF_INFO& info);

    std::unique_ptr<SourceCursor> m_cursor; // where libsndfile reads next
    SndfileHandle m_file;
    StreamFacts m_facts;
    std::int64_t m_read = 0;
    std::vector<float> m_buffer;
};

} // namespace encoder
