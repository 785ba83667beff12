#pragma once

#include <cstdint>
#include <vector>

namespace encoder {

struct StreamTotals {
    std::uint32_t audio_frames;              // frames after the Info frame
    const std::vector<std::uint16_t>* sizes; // their sizes in bytes, for a seek table; may be null
    std::uint64_t audio_bytes;               // all of them together
    int delay;                               // encoder delay in samples
    int padding;                             // samples added at the end
    std::uint16_t music_crc;                 // CRC-16 of every byte after the Info frame
};

// Fills a LAME "Info" frame with the figures of the whole stream: frame and byte
// counts, the seek table where the frame has one, delay and padding, CRCs.
void complete_info_frame(std::vector<std::uint8_t>& frame, const StreamTotals& totals);

// Where a frame is too small for LAME's tag with its 100-byte seek table (32 and
// 16 kbps at low rates), LAME writes none and players would play the encoder delay
// and padding. This is an Info frame of the stream's own format without the seek
// table, so that it fits; first_frame is the stream's first audio frame header.
// Empty when even that does not fit.
std::vector<std::uint8_t> compact_info_frame(const std::uint8_t* first_frame, int kbps);

} // namespace encoder
