#pragma once

#include "encoder/base/SourceCursor.h"
#include "encoder/decode/AudioSource.h"

#include "shared/Owned.h"

#include <mpg123.h>

namespace encoder {

inline void close_mpg123(mpg123_handle* handle) {
    mpg123_close(handle);
    mpg123_delete(handle);
}
using MpegHandle = shared::Owned<mpg123_handle*, close_mpg123>;

// MPEG audio layers I to III through libmpg123, gapless: the encoder delay and
// padding recorded in a LAME header are removed.
class MpegSource : public AudioSource {
public:
    // Null when libmpg123 finds no MPEG audio in the file. With mono, libmpg123
    // mixes the channels before its synthesis filter, which halves that work.
    // Without scan, the length and average bit rate stay unknown (a worker that only
    // seeks and decodes needs neither).
    static std::unique_ptr<MpegSource> open(const SourceFile& file, bool mono = false, bool scan = true);
    // Opened again on a file whose frames were counted (by a scan): its length and bit
    // rate, and seeking straight to a frame, without counting them once more, unless it
    // decodes to the end and the stream's header tells another length, whose end
    // libmpg123 would keep.
    static std::unique_ptr<MpegSource> reopen(const SourceFile& file, bool mono, const StreamFacts& counted,
                                              bool to_the_end);

    const StreamFacts& facts() const override { return m_facts; }
    bool read(AudioBlock& block) override;
    bool seek(std::int64_t frame) override;

private:
    MpegSource(mpg123_handle* handle, const SourceFile& file) : m_handle(handle), m_file(file), m_cursor{&file} {}
    mpg123_handle* decoder() const { return m_handle.get(); }
    bool probe(bool scan);
    void scan_average_bit_rate();

    MpegHandle m_handle;
    const SourceFile& m_file;
    SourceCursor m_cursor; // where libmpg123 reads next
    StreamFacts m_facts;
    long m_rate = 0;
    int m_channels = 0;
    bool m_done = false;
};

} // namespace encoder
