#include "encoder/mp3/ReservoirPacker.h"

#include "encoder/mp3/Crc16.h"

#include <gtest/gtest.h>
#include <random>

using namespace encoder;

namespace {

// Frames of 400 bytes of main data area, whose main data sizes wander about a frame's
// worth so that the reservoir fills and drains; each fits after the ones before it.
std::vector<Mp3Frame> wandering_frames(int count) {
    std::mt19937 random(7);
    std::vector<Mp3Frame> frames;
    ReservoirPacker::State state;
    for (int i = 0; i < count; ++i) {
        Mp3Frame f;
        f.head.assign(36, static_cast<std::uint8_t>(i));
        f.head[0] = 0xFF;
        f.head[1] = 0xFB;
        f.head_size = 36;
        f.length = 436;
        const std::int64_t room =
            state.area_end + f.capacity() - std::max(state.data_end, state.area_end - f.max_main_data_begin());
        f.main_size = static_cast<int>(std::uniform_int_distribution<std::int64_t>(0, room)(random));
        for (int b = 0; b < f.main_size; ++b)
            f.main_data.push_back(static_cast<std::uint8_t>(random()));
        EXPECT_TRUE(ReservoirPacker::advance(state, f));
        frames.push_back(std::move(f));
    }
    return frames;
}

} // namespace

// The workers pack their stretches apart, each from the state the frames before leave,
// and write them in place: the bytes and the CRC summed from the stretches must be those
// of the stream packed in one go.
TEST(ReservoirPacker, StretchesPackedApartMakeTheStreamPackedInOneGo) {
    const std::vector<Mp3Frame> frames = wandering_frames(300);
    ReservoirPacker whole;
    for (const Mp3Frame& f : frames)
        ASSERT_TRUE(whole.append(f));
    whole.finish();

    const std::vector<std::size_t> cuts{0, 1, 97, 98, 250, 300};
    std::vector<std::uint8_t> joined;
    std::uint16_t crc = 0;
    ReservoirPacker::State state;
    for (std::size_t s = 0; s + 1 < cuts.size(); ++s) {
        ReservoirPacker part(state);
        part.stop_after(static_cast<std::uint32_t>(cuts[s + 1] - cuts[s]));
        for (std::size_t i = cuts[s]; i < frames.size() && !part.all_given_out(); ++i) {
            ASSERT_TRUE(part.append(frames[i]));
            if (i < cuts[s + 1]) ReservoirPacker::advance(state, frames[i]);
        }
        part.finish();
        joined.insert(joined.end(), part.output().begin(), part.output().end());
        const std::uint64_t after = whole.output().size() - joined.size();
        crc ^= crc16_zeros(part.crc(), after);
    }
    EXPECT_EQ(joined, whole.output());
    EXPECT_EQ(crc, whole.crc());
    EXPECT_EQ(crc, crc16(whole.output().data(), whole.output().size()));
}
