#include "encoder/InfoFrame.h"

#include "encoder/Mp3Frame.h"
#include "encoder/ReservoirPacker.h"

#include <algorithm>

namespace encoder {

namespace {

void put_be(std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i, value >>= 8) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
}

} // namespace

void complete_info_frame(std::vector<std::uint8_t>& frame, const StreamTotals& totals) {
    if (frame.size() < 4) return;
    const FrameHeader header = parse_frame_header(frame.data());
    const std::size_t info = 4 + static_cast<std::size_t>(header.side_info);
    const std::size_t lame = info + 120;
    if (!header.valid || frame.size() < lame + 36) return;
    std::uint64_t total = frame.size();
    for (std::uint16_t size : *totals.sizes) total += size;
    put_be(frame, info + 8, totals.audio_frames, 4);
    put_be(frame, info + 12, total, 4);
    // Seek table: where each percent of the frames begins, in 256ths of the stream.
    std::uint64_t offset = frame.size();
    std::size_t next = 0;
    for (int percent = 0; percent < 100; ++percent) {
        const std::size_t target = static_cast<std::size_t>(percent) * totals.audio_frames / 100;
        while (next < target) offset += (*totals.sizes)[next++];
        frame[info + 16 + static_cast<std::size_t>(percent)] =
            static_cast<std::uint8_t>(std::min<std::uint64_t>(255, offset * 256 / total));
    }
    put_be(frame, lame + 21, (static_cast<std::uint64_t>(totals.delay) << 12) | static_cast<unsigned>(totals.padding), 3);
    put_be(frame, lame + 28, total, 4);
    put_be(frame, lame + 32, totals.music_crc, 2);
    put_be(frame, lame + 34, crc16(frame.data(), lame + 34), 2);
}

} // namespace encoder
