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

} // namespace encoder
