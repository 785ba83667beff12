#pragma once

#include "shared/Owned.h"

#include <cstdio>

namespace encoder {

inline void close_stream(std::FILE* file) {
    std::fclose(file);
}
// A stdio stream that is closed on every path; close_stdio() where the close's
// outcome matters (the last buffered bytes are written then).
using StdioFile = shared::Owned<std::FILE*, close_stream>;

inline bool close_stdio(StdioFile& file) {
    return file && std::fclose(file.release()) == 0;
}

} // namespace encoder
