#include "encoder/ReservoirPacker.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
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
