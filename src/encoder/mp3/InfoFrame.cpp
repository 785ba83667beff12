#include "encoder/mp3/InfoFrame.h"

#include "encoder/mp3/Crc16.h"
#include "encoder/mp3/Mp3Frame.h"

#include <algorithm>
#include <cstring>

namespace encoder {

namespace {

constexpr std::uint32_t kHasFrames = 1, kHasBytes = 2, kHasSeekTable = 4, kHasQuality = 8;
constexpr std::size_t kSeekTableBytes = 100;
constexpr std::size_t kLameExtensionBytes = 36;
constexpr std::uint8_t kCbrMethod = 1;

void put_be(std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i, value >>= 8)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
}

std::uint32_t get_be(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3]);
}

void write_seek_table(std::vector<std::uint8_t>& frame, std::size_t at, const StreamTotals& totals,
                      std::uint64_t total) {
    // Where each percent of the frames begins, in 256ths of the stream.
    std::uint64_t offset = frame.size();
    std::size_t next = 0;
    for (int percent = 0; percent < 100; ++percent) {
        const std::size_t target = static_cast<std::size_t>(percent) * totals.audio_frames / 100;
        while (next < target && totals.sizes)
            offset += (*totals.sizes)[next++];
        frame[at + static_cast<std::size_t>(percent)] =
            static_cast<std::uint8_t>(std::min<std::uint64_t>(255, offset * 256 / total));
    }
}

} // namespace

void complete_info_frame(std::vector<std::uint8_t>& frame, const StreamTotals& totals) {
    if (frame.size() < 4) return;
    const FrameHeader header = parse_frame_header(frame.data());
    const std::size_t info = 4 + static_cast<std::size_t>(header.side_info);
    if (!header.valid || frame.size() < info + 8) return;
    const std::uint32_t flags = get_be(frame, info + 4);
    const std::uint64_t total = frame.size() + totals.audio_bytes;
    std::size_t at = info + 8;
    if (flags & kHasFrames) put_be(frame, at, totals.audio_frames, 4), at += 4;
    if (flags & kHasBytes) put_be(frame, at, total, 4), at += 4;
    if (flags & kHasSeekTable) write_seek_table(frame, at, totals, total), at += kSeekTableBytes;
    if (flags & kHasQuality) at += 4;
    const std::size_t lame = at;
    if (frame.size() < lame + kLameExtensionBytes) return;
    put_be(frame, lame + 21, (static_cast<std::uint64_t>(totals.delay) << 12) | static_cast<unsigned>(totals.padding),
           3);
    put_be(frame, lame + 28, total, 4);
    put_be(frame, lame + 32, totals.music_crc, 2);
    put_be(frame, lame + 34, crc16(frame.data(), lame + 34), 2);
}

std::vector<std::uint8_t> compact_info_frame(const std::uint8_t* first_frame, int kbps) {
    std::uint8_t head[4];
    std::memcpy(head, first_frame, 4);
    head[1] |= 0x01; // no CRC
    head[2] &= 0xFD; // no padding byte
    head[3] &= 0xCF; // no joint stereo mode extension
    const FrameHeader header = parse_frame_header(head);
    const std::size_t info = 4 + static_cast<std::size_t>(header.side_info);
    const std::size_t lame = info + 16;
    if (!header.valid || static_cast<std::size_t>(header.length) < lame + kLameExtensionBytes) return {};
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(header.length), 0);
    std::memcpy(frame.data(), head, 4);
    std::memcpy(frame.data() + info, "Info", 4);
    put_be(frame, info + 4, kHasFrames | kHasBytes, 4);
    std::memcpy(frame.data() + lame, "LAME3.100", 9);
    frame[lame + 9] = kCbrMethod;
    frame[lame + 20] = static_cast<std::uint8_t>(std::min(kbps, 255));
    return frame;
}

} // namespace encoder
