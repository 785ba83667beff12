#include "encoder/mp3/Crc16.h"

#include <gtest/gtest.h>
#include <string_view>

using namespace encoder;

namespace {

std::uint16_t crc_of(std::string_view text) {
    return crc16(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

} // namespace

// The LAME tag's CRC is CRC-16/ARC; the eight-byte steps must give what one byte at a
// time gives, across their edges.
TEST(Crc16, IsTheArcCrcAtEveryLength) {
    EXPECT_EQ(crc_of("123456789"), 0xBB3D);
    EXPECT_EQ(crc_of(""), 0);
    EXPECT_EQ(crc_of("A"), 0x30C0);
    EXPECT_EQ(crc_of("The quick brown fox jumps over the lazy dog"), 0xFCDF);
}

TEST(Crc16, TheCrcOfAStreamIsItsStretchesCarriedOverTheBytesAfterThem) {
    const std::vector<std::uint8_t> bytes{1, 2, 3, 200, 0, 0, 9, 255, 17, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 81};
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        const std::uint16_t head = crc16(bytes.data(), cut);
        const std::uint16_t rest = crc16(bytes.data() + cut, bytes.size() - cut);
        EXPECT_EQ(crc16_zeros(head, bytes.size() - cut) ^ rest, crc16(bytes.data(), bytes.size())) << cut;
    }
    EXPECT_EQ(crc16_zeros(0x1234, 0), 0x1234);
}
