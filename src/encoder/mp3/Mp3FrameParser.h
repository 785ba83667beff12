#pragma once

#include "encoder/mp3/Mp3Frame.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace encoder {

// The frames of a LAME stream that arrives piece by piece, each with its main data.
class Mp3FrameParser {
public:
    void append(const std::uint8_t* bytes, std::size_t size);
    // False until the next whole frame has arrived, or for good once bad().
    bool next(Mp3Frame& frame);
    bool bad() const { return m_bad; }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_offset = 0;
    std::vector<std::uint8_t> m_areas; // the most recent main data areas
    bool m_bad = false;
};

} // namespace encoder
