#pragma once

#include <cstddef>
#include <cstdint>

namespace encoder {

// CRC-16 as the LAME tag uses it (the ARC variant).
std::uint16_t crc16(const std::uint8_t* data, std::size_t size, std::uint16_t crc = 0);
// The CRC-16 of bytes whose CRC is crc once zeros more zero bytes follow them. The CRC
// is linear: that of a stream is the exclusive or of its stretches' CRCs, each carried
// on over the bytes after it, so stretches packed apart can be summed up.
std::uint16_t crc16_zeros(std::uint16_t crc, std::uint64_t zeros);

} // namespace encoder
