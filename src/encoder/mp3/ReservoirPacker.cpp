#include "encoder/mp3/ReservoirPacker.h"

#include "encoder/mp3/Crc16.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace encoder {

bool ReservoirPacker::advance(State& state, const FrameShape& frame, bool* caught_up) {
    const std::int64_t area_start = state.area_end;
    const std::int64_t start = std::max({state.data_end, area_start - frame.max_main_data_begin(), std::int64_t{0}});
    const std::int64_t size = frame.main_size;
    if (start > area_start || start + size > area_start + frame.capacity()) return false;
    if (caught_up) *caught_up = start <= area_start - frame.main_data_begin;
    state.area_end = area_start + frame.capacity();
    state.data_end = start + size;
    return true;
}

bool ReservoirPacker::append(const Mp3Frame& frame) {
    const State before = m_state;
    if (!advance(m_state, frame)) return false;
    const std::int64_t start = m_state.data_end - frame.main_size;
    Pending pending{std::vector<std::uint8_t>(static_cast<std::size_t>(frame.length), 0), before.area_end,
                    frame.head_size};
    std::copy(frame.head.begin(), frame.head.end(), pending.bytes.begin());
    write_main_data_begin(pending.bytes.data(), frame.mpeg1, static_cast<int>(before.area_end - start));
    m_pending.push_back(std::move(pending));
    place_bytes(start, frame.main_data);
    // Frames whose area no later frame can reach are final.
    flush_before(m_state.area_end - frame.max_main_data_begin());
    return true;
}

void ReservoirPacker::place_bytes(std::int64_t at, const std::vector<std::uint8_t>& data) {
    std::size_t done = 0;
    for (Pending& p : m_pending) {
        const std::int64_t capacity = static_cast<std::int64_t>(p.bytes.size()) - p.head;
        if (done == data.size()) return;
        // Bytes before the first frame held belong to frames already given out, or
        // packed by someone else.
        if (at < p.area_start) {
            const auto skip =
                static_cast<std::size_t>(std::min(p.area_start - at, static_cast<std::int64_t>(data.size() - done)));
            done += skip;
            at += static_cast<std::int64_t>(skip);
        }
        if (done == data.size() || at >= p.area_start + capacity) continue;
        // As much as this frame's area holds from here, in one copy.
        const auto n = static_cast<std::size_t>(
            std::min(p.area_start + capacity - at, static_cast<std::int64_t>(data.size() - done)));
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(done), n,
                    p.bytes.begin() + static_cast<std::ptrdiff_t>(p.head + (at - p.area_start)));
        done += n;
        at += static_cast<std::int64_t>(n);
    }
}

void ReservoirPacker::flush_before(std::int64_t area_position) {
    while (!m_pending.empty() && m_frames < m_limit) {
        const Pending& p = m_pending.front();
        if (p.area_start + static_cast<std::int64_t>(p.bytes.size()) - p.head > area_position) break;
        m_output.insert(m_output.end(), p.bytes.begin(), p.bytes.end());
        m_crc = crc16(p.bytes.data(), p.bytes.size(), m_crc);
        ++m_frames;
        m_pending.pop_front();
    }
}

void ReservoirPacker::finish() {
    flush_before(INT64_MAX);
}

} // namespace encoder
