#pragma once

#include "encoder/mp3/Mp3FrameParser.h"

#include <cstdint>

namespace encoder {

// Reads the frames of a LAME stream in a file in order, each with its main data, at a
// position of its own: several readers may share the file.
class Mp3FrameReader {
public:
    explicit Mp3FrameReader(int fd) : m_fd(fd) {}
    // False at the end of the stream, or where it cannot be read.
    bool next(Mp3Frame& frame);

private:
    int m_fd;
    std::int64_t m_offset = 0;
    Mp3FrameParser m_parser;
};

} // namespace encoder
