#pragma once

#include <cstdint>
#include <vector>

namespace encoder {

// What joining and packing need to know of a Layer III frame, without its bytes:
// a worker keeps one for every frame it makes.
struct FrameShape {
    int length = 0;          // whole frame in bytes
    int head_size = 0;       // header and side information
    int main_size = 0;       // bytes of main data
    int main_data_begin = 0; // as the encoder placed it
    bool mpeg1 = true;
    bool starts_long = true; // first granule opens with a long window half
    bool ends_long = true;   // last granule closes with a long window half

    int capacity() const { return length - head_size; }
    int max_main_data_begin() const { return mpeg1 ? 511 : 255; }
};

// One Layer III frame taken apart: its header and side information, and its main
// data (scale factors and Huffman bits), which the bit reservoir may have placed
// partly in earlier frames.
struct Mp3Frame : FrameShape {
    std::vector<std::uint8_t> head;      // head_size bytes
    std::vector<std::uint8_t> main_data; // main_size bytes
};

// A frame with its index among the frames of the output.
struct IndexedFrame {
    std::int64_t index;
    Mp3Frame frame;
};

// Rewrites main_data_begin in the side information of the frame that starts at bytes.
void write_main_data_begin(std::uint8_t* bytes, bool mpeg1, int value);

struct FrameHeader {
    bool valid = false;
    bool mpeg1 = true;
    int length = 0;
    int side_info = 0; // bytes of side information after the 4-byte header
    int channels = 2;
    long rate = 0;
};
FrameHeader parse_frame_header(const std::uint8_t* bytes);

// Takes frame bytes at bytes (its header parsed as h) apart; areas holds the most recent
// main data areas, to which the frame's own is added. False when its main data lies
// outside them.
bool read_frame(const std::uint8_t* bytes, const FrameHeader& h, std::vector<std::uint8_t>& areas, Mp3Frame& frame);

} // namespace encoder
