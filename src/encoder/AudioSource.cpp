#include "encoder/AudioSource.h"

#include "encoder/Failure.h"
#include "encoder/MpegSource.h"
#include "encoder/SndfileSource.h"

#include <cerrno>
#include <cstring>

namespace encoder {

namespace {

// An ID3v2 tag or an MPEG frame header first. Such a file goes to libmpg123 before
// libsndfile, which would hand it to a libmpg123 of its own that prints notes on stderr.
bool starts_like_mpeg(const unsigned char* bytes, ssize_t size) {
    if (size >= 3 && std::memcmp(bytes, "ID3", 3) == 0) return true;
    return size >= 2 && bytes[0] == 0xFF && (bytes[1] & 0xE0) == 0xE0;
}

} // namespace

std::unique_ptr<AudioSource> open_source(const SourceFile& file) {
    unsigned char start[3] = {};
    const ssize_t got = file.read_at(start, sizeof start, 0);
    if (got < 0) fail_errno(kFailInput, file.path(), errno);
    if (got == 0) fail(kFailInput, Cause::Empty, file.path(), "the file is empty");
    const bool mpeg_first = starts_like_mpeg(start, got);
    if (mpeg_first) {
        if (auto mpeg = MpegSource::open(file)) return mpeg;
    }
    if (auto pcm = SndfileSource::open(file)) return pcm;
    if (auto mpeg = mpeg_first ? nullptr : MpegSource::open(file)) return mpeg;
    fail(kFailInput, Cause::NotAudio, file.path(),
         "not a recognised audio file (MPEG audio, WAV or another PCM format)");
}

} // namespace encoder

namespace encoder {

std::unique_ptr<AudioSource> open_mono_source(const SourceFile& file) {
    if (auto mpeg = MpegSource::open(file, true)) return mpeg;
    return open_source(file);
}

} // namespace encoder
