// The frame and side-information reader on any stream, and the reservoir packer on
// whatever frames it finds: no crash, no read out of bounds, sizes that add up.
#include "encoder/mp3/Crc16.h"
#include "encoder/mp3/Mp3FrameReader.h"
#include "encoder/mp3/ReservoirPacker.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size >= 4) {
        const encoder::FrameHeader header = encoder::parse_frame_header(data);
        if (header.valid && (header.length < 4 + header.side_info || header.side_info < 0)) std::abort();
    }
    // The reader reads a file at its own position, as a worker's frames are read.
    const int in = ::memfd_create("frames", 0);
    if (in < 0) return 0;
    if (::write(in, data, size) == static_cast<ssize_t>(size)) {
        encoder::Mp3FrameReader reader(in);
        encoder::ReservoirPacker packer;
        encoder::Mp3Frame frame;
        std::uint64_t given = 0;
        int frames = 0;
        while (frames++ < 2000 && reader.next(frame)) {
            if (frame.length < static_cast<int>(frame.head.size()) ||
                frame.head_size != static_cast<int>(frame.head.size()) ||
                frame.main_size != static_cast<int>(frame.main_data.size()))
                std::abort();
            given += static_cast<std::uint64_t>(frame.length);
            if (!packer.append(frame)) {
                given -= static_cast<std::uint64_t>(frame.length);
                break;
            }
        }
        packer.finish();
        // Every frame appended comes out whole, and the CRC is of what came out.
        if (packer.output().size() != given) std::abort();
        if (packer.crc() != encoder::crc16(packer.output().data(), packer.output().size())) std::abort();
    }
    ::close(in);
    return 0;
}
