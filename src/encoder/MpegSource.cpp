#include "encoder/MpegSource.h"

#include "encoder/Failure.h"
#include "encoder/Mp3Frame.h"
#include "encoder/StdioFile.h"
#include "encoder/Tags.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace encoder {

namespace {

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

namespace {

// Bytes of the Xing or Info frame that an encoder puts before the audio, 0 when none.
long info_frame_bytes(const std::string& path, std::size_t at) {
    const StdioFile file(std::fopen(path.c_str(), "rbe"));
    if (!file) return 0;
    std::uint8_t bytes[64] = {};
    const bool read = std::fseek(file.get(), static_cast<long>(at), SEEK_SET) == 0 &&
                      std::fread(bytes, 1, sizeof bytes, file.get()) == sizeof bytes;
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
    mpg123_scan(m_handle);
    const off_t frames = mpg123_length(m_handle);
    m_facts.frames = frames > 0 ? frames : 0;
    m_facts.mono_throughout = m_channels == 1;
    struct stat info {};
    const off_t mpeg_frames = mpg123_framelength(m_handle);
    const int samples_per_frame = mpg123_spf(m_handle);
    if (::stat(m_path.c_str(), &info) != 0 || mpeg_frames <= 0 || samples_per_frame <= 0) return;
    const SourceTags tags = read_tags(m_path);
    const double audio_bytes = static_cast<double>(info.st_size) - static_cast<double>(tags.leading.size()) -
                               static_cast<double>(tags.trailing.size()) -
                               static_cast<double>(info_frame_bytes(m_path, tags.leading.size()));
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
        const int rc = mpg123_decode_frame(m_handle, &frame, &audio, &bytes);
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
        block.samples = {reinterpret_cast<const float*>(audio), bytes / sizeof(float)};
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
