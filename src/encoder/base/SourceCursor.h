#pragma once

#include "encoder/base/SourceFile.h"

#include <cstdint>
#include <sys/types.h>
#include <vector>

namespace encoder {

// A reading position in a SourceFile, as the decoders' read and seek callbacks keep it.
// The decoders read a frame header, then its body: reads come from a window of the
// file read ahead, not one system call each.
struct SourceCursor {
    // origin: where the stream read through it starts (after a tag that its decoder
    // does not know); seeks from the start count from there.
    explicit SourceCursor(const SourceFile* source, std::int64_t from = 0)
        : file(source), origin(from), position(from) {}

    const SourceFile* file;
    std::int64_t origin;
    std::int64_t position;

    ssize_t read(void* buffer, std::size_t size);
    // As lseek: the new position, -1 for one before the origin.
    std::int64_t seek(std::int64_t offset, int whence);

private:
    std::vector<char> m_window;
    std::int64_t m_window_start = 0;
};

} // namespace encoder
