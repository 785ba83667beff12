#include "encoder/ReservoirPacker.h"

#include <algorithm>
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

bool ReservoirPacker::advance(State& state, const Mp3Frame& frame, bool* caught_up) {
    const std::int64_t area_start = state.area_end;
    const std::int64_t start = std::max({state.data_end, area_start - frame.max_main_data_begin(), std::int64_t{0}});
    const auto size = static_cast<std::int64_t>(frame.main_data.size());
    if (start > area_start || start + size > area_start + frame.capacity()) return false;
    if (caught_up) *caught_up = start <= area_start - frame.main_data_begin;
    state.area_end = area_start + frame.capacity();
    state.data_end = start + size;
    return true;
}

bool ReservoirPacker::append(const Mp3Frame& frame) {
    const State before = m_state;
    if (!advance(m_state, frame)) return false;
    const std::int64_t start = m_state.data_end - static_cast<std::int64_t>(frame.main_data.size());
    Pending pending{std::vector<std::uint8_t>(static_cast<std::size_t>(frame.length), 0), before.area_end,
                    static_cast<int>(frame.head.size())};
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
        if (at < p.area_start || at >= p.area_start + capacity) continue;
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
    while (!m_pending.empty()) {
        const Pending& p = m_pending.front();
        if (p.area_start + static_cast<std::int64_t>(p.bytes.size()) - p.head > area_position) break;
        if (std::fwrite(p.bytes.data(), 1, p.bytes.size(), m_out) != p.bytes.size()) m_ok = false;
        m_crc = crc16(p.bytes.data(), p.bytes.size(), m_crc);
        m_sizes.push_back(static_cast<std::uint16_t>(p.bytes.size()));
        m_pending.pop_front();
    }
}

bool ReservoirPacker::finish() {
    flush_before(INT64_MAX);
    return m_ok;
}

} // namespace encoder
