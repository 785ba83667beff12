#pragma once

#include "shared/Owned.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace shared {

inline void close_descriptor(int fd) {
    ::close(fd);
}
// A file descriptor, closed exactly once on every path: nothing here closes one by hand.
using Descriptor = Owned<int, close_descriptor, -1>;

// Closes now, for a close whose outcome matters (a network or full file system may
// report a failed write only then): false when it fails or there is nothing to close.
inline bool close_now(Descriptor& fd) {
    return fd && ::close(fd.release()) == 0;
}

// A stdio stream over fd, which then owns it; null, with fd closed, where none can be had.
inline std::FILE* stream_of(Descriptor fd, const char* mode) {
    std::FILE* stream = ::fdopen(fd.get(), mode);
    if (stream) fd.release();
    const int error = errno; // the caller reports why fdopen failed, not the close
    fd.reset();
    errno = error;
    return stream;
}

} // namespace shared
