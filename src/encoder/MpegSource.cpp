#include "encoder/MpegSource.h"

#include "encoder/Failure.h"
#include "encoder/Tags.h"

#include <sys/stat.h>

namespace encoder {

namespace {

constexpr std::size_t kBlockBytes = 1152 * 2 * sizeof(float) * 4;

struct Library {
    Library() { mpg123_init(); }
};

} // namespace

std::unique_ptr<MpegSource> MpegSource::open(const std::string& path, bool mono, bool scan) {
    static Library library;
    int error = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (!handle) return nullptr;
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
    mpg123_param(handle, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0);
    if (mono) mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_MONO_MIX, 0);
    mpg123_format_none(handle);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(handle, rates[i], mono ? MPG123_MONO : MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    std::unique_ptr<MpegSource> source(new MpegSource(handle, path));
    if (mpg123_open(handle, path.c_str()) != MPG123_OK || !source->probe(scan)) return nullptr;
    return source;
}

MpegSource::~MpegSource() {
    mpg123_close(m_handle);
    mpg123_delete(m_handle);
}

bool MpegSource::probe(bool scan) {
    int encoding = 0;
    if (mpg123_getformat(m_handle, &m_rate, &m_channels, &encoding) != MPG123_OK) return false;
    mpg123_frameinfo2 info{};
    mpg123_info2(m_handle, &info);
    m_facts.mpeg = true;
    m_facts.layer = info.layer;
    m_facts.rate = m_rate;
    m_facts.channels = m_channels;
    if (scan) scan_average_bit_rate();
    return true;
}

// The scan walks every frame header, so the length is counted rather than
// taken from a Xing or VBRI header that may lie.
void MpegSource::scan_average_bit_rate() {
    mpg123_scan(m_handle);
    const off_t frames = mpg123_length(m_handle);
    m_facts.frames = frames > 0 ? frames : 0;
    struct stat info {};
    if (::stat(m_path.c_str(), &info) != 0 || m_facts.frames == 0) return;
    const SourceTags tags = read_tags(m_path);
    const double audio_bytes = static_cast<double>(info.st_size) - tags.leading.size() - tags.trailing.size();
    const double seconds = static_cast<double>(m_facts.frames) / m_rate;
    m_facts.average_bit_rate = audio_bytes * 8.0 / seconds;
    m_facts.mono_throughout = m_channels == 1;
}

bool MpegSource::read(AudioBlock& block) {
    block.samples.resize(kBlockBytes / sizeof(float));
    for (;;) {
        if (m_done) return false;
        std::size_t bytes = 0;
        const int rc = mpg123_read(m_handle, block.samples.data(), kBlockBytes, &bytes);
        // Bytes that come with MPG123_NEW_FORMAT were decoded in the format before it.
        block.rate = m_rate;
        block.channels = m_channels;
        if (rc == MPG123_NEW_FORMAT) {
            int encoding = 0;
            mpg123_getformat(m_handle, &m_rate, &m_channels, &encoding);
            if (m_channels != 1) m_facts.mono_throughout = false;
        } else if (rc == MPG123_DONE) {
            m_done = true;
        } else if (rc != MPG123_OK) {
            fail(kFailInput, m_path, std::string("decoding stopped: ") + mpg123_plain_strerror(rc));
        }
        if (bytes == 0) continue;
        block.samples.resize(bytes / sizeof(float));
        return true;
    }
}

} // namespace encoder

namespace encoder {

bool MpegSource::seek(std::int64_t frame) {
    m_done = false;
    return mpg123_seek(m_handle, static_cast<off_t>(frame), SEEK_SET) >= 0;
}

} // namespace encoder
