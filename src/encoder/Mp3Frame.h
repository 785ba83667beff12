#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

namespace encoder {

// One Layer III frame taken apart: its header and side information, and its main
// data (scale factors and Huffman bits), which the bit reservoir may have placed
// partly in earlier frames.
struct Mp3Frame {
    std::vector<std::uint8_t> head; // header and side information
    int length = 0;                 // whole frame in bytes
    std::vector<std::uint8_t> main_data;
    int main_data_begin = 0; // as the encoder placed it
    bool mpeg1 = true;
    bool starts_long = true; // first granule opens with a long window half
    bool ends_long = true;   // last granule closes with a long window half

    int capacity() const { return length - static_cast<int>(head.size()); }
    int max_main_data_begin() const { return mpeg1 ? 511 : 255; }
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

// Reads the frames of a LAME stream in order and gives each its main data.
class Mp3FrameReader {
public:
    explicit Mp3FrameReader(std::FILE* file) : m_file(file) {}
    // False at the end of the stream.
    bool next(Mp3Frame& frame);

private:
    std::FILE* m_file;
    std::vector<std::uint8_t> m_areas; // the most recent main data areas
};

} // namespace encoder
