#pragma once

#include "encoder/mp3/Mp3Frame.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace encoder {

// Packs Layer III frames whose main data has been taken out of them, placing each
// frame's main data as early as the bit reservoir allows and rewriting its
// main_data_begin to match. Frames from different encoders can be joined this way.
// A packer may start anywhere in a stream, from the state that the frames before
// left: it then packs one stretch of the stream, and the main data of its frames that
// falls before its first frame is left to whoever packs the frames there.
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
    static bool advance(State& state, const FrameShape& frame, bool* caught_up = nullptr);

    ReservoirPacker() = default;
    explicit ReservoirPacker(State start) : m_state(start) {}
    const State& state() const { return m_state; }
    // False when the frame's main data does not fit after what was appended.
    bool append(const Mp3Frame& frame);
    // Gives out no more than this many frames; the frames after them only fill the
    // room they leave.
    void stop_after(std::uint32_t frames) { m_limit = frames; }
    // Gives out every frame still held (up to the limit).
    void finish();

    // The bytes of the frames given out so far, which no later frame can change; the
    // caller takes them away as it likes.
    std::vector<std::uint8_t>& output() { return m_output; }
    std::uint32_t frames() const { return m_frames; }
    bool all_given_out() const { return m_frames == m_limit; }
    std::uint16_t crc() const { return m_crc; } // of every byte given out

private:
    struct Pending {
        std::vector<std::uint8_t> bytes;
        std::int64_t area_start;
        int head;
    };
    void place_bytes(std::int64_t at, const std::vector<std::uint8_t>& data);
    void flush_before(std::int64_t area_position);

    State m_state;
    std::deque<Pending> m_pending;
    std::vector<std::uint8_t> m_output;
    std::uint32_t m_frames = 0;
    std::uint32_t m_limit = UINT32_MAX;
    std::uint16_t m_crc = 0;
};

} // namespace encoder
