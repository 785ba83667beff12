#include "encoder/mp3/Crc16.h"

#include <array>
#include <bit>
#include <cstring>

namespace encoder {

namespace {

// Eight tables: entries[k][b] is the CRC of byte b followed by k zero bytes, so eight
// bytes are taken in one step instead of one at a time (the CRC covers every byte of
// the audio, megabytes for a song).
struct Crc16Table {
    std::uint16_t entries[8][256];
    constexpr Crc16Table() : entries() {
        for (unsigned byte = 0; byte < 256; ++byte) {
            unsigned crc = byte;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
            entries[0][byte] = static_cast<std::uint16_t>(crc);
        }
        for (int k = 1; k < 8; ++k) {
            for (unsigned byte = 0; byte < 256; ++byte) {
                const unsigned before = entries[k - 1][byte];
                entries[k][byte] = static_cast<std::uint16_t>((before >> 8) ^ entries[0][before & 0xFF]);
            }
        }
    }
};

constexpr Crc16Table kCrc16;

} // namespace

std::uint16_t crc16(const std::uint8_t* data, std::size_t size, std::uint16_t crc) {
    std::size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        const auto& t = kCrc16.entries;
        for (; i + 8 <= size; i += 8) {
            std::uint64_t v = 0;
            std::memcpy(&v, data + i, 8);
            v ^= crc;
            crc = static_cast<std::uint16_t>(t[7][v & 0xFF] ^ t[6][(v >> 8) & 0xFF] ^ t[5][(v >> 16) & 0xFF] ^
                                             t[4][(v >> 24) & 0xFF] ^ t[3][(v >> 32) & 0xFF] ^ t[2][(v >> 40) & 0xFF] ^
                                             t[1][(v >> 48) & 0xFF] ^ t[0][v >> 56]);
        }
    }
    for (; i < size; ++i)
        crc = static_cast<std::uint16_t>((crc >> 8) ^ kCrc16.entries[0][(crc ^ data[i]) & 0xFF]);
    return crc;
}

namespace {

// The CRC state as a linear map over GF(2): each of the 16 entries is where one bit goes.
using Crc16Map = std::array<std::uint16_t, 16>;

std::uint16_t apply(const Crc16Map& map, std::uint16_t crc) {
    std::uint16_t out = 0;
    for (int bit = 0; crc; ++bit, crc = static_cast<std::uint16_t>(crc >> 1))
        if (crc & 1) out ^= map[static_cast<std::size_t>(bit)];
    return out;
}

Crc16Map twice(const Crc16Map& map) {
    Crc16Map out{};
    for (std::size_t bit = 0; bit < 16; ++bit)
        out[bit] = apply(map, map[bit]);
    return out;
}

} // namespace

std::uint16_t crc16_zeros(std::uint16_t crc, std::uint64_t zeros) {
    // One zero bit: shift right, folding the polynomial in where a one drops out.
    Crc16Map step{};
    step[0] = 0xA001;
    for (std::size_t bit = 1; bit < 16; ++bit)
        step[bit] = static_cast<std::uint16_t>(1u << (bit - 1));
    for (int i = 0; i < 3; ++i)
        step = twice(step); // one zero byte
    for (; zeros; zeros >>= 1, step = twice(step))
        if (zeros & 1) crc = apply(step, crc);
    return crc;
}

} // namespace encoder
