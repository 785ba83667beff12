#pragma once

#include <cstdint>
#include <vector>

namespace encoder {

struct StreamTotals {
    std::uint32_t audio_frames;              // frames after the Info frame
    const std::vector<std::uint16_t>* sizes; // their sizes in bytes, in order
    int delay;                               // encoder delay in samples
    int padding;                             // samples added at the end
    std::uint16_t music_crc;                 // CRC-16 of every byte after the Info frame
};

// Fills a LAME "Info" frame (as LAME made it for part of the stream) with the figures
// of the whole stream: frame and byte counts, seek table, delay and padding, CRCs.
void complete_info_frame(std::vector<std::uint8_t>& frame, const StreamTotals& totals);

} // namespace encoder
