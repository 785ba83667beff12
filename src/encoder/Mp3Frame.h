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

// Takes frame bytes at bytes (its header parsed as h) apart; areas holds the most recent
// main data areas, to which the frame's own is added. False when its main data lies
// outside them.
bool read_frame(const std::uint8_t* bytes, const FrameHeader& h, std::vector<std::uint8_t>& areas, Mp3Frame& frame);

// The frames of a LAME stream that arrives piece by piece, each with its main data.
class Mp3FrameParser {
public:
    void append(const std::uint8_t* bytes, std::size_t size);
    // False until the next whole frame has arrived, or for good once bad().
    bool next(Mp3Frame& frame);
    bool bad() const { return m_bad; }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_offset = 0;
    std::vector<std::uint8_t> m_areas; // the most recent main data areas
    bool m_bad = false;
};

// Reads the frames of a LAME stream in order and gives each its main data.
class Mp3FrameReader {
public:
    explicit Mp3FrameReader(std::FILE* file) : m_file(file) {}
    // False at the end of the stream.
    bool next(Mp3Frame& frame);

private:
    std::FILE* m_file;
    Mp3FrameParser m_parser;
};

} // namespace encoder
