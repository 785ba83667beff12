#include "encoder/decode/MpegSource.h"

#include "encoder/base/Failure.h"
#include "encoder/decode/Tags.h"
#include "encoder/mp3/Mp3Frame.h"

#include <cstdio>
#include <cstring>

namespace encoder {

namespace {

struct Library {
    Library() { mpg123_init(); }
};

mpg123_ssize_t read_source(void* cursor, void* buffer, std::size_t size) {
    return static_cast<SourceCursor*>(cursor)->read(buffer, size);
}

off_t seek_source(void* cursor, off_t offset, int whence) {
    return static_cast<off_t>(static_cast<SourceCursor*>(cursor)->seek(offset, whence));
}

} // namespace

std::unique_ptr<MpegSource> MpegSource::open(const SourceFile& file, bool mono, bool scan) {
    static Library library;
    int error = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (!handle) return nullptr;
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
    mpg123_param(handle, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0);
    // Junk inside a stream (a run of zeros, a damaged stretch) is skipped, however long,
    // as the common decoders do.
    mpg123_param(handle, MPG123_RESYNC_LIMIT, -1, 0);
    if (mono) mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_MONO_MIX, 0);
    mpg123_format_none(handle);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(handle, rates[i], mono ? MPG123_MONO : MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    std::unique_ptr<MpegSource> source(new MpegSource(handle, file));
    if (mpg123_replace_reader_handle(handle, read_source, seek_source, nullptr) != MPG123_OK ||
        mpg123_open_handle(handle, &source->m_cursor) != MPG123_OK || !source->probe(scan))
        return nullptr;
    return source;
}

std::unique_ptr<MpegSource> MpegSource::reopen(const SourceFile& file, bool mono, const StreamFacts& counted,
                                               bool to_the_end) {
    if (to_the_end && !counted.header_length_holds) return open(file, mono, true);
    auto source = open(file, mono, false);
    if (!source) return nullptr;
    source->m_facts.samples = counted.samples;
    source->m_facts.average_bit_rate = counted.average_bit_rate;
    source->m_facts.header_length_holds = counted.header_length_holds;
    std::vector<off_t> offsets(counted.frame_offsets.begin(), counted.frame_offsets.end());
    if (!offsets.empty())
        mpg123_set_index(source->decoder(), offsets.data(), static_cast<off_t>(counted.offsets_step), offsets.size());
    return source;
}

bool MpegSource::probe(bool scan) {
    int encoding = 0;
    if (mpg123_getformat(decoder(), &m_rate, &m_channels, &encoding) != MPG123_OK) return false;
    mpg123_frameinfo2 info{};
    mpg123_info2(decoder(), &info);
    m_facts.mpeg = true;
    m_facts.layer = info.layer;
    m_facts.rate = m_rate;
    m_facts.channels = m_channels;
    if (scan) scan_average_bit_rate();
    return true;
}

namespace {

// Bytes of the Xing or Info frame that an encoder puts before the audio, 0 when none.
long info_frame_bytes(const SourceFile& file, std::size_t at) {
    std::uint8_t bytes[64] = {};
    const bool read = file.read_at(bytes, sizeof bytes, static_cast<std::int64_t>(at)) == sizeof bytes;
    const FrameHeader h = parse_frame_header(bytes);
    if (!read || !h.valid || 4 + h.side_info + 4 > static_cast<int>(sizeof bytes)) return 0;
    const char* marker = reinterpret_cast<const char*>(bytes + 4 + h.side_info);
    return std::memcmp(marker, "Xing", 4) == 0 || std::memcmp(marker, "Info", 4) == 0 ? h.length : 0;
}

} // namespace

// The scan walks every frame header, so the length is counted rather than taken
// from a Xing or VBRI header that may lie. The average bit rate is of the audio
// frames as they stand in the file, encoder delay and padding included: tags and
// the Info frame are not audio.
void MpegSource::scan_average_bit_rate() {
    const off_t claimed = mpg123_framelength(decoder());
    mpg123_scan(decoder());
    m_facts.header_length_holds = claimed == mpg123_framelength(decoder());
    off_t* offsets = nullptr;
    off_t step = 0;
    std::size_t fill = 0;
    if (mpg123_index(decoder(), &offsets, &step, &fill) == MPG123_OK && offsets) {
        m_facts.frame_offsets.assign(offsets, offsets + fill);
        m_facts.offsets_step = step;
    }
    const off_t samples = mpg123_length(decoder()); // per channel
    m_facts.samples = samples > 0 ? samples : 0;
    m_facts.mono_throughout = m_channels == 1;
    const off_t mpeg_frames = mpg123_framelength(decoder());
    const int samples_per_frame = mpg123_spf(decoder());
    if (mpeg_frames <= 0 || samples_per_frame <= 0) return;
    const SourceTags tags = read_tags(m_file);
    const double audio_bytes = static_cast<double>(m_file.size()) - static_cast<double>(tags.leading.size()) -
                               static_cast<double>(tags.trailing.size()) -
                               static_cast<double>(info_frame_bytes(m_file, tags.leading.size()));
    const double seconds = static_cast<double>(mpeg_frames) * samples_per_frame / m_rate;
    m_facts.average_bit_rate = audio_bytes * 8.0 / seconds;
}

bool MpegSource::read(AudioBlock& block) {
    for (;;) {
        if (m_done) return false;
        // A frame at a time, straight from the decoder's buffer: no copy of the audio.
        off_t frame = 0;
        unsigned char* audio = nullptr;
        std::size_t bytes = 0;
        const int rc = mpg123_decode_frame(decoder(), &frame, &audio, &bytes);
        // Bytes that come with MPG123_NEW_FORMAT were decoded in the format before it.
        block.rate = m_rate;
        block.channels = m_channels;
        if (rc == MPG123_NEW_FORMAT) {
            int encoding = 0;
            mpg123_getformat(decoder(), &m_rate, &m_channels, &encoding);
            if (m_channels != 1) m_facts.mono_throughout = false;
        } else if (rc == MPG123_DONE) {
            m_done = true;
        } else if (rc != MPG123_OK) {
            fail(kFailInput, Cause::Damaged, m_file.path(),
                 std::string("decoding stopped: ") + mpg123_plain_strerror(rc));
        }
        if (bytes == 0) continue;
        block.samples = {reinterpret_cast<const float*>(audio), bytes / sizeof(float)};
        return true;
    }
}

} // namespace encoder

namespace encoder {

bool MpegSource::seek(std::int64_t frame) {
    m_done = false;
    return mpg123_seek(decoder(), static_cast<off_t>(frame), SEEK_SET) >= 0;
}

} // namespace encoder
