#include "encoder/mp3/Mp3FrameParser.h"

namespace encoder {

void Mp3FrameParser::append(const std::uint8_t* bytes, std::size_t size) {
    // Bytes already taken are dropped now and then, not at every frame.
    if (m_offset > 65536) {
        m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(m_offset));
        m_offset = 0;
    }
    m_bytes.insert(m_bytes.end(), bytes, bytes + size);
}

bool Mp3FrameParser::next(Mp3Frame& frame) {
    if (m_bad || m_bytes.size() - m_offset < 4) return false;
    const std::uint8_t* at = m_bytes.data() + m_offset;
    const FrameHeader h = parse_frame_header(at);
    if (!h.valid) {
        m_bad = true;
        return false;
    }
    if (m_bytes.size() - m_offset < static_cast<std::size_t>(h.length)) return false;
    m_offset += static_cast<std::size_t>(h.length);
    if (!read_frame(at, h, m_areas, frame)) m_bad = true;
    return !m_bad;
}

} // namespace encoder
