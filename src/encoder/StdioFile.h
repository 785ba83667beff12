#pragma once

#include <cstdio>
#include <memory>

namespace encoder {

struct StdioCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
// A stdio stream that is closed on every path; close_stdio() where the close's
// outcome matters (the last buffered bytes are written then).
using StdioFile = std::unique_ptr<std::FILE, StdioCloser>;

inline bool close_stdio(StdioFile& file) {
    return file && std::fclose(file.release()) == 0;
}

} // namespace encoder
