// The Info frame tvenc writes where LAME's does not fit, filled with any totals and
// read back: the frame keeps its size and header, and says what it was given.
#include "encoder/mp3/Crc16.h"
#include "encoder/mp3/InfoFrame.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::uint64_t be(const std::vector<std::uint8_t>& f, std::size_t at, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | f[at + static_cast<std::size_t>(i)];
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 16) return 0;
    std::uint8_t head[4] = {0xFF, data[0], data[1], data[2]};
    std::vector<std::uint8_t> frame = encoder::compact_info_frame(head, data[3]);
    if (frame.empty()) return 0;
    const std::vector<std::uint8_t> before = frame;
    encoder::StreamTotals totals{};
    std::memcpy(&totals.audio_frames, data + 4, 4);
    totals.audio_bytes = static_cast<std::uint64_t>(data[8]) << 16 | data[9] << 8 | data[10];
    totals.delay = (data[11] << 4 | data[12] >> 4) & 0xFFF;
    totals.padding = (data[12] << 8 | data[13]) & 0xFFF;
    totals.music_crc = static_cast<std::uint16_t>(data[14] << 8 | data[15]);
    encoder::complete_info_frame(frame, totals);
    if (frame.size() != before.size() || std::memcmp(frame.data(), before.data(), 4) != 0) std::abort();
    // Find "Info", then its counts and the LAME extension after them.
    const auto* info = static_cast<const std::uint8_t*>(std::memchr(frame.data() + 4, 'I', frame.size() - 4));
    if (!info || std::memcmp(info, "Info", 4) != 0) std::abort();
    const std::size_t at = static_cast<std::size_t>(info - frame.data());
    if (be(frame, at + 8, 4) != totals.audio_frames) std::abort();
    const std::uint64_t total = frame.size() + totals.audio_bytes;
    if (be(frame, at + 12, 4) != (total & 0xFFFFFFFF)) std::abort();
    const std::size_t lame = at + 16;
    if (std::memcmp(frame.data() + lame, "LAME", 4) != 0) std::abort();
    if (be(frame, lame + 21, 3) !=
        (static_cast<std::uint64_t>(totals.delay) << 12 | static_cast<unsigned>(totals.padding)))
        std::abort();
    if (be(frame, lame + 32, 2) != totals.music_crc) std::abort();
    if (be(frame, lame + 34, 2) != encoder::crc16(frame.data(), lame + 34)) std::abort();
    return 0;
}
