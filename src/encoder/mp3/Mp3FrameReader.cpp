#include "encoder/mp3/Mp3FrameReader.h"

#include <cerrno>
#include <unistd.h>

namespace encoder {

bool Mp3FrameReader::next(Mp3Frame& frame) {
    std::uint8_t buffer[1 << 15];
    while (!m_parser.next(frame)) {
        if (m_parser.bad()) return false;
        const ssize_t n = ::pread(m_fd, buffer, sizeof buffer, m_offset);
        if (n <= 0) return false;
        m_offset += n;
        m_parser.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace encoder
