#pragma once

#include "shared/Descriptor.h"

#include <cstdint>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace encoder {

// The source as opened and checked once. Every reader (the first look, each worker and
// each share taken over late, the tags, a plain copy) reads this one open file at a
// position of its own: a file renamed, replaced or deleted meanwhile never mixes into
// the audio, and a FIFO put in its place can never block.
class SourceFile {
public:
    // Opens path without waiting for a writer; a Failure unless it is a regular file.
    explicit SourceFile(const std::string& path);
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    const std::string& path() const { return m_path; }
    std::int64_t size() const { return m_size; } // as opened
    // Whether the file was written to since it was opened (the same file rewritten in
    // place: a copy onto it, a tool that saves over it): then what was read of it may
    // mix two versions. Its name renamed, deleted or given to another file is no change.
    bool written_since_opened() const;
    // Up to size bytes from offset; 0 at the end, -1 on an error.
    ssize_t read_at(void* buffer, std::size_t size, std::int64_t offset) const;

private:
    std::string m_path;
    shared::Descriptor m_fd;
    std::int64_t m_size = 0;
    struct stat m_opened {};
};

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
