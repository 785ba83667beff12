#include "encoder/AudioSource.h"

#include "encoder/Failure.h"
#include "encoder/MpegSource.h"
#include "encoder/SndfileSource.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace encoder {

std::unique_ptr<AudioSource> open_source(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail(kFailInput, path, std::strerror(errno));
    char byte = 0;
    const ssize_t got = ::read(fd, &byte, 1);
    const int read_error = errno;
    ::close(fd);
    if (got < 0) fail(kFailInput, path, std::strerror(read_error));
    if (got == 0) fail(kFailInput, path, "the file is empty");
    if (auto pcm = SndfileSource::open(path)) return pcm;
    if (auto mpeg = MpegSource::open(path)) return mpeg;
    fail(kFailInput, path, "not a recognised audio file (MPEG audio, WAV or another PCM format)");
}

} // namespace encoder

namespace encoder {

std::unique_ptr<AudioSource> open_mono_source(const std::string& path) {
    if (auto mpeg = MpegSource::open(path, true)) return mpeg;
    return open_source(path);
}

} // namespace encoder
