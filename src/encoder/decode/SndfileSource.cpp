#include "encoder/decode/SndfileSource.h"

#include "encoder/base/Failure.h"

namespace encoder {

namespace {

constexpr sf_count_t kBlockFrames = 4096;
// Beyond these the resampler's work and memory grow without bound, and no real
// recording uses them.
constexpr int kLowestRate = 1000;
constexpr int kHighestRate = 768000;
constexpr int kMostChannels = 8;

SourceCursor& cursor(void* data) {
    return *static_cast<SourceCursor*>(data);
}

SF_VIRTUAL_IO g_reader{
    [](void* data) -> sf_count_t { return cursor(data).file->size() - cursor(data).origin; },
    [](sf_count_t offset, int whence, void* data) -> sf_count_t {
        const std::int64_t at = cursor(data).seek(offset, whence);
        return at < 0 ? -1 : at - cursor(data).origin;
    },
    [](void* to, sf_count_t count, void* data) -> sf_count_t {
        const ssize_t got = cursor(data).read(to, static_cast<std::size_t>(count));
        return got < 0 ? 0 : got;
    },
    nullptr,
    [](void* data) -> sf_count_t { return cursor(data).position - cursor(data).origin; },
};

} // namespace

std::unique_ptr<SndfileSource> SndfileSource::open(const SourceFile& source, std::int64_t from) {
    SF_INFO info{};
    auto reader = std::make_unique<SourceCursor>(&source, from);
    SndfileHandle file(Sndfile::get().open_virtual(&g_reader, SFM_READ, &info, reader.get()));
    if (!file) return nullptr;
    const int major = info.format & SF_FORMAT_TYPEMASK;
    if (major == SF_FORMAT_MPEG) return nullptr;
    if (info.samplerate < kLowestRate || info.samplerate > kHighestRate || info.channels < 1 ||
        info.channels > kMostChannels) {
        fail(kFailInput, Cause::Unsupported, source.path(),
             std::to_string(info.samplerate) + " Hz with " + std::to_string(info.channels) +
                 " channels is not supported (1000 to 768000 Hz, 1 to 8 channels)");
    }
    return std::unique_ptr<SndfileSource>(new SndfileSource(std::move(reader), std::move(file), info));
}

SndfileSource::SndfileSource(std::unique_ptr<SourceCursor> cursor, SndfileHandle file, const SF_INFO& info)
    : m_cursor(std::move(cursor)), m_file(std::move(file)) {
    m_facts.rate = info.samplerate;
    m_facts.channels = info.channels;
    m_facts.samples = info.frames;
    m_facts.mono_throughout = info.channels == 1;
    m_facts.stream_start_byte = m_cursor->origin;
    // Integer data is read as floats in -1..1 without clipping surprises.
    Sndfile::get().command(m_file.get(), SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
}

bool SndfileSource::read(AudioBlock& block) {
    block.rate = m_facts.rate;
    block.channels = m_facts.channels;
    m_buffer.resize(static_cast<std::size_t>(kBlockFrames * m_facts.channels));
    const Sndfile& sndfile = Sndfile::get();
    const sf_count_t got = sndfile.readf_float(m_file.get(), m_buffer.data(), kBlockFrames);
    if (got <= 0) {
        if (sndfile.error(m_file.get()) != SF_ERR_NO_ERROR || m_read < m_facts.samples)
            fail(kFailInput, Cause::Damaged, m_cursor->file->path(),
                 std::string("decoding stopped: ") + sndfile.strerror(m_file.get()));
        return false;
    }
    m_read += got;
    block.samples = {m_buffer.data(), static_cast<std::size_t>(got * m_facts.channels)};
    return true;
}

} // namespace encoder

namespace encoder {

bool SndfileSource::seek(std::int64_t frame) {
    m_read = frame;
    return Sndfile::get().seek(m_file.get(), frame, SEEK_SET) == frame;
}

} // namespace encoder
