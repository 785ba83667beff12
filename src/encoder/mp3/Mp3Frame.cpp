#include "encoder/mp3/Mp3Frame.h"

#include <cstring>
#include <unistd.h>

namespace encoder {

namespace {

const int kMpeg1Rates[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
const int kMpeg2Rates[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
const long kSampleRates[] = {44100, 48000, 32000};

class BitReader {
public:
    BitReader(const std::uint8_t* data) : m_data(data) {}
    unsigned read(int bits) {
        unsigned value = 0;
        while (bits-- > 0) {
            value = (value << 1) | ((m_data[m_pos >> 3] >> (7 - (m_pos & 7))) & 1u);
            ++m_pos;
        }
        return value;
    }
    void skip(int bits) { m_pos += static_cast<std::size_t>(bits); }

private:
    const std::uint8_t* m_data;
    std::size_t m_pos = 0;
};

struct GranuleInfo {
    unsigned bits = 0; // part2_3_length
    unsigned block_type = 0;
};

GranuleInfo read_granule(BitReader& r, bool mpeg1) {
    GranuleInfo g;
    g.bits = r.read(12);
    r.skip(9 + 8);         // big_values, global_gain
    r.skip(mpeg1 ? 4 : 9); // scalefac_compress
    if (r.read(1)) {       // window switching
        g.block_type = r.read(2);
        r.skip(1 + 10 + 9); // mixed block, table selects, subblock gains
    } else {
        r.skip(15 + 4 + 3); // table selects, region counts
    }
    r.skip(mpeg1 ? 3 : 2); // (preflag), scalefac_scale, count1table_select
    return g;
}

} // namespace

FrameHeader parse_frame_header(const std::uint8_t* b) {
    FrameHeader h;
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0 || ((b[1] >> 1) & 3) != 1) return h; // Layer III only
    const int version = (b[1] >> 3) & 3;                                           // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int rate_index = (b[2] >> 2) & 3;
    const int bit_rate_index = (b[2] >> 4) & 15;
    if (version == 1 || rate_index == 3 || bit_rate_index == 0 || bit_rate_index == 15) return h;
    h.mpeg1 = version == 3;
    h.rate = kSampleRates[rate_index] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const int kbps = (h.mpeg1 ? kMpeg1Rates : kMpeg2Rates)[bit_rate_index];
    const int padding = (b[2] >> 1) & 1;
    h.length = (h.mpeg1 ? 144 : 72) * kbps * 1000 / static_cast<int>(h.rate) + padding;
    h.channels = ((b[3] >> 6) & 3) == 3 ? 1 : 2;
    h.side_info = h.mpeg1 ? (h.channels == 1 ? 17 : 32) : (h.channels == 1 ? 9 : 17);
    if ((b[1] & 1) == 0) h.side_info += 2; // CRC
    h.valid = true;
    return h;
}

void write_main_data_begin(std::uint8_t* bytes, bool mpeg1, int value) {
    // main_data_begin leads the side information: 9 bits in MPEG-1, 8 in MPEG-2.
    const std::size_t at = (bytes[1] & 1) ? 4 : 6;
    if (mpeg1) {
        bytes[at] = static_cast<std::uint8_t>(value >> 1);
        bytes[at + 1] = static_cast<std::uint8_t>((bytes[at + 1] & 0x7F) | ((value & 1) << 7));
    } else {
        bytes[at] = static_cast<std::uint8_t>(value);
    }
}

bool read_frame(const std::uint8_t* bytes, const FrameHeader& h, std::vector<std::uint8_t>& areas, Mp3Frame& frame) {
    const auto length = static_cast<std::size_t>(h.length);
    const std::size_t head_size = 4 + static_cast<std::size_t>(h.side_info);
    frame.head.assign(bytes, bytes + head_size);
    frame.head_size = static_cast<int>(head_size);
    frame.length = h.length;
    frame.mpeg1 = h.mpeg1;

    BitReader r(bytes + ((bytes[1] & 1) ? 4 : 6));
    frame.main_data_begin = static_cast<int>(r.read(h.mpeg1 ? 9 : 8));
    r.skip(h.mpeg1 ? (h.channels == 1 ? 5 : 3) : (h.channels == 1 ? 1 : 2));
    if (h.mpeg1) r.skip(4 * h.channels); // scfsi
    const int granules = h.mpeg1 ? 2 : 1;
    unsigned bits = 0;
    frame.starts_long = frame.ends_long = true;
    for (int g = 0; g < granules; ++g) {
        for (int c = 0; c < h.channels; ++c) {
            const GranuleInfo info = read_granule(r, h.mpeg1);
            bits += info.bits;
            if (g == 0 && info.block_type != 0 && info.block_type != 1) frame.starts_long = false;
            if (g == granules - 1 && info.block_type != 0 && info.block_type != 3) frame.ends_long = false;
        }
    }
    const std::size_t area_end = areas.size() + length - head_size;
    areas.insert(areas.end(), bytes + head_size, bytes + length);
    const std::size_t start = area_end - (length - head_size) - static_cast<std::size_t>(frame.main_data_begin);
    const std::size_t size = (bits + 7) / 8;
    if (start > areas.size() || start + size > area_end) return false;
    frame.main_data.assign(areas.begin() + static_cast<std::ptrdiff_t>(start),
                           areas.begin() + static_cast<std::ptrdiff_t>(start + size));
    frame.main_size = static_cast<int>(size);
    // Only the last few hundred bytes can ever be pointed back to.
    if (areas.size() > 4096) areas.erase(areas.begin(), areas.end() - 1024);
    return true;
}

} // namespace encoder
