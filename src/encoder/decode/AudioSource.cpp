#include "encoder/decode/AudioSource.h"

#include "encoder/base/Failure.h"
#include "encoder/decode/MpegSource.h"
#include "encoder/decode/MpegSync.h"
#include "encoder/decode/SndfileSource.h"
#include "encoder/decode/Tags.h"

#include <cerrno>
#include <optional>

namespace encoder {

std::unique_ptr<AudioSource> open_source(const SourceFile& file) {
    char first = 0;
    const ssize_t got = file.read_at(&first, 1, 0);
    if (got < 0) fail_errno(kFailInput, file.path(), errno);
    if (got == 0) fail(kFailInput, Cause::Empty, file.path(), "the file is empty");
    const std::int64_t audio_start = leading_tag_bytes(file);
    // MPEG audio that starts right after the tags goes to libmpg123 first; libsndfile
    // knows its own formats by their headers, which is surer than frames found further on.
    const std::optional<std::int64_t> frames = MpegSync::find(file, audio_start);
    if (frames == audio_start) {
        if (auto mpeg = MpegSource::open(file)) return mpeg;
    }
    if (auto pcm = SndfileSource::open(file, audio_start)) return pcm;
    if (frames && frames != audio_start) {
        if (auto mpeg = MpegSource::open(file)) return mpeg;
    }
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
