#pragma once

#include "encoder/Mp3Frame.h"

#include <cstdint>
#include <cstdio>
#include <deque>
#include <vector>

namespace encoder {

// Writes Layer III frames whose main data has been taken out of them, placing each
// frame's main data as early as the bit reservoir allows and rewriting its
// main_data_begin to match. Frames from different encoders can be joined this way.
class ReservoirPacker {
public:
    // Positions in the stream of main data areas (frame bytes after the side information).
    struct State {
        std::int64_t area_end = 0; // where the next frame's area starts
        std::int64_t data_end = 0; // where the last placed main data ends
    };

    // Places frame after state: false when its main data cannot fit. caught_up tells
    // whether it starts no later than its encoder had put it, after which every
    // following frame of that encoder fits too.
    static bool advance(State& state, const Mp3Frame& frame, bool* caught_up = nullptr);

    explicit ReservoirPacker(std::FILE* out) : m_out(out) {}
    const State& state() const { return m_state; }
    // False when the frame's main data does not fit after what was appended.
    bool append(const Mp3Frame& frame);
    // Writes every frame still held; false on a write error.
    bool finish();

    std::uint32_t frames() const { return static_cast<std::uint32_t>(m_sizes.size()); }
    std::uint16_t crc() const { return m_crc; }
    const std::vector<std::uint16_t>& frame_sizes() const { return m_sizes; }

private:
    struct Pending {
        std::vector<std::uint8_t> bytes;
        std::int64_t area_start;
        int head;
    };
    void place_bytes(std::int64_t at, const std::vector<std::uint8_t>& data);
    void flush_before(std::int64_t area_position);

    std::FILE* m_out;
    State m_state;
    std::deque<Pending> m_pending;
    std::vector<std::uint16_t> m_sizes;
    std::uint16_t m_crc = 0;
    bool m_ok = true;
};

// CRC-16 as the LAME tag uses it (the ARC variant).
std::uint16_t crc16(const std::uint8_t* data, std::size_t size, std::uint16_t crc = 0);

} // namespace encoder
